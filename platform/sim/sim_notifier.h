#pragma once
#include "platform/device_events.h"

#include <QPointer>
#include <QWidget>

namespace sim {

// Device-change subscription of the simulated world. Events are posted to
// the subscribed window, so they arrive through its event loop as on a real
// system (also inside a modal box's nested loop).
class SimNotifier : public platform::DeviceNotifier {
public:
    bool subscribe(QWidget *window, platform::DeviceEventSink sink) override;
    bool decodeNative(const QByteArray &, void *, platform::DeviceEvent *) override { return false; }

    void setSubscriptionFails(bool fails) { m_fails = fails; }
    bool subscribed() const { return !m_window.isNull(); }
    // Posts `event` to the subscribed window; dropped when nobody subscribed.
    void deliver(const platform::DeviceEvent &event);

private:
    bool m_fails = false;
    QPointer<QWidget> m_window;
    platform::DeviceEventSink m_sink;
};

} // namespace sim
