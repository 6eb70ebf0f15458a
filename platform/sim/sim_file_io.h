#pragma once
#include "platform/host_file_io.h"

#include <atomic>
#include <functional>

namespace sim {

// The host's file operations, with the faults a test needs to provoke.
// Set the fields before the copy starts; the worker thread reads them.
class SimFileIo : public platform::HostFileIo {
public:
    bool flushToDevice(QFile &file) override;
    bool matchesOnDevice(const QString &path, QFile &reference, qint64 bufferBytes) override;

    // Makes every flush report failure (after the hook has run).
    std::atomic<bool> failFlush{false};
    // Makes only the next flush fail: a drive pulled while its file is
    // being committed (set from within onFlush).
    std::atomic<bool> failNextFlush{false};
    // Runs at the start of every flush, on the calling thread: the moment the
    // whole file has been written but not yet committed to the device.
    std::function<void()> onFlush;
    // The device returns other bytes than it was given (worn cells), or
    // cannot be read at all.
    std::atomic<bool> corruptReadBack{false};
    std::atomic<bool> failReadBack{false};
    // Runs after every read-back, on the calling thread: the moment the file
    // has been checked but "update" not yet created.
    std::function<void()> afterReadBack;
};

} // namespace sim
