#include "platform/win/device_change_decoder.h"

#include <QtEndian>

namespace platform {
namespace devicechange {

namespace {

quint32 readDword(const unsigned char *at) { return qFromLittleEndian<quint32>(at); }
quint16 readWord(const unsigned char *at) { return qFromLittleEndian<quint16>(at); }

} // namespace

QString interfaceName(const unsigned char *record, quint32 recordSize)
{
    if (recordSize <= quint32(InterfaceNameOffset))
        return QString();
    const quint32 units = (recordSize - InterfaceNameOffset) / 2;
    QString name;
    name.reserve(int(qMin<quint32>(units, 260)));
    for (quint32 i = 0; i < units; ++i) {
        const quint16 unit = readWord(record + InterfaceNameOffset + 2 * i);
        if (unit == 0)
            break;
        name.append(QChar(unit));
    }
    return name;
}

bool decode(quint32 message, quintptr wParam, const void *record, DeviceEvent *event)
{
    if (message != WmDeviceChange)
        return false;
    if (wParam != DbtDeviceArrival && wParam != DbtDeviceRemoveComplete)
        return false;
    if (!record)
        return false;
    const auto *bytes = static_cast<const unsigned char *>(record);
    const quint32 size = readDword(bytes + HeaderSizeOffset);
    if (size < quint32(HeaderSize))
        return false;

    DeviceEvent out;
    out.type = wParam == DbtDeviceArrival ? DeviceEvent::Arrival : DeviceEvent::RemoveComplete;
    // A volume record cut short before its flags cannot be judged plain.
    if (readDword(bytes + HeaderDeviceTypeOffset) == DbtDevtypVolume
        && size >= quint32(VolumeFlagsOffset + 2)) {
        out.volume = true;
        out.unitMask = readDword(bytes + VolumeUnitMaskOffset);
        out.volumeFlags = readWord(bytes + VolumeFlagsOffset);
    }
    out.interfaceName = interfaceName(bytes, size);
    *event = out;
    return true;
}

} // namespace devicechange
} // namespace platform
