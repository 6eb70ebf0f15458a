#include "platform/backend.h"
#include "platform/sim/real_clock.h"
#include "platform/sim/sim_world.h"

namespace {

// Firmware 2.1.15 built 2021-07-05, microcontroller 1.0.3.
QByteArray demoVersionBlock()
{
    QByteArray block(43, '\0');
    const unsigned char head[] = {2, 1, 15, 0x07, 0xE5, 7, 5};
    for (int i = 0; i < 7; ++i)
        block[i] = static_cast<char>(head[i]);
    block[40] = 1;
    block[41] = 0;
    block[42] = 3;
    return block;
}

class DemoBackend : public platform::Backend {
public:
    DemoBackend() : world(&clock)
    {
        // A laptop's own webcam, which the tool leaves alone, and one camera.
        sim::SimDeviceSpec webcam;
        webcam.friendlyName = QStringLiteral("Integrated Webcam");
        world.capture.attach(webcam);

        sim::SimDeviceSpec camera;
        camera.friendlyName = QStringLiteral("Ostrel Camera");
        camera.versionBlock = demoVersionBlock();
        world.capture.attach(camera);

        world.install();
    }
    sim::RealClock clock;
    sim::SimWorld world;
};

} // namespace

std::unique_ptr<platform::Backend> platform::createBackend()
{
    return std::unique_ptr<platform::Backend>(new DemoBackend);
}
