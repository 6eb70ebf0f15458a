#include "platform/backend.h"
#include "platform/sim/demo_panel.h"
#include "platform/sim/demo_world.h"
#include "platform/sim/real_clock.h"
#include "platform/sim/sim_camera_update.h"
#include "platform/sim/sim_devices.h"
#include "platform/sim/sim_world.h"

namespace {

class DemoBackend : public platform::Backend {
public:
    DemoBackend() : world(&clock)
    {
        // A laptop's own webcam, which the tool leaves alone, and one camera,
        // each on a USB port of its own (nothing listens yet).
        sim::SimDeviceSpec webcam;
        webcam.friendlyName = QStringLiteral("Integrated Webcam");
        devices.plugCapture(webcam);

        sim::SimDeviceSpec camera;
        camera.friendlyName = QStringLiteral("Ostrel Camera");
        camera.versionBlock = sim::versionBlock(sim::demoCameraFirmware());
        devices.plugCapture(camera);

        world.install();

        // Flash and reboot take seconds, so a whole update ends within a minute.
        cameraUpdate.timings.leaveMs = 500;
        cameraUpdate.timings.driveArrivalMs = 2000;
        cameraUpdate.timings.flashMs = 6000;
        cameraUpdate.timings.rebootMs = 5000;
        panel.move(650, 0);
        panel.show();
    }
    sim::RealClock clock;
    sim::SimWorld world;
    sim::SimDevices devices{world};
    sim::SimCameraUpdate cameraUpdate{world, devices};
    sim::DemoPanel panel{world, devices, cameraUpdate};
};

} // namespace

std::unique_ptr<platform::Backend> platform::createBackend()
{
    return std::unique_ptr<platform::Backend>(new DemoBackend);
}
