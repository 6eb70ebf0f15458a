#include "platform/sim/demo_world.h"

namespace sim {

FirmwareVersion demoCameraFirmware()
{
    FirmwareVersion v;
    v.major = 1; v.minor = 4; v.patch = 2;
    v.year = 2024; v.month = 3; v.day = 18;
    v.mcuMajor = 1; v.mcuMinor = 0; v.mcuPatch = 3;
    return v;
}

} // namespace sim
