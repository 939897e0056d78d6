// Configuration bytes, security bytes and clearing the configuration protection, against the
// simulated target's configuration.

#include "support/connected_target.h"

#include "common/hex_text.h"
#include "flash/byte_entry.h"
#include "link/records.h"

#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;

namespace {

QString record(const QString& body) {
    return QString::fromLatin1(unterminatedRecord(body));
}

} // namespace

class TestConfiguration : public QObject {
    Q_OBJECT

private slots:
    void byteEntries_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("value"); // empty: refused
        QTest::newRow("two digits as typed") << "5a"
                                             << "5a";
        QTest::newRow("FF") << "FF"
                            << "FF";
        QTest::newRow("00") << "00"
                            << "00";
        QTest::newRow("one digit") << "7"
                                   << "07";
        QTest::newRow("leading zeros") << "0005a"
                                       << "5A";
        QTest::newRow("many leading zeros") << "0000000000007"
                                            << "07";
        QTest::newRow("zero") << "0"
                              << "00";
        QTest::newRow("blanks around") << " E3 "
                                       << "E3";
        QTest::newRow("above FF") << "100"
                                  << "";
        QTest::newRow("not hex") << "xyz"
                                 << "";
        QTest::newRow("hex prefix") << "0x5A"
                                    << "";
        QTest::newRow("sign") << "+5"
                              << "";
        QTest::newRow("blank only") << "  "
                                    << "";
    }
    void byteEntries() {
        QFETCH(QString, entry);
        QFETCH(QString, value);
        QCOMPARE(normaliseByteEntry(entry).value_or(QString()), value);
    }

    // Each member writes 5A after showing the current value it read.
    void members_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("prompt");
        // Writing 5A to UCFG1 sends :02000002005AA2.
        QTest::newRow("UCFG1") << int(Command::UCFG1) << 0 << "UCFG1"
                               << "User Configuration Byte 1 Value (Hex) is: 63\r\n"
                                  "Insert User Configuration Byte 1 New Value (Hex):";
        QTest::newRow("UCFG2") << int(Command::UCFG2) << 1 << "UCFG2"
                               << "User Configuration Byte 2 Value (Hex) is: 00\r\n"
                                  "Insert User Configuration Byte 2 New Value (Hex):";
        QTest::newRow("boot vector") << int(Command::SetBootVector) << 2 << "Boot Vector"
                                     << "Boot Vector Byte Value (Hex) is: 1E\r\nBoot Vector Byte New Value (Hex):";
        QTest::newRow("status byte") << int(Command::StatusByte) << 3 << "Status Byte"
                                     << "Status Byte Value (Hex) is: 00\r\nInsert Status Byte New Value (Hex):";
    }
    void members() {
        QFETCH(int, command);
        QFETCH(int, address);
        QFETCH(QString, name);
        QFETCH(QString, prompt);
        ConnectedTarget target;
        target.dialogs.inputAnswers = {"5A"};
        QVERIFY(target.session.click(static_cast<Command>(command)));
        const QString addr = strDecToHex8(address);
        QCOMPARE(target.sent(), (QStringList{record("01000003" + addr), record("02000002" + addr + "5A")}));
        QCOMPARE(target.config(address), std::optional<quint8>(0x5A));
        QCOMPARE(target.dialogs.inputs.size(), 1);
        QCOMPARE(target.dialogs.inputs[0].prompt, prompt);
        QCOMPARE(target.dialogs.inputs[0].title, "Program " + name);
    }

    // A read that was refused or not answered offers no value (not the "05" of an earlier answer)
    // and writes nothing; a refused write leaves the value as it was.
    void failedStepChangesNothing_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("type"); // of the record that fails
        QTest::addColumn<int>("action");
        const int refuse = int(sim::FaultRule::Action::Refuse);
        QTest::newRow("UCFG1 read refused") << int(Command::UCFG1) << 0x03 << refuse;
        QTest::newRow("boot vector read unanswered")
            << int(Command::SetBootVector) << 0x03 << int(sim::FaultRule::Action::Silent);
        QTest::newRow("security read refused") << int(Command::ProgramSecurity) << 0x03 << refuse;
        QTest::newRow("UCFG1 write refused") << int(Command::UCFG1) << 0x02 << refuse;
    }
    void failedStepChangesNothing() {
        QFETCH(int, command);
        QFETCH(int, type);
        QFETCH(int, action);
        ConnectedTarget target;
        target.addRule(sim::FaultRule::onType(type, static_cast<sim::FaultRule::Action>(action)));
        target.dialogs.inputAnswers = {"11"};
        QVERIFY(target.session.click(static_cast<Command>(command)));
        const bool readAnswered = type != 0x03;
        QCOMPARE(target.dialogs.inputs.size(), readAnswered ? 1 : 0);
        QCOMPARE(target.sent().size(), readAnswered ? 2 : 1);
        QCOMPARE(target.config(0), std::optional<quint8>(0x63));
        QCOMPARE(target.config(2), std::optional<quint8>(0x1E));
        QCOMPARE(target.config(8), std::optional<quint8>(0x00));
    }

    void badEntriesAskAgain() {
        ConnectedTarget target;
        target.dialogs.inputAnswers = {"100", "xyz", "7"};
        target.session.click(Command::UCFG1);
        QCOMPARE(target.dialogs.boxTexts(), (QStringList{"Uncorrect Value", "Uncorrect Value"}));
        QCOMPARE(target.dialogs.boxes[0].title, QStringLiteral("UCFG1 Value"));
        QCOMPARE(target.dialogs.inputs.size(), 3);
        for (const FakeDialogs::Input& input : target.dialogs.inputs)
            QCOMPARE(input.defaultText, QStringLiteral("63"));
        QCOMPARE(target.sent().constLast(), QStringLiteral(":020000020007F5"));
        QCOMPARE(target.config(0), std::optional<quint8>(0x07));
    }

    void cancelSendsNothing() {
        ConnectedTarget target;
        target.session.click(Command::StatusByte);
        QCOMPARE(target.sent(), QStringList{record("0100000303")});
        QCOMPARE(target.session.statusText(), QStringLiteral("Programming Status Byte: Interrupted"));
    }

    // The security pass reads every sector's byte at its configuration address, offers the value
    // read and writes back what is confirmed: sector 8 of a 16-sector part writes its own byte at
    // 18, never the protection's at 10.
    void securityAddresses_data() {
        QTest::addColumn<QString>("part");
        QTest::addColumn<QStringList>("addresses");
        QTest::newRow("8 KB, 1 KB sectors")
            << "LPC932A1" << QStringList{"08", "09", "0A", "0B", "0C", "0D", "0E", "0F"};
        QTest::newRow("1 KB, 256-byte sectors") << "LPC901" << QStringList{"08", "09", "0A", "0B"};
        QTest::newRow("LPC954, 16 sectors") << "LPC954" << QStringList{"08", "09", "0A", "0B", "0C", "0D", "0E", "0F",
                                                                       "18", "19", "1A", "1B", "1C", "1D", "1E", "1F"};
    }
    void securityAddresses() {
        QFETCH(QString, part);
        QFETCH(QStringList, addresses);
        ConnectedTarget target(qPrintable(part));
        for (int sector = 0; sector < addresses.size(); ++sector)
            target.setConfig(addresses[sector].toInt(nullptr, 16), static_cast<quint8>(0x40 + sector));
        target.dialogs.inputAnswers = QStringList(addresses.size(), FakeDialogs::kAcceptDefault);
        QVERIFY(target.session.click(Command::ProgramSecurity));
        QStringList expected;
        for (int sector = 0; sector < addresses.size(); ++sector) {
            const QString value = QStringLiteral("%1").arg(0x40 + sector, 2, 16).toUpper();
            expected << record("01000003" + addresses[sector]) << record("02000002" + addresses[sector] + value);
        }
        QCOMPARE(target.sent(), expected);
        QCOMPARE(target.dialogs.inputs[1].title, QStringLiteral("Program Security Byte for Sector  1"));
        QCOMPARE(target.dialogs.inputs[1].prompt, QStringLiteral("Security Byte for Sector  1 Value (Hex) is: 41\r\n"
                                                                 "Security Byte for Sector  1 New Value (Hex):"));
    }

    void cancelAtSector2() {
        ConnectedTarget target;
        target.dialogs.inputAnswers = {"11", "22"};
        QVERIFY(!target.session.run(Command::ProgramSecurity));
        QCOMPARE(target.config(0x08), std::optional<quint8>(0x11));
        QCOMPARE(target.config(0x09), std::optional<quint8>(0x22));
        const QStringList sent = target.sent();
        QCOMPARE(sent.size(), 5); // two reads and writes, then the read of sector 2
        QCOMPARE(sent.constLast(), record("010000030A"));
        QCOMPARE(target.session.statusText(), QStringLiteral("Programming Security Byte for Sector  2: Interrupted"));
    }

    void failedWriteGoesOn() {
        ConnectedTarget target("LPC901");
        target.addRule(sim::FaultRule::onBody("0200000209", sim::FaultRule::Action::Refuse));
        target.dialogs.inputAnswers = QStringList(4, FakeDialogs::kAcceptDefault);
        QVERIFY(!target.session.run(Command::ProgramSecurity));
        QVERIFY(target.record.statuses.contains("Programming Security Byte for Sector  1: Error"));
        QCOMPARE(target.session.statusText(), QStringLiteral("Programming Security Byte for Sector  3: Done"));
    }

    void clearProtection_data() {
        QTest::addColumn<bool>("refuse");
        QTest::newRow("acknowledged") << false;
        QTest::newRow("refused") << true;
    }
    void clearProtection() {
        QFETCH(bool, refuse);
        ConnectedTarget target;
        if (refuse)
            target.addRule(sim::FaultRule::onType(0x02, sim::FaultRule::Action::Refuse));
        QCOMPARE(target.session.run(Command::CCP), !refuse);
        QCOMPARE(target.sent(), QStringList{":020000021000EC"});
        QCOMPARE(target.withBoard([](sim::BoardModel& b) { return b.configProtectionClears(); }), refuse ? 0 : 1);
    }
};

QTEST_GUILESS_MAIN(TestConfiguration)
#include "tst_configuration.moc"
