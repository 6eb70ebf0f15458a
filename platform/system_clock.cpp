#include "platform/system_clock.h"
#include <QThread>

namespace platform {

SystemClock::SystemClock() { m_started.start(); }

void SystemClock::sleepMs(int ms) { QThread::msleep(static_cast<unsigned long>(ms)); }

qint64 SystemClock::monotonicMs() { return m_started.elapsed(); }

} // namespace platform
