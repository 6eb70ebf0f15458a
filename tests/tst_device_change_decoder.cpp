#include "platform/win/device_change_decoder.h"

#include <QtEndian>
#include <QtTest>

using namespace platform::devicechange;
using platform::DeviceEvent;

Q_DECLARE_METATYPE(DeviceEvent::Type)

namespace {

// A record as Windows lays it out; `size` goes into dbch_size.
QByteArray header(quint32 size, quint32 type)
{
    QByteArray r(HeaderSize, '\0');
    qToLittleEndian<quint32>(size, r.data());
    qToLittleEndian<quint32>(type, r.data() + HeaderDeviceTypeOffset);
    return r;
}

QByteArray volumeRecord(quint32 mask, quint16 flags)
{
    QByteArray r = header(VolumeRecordSize, DbtDevtypVolume) + QByteArray(8, '\0');
    qToLittleEndian<quint32>(mask, r.data() + VolumeUnitMaskOffset);
    qToLittleEndian<quint16>(flags, r.data() + VolumeFlagsOffset);
    return r;
}

// `units` UTF-16 units of name data, of which `sizeUnits` lie inside dbch_size.
QByteArray interfaceRecord(const QString &units, int sizeUnits)
{
    QByteArray r = header(quint32(InterfaceNameOffset + 2 * sizeUnits), DbtDevtypDeviceInterface)
                   + QByteArray(16, '\x55');
    for (QChar c : units) {
        r.append(char(c.unicode() & 0xff));
        r.append(char(c.unicode() >> 8));
    }
    return r;
}

} // namespace

class DeviceChangeDecoder : public QObject {
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<quint32>("message");
        QTest::addColumn<quint64>("wParam");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<bool>("decoded");
        QTest::addColumn<DeviceEvent::Type>("type");
        QTest::addColumn<bool>("plainVolume");
        QTest::addColumn<int>("flags");
        QTest::addColumn<quint32>("mask");
        QTest::addColumn<QString>("name");

        const QByteArray plainEF = volumeRecord(0x30, 0);
        const auto arrival = quint64(DbtDeviceArrival);
        const auto removal = quint64(DbtDeviceRemoveComplete);
        QTest::newRow("devnodes changed") << WmDeviceChange << quint64(DbtDevnodesChanged) << plainEF
                                          << false << DeviceEvent::Arrival << false << 0 << 0u << "";
        QTest::newRow("query remove") << WmDeviceChange << quint64(DbtDeviceQueryRemove) << plainEF
                                      << false << DeviceEvent::Arrival << false << 0 << 0u << "";
        QTest::newRow("other message") << 0x000Fu << arrival << plainEF
                                       << false << DeviceEvent::Arrival << false << 0 << 0u << "";
        QTest::newRow("header cut short") << WmDeviceChange << arrival << header(8, DbtDevtypVolume)
                                          << false << DeviceEvent::Arrival << false << 0 << 0u << "";
        QTest::newRow("plain volume E F") << WmDeviceChange << arrival << plainEF
                                          << true << DeviceEvent::Arrival << true << 0 << 0x30u << "";
        QTest::newRow("disc inserted") << WmDeviceChange << arrival << volumeRecord(0x10, DbtfMedia)
                                       << true << DeviceEvent::Arrival << false << 1 << 0x10u << "";
        QTest::newRow("network drive gone") << WmDeviceChange << removal << volumeRecord(0x8, DbtfNet)
                                            << true << DeviceEvent::RemoveComplete << false << 2 << 0x8u << "";
        QTest::newRow("name ends at NUL")
            << WmDeviceChange << arrival << interfaceRecord(QStringLiteral("\\\\?\\USB#{ab}") + QChar(0) + "xyz", 16)
            << true << DeviceEvent::Arrival << false << 0 << 0u << "\\\\?\\USB#{ab}";
        QTest::newRow("name bounded by size")
            << WmDeviceChange << removal << interfaceRecord(QStringLiteral("ABCDEFGH"), 5)
            << true << DeviceEvent::RemoveComplete << false << 0 << 0u << "ABCDE";
        QTest::newRow("record ends at name") << WmDeviceChange << arrival << interfaceRecord("XY", 0)
                                             << true << DeviceEvent::Arrival << false << 0 << 0u << "";
    }

    void decode()
    {
        QFETCH(quint32, message);
        QFETCH(quint64, wParam);
        QFETCH(QByteArray, record);
        QFETCH(bool, decoded);
        DeviceEvent event;
        event.interfaceName = QStringLiteral("untouched");
        QCOMPARE(platform::devicechange::decode(message, quintptr(wParam), record.constData(), &event),
                 decoded);
        if (!decoded) {
            QCOMPARE(event.interfaceName, QStringLiteral("untouched"));
            return;
        }
        QTEST(event.type, "type");
        QTEST(event.plainVolume(), "plainVolume");
        QTEST(int(event.volumeFlags), "flags");
        QTEST(event.unitMask, "mask");
        QTEST(event.interfaceName, "name");
        QVERIFY(event.mountPoint.isEmpty());
    }

    void nullRecordIsNotDecoded()
    {
        DeviceEvent event;
        QVERIFY(!platform::devicechange::decode(WmDeviceChange, DbtDeviceArrival, nullptr, &event));
    }
};

QTEST_APPLESS_MAIN(DeviceChangeDecoder)
#include "tst_device_change_decoder.moc"
