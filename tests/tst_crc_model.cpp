// The CRC model: the signature variants, the CRCs an image must give, and learning a chip's
// variant from the CRCs it reports. The simulated board computes its CRCs with the same model, so
// a board set to a variant stands in for a chip that uses it.

#include "flash/crc_model.h"
#include "support/board_rig.h"

#include <QtTest>

using namespace zelvan;
using namespace zelvan::sim;

namespace {

constexpr quint32 kOtherPolynomial = 0x04C11DB7u; // makes a formulation outside the table
const QString kOffTable = QStringLiteral("off-table");

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
    // The default variant gives the values the simulated board has always reported; a bit-serial
    // register shifts once per bit, the data bit joining the bit that leaves.
    void knownSignatures_data() {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint32>("signature");
        const QString byteWise = defaultCrcVariant().name;
        QTest::newRow("nothing") << byteWise << QByteArray() << 0u;
        QTest::newRow("erased sector") << byteWise << QByteArray(1024, '\0') << 0u;
        QTest::newRow("one byte") << byteWise << QByteArray("\x5A", 1) << 0x5Au;
        QTest::newRow("two bytes shift") << byteWise << QByteArray("\x80\x01", 2) << 0x101u;
        QTest::newRow("descending walk") << "left-low-plain-down-zero" << QByteArray("\x01\x80", 2) << 0x101u;
        // A 1 walked out of the top takes the polynomial in.
        QTest::newRow("carry") << byteWise << QByteArray(1, '\x01') + QByteArray(32, '\0') << 0x00400007u;
        const QByteArray pattern = imageWithSectors(DeviceGeometry{1023, 1024, 16, 1024}, {0});
        QTest::newRow("1K sector of a pattern") << byteWise << pattern << 0x63618FDDu;
        QTest::newRow("serial, top bit first") << "left-serial-msb-up-zero" << QByteArray(1, '\x80') << 0x20000380u;
        QTest::newRow("serial, low bit last") << "left-serial-msb-up-zero" << QByteArray(1, '\x01') << 0x00400007u;
        QTest::newRow("serial, low bit first") << "left-serial-lsb-up-zero" << QByteArray(1, '\x01') << 0x20000380u;
        const QByteArray check("123456789");
        QTest::newRow("serial, check text") << "left-serial-msb-up-zero" << check << 0x1742350Du;
        QTest::newRow("serial, check text from ones") << "left-serial-msb-up-ones" << check << 0x285DC4FEu;
        QTest::newRow("serial right, check text") << "right-serial-lsb-up-ones" << check << 0x83A9D44Fu;
    }
    void knownSignatures() {
        QFETCH(QString, variant);
        QFETCH(QByteArray, bytes);
        QFETCH(quint32, signature);
        QCOMPARE(defaultCrcVariant().name, QStringLiteral("left-low-plain-up-zero"));
        QCOMPARE(zelvan::signature(*findCrcVariant(variant), bytes), signature);
    }

    // A right-shifting register is the mirror of the left-shifting one: with the byte entering at
    // the other end, reflected the other way, it holds the bit-reversed value. A bit-serial one
    // takes the bits in the same order, so its mirror has the same bit order.
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
        if (mirror.entry != CrcVariant::Entry::Serial) {
            mirror.entry =
                mirror.entry == CrcVariant::Entry::LowByte ? CrcVariant::Entry::HighByte : CrcVariant::Entry::LowByte;
            mirror.reflectBytes = !mirror.reflectBytes;
        }
        const QByteArray bytes = imageWithSectors(DeviceGeometry{1023, 256, 16, 1024}, {0, 3});
        QCOMPARE(signature(mirror, bytes), reversed32(signature(*findCrcVariant(left), bytes)));
    }

    // A board using any variant of the table is recognised, from an image of varied bytes, as using
    // exactly that one (whatever its bootloader and untouched sectors hold); one with nothing to
    // tell variants apart is refused.
    void calibration_data() {
        QTest::addColumn<QString>("boardVariant");
        QTest::addColumn<QList<int>>("sectors"); // the sectors the image writes into
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QStringList>("matches");
        for (const CrcVariant& variant : crcVariants())
            QTest::newRow(qPrintable(variant.name))
                << variant.name << QList<int>{0, 1, 4} << false << QStringList{variant.name};
        QTest::newRow("image of zero bytes only") << defaultCrcVariant().name << QList<int>{} << true << QStringList{};
        QTest::newRow("data only under the bootloader")
            << defaultCrcVariant().name << QList<int>{7} << true << QStringList{};
        QTest::newRow("board outside the table") << kOffTable << QList<int>{0, 2} << false << QStringList{};
    }
    void calibration() {
        QFETCH(QString, boardVariant);
        QFETCH(QList<int>, sectors);
        QFETCH(bool, refused);
        QFETCH(QStringList, matches);
        BoardModel board = test::boardFor("LPC932A1");
        CrcVariant variant = boardVariant == kOffTable ? defaultCrcVariant() : *findCrcVariant(boardVariant);
        if (boardVariant == kOffTable)
            variant.polynomial = kOtherPolynomial;
        board.setCrcVariant(variant);
        const QByteArray image = imageWithSectors(board.geometry(), sectors);
        programBoard(board, image, false);

        const auto found = calibrateCrcVariant(image, board.geometry(), sectorCrcs(board));
        QCOMPARE(!found, refused);
        QStringList names;
        for (const CrcVariant* match : found.value_or(std::vector<const CrcVariant*>{}))
            names.append(match->name);
        QCOMPARE(names, matches);
    }

    // The CRC after a known change follows from the CRC before and the change alone, for every
    // variant (from all ones too, where the initial value's part must cancel out).
    void signatureAfterChange_data() {
        QTest::addColumn<QString>("variant");
        for (const CrcVariant& variant : crcVariants())
            QTest::newRow(qPrintable(variant.name)) << variant.name;
    }
    void signatureAfterChange() {
        QFETCH(QString, variant);
        const CrcVariant& formulation = *findCrcVariant(variant);
        QRandomGenerator random(qHash(variant));
        QByteArray before(777, '\0');
        QByteArray delta(before.size(), '\0');
        random.fillRange(reinterpret_cast<quint32*>(before.data()), before.size() / 4);
        random.fillRange(reinterpret_cast<quint32*>(delta.data()), delta.size() / 4);
        delta[delta.size() - 1] = '\x5A'; // past the filled words
        QByteArray after = before;
        for (qsizetype i = 0; i < after.size(); ++i)
            after[i] = static_cast<char>(after[i] ^ delta[i]);
        QCOMPARE(zelvan::signatureAfterChange(formulation, signature(formulation, before), delta),
                 signature(formulation, after));
    }

    // The expected CRCs are the ones the board reports after the run, for exactly the sectors
    // the image decides.
    void expectedCrcs_data() {
        QTest::addColumn<QString>("part");
        QTest::addColumn<QList<int>>("written");
        QTest::addColumn<bool>("chipErase");
        QTest::addColumn<QList<int>>("decided");
        QTest::addColumn<bool>("global");
        QTest::newRow("written sectors, not the bootloader's")
            << "LPC932A1" << QList<int>{0, 2, 7} << false << QList<int>{0, 2} << false;
        QTest::newRow("chip erase decides every sector, the bootloader's too")
            << "LPC932A1" << QList<int>{0, 2} << true << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << true;
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
        QList<int> decidedFound;
        for (int index = 0; index < int(expected.sectors.size()); ++index) {
            if (expected.sectors[index]) {
                decidedFound.append(index);
                QCOMPARE(*expected.sectors[index], board.sectorCrc(index * board.geometry().intSectorSize));
            }
        }
        QCOMPARE(decidedFound, decided);
        QCOMPARE(expected.global, global ? std::optional<quint32>(board.globalCrc()) : std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestCrcModel)
#include "tst_crc_model.moc"
