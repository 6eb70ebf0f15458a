#include "platform/win/win_usb_port.h"
#include "platform/win/usb_location.h"

#include <QVector>
#include <string>
#include <windows.h>
#include <cfgmgr32.h>
#include <devpropdef.h>
#include <setupapi.h>
#include <winioctl.h>

namespace platform {

namespace {

// DEVPKEY_Device_LocationPaths and GUID_DEVINTERFACE_DISK, spelt out so that
// no GUID library has to define them.
const DEVPROPKEY kLocationPaths = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 37};
const GUID kDiskInterface = {0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};

// Hubs nest at most five deep; this bounds a walk through a strange tree.
constexpr int kMaxDepth = 16;

QString locationPort(DEVINST node)
{
    DEVPROPTYPE type = 0;
    ULONG size = 0;
    if (CM_Get_DevNode_PropertyW(node, &kLocationPaths, &type, nullptr, &size, 0) != CR_BUFFER_SMALL
        || size == 0)
        return QString();
    QVector<ushort> buffer(int(size / sizeof(ushort)) + 1, 0);
    if (CM_Get_DevNode_PropertyW(node, &kLocationPaths, &type, reinterpret_cast<PBYTE>(buffer.data()),
                                 &size, 0) != CR_SUCCESS
        || type != DEVPROP_TYPE_STRING_LIST)
        return QString();
    return usblocation::portFromLocationPaths(
        usblocation::splitStringList(buffer.constData(), int(size / sizeof(ushort))));
}

QString portOfNode(DEVINST node)
{
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
        if (CM_Get_Device_IDW(node, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS)
            return QString();
        if (usblocation::isUsbDevice(QString::fromWCharArray(id)))
            return locationPort(node);
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS)
            return QString();
        node = parent;
    }
    return QString();
}

bool deviceNumber(const std::wstring &path, STORAGE_DEVICE_NUMBER *number)
{
    // Access 0: only asked, never read or written.
    HANDLE handle = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(handle, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, number,
                                      sizeof(*number), &returned, nullptr);
    ::CloseHandle(handle);
    return ok && returned >= sizeof(*number);
}

} // namespace

QString usbPortOfInterface(const QString &interfacePath)
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return QString();
    const std::wstring path = interfacePath.toStdWString();
    SP_DEVICE_INTERFACE_DATA iface;
    iface.cbSize = sizeof(iface);
    SP_DEVINFO_DATA device;
    device.cbSize = sizeof(device);
    QString port;
    // Opening the interface adds its device to the set, as its only member.
    if (SetupDiOpenDeviceInterfaceW(set, path.c_str(), 0, &iface) && SetupDiEnumDeviceInfo(set, 0, &device))
        port = portOfNode(device.DevInst);
    SetupDiDestroyDeviceInfoList(set);
    return port;
}

QString usbPortOfVolume(const QString &volumePath)
{
    STORAGE_DEVICE_NUMBER wanted;
    if (!deviceNumber(volumePath.toStdWString(), &wanted))
        return QString();
    HDEVINFO set = SetupDiGetClassDevsW(&kDiskInterface, nullptr, nullptr,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return QString();
    QString port;
    SP_DEVICE_INTERFACE_DATA iface;
    iface.cbSize = sizeof(iface);
    // The disk whose number the volume reports is the volume's disk.
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &kDiskInterface, i, &iface); ++i) {
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &iface, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
            continue;
        QVector<DWORD> buffer(int(size / sizeof(DWORD)) + 1, 0);
        auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA device;
        device.cbSize = sizeof(device);
        STORAGE_DEVICE_NUMBER number;
        if (!SetupDiGetDeviceInterfaceDetailW(set, &iface, detail, size, nullptr, &device)
            || !deviceNumber(detail->DevicePath, &number))
            continue;
        if (number.DeviceType == wanted.DeviceType && number.DeviceNumber == wanted.DeviceNumber) {
            port = portOfNode(device.DevInst);
            break;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return port;
}

} // namespace platform
