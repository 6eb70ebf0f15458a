#include "platform/backend.h"
#include "platform/host_file_io.h"
#include "platform/linux/linux_camera_library.h"
#include "platform/linux/linux_capture.h"
#include "platform/linux/linux_keep_awake.h"
#include "platform/linux/linux_notifier.h"
#include "platform/linux/linux_volume_bus.h"
#include "platform/platform.h"
#include "platform/system_clock.h"

namespace {

class LinuxBackend : public platform::Backend {
public:
    LinuxBackend()
    {
        platform::Platform p;
        p.capture = &capture;
        p.camera = &camera;
        p.notifier = &notifier;
        p.volumes = &volumes;
        p.clock = &clock;
        p.files = &files;
        p.awake = &awake;
        platform::install(p);
    }
    platform::LinuxCaptureDevices capture;
    platform::LinuxCameraLibrary camera;
    platform::LinuxNotifier notifier;
    platform::LinuxVolumeBus volumes;
    platform::SystemClock clock;
    platform::HostFileIo files;
    platform::LinuxKeepAwake awake;
};

} // namespace

std::unique_ptr<platform::Backend> platform::createBackend()
{
    return std::unique_ptr<platform::Backend>(new LinuxBackend);
}
