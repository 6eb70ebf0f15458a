#include "update/firmware_snapshot.h"

#include "platform/platform.h"
#include "update/firmware_copy.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <new>

FirmwareSnapshot::FirmwareSnapshot() = default;
FirmwareSnapshot::~FirmwareSnapshot() = default;

bool FirmwareSnapshot::take(const QString &path)
{
    clear();
    QFile source;
    if (!platform::current().files->openRegular(source, path))
        return false;
    // One chunk of the worker's size: memory stays at a fiftieth of the file.
    const qint64 chunk = firmware::chunkLength(source.size());
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(chunk)]);
    // Created readable and writable by the owner only.
    std::unique_ptr<QTemporaryFile> copy(
        new QTemporaryFile(QDir::temp().filePath(QStringLiteral("tarnholm-firmware-XXXXXX.bin"))));
    if (!buffer || !copy->open())
        return false;
    qint64 total = 0;
    // To the end as it is now: a file that grows meanwhile gives what was
    // there when it was read, never a part cut at a size taken earlier.
    for (;;) {
        const qint64 got = source.read(buffer.get(), chunk);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (copy->write(buffer.get(), got) != got)
            return false;
        total += got;
    }
    copy->close();
    if (total == 0 || copy->error() != QFileDevice::NoError)
        return false;
    m_file = std::move(copy);
    return true;
}

void FirmwareSnapshot::clear()
{
    m_file.reset();   // removes the file
}

QString FirmwareSnapshot::path() const { return m_file ? m_file->fileName() : QString(); }
