#include "platform/native_backend.h"
#include "platform/win/win_camera_library.h"
#include "platform/win/win_capture.h"
#include "platform/win/win_keep_awake.h"
#include "platform/win/win_notifier.h"
#include "platform/win/win_volume_bus.h"

std::unique_ptr<platform::Backend> platform::createBackend()
{
    return std::unique_ptr<Backend>(new NativeBackend<WinCaptureDevices, WinCameraLibrary,
                                                      WinNotifier, WinVolumeBus, WinKeepAwake>);
}
