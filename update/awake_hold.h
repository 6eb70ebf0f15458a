#pragma once

// The window's hold on the system's keep-awake: taken once when the camera
// has been switched, given up once when the update ends, however it ends.
class AwakeHold {
public:
    AwakeHold() = default;
    AwakeHold(const AwakeHold &) = delete;
    AwakeHold &operator=(const AwakeHold &) = delete;
    ~AwakeHold() { release(); }

    // False when the system refused; the update goes on without the hold.
    bool take();
    // Does nothing when no hold is taken.
    void release();

private:
    bool m_held = false;
};
