#pragma once
#include <QString>
#include <QStringList>

// Reading what Windows' configuration manager tells of a USB device's place.
// Plain text work, built and tested on every OS; win_usb_port.cpp makes the calls.
namespace platform {
namespace usblocation {

// The USB port in a device's location paths (DEVPKEY_Device_LocationPaths),
// such as "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)": the first path
// that runs through a USB root hub, up to its last "USB(n)" element, so an
// interface's "#USBMI(0)" is dropped. Empty when no path names a port.
QString portFromLocationPaths(const QStringList &paths);

// A DEVPROP_TYPE_STRING_LIST value: NUL-terminated UTF-16 strings ending in
// an empty one, `units` 16-bit units long at most. A last string without its
// NUL may be cut short and is left out.
QStringList splitStringList(const ushort *data, int units);

// Whether a device instance ID ("USB\VID_2E4F&PID_0C01\5&1A2B3C4D&0&3")
// names a whole USB device, not one interface of a composite device
// ("&MI_00") nor anything another bus enumerated.
bool isUsbDevice(const QString &instanceId);

} // namespace usblocation
} // namespace platform
