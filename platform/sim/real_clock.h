#pragma once
#include "platform/sim/sim_clock.h"
#include "platform/system_clock.h"

namespace sim {

// Real time, for the demo: the world's happenings are GUI-thread timers.
class RealClock : public SimClock {
public:
    void sleepMs(int ms) override { m_system.sleepMs(ms); }
    qint64 monotonicMs() override { return m_system.monotonicMs(); }
    void schedule(int delayMs, std::function<void()> action) override;

private:
    platform::SystemClock m_system;
};

} // namespace sim
