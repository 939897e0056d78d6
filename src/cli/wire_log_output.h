#pragma once

#include <QString>

namespace zelvan::cli {

// Switches the wire log of the link on and sends its lines to stderr (verbose), to a file, or
// both. Other log messages go where they went before. False (with the reason) when the file
// cannot be opened.
bool startWireLog(bool toStderr, const QString& file, QString* error);

} // namespace zelvan::cli
