// The device catalogue, the part text and geometry identification takes from it, and the range
// selectors built from the geometry.

#include "device/device_catalogue.h"
#include "device/range_selector.h"

#include <QSignalSpy>
#include <QtTest>

using namespace zelvan;

class TestDevice : public QObject {
    Q_OBJECT

private slots:
    void identification_data() {
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("geometry"); // last address, sector, page, bootloader
        QTest::newRow("LPC922") << QStringList{"15", "DD", "0C"}
                                << "Philips LPC922/9221 (1Kb Sector Size, 64b Page Size, 8Kb Flash)"
                                << QList<int>{8191, 1024, 64, 7680};
        QTest::newRow("LPC936, 2K sectors")
            << QStringList{"15", "DD", "24"} << "Philips LPC936 (2Kb Sector Size, 64b Page Size, 16Kb Flash)"
            << QList<int>{16383, 2048, 64, 15872};
        QTest::newRow("LPC954") << QStringList{"15", "DD", "7A"}
                                << "Philips LPC954 (1Kb Sector Size, 64b Page Size, 16Kb Flash)"
                                << QList<int>{16383, 1024, 64, 15872};
        QTest::newRow("LPC918") << QStringList{"15", "DD", "2D"}
                                << "Philips LPC918 (256b Sector Size, 16b Page Size, 2Kb Flash)"
                                << QList<int>{2047, 256, 16, 2048};
        QTest::newRow("LPC933 key A0") << QStringList{"15", "DD", "A0"}
                                       << "Philips LPC933 (1Kb Sector Size, 64b Page Size, 4Kb Flash)"
                                       << QList<int>{4095, 1024, 64, 3584};
        QTest::newRow("other maker") << QStringList{"16", "DD", "0D"}
                                     << "[unknown] LPC901 (256b Sector Size, 16b Page Size, 1Kb Flash)"
                                     << QList<int>{1023, 256, 16, 1024};
        QTest::newRow("other family") << QStringList{"15", "DE", "0D"}
                                      << "Philips [unknown] 01 (256b Sector Size, 16b Page Size, 1Kb Flash)"
                                      << QList<int>{1023, 256, 16, 1024};
        QTest::newRow("lower-case dd is not the family")
            << QStringList{"15", "dd", "0D"} << "Philips [unknown] 01 (256b Sector Size, 16b Page Size, 1Kb Flash)"
            << QList<int>{1023, 256, 16, 1024};
        QTest::newRow("unknown id keeps bootloader")
            << QStringList{"15", "DD", "FE"} << "Philips LPC9[unknown]" << QList<int>{16383, 1024, 16, 7680};
        QTest::newRow("all FF") << QStringList{"FF", "FF", "FF"} << "[unknown] [unknown] [unknown]"
                                << QList<int>{16383, 1024, 16, 7680};
        QTest::newRow("FF FF 0D") << QStringList{"FF", "FF", "0D"}
                                  << "[unknown] [unknown] 01 (256b Sector Size, 16b Page Size, 1Kb Flash)"
                                  << QList<int>{1023, 256, 16, 1024};
    }
    void identification() {
        QFETCH(QStringList, ids);
        QFETCH(QString, text);
        QFETCH(QList<int>, geometry);
        QCOMPARE(partDescription(ids[0], ids[1], ids[2]), text);
        // The previous part was an LPC932A1 (bootloader 7680): an unknown id keeps that address.
        const DeviceGeometry previous{8191, 1024, 64, 7680};
        const DeviceGeometry got = geometryForId(ids[2], previous);
        QCOMPARE((QList<int>{got.intFlashLastAddr, got.intSectorSize, got.intPageSize, got.intBootloaderAddr}),
                 geometry);
    }

    void catalogueIsConsistent() {
        const auto catalogue = deviceCatalogue();
        QCOMPARE(catalogue.size(), size_t(35));
        QSet<QString> keys;
        for (const CatalogueEntry& entry : catalogue) {
            const DeviceGeometry& g = entry.geometry;
            QVERIFY2(!keys.contains(QLatin1String(entry.deviceId2)), entry.deviceId2);
            keys.insert(QLatin1String(entry.deviceId2));
            QCOMPARE(g.flashSize() % g.intSectorSize, 0);
            QCOMPARE(g.flashSize() % g.intPageSize, 0);
            const int expectedBoot = g.intSectorSize == 256 ? g.flashSize() : g.flashSize() - 512;
            QCOMPARE(g.intBootloaderAddr, expectedBoot);
            // The geometry text tells the same sizes as the numbers.
            const QString text = QLatin1String(entry.geometryText);
            QVERIFY(text.contains(QStringLiteral("%1b Page Size").arg(g.intPageSize)));
            QVERIFY(text.contains(QStringLiteral("%1Kb Flash").arg(g.flashSize() / 1024)));
            QVERIFY(findPartByName(entry.partName()) == &entry);
        }
    }

    void selectorContents_data() {
        QTest::addColumn<int>("lastAddress");
        QTest::addColumn<int>("blockSize");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::newRow("LPC901 sectors") << 1023 << 256 << 4 << "0000H-00FFH"
                                        << "0300H-03FFH";
        QTest::newRow("LPC901 pages") << 1023 << 16 << 64 << "0000H-000FH"
                                      << "03F0H-03FFH";
        QTest::newRow("LPC936 sectors") << 16383 << 2048 << 8 << "0000H-07FFH"
                                        << "3800H-3FFFH";
        QTest::newRow("LPC936 pages") << 16383 << 64 << 256 << "0000H-003FH"
                                      << "3FC0H-3FFFH";
        QTest::newRow("fall-back sectors") << 16383 << 1024 << 16 << "0000H-03FFH"
                                           << "3C00H-3FFFH";
        QTest::newRow("fall-back pages") << 16383 << 16 << 1024 << "0000H-000FH"
                                         << "3FF0H-3FFFH";
    }
    void selectorContents() {
        QFETCH(int, lastAddress);
        QFETCH(int, blockSize);
        QFETCH(int, count);
        QFETCH(QString, first);
        QFETCH(QString, last);
        RangeSelector range;
        range.chooseStart(3); // a selection from before the fill is replaced
        range.fill(lastAddress, blockSize);
        QCOMPARE(range.count(), count);
        QCOMPARE(range.itemText(0), first);
        QCOMPARE(range.itemText(count - 1), last);
        QCOMPARE(range.startIndex(), 0);
        QCOMPARE(range.endIndex(), count - 1);
    }

    // Start/end before the choice, which list is chosen, the chosen index, and the outcome.
    void orderingRule_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<bool>("chooseStart");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<int>("newStart");
        QTest::addColumn<int>("newEnd");
        QTest::newRow("start past end moves end") << 0 << 2 << true << 5 << 5 << 5;
        QTest::newRow("end before start moves start") << 4 << 7 << false << 1 << 1 << 1;
        QTest::newRow("equal indices move nothing") << 3 << 7 << false << 3 << 3 << 3;
        QTest::newRow("start within range") << 0 << 7 << true << 2 << 2 << 7;
        QTest::newRow("end within range") << 2 << 7 << false << 5 << 2 << 5;
        QTest::newRow("end list without selection") << 0 << -1 << true << 4 << 4 << 4;
    }
    void orderingRule() {
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(bool, chooseStart);
        QFETCH(int, chosen);
        QFETCH(int, newStart);
        QFETCH(int, newEnd);
        RangeSelector range;
        range.fill(8191, 1024);
        if (end < 0) {
            range.chooseStart(-1);
            range.chooseEnd(-1);
        } else {
            range.chooseEnd(end);
            range.chooseStart(start);
        }
        QSignalSpy changed(&range, &RangeSelector::selectionChanged);
        if (chooseStart)
            range.chooseStart(chosen);
        else
            range.chooseEnd(chosen);
        QCOMPARE(range.startIndex(), newStart);
        QCOMPARE(range.endIndex(), newEnd);
        QCOMPARE(changed.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDevice)
#include "tst_device.moc"
