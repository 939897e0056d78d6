// The session against simulated boards over pseudo-terminals: Auto Connect, the port and baud
// menus, the loader version, the board commands, identification and command availability.

#include "support/board_rig.h"
#include "support/fake_dialogs.h"
#include "support/session_recorder.h"

#include "link/board_commands.h"
#include "session/port_messages.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;
using namespace std::chrono_literals;

namespace {

constexpr Rgb kRed = rgb(255, 0, 0);
constexpr Rgb kGreen = rgb(0, 255, 0);

const QSet<Command> kDeviceCommands{Command::StatusByte,      Command::ErasePage,     Command::EraseSector,
                                    Command::LoadFirmware,    Command::UCFG1,         Command::UCFG2,
                                    Command::EraseChip,       Command::GetSectorCRC,  Command::GetGlobalCRC,
                                    Command::ProgramSecurity, Command::SetBootVector, Command::CCP};

// A rig, scripted dialogs and a session with short time limits. The rig goes last, so that the
// session lets go of its port before the boards go away.
struct Bench {
    BoardRig rig;
    FakeDialogs dialogs;
    Session session{dialogs};
    SessionRecorder record{session};

    Bench() { session.link().setTiming(fastTiming()); }
};

sim::BoardModel boardWithIds(quint8 manufacturer, quint8 id1, quint8 id2) {
    return sim::BoardModel({manufacturer, id1, id2}, DeviceGeometry{16383, 1024, 16, 0});
}

} // namespace

class TestConnection : public QObject {
    Q_OBJECT

private slots:
    void autoConnectFindsBoardBehindSilentPorts() {
        Bench bench;
        bench.rig.placeSilent(1);
        bench.rig.placeSilent(2);
        sim::PtyBoardServer& board = bench.rig.place(3, boardFor("LPC932A1"));
        QSignalSpy opened(&bench.session.link(), &IspLink::portOpened);

        QVERIFY(bench.session.click(Command::AutoConnect));

        QList<int> openedPorts;
        for (const QList<QVariant>& args : opened)
            openedPorts.append(args.at(0).toInt());
        QCOMPARE(openedPorts, (QList<int>{1, 2, 3, 3}));
        QCOMPARE(bench.record.connections,
                 (QList<QPair<QString, Rgb>>{{"Unconnected", kRed}, {"Unconnected", kRed}, {"Connected", kGreen}}));
        // Each silent port: yellow, dark yellow, yellow, dark yellow for the three "U", then red.
        const QList<Led> silentPort{Led::Yellow, Led::DarkYellow, Led::Yellow, Led::DarkYellow, Led::Red};
        QCOMPARE(bench.record.leds.mid(0, 5), silentPort);
        QCOMPARE(bench.record.leds.mid(5, 5), silentPort);
        QCOMPARE(bench.session.checkedPort(), 3);
        QVERIFY(bench.session.autoSelectionChecked());
        QVERIFY(bench.record.statuses.contains("Loader Version: 00000001FF ZELVAN ICP 2-1"));
        QCOMPARE(bench.session.statusText(), QStringLiteral("CPU MFG=15 ID1=DD ID2=1F"));
        QCOMPARE(bench.session.foundCpuText(),
                 QStringLiteral("Philips LPC932A1 (1Kb Sector Size, 64b Page Size, 8Kb Flash)"));
        QCOMPARE(bench.session.geometry(), (DeviceGeometry{8191, 1024, 64, 7680}));
        QCOMPARE(bench.session.sectorRange().count(), 8);
        QCOMPARE(bench.session.pageRange().count(), 128);
        QVERIFY(bench.dialogs.boxes.isEmpty());
        QCOMPARE(received(bench.rig.board(1)), (QStringList{"U", "U", "U"}));
        QCOMPARE(received(board),
                 (QStringList{"U", "U", "U", ":00000001FF", ":0100000310EC", ":0100000311EB", ":0100000312EA"}));
    }

    // Which commands each stage of the work leaves enabled.
    void availabilityByStage_data() {
        QTest::addColumn<int>("stage");
        QTest::addColumn<QSet<Command>>("enabled");
        const QSet<Command> searched{Command::AutoConnect, Command::ICP, Command::OFF};
        QTest::newRow("start") << 0 << QSet<Command>{Command::AutoConnect};
        QTest::newRow("no ports at all") << 1 << searched;
        QTest::newRow("synchronised, no version") << 2 << (searched + QSet<Command>{Command::Version});
        QTest::newRow("device identified")
            << 3 << (searched + QSet<Command>{Command::Version, Command::GetID} + kDeviceCommands);
        QTest::newRow("identification read all FF")
            << 4 << (searched + QSet<Command>{Command::Version, Command::GetID});
    }
    void availabilityByStage() {
        QFETCH(int, stage);
        QFETCH(QSet<Command>, enabled);
        Bench bench;
        if (stage == 2) {
            sim::BoardModel board = boardFor("LPC932A1");
            board.faults().noVersion = true;
            bench.rig.place(1, std::move(board));
        } else if (stage == 3) {
            bench.rig.place(1, boardFor("LPC932A1"));
        } else if (stage == 4) {
            bench.rig.place(1, boardWithIds(0xFF, 0xFF, 0xFF));
        }
        if (stage > 0)
            QVERIFY(bench.session.click(Command::AutoConnect));
        QCOMPARE(enabledCommands(bench.session), enabled);
    }

    void syncWithoutVersionGoesOn() {
        Bench bench;
        sim::BoardModel mute = boardFor("LPC932A1");
        mute.faults().noVersion = true;
        bench.rig.place(1, std::move(mute));
        bench.rig.place(2, boardFor("LPC936"));
        bench.session.click(Command::AutoConnect);
        // COM1 synchronised but its version request went red; COM2 answered both.
        QCOMPARE(bench.record.leds.mid(0, 7), (QList<Led>{Led::Yellow, Led::DarkYellow, Led::Yellow, Led::DarkYellow,
                                                          Led::Yellow, Led::DarkYellow, Led::Red}));
        QCOMPARE(bench.session.checkedPort(), 2);
        QVERIFY(bench.session.foundCpuText().contains("LPC936"));
    }

    void failedSearchKeepsGreenLabelColour() {
        Bench bench;
        sim::PtyBoardServer& board = bench.rig.place(1, boardFor("LPC932A1"));
        bench.session.click(Command::AutoConnect);
        board.withBoard([](sim::BoardModel& b) { b.faults().silent = true; });
        bench.record.clear();
        bench.session.click(Command::AutoConnect);
        QCOMPARE(bench.record.connections.first(), (QPair<QString, Rgb>{"Unconnected", kGreen}));
    }

    // Letter, board behaviour -> box text, indicator.
    void boardCommands_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("behaviour");
        QTest::addColumn<QString>("boxText");
        QTest::addColumn<Led>("led");
        const int icp = static_cast<int>(Command::ICP);
        const int off = static_cast<int>(Command::OFF);
        QTest::newRow("ICP answered") << icp << "ok"
                                      << "Peripheral ICP Mode: Done" << Led::Green;
        QTest::newRow("ICP refused") << icp << "refuse"
                                     << "ERROR: Check Peripheral Connections" << Led::Red;
        QTest::newRow("ICP silent") << icp << "silent"
                                    << "ERROR: No response, check RS232 cable" << Led::Red;
        QTest::newRow("OFF answered") << off << "ok"
                                      << "Peripheral Power OFF: Done" << Led::Green;
        QTest::newRow("OFF refused") << off << "refuse"
                                     << "ERROR: Check Peripheral Connections" << Led::Red;
        QTest::newRow("OFF X and full stop") << off << "x-and-stop"
                                             << "ERROR: Check Peripheral Connections" << Led::Red;
        QTest::newRow("OFF silent") << off << "silent"
                                    << "ERROR: No response, check RS232 cable" << Led::Red;
    }
    void boardCommands() {
        QFETCH(int, command);
        QFETCH(QString, behaviour);
        QFETCH(QString, boxText);
        QFETCH(Led, led);
        const bool icp = command == static_cast<int>(Command::ICP);
        const BoardCommand& table = icp ? icpModeCommand() : powerOffCommand();
        Bench bench;
        sim::PtyBoardServer& board = bench.rig.place(1, boardFor("LPC932A1"));
        bench.session.click(Command::AutoConnect);
        board.withBoard([&](sim::BoardModel& b) {
            b.clearReceived();
            if (behaviour == "refuse")
                b.faults().rules.push_back(sim::FaultRule::onLetter(table.letter, sim::FaultRule::Action::Refuse));
            else if (behaviour == "silent")
                b.faults().rules.push_back(sim::FaultRule::onLetter(table.letter, sim::FaultRule::Action::Silent));
            else if (behaviour == "x-and-stop")
                b.faults().garbagePrefix = "X";
        });
        bench.dialogs.clear();
        bench.record.clear();

        QVERIFY(bench.session.click(static_cast<Command>(command)));

        QCOMPARE(received(board), QStringList{QString(QLatin1Char(table.letter))});
        QCOMPARE(bench.dialogs.beeps, 1);
        QCOMPARE(bench.dialogs.boxes.size(), 1);
        QCOMPARE(bench.dialogs.boxes[0].text, boxText);
        QCOMPARE(bench.dialogs.boxes[0].title, table.boxTitle);
        QCOMPARE(bench.record.statuses, (QStringList{table.startText, table.doneText}));
        QCOMPARE(bench.record.leds, (QList<Led>{Led::Yellow, led}));
        // The flag that decided the outcome is clear again (a "." next to an "X" stays set).
        QVERIFY(!bench.session.link().response().fgResponseErr);
        QCOMPARE(bench.session.link().response().fgResponseOK, behaviour == "x-and-stop");
    }

    // After an LPC932A1 was identified, another target answers with these ids.
    void identification_data() {
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QString>("part");
        QTest::addColumn<QList<int>>("geometry"); // last address, sector, page, bootloader
        QTest::addColumn<QString>("box");
        QTest::newRow("LPC936") << QList<int>{0x15, 0xDD, 0x24}
                                << "Philips LPC936 (2Kb Sector Size, 64b Page Size, 16Kb Flash)"
                                << QList<int>{16383, 2048, 64, 15872} << "";
        QTest::newRow("unknown device id 2 keeps the bootloader address")
            << QList<int>{0x15, 0xDD, 0xFE} << "Philips LPC9[unknown]" << QList<int>{16383, 1024, 16, 7680} << "";
        QTest::newRow("all FF") << QList<int>{0xFF, 0xFF, 0xFF} << "[unknown] [unknown] [unknown]"
                                << QList<int>{16383, 1024, 16, 7680}
                                << "The LPC device seems to be not connected or unpowered. Please check.";
    }
    void identification() {
        QFETCH(QList<int>, ids);
        QFETCH(QString, part);
        QFETCH(QList<int>, geometry);
        QFETCH(QString, box);
        Bench bench;
        bench.rig.place(1, boardFor("LPC932A1"));
        bench.session.click(Command::AutoConnect);
        bench.rig.place(1, boardWithIds(quint8(ids[0]), quint8(ids[1]), quint8(ids[2])));
        bench.session.chooseComPort(1);
        bench.dialogs.clear();

        QVERIFY(bench.session.click(Command::GetID));

        QCOMPARE(bench.session.foundCpuText(), part);
        const DeviceGeometry& g = bench.session.geometry();
        QCOMPARE((QList<int>{g.intFlashLastAddr, g.intSectorSize, g.intPageSize, g.intBootloaderAddr}), geometry);
        QCOMPARE(bench.session.sectorRange().count(), g.sectorCount());
        QCOMPARE(bench.session.pageRange().count(), g.pageCount());
        QCOMPARE(bench.dialogs.boxTexts(), box.isEmpty() ? QStringList() : QStringList{box});
        if (!box.isEmpty())
            QCOMPARE(bench.dialogs.boxes[0].title, QStringLiteral("LPC ID"));
        const QSet<Command> enabled = enabledCommands(bench.session);
        QCOMPARE(enabled.contains(kDeviceCommands), box.isEmpty());
        QVERIFY(!enabled.intersects(QSet<Command>{Command::ProgramFirmware, Command::ClearFirmware}));
        QCOMPARE(bench.session.firmwareLabel(), QStringLiteral("Firmware: "));
    }

    void failedSecondReadKeepsPreviousIdentification() {
        Bench bench;
        sim::PtyBoardServer& board = bench.rig.place(1, boardFor("LPC936"));
        bench.session.click(Command::AutoConnect);
        bench.session.pageRange().chooseStart(5);
        const QString part = bench.session.foundCpuText();
        const QSet<Command> enabled = enabledCommands(bench.session);
        board.withBoard([](sim::BoardModel& b) {
            b.faults().rules.push_back(sim::FaultRule::onBody("0100000311", sim::FaultRule::Action::Silent));
        });

        QVERIFY(bench.session.click(Command::GetID));

        QCOMPARE(bench.session.statusText(), QStringLiteral("CPU ID Read Failed"));
        QCOMPARE(bench.session.foundCpuText(), part);
        QCOMPARE(bench.session.geometry(), (DeviceGeometry{16383, 2048, 64, 15872}));
        QCOMPARE(bench.session.pageRange().startIndex(), 5);
        QCOMPARE(enabledCommands(bench.session), enabled);
        QVERIFY(bench.dialogs.boxes.isEmpty());
    }

    void versionWithSilentBoardShowsEarlierText() {
        Bench bench;
        sim::PtyBoardServer& board = bench.rig.place(1, boardFor("LPC932A1"));
        bench.session.click(Command::AutoConnect);
        board.withBoard([](sim::BoardModel& b) { b.faults().silent = true; });
        QVERIFY(bench.session.click(Command::Version));
        QCOMPARE(bench.session.statusText(), QStringLiteral("Loader Version: 0100000312EA1F"));
        QCOMPARE(bench.session.indicator(), Led::Red);
        QVERIFY(bench.session.isEnabled(Command::GetID));
    }

    void clickDuringCommandSendsNothing() {
        Bench bench;
        sim::PtyBoardServer& board = bench.rig.place(1, boardFor("LPC932A1"));
        bench.session.click(Command::AutoConnect);
        board.withBoard([](sim::BoardModel& b) {
            b.clearReceived();
            b.faults().answerDelay = 150ms;
        });
        bool refused = false;
        bool menuRefused = false;
        bool baudRefused = false;
        QTimer::singleShot(50ms, [&] {
            refused = !bench.session.click(Command::OFF);
            menuRefused = !bench.session.chooseClearLoadedFw();
            baudRefused = !bench.session.chooseBaud9600(true);
        });
        QVERIFY(bench.session.click(Command::ICP));
        QVERIFY(refused);
        QVERIFY(menuRefused);
        QVERIFY(baudRefused && !bench.session.baud9600Checked());
        QCOMPARE(received(board), QStringList{"P"});
        QCOMPARE(bench.dialogs.boxTexts(), QStringList{"Peripheral ICP Mode: Done"});
    }

    void adapterPulledDuringCommand() {
        Bench bench;
        sim::PtyBoardServer& board = bench.rig.place(1, boardFor("LPC932A1"));
        bench.session.click(Command::AutoConnect);
        board.withBoard([](sim::BoardModel& b) { b.faults().silent = true; });
        QTimer::singleShot(50ms, [&board] { board.vanish(); });
        QVERIFY(bench.session.click(Command::ICP));
        QCOMPARE(bench.session.connectionText(), QStringLiteral("Unconnected"));
        QCOMPARE(bench.dialogs.boxTexts().constLast(), QStringLiteral("ERROR: No response, check RS232 cable"));
        QVERIFY(bench.record.statuses.filter("Programmer connection lost: ").size() == 1);
    }

    void portMenu() {
        Bench bench;
        bench.rig.place(3, boardFor("LPC932A1"));
        bench.session.click(Command::AutoConnect);
        QVERIFY(bench.session.chooseComPort(5));
        QCOMPARE(bench.dialogs.boxes.size(), 1);
        QCOMPARE(bench.dialogs.boxes[0].text.section('\n', 0, 0), QStringLiteral("Error opening COM 5"));
        QCOMPARE(bench.dialogs.boxes[0].title, QStringLiteral("ZANO Main CPU Simulator"));
        QCOMPARE(bench.session.checkedPort(), 3);
        QVERIFY(bench.session.autoSelectionChecked());

        // Choosing a port that opens moves the mark and takes nothing else.
        bench.rig.place(4, boardFor("LPC932A1"));
        QVERIFY(bench.session.chooseComPort(4));
        QCOMPARE(bench.session.checkedPort(), 4);
        QVERIFY(!bench.session.autoSelectionChecked());
        QCOMPARE(bench.session.connectionText(), QStringLiteral("Connected"));
        QVERIFY(received(bench.rig.board(4)).isEmpty());
    }

    void portErrorTexts_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("secondLine");
        QTest::newRow("no such port") << "" << int(QSerialPort::DeviceNotFoundError)
                                      << "The system reports no serial port for COM2.";
        QTest::newRow("busy") << "/dev/ttyUSB0" << int(QSerialPort::OpenError) << "/dev/ttyUSB0: Device busy";
        QTest::newRow("permission") << "/dev/ttyUSB0" << int(QSerialPort::PermissionError)
                                    << "/dev/ttyUSB0: permission denied. Add your user to the group that owns the "
                                       "device (dialout), for example with \"sudo usermod -aG dialout $USER\", then "
                                       "log in again.";
    }
    void portErrorTexts() {
        QFETCH(QString, device);
        QFETCH(int, error);
        QFETCH(QString, secondLine);
        const PortOpenFailure failure{2, device, static_cast<QSerialPort::SerialPortError>(error),
                                      QStringLiteral("Device busy")};
        QCOMPARE(portOpenErrorText(failure), QStringLiteral("Error opening COM 2\n") + secondLine);
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
