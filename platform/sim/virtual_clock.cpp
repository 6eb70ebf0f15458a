#include "platform/sim/virtual_clock.h"
#include "platform/gui_thread.h"

#include <QCoreApplication>

namespace sim {

bool VirtualClock::onGuiThread() const
{
    return QCoreApplication::instance() == nullptr
        || QThread::currentThread() == QCoreApplication::instance()->thread();
}

void VirtualClock::sleepMs(int ms)
{
    const bool gui = onGuiThread();
    {
        QMutexLocker lock(&m_mutex);
        m_sleeps.append({m_now, ms, gui});
        m_now += ms;
    }
    if (gui) {
        runDue();
        return;
    }
    platform::runOnGuiThreadAndWait([this]() { runDue(); });
    // A second round trip lets the GUI thread handle what the actions posted.
    platform::runOnGuiThreadAndWait([]() {});
}

qint64 VirtualClock::monotonicMs()
{
    QMutexLocker lock(&m_mutex);
    return m_now;
}

void VirtualClock::schedule(int delayMs, std::function<void()> action)
{
    QMutexLocker lock(&m_mutex);
    m_actions.emplace(m_now + delayMs, std::move(action));
}

void VirtualClock::advance(qint64 ms)
{
    {
        QMutexLocker lock(&m_mutex);
        m_now += ms;
    }
    runDue();
}

bool VirtualClock::runNext()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_actions.empty())
            return false;
        if (m_actions.begin()->first > m_now)
            m_now = m_actions.begin()->first;
    }
    runDue();
    return true;
}

int VirtualClock::pendingActions() const
{
    QMutexLocker lock(&m_mutex);
    return static_cast<int>(m_actions.size());
}

QVector<VirtualClock::Sleep> VirtualClock::sleeps() const
{
    QMutexLocker lock(&m_mutex);
    return m_sleeps;
}

void VirtualClock::clearSleeps()
{
    QMutexLocker lock(&m_mutex);
    m_sleeps.clear();
}

void VirtualClock::runDue()
{
    // Actions may schedule further actions; take one at a time.
    for (;;) {
        std::function<void()> action;
        {
            QMutexLocker lock(&m_mutex);
            auto first = m_actions.begin();
            if (first == m_actions.end() || first->first > m_now)
                return;
            action = std::move(first->second);
            m_actions.erase(first);
        }
        action();
    }
}

} // namespace sim
