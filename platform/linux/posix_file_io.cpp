#include "platform/host_file_io.h"

#include <QFile>
#include <cerrno>
#include <unistd.h>

namespace platform {

quint32 HostFileIo::lastError() { return static_cast<quint32>(errno); }

bool HostFileIo::flushToDevice(QFile &file)
{
    if (!file.flush())
        return false;
    return ::fsync(file.handle()) == 0;
}

} // namespace platform
