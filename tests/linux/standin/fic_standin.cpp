/* A stand-in for the camera vendor's library, built by the tests. It answers
 * from its arguments alone, so a test sees what reached it:
 *   FicDeviceInit: context = 0x5000 + length of the device node's name;
 *     a node whose name contains "broken" fails with 31.
 *   FicVersionGet: 32 for a context FicDeviceInit would not give, 33 for a
 *     length other than 43; otherwise version 4.5.6 of 2026-12-07, the
 *     device node's name from byte 7 (at most 32 bytes), MCU -1.2.3.
 *   FicUpdateFwUms: 32 for a wrong context, else 0.
 * Built without FIC_UPDATE it lacks FicUpdateFwUms. */
#include <cstring>

using std::memcpy;
using std::memset;
using std::strlen;
using std::strstr;

extern "C" {

#define EXPORT __attribute__((visibility("default")))

static unsigned long expected(const char *device)
{
    return 0x5000ul + (device ? strlen(device) : 0);
}

EXPORT long FicDeviceInit(const char *device, unsigned long *context)
{
    if (!device || !context)
        return 30;
    if (strstr(device, "broken"))
        return 31;
    *context = expected(device);
    return 0;
}

EXPORT long FicVersionGet(const char *device, unsigned long context, unsigned char *block, int *length)
{
    if (!device || context != expected(device))
        return 32;
    if (*length != 43)
        return 33;
    memset(block, 0, 43);
    block[0] = 4; block[1] = 5; block[2] = 6;
    block[3] = 2026 >> 8; block[4] = 2026 & 0xff; block[5] = 12; block[6] = 7;
    size_t n = strlen(device);
    memcpy(block + 7, device, n > 32 ? 32 : n);
    block[40] = 0xff; block[41] = 2; block[42] = 3;
    *length = 43;
    return 0;
}

#ifdef FIC_UPDATE
EXPORT long FicUpdateFwUms(const char *device, unsigned long context)
{
    return context == expected(device) ? 0 : 32;
}
#endif

} // extern "C"
