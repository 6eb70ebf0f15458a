#include "platform/win/usb_location.h"

#include <QRegularExpression>

namespace platform {
namespace usblocation {

QString portFromLocationPaths(const QStringList &paths)
{
    // From the root hub on, one "#USB(n)" per hub port down to the device.
    static const QRegularExpression port(QStringLiteral("^(.*#USBROOT\\(\\d+\\)(?:#USB\\(\\d+\\))+)(?:#.*)?$"));
    for (const QString &path : paths) {
        const QRegularExpressionMatch match = port.match(path);
        if (match.hasMatch())
            return match.captured(1);
    }
    return QString();
}

QStringList splitStringList(const ushort *data, int units)
{
    QStringList strings;
    int start = 0;
    for (int i = 0; data && i < units; ++i) {
        if (data[i] != 0)
            continue;
        if (i == start)
            break;   // the empty string that ends the list
        strings << QString::fromUtf16(data + start, i - start);
        start = i + 1;
    }
    return strings;
}

bool isUsbDevice(const QString &instanceId)
{
    return instanceId.startsWith(QStringLiteral("USB\\"), Qt::CaseInsensitive)
        && !instanceId.contains(QStringLiteral("&MI_"), Qt::CaseInsensitive);
}

} // namespace usblocation
} // namespace platform
