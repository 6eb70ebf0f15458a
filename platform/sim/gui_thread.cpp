#include "platform/sim/gui_thread.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QSharedPointer>
#include <QThread>

namespace sim {

void runOnGuiThreadAndWait(std::function<void()> job)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        job();
        return;
    }
    QSharedPointer<QSemaphore> done(new QSemaphore);
    QMetaObject::invokeMethod(app, [job, done]() {
        job();
        done->release();
    }, Qt::QueuedConnection);
    while (!done->tryAcquire(1, 20)) {
        if (QThread::currentThread()->isInterruptionRequested())
            return;
    }
}

} // namespace sim
