#pragma once

#include <QFileDevice>
#include <QLockFile>
#include <QString>

#include "common/stop_request.h"

#include <chrono>

namespace zelvan {

// Asks the system to put what was written to the open file on the disk before returning, so that
// a crash or power loss just after cannot lose it. False when the system refused.
bool syncFileToDisk(QFileDevice& file);

// Puts the directory entries of the folder holding path on the disk: a file renamed into place
// is only safe across a crash once its folder is synced too. Does nothing where the system has no
// such call.
void syncFolderOf(const QString& path);

// How often a waiter tries a lock file again.
constexpr std::chrono::milliseconds kLockFilePoll{5};

// Takes the lock within wait, trying every kLockFilePoll (QLockFile's own wait doubles its sleeps
// up to seconds, so a waiter could sleep on long after the lock was freed). A lock whose owner has
// died is taken over. False when it was not had in time, cannot be made, or the user asked to stop
// (stop, when given, is looked at between the tries).
bool lockWithin(QLockFile& lock, std::chrono::milliseconds wait, const StopRequest* stop = nullptr);

} // namespace zelvan
