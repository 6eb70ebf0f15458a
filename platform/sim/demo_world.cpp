#include "platform/sim/demo_world.h"

namespace sim {

FirmwareVersion demoCameraFirmware()
{
    FirmwareVersion v;
    v.major = 2; v.minor = 1; v.patch = 15;
    v.year = 2021; v.month = 7; v.day = 5;
    v.mcuMajor = 1; v.mcuMinor = 0; v.mcuPatch = 3;
    return v;
}

} // namespace sim
