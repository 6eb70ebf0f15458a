#pragma once
#include <QtGlobal>

class QFile;
class QString;

namespace platform {

// The few file operations Qt does not offer portably.
class FileIo {
public:
    virtual ~FileIo() = default;
    // The operating system's error code of the file call that just failed
    // (GetLastError on Windows, errno elsewhere).
    virtual quint32 lastError() = 0;
    // Pushes the file's written data to the device itself. False on failure.
    virtual bool flushToDevice(QFile &file) = 0;
    // True when both paths name one and the same file (device and inode, or
    // volume serial and file index), whatever links lead to it. False when
    // either does not exist.
    virtual bool sameFile(const QString &a, const QString &b) = 0;
};

} // namespace platform
