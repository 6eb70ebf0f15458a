#pragma once
#include "platform/keep_awake.h"

namespace sim {

// Records the hold so tests can see when it is taken and given up.
class SimKeepAwake : public platform::KeepAwake {
public:
    bool acquire() override;
    void release() override;

    bool held() const { return acquires > releases; }

    int acquires = 0;  // successful acquire() calls
    int releases = 0;  // release() calls
    int refusals = 0;  // acquire() calls answered false
    bool refuse = false;  // the system refuses the hold
};

} // namespace sim
