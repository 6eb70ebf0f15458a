#pragma once
#include "platform/capture_devices.h"

namespace platform {

// Windows implementation: still to be written.
class WinCaptureDevices : public CaptureDevices {
public:
    int enumerate(IMoniker **, IBaseFilter **, int) override { return -1; }
    DeviceProperties readProperties(IMoniker *) override { return {}; }
    void release(IMoniker *) override {}
    void release(IBaseFilter *) override {}
};

} // namespace platform
