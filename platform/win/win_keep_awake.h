#pragma once
#include "platform/keep_awake.h"

namespace platform {

// SetThreadExecutionState: the state belongs to the calling thread, so both
// calls are made on the GUI thread.
class WinKeepAwake : public KeepAwake {
public:
    bool acquire() override;
    void release() override;
};

} // namespace platform
