#include "platform/win/device_change_decoder.h"

#include <QtEndian>
#include <QtTest>

using namespace platform::devicechange;

namespace {

// Records laid out as Windows sends them; `size` goes into dbch_size.
QByteArray record(quint32 size, quint32 type, const QByteArray &rest)
{
    QByteArray r(HeaderSize, '\0');
    qToLittleEndian<quint32>(size, r.data());
    qToLittleEndian<quint32>(type, r.data() + HeaderDeviceTypeOffset);
    return r + rest;
}

QByteArray volume(quint32 mask, quint16 flags)
{
    QByteArray rest(8, '\0');
    qToLittleEndian<quint32>(mask, rest.data());
    qToLittleEndian<quint16>(flags, rest.data() + VolumeFlagsOffset - VolumeUnitMaskOffset);
    return record(VolumeRecordSize, DbtDevtypVolume, rest);
}

// The whole of `name` is stored, but only `sizeUnits` UTF-16 units lie inside dbch_size.
QByteArray deviceInterface(const QString &name, int sizeUnits)
{
    const QByteArray utf16(reinterpret_cast<const char *>(name.utf16()), 2 * name.size());
    return record(quint32(InterfaceNameOffset + 2 * sizeUnits), DbtDevtypDeviceInterface,
                  QByteArray(16, '\x55') + utf16);
}

} // namespace

class DeviceChangeDecoder : public QObject {
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<quint32>("message");
        QTest::addColumn<quint64>("wParam");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");   // empty: not decoded
        const QByteArray plainEF = volume(0x30, 0);
        const quint64 arrival = DbtDeviceArrival, removal = DbtDeviceRemoveComplete;
        QTest::newRow("devnodes changed") << WmDeviceChange << quint64(DbtDevnodesChanged) << plainEF << "";
        QTest::newRow("query remove") << WmDeviceChange << quint64(DbtDeviceQueryRemove) << plainEF << "";
        QTest::newRow("other message") << 0x000Fu << arrival << plainEF << "";
        QTest::newRow("no record") << WmDeviceChange << arrival << QByteArray() << "";
        QTest::newRow("header cut short") << WmDeviceChange << arrival << record(8, DbtDevtypVolume, {}) << "";
        QTest::newRow("plain volume E F") << WmDeviceChange << arrival << plainEF << "arrival plain 0 30 []";
        QTest::newRow("disc inserted") << WmDeviceChange << arrival << volume(0x10, DbtfMedia) << "arrival - 1 10 []";
        QTest::newRow("network drive gone") << WmDeviceChange << removal << volume(0x8, DbtfNet) << "removal - 2 8 []";
        QTest::newRow("name ends at NUL") << WmDeviceChange << arrival
            << deviceInterface(QStringLiteral("\\\\?\\USB#{ab}") + QChar(0) + "xyz", 16) << "arrival - 0 0 [\\\\?\\USB#{ab}]";
        QTest::newRow("name bounded by size") << WmDeviceChange << removal << deviceInterface("ABCDEFGH", 5)
                                              << "removal - 0 0 [ABCDE]";
        QTest::newRow("record ends at name") << WmDeviceChange << arrival << deviceInterface("XY", 0)
                                             << "arrival - 0 0 []";
    }
    void decode()
    {
        QFETCH(quint32, message);
        QFETCH(quint64, wParam);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        platform::DeviceEvent e;
        const bool decoded = platform::devicechange::decode(message, quintptr(wParam), bytes.isNull() ? nullptr : bytes.constData(), &e);
        QCOMPARE(decoded ? QString("%1 %2 %3 %4 [%5]")
                               .arg(e.type == platform::DeviceEvent::Arrival ? "arrival" : "removal",
                                    e.plainVolume() ? "plain" : "-", QString::number(e.volumeFlags),
                                    QString::number(e.unitMask, 16), e.interfaceName)
                         : QString(), expected);
    }
};

QTEST_APPLESS_MAIN(DeviceChangeDecoder)
#include "tst_device_change_decoder.moc"
