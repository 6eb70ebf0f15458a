#include "platform/gui_thread.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QSharedPointer>
#include <QThread>

namespace platform {

void runOnGuiThreadAndWait(std::function<void()> job, QObject *context)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        job();
        return;
    }
    QSharedPointer<QSemaphore> done(new QSemaphore);
    QMetaObject::invokeMethod(context ? context : app, [job, done]() {
        job();
        done->release();
    }, Qt::QueuedConnection);
    while (!done->tryAcquire(1, 20)) {
        if (QThread::currentThread()->isInterruptionRequested())
            return;
    }
}

} // namespace platform
