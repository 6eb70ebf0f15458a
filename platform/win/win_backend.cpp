#include "platform/backend.h"
#include "platform/host_file_io.h"
#include "platform/platform.h"
#include "platform/system_clock.h"
#include "platform/win/win_camera_library.h"
#include "platform/win/win_capture.h"
#include "platform/win/win_keep_awake.h"
#include "platform/win/win_notifier.h"
#include "platform/win/win_volume_bus.h"

namespace {

class WinBackend : public platform::Backend {
public:
    WinBackend()
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
    platform::WinCaptureDevices capture;
    platform::WinCameraLibrary camera;
    platform::WinNotifier notifier;
    platform::WinVolumeBus volumes;
    platform::SystemClock clock;
    platform::HostFileIo files;
    platform::WinKeepAwake awake;
};

} // namespace

std::unique_ptr<platform::Backend> platform::createBackend()
{
    return std::unique_ptr<platform::Backend>(new WinBackend);
}
