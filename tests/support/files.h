#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

namespace zelvan::test {

// A test data file, from tests/data.
QString fixturePath(const char* name);
QByteArray fixtureBytes(const char* name);

// Writes the bytes to the file (or stops the test program when it cannot); returns the path.
QString writeFile(const QString& path, const QByteArray& content);

// Intel HEX data records of the bytes from address, 16 a record; kHexEnd is the end record.
QByteArray hexRecords(int address, const QByteArray& bytes);
inline constexpr char kHexEnd[] = ":00000001FF\n";

// Writes an Intel HEX file of size varied, non-zero bytes from address 0 (records of 16 bytes, then
// the end record); returns the bytes. The same seed gives the same bytes.
QByteArray writeRandomHexImage(const QString& path, int size, quint32 seed);

// The objects of a JSON lines file, one a line; a torn line gives an empty object.
QList<QJsonObject> jsonLines(const QString& path);

} // namespace zelvan::test
