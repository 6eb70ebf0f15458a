#include "platform/linux/linux_camera_library.h"
#include "platform/linux/linux_capture.h"
#include "platform/linux/linux_keep_awake.h"
#include "platform/linux/linux_notifier.h"
#include "platform/linux/linux_volume_bus.h"
#include "platform/native_backend.h"

std::unique_ptr<platform::Backend> platform::createBackend()
{
    return std::unique_ptr<Backend>(new NativeBackend<LinuxCaptureDevices, LinuxCameraLibrary,
                                                      LinuxNotifier, LinuxVolumeBus, LinuxKeepAwake>);
}
