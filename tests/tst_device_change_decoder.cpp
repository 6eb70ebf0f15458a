#include "platform/win/device_change_decoder.h"

#include <QtEndian>
#include <QtTest>
using namespace platform::devicechange;

// Records laid out by hand as Windows sends them: little-endian DWORDs, header first.
static QByteArray dwords(std::initializer_list<quint32> values)
{
    QByteArray out(int(4 * values.size()), '\0');
    qToLittleEndian<quint32>(values.begin(), values.size(), out.data());
    return out;
}
// An interface record: class GUID, then all of `name`; `units` of it lie inside dbch_size.
static QByteArray iface(int units, const QString &name)
{
    return dwords({quint32(28 + 2 * units), DbtDevtypDeviceInterface, 0, 1, 2, 3, 4})
        + QByteArray(reinterpret_cast<const char *>(name.utf16()), 2 * name.size());
}
// WM_DEVICECHANGE with `wParam` and `record` (none if null) as "event plain? unit mask [name]".
static QString decoded(quintptr wParam, const QByteArray &record)
{
    platform::DeviceEvent e;
    if (!decode(WmDeviceChange, wParam, record.isNull() ? nullptr : record.constData(), &e))
        return "ignored";
    return QString("%1 %2 %3 [%4]").arg(e.type == e.Arrival ? "in" : "out")
        .arg(e.plainVolume() ? "plain" : "-").arg(e.unitMask, 0, 16).arg(e.interfaceName);
}

class DeviceChangeDecoder : public QObject {
    Q_OBJECT
private slots:
    void decode()
    {
        const quintptr in = DbtDeviceArrival, out = DbtDeviceRemoveComplete;
        const QByteArray ef = dwords({20, DbtDevtypVolume, 0, 0x30, 0}); // unit mask, flags + pad
        const QByteArray disc = dwords({20, DbtDevtypVolume, 0, 0x10, DbtfMedia});
        QCOMPARE(QStringList({decoded(DbtDevnodesChanged, ef), decoded(DbtDeviceQueryRemove, ef),
                              decoded(in, {}), decoded(in, dwords({8, DbtDevtypVolume}))}),
                 QStringList({"ignored", "ignored", "ignored", "ignored"}));
        QCOMPARE(QStringList({decoded(in, ef), decoded(out, disc),
                              decoded(in, iface(7, QString("USB#a") + QChar(0) + "z")),
                              decoded(in, iface(5, "ABCDEFGH")), decoded(out, iface(0, "XY")),
                              // one byte short of its flags: no volume at all
                              decoded(in, dwords({17, DbtDevtypVolume, 0, 0x10, 0}))}),
                 QStringList({"in plain 30 []", "out - 10 []", "in - 0 [USB#a]",
                              "in - 0 [ABCDE]", "out - 0 []", "in - 0 []"}));
    }
};

QTEST_APPLESS_MAIN(DeviceChangeDecoder)
#include "tst_device_change_decoder.moc"
