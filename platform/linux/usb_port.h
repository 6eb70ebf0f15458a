#pragma once
#include <QString>

struct udev_device;

namespace platform {

// The USB port `device` is plugged into: the kernel name of its USB device
// ancestor, which is the bus and the chain of hub ports, such as "1-2.3".
// The camera's video node and its drive in mass-storage mode both lie under
// that one USB device. Empty when no ancestor is a USB device.
QString usbPortOf(udev_device *device);

} // namespace platform
