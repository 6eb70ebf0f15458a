#pragma once
#include <QByteArray>

namespace sim {

// The simulated camera's own firmware images: the magic "TARNFW1" with its
// NUL, the 43-byte version block the camera reports once it runs the image,
// then the payload. The tool copies images byte for byte and never looks
// inside; only the simulated camera does, when it flashes "fw.bin".
constexpr int FirmwareMagicSize = 8;
constexpr int FirmwareBlockSize = 43;

struct FirmwareVersion {
    int major = 0, minor = 0, patch = 0;
    int year = 0, month = 0, day = 0;
    int mcuMajor = 0, mcuMinor = 0, mcuPatch = 0;
};

// The version block as FicVersionGet answers it.
QByteArray versionBlock(const FirmwareVersion &version);
QByteArray firmwareImage(const FirmwareVersion &version, const QByteArray &payload);
// The version block the image carries; false for anything that is not an
// image (the camera then keeps the firmware it has).
bool parseFirmwareImage(const QByteArray &image, QByteArray *block);

} // namespace sim
