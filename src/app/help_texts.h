#pragma once

#include <QString>

namespace zelvan {

// The About box text: nine lines, each ended by a line feed.
QString aboutText();
inline const QString kAboutTitle = QStringLiteral("Zelvan Programmer Info");

} // namespace zelvan
