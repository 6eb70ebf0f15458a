#include "platform/backend.h"
#include "platform/sim/real_clock.h"
#include "platform/sim/sim_world.h"

namespace {

class DemoBackend : public platform::Backend {
public:
    DemoBackend() : world(&clock) { world.install(); }
    sim::RealClock clock;
    sim::SimWorld world;
};

} // namespace

std::unique_ptr<platform::Backend> platform::createBackend()
{
    return std::unique_ptr<platform::Backend>(new DemoBackend);
}
