#pragma once

#include <QByteArray>
#include <QString>

namespace zelvan::test {

// Writes an Intel HEX file of size varied, non-zero bytes from address 0 (records of 16 bytes,
// then the end record); returns the bytes. The same seed gives the same bytes.
QByteArray writeRandomHexImage(const QString& path, int size, quint32 seed);

} // namespace zelvan::test
