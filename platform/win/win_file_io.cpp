#include "platform/host_file_io.h"

#include <QFile>
#include <io.h>
#include <windows.h>

namespace platform {

quint32 HostFileIo::lastError() { return static_cast<quint32>(::GetLastError()); }

bool HostFileIo::flushToDevice(QFile &file)
{
    if (!file.flush())
        return false;
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    return handle != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle) != 0;
}

} // namespace platform
