#pragma once
#include "platform/clock.h"
#include <functional>

namespace sim {

// The simulated world's clock: the tool's sleeps and readings, plus the
// world's own delayed happenings (a drive appearing, a camera rebooting).
class SimClock : public platform::Clock {
public:
    // Runs `action` on the GUI thread once `delayMs` have passed.
    virtual void schedule(int delayMs, std::function<void()> action) = 0;
};

} // namespace sim
