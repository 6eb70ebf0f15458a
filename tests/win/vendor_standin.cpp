// A stand-in for the camera vendor's library: its three calls, noted (with the class of the filter got)
// and answered. Built without FicUpdateFwUms as well (STANDIN_LACKS_UPDATE): a library missing an export.
#include "vendor_standin.h"

#include <cstdio>
#include <cstring>
#include <dshow.h>

namespace {
StandInState g_state;
template <typename... Args> void note(const char *format, Args... args)
{
    const size_t used = std::strlen(g_state.calls);
    std::snprintf(g_state.calls + used, sizeof(g_state.calls) - used, format, args...);
}
} // namespace

extern "C" {
__declspec(dllexport) StandInState *StandInRecorder() { return &g_state; }

__declspec(dllexport) long FicDeviceInit(IBaseFilter *filter, unsigned long *context)
{
    note("init %zx; ", reinterpret_cast<size_t>(filter));
    *context = g_state.contextToGive;
    return 0;
}

__declspec(dllexport) long FicVersionGet(IBaseFilter *filter, unsigned long context, unsigned char *block, int *length)
{
    note("version %zx %lx %d; ", reinterpret_cast<size_t>(filter), context, *length);
    // A real capture source answers with its class: proof that it is alive.
    CLSID id;
    if (filter->GetClassID(&id) == S_OK)
        note("class %08lx..%02x; ", id.Data1, id.Data4[7]);
    // Version 2.3.4 of 2026-12-07, as a camera packs it.
    const unsigned char answer[7] = {2, 3, 4, 0x07, 0xEA, 12, 7};
    std::memset(block, 0, size_t(*length));
    std::memcpy(block, answer, sizeof(answer));
    return 0;
}

#ifndef STANDIN_LACKS_UPDATE
__declspec(dllexport) long FicUpdateFwUms(IBaseFilter *filter, unsigned long context)
{
    note("update %zx %lx; ", reinterpret_cast<size_t>(filter), context);
    return 0;
}
#endif
} // extern "C"
