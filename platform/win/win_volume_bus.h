#pragma once
#include "platform/volume_bus.h"

namespace platform {

// Windows implementation: still to be written.
class WinVolumeBus : public VolumeBus {
public:
    VolumeHandle open(const QString &, quint32 *error) override { *error = 1; return InvalidVolume; }
    bool queryBusType(VolumeHandle, int *, quint32 *error) override { *error = 1; return false; }
    void close(VolumeHandle) override {}
};

} // namespace platform
