#pragma once
#include "platform/volume_bus.h"

namespace sim {

// Simulated volumes (filled in with the device-change handling).
class SimVolumeBus : public platform::VolumeBus {
public:
    platform::VolumeHandle open(const QString &, quint32 *error) override
    {
        *error = 2;
        return platform::InvalidVolume;
    }
    bool queryBusType(platform::VolumeHandle, int *, quint32 *error) override
    {
        *error = 1;
        return false;
    }
    void close(platform::VolumeHandle) override {}
};

} // namespace sim
