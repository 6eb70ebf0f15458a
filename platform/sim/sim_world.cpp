#include "platform/sim/sim_world.h"
#include "platform/platform.h"

namespace sim {

SimWorld::SimWorld(SimClock *clock, QObject *parent)
    : QObject(parent), m_clock(clock)
{
    camera.setDevices(&capture);
}

void SimWorld::install()
{
    platform::Platform p;
    p.capture = &capture;
    p.camera = &camera;
    p.notifier = &notifier;
    p.volumes = &volumes;
    p.clock = m_clock;
    p.files = &files;
    p.awake = &awake;
    platform::install(p);
}

} // namespace sim
