#pragma once

namespace platform {

// Keeps the computer from going to sleep on its own while an update runs:
// sleep cuts the camera's USB power, mid-copy or mid-flash.
class KeepAwake {
public:
    virtual ~KeepAwake() = default;
    // Takes the hold. False when the system refused it; the update goes on.
    virtual bool acquire() = 0;
    // Gives up the hold taken by acquire().
    virtual void release() = 0;
};

} // namespace platform
