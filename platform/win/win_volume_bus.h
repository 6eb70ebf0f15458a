#pragma once
#include "platform/volume_bus.h"

namespace platform {

// Volumes of Windows, opened as "\\.\E:" and asked for their storage
// device descriptor.
class WinVolumeBus : public VolumeBus {
public:
    VolumeHandle open(const QString &volumePath, quint32 *error) override;
    bool queryBusType(VolumeHandle handle, int *busType, quint32 *error) override;
    void close(VolumeHandle handle) override;
    QString usbPort(const QString &volumePath) override;
};

} // namespace platform
