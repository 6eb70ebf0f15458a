#include "app/tarnholm.h"
#include "platform/platform.h"

// Windows delivers device changes as window messages; the backend turns them
// into neutral events. Qt always goes on with its own handling.
bool Tarnholm::nativeEvent(const QByteArray &eventType, void *message, long *)
{
    platform::DeviceEvent event;
    if (platform::current().notifier->decodeNative(eventType, message, &event))
        HandleDeviceEvent(event);
    return false;
}
