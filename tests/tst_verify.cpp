// Verify in the window: after Program Firmware and on its own, against the loaded firmware or
// against golden CRCs saved from a known-good chip.

#include "support/connected_target.h"

#include "production/golden_crcs.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;

class TestVerify : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Program Firmware with Verify ticked: the closing status and the box name what differs.
    void afterProgramming_data() {
        QTest::addColumn<bool>("pageLost");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("box");
        QTest::newRow("every page written") << false << "Verifying Firmware: Done"
                                            << "Verify: Done. 2 CRC(s) as";
        QTest::newRow("a page acknowledged but not written") << true << "Verifying Firmware: Error"
                                                             << "Verify failed: sector 1 (0400H) differs.";
    }
    void afterProgramming() {
        QFETCH(bool, pageLost);
        QFETCH(QString, status);
        QFETCH(QString, box);
        ConnectedTarget target;
        target.loadFirmware(fixturePath("blink.ihx"));
        if (pageLost)
            target.addRule(sim::FaultRule::onType(0x00, sim::FaultRule::Action::Ignore, 7));
        target.session.setVerifyAfterProgram(true);
        target.forget();
        QCOMPARE(target.session.click(Command::ProgramFirmware), true);
        QCOMPARE(target.session.statusText(), status);
        QVERIFY2(target.dialogs.boxTexts().constLast().startsWith(box),
                 qPrintable(target.dialogs.boxTexts().join('|')));
    }

    // Golden CRCs saved from this chip match it; those of another part are refused unread.
    void golden_data() {
        QTest::addColumn<QString>("savedFrom");
        QTest::addColumn<QString>("status");
        QTest::newRow("the same part") << "LPC932A1"
                                       << "Comparing with Golden CRCs: Done";
        QTest::newRow("another part") << "LPC936"
                                      << "Comparing with Golden CRCs: Error";
    }
    void golden() {
        QFETCH(QString, savedFrom);
        QFETCH(QString, status);
        QTemporaryDir dir;
        const QString file = dir.filePath("golden.json");
        {
            ConnectedTarget source(qPrintable(savedFrom));
            source.dialogs.fileAnswers = {file};
            QVERIFY(source.session.click(Command::SaveGolden));
            QCOMPARE(source.session.statusText(), QStringLiteral("Saving Golden CRCs: Done"));
        }
        QString error;
        QCOMPARE(loadGoldenCrcs(file, &error)->partName, savedFrom);
        ConnectedTarget target;
        target.dialogs.fileAnswers = {file};
        QVERIFY(target.session.click(Command::CompareGolden));
        QCOMPARE(target.session.statusText(), status);
        QCOMPARE(target.sent().isEmpty(), savedFrom != QLatin1String("LPC932A1"));
    }
};

QTEST_GUILESS_MAIN(TestVerify)
#include "tst_verify.moc"
