#pragma once
#include <QString>
#include <QtGlobal>

namespace platform {

using VolumeHandle = qintptr;
constexpr VolumeHandle InvalidVolume = -1;

// Opens a volume for a storage descriptor query only (no read, no write).
class VolumeBus {
public:
    virtual ~VolumeBus() = default;
    static constexpr int BusTypeUsb = 7;
    // `volumePath` is "\\.\E:" for a drive letter, or a mount point.
    // On failure returns InvalidVolume and sets *error.
    virtual VolumeHandle open(const QString &volumePath, quint32 *error) = 0;
    // On success sets *busType (STORAGE_BUS_TYPE numbering); else sets *error.
    virtual bool queryBusType(VolumeHandle handle, int *busType, quint32 *error) = 0;
    virtual void close(VolumeHandle handle) = 0;
    // The USB port the volume's disk is plugged into, written as the capture
    // devices write theirs; empty when it is on no USB port or cannot be told.
    virtual QString usbPort(const QString &volumePath) = 0;
};

} // namespace platform
