#include "platform/host_file_io.h"

#include <QFile>
#include <QString>
#include <io.h>
#include <windows.h>

namespace platform {

namespace {

// Volume serial number and file index: the same for every name of one file.
bool fileIdentity(const QString &path, BY_HANDLE_FILE_INFORMATION *info)
{
    // Access 0 and full sharing: only the file's attributes are read, and a
    // file held open by another program can still be compared.
    HANDLE handle = ::CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = ::GetFileInformationByHandle(handle, info) != 0;
    ::CloseHandle(handle);
    return ok;
}

} // namespace

quint32 HostFileIo::lastError() { return static_cast<quint32>(::GetLastError()); }

bool HostFileIo::flushToDevice(QFile &file)
{
    if (!file.flush())
        return false;
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    return handle != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle) != 0;
}

bool HostFileIo::sameFile(const QString &a, const QString &b)
{
    BY_HANDLE_FILE_INFORMATION first, second;
    if (!fileIdentity(a, &first) || !fileIdentity(b, &second))
        return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber
        && first.nFileIndexHigh == second.nFileIndexHigh
        && first.nFileIndexLow == second.nFileIndexLow;
}

} // namespace platform
