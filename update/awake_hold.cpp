#include "update/awake_hold.h"
#include "platform/platform.h"

bool AwakeHold::take()
{
    platform::KeepAwake *awake = platform::current().awake;
    if (!m_held && awake)
        m_held = awake->acquire();
    return m_held;
}

void AwakeHold::release()
{
    if (!m_held)
        return;
    m_held = false;
    platform::current().awake->release();
}
