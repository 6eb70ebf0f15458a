#include "platform/win/win_keep_awake.h"

#include <windows.h>

namespace platform {

bool WinKeepAwake::acquire()
{
    // No display requirement: the screen may dim, the system must not sleep.
    return ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0;
}

void WinKeepAwake::release()
{
    ::SetThreadExecutionState(ES_CONTINUOUS);
}

} // namespace platform
