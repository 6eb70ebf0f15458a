// A stand-in for the camera vendor's library: the three calls with the tool's
// signatures, recording their arguments and answering as the test chooses.
// Built without FicUpdateFwUms as well (STANDIN_LACKS_UPDATE), for a library
// that misses an export.
#include "vendor_standin.h"

#include <cstring>

namespace {
StandInState g_state;
}

extern "C" {

__declspec(dllexport) StandInState *StandInRecorder() { return &g_state; }

__declspec(dllexport) long FicDeviceInit(IBaseFilter *filter, unsigned long *context)
{
    ++g_state.deviceInitCalls;
    g_state.deviceInitFilter = filter;
    if (g_state.deviceInitStatus == 0)
        *context = g_state.contextToGive;
    return g_state.deviceInitStatus;
}

__declspec(dllexport) long FicVersionGet(IBaseFilter *filter, unsigned long context,
                                         unsigned char *block, int *length)
{
    ++g_state.versionGetCalls;
    g_state.versionGetFilter = filter;
    g_state.versionGetContext = context;
    g_state.versionGetLengthIn = *length;
    if (g_state.versionGetStatus != 0)
        return g_state.versionGetStatus;
    // Version 2.3.4 of 2026-12-07, as a camera packs it.
    const unsigned char answer[7] = {2, 3, 4, 0x07, 0xEA, 12, 7};
    std::memset(block, 0, size_t(*length));
    std::memcpy(block, answer, sizeof(answer));
    return 0;
}

#ifndef STANDIN_LACKS_UPDATE
__declspec(dllexport) long FicUpdateFwUms(IBaseFilter *filter, unsigned long context)
{
    ++g_state.updateFwUmsCalls;
    g_state.updateFwUmsFilter = filter;
    g_state.updateFwUmsContext = context;
    return g_state.updateFwUmsStatus;
}
#endif

} // extern "C"
