#pragma once
#include "platform/camera_library.h"
#include "platform/capture_devices.h"
#include "platform/clock.h"
#include "platform/device_events.h"
#include "platform/file_io.h"
#include "platform/keep_awake.h"
#include "platform/volume_bus.h"

namespace platform {

// The one place from which the window and the worker reach the system.
// main (or a test) fills it before the window is built; the backend owns
// the objects and outlives the window.
struct Platform {
    CaptureDevices *capture = nullptr;
    CameraLibrary *camera = nullptr;
    DeviceNotifier *notifier = nullptr;
    VolumeBus *volumes = nullptr;
    Clock *clock = nullptr;
    FileIo *files = nullptr;
    KeepAwake *awake = nullptr;
};

const Platform &current();
void install(const Platform &platform);

} // namespace platform
