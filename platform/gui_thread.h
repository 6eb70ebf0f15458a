#pragma once
#include <functional>

class QObject;

namespace platform {

// Runs `job` on the GUI thread, in `context`'s event loop (the application's
// when null), and waits for it; directly when already there. Gives up when
// the calling thread is asked to stop: the window's teardown waits for that
// thread while the GUI thread can no longer run jobs.
void runOnGuiThreadAndWait(std::function<void()> job, QObject *context = nullptr);

} // namespace platform
