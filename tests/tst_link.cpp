// Records, their bodies and checksums, and the classification of the board's answers.

#include "common/hex_text.h"
#include "link/isp_commands.h"
#include "link/port_names.h"
#include "link/records.h"
#include "link/response_parser.h"

#include <QtTest>

using namespace zelvan;

class TestLink : public QObject {
    Q_OBJECT

private slots:
    // Every body the program sends, from its builder, as the record that goes out: its checksum
    // makes the sum of all its bytes a multiple of 256.
    void records_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("record");
        QTest::newRow("loader version") << loaderVersionBody() << ":00000001FF\r\n";
        QTest::newRow("manufacturer id") << configReadBody(configAddress::kManufacturerId) << ":0100000310EC\r\n";
        QTest::newRow("device id 2") << configReadBody(configAddress::kDeviceId2) << ":0100000312EA\r\n";
        QTest::newRow("boot vector read") << configReadBody(configAddress::kBootVector) << ":0100000302FA\r\n";
        QTest::newRow("UCFG1 write") << configWriteBody(configAddress::kUcfg1, "5A") << ":02000002005AA2\r\n";
        QTest::newRow("status byte write")
            << configWriteBody(configAddress::kStatusByte, "5A") << ":02000002035A9F\r\n";
        QTest::newRow("security of sector 7") << configReadBody(configAddress::securityByte(7)) << ":010000030FED\r\n";
        QTest::newRow("security of sector 8 at 18")
            << configReadBody(configAddress::securityByte(8)) << ":0100000318E4\r\n";
        QTest::newRow("page erase 0040") << eraseBody(EraseUnit::Page, 0x40) << ":03000004000040B9\r\n";
        QTest::newRow("sector erase 0400") << eraseBody(EraseUnit::Sector, 0x400) << ":03000004010400F4\r\n";
        QTest::newRow("sector CRC 3800: high byte only") << sectorCrcBody(0x3800) << ":0100000538C2\r\n";
        QTest::newRow("global CRC") << globalCrcBody() << ":00000006FA\r\n";
        QTest::newRow("chip erase") << chipEraseBody() << ":00000008F8\r\n";
        QTest::newRow("16-byte page at 03F0")
            << programBody(0x3F0, QString(32, QLatin1Char('A'))) << ":1003F000AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA5D\r\n";
        QTest::newRow("sum a multiple of 256 gives 00") << QStringLiteral("01000000FF") << ":01000000FF00\r\n";
        QTest::newRow("lower-case digits kept") << QStringLiteral("02000002005a") << ":02000002005aA2\r\n";
    }
    void records() {
        QFETCH(QString, body);
        QFETCH(QString, record);
        QCOMPARE(QString::fromLatin1(terminatedRecord(body)), record);
    }

    void hexHelpers_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("hex16");
        QTest::addColumn<QString>("hex8");
        QTest::newRow("5") << 5 << "0005"
                           << "05";
        QTest::newRow("10") << 10 << "000A"
                            << "0A";
        QTest::newRow("1024") << 1024 << "0400"
                              << "400";
        QTest::newRow("300 is not cut") << 300 << "012C"
                                        << "12C";
        QTest::newRow("-1") << -1 << "FFFF"
                            << "FFFF";
        QTest::newRow("16383") << 16383 << "3FFF"
                               << "3FFF";
    }
    void hexHelpers() {
        QFETCH(int, value);
        QFETCH(QString, hex16);
        QFETCH(QString, hex8);
        QCOMPARE(strDecToHex16(value), hex16);
        QCOMPARE(strDecToHex8(value), hex8);
    }

    void quickRecord() {
        // 16-byte page at 0000: "Q:", count, address, type, data, checksum, one 0x00.
        QString body = QStringLiteral("10000000");
        for (int i = 0; i < 16; ++i)
            body += QStringLiteral("%1").arg(i + 1, 2, 16, QLatin1Char('0')).toUpper();
        const QByteArray quick = zelvan::quickRecord(body);
        QCOMPARE(quick.size(), 24);
        QCOMPARE(quick.left(6), QByteArray("Q:\x10\x00\x00\x00", 6));
        QCOMPARE(quick.mid(6, 16), QByteArray::fromHex("0102030405060708090A0B0C0D0E0F10"));
        QCOMPARE(static_cast<quint8>(quick.at(22)), static_cast<quint8>((256 - (0x10 + 136)) & 0xFF));
        QCOMPARE(quick.at(23), '\0');
    }

    // Each row feeds the answer in the given pieces (separated by "|") to one parser.
    void parser_data() {
        QTest::addColumn<QString>("pieces");
        QTest::addColumn<QString>("echo"); // the echo expected of the answer; empty: none
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("err");
        QTest::addColumn<bool>("sync");
        QTest::addColumn<QString>("last");
        QTest::newRow("split over two reads") << "1|5."
                                              << "" << true << false << false << "15";
        QTest::newRow("only a full stop keeps the earlier text") << "."
                                                                 << "" << true << false << false << "earlier";
        QTest::newRow("colon discards what came before") << "AB:0100000310EC15."
                                                         << "" << true << false << false << "0100000310EC15";
        QTest::newRow("CR and LF never collected") << "1\r\n2\r|3."
                                                   << "" << true << false << false << "123";
        QTest::newRow("X alone refuses") << ":0100000310ECX"
                                         << "" << false << true << false << "earlier";
        QTest::newRow("R refuses and is not collected") << "1R2."
                                                        << "" << true << true << false << "12";
        QTest::newRow("U syncs and discards") << "12U34."
                                              << "" << true << false << true << "34";
        QTest::newRow("nothing complete") << "1234"
                                          << "" << false << false << false << "earlier";
        QTest::newRow("version text whole") << ":00000001FF ZELVAN ICP 2-1."
                                            << "" << true << false << false << "00000001FF ZELVAN ICP 2-1";
        // A late answer to an earlier record comes before the answer to the one just sent.
        QTest::newRow("late full stop dropped, own answer taken")
            << ":0100000310EC15.:0100000312EA1F."
            << "0100000312EA" << true << false << false << "0100000312EA1F";
        QTest::newRow("late full stop alone is no answer") << ":0100000310EC15."
                                                           << "0100000312EA" << false << false << false << "earlier";
        QTest::newRow("late refusal dropped") << ":0100000310ECX"
                                              << "0100000312EA" << false << false << false << "earlier";
        QTest::newRow("U in the data after the echo") << ":00000001FFLPC9 USB."
                                                      << "00000001FF" << true << false << true << "SB";
        QTest::newRow("own refusal counts") << ":0100000312EAX"
                                            << "0100000312EA" << false << true << false << "earlier";
    }
    void parser() {
        QFETCH(QString, pieces);
        QFETCH(QString, echo);
        QFETCH(bool, ok);
        QFETCH(bool, err);
        QFETCH(bool, sync);
        QFETCH(QString, last);
        ResponseParser parser;
        parser.state().strLastResponse = QStringLiteral("earlier");
        parser.expectEcho(echo);
        for (const QString& piece : pieces.split(QLatin1Char('|')))
            parser.comSerial_OnComm(piece.toLatin1());
        QCOMPARE(parser.state().fgResponseOK, ok);
        QCOMPARE(parser.state().fgResponseErr, err);
        QCOMPARE(parser.state().fgBaudSync, sync);
        QCOMPARE(parser.state().strLastResponse, last);
    }

    void portOrder_data() {
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QStringList>("ordered");
        QTest::newRow("usb adapters first, natural order")
            << QStringList{"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyUSB0"}
            << QStringList{"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS2", "/dev/ttyS10"};
        QTest::newRow("numbers compare as numbers")
            << QStringList{"/dev/ttyUSB10", "/dev/ttyUSB9"} << QStringList{"/dev/ttyUSB9", "/dev/ttyUSB10"};
        QTest::newRow("mac adapters") << QStringList{"/dev/cu.Bluetooth", "/dev/cu.usbserial-2"}
                                      << QStringList{"/dev/cu.usbserial-2", "/dev/cu.Bluetooth"};
    }
    void portOrder() {
        QFETCH(QStringList, devices);
        QFETCH(QStringList, ordered);
        QCOMPARE(orderSerialDevices(devices), ordered);
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
