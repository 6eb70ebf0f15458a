/* A stand-in for the camera vendor's library that behaves like a camera
 * during an update, for the whole-update test. Its camera keeps its state in
 * the folder named by $FIC_CAMERA_DIR:
 *   FicVersionGet: version from the first three bytes of "flashed.bin" there
 *     (1.0.0 while there is none), built 2026-12-07;
 *   FicUpdateFwUms: the camera's drive appears: a tmpfs from "/dev/sdz1" is
 *     mounted on the new folder "drive" there, as an automounter would.
 * The test plays the rest of the camera: it flashes the drive's "fw.bin"
 * into "flashed.bin", unmounts the drive and brings the video node back. */
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>

extern "C" {

#define EXPORT __attribute__((visibility("default")))

static std::string cameraFile(const char *name)
{
    const char *dir = std::getenv("FIC_CAMERA_DIR");
    return std::string(dir ? dir : ".") + "/" + name;
}

EXPORT long FicDeviceInit(const char *device, unsigned long *context)
{
    if (!device || std::strncmp(device, "/dev/video", 10) != 0)
        return 30;
    *context = 7;
    return 0;
}

EXPORT long FicVersionGet(const char *, unsigned long context, unsigned char *block, int *length)
{
    if (context != 7 || *length != 43)
        return 32;
    std::memset(block, 0, 43);
    block[0] = 1;
    if (std::FILE *flashed = std::fopen(cameraFile("flashed.bin").c_str(), "rb")) {
        if (std::fread(block, 1, 3, flashed) != 3)
            block[0] = 1;
        std::fclose(flashed);
    }
    block[3] = 2026 >> 8; block[4] = 2026 & 0xff; block[5] = 12; block[6] = 7;
    *length = 43;
    return 0;
}

EXPORT long FicUpdateFwUms(const char *, unsigned long context)
{
    if (context != 7)
        return 32;
    const std::string drive = cameraFile("drive");
    if (::mkdir(drive.c_str(), 0755) != 0 && errno != EEXIST)
        return errno;
    return ::mount("/dev/sdz1", drive.c_str(), "tmpfs", 0, "size=4m") == 0 ? 0 : errno;
}

} // extern "C"
