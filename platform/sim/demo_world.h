#pragma once
#include "platform/sim/sim_firmware.h"

namespace sim {

// The firmware the demo's camera runs before any update; the samples under
// samples/ are one image newer than this and one the same.
FirmwareVersion demoCameraFirmware();

} // namespace sim
