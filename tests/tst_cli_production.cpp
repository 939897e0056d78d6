// Production runs of zelvan-cli end to end: calibration of the CRC formulation, verify against
// the image and against golden CRCs, several boards at once, serial numbers, and the record of
// every chip (JSON lines, SQLite, PostgreSQL with its spool).

#include "support/board_rig.h"
#include "support/chip_table.h"
#include "support/cli_runner.h"
#include "support/connected_target.h"
#include "support/hex_image.h"
#include "support/postgres_server.h"

#include "flash/crc_model.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace zelvan;
using namespace zelvan::test;

namespace {

// Boards with the LPC932A1 on COM1..COMn.
struct Boards {
    BoardRig rig;
    explicit Boards(int count) {
        for (int com = 1; com <= count; ++com)
            rig.place(com, boardFor("LPC932A1"));
    }
    template <typename F> auto with(int com, F&& f) { return rig.board(com).withBoard(std::forward<F>(f)); }
    QByteArray flash(int com) { return flashOf(rig.board(com)); }
};

QStringList ports(int first, int last) {
    QStringList list;
    for (int com = first; com <= last; ++com)
        list.append(QStringLiteral("COM%1").arg(com));
    return {"-p", list.join(',')};
}

quint32 numberAt(const QByteArray& flash, int address) {
    return (quint8(flash[address]) << 24) | (quint8(flash[address + 1]) << 16) | (quint8(flash[address + 2]) << 8) |
           quint8(flash[address + 3]);
}

} // namespace

class TestCliProduction : public QObject {
    Q_OBJECT

    QTemporaryDir home_; // settings and spool of the child processes
    QString image_;      // a 4 KB image: 64 pages of varied bytes in sectors 0..3
    QByteArray imageBytes_;

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", home_.filePath("config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", home_.filePath("data").toLocal8Bit());
        qputenv("ZELVAN_LINK_TIMING_MS", "500,500,100");
        image_ = home_.filePath("image.hex");
        imageBytes_ = writeRandomHexImage(image_, 4096, 4096);
    }

    // For every formulation in the table, a board computing its CRCs that way is programmed and
    // then calibrated: exactly that formulation is stored. One outside the table is refused.
    void calibrate_data() {
        QTest::addColumn<QString>("variant");
        for (const CrcVariant& variant : crcVariants())
            QTest::newRow(qPrintable(variant.name)) << variant.name;
        QTest::newRow("outside the table") << QString();
    }
    void calibrate() {
        QFETCH(QString, variant);
        Boards boards(1);
        CrcVariant formulation = variant.isEmpty() ? defaultCrcVariant() : *findCrcVariant(variant);
        if (variant.isEmpty())
            formulation.polynomial = 0x04C11DB7u;
        boards.with(1, [&](sim::BoardModel& b) { b.setCrcVariant(formulation); });
        QFile::remove(home_.filePath("config/Zelvan/Zelvan Programmer.conf"));
        QCOMPARE(runCli({"program", image_, "-p", "COM1"}).exitCode, 0);

        const CliRun run = runCli({"crc", "calibrate", image_, "-p", "COM1"});

        QCOMPARE(run.exitCode, variant.isEmpty() ? 1 : 0);
        QSettings stored(home_.filePath("config/Zelvan/Zelvan Programmer.conf"), QSettings::IniFormat);
        QCOMPARE(stored.value("crc/variant").toString(), variant);
        if (variant.isEmpty())
            QVERIFY2(run.err.contains("no formulation of the signature matches"), qPrintable(run.err));
    }

    // program --verify and verify alone: passed, or exit 3 naming the sector that differs.
    void verify_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");
        QTest::newRow("good board") << "" << QStringList{"program", "--verify"} << 0 << "verified 4 CRC(s) against";
        QTest::newRow("a page record ignored")
            << "ignore page 18" << QStringList{"program", "--verify"} << 3 << "verify failed: sector 1 (0400H) differs";
        QTest::newRow("verify alone, nothing programmed")
            << "" << QStringList{"verify"} << 3 << "verify failed: sectors 0, 1, 2, 3";
        QTest::newRow("another formulation")
            << "" << QStringList{"program", "--crc-variant", "right-low-plain-up-zero"} << 3 << "verify failed";
    }
    void verify() {
        QFETCH(QString, fault);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        Boards boards(1);
        if (!fault.isEmpty())
            boards.with(1, [](sim::BoardModel& b) {
                b.faults().rules.push_back(sim::FaultRule::onType(0x00, sim::FaultRule::Action::Ignore, 18));
            });
        if (args.contains("--crc-variant"))
            args << "--verify";
        args.insert(1, image_);
        const CliRun run = runCli(args + QStringList{"-p", "COM1"});
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2((run.out + run.err).contains(said), qPrintable(run.out + run.err));
    }

    // An image that reaches into the sector the bootloader shares: its pages there are erased one
    // by one (the sector is protected), and no CRC computed from the image can check them, so the
    // verify is not done rather than passed.
    void imageBesideTheBootloader() {
        Boards boards(1);
        const QString image = home_.filePath("beside.hex");
        writeRandomHexImage(image, 0x1C40, 7);
        const CliRun run = runCli({"program", image, "--verify", "-p", "COM1"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("the image writes into sector 7 (1C00H), which also holds the bootloader"),
                 qPrintable(run.err));
        const QStringList sent = received(boards.rig.board(1));
        QVERIFY(sent.contains(":03000004001C00DD"));
        QVERIFY(!sent.contains(":03000004011C00DC"));
        QCOMPARE(boards.flash(1).mid(0x1E00), boards.with(1, [](sim::BoardModel& b) { return b.bootloaderImage(); }));
    }

    // Golden CRCs saved from a good chip need no formulation; a file of another part is refused.
    void golden() {
        Boards boards(2);
        boards.rig.place(3, boardFor("LPC936"));
        const QString golden = home_.filePath("golden.json");
        const QString other = home_.filePath("golden-936.json");
        QCOMPARE(runCli({"program", image_, "-p", "COM1"}).exitCode, 0);
        QCOMPARE(runCli({"crc", "sectors", "--save", golden, "-p", "COM1"}).exitCode, 0);
        QCOMPARE(runCli({"crc", "sectors", "--save", other, "-p", "COM3"}).exitCode, 0);

        const CliRun good = runCli({"program", image_, "--golden", golden, "-p", "COM2"});
        QCOMPARE(good.exitCode, 0);
        QVERIFY2(good.out.contains("verified 9 CRC(s) against the golden CRCs"), qPrintable(good.out + good.err));
        const CliRun wrongPart = runCli({"verify", image_, "--golden", other, "-p", "COM2"});
        QCOMPARE(wrongPart.exitCode, 2);
        QVERIFY(wrongPart.err.contains("the golden CRCs are those of an LPC936; this part is an LPC932A1"));
    }

    // Eight boards at once, one silent from the start and one that refuses its 20th page: the
    // other six are done, the exit status says a board failed, and the table and the records
    // (JSON lines and SQLite alike, each written from the boards' own threads) say which and why.
    void gang() {
        Boards boards(8);
        boards.with(3, [](sim::BoardModel& b) { b.faults().silent = true; });
        boards.with(6, [](sim::BoardModel& b) {
            b.faults().rules.push_back(sim::FaultRule::onType(0x00, sim::FaultRule::Action::Refuse, 20));
        });
        const QString jsonl = home_.filePath("gang.jsonl");
        const QString sqlite = home_.filePath("gang.db");
        const CliRun run =
            runCli(QStringList{"program", image_, "--verify", "--record", jsonl, "--record", "sqlite:" + sqlite} +
                   ports(1, 8));

        QCOMPARE(run.exitCode, 1);
        for (const int com : {1, 2, 4, 5, 7, 8})
            QCOMPARE(boards.flash(com).left(4096), imageBytes_);
        const QStringList table = run.out.split('\n').filter(QRegularExpression("^COM[1-8] "));
        QCOMPARE(table.size(), 8);
        QCOMPARE(table.filter(QRegularExpression("LPC932A1 +done +[0-9.]+ s  4$")).size(), 6);
        QVERIFY(table[2].contains("failed (4)"));
        QVERIFY(table[5].contains("failed (1)"));
        QVERIFY(run.err.contains("COM6: programming stopped: 19 of 64 pages written"));

        QMap<QString, QPair<int, QString>> rows; // by port: exit status and error
        for (const QSqlRecord& row : chipTableRows("sqlite:" + sqlite))
            rows.insert(row.value("port").toString(),
                        {row.value("exit_status").toInt(), row.value("error").toString()});
        const QList<QJsonObject> lines = jsonLines(jsonl);
        QCOMPARE(lines.size(), 8);
        for (const QJsonObject& line : lines)
            QCOMPARE(rows.value(line["port"].toString()),
                     qMakePair(line["exit_status"].toInt(), line["error"].toString()));
        QCOMPARE(rows["COM3"].first, 4);
        QVERIFY(rows["COM3"].second.contains("no programmer board answers"));
        QVERIFY(rows["COM6"].second.contains("programming stopped"));
    }

    // Two processes on one number file, four boards each at the same time: eight numbers, none
    // given twice, and the file at the next free one.
    void serialNumbersAcrossProcesses() {
        Boards boards(8);
        const QString numbers = home_.filePath("serials.txt");
        const QStringList args{"program", image_, "--serial", "0x0FFC", "--serial-file", numbers};
        QProcess first;
        first.start(QStringLiteral(ZELVAN_CLI), args + ports(1, 4));
        const CliRun second = runCli(args + ports(5, 8));
        QVERIFY(first.waitForFinished(60000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode, 0);
        QSet<quint32> given;
        for (int com = 1; com <= 8; ++com)
            given.insert(numberAt(boards.flash(com), 0x0FFC));
        QCOMPARE(given, (QSet<quint32>{1, 2, 3, 4, 5, 6, 7, 8}));
        QFile file(numbers);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().trimmed(), QByteArray("9"));
    }

    // A run killed while it programs has taken its number for good: the next chip gets another.
    void killedRunNeverRepeatsANumber() {
        Boards boards(1);
        boards.with(1, [](sim::BoardModel& b) { b.times().pageProgram = std::chrono::milliseconds(30); });
        const QString numbers = home_.filePath("killed.txt");
        const QStringList args{"program", image_, "--serial", "0x0FFC:2", "--serial-file", numbers, "-p", "COM1"};
        const CliRun killed = runCli(args, [&boards](QProcess& process) {
            QTRY_VERIFY_WITH_TIMEOUT(!received(boards.rig.board(1)).filter(QRegularExpression("^:40")).isEmpty(),
                                     10000);
            ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
        });
        QCOMPARE(killed.exitCode, -1);
        QCOMPARE(runCli(args).exitCode, 0);
        const QByteArray flash = boards.flash(1);
        QCOMPARE((quint8(flash[0x0FFC]) << 8) | quint8(flash[0x0FFD]), 2);
    }

    // A line of stations writing to one server: the rows of two concurrent runs arrive; with the
    // server down they wait in the spool (the runs still end done) and arrive with the next run.
    void postgresql() {
        if (qEnvironmentVariableIsSet("ZELVAN_SKIP_POSTGRES"))
            QSKIP("ZELVAN_SKIP_POSTGRES is set");
        QVERIFY2(!PostgresServer::binaryFolder().isEmpty(), "the postgresql package is not installed");
        PostgresServer server;
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        Boards boards(4);
        const QStringList args{"info", "--record", server.destination()};
        QProcess first;
        first.start(QStringLiteral(ZELVAN_CLI), args + ports(1, 2));
        QCOMPARE(runCli(args + ports(3, 4)).exitCode, 0);
        QVERIFY(first.waitForFinished(60000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(chipTableRows(server.destination()).size(), 4);

        QVERIFY2(server.stop(&error), qPrintable(error));
        const CliRun whileDown = runCli({"info", "--record", server.destination(), "-p", "COM1"});
        QCOMPARE(whileDown.exitCode, 0);
        QVERIFY(whileDown.err.contains("it is kept and sent with the next one"));
        QVERIFY2(server.start(&error), qPrintable(error));
        QCOMPARE(runCli({"info", "--record", server.destination(), "-p", "COM2"}).exitCode, 0);
        QCOMPARE(chipTableRows(server.destination()).size(), 6); // COM1 and COM2 twice each now
    }
};

QTEST_GUILESS_MAIN(TestCliProduction)
#include "tst_cli_production.moc"
