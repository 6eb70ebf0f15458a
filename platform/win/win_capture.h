#pragma once
#include "platform/capture_devices.h"

namespace platform {

// Windows implementation: still to be written.
class WinCaptureDevices : public CaptureDevices {
public:
};

} // namespace platform
