#pragma once
#include "platform/device_events.h"

namespace platform {

// Windows implementation: still to be written.
class WinNotifier : public DeviceNotifier {
public:
};

} // namespace platform
