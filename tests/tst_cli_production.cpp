// Production runs of zelvan-cli end to end: the CRC formulation that calibration stores and verify
// uses, golden CRCs, and a line of boards numbering every chip and keeping its record (JSON lines,
// SQLite, PostgreSQL with its spool) from the boards' own threads.

#include "support/board_rig.h"
#include "support/chip_table.h"
#include "support/cli_runner.h"
#include "support/connected_target.h"
#include "support/postgres_server.h"

#include "flash/crc_model.h"

#include <QSettings>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

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
};

QStringList ports(int first, int last) {
    QStringList list;
    for (int com = first; com <= last; ++com)
        list.append(QStringLiteral("COM%1").arg(com));
    return {"-p", list.join(',')};
}

} // namespace

class TestCliProduction : public QObject {
    Q_OBJECT

    QTemporaryDir home_; // settings and spool of the child processes
    QString image_;      // 64 pages of varied bytes in sectors 0..3
    QByteArray imageBytes_;

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", home_.filePath("config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", home_.filePath("data").toLocal8Bit());
        qputenv("ZELVAN_LINK_TIMING_MS", "1000,1000,200");
        image_ = home_.filePath("image.hex");
        imageBytes_ = writeRandomHexImage(image_, 4096, 4096);
    }

    // Calibrating a programmed chip stores its formulation, which verify then uses unless
    // --crc-variant names another; a chip whose formulation is outside the table stores nothing.
    void calibrate_data() {
        QTest::addColumn<QString>("variant"); // the chip's; empty: outside the table
        QTest::newRow("a formulation of the table") << "right-low-plain-up-zero";
        QTest::newRow("outside the table") << QString();
    }
    void calibrate() {
        QFETCH(QString, variant);
        Boards boards(1);
        CrcVariant formulation = variant.isEmpty() ? defaultCrcVariant() : *findCrcVariant(variant);
        if (variant.isEmpty())
            formulation.polynomial = 0x04C11DB7u;
        boards.with(1, [&](sim::BoardModel& b) { b.setCrcVariant(formulation); });
        const QString settings = home_.filePath("config/Zelvan/Zelvan Programmer.conf");
        QFile::remove(settings);
        QCOMPARE(runCli({"program", image_, "-p", "COM1"}).exitCode, 0);

        const CliRun run = runCli({"crc", "calibrate", image_, "-p", "COM1"});
        QCOMPARE(run.exitCode, variant.isEmpty() ? 1 : 0);
        QVERIFY2(run.out.contains("calibrated: the chip's CRCs are " + variant + "; stored for verify") ||
                     (variant.isEmpty() && run.err.contains("no formulation of the signature matches")),
                 qPrintable(run.out + run.err));
        QCOMPARE(QSettings(settings, QSettings::IniFormat).value("crc/variant").toString(), variant);
        QCOMPARE(runCli({"verify", image_, "-p", "COM1"}).exitCode, variant.isEmpty() ? 3 : 0);
        const QStringList another{"--crc-variant", defaultCrcVariant().name};
        QCOMPARE(runCli(QStringList{"verify", image_, "-p", "COM1"} + another).exitCode, 3);
    }

    // Golden CRCs saved from a good chip check another without a formulation; a file of another part
    // is bad input.
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

    // Eight boards at once, one silent from the start and one that refuses its 20th page, each
    // taking its serial number from one file: the other six are done with numbers of their own,
    // and the table and the records (JSON lines and SQLite alike) say which board failed and why,
    // and that the number the failed chip took is void.
    void gang() {
        Boards boards(8);
        boards.with(3, [](sim::BoardModel& b) { b.faults().silent = true; });
        boards.with(6, [](sim::BoardModel& b) {
            b.faults().rules.push_back(sim::FaultRule::onType(0x00, sim::FaultRule::Action::Refuse, 20));
        });
        const QString jsonl = home_.filePath("gang.jsonl");
        const QString sqlite = "sqlite:" + home_.filePath("gang.db");
        const QString numbers = home_.filePath("serials.txt");
        const CliRun run = runCli(QStringList{"program", image_, "--verify", "--serial", "0x1000:2", "--serial-file",
                                              numbers, "--record", jsonl, "--record", sqlite} +
                                  ports(1, 8));

        QCOMPARE(run.exitCode, 1);
        const QStringList table = run.out.split('\n').filter(QRegularExpression("^COM[1-8] "));
        QCOMPARE(table.size(), 8);
        QCOMPARE(table.filter(QRegularExpression("LPC932A1 +done +[0-9.]+ s  5$")).size(), 6);
        QVERIFY(table[2].contains("failed (4)"));
        QVERIFY(table[5].contains("failed (1)"));
        QVERIFY2(run.err.contains("COM6: programming stopped: 19 of 65 pages written"), qPrintable(run.err));

        QMap<QString, QJsonObject> lines; // by port
        for (const QJsonObject& line : jsonLines(jsonl))
            lines.insert(line["port"].toString(), line);
        QCOMPARE(lines.size(), 8);
        QVERIFY(lines["COM3"]["error"].toString().contains("no programmer board answers"));
        QVERIFY(lines["COM6"]["error"].toString().contains("programming stopped") &&
                lines["COM6"]["serial_void"].toBool());
        QSet<qint64> given;
        for (const QSqlRecord& row : chipTableRows(sqlite)) {
            const QJsonObject line = lines.take(row.value("port").toString());
            const qint64 number = line["serial_number"].toInteger(-1);
            QCOMPARE(row.value("exit_status").toInt(), line["exit_status"].toInt());
            QCOMPARE(row.value("error").toString(), line["error"].toString());
            QCOMPARE(row.value("serial_number").isNull() ? -1 : row.value("serial_number").toLongLong(), number);
            QCOMPARE(line["serial_void"].toBool(), line["exit_status"].toInt() != 0 && number >= 0);
            QCOMPARE(row.value("serial_void").toBool(), line["serial_void"].toBool());
            const QByteArray flash = flashOf(boards.rig.board(row.value("port").toString().mid(3).toInt()));
            if (line["exit_status"].toInt() == 0) // the image, and the number at its place
                QCOMPARE(flash.left(4096) + flash.mid(4096, 2).toHex(),
                         imageBytes_ + QByteArray::number(number, 16).rightJustified(4, '0'));
            given.insert(number);
        }
        QVERIFY(lines.isEmpty());
        QCOMPARE(given, (QSet<qint64>{-1, 1, 2, 3, 4, 5, 6, 7})); // COM3 took none
        QFile file(numbers);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().trimmed(), QByteArray("8"));
    }

    // A line of stations writing to one server: the rows of two runs at once arrive; with the server
    // down a run still ends done, its record waits in the spool and arrives with the next run.
    void postgresql() {
        if (qEnvironmentVariableIsSet("ZELVAN_SKIP_POSTGRES"))
            QSKIP("ZELVAN_SKIP_POSTGRES is set");
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
        const CliRun whileDown = runCli(args + ports(1, 1));
        QCOMPARE(whileDown.exitCode, 0);
        QVERIFY(whileDown.err.contains("it is kept and sent with the next one"));
        QVERIFY2(server.start(&error), qPrintable(error));
        QCOMPARE(runCli(args + ports(2, 2)).exitCode, 0);
        QCOMPARE(chipTableRows(server.destination()).size(), 6);
    }
};

QTEST_GUILESS_MAIN(TestCliProduction)
#include "tst_cli_production.moc"
