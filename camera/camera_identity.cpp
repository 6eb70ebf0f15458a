#include "camera/camera_identity.h"
#include "app/tarnholm.h"
#include "camera/version_block.h"
#include "platform/platform.h"

IdentityMatch matchIdentity(const QString &wantedText, const DeviceIdentity &wanted,
                            const QString &candidateText, const DeviceIdentity &candidate)
{
    if (!wanted.usbPort.isEmpty() && !candidate.usbPort.isEmpty())
        return wanted.usbPort == candidate.usbPort ? IdentityMatch::ByUsbPort : IdentityMatch::None;
    if (!wanted.devicePath.isEmpty() && !candidate.devicePath.isEmpty())
        return wanted.devicePath.compare(candidate.devicePath, Qt::CaseInsensitive) == 0
                   ? IdentityMatch::ByDevicePath
                   : IdentityMatch::None;
    return wantedText == candidateText ? IdentityMatch::ByName : IdentityMatch::None;
}

bool onCameraPort(const QString &cameraPort, const QString &volumePort)
{
    return cameraPort.isEmpty() || volumePort.isEmpty() || cameraPort == volumePort;
}

DeviceIdentity Tarnholm::ItemIdentity(int index)
{
    DeviceIdentity identity;
    IBaseFilter *filter = nullptr;
    if (!versionblock::filterFromItemData(ui.DeviceList->itemData(index, Qt::UserRole), &filter))
        return identity;
    for (int i = 0; i < 10 && deviceMonikers[i]; ++i) {
        if (deviceFilters[i] != filter)
            continue;
        const platform::DeviceProperties props =
            platform::current().capture->readProperties(deviceMonikers[i]);
        identity.devicePath = props.devicePath;
        identity.usbPort = props.usbPort;
        break;
    }
    return identity;
}

int Tarnholm::FindUpdatedCamera(int *matches)
{
    int byName = -1;
    int names = 0;
    for (int i = 0; i < ui.DeviceList->count(); ++i) {
        const IdentityMatch match = matchIdentity(updateDeviceName, updateDeviceIdentity,
                                                  ui.DeviceList->itemText(i), ItemIdentity(i));
        if (match == IdentityMatch::ByUsbPort || match == IdentityMatch::ByDevicePath) {
            if (matches)
                *matches = 1;
            return i;
        }
        if (match == IdentityMatch::ByName && names++ == 0)
            byName = i;
    }
    if (matches)
        *matches = names;
    // Several cameras of that name, none told apart: reading one of them
    // could report another camera's firmware as the updated one's.
    return names == 1 ? byName : -1;
}
