#pragma once
#include "platform/camera_library.h"
#include "platform/capture_devices.h"

namespace sim {

// Simulated video-input devices (filled in with camera discovery).
class SimCaptureDevices : public platform::CaptureDevices {
public:
    int enumerate(IMoniker **, IBaseFilter **, int) override { return 0; }
    platform::DeviceProperties readProperties(IMoniker *) override { return {}; }
    void release(IMoniker *) override {}
    void release(IBaseFilter *) override {}
};

// Simulated vendor library (filled in with camera discovery).
class SimCameraLibrary : public platform::CameraLibrary {
public:
    long deviceInit(IBaseFilter *, unsigned long *) override { return 1; }
    long versionGet(IBaseFilter *, unsigned long, unsigned char *, int *) override { return 1; }
    long updateFwUms(IBaseFilter *, unsigned long) override { return 1; }
};

} // namespace sim
