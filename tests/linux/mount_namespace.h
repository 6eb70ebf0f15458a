#pragma once
#include <QString>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>

// Moves this process into a mount namespace of its own, whose mounts neither
// leak out nor see the host's. Call it before any thread exists: a process
// with threads cannot leave its namespace. Empty on success, else why the
// tests that mount cannot run.
inline QString isolateMounts()
{
    if (::unshare(CLONE_NEWNS) != 0)
        return QStringLiteral("no private mount namespace (needs root): %1").arg(std::strerror(errno));
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return QStringLiteral("mounts cannot be made private: %1").arg(std::strerror(errno));
    return QString();
}
