#pragma once
#include <QString>

namespace platform {

// The USB port (usb_location.h) of the USB device behind a capture device's
// interface path ("DevicePath"), or behind a volume ("\\.\E:") through its
// disk: the device node is walked up with CM_Get_Parent to the first whole
// USB device and its location paths are read. Empty whenever a call fails or
// nothing up the chain is a USB device.
QString usbPortOfInterface(const QString &interfacePath);
QString usbPortOfVolume(const QString &volumePath);

} // namespace platform
