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

bool SimFileIo::matchesOnDevice(const QString &path, QFile &reference, qint64 bufferBytes)
{
    const bool same = !failReadBack && !corruptReadBack
        && HostFileIo::matchesOnDevice(path, reference, bufferBytes);
    if (afterReadBack)
        afterReadBack();
    return same;
}

} // namespace sim
