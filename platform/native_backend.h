#pragma once
#include "platform/backend.h"
#include "platform/host_file_io.h"
#include "platform/platform.h"
#include "platform/system_clock.h"

namespace platform {

// The machine the program runs on: the system's own devices, vendor library
// and keep-awake, with real time and the host's files.
template <class Capture, class Camera, class Notifier, class Volumes, class Awake>
class NativeBackend : public Backend {
public:
    NativeBackend()
    {
        Platform p;
        p.capture = &capture;
        p.camera = &camera;
        p.notifier = &notifier;
        p.volumes = &volumes;
        p.clock = &clock;
        p.files = &files;
        p.awake = &awake;
        install(p);
    }
    Capture capture;
    Camera camera;
    Notifier notifier;
    Volumes volumes;
    SystemClock clock;
    HostFileIo files;
    Awake awake;
};

} // namespace platform
