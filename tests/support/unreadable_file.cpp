#include "support/unreadable_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/fsuid.h>
#include <unistd.h>
#endif

UnreadableFile::UnreadableFile(const QString &path) : m_path(path)
{
#ifdef _WIN32
    // Permissions cannot take reading away from the owner; an open without sharing can.
    m_handle = ::CreateFileW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()), GENERIC_READ, 0,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
        m_handle = nullptr;
        m_why = QStringLiteral("the file cannot be held open without sharing");
    }
#else
    // The file stays reachable, only not readable; root, who reads anything, reads as "nobody" on this thread.
    QFile(QFileInfo(path).absolutePath()).setPermissions(QFile::Permissions(0x7755));
    QFile(path).setPermissions({});
    if (::geteuid() == 0) {
        ::setfsuid(65534);
        m_asNobody = true;
    }
#endif
}

UnreadableFile::~UnreadableFile()
{
#ifdef _WIN32
    if (m_handle)
        ::CloseHandle(m_handle);
#else
    if (m_asNobody)
        ::setfsuid(0);
    QFile(m_path).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
#endif
}
