#include "udev_testbed.h"

#include "app/tarnholm.h"
#include "linux_bus_fixture.h"
#include "storage/bus_check.h"
#include "support/box_text.h"

#include <QtTest>

using platform::LinuxVolumeBus;

class LinuxVolumeBusTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!UdevTestbed::active())
            QSKIP("needs umockdev-wrapper (run through ctest)");
    }

    // A directory stands for a mounted file system: its device number is
    // linked in the test bed's /sys/dev/block to the last device of a chain
    // of "subsystem name KEY=value..." entries, each the parent of the next.
    void busOfMountedDevice_data()
    {
        QTest::addColumn<QStringList>("chain");
        QTest::addColumn<int>("busType");
        QTest::newRow("USB stick partition") << QStringList{
            "usb 1-2", "scsi host6", "block sdb ID_BUS=usb", "block sdb1"} << 7;
        QTest::newRow("USB ancestor without ID_BUS") << QStringList{
            "usb 1-3", "scsi host7", "block sdc"} << 7;
        QTest::newRow("SATA disk") << QStringList{
            "pci 0000:00:17.0", "ata ata1", "block sda ID_BUS=ata", "block sda2"} << 11;
        QTest::newRow("NVMe partition") << QStringList{
            "pci 0000:01:00.0", "nvme nvme0", "block nvme0n1", "block nvme0n1p1"} << 17;
        QTest::newRow("SD card") << QStringList{"mmc mmc0:0001", "block mmcblk0"} << 12;
        QTest::newRow("loop device") << QStringList{"block loop3"} << 15;
        QTest::newRow("SCSI disk") << QStringList{"scsi 2:0:0:0", "block sdd ID_BUS=scsi"} << 1;
        QTest::newRow("no block device (tmpfs)") << QStringList() << 0;
    }
    void busOfMountedDevice()
    {
        QFETCH(QStringList, chain);
        QFETCH(int, busType);
        UdevTestbed bed;
        QTemporaryDir mountPoint;
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(mountPoint.path()).constData(), &st) == 0);
        QByteArray parent;
        for (const QString &entry : chain) {
            const QStringList f = entry.split(QLatin1Char(' '));
            QList<QByteArray> props;
            for (int i = 2; i < f.size(); ++i)
                props << f[i].section(QLatin1Char('='), 0, 0).toUtf8() << f[i].section(QLatin1Char('='), 1).toUtf8();
            parent = bed.add(f[0].toUtf8().constData(), f[1].toUtf8().constData(), parent, {}, props);
            QVERIFY2(!parent.isEmpty(), qPrintable(entry));
        }
        if (!chain.isEmpty())
            QVERIFY(bed.linkBlock(st.st_dev, parent));

        LinuxBusFixture fixture;
        quint32 error = 0;
        const platform::VolumeHandle handle = fixture.bus.open(mountPoint.path(), &error);
        QVERIFY(handle != platform::InvalidVolume);
        int seen = -1;
        QVERIFY(fixture.bus.queryBusType(handle, &seen, &error));
        fixture.bus.close(handle);
        QCOMPARE(seen, busType);

        // The window takes only the USB drive, and says nothing of the others.
        Tarnholm w;
        BoxCloser closer;
        QCOMPARE(IsUsbVolume(&w, mountPoint.path()), busType == 7);
        QCOMPARE(boxLines(closer.boxes), QString());
    }

    void missingMountPointShowsErrno()
    {
        UdevTestbed bed;
        LinuxBusFixture fixture;
        Tarnholm w;
        BoxCloser closer;
        const QString path = QDir::tempPath() + QStringLiteral("/tarnholm-never-mounted");
        QVERIFY(!IsUsbVolume(&w, path));
        QCOMPARE(fixture.sim.clock.sleeps().size(), 10);
        QCOMPARE(boxLines(closer.boxes),
                 QStringLiteral("Error: CreateFile error. Error code(2), Path[%1] [information, OK, on TarnholmClass]\n")
                     .arg(path));
    }
};

QTEST_MAIN(LinuxVolumeBusTest)
#include "tst_linux_volume_bus.moc"
