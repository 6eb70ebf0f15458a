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

} // namespace sim
