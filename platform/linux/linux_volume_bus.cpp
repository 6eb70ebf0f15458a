#include "platform/linux/linux_volume_bus.h"
#include "platform/linux/usb_port.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libudev.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {

namespace {

bool isUsb(udev_device *device)
{
    const char *subsystem = udev_device_get_subsystem(device);
    const char *bus = udev_device_get_property_value(device, "ID_BUS");
    return (subsystem && std::strcmp(subsystem, "usb") == 0) || (bus && std::strcmp(bus, "usb") == 0);
}

// The bus a device names for itself, or 0 when it names none.
int ownBus(udev_device *device)
{
    struct Match { const char *name; int bus; };
    static const Match subsystems[] = {
        {"nvme", LinuxVolumeBus::BusTypeNvme},   {"ata", LinuxVolumeBus::BusTypeSata},
        {"mmc", LinuxVolumeBus::BusTypeSd},      {"virtio", LinuxVolumeBus::BusTypeVirtual},
        {"scsi", LinuxVolumeBus::BusTypeScsi},
    };
    static const Match buses[] = {
        {"nvme", LinuxVolumeBus::BusTypeNvme}, {"ata", LinuxVolumeBus::BusTypeSata},
        {"scsi", LinuxVolumeBus::BusTypeScsi},
    };
    if (const char *bus = udev_device_get_property_value(device, "ID_BUS")) {
        for (const Match &m : buses)
            if (std::strcmp(bus, m.name) == 0)
                return m.bus;
    }
    const char *subsystem = udev_device_get_subsystem(device);
    if (!subsystem)
        return 0;
    for (const Match &m : subsystems)
        if (std::strcmp(subsystem, m.name) == 0)
            return m.bus;
    const char *name = udev_device_get_sysname(device);
    if (std::strcmp(subsystem, "block") == 0 && name && std::strncmp(name, "loop", 4) == 0)
        return LinuxVolumeBus::BusTypeFileBackedVirtual;
    return 0;
}

// USB anywhere up the chain wins: a USB disk also shows SCSI on its way up.
int busOf(udev_device *device)
{
    int bus = 0;
    for (udev_device *d = device; d; d = udev_device_get_parent(d)) {
        if (isUsb(d))
            return VolumeBus::BusTypeUsb;
        if (bus == 0)
            bus = ownBus(d);
    }
    return bus;
}

QByteArray blockSyspath(dev_t device)
{
    return "/sys/dev/block/" + QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
}

} // namespace

LinuxVolumeBus::LinuxVolumeBus(struct udev *context)
    : m_udev(holdContext(context))
{
}

LinuxVolumeBus::~LinuxVolumeBus() = default;

VolumeHandle LinuxVolumeBus::open(const QString &volumePath, quint32 *error)
{
    const QByteArray path = QFile::encodeName(volumePath);
    const int fd = ::open(path.constData(), O_PATH | O_CLOEXEC);
    if (fd < 0) {
        *error = static_cast<quint32>(errno);
        return InvalidVolume;
    }
    return fd;
}

bool LinuxVolumeBus::queryBusType(VolumeHandle handle, int *busType, quint32 *error)
{
    struct stat st;
    if (::fstat(static_cast<int>(handle), &st) != 0) {
        *error = static_cast<quint32>(errno);
        return false;
    }
    if (!m_udev) {
        *error = ENOMEM;
        return false;
    }
    // No entry under /sys/dev/block (tmpfs, proc, a network file system):
    // nothing there can be a USB drive.
    const UdevDevice device(udev_device_new_from_syspath(m_udev.get(), blockSyspath(st.st_dev).constData()));
    *busType = device ? busOf(device.get()) : BusTypeUnknown;
    return true;
}

void LinuxVolumeBus::close(VolumeHandle handle)
{
    ::close(static_cast<int>(handle));
}

QString LinuxVolumeBus::usbPort(const QString &volumePath)
{
    struct stat st;
    if (!m_udev || ::stat(QFile::encodeName(volumePath).constData(), &st) != 0)
        return QString();
    const UdevDevice device(udev_device_new_from_syspath(m_udev.get(), blockSyspath(st.st_dev).constData()));
    return device ? usbPortOf(device.get()) : QString();
}

} // namespace platform
