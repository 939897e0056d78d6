// What every command of the window shows when it ends: its result box (text and title) and its
// first and last status line, for each way it can end: done, refused by the board, unanswered,
// and not sent at all (no port open). The other suites check what the commands do to the target;
// this one alone checks what they say.

#include "support/connected_target.h"

#include "common/hex_text.h"
#include "link/isp_answer.h"

#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;

namespace {

enum class Kind { Done, Refused, Unanswered, NotSent };

// One command of the window: what makes its board refuse or keep silent, and what it shows.
struct Shown {
    Command command;
    sim::FaultRule rule; // aimed at the first record (or letter) the command sends
    QString boxTitle;    // empty: the command shows no box
    QString doneBox;     // the box when done (a prefix when it carries a value)
    QString firstStatus; // empty: the command shows only its closing status
    QString doneStatus;
    QString failedStatus;
};

sim::FaultRule onType(int type) {
    return sim::FaultRule::onType(type, sim::FaultRule::Action::Refuse);
}

QList<Shown> commands() {
    const auto letter = [](char l) { return sim::FaultRule::onLetter(l, sim::FaultRule::Action::Refuse); };
    return {
        {Command::ICP, letter('P'), "Peripheral ICP Mode", "Peripheral ICP Mode: Done", "Peripheral ICP Mode...",
         "Peripheral ICP Mode: Done", "Peripheral ICP Mode: Error"},
        {Command::OFF, letter('S'), "Peripheral Power OFF", "Peripheral Power OFF: Done", "Peripheral Power OFF...",
         "Peripheral Power OFF: Done", "Peripheral Power OFF: Error"},
        {Command::Version, onType(0x01), "", "", "", "Loader Version: 00000001FF ZELVAN ICP 2-1",
         "Loader Version: Error"},
        {Command::GetID, onType(0x03), "", "", "Reading CPU ID...", "CPU MFG=15 ID1=DD ID2=1F", "CPU ID Read Failed"},
        {Command::EraseChip, onType(0x08), "Chip Erasing", "Chip Erasing: Done", "Erasing Device...",
         "Erasing Device: Done", "Erasing Device: Error"},
        {Command::ErasePage, onType(0x04), "Page Erasing", "Page Erasing: Done", "Erasing Device Pages...",
         "Erasing Device Pages: Done", "Erasing Device Pages: Error"},
        {Command::EraseSector, onType(0x04), "Sector Erasing", "Sector Erasing: Done", "Erasing Device Sectors...",
         "Erasing Device Sectors: Done", "Erasing Device Sectors: Error"},
        {Command::GetGlobalCRC, onType(0x06), "Global CRC", "Global CRC  = ", "Reading Global CRC...",
         "Reading Global CRC: Done", "Reading Global CRC: Error"},
        {Command::GetSectorCRC, onType(0x05), "Sectors CRC", "CRC 0000-03FF = ", "Reading Sectors CRC...",
         "Reading Sectors CRC: Done", "Reading Sectors CRC: Error"},
        {Command::ProgramFirmware, onType(0x00), "Peripheral Programming", "Programming: Done",
         "Programming Firmware...", "Programming Firmware: Done", "Programming Firmware: Error"},
        {Command::UCFG1, onType(0x03), "Program UCFG1", "", "Reading UCFG1...", "Programming UCFG1: Done",
         "Programming UCFG1: Error"},
        {Command::UCFG2, onType(0x03), "Program UCFG2", "", "Reading UCFG2...", "Programming UCFG2: Done",
         "Programming UCFG2: Error"},
        {Command::SetBootVector, onType(0x03), "Program Boot Vector", "", "Reading Boot Vector...",
         "Programming Boot Vector: Done", "Programming Boot Vector: Error"},
        {Command::StatusByte, onType(0x03), "Program Status Byte", "", "Reading Status Byte...",
         "Programming Status Byte: Done", "Programming Status Byte: Error"},
        {Command::ProgramSecurity, onType(0x03), "Security Bytes", "", "Reading Security Byte for Sector  0...",
         "Programming Security Byte for Sector  7: Done", "Programming Security Byte for Sector  0: Error"},
        {Command::CCP, onType(0x02), "", "", "Clear Configuration Protection...",
         "Clear Configuration Protection: Done", "Clear Configuration Protection: Error"},
    };
}

} // namespace

Q_DECLARE_METATYPE(Shown)

class TestCommands : public QObject {
    Q_OBJECT

private slots:
    void closingReport_data() {
        QTest::addColumn<Shown>("shown");
        QTest::addColumn<int>("kind");
        const QList<std::pair<Kind, const char*>> kinds{{Kind::Done, "done"},
                                                        {Kind::Refused, "refused"},
                                                        {Kind::Unanswered, "unanswered"},
                                                        {Kind::NotSent, "not sent"}};
        for (const Shown& shown : commands()) {
            for (const auto& [kind, name] : kinds)
                QTest::addRow("%s, %s", commandRow(shown.command).caption, name) << shown << int(kind);
        }
    }
    void closingReport() {
        QFETCH(Shown, shown);
        QFETCH(int, kind);
        ConnectedTarget target;
        target.session.setProtect(false);
        target.session.pageRange().chooseEnd(0);
        target.session.sectorRange().chooseEnd(0);
        if (shown.command == Command::ProgramFirmware)
            target.loadFirmware(fixturePath("blink.ihx"));
        target.dialogs.inputAnswers = QStringList(8, QStringLiteral("5A"));
        sim::FaultRule rule = shown.rule;
        if (Kind(kind) == Kind::Unanswered)
            rule.action = sim::FaultRule::Action::Silent;
        if (Kind(kind) == Kind::Refused || Kind(kind) == Kind::Unanswered)
            target.addRule(rule);
        if (Kind(kind) == Kind::NotSent)
            target.session.chooseComPort(5); // closes COM1 and fails to open COM5
        target.forget();

        QVERIFY(target.session.click(shown.command));

        const bool done = Kind(kind) == Kind::Done;
        const QString lastStatus = done ? shown.doneStatus : shown.failedStatus;
        QCOMPARE(target.record.statuses.constFirst(), shown.firstStatus.isEmpty() ? lastStatus : shown.firstStatus);
        QCOMPARE(target.record.statuses.constLast(), lastStatus);
        const QString failure = Kind(kind) == Kind::Refused ? kErrPeripheral : kErrNoResponse;
        QString expectedBox = done ? shown.doneBox : failure;
        if (!done && shown.command == Command::ProgramFirmware)
            expectedBox = QStringLiteral("Programming error");
        const bool boxExpected = !shown.boxTitle.isEmpty() && !(done && shown.doneBox.isEmpty());
        QCOMPARE(target.dialogs.boxes.size(), boxExpected ? 1 : 0);
        if (boxExpected) {
            QVERIFY2(target.dialogs.boxes[0].text.startsWith(expectedBox), qPrintable(target.dialogs.boxes[0].text));
            QCOMPARE(target.dialogs.boxes[0].title, shown.boxTitle);
        }
        QVERIFY(!target.dialogs.busy);
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
