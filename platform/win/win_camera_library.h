#pragma once
#include "platform/camera_library.h"

namespace platform {

// Windows implementation: still to be written.
class WinCameraLibrary : public CameraLibrary {
public:
    long deviceInit(IBaseFilter *, unsigned long *) override { return 1; }
    long versionGet(IBaseFilter *, unsigned long, unsigned char *, int *) override { return 1; }
    long updateFwUms(IBaseFilter *, unsigned long) override { return 1; }
};

} // namespace platform
