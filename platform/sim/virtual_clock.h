#pragma once
#include "platform/sim/sim_clock.h"

#include <QMutex>
#include <QThread>
#include <QVector>
#include <map>

namespace sim {

// Virtual time for tests: nothing ever really waits.
//
// A sleep moves time forward by its length and runs the world's actions that
// fell due. On the GUI thread they run inside the sleep (the world changes
// while the tool is blocked; the notifications it posts arrive afterwards).
// On any other thread the sleep hands them to the GUI thread and returns only
// once the GUI thread has run them and everything queued before and by them,
// so a worker polling the world sees what the window made of it.
class VirtualClock : public SimClock {
public:
    struct Sleep {
        qint64 startedAt;   // virtual time when the sleep began
        int ms;
        bool guiThread;     // slept on the GUI thread
    };

    void sleepMs(int ms) override;
    qint64 monotonicMs() override;
    void schedule(int delayMs, std::function<void()> action) override;

    // Test-driven passage of time; call on the GUI thread.
    void advance(qint64 ms);
    // Moves time to the next scheduled action and runs it; false when none.
    bool runNext();
    int pendingActions() const;

    QVector<Sleep> sleeps() const;
    void clearSleeps();

private:
    void runDue();
    bool onGuiThread() const;

    mutable QMutex m_mutex;
    qint64 m_now = 0;
    std::multimap<qint64, std::function<void()>> m_actions;
    QVector<Sleep> m_sleeps;
};

} // namespace sim
