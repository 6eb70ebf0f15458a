#pragma once
#include <QByteArray>
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
    // Opens `path` read-only without ever blocking (a FIFO put in the file's
    // place cannot stall the caller) and only when the opened handle is a
    // regular file; the check is made on the handle, not on the name.
    virtual bool openRegular(QFile &file, const QString &path) = 0;
    // Creates `path` as a new, empty regular file open for reading and
    // writing. A link of that name is never followed: it is removed and the
    // file created in its place. On failure lastError() tells why.
    virtual bool createRegular(QFile &file, const QString &path) = 0;
    // What names one file or directory, whatever path leads to it (device and
    // inode, or volume serial and file index); empty when it cannot be read.
    virtual QByteArray fileId(const QString &path) = 0;
    // True when the file at `path`, read past the system's cache from the
    // device itself, holds exactly the bytes of `reference` from its start to
    // its end. One buffer of about `bufferBytes`, half for each side. False
    // on any difference, another length or a failed read.
    virtual bool matchesOnDevice(const QString &path, QFile &reference, qint64 bufferBytes) = 0;

    // True when both paths name one and the same existing file.
    bool sameFile(const QString &a, const QString &b)
    {
        const QByteArray id = fileId(a);
        return !id.isEmpty() && id == fileId(b);
    }
};

} // namespace platform
