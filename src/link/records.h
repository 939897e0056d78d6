#pragma once

#include <QByteArray>
#include <QString>

// ISP records: the text lines that carry every command to the programmer board.
// A record is ":" + body + two checksum digits (+ CR LF for most records). The body holds
// LL (data byte count), AAAA (address), TT (record type) and the data bytes, all as hex text.
namespace zelvan {

// Returns body followed by its two-digit Intel HEX checksum (two's complement of the byte sum).
// A body of odd length reads its last digit alone; a sum that is a multiple of 256 gives "00".
QString strAddChecksum(const QString& body);

// Hex form of a 16-bit value in four upper-case digits; negative values as their two's complement.
QString strDecToHex16(int num);

// Hex form of num in at least two upper-case digits; values above 255 are not cut (300 gives "12C").
QString strDecToHex8(int num);

// Record bodies that read and write a configuration address (00 UCFG1, 01 UCFG2, 02 boot vector,
// 03 status byte, security bytes, 10 with 00 clears the protection): "01000003" + address and
// "02000002" + address + value.
QString configReadBody(int address);
QString configWriteBody(int address, const QString& value);

// ":" + body + checksum + CR LF, as bytes ready for the port.
QByteArray terminatedRecord(const QString& body);

// ":" + body + checksum without a line end (the text form of a firmware page record).
QByteArray unterminatedRecord(const QString& body);

// The quick form of a record: "Q:", then body and checksum as raw bytes (each hex pair one byte),
// then one 0x00 byte. Halves the bytes on the line for firmware pages.
QByteArray quickRecord(const QString& body);

} // namespace zelvan
