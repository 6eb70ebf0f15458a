#include "platform/sim/sim_file_io.h"

namespace sim {

bool SimFileIo::flushToDevice(QFile &file)
{
    if (onFlush)
        onFlush();
    if (failNextFlush.exchange(false) || failFlush)
        return false;
    return HostFileIo::flushToDevice(file);
}

bool SimFileIo::deviceDigest(const QString &path, qint64 bufferBytes, QByteArray *sha256)
{
    const bool read = !failReadBack && HostFileIo::deviceDigest(path, bufferBytes, sha256);
    if (afterReadBack)
        afterReadBack();
    if (!read)
        return false;
    if (corruptReadBack && !sha256->isEmpty())
        (*sha256)[0] = char(sha256->at(0) ^ 1);   // as if one bit had flipped on the way
    return true;
}

} // namespace sim
