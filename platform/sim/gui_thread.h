#pragma once
#include <functional>

namespace sim {

// Runs `job` on the GUI thread and waits for it (directly when already
// there). Gives up when the calling thread is asked to stop: the window's
// teardown waits for that thread while the GUI thread can no longer run jobs.
void runOnGuiThreadAndWait(std::function<void()> job);

} // namespace sim
