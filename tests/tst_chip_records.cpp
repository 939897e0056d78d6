// The record of every chip: its JSON form, and the sinks that keep it (JSON lines, SQLite). The
// PostgreSQL sink and its spool are tried end to end, by the command line's production tests, and
// so are records written through one sink from the threads of eight boards at once.

#include "production/record_sink.h"
#include "support/chip_table.h"
#include "support/files.h"

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
    if (kind == Sample::NothingRead) {
        record.exitStatus = 4;
        return record;
    }
    record.files = {{QStringLiteral("/srv/fw/app \"v2\".hex"), QStringLiteral("ab12")},
                    {QStringLiteral("/srv/fw/cal.hex"), QString()}};
    record.serialNumber = 0xFFFFFFFFu;
    record.sectorCrcs = {{0, {0x0A0B0C0Du, 0x0A0B0C0Du}}, {6, {0u, std::nullopt}}};
    record.globalCrc = {0xDEADBEEFu, std::nullopt};
    record.verify = kind == Sample::Verified ? VerifyResult::Passed : VerifyResult::Failed;
    record.serialVoid = kind == Sample::VoidSerial;
    record.exitStatus = kind == Sample::Verified ? 0 : 3;
    record.durationMs = 15234;
    return record;
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

    // The same records through both file sinks: the JSON lines read back as the records, and each
    // SQLite row holds what the line holds.
    void jsonLinesAndSqliteHoldTheSameRows() {
        QTemporaryDir dir;
        const QString lines = dir.filePath(QStringLiteral("records.jsonl"));
        const QString database = dir.filePath(QStringLiteral("records.db"));
        QString error;
        const auto jsonSink = openRecordSink(lines, &error);
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
