#pragma once
#include "platform/com_types.h"
#include <QString>

namespace platform {

// What one read of a device's property bag yielded.
struct DeviceProperties {
    bool bound = false;            // the property bag could be obtained at all
    bool hasFriendlyName = false;  // "FriendlyName" read exactly S_OK
    QString friendlyName;          // up to its terminating NUL
    bool hasDevicePath = false;    // "DevicePath" read exactly S_OK
    // What tells this device from another of the same name; each is empty
    // when the system cannot tell it.
    QString devicePath;            // the "DevicePath" text where it names the device for good
    QString usbPort;               // the chain of hub ports up to the root hub, e.g. "1-2.3"
};

// The video-input capture devices of the system (DirectShow on Windows).
class CaptureDevices {
public:
    virtual ~CaptureDevices() = default;
    // Stores up to `slots` devices from slot 0 without gaps, each with one
    // reference on its moniker and its filter. Returns the number stored,
    // or -1 when the device enumerator or the category cannot be obtained.
    virtual int enumerate(IMoniker **monikers, IBaseFilter **filters, int slots) = 0;
    // Binds the moniker's property bag and reads "FriendlyName" and "DevicePath",
    // and finds the USB port the device is plugged into.
    virtual DeviceProperties readProperties(IMoniker *moniker) = 0;
    // Drop the one reference that enumerate() handed out.
    virtual void release(IMoniker *moniker) = 0;
    virtual void release(IBaseFilter *filter) = 0;
};

} // namespace platform
