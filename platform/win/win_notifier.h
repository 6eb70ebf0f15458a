#pragma once
#include "platform/device_events.h"

namespace platform {

// Device-change notifications of Windows: capture-device interfaces by
// registration, volumes by broadcast, both as WM_DEVICECHANGE messages that
// reach the window's nativeEvent and are decoded here.
class WinNotifier : public DeviceNotifier {
public:
    // Events arrive as window messages, so `sink` is not needed.
    bool subscribe(QWidget *window, DeviceEventSink sink) override;
    bool decodeNative(const QByteArray &eventType, void *message, DeviceEvent *event) override;
};

} // namespace platform
