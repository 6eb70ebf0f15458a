#pragma once
#include <QtGlobal>

namespace platform {

// Every sleep and every elapsed-time reading of the tool goes through here,
// so the simulated world can run minutes of waiting in milliseconds.
class Clock {
public:
    virtual ~Clock() = default;
    // Blocks the calling thread for about ms milliseconds.
    virtual void sleepMs(int ms) = 0;
    // Milliseconds on a monotonic clock; unaffected by changes of the time of day.
    virtual qint64 monotonicMs() = 0;
};

} // namespace platform
