#include "platform/sim/sim_notifier.h"

namespace sim {

bool SimNotifier::subscribe(QWidget *window, platform::DeviceEventSink sink)
{
    if (m_fails)
        return false;
    m_window = window;
    m_sink = std::move(sink);
    return true;
}

void SimNotifier::deliver(const platform::DeviceEvent &event)
{
    if (m_window.isNull())
        return;
    platform::DeviceEventSink sink = m_sink;
    QMetaObject::invokeMethod(m_window.data(), [sink, event]() { sink(event); },
                              Qt::QueuedConnection);
}

} // namespace sim
