#pragma once

#include <QString>
#include <QStringList>

namespace zelvan {

// The About box text: nine lines, each ended by a line feed.
QString aboutText();
inline const QString kAboutTitle = QStringLiteral("Zelvan Programmer Info");

// Where Read Me looks for readme.txt, in order: beside the program (the build tree, a program
// folder on Windows), then where an installation keeps the documentation
// (<prefix>/share/doc/zelvan-programmer beside <prefix>/bin).
QStringList readmeLocations();

} // namespace zelvan
