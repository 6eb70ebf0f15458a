#include "platform/platform.h"

namespace platform {

namespace {
Platform g_platform;
}

const Platform &current() { return g_platform; }

void install(const Platform &platform) { g_platform = platform; }

} // namespace platform
