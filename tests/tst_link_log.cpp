// View > Link Log: what went over the wire, in the window.

#include "support/window_fixture.h"

#include "app/link_log_dock.h"
#include "link/wire_log.h"

#include <QAction>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <optional>

using namespace zelvan;
using namespace zelvan::test;

namespace {

// What the log lines of one direction carried, in order: "->" the writes, "<-" the answers.
QStringList payloads(const QString& log, const QString& direction) {
    static const QRegularExpression line(R"(^\d\d:\d\d:\d\d\.\d{3} COM1 (->|<-) (.*)$)");
    QStringList carried;
    for (const QString& text : log.split('\n')) {
        const QRegularExpressionMatch match = line.match(text);
        if (match.hasMatch() && match.captured(1) == direction)
            carried.append(match.captured(2));
    }
    return carried;
}

} // namespace

class TestLinkLog : public QObject {
    Q_OBJECT

private:
    std::optional<TemporarySettings> settings_;

private slots:
    void init() { settings_.emplace(); }

    // Open, the log holds every record of a Get LPC ID and every answer, time-stamped; it saves
    // as shown and clears. Closed, the wire is not captured and its category is off again.
    void holdsTheRecordsOfGetLpcId() {
        TargetWindow w;
        LinkLogDock* log = w.window.linkLog();
        QAction* item = w.find<QAction>("mnuViewLinkLog");
        item->trigger();
        QVERIFY(lcWire().isDebugEnabled());

        QTest::mouseClick(w.window.button(Command::GetID), Qt::LeftButton);

        QTRY_VERIFY(log->text().contains(":0100000312EA"));
        QCOMPARE(payloads(log->text(), "->"),
                 (QStringList{":0100000310EC<CR><LF>", ":0100000311EB<CR><LF>", ":0100000312EA<CR><LF>"}));
        QVERIFY2(payloads(log->text(), "<-").join(QString()).startsWith(":0100000310EC15."), qPrintable(log->text()));

        QTemporaryDir dir;
        QVERIFY(log->saveTo(dir.filePath("log.txt")));
        QFile saved(dir.filePath("log.txt"));
        QVERIFY(saved.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(QString::fromUtf8(saved.readAll()), log->text() + '\n');

        QTest::mouseClick(w.find<QPushButton>("cmdLinkLogClear"), Qt::LeftButton);
        QVERIFY(log->text().isEmpty());
        item->trigger();
        QVERIFY(!lcWire().isDebugEnabled());
        QTest::mouseClick(w.window.button(Command::GetID), Qt::LeftButton);
        QVERIFY(log->text().isEmpty());
    }
};

QTEST_MAIN(TestLinkLog)
#include "tst_link_log.moc"
