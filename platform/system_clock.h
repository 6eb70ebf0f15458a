#pragma once
#include "platform/clock.h"
#include <QElapsedTimer>

namespace platform {

// Real time: QThread sleeps and Qt's monotonic elapsed timer.
class SystemClock : public Clock {
public:
    SystemClock();
    void sleepMs(int ms) override;
    qint64 monotonicMs() override;

private:
    QElapsedTimer m_started;
};

} // namespace platform
