#pragma once

#include <QByteArray>
#include <QString>

// ISP records: the text lines that carry every command to the programmer board.
// A record is ":" + body + two checksum digits (+ CR LF for most records). The bodies are built
// in isp_commands.h.
namespace zelvan {

// Returns body followed by its two-digit Intel HEX checksum (two's complement of the byte sum).
// A body of odd length reads its last digit alone; a sum that is a multiple of 256 gives "00".
QString strAddChecksum(const QString& body);

// ":" + body + checksum + CR LF, as bytes ready for the port.
QByteArray terminatedRecord(const QString& body);

// ":" + body + checksum without a line end (the text form of a firmware page record).
QByteArray unterminatedRecord(const QString& body);

// The quick form of a record: "Q:", then body and checksum as raw bytes (each hex pair one byte),
// then one 0x00 byte. Halves the bytes on the line for firmware pages.
QByteArray quickRecord(const QString& body);

} // namespace zelvan
