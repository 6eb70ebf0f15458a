#include "platform/linux/usb_port.h"

#include <cstring>
#include <libudev.h>

namespace platform {

QString usbPortOf(udev_device *device)
{
    for (udev_device *d = device; d; d = udev_device_get_parent(d)) {
        const char *subsystem = udev_device_get_subsystem(d);
        const char *name = udev_device_get_sysname(d);
        // Interfaces are named "1-2.3:1.0"; the first USB ancestor without a
        // colon is the device itself, named by its bus, a dash and its ports.
        if (subsystem && name && std::strcmp(subsystem, "usb") == 0 && !std::strchr(name, ':'))
            return QString::fromLatin1(name);
    }
    return QString();
}

} // namespace platform
