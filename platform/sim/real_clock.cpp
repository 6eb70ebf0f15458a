#include "platform/sim/real_clock.h"

#include <QCoreApplication>
#include <QTimer>

namespace sim {

void RealClock::schedule(int delayMs, std::function<void()> action)
{
    // Timers must be started on the thread that runs them.
    QCoreApplication *app = QCoreApplication::instance();
    QMetaObject::invokeMethod(app, [app, delayMs, action]() {
        QTimer::singleShot(delayMs, app, action);
    }, Qt::QueuedConnection);
}

} // namespace sim
