#pragma once
#include "platform/device_events.h"

namespace platform {

// Windows implementation: still to be written.
class WinNotifier : public DeviceNotifier {
public:
    bool subscribe(QWidget *, DeviceEventSink) override { return false; }
    bool decodeNative(const QByteArray &, void *, DeviceEvent *) override { return false; }
};

} // namespace platform
