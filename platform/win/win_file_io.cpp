#include "platform/host_file_io.h"

#include <QFile>
#include <QString>
#include <cstring>
#include <io.h>
#include <windows.h>

namespace platform {

namespace {

const wchar_t *wide(const QString &path) { return reinterpret_cast<const wchar_t *>(path.utf16()); }

// Volume serial number and file index: the same for every name of one file.
bool fileIdentity(const QString &path, BY_HANDLE_FILE_INFORMATION *info)
{
    // Access 0 and full sharing: only the file's attributes are read, and a
    // file held open by another program can still be compared.
    HANDLE handle = ::CreateFileW(wide(path), 0,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = ::GetFileInformationByHandle(handle, info) != 0;
    ::CloseHandle(handle);
    return ok;
}

// Unbuffered reads must start on a sector boundary and cover whole sectors;
// 4 KiB is a multiple of every sector size a removable drive reports.
constexpr qint64 kSectorAlign = 4096;

} // namespace

quint32 HostFileIo::lastError() { return static_cast<quint32>(::GetLastError()); }

bool HostFileIo::flushToDevice(QFile &file)
{
    if (!file.flush())
        return false;
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    return handle != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle) != 0;
}

bool HostFileIo::openRegular(QFile &file, const QString &path)
{
    // Opening never blocks here: named pipes live outside the file system.
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(file.handle()));
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK
        || !::GetFileInformationByHandle(handle, &info)
        || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        file.close();
        return false;
    }
    return true;
}

bool HostFileIo::createRegular(QFile &file, const QString &path)
{
    // A symbolic link or junction of that name is removed, not followed.
    const DWORD attributes = ::GetFileAttributesW(wide(path));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        ::DeleteFileW(wide(path));
    file.setFileName(path);
    return file.open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered);
}

QByteArray HostFileIo::fileId(const QString &path)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!fileIdentity(path, &info))
        return QByteArray();
    const DWORD parts[] = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return QByteArray(reinterpret_cast<const char *>(parts), sizeof parts);
}

bool HostFileIo::matchesOnDevice(const QString &path, QFile &reference, qint64 bufferBytes)
{
    // A handle of its own without the system's cache: the bytes come from the drive.
    HANDLE handle = ::CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_NO_BUFFERING | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const qint64 wanted = qBound<qint64>(kSectorAlign, bufferBytes / 2, 1 << 27);
    const DWORD half = static_cast<DWORD>((wanted + kSectorAlign - 1) / kSectorAlign * kSectorAlign);
    // Page-aligned, as unbuffered reads require of the buffer too.
    char *const onDevice = static_cast<char *>(
        ::VirtualAlloc(nullptr, 2 * SIZE_T(half), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    char *const expected = onDevice ? onDevice + half : nullptr;
    bool same = onDevice && reference.seek(0);
    while (same) {
        // Whole sectors are asked for; the last read gives what is left.
        DWORD got = 0;
        same = ::ReadFile(handle, onDevice, half, &got, nullptr) != 0;
        same = same && reference.read(expected, half) == qint64(got)
            && std::memcmp(onDevice, expected, got) == 0;
        if (got == 0)
            break;
    }
    if (onDevice)
        ::VirtualFree(onDevice, 0, MEM_RELEASE);
    ::CloseHandle(handle);
    return same;
}

} // namespace platform
