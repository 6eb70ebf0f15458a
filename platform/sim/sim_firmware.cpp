#include "platform/sim/sim_firmware.h"

namespace sim {

namespace {
const char Magic[FirmwareMagicSize] = {'T', 'A', 'R', 'N', 'F', 'W', '1', '\0'};
}

QByteArray versionBlock(const FirmwareVersion &v)
{
    QByteArray block(FirmwareBlockSize, '\0');
    block[0] = char(v.major);
    block[1] = char(v.minor);
    block[2] = char(v.patch);
    block[3] = char((v.year >> 8) & 0xFF);
    block[4] = char(v.year & 0xFF);
    block[5] = char(v.month);
    block[6] = char(v.day);
    block[40] = char(v.mcuMajor);
    block[41] = char(v.mcuMinor);
    block[42] = char(v.mcuPatch);
    return block;
}

QByteArray firmwareImage(const FirmwareVersion &version, const QByteArray &payload)
{
    return QByteArray(Magic, FirmwareMagicSize) + versionBlock(version) + payload;
}

bool parseFirmwareImage(const QByteArray &image, QByteArray *block)
{
    if (image.size() < FirmwareMagicSize + FirmwareBlockSize
        || !image.startsWith(QByteArray(Magic, FirmwareMagicSize)))
        return false;
    *block = image.mid(FirmwareMagicSize, FirmwareBlockSize);
    return true;
}

} // namespace sim
