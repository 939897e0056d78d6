// The session against simulated boards over pseudo-terminals: Auto Connect, the synchronisation,
// the port and baud menus, the board commands, identification and command availability.

#include "support/connected_target.h"

#include "board/port_messages.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

using namespace zelvan;
using namespace zelvan::test;
using namespace std::chrono_literals;

namespace {

using Start = ConnectedTarget::Start;

const QSet<Command> kDeviceCommands{Command::StatusByte,      Command::ErasePage,     Command::EraseSector,
                                    Command::LoadFirmware,    Command::UCFG1,         Command::UCFG2,
                                    Command::EraseChip,       Command::GetSectorCRC,  Command::GetGlobalCRC,
                                    Command::ProgramSecurity, Command::SetBootVector, Command::CCP};

sim::BoardModel boardWithIds(quint8 manufacturer, quint8 id1, quint8 id2) {
    return sim::BoardModel({manufacturer, id1, id2}, DeviceGeometry{16383, 1024, 16, 0});
}

} // namespace

class TestConnection : public QObject {
    Q_OBJECT

private slots:
    void autoConnectFindsBoardBehindSilentPorts() {
        ConnectedTarget t("", Start::NoBoard);
        t.rig.placeSilent(1);
        t.rig.placeSilent(2);
        sim::PtyBoardServer& board = t.rig.place(3, boardFor("LPC932A1"));
        QSignalSpy opened(&t.session.link(), &IspLink::portOpened);

        QVERIFY(t.session.click(Command::AutoConnect));

        QList<int> openedPorts;
        for (const QList<QVariant>& args : opened)
            openedPorts.append(args.at(0).toInt());
        QCOMPARE(openedPorts, (QList<int>{1, 2, 3, 3}));
        QCOMPARE(t.record.connections, (QList<QPair<QString, Rgb>>{{"Unconnected", kUnconnectedColour},
                                                                   {"Unconnected", kUnconnectedColour},
                                                                   {"Connected", kConnectedColour}}));
        // Each silent port: yellow, dark yellow, yellow, dark yellow for the three "U", then red.
        const QList<Led> silentPort{Led::Yellow, Led::DarkYellow, Led::Yellow, Led::DarkYellow, Led::Red};
        QCOMPARE(t.record.leds.mid(0, 5), silentPort);
        QCOMPARE(t.record.leds.mid(5, 5), silentPort);
        QCOMPARE(t.session.checkedPort(), 3);
        QVERIFY(t.session.autoSelectionChecked());
        QCOMPARE(t.session.part(), std::optional(DeviceGeometry{8191, 1024, 64, 7680}));
        QVERIFY(t.dialogs.boxes.isEmpty());
        QCOMPARE(received(t.rig.board(1)), (QStringList{"U", "U", "U"}));
        QCOMPARE(received(board),
                 (QStringList{"U", "U", "U", ":00000001FF", ":0100000310EC", ":0100000311EB", ":0100000312EA"}));
    }

    // The board is given the whole window after its three "U", even when it answers the first at
    // once: a real board may need all three to lock onto the speed.
    void synchronisationKeepsItsWindow() {
        ConnectedTarget t("LPC932A1", Start::PortOpened);
        t.session.link().setTiming({300ms, 300ms, 400ms});
        QElapsedTimer clock;
        clock.start();
        QVERIFY(t.session.link().synchronise());
        QVERIFY2(clock.elapsed() >= 400, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(t.session.board().readVersion(t.session).done());
        QCOMPARE(t.sent(), (QStringList{"U", "U", "U", ":00000001FF"}));
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
        QTest::newRow("version failed: Get LPC ID all the same")
            << 5 << (searched + QSet<Command>{Command::Version, Command::GetID} + kDeviceCommands);
    }
    void availabilityByStage() {
        QFETCH(int, stage);
        QFETCH(QSet<Command>, enabled);
        ConnectedTarget t("", Start::NoBoard);
        sim::BoardModel board = stage == 4 ? boardWithIds(0xFF, 0xFF, 0xFF) : boardFor("LPC932A1");
        board.faults().noVersion = stage == 2;
        if (stage >= 2)
            t.rig.place(1, std::move(board));
        if (stage > 0)
            QVERIFY(t.session.click(Command::AutoConnect));
        if (stage == 5) {
            t.rig.board(1).withBoard([](sim::BoardModel& b) { b.faults().silent = true; });
            QVERIFY(t.session.click(Command::Version));
        }
        QCOMPARE(enabledCommands(t.session), enabled);
    }

    void syncWithoutVersionGoesOn() {
        ConnectedTarget t("", Start::NoBoard);
        sim::BoardModel mute = boardFor("LPC932A1");
        mute.faults().noVersion = true;
        t.rig.place(1, std::move(mute));
        t.rig.place(2, boardFor("LPC936"));
        t.session.click(Command::AutoConnect);
        // COM1 synchronised but its version request went red; COM2 answered both.
        QCOMPARE(t.record.leds.mid(0, 7), (QList<Led>{Led::Yellow, Led::DarkYellow, Led::Yellow, Led::DarkYellow,
                                                      Led::Yellow, Led::DarkYellow, Led::Red}));
        QCOMPARE(t.session.checkedPort(), 2);
        QVERIFY(t.session.foundCpuText().contains("LPC936"));
    }

    void failedSearchKeepsGreenLabelColour() {
        ConnectedTarget t;
        t.withBoard([](sim::BoardModel& b) { b.faults().silent = true; });
        t.session.click(Command::AutoConnect);
        QCOMPARE(t.record.connections.first(), (QPair<QString, Rgb>{"Unconnected", kConnectedColour}));
    }

    // No board found, and a port exists that could not be opened: the user is told which and why.
    void autoConnectNamesPortsItCouldNotOpen() {
        ConnectedTarget t("", Start::NoBoard);
        LockedPty locked;
        qputenv("ZELVAN_COM2", locked.devicePath().toLocal8Bit());
        t.rig.placeSilent(3);
        t.session.click(Command::AutoConnect);
        QCOMPARE(t.session.statusText(), QStringLiteral("Not connected: programmer not found"));
        QCOMPARE(t.dialogs.boxes.size(), 1);
        const QStringList lines = t.dialogs.boxes[0].text.split('\n');
        QCOMPARE(lines.size(), 3); // the headline, the heading, COM2 alone (COM3 opened, the rest are missing)
        QVERIFY2(lines[2].startsWith("COM2 (" + locked.devicePath() + "): "), qPrintable(lines[2]));
        QVERIFY(!lines[2].contains("No error"));
    }

    // The letter goes alone; the indicator goes straight from yellow to the outcome; a refusal
    // next to a "." is a refusal.
    void boardCommandLetter_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("garbage");
        QTest::addColumn<Led>("led");
        QTest::newRow("ICP answered") << int(Command::ICP) << "" << Led::Green;
        QTest::newRow("OFF answered") << int(Command::OFF) << "" << Led::Green;
        QTest::newRow("OFF X and full stop") << int(Command::OFF) << "X" << Led::Red;
    }
    void boardCommandLetter() {
        QFETCH(int, command);
        QFETCH(QString, garbage);
        QFETCH(Led, led);
        ConnectedTarget t;
        t.withBoard([&](sim::BoardModel& b) { b.faults().garbagePrefix = garbage.toLatin1(); });
        QCOMPARE(t.session.click(static_cast<Command>(command)), true);
        QCOMPARE(t.sent(), QStringList{command == int(Command::ICP) ? "P" : "S"});
        QCOMPARE(t.record.leds, (QList<Led>{Led::Yellow, led}));
    }

    // After an LPC932A1 was identified, another target answers with these ids: the part and the
    // range lists follow it (the part texts and sizes of every id are the device suite's).
    void identification_data() {
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QString>("part");
        QTest::addColumn<QString>("box");
        QTest::newRow("LPC936") << QList<int>{0x15, 0xDD, 0x24} << "LPC936"
                                << "";
        QTest::newRow("all FF") << QList<int>{0xFF, 0xFF, 0xFF} << "[unknown] [unknown] [unknown]"
                                << "The LPC device seems to be not connected or unpowered. Please check.";
    }
    void identification() {
        QFETCH(QList<int>, ids);
        QFETCH(QString, part);
        QFETCH(QString, box);
        ConnectedTarget t;
        t.rig.place(1, boardWithIds(quint8(ids[0]), quint8(ids[1]), quint8(ids[2])));
        t.session.chooseComPort(1);
        t.dialogs.clear();

        QVERIFY(t.session.click(Command::GetID));

        QVERIFY2(t.session.foundCpuText().contains(part), qPrintable(t.session.foundCpuText()));
        QCOMPARE(t.session.sectorRange().count(), t.session.part()->sectorCount());
        QCOMPARE(t.session.pageRange().count(), t.session.part()->pageCount());
        QCOMPARE(t.dialogs.boxTexts(), box.isEmpty() ? QStringList() : QStringList{box});
        const QSet<Command> enabled = enabledCommands(t.session);
        QCOMPARE(enabled.contains(kDeviceCommands), box.isEmpty());
        QVERIFY(!enabled.intersects(QSet<Command>{Command::ProgramFirmware, Command::ClearFirmware}));
        QCOMPARE(t.session.firmwareLabel(), QStringLiteral("Firmware: "));
    }

    // An identification that fails half-way keeps the part, the ranges, the commands and the
    // loaded firmware (a completed one reads the files again: the window suite tests that).
    void failedSecondReadKeepsPreviousIdentification() {
        ConnectedTarget t("LPC936");
        t.loadFirmware(fixturePath("blink.ihx"));
        t.session.pageRange().chooseStart(5);
        const QString part = t.session.foundCpuText();
        const QSet<Command> enabled = enabledCommands(t.session);
        const FirmwareCache firmware = t.session.firmware();
        t.addRule(sim::FaultRule::onBody("0100000311", sim::FaultRule::Action::Silent));

        QVERIFY(t.session.click(Command::GetID));

        QCOMPARE(t.session.foundCpuText(), part);
        QCOMPARE(t.session.part(), std::optional(DeviceGeometry{16383, 2048, 64, 15872}));
        QCOMPARE(t.session.pageRange().startIndex(), 5);
        QCOMPARE(enabledCommands(t.session), enabled);
        QVERIFY(enabled.contains(Command::ProgramFirmware));
        QVERIFY(t.session.firmware() == firmware);
    }

    void clickDuringCommandSendsNothing() {
        ConnectedTarget t;
        t.withBoard([](sim::BoardModel& b) { b.faults().answerDelay = 150ms; });
        bool refused = false;
        bool menuRefused = false;
        bool baudRefused = false;
        QTimer::singleShot(50ms, [&] {
            refused = !t.session.click(Command::OFF);
            menuRefused = !t.session.chooseClearLoadedFw();
            baudRefused = !t.session.chooseBaud9600(true);
        });
        QVERIFY(t.session.click(Command::ICP));
        QVERIFY(refused);
        QVERIFY(menuRefused);
        QVERIFY(baudRefused && !t.session.baud9600Checked());
        QCOMPARE(t.sent(), QStringList{"P"});
    }

    // Only an open port that fails is a lost adapter.
    void adapterPulledDuringCommand() {
        ConnectedTarget t;
        t.withBoard([](sim::BoardModel& b) { b.faults().silent = true; });
        QTimer::singleShot(50ms, [&t] { t.board->vanish(); });
        QVERIFY(t.session.click(Command::ICP));
        QCOMPARE(t.session.connectionText(), QStringLiteral("Unconnected"));
        QCOMPARE(t.session.indicator(), Led::Red);
        QCOMPARE(t.record.statuses.filter("Programmer connection lost: ").size(), 1);
    }

    // A port chosen from the menu that cannot be opened: the box gives the system's reason, and
    // nothing says the programmer was lost.
    void portMenuRefusal_data() {
        QTest::addColumn<bool>("locked");
        QTest::newRow("no such port") << false;
        QTest::newRow("port that fails with an I/O error") << true;
    }
    void portMenuRefusal() {
        QFETCH(bool, locked);
        ConnectedTarget t;
        LockedPty pty;
        if (locked)
            qputenv("ZELVAN_COM5", pty.devicePath().toLocal8Bit());
        QVERIFY(t.session.chooseComPort(5));
        QCOMPARE(t.dialogs.boxes.size(), 1);
        const QStringList lines = t.dialogs.boxes[0].text.split('\n');
        QCOMPARE(lines[0], QStringLiteral("Error opening COM 5"));
        QVERIFY2(!lines[1].contains("No error"), qPrintable(lines[1]));
        if (locked)
            QVERIFY(lines[1].startsWith(pty.devicePath() + ": "));
        QCOMPARE(t.dialogs.boxes[0].title, QStringLiteral("ZANO Main CPU Simulator"));
        QCOMPARE(t.session.checkedPort(), 1);
        QVERIFY(t.session.autoSelectionChecked());
        QCOMPARE(t.session.connectionText(), QStringLiteral("Connected"));
        QVERIFY(t.record.connections.isEmpty());
        QVERIFY(t.record.leds.isEmpty());
        QVERIFY(t.record.statuses.isEmpty());
    }

    void portMenuOpensOnly() {
        ConnectedTarget t;
        t.rig.place(4, boardFor("LPC932A1"));
        QVERIFY(t.session.chooseComPort(4));
        QCOMPARE(t.session.checkedPort(), 4);
        QVERIFY(!t.session.autoSelectionChecked());
        QVERIFY(received(t.rig.board(4)).isEmpty());
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
