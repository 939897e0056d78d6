// The record of every chip: its JSON form, the checks before the first chip, and the sinks that
// keep it (JSON lines, SQLite, PostgreSQL against a throw-away server) with their spool. Records
// written from the threads of several boards at once are tried end to end by the command line's
// production tests.

#include "production/record_sink.h"
#include "support/chip_table.h"
#include "support/files.h"
#include "support/postgres_server.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <numeric>

using namespace zelvan;
using namespace zelvan::test;

namespace {

constexpr int kLinesEach = 100;
constexpr int kHelperWaitMs = 60000;

enum class Sample { Verified, VoidSerial, NothingRead };

ChipRecord sample(Sample kind, int second = 0) {
    ChipRecord record;
    record.time = QDateTime(QDate(2025, 3, 14), QTime(9, 26, second, 589), Qt::UTC);
    record.host = QStringLiteral("bench-2");
    record.port = QStringLiteral("COM3");
    record.device = QStringLiteral("/dev/ttyUSB1");
    record.loaderVersion = QStringLiteral(" ZELVAN ICP 2-1");
    record.partName = QStringLiteral("LPC932A1");
    record.ids = {0x15, 0xDD, 0x1F};
    record.command = QStringLiteral("program");
    if (kind == Sample::NothingRead) {
        record.exitStatus = 4;
        return record;
    }
    record.files = {{QStringLiteral("/srv/fw/app \"v2\".hex"), QStringLiteral("ab12")},
                    {QStringLiteral("/srv/fw/cal.hex"), QString()}};
    record.serialNumber = 0xFFFFFFFFu;
    record.serialAddress = 0x0FFC;
    record.serialBytes = 4;
    record.serialFormat = QStringLiteral("be");
    record.sectorsSent = 2;
    record.sectorsUnchanged = 5;
    record.sectorCrcs = {{0, {0x0A0B0C0Du, 0x0A0B0C0Du}}, {6, {0u, std::nullopt}}};
    record.globalCrc = {0xDEADBEEFu, std::nullopt};
    record.verify = kind == Sample::Verified ? VerifyResult::Passed : VerifyResult::Failed;
    record.serialVoid = kind == Sample::VoidSerial;
    record.exitStatus = kind == Sample::Verified ? 0 : 3;
    record.durationMs = 15234;
    return record;
}

// The chips table the previous version made, as a table of text columns, and the columns this
// version adds to it.
constexpr char kPreviousTable[] = "id text, time text, host text, port text, device text, loader_version text, "
                                  "part text, ids text, files text, serial_number text, serial_void text, "
                                  "crcs text, verify text, exit_status text, error text, duration_ms text";
constexpr char kAddedColumns[] = "command text, program_version text, serial_address text, serial_bytes text, "
                                 "serial_format text, sectors_sent text, sectors_unchanged text";

// The record as the previous version wrote it, without the keys added since.
QJsonObject previousVersionJson(const ChipRecord& record) {
    QJsonObject json = toJson(record);
    for (const QString& column : QString::fromLatin1(kAddedColumns).split(QStringLiteral(", ")))
        json.remove(column.section(QLatin1Char(' '), 0, 0));
    return json;
}

// The row as the record's JSON would have it: each column under its name, read as the type the
// JSON gives that key (JSON columns parsed).
QJsonObject rowAsJson(const QSqlRecord& row, const QJsonObject& like) {
    QJsonObject json;
    for (int i = 0; i < row.count(); ++i) {
        const QVariant column = row.value(i);
        const QJsonValue::Type type = like.value(row.fieldName(i)).type();
        json.insert(row.fieldName(i),
                    column.isNull()              ? QJsonValue(QJsonValue::Null)
                    : type == QJsonValue::Bool   ? QJsonValue(column.toBool())
                    : type == QJsonValue::Double ? QJsonValue(column.toLongLong())
                    : type == QJsonValue::String
                        ? QJsonValue(column.toString())
                        : QJsonValue::fromVariant(QJsonDocument::fromJson(column.toString().toUtf8()).toVariant()));
    }
    return json;
}

} // namespace

class TestChipRecords : public QObject {
    Q_OBJECT

    std::unique_ptr<PostgresServer> postgres_;

    // Starts the server of the PostgreSQL tests on first use, with a role "guard" that must give its
    // password; the reason when it cannot.
    QString startPostgres() {
        QString error;
        if (postgres_)
            return postgres_->isRunning() || postgres_->start(&error) ? QString() : error;
        postgres_ = std::make_unique<PostgresServer>();
        if (!postgres_->start(&error))
            return error;
        return runSql(postgres_->destination(), {"CREATE ROLE guard LOGIN PASSWORD 'right'"});
    }

private slots:
    void destinations_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed"); // kind|path|user|password|host|port|database; empty: refused
        const char* const rows[][2] = {
            {"out/records.jsonl", "0|out/records.jsonl|||||"},
            {"C:/records.jsonl", "0|C:/records.jsonl|||||"}, // a Windows drive is no scheme
            {"sqlite:/tmp/chips.db", "1|/tmp/chips.db|||||"},
            {"sqlite:", ""},
            {"postgresql://prod:pw@db.example:5433/factory", "2||prod|pw|db.example|5433|factory"},
            {"postgresql://prod@db/factory", "2||prod||db|5432|factory"},
            {"postgres://prod@db/factory", "2||prod||db|5432|factory"}, // as libpq takes it
            {"postgresql://prod@db", ""},
        };
        for (const auto& [text, parsed] : rows)
            QTest::newRow(text) << QString(text) << QString(parsed);
    }
    void destinations() {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        QString error;
        const std::optional<RecordDestination> found = parseRecordDestination(text, &error);
        QCOMPARE(error.isEmpty(), found.has_value());
        if (found)
            QCOMPARE(QStringList(
                         {QString::number(int(found->kind)), found->path, found->user, found->password, found->host,
                          found->kind == RecordDestination::Kind::Postgresql ? QString::number(found->port) : QString(),
                          found->database})
                         .join('|'),
                     parsed);
        QCOMPARE(parsed.isEmpty(), !found);
    }

    void refusedJson_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value"); // undefined: the key is left out
        QTest::addColumn<QString>("named");    // the key the refusal names
        QTest::newRow("no id") << "id" << QJsonValue(QJsonValue::Undefined) << "id";
        QTest::newRow("time not ISO 8601") << "time" << QJsonValue("14.03.2025 09:26") << "time";
        QTest::newRow("unknown verify result") << "verify" << QJsonValue("ok") << "verify";
        QTest::newRow("unknown serial format") << "serial_format" << QJsonValue("hex") << "serial_format";
        QTest::newRow("CRC not 8 hex digits")
            << "crcs" << QJsonValue(QJsonObject{{"sectors", QJsonArray{}}, {"global", QJsonObject{{"read", "12G4"}}}})
            << "read";
    }
    void refusedJson() {
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(QString, named);
        QJsonObject json = toJson(sample(Sample::Verified));
        json.remove(key);
        if (!value.isUndefined())
            json.insert(key, value);
        QString error;
        QVERIFY(!chipRecordFromJson(json, &error));
        QVERIFY2(error.contains(QStringLiteral("\"%1\"").arg(named)), qPrintable(error));
    }

    // A destination is checked before the first chip: refused when waiting will not help, with one
    // line saying why; no folder is made; a server that does not answer is accepted. A missing
    // PostgreSQL table is made typed, the previous version's all-text table gets the columns it
    // lacks, as text.
    void open_data() {
        QTest::addColumn<QString>("destination"); // %1 a temporary folder, %2 a free port, %3 a silent one,
                                                  // %4 the PostgreSQL server (the database is made unless "absent")
        QTest::addColumn<QString>("table");       // the chips table made before, if any
        QTest::addColumn<QString>("said");        // part of the refusal; empty: accepted
        QTest::addColumn<QString>("columns");     // the PostgreSQL table's columns after a write
        const auto row = [](const char* name, const char* destination, const QString& table, const char* said,
                            const QString& columns = QString()) {
            QTest::newRow(name) << QString(destination) << table << QString(said) << columns;
        };
        const QString previous = QLatin1String(kPreviousTable);
        row("JSON lines file", "%1/records.jsonl", "", "");
        row("JSON lines in a missing folder", "%1/missing/records.jsonl", "", "missing does not exist");
        row("JSON lines file that is a folder", "%1", "", "cannot append to");
        row("SQLite in a missing folder", "sqlite:%1/missing/chips.db", "", "missing does not exist");
        row("SQLite file that is a folder", "sqlite:%1", "", "cannot write the database file");
        row("unknown scheme", "mysql://prod@db/factory", "", "sqlite:FILE or postgresql://");
        row("nothing listens", "postgres://zelvan@127.0.0.1:%2/factory", "", "");
        row("server silent", "postgresql://zelvan@127.0.0.1:%3/factory", "", "");
        row("typed table made", "postgresql://zelvan@%4/typed", "", "",
            "id text, time timestamp with time zone, command text, program_version text, host text, port text, "
            "device text, loader_version text, part text, ids text, files jsonb, serial_number bigint, "
            "serial_address bigint, serial_bytes integer, serial_format text, serial_void boolean, crcs jsonb, "
            "sectors_sent integer, sectors_unchanged integer, verify text, exit_status integer, error text, "
            "duration_ms bigint");
        row("previous all-text table", "postgresql://zelvan@%4/previous", previous + ", PRIMARY KEY (id)", "",
            previous + ", " + QLatin1String(kAddedColumns));
        row("table of another shape", "postgresql://zelvan@%4/other", "id text PRIMARY KEY, note text",
            "no column \"time\"");
        row("no primary key", "postgresql://zelvan@%4/unkeyed", previous, "primary key");
        row("password refused", "postgresql://guard:wrong@%4/guarded", "", "password authentication failed");
        row("no such database", "postgresql://zelvan@%4/absent", "", "does not exist");
    }
    void open() {
        QFETCH(QString, destination);
        QFETCH(QString, table);
        QFETCH(QString, said);
        QFETCH(QString, columns);
        QTemporaryDir dir;
        const SilentPort silent;
        QString made;
        if (destination.contains(QStringLiteral("%4"))) {
            if (qEnvironmentVariableIsSet("ZELVAN_SKIP_POSTGRES"))
                QSKIP("ZELVAN_SKIP_POSTGRES is set");
            const QString started = startPostgres();
            QVERIFY2(started.isEmpty(), qPrintable(started));
            const QString database = destination.section(QLatin1Char('/'), -1);
            made = postgres_->destination(database);
            if (database != QLatin1String("absent"))
                QCOMPARE(runSql(postgres_->destination(), {"CREATE DATABASE " + database}), QString());
            if (!table.isEmpty())
                QCOMPARE(runSql(made, {"CREATE TABLE chips (" + table + ")"}), QString());
            destination.replace(QStringLiteral("%4"),
                                made.section(QLatin1Char('@'), 1).section(QLatin1Char('/'), 0, 0));
        }
        destination.replace(QStringLiteral("%1"), dir.path())
            .replace(QStringLiteral("%2"), QString::number(freeLocalPort()))
            .replace(QStringLiteral("%3"), QString::number(silent.port()));
        QString error;
        const auto sink = openRecordSink(destination, &error, dir.filePath(QStringLiteral("spool/spool.jsonl")));
        QVERIFY2(error.contains(said) && !error.contains(QLatin1Char('\n')), qPrintable(error));
        QCOMPARE(sink == nullptr, !said.isEmpty());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
        if (columns.isEmpty())
            return;
        const ChipRecord record = sample(Sample::Verified);
        QVERIFY2(sink->write(record, &error), qPrintable(error));
        QCOMPARE(chipTableColumns(made).join(QStringLiteral(", ")), columns);
        const QList<QSqlRecord> rows = chipTableRows(made);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].value(QStringLiteral("time")).toDateTime(), record.time);
        QCOMPARE(rows[0].value(QStringLiteral("serial_address")).toInt(), 0x0FFC);
    }

    // A JSON lines file that cannot be appended to keeps the record in the spool; the next write
    // that can sends it first.
    void jsonLinesSpoolWhatCannotBeWritten() {
        QTemporaryDir dir;
        const QString lines = dir.filePath(QStringLiteral("records.jsonl"));
        const QString spool = dir.filePath(QStringLiteral("spool.jsonl"));
        QString error;
        const auto sink = openRecordSink(lines, &error, spool);
        QVERIFY2(sink, qPrintable(error));
        QVERIFY(QFile::remove(lines) && QDir(dir.path()).mkdir(QStringLiteral("records.jsonl")));
        const ChipRecord kept = sample(Sample::Verified, 1);
        QVERIFY(!sink->write(kept, &error));
        QVERIFY2(error.contains(spool), qPrintable(error));
        const SpoolStatus waiting = spoolStatus(lines, spool);
        QCOMPARE(waiting.count, 1);
        QCOMPARE(waiting.oldest, std::optional<QDateTime>(kept.time));

        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("records.jsonl")));
        writeFile(lines, "{\"torn"); // the piece of a line a full disk left
        const ChipRecord next = sample(Sample::VoidSerial, 2);
        QVERIFY2(sink->write(next, &error), qPrintable(error));
        QStringList ids;
        for (const QJsonObject& line : jsonLines(lines))
            ids.append(line.value(QLatin1String("id")).toString());
        QCOMPARE(ids, (QStringList{QString(), kept.id, next.id}));
        QCOMPARE(spoolStatus(lines, spool).count, 0);
    }

    // What a spool holds (a record of the previous version among them) is counted and sent on
    // request; a destination that cannot take it leaves it there, and a line that is no record is
    // kept. Each SQLite row holds what the record's JSON holds.
    void spool_data() {
        QTest::addColumn<bool>("postgresql");
        QTest::newRow("SQLite") << false;
        if (!qEnvironmentVariableIsSet("ZELVAN_SKIP_POSTGRES"))
            QTest::newRow("PostgreSQL") << true;
    }
    void spool() {
        QFETCH(bool, postgresql);
        QTemporaryDir dir;
        const QString spool = dir.filePath(QStringLiteral("spool.jsonl"));
        const QList<ChipRecord> records{sample(Sample::Verified, 2), sample(Sample::VoidSerial, 3),
                                        sample(Sample::NothingRead, 4)};
        const ChipRecord previous = sample(Sample::VoidSerial, 1);
        QByteArray lines = QJsonDocument(previousVersionJson(previous)).toJson(QJsonDocument::Compact) + "\n{\"torn\n";
        for (const ChipRecord& record : records)
            lines += QJsonDocument(toJson(record)).toJson(QJsonDocument::Compact) + '\n';
        writeFile(spool, lines);
        const QString started = postgresql ? startPostgres() : QString();
        QVERIFY2(started.isEmpty(), qPrintable(started));
        const QString destination = postgresql
                                        ? postgres_->destination()
                                        : QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("gone/chips.db"));
        QString error;
        if (postgresql)
            QVERIFY2(postgres_->stop(&error), qPrintable(error));
        const SpoolStatus waiting = spoolStatus(destination, spool);
        QCOMPARE(waiting.count, 4);
        QCOMPARE(waiting.oldest, std::optional<QDateTime>(previous.time));
        QCOMPARE(zelvan::flushSpool(destination, &error, spool), std::nullopt);
        QVERIFY2(!error.isEmpty() && !error.contains('\n'), qPrintable(error));
        QCOMPARE(spoolStatus(destination, spool).count, 4);

        QVERIFY(postgresql ? postgres_->start(&error) : QDir(dir.path()).mkdir(QStringLiteral("gone")));
        QCOMPARE(zelvan::flushSpool(destination, &error, spool), std::optional<int>(4));
        QCOMPARE(spoolStatus(destination, spool).count, 0);
        QVERIFY(QFile::exists(spool));
        const QList<QSqlRecord> rows = chipTableRows(destination);
        QCOMPARE(rows.size(), 4);
        QVERIFY(rows[0].isNull(QStringLiteral("serial_address")));
        QCOMPARE(rows[1].value(QStringLiteral("serial_address")).toInt(), 0x0FFC);
        for (int i = 0; i < records.size() && !postgresql; ++i) {
            QCOMPARE(chipRecordFromJson(toJson(records[i]), &error), std::optional<ChipRecord>(records[i]));
            QCOMPARE(rowAsJson(rows[i + 1], toJson(records[i])), toJson(records[i]));
        }
    }

    // Two processes appending long lines to one file at once: every line lands whole.
    void concurrentAppendsGiveWholeLines() {
        QTemporaryDir dir;
        const QString lines = dir.filePath(QStringLiteral("records.jsonl"));
        QProcess writers[2];
        for (int i = 0; i < 2; ++i)
            writers[i].start(ZELVAN_PRODUCTION_HELPER,
                             {"append", lines, QString::number(kLinesEach), QString::number(i)});
        for (QProcess& writer : writers)
            QVERIFY(writer.waitForFinished(kHelperWaitMs) && writer.exitCode() == 0);
        QList<quint64> serials[2];
        QString error;
        for (const QJsonObject& object : jsonLines(lines)) {
            const std::optional<ChipRecord> record = chipRecordFromJson(object, &error);
            QVERIFY2(record, qPrintable(error));
            serials[record->host.toInt()].append(*record->serialNumber);
        }
        QList<quint64> expected(kLinesEach);
        std::iota(expected.begin(), expected.end(), 0);
        QCOMPARE(serials[0], expected);
        QCOMPARE(serials[1], expected);
    }
};

QTEST_GUILESS_MAIN(TestChipRecords)
#include "tst_chip_records.moc"
