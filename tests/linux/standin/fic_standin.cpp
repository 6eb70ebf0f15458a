/* A stand-in for the camera vendor's library that answers from its arguments, so a test sees what reached it.
 * FicDeviceInit: context 0x5000 + length of the device node's name. FicVersionGet: 32 for another context, 33 for a
 * length other than 43, else version 4.5.6 of 2026-12-07, the node's name from byte 7 (at most 32 bytes), MCU -1.2.3.
 * FicUpdateFwUms (built with FIC_UPDATE): 32 for another context. With $FIC_CAMERA_DIR set it plays a camera being
 * updated: its version is the first three bytes of "flashed.bin" there once that exists; FicUpdateFwUms mounts a
 * tmpfs from "/dev/sdz1", its drive, on "drive" there. */
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>

#define EXPORT extern "C" __attribute__((visibility("default")))

static unsigned long expected(const char *device) { return 0x5000ul + (device ? std::strlen(device) : 0); }

EXPORT long FicDeviceInit(const char *device, unsigned long *context)
{
    *context = expected(device);
    return device ? 0 : 30;
}

EXPORT long FicVersionGet(const char *device, unsigned long context, unsigned char *block, int *length)
{
    if (!device || context != expected(device))
        return 32;
    if (*length != 43)
        return 33;
    const unsigned char fixed[] = {4, 5, 6, 2026 >> 8, 2026 & 0xff, 12, 7};
    std::memset(block, 0, 43);
    std::memcpy(block, fixed, sizeof fixed);
    block[40] = 0xff;
    block[41] = 2;
    block[42] = 3;
    std::strncpy(reinterpret_cast<char *>(block) + 7, device, 32);
    const char *camera = std::getenv("FIC_CAMERA_DIR");
    if (std::FILE *flashed = camera ? std::fopen((std::string(camera) + "/flashed.bin").c_str(), "rb") : nullptr) {
        block[0] = std::fread(block, 1, 3, flashed) == 3 ? block[0] : 0;
        std::fclose(flashed);
    }
    return 0;
}

#ifdef FIC_UPDATE
EXPORT long FicUpdateFwUms(const char *device, unsigned long context)
{
    if (context != expected(device))
        return 32;
    const char *camera = std::getenv("FIC_CAMERA_DIR");
    if (!camera)
        return 0;
    const std::string drive = std::string(camera) + "/drive";
    if (::mkdir(drive.c_str(), 0755) != 0 && errno != EEXIST)
        return errno;
    return ::mount("/dev/sdz1", drive.c_str(), "tmpfs", 0, "size=4m") == 0 ? 0 : errno;
}
#endif
