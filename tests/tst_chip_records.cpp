// The record of every chip: its JSON form, the checks before the first chip, and the sinks that
// keep it (JSON lines, SQLite, PostgreSQL against a throw-away server) with their spool. Records
// written through one sink from the threads of eight boards at once are tried end to end, by the
// command line's production tests.

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

using namespace zelvan;
using namespace zelvan::test;

namespace {

constexpr int kAppendingProcesses = 2;
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
        QTest::newRow("JSON lines file") << "out/records.jsonl"
                                         << "0|out/records.jsonl|||||";
        QTest::newRow("SQLite") << "sqlite:/tmp/chips.db"
                                << "1|/tmp/chips.db|||||";
        QTest::newRow("PostgreSQL with port") << "postgresql://prod:pw@db.example:5433/factory"
                                              << "2||prod|pw|db.example|5433|factory";
        QTest::newRow("PostgreSQL default port") << "postgresql://prod@db/factory"
                                                 << "2||prod||db|5432|factory";
        QTest::newRow("PostgreSQL without database") << "postgresql://prod@db"
                                                     << "";
        QTest::newRow("postgres, as libpq takes it") << "postgres://prod@db/factory"
                                                     << "2||prod||db|5432|factory";
        QTest::newRow("Windows drive") << "C:/records.jsonl"
                                       << "0|C:/records.jsonl|||||";
        QTest::newRow("SQLite without file") << "sqlite:"
                                             << "";
    }
    void destinations() {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        QString error;
        const std::optional<RecordDestination> found = parseRecordDestination(text, &error);
        QCOMPARE(error.isEmpty(), found.has_value());
        const QString fields =
            !found ? QString()
                   : QStringList{QString::number(int(found->kind)),
                                 found->path,
                                 found->user,
                                 found->password,
                                 found->host,
                                 found->kind == RecordDestination::Kind::Postgresql ? QString::number(found->port)
                                                                                    : QString(),
                                 found->database}
                         .join(QLatin1Char('|'));
        QCOMPARE(fields, parsed);
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
    // line saying why; no folder is made. A server that does not answer is accepted.
    void openChecks_data() {
        QTest::addColumn<QString>("destination"); // %1: a temporary folder, %2: a free port, %3: a silent one
        QTest::addColumn<QString>("said");        // part of the refusal; empty: accepted
        const auto row = [](const char* name, const char* destination, const char* said) {
            QTest::newRow(name) << QString::fromUtf8(destination) << QString::fromUtf8(said);
        };
        row("JSON lines file", "%1/records.jsonl", "");
        row("JSON lines in a missing folder", "%1/missing/records.jsonl", "missing does not exist");
        row("JSON lines file that is a folder", "%1", "cannot append to");
        row("SQLite in a missing folder", "sqlite:%1/missing/chips.db", "missing does not exist");
        row("SQLite file that is a folder", "sqlite:%1", "cannot write the database file");
        row("unknown scheme", "mysql://prod@db/factory", "sqlite:FILE or postgresql://");
        row("nothing listens", "postgres://zelvan@127.0.0.1:%2/factory", "");
        row("server silent", "postgresql://zelvan@127.0.0.1:%3/factory", "");
    }
    void openChecks() {
        QFETCH(QString, destination);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const SilentPort silent;
        QString error;
        destination.replace(QStringLiteral("%1"), dir.path())
            .replace(QStringLiteral("%2"), QString::number(freeLocalPort()))
            .replace(QStringLiteral("%3"), QString::number(silent.port()));
        const auto sink = openRecordSink(destination, &error, dir.filePath(QStringLiteral("spool/spool.jsonl")));
        QVERIFY2(error.contains(said) && !error.contains(QLatin1Char('\n')), qPrintable(error));
        QCOMPARE(sink == nullptr, !said.isEmpty());
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
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
    // request; a destination that refuses leaves it there, and a line that is no record is kept.
    void spoolStatusAndFlush() {
        QTemporaryDir dir;
        const QString spool = dir.filePath(QStringLiteral("spool.jsonl"));
        const ChipRecord old = sample(Sample::VoidSerial, 1);
        writeFile(spool, QJsonDocument(toJson(sample(Sample::Verified, 2))).toJson(QJsonDocument::Compact) +
                             "\n{\"torn\n" + QJsonDocument(previousVersionJson(old)).toJson(QJsonDocument::Compact));
        const QString database = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("chips.db"));
        const SpoolStatus waiting = spoolStatus(database, spool);
        QCOMPARE(waiting.count, 2);
        QCOMPARE(waiting.oldest, std::optional<QDateTime>(old.time));
        QString error;
        QVERIFY(!zelvan::flushSpool(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("gone/chips.db")), &error,
                                    spool));
        QVERIFY2(error.contains(QStringLiteral("does not exist")), qPrintable(error));
        QCOMPARE(spoolStatus(database, spool).count, 2);

        QCOMPARE(zelvan::flushSpool(database, &error, spool), std::optional<int>(2));
        const QList<QSqlRecord> rows = chipTableRows(database);
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows[0].isNull(QStringLiteral("serial_address")));
        QCOMPARE(rows[1].value(QStringLiteral("serial_address")).toInt(), 0x0FFC);
        QCOMPARE(spoolStatus(database, spool).count, 0);
        QVERIFY(QFile::exists(spool));
    }

    // The same records through both file sinks: the JSON lines read back as the records, and each
    // SQLite row holds what the line holds.
    void jsonLinesAndSqliteHoldTheSameRows() {
        QTemporaryDir dir;
        const QString lines = dir.filePath(QStringLiteral("records.jsonl"));
        const QString database = dir.filePath(QStringLiteral("records.db"));
        QString error;
        const auto jsonSink = openRecordSink(lines, &error, dir.filePath(QStringLiteral("lines-spool.jsonl")));
        const auto sqliteSink =
            openRecordSink(QStringLiteral("sqlite:") + database, &error, dir.filePath(QStringLiteral("spool.jsonl")));
        const QList<ChipRecord> records{sample(Sample::Verified, 1), sample(Sample::VoidSerial, 2),
                                        sample(Sample::NothingRead, 3)};
        for (const ChipRecord& record : records) {
            QVERIFY2(jsonSink->write(record, &error), qPrintable(error));
            QVERIFY2(sqliteSink->write(record, &error), qPrintable(error));
        }

        const QList<QJsonObject> objects = jsonLines(lines);
        const QList<QSqlRecord> rows = chipTableRows(QStringLiteral("sqlite:") + database);
        QCOMPARE(objects.size(), records.size());
        QCOMPARE(rows.size(), records.size());
        for (int i = 0; i < records.size(); ++i) {
            QCOMPARE(chipRecordFromJson(objects[i], &error), std::optional<ChipRecord>(records[i]));
            QCOMPARE(rowAsJson(rows[i], objects[i]), objects[i]);
        }
    }

    // A missing table is made typed; the previous version's all-text table gets the columns it
    // lacks, as text; a table of another shape, a refused password and a missing database are
    // refused before the first chip.
    void postgresql_data() {
        QTest::addColumn<QString>("login");   // USER[:PASSWORD]@DATABASE; the database is made unless "absent"
        QTest::addColumn<QString>("table");   // the chips table made before, if any
        QTest::addColumn<QString>("said");    // part of the refusal; empty: accepted
        QTest::addColumn<QString>("columns"); // the table's columns after a write
        const auto row = [](const char* name, const char* login, const QString& table, const char* said,
                            const QString& columns = QString()) {
            QTest::newRow(name) << QString::fromUtf8(login) << table << QString::fromUtf8(said) << columns;
        };
        const QString previous = QLatin1String(kPreviousTable);
        row("typed table made", "zelvan@typed", "", "",
            "id text, time timestamp with time zone, command text, program_version text, host text, port text, "
            "device text, loader_version text, part text, ids text, files jsonb, serial_number bigint, "
            "serial_address bigint, serial_bytes integer, serial_format text, serial_void boolean, crcs jsonb, "
            "sectors_sent integer, sectors_unchanged integer, verify text, exit_status integer, error text, "
            "duration_ms bigint");
        row("previous all-text table", "zelvan@previous", previous + ", PRIMARY KEY (id)", "",
            previous + ", " + QLatin1String(kAddedColumns));
        row("table of another shape", "zelvan@other", "id text PRIMARY KEY, note text", "no column \"time\"");
        row("no primary key", "zelvan@unkeyed", previous, "primary key");
        row("password refused", "guard:wrong@guarded", "", "password authentication failed");
        row("no such database", "zelvan@absent", "", "does not exist");
    }
    void postgresql() {
        QFETCH(QString, login);
        QFETCH(QString, table);
        QFETCH(QString, said);
        QFETCH(QString, columns);
        if (qEnvironmentVariableIsSet("ZELVAN_SKIP_POSTGRES"))
            QSKIP("ZELVAN_SKIP_POSTGRES is set");
        const QString started = startPostgres();
        QVERIFY2(started.isEmpty(), qPrintable(started));
        const QString database = login.section(QLatin1Char('@'), 1);
        const QString made = postgres_->destination(database);
        if (database != QLatin1String("absent"))
            QCOMPARE(runSql(postgres_->destination(), {"CREATE DATABASE " + database}), QString());
        if (!table.isEmpty())
            QCOMPARE(runSql(made, {"CREATE TABLE chips (" + table + ")"}), QString());

        QTemporaryDir dir;
        QString error;
        const auto sink = openRecordSink(postgres_->destination(database, login.section(QLatin1Char('@'), 0, 0)),
                                         &error, dir.filePath(QStringLiteral("spool.jsonl")));
        QCOMPARE(sink == nullptr, !said.isEmpty());
        QVERIFY2(error.contains(said) && !error.contains(QLatin1Char('\n')), qPrintable(error));
        if (!sink)
            return;
        const ChipRecord record = sample(Sample::Verified);
        QVERIFY2(sink->write(record, &error), qPrintable(error));
        QCOMPARE(chipTableColumns(made).join(QStringLiteral(", ")), columns);
        const QList<QSqlRecord> rows = chipTableRows(made);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].value(QStringLiteral("time")).toDateTime(), record.time);
        QCOMPARE(rows[0].value(QStringLiteral("serial_address")).toInt(), 0x0FFC);
    }

    // Records written while the server is down wait in the spool; flushing sends them once it is
    // back.
    void postgresqlDown() {
        if (qEnvironmentVariableIsSet("ZELVAN_SKIP_POSTGRES"))
            QSKIP("ZELVAN_SKIP_POSTGRES is set");
        const QString started = startPostgres();
        QVERIFY2(started.isEmpty(), qPrintable(started));
        QTemporaryDir dir;
        const QString spool = dir.filePath(QStringLiteral("spool.jsonl"));
        const QString destination = postgres_->destination();
        QString error;
        QVERIFY2(postgres_->stop(&error), qPrintable(error));
        const auto sink = openRecordSink(destination, &error, spool);
        QVERIFY2(sink, qPrintable(error));
        QVERIFY(!sink->write(sample(Sample::NothingRead), &error));
        QCOMPARE(spoolStatus(destination, spool).count, 1);

        QVERIFY2(postgres_->start(&error), qPrintable(error));
        QCOMPARE(zelvan::flushSpool(destination, &error, spool), std::optional<int>(1));
        QCOMPARE(chipTableRows(destination).size(), 1);
    }

    // Two processes appending long lines to one file at once: every line lands whole.
    void concurrentAppendsGiveWholeLines() {
        QTemporaryDir dir;
        const QString lines = dir.filePath(QStringLiteral("records.jsonl"));
        std::vector<std::unique_ptr<QProcess>> helpers;
        for (int i = 0; i < kAppendingProcesses; ++i) {
            helpers.push_back(std::make_unique<QProcess>());
            helpers.back()->start(QStringLiteral(ZELVAN_PRODUCTION_HELPER),
                                  {"append", lines, QString::number(kLinesEach), QStringLiteral("writer-%1").arg(i)});
        }
        for (const auto& helper : helpers) {
            QVERIFY(helper->waitForFinished(kHelperWaitMs));
            QCOMPARE(helper->exitCode(), 0);
        }
        QMap<QString, QList<quint64>> serialsByWriter;
        QString error;
        for (const QJsonObject& object : jsonLines(lines)) {
            const std::optional<ChipRecord> record = chipRecordFromJson(object, &error);
            QVERIFY2(record, qPrintable(error));
            serialsByWriter[record->host].append(*record->serialNumber);
        }
        QList<quint64> expected;
        for (int i = 0; i < kLinesEach; ++i)
            expected.append(i);
        QCOMPARE(serialsByWriter.keys(), (QStringList{"writer-0", "writer-1"}));
        for (const QList<quint64>& serials : serialsByWriter)
            QCOMPARE(serials, expected);
    }
};

QTEST_GUILESS_MAIN(TestChipRecords)
#include "tst_chip_records.moc"
