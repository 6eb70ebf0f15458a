#pragma once
#include "platform/volume_bus.h"

namespace platform {

// Windows implementation: still to be written.
class WinVolumeBus : public VolumeBus {
public:
};

} // namespace platform
