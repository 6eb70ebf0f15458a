// A stand-in for the camera vendor's library: the three calls with the tool's
// signatures, noting each call and answering as the test chooses. Built without
// FicUpdateFwUms as well (STANDIN_LACKS_UPDATE), for a library that misses an export.
#include "vendor_standin.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

struct IBaseFilter;

namespace {
StandInState g_state;
char *tail() { return g_state.calls + std::strlen(g_state.calls); }
size_t room() { return sizeof(g_state.calls) - std::strlen(g_state.calls); }
unsigned long long id(IBaseFilter *filter) { return reinterpret_cast<std::uintptr_t>(filter); }
} // namespace

extern "C" {

__declspec(dllexport) StandInState *StandInRecorder() { return &g_state; }

__declspec(dllexport) long FicDeviceInit(IBaseFilter *filter, unsigned long *context)
{
    std::snprintf(tail(), room(), "init %llx; ", id(filter));
    *context = g_state.contextToGive;
    return 0;
}

__declspec(dllexport) long FicVersionGet(IBaseFilter *filter, unsigned long context,
                                         unsigned char *block, int *length)
{
    std::snprintf(tail(), room(), "version %llx %lx %d; ", id(filter), context, *length);
    // Version 2.3.4 of 2026-12-07, as a camera packs it.
    const unsigned char answer[7] = {2, 3, 4, 0x07, 0xEA, 12, 7};
    std::memset(block, 0, size_t(*length));
    std::memcpy(block, answer, sizeof(answer));
    return 0;
}

#ifndef STANDIN_LACKS_UPDATE
__declspec(dllexport) long FicUpdateFwUms(IBaseFilter *filter, unsigned long context)
{
    std::snprintf(tail(), room(), "update %llx %lx; ", id(filter), context);
    return g_state.updateFwUmsStatus;
}
#endif

} // extern "C"
