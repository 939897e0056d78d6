#pragma once

#include <QFileDevice>
#include <QString>

namespace zelvan {

// Asks the system to put what was written to the open file on the disk before returning, so that
// a crash or power loss just after cannot lose it. False when the system refused.
bool syncFileToDisk(QFileDevice& file);

// Puts the directory entries of the folder holding path on the disk: a file renamed into place
// is only safe across a crash once its folder is synced too. Does nothing where the system has no
// such call.
void syncFolderOf(const QString& path);

} // namespace zelvan
