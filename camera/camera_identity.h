#pragma once
#include <QString>

// What tells one capture device from another that carries the same name.
// Either part may be empty: the system could not tell it.
struct DeviceIdentity {
    QString devicePath;   // "DevicePath" where it names the device for good
    QString usbPort;      // chain of hub ports up to the root hub, e.g. "1-2.3"
};

enum class IdentityMatch { None, ByName, ByDevicePath, ByUsbPort };

// Whether `candidate`, listed as `candidateText`, is the camera `wanted`,
// listed as `wantedText`: where both ports are known the port decides, else
// where both device paths are known the path decides, else the list text.
IdentityMatch matchIdentity(const QString &wantedText, const DeviceIdentity &wanted,
                            const QString &candidateText, const DeviceIdentity &candidate);

// Whether a USB volume on `volumePort` may be the drive of the camera on
// `cameraPort`: a camera in mass-storage mode may present other vendor and
// product ids, but stays on its port. Either port unknown: it may.
bool onCameraPort(const QString &cameraPort, const QString &volumePort);
