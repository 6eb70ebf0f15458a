#pragma once

namespace platform {

// The camera vendor's three functions, looked up in a loaded library by the
// system's own symbol lookup (dlsym, GetProcAddress). `Device` is what the
// library takes to name the camera: the capture filter on Windows, the video
// node elsewhere. A library is usable only with all three.
template <typename Device>
struct VendorEntryPoints {
    using DeviceInitFn = long (*)(Device, unsigned long *);
    using VersionGetFn = long (*)(Device, unsigned long, unsigned char *, int *);
    using UpdateFwUmsFn = long (*)(Device, unsigned long);
    using AnyFn = void (*)();

    DeviceInitFn deviceInit = nullptr;
    VersionGetFn versionGet = nullptr;
    UpdateFwUmsFn updateFwUms = nullptr;

    // `lookup(name)` answers the address of the named export as an AnyFn, or
    // null. True when all three were found; otherwise none is kept.
    template <typename Lookup>
    bool resolve(Lookup lookup)
    {
        deviceInit = reinterpret_cast<DeviceInitFn>(lookup("FicDeviceInit"));
        versionGet = reinterpret_cast<VersionGetFn>(lookup("FicVersionGet"));
        updateFwUms = reinterpret_cast<UpdateFwUmsFn>(lookup("FicUpdateFwUms"));
        if (deviceInit && versionGet && updateFwUms)
            return true;
        *this = VendorEntryPoints();
        return false;
    }
};

} // namespace platform
