#pragma once

#include <QByteArray>
#include <QString>

namespace zelvan {

// The content of a file the user chose, or why it cannot be read.
struct FileContent {
    enum class Fault { None, Missing, NotRegular, TooLarge, Unreadable };
    Fault fault = Fault::None;
    QString reason; // the system's words, or what is wrong, when fault != None
    QByteArray bytes;

    bool ok() const { return fault == Fault::None; }
};

// The name that stands for the program's standard input ("objcopy ... | zelvan-cli program -").
inline const QString kStandardInput = QStringLiteral("-");

// Reads a whole file of at most maxBytes. Only a regular file is opened: a FIFO would block until
// someone writes to it, and a device such as /dev/zero never ends, so both are refused before
// anything is opened. kStandardInput reads the standard input, to its end.
FileContent readRegularFile(const QString& path, qint64 maxBytes);

} // namespace zelvan
