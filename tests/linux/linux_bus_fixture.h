#pragma once
#include "platform/linux/linux_volume_bus.h"
#include "platform/platform.h"
#include "support/sim_fixture.h"

// A simulated machine whose bus check is the real Linux one.
struct LinuxBusFixture {
    LinuxBusFixture()
    {
        platform::Platform p = platform::current();
        p.volumes = &bus;
        platform::install(p);
    }
    SimFixture sim;   // built first: it installs the platform changed above
    platform::LinuxVolumeBus bus;
};
