#include "platform/win/win_notifier.h"
#include "platform/capture_category.h"
#include "platform/win/device_change_decoder.h"

#include <QWidget>
#include <cstddef>
#include <windows.h>
#include <dbt.h>

namespace platform {

namespace devicechange {
// The decoder reads raw bytes; hold it to the real declarations.
static_assert(WmDeviceChange == WM_DEVICECHANGE, "WM_DEVICECHANGE");
static_assert(DbtDevnodesChanged == DBT_DEVNODES_CHANGED, "DBT_DEVNODES_CHANGED");
static_assert(DbtDeviceArrival == DBT_DEVICEARRIVAL, "DBT_DEVICEARRIVAL");
static_assert(DbtDeviceQueryRemove == DBT_DEVICEQUERYREMOVE, "DBT_DEVICEQUERYREMOVE");
static_assert(DbtDeviceRemoveComplete == DBT_DEVICEREMOVECOMPLETE, "DBT_DEVICEREMOVECOMPLETE");
static_assert(DbtDevtypVolume == DBT_DEVTYP_VOLUME, "DBT_DEVTYP_VOLUME");
static_assert(DbtDevtypDeviceInterface == DBT_DEVTYP_DEVICEINTERFACE, "DBT_DEVTYP_DEVICEINTERFACE");
static_assert(DbtfMedia == DBTF_MEDIA, "DBTF_MEDIA");
static_assert(DbtfNet == DBTF_NET, "DBTF_NET");
static_assert(HeaderSizeOffset == offsetof(DEV_BROADCAST_HDR, dbch_size), "dbch_size");
static_assert(HeaderDeviceTypeOffset == offsetof(DEV_BROADCAST_HDR, dbch_devicetype), "dbch_devicetype");
static_assert(HeaderSize == sizeof(DEV_BROADCAST_HDR), "DEV_BROADCAST_HDR");
static_assert(VolumeUnitMaskOffset == offsetof(DEV_BROADCAST_VOLUME, dbcv_unitmask), "dbcv_unitmask");
static_assert(VolumeFlagsOffset == offsetof(DEV_BROADCAST_VOLUME, dbcv_flags), "dbcv_flags");
static_assert(VolumeRecordSize == sizeof(DEV_BROADCAST_VOLUME), "DEV_BROADCAST_VOLUME");
static_assert(InterfaceClassGuidOffset == offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_classguid),
              "dbcc_classguid");
static_assert(InterfaceNameOffset == offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name), "dbcc_name");
static_assert(InterfaceRecordSize == sizeof(DEV_BROADCAST_DEVICEINTERFACE_W),
              "DEV_BROADCAST_DEVICEINTERFACE_W");
static_assert(sizeof(wchar_t) == 2, "dbcc_name is UTF-16");
} // namespace devicechange

bool WinNotifier::subscribe(QWidget *window, DeviceEventSink)
{
    DEV_BROADCAST_DEVICEINTERFACE_W filter;
    ZeroMemory(&filter, sizeof(filter));
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_reserved = 0;
    filter.dbcc_classguid = kCaptureCategory;
    // winId() creates the native window if it does not exist yet.
    HWND hwnd = reinterpret_cast<HWND>(window->winId());
    // The registration lives as long as the window; it is never undone.
    return ::RegisterDeviceNotificationW(hwnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE) != nullptr;
}

bool WinNotifier::decodeNative(const QByteArray &, void *message, DeviceEvent *event)
{
    const MSG *msg = static_cast<const MSG *>(message);
    if (!msg)
        return false;
    return devicechange::decode(msg->message, static_cast<quintptr>(msg->wParam),
                                reinterpret_cast<const void *>(msg->lParam), event);
}

} // namespace platform
