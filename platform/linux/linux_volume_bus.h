#pragma once
#include "platform/volume_bus.h"

#include "platform/linux/udev_ref.h"

namespace platform {

// Mounted file systems, opened by their mount point and asked which bus the
// block device behind them sits on: stat() gives the device number,
// /sys/dev/block/MAJ:MIN the udev device, and its ancestors the bus.
//
// The answer uses the STORAGE_BUS_TYPE numbers of Windows: USB (7) when the
// device or any ancestor has ID_BUS=usb or is in subsystem "usb"; else SCSI
// (1), SATA (11), SD/MMC (12), virtual (14), a loop device's backing file
// (15) or NVMe (17) as the ancestors show; 0 (unknown) for a file system with
// no block device at all, such as tmpfs. Errors are errno values.
class LinuxVolumeBus : public VolumeBus {
public:
    static constexpr int BusTypeUnknown = 0;
    static constexpr int BusTypeScsi = 1;
    static constexpr int BusTypeSata = 11;
    static constexpr int BusTypeSd = 12;
    static constexpr int BusTypeVirtual = 14;
    static constexpr int BusTypeFileBackedVirtual = 15;
    static constexpr int BusTypeNvme = 17;

    // `context`: see LinuxCaptureDevices.
    explicit LinuxVolumeBus(struct udev *context = nullptr);
    ~LinuxVolumeBus() override;
    LinuxVolumeBus(const LinuxVolumeBus &) = delete;
    LinuxVolumeBus &operator=(const LinuxVolumeBus &) = delete;

    // Opens the mount point itself as a path only: neither the directory nor
    // the device is read or written.
    VolumeHandle open(const QString &volumePath, quint32 *error) override;
    bool queryBusType(VolumeHandle handle, int *busType, quint32 *error) override;
    void close(VolumeHandle handle) override;
    // The USB port of the block device under the mount point (usb_port.h).
    QString usbPort(const QString &volumePath) override;

private:
    UdevContext m_udev;
};

} // namespace platform
