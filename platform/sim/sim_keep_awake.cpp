#include "platform/sim/sim_keep_awake.h"

namespace sim {

bool SimKeepAwake::acquire()
{
    if (refuse) {
        ++refusals;
        return false;
    }
    ++acquires;
    return true;
}

void SimKeepAwake::release() { ++releases; }

} // namespace sim
