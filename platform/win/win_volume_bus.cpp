#include "platform/win/win_volume_bus.h"
#include "platform/win/win_usb_port.h"

#include <windows.h>
#include <winioctl.h>

namespace platform {

static_assert(sizeof(STORAGE_PROPERTY_QUERY) == 12, "STORAGE_PROPERTY_QUERY");
static_assert(sizeof(STORAGE_DEVICE_DESCRIPTOR) == 40, "STORAGE_DEVICE_DESCRIPTOR");
static_assert(IOCTL_STORAGE_QUERY_PROPERTY == 0x2D1400, "IOCTL_STORAGE_QUERY_PROPERTY");
static_assert(::BusTypeUsb == VolumeBus::BusTypeUsb, "BusTypeUsb");
// INVALID_HANDLE_VALUE is (HANDLE)-1, which is InvalidVolume.
static_assert(sizeof(VolumeHandle) == sizeof(HANDLE), "a handle fits a VolumeHandle");

VolumeHandle WinVolumeBus::open(const QString &volumePath, quint32 *error)
{
    const std::wstring path = volumePath.toStdWString();
    // Access 0: the device is only queried, never read or written.
    HANDLE handle = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = static_cast<quint32>(::GetLastError());
        return InvalidVolume;
    }
    return reinterpret_cast<VolumeHandle>(handle);
}

bool WinVolumeBus::queryBusType(VolumeHandle handle, int *busType, quint32 *error)
{
    STORAGE_PROPERTY_QUERY query;
    ZeroMemory(&query, sizeof(query));
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    // Only the fixed header: the bus type is all that is read.
    STORAGE_DEVICE_DESCRIPTOR descriptor;
    ZeroMemory(&descriptor, sizeof(descriptor));
    descriptor.Version = sizeof(descriptor);
    descriptor.Size = sizeof(descriptor);
    DWORD returned = 0;
    if (!::DeviceIoControl(reinterpret_cast<HANDLE>(handle), IOCTL_STORAGE_QUERY_PROPERTY, &query,
                           sizeof(query), &descriptor, sizeof(descriptor), &returned, nullptr)) {
        *error = static_cast<quint32>(::GetLastError());
        return false;
    }
    *busType = static_cast<int>(descriptor.BusType);
    return true;
}

void WinVolumeBus::close(VolumeHandle handle)
{
    ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

QString WinVolumeBus::usbPort(const QString &volumePath)
{
    return usbPortOfVolume(volumePath);
}

} // namespace platform
