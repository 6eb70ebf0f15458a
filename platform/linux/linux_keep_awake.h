#pragma once
#include "platform/keep_awake.h"

#include <QString>

namespace platform {

// A logind "sleep" inhibitor lock in mode "block", taken over the system
// D-Bus. logind holds the lock for as long as the file descriptor it hands
// out stays open; release() closes it. Without a system bus or without
// logind, acquire() answers false.
class LinuxKeepAwake : public KeepAwake {
public:
    // `busAddress` replaces the system bus (a test's own bus); empty: the system bus.
    explicit LinuxKeepAwake(const QString &busAddress = QString());
    ~LinuxKeepAwake() override;
    LinuxKeepAwake(const LinuxKeepAwake &) = delete;
    LinuxKeepAwake &operator=(const LinuxKeepAwake &) = delete;

    bool acquire() override;
    void release() override;

private:
    QString m_busAddress;
    int m_lock = -1;
};

} // namespace platform
