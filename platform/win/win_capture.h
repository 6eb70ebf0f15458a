#pragma once
#include "platform/capture_devices.h"

namespace platform {

// DirectShow's video-input device category, through COM. COM must already
// be initialised on the calling thread (Qt does so for the GUI thread).
class WinCaptureDevices : public CaptureDevices {
public:
    int enumerate(IMoniker **monikers, IBaseFilter **filters, int slots) override;
    DeviceProperties readProperties(IMoniker *moniker) override;
    void release(IMoniker *moniker) override;
    void release(IBaseFilter *filter) override;
};

} // namespace platform
