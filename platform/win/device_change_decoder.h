#pragma once
#include "platform/device_events.h"

#include <QtGlobal>

// Decoding of WM_DEVICECHANGE and its DEV_BROADCAST_* records from raw bytes.
// Written against the documented Win32 layouts, without windows.h, so that it
// builds and is tested on every OS; win_notifier.cpp checks these constants
// against the real declarations when built for Windows.
namespace platform {
namespace devicechange {

constexpr quint32 WmDeviceChange = 0x0219;

constexpr quintptr DbtDevnodesChanged = 0x0007;
constexpr quintptr DbtDeviceArrival = 0x8000;
constexpr quintptr DbtDeviceQueryRemove = 0x8001;
constexpr quintptr DbtDeviceRemoveComplete = 0x8004;

constexpr quint32 DbtDevtypVolume = 2;
constexpr quint32 DbtDevtypDeviceInterface = 5;

constexpr quint16 DbtfMedia = 1;
constexpr quint16 DbtfNet = 2;

// DEV_BROADCAST_HDR: dbch_size, dbch_devicetype, dbch_reserved (DWORDs).
constexpr int HeaderSizeOffset = 0;
constexpr int HeaderDeviceTypeOffset = 4;
constexpr int HeaderSize = 12;
// DEV_BROADCAST_VOLUME: the header, dbcv_unitmask (DWORD), dbcv_flags (WORD).
constexpr int VolumeUnitMaskOffset = 12;
constexpr int VolumeFlagsOffset = 16;
constexpr int VolumeRecordSize = 20;
// DEV_BROADCAST_DEVICEINTERFACE_W: the header, dbcc_classguid, dbcc_name[1].
constexpr int InterfaceClassGuidOffset = 12;
constexpr int InterfaceNameOffset = 28;
constexpr int InterfaceRecordSize = 32;

// Turns one window message into a device event. `record` is the message's
// lParam; dbch_size is trusted as the length of the record. False for other
// messages, for events other than arrival and completed removal, and for a
// record too short to hold its own header.
bool decode(quint32 message, quintptr wParam, const void *record, DeviceEvent *event);

// The device-interface name of any record: the UTF-16 text of dbcc_name up to
// its first NUL, never read past dbch_size. Empty when the record ends before.
QString interfaceName(const unsigned char *record, quint32 recordSize);

} // namespace devicechange
} // namespace platform
