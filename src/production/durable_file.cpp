#include "durable_file.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>

#if defined(Q_OS_WIN)
#include <io.h>
#elif defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zelvan {

bool syncFileToDisk(QFileDevice& file) {
    if (!file.flush())
        return false;
#if defined(Q_OS_WIN)
    return _commit(file.handle()) == 0;
#elif defined(Q_OS_UNIX)
    return ::fsync(file.handle()) == 0;
#else
    return true;
#endif
}

void syncFolderOf(const QString& path) {
#if defined(Q_OS_UNIX)
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
#else
    Q_UNUSED(path);
#endif
}

bool lockWithin(QLockFile& lock, std::chrono::milliseconds wait, const StopRequest* stop) {
    const QDeadlineTimer deadline(wait);
    while (!lock.tryLock(std::chrono::milliseconds(0))) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired() || (stop && stop->requested()))
            return false;
        QThread::msleep(static_cast<unsigned long>(kLockFilePoll.count()));
    }
    return true;
}

} // namespace zelvan
