#pragma once
#include "platform/camera_library.h"

namespace platform {

// Windows implementation: still to be written.
class WinCameraLibrary : public CameraLibrary {
public:
};

} // namespace platform
