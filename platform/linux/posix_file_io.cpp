#include "platform/host_file_io.h"

#include <QFile>
#include <QString>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

quint32 HostFileIo::lastError() { return static_cast<quint32>(errno); }

bool HostFileIo::flushToDevice(QFile &file)
{
    if (!file.flush())
        return false;
    return ::fsync(file.handle()) == 0;
}

bool HostFileIo::sameFile(const QString &a, const QString &b)
{
    struct stat first, second;
    if (::stat(QFile::encodeName(a).constData(), &first) != 0
        || ::stat(QFile::encodeName(b).constData(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace platform
