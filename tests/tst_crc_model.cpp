// The CRC model: the signature variants, the CRCs an image must give, and learning a chip's
// variant from the CRCs it reports. The simulated board computes its CRCs with the same model, so
// a board set to a variant stands in for a chip that uses it.

#include "flash/crc_model.h"
#include "support/board_rig.h"

#include <QtTest>

#include <set>

using namespace zelvan;
using namespace zelvan::sim;

namespace {

constexpr quint32 kOtherPolynomial = 0x04C11DB7u; // makes a formulation outside the table

quint32 reversed32(quint32 value) {
    quint32 result = 0;
    for (int bit = 0; bit < 32; ++bit)
        result |= ((value >> bit) & 1u) << (31 - bit);
    return result;
}

// A flash image of the part holding a pattern in the given sectors and nothing elsewhere.
QByteArray imageWithSectors(const DeviceGeometry& geometry, const QList<int>& sectors) {
    QByteArray image(geometry.flashSize(), '\0');
    for (const int sector : sectors) {
        for (int address = sector * geometry.intSectorSize; address < (sector + 1) * geometry.intSectorSize; ++address)
            image[address] = static_cast<char>(address * 7 + 3);
    }
    return image;
}

// What a run leaves on the board: a chip erase, or an erase of the sectors the image writes
// into, then the image's bytes written.
void programBoard(BoardModel& board, const QByteArray& image, bool chipErase) {
    const DeviceGeometry& geometry = board.geometry();
    QByteArray& flash = board.flash();
    for (int start = 0; start < geometry.flashSize(); start += geometry.intSectorSize) {
        const QByteArray sector = image.mid(start, geometry.intSectorSize);
        if (chipErase || sector.count('\0') != sector.size())
            flash.replace(start, geometry.intSectorSize, sector);
    }
}

std::map<int, quint32> sectorCrcs(const BoardModel& board) {
    std::map<int, quint32> crcs;
    for (int index = 0; index < board.geometry().sectorCount(); ++index)
        crcs[index] = board.sectorCrc(index * board.geometry().intSectorSize);
    return crcs;
}

} // namespace

class TestCrcModel : public QObject {
    Q_OBJECT

private slots:
    // The default variant gives the values the simulated board has always reported.
    void defaultSignature_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint32>("signature");
        QTest::newRow("nothing") << QByteArray() << 0u;
        QTest::newRow("erased sector") << QByteArray(1024, '\0') << 0u;
        QTest::newRow("one byte") << QByteArray("\x5A", 1) << 0x5Au;
        QTest::newRow("two bytes shift") << QByteArray("\x80\x01", 2) << 0x101u;
        // A 1 walked out of the top takes the polynomial in.
        QTest::newRow("carry") << QByteArray(1, '\x01') + QByteArray(32, '\0') << 0x00400007u;
        QByteArray pattern(1024, '\0');
        for (int i = 0; i < pattern.size(); ++i)
            pattern[i] = static_cast<char>(i * 7 + 3);
        QTest::newRow("1K sector of a pattern") << pattern << 0x63618FDDu;
    }
    void defaultSignature() {
        QFETCH(QByteArray, bytes);
        QFETCH(quint32, signature);
        QCOMPARE(defaultCrcVariant().name, QStringLiteral("left-low-plain-up-zero"));
        QCOMPARE(zelvan::signature(defaultCrcVariant(), bytes), signature);
    }

    void namesAreUniqueAndFound() {
        std::set<QString> names;
        for (const CrcVariant& variant : crcVariants()) {
            names.insert(variant.name);
            QCOMPARE(findCrcVariant(variant.name), &variant);
        }
        QCOMPARE(names.size(), size_t(32));
        QVERIFY(!findCrcVariant(u"left-low-plain-up"));
    }

    // A right-shifting register is the mirror of the left-shifting one: with the byte entering at
    // the other end, reflected the other way, it holds the bit-reversed value.
    void rightShiftMirrorsLeftShift_data() {
        QTest::addColumn<QString>("left");
        for (const CrcVariant& variant : crcVariants()) {
            if (variant.shift == CrcVariant::Shift::Left)
                QTest::newRow(qPrintable(variant.name)) << variant.name;
        }
    }
    void rightShiftMirrorsLeftShift() {
        QFETCH(QString, left);
        CrcVariant mirror = *findCrcVariant(left);
        mirror.shift = CrcVariant::Shift::Right;
        mirror.entry =
            mirror.entry == CrcVariant::Entry::LowByte ? CrcVariant::Entry::HighByte : CrcVariant::Entry::LowByte;
        mirror.reflectBytes = !mirror.reflectBytes;
        const QByteArray bytes = imageWithSectors(DeviceGeometry{1023, 256, 16, 1024}, {0, 3});
        QCOMPARE(signature(mirror, bytes), reversed32(signature(*findCrcVariant(left), bytes)));
    }

    // A board using any variant of the table is recognised as using exactly that one, whatever
    // it holds in its bootloader and untouched sectors.
    void calibrationFindsTheBoardsVariant_data() {
        QTest::addColumn<QString>("variant");
        for (const CrcVariant& variant : crcVariants())
            QTest::newRow(qPrintable(variant.name)) << variant.name;
    }
    void calibrationFindsTheBoardsVariant() {
        QFETCH(QString, variant);
        BoardModel board = test::boardFor("LPC932A1");
        board.setCrcVariant(*findCrcVariant(variant));
        const QByteArray image = imageWithSectors(board.geometry(), {0, 1, 4});
        programBoard(board, image, false);
        const auto matches = calibrateCrcVariant(image, board.geometry(), sectorCrcs(board));
        QVERIFY(matches);
        QCOMPARE(*matches, std::vector<const CrcVariant*>{findCrcVariant(variant)});
    }

    void calibrationRefuses_data() {
        QTest::addColumn<QList<int>>("sectors");
        QTest::addColumn<quint32>("boardPolynomial");
        QTest::addColumn<int>("matches"); // -1: refused, nothing to learn from
        QTest::newRow("image of zero bytes only") << QList<int>{} << CrcVariant::kPolynomial << -1;
        QTest::newRow("data only under the bootloader") << QList<int>{7} << CrcVariant::kPolynomial << -1;
        QTest::newRow("board outside the table") << QList<int>{0, 2} << kOtherPolynomial << 0;
    }
    void calibrationRefuses() {
        QFETCH(QList<int>, sectors);
        QFETCH(quint32, boardPolynomial);
        QFETCH(int, matches);
        BoardModel board = test::boardFor("LPC932A1");
        CrcVariant variant = defaultCrcVariant();
        variant.polynomial = boardPolynomial;
        board.setCrcVariant(variant);
        const QByteArray image = imageWithSectors(board.geometry(), sectors);
        programBoard(board, image, true);
        const auto found = calibrateCrcVariant(image, board.geometry(), sectorCrcs(board));
        QCOMPARE(found ? int(found->size()) : -1, matches);
    }

    // The expected CRCs are the ones the board reports after the run, for exactly the sectors
    // the image decides.
    void expectedCrcs_data() {
        QTest::addColumn<QString>("part");
        QTest::addColumn<QList<int>>("written");
        QTest::addColumn<bool>("chipErase");
        QTest::addColumn<QList<int>>("decided");
        QTest::addColumn<bool>("global");
        QTest::newRow("written sectors only") << "LPC932A1" << QList<int>{0, 2} << false << QList<int>{0, 2} << false;
        QTest::newRow("chip erase decides blank sectors, not the bootloader's")
            << "LPC932A1" << QList<int>{0, 2} << true << QList<int>{0, 1, 2, 3, 4, 5, 6} << false;
        QTest::newRow("bootloader sector never decided")
            << "LPC932A1" << QList<int>{6, 7} << false << QList<int>{6} << false;
        QTest::newRow("no bootloader in the flash, chip erased")
            << "LPC901" << QList<int>{1} << true << QList<int>{0, 1, 2, 3} << true;
        QTest::newRow("no bootloader in the flash, sectors erased")
            << "LPC901" << QList<int>{1} << false << QList<int>{1} << false;
    }
    void expectedCrcs() {
        QFETCH(QString, part);
        QFETCH(QList<int>, written);
        QFETCH(bool, chipErase);
        QFETCH(QList<int>, decided);
        QFETCH(bool, global);
        BoardModel board = test::boardFor(qPrintable(part));
        const CrcVariant& variant = *findCrcVariant(u"right-high-reflected-down-ones");
        board.setCrcVariant(variant);
        const QByteArray image = imageWithSectors(board.geometry(), written);
        programBoard(board, image, chipErase);

        const ExpectedCrcs expected = zelvan::expectedCrcs(image, board.geometry(), variant, chipErase);
        QCOMPARE(int(expected.sectors.size()), board.geometry().sectorCount());
        QList<int> decidedFound;
        for (int index = 0; index < board.geometry().sectorCount(); ++index) {
            if (!expected.sectors[index])
                continue;
            decidedFound.append(index);
            QCOMPARE(*expected.sectors[index], board.sectorCrc(index * board.geometry().intSectorSize));
        }
        QCOMPARE(decidedFound, decided);
        QCOMPARE(expected.global.has_value(), global);
        if (global)
            QCOMPARE(*expected.global, board.globalCrc());
    }
};

QTEST_GUILESS_MAIN(TestCrcModel)
#include "tst_crc_model.moc"
