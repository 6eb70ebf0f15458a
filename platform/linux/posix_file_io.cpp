#include "platform/host_file_io.h"

#include <QFile>
#include <QString>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Hands a descriptor opened without blocking to `file` (which closes it from
// then on) once it is known to be a regular file, blocking again from now.
// Anything else (a FIFO, a device) is closed with EINVAL.
bool adoptRegular(QFile &file, int fd, QIODevice::OpenMode mode)
{
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)
        || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        errno = EINVAL;
        return false;
    }
    if (file.open(fd, mode | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return true;
    const int error = errno;
    ::close(fd);
    errno = error;
    return false;
}

// Reads until `length` bytes or the end of the file; -1 on a failed read.
qint64 readUpTo(int fd, char *buffer, qint64 length)
{
    qint64 done = 0;
    while (done < length) {
        const ssize_t got = ::read(fd, buffer + done, size_t(length - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

} // namespace

quint32 HostFileIo::lastError() { return static_cast<quint32>(errno); }

bool HostFileIo::flushToDevice(QFile &file)
{
    if (!file.flush())
        return false;
    return ::fsync(file.handle()) == 0;
}

bool HostFileIo::openRegular(QFile &file, const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    return fd >= 0 && adoptRegular(file, fd, QIODevice::ReadOnly);
}

bool HostFileIo::createRegular(QFile &file, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    // A link, FIFO or device node of that name goes; a directory stays and
    // fails the open below with its own error.
    struct stat st;
    if (::lstat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        ::unlink(name.constData());
    const int fd = ::open(name.constData(),
                          O_RDWR | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    return fd >= 0 && adoptRegular(file, fd, QIODevice::ReadWrite);
}

QByteArray HostFileIo::fileId(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return QByteArray();
    QByteArray id;
    id.append(reinterpret_cast<const char *>(&st.st_dev), sizeof st.st_dev);
    id.append(reinterpret_cast<const char *>(&st.st_ino), sizeof st.st_ino);
    return id;
}

bool HostFileIo::matchesOnDevice(const QString &path, QFile &reference, qint64 bufferBytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    // The file was synced, so its cached pages are clean and this drops them
    // all: every read below goes to the device.
    const qint64 half = qBound<qint64>(4096, bufferBytes / 2, 1 << 27);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(2 * half)]);
    bool same = buffer && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0 && reference.seek(0);
    char *const onDevice = buffer.get(), *const expected = onDevice + half;
    while (same) {
        const qint64 got = readUpTo(fd, onDevice, half);
        const qint64 wanted = reference.read(expected, half);
        same = got >= 0 && got == wanted && std::memcmp(onDevice, expected, size_t(got)) == 0;
        if (got == 0)
            break;
    }
    ::close(fd);
    return same;
}

} // namespace platform
