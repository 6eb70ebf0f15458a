#include "udev_testbed.h"

#include "app/tarnholm.h"
#include "platform/linux/linux_volume_bus.h"
#include "platform/platform.h"
#include "storage/bus_check.h"
#include "support/box_text.h"

#include <QProcess>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// The bus type of a mounted directory, and whether the window takes it (it
// must say nothing either way).
void checkBus(const QString &mountPoint, int busType)
{
    SimFixture sim;
    platform::LinuxVolumeBus bus;
    platform::Platform p = platform::current();
    p.volumes = &bus;
    platform::install(p);
    quint32 error = 0;
    const platform::VolumeHandle handle = bus.open(mountPoint, &error);
    QVERIFY(handle != platform::InvalidVolume);
    int seen = -1;
    QVERIFY(bus.queryBusType(handle, &seen, &error));
    bus.close(handle);
    QCOMPARE(seen, busType);

    Tarnholm w;
    BoxCloser closer;
    QCOMPARE(IsUsbVolume(&w, mountPoint), busType == 7);
    QCOMPARE(boxLines(closer.boxes), QString());
}

// Empty when the program succeeded, else why not.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return program + QStringLiteral(" did not run: ") + process.errorString();
    return process.exitCode() == 0 ? QString() : program + QStringLiteral(": ") + process.readAllStandardError();
}

int g_namespaceError = 0;   // why this process has no mount namespace of its own

} // namespace

class LinuxVolumeBusTest : public QObject {
    Q_OBJECT
private slots:
    // A directory stands for a mounted file system: its device number is
    // linked in the test bed's /sys/dev/block to the last of a chain of
    // "subsystem name [ID_BUS=x]" devices, each the parent of the next.
    void udevChain_data()
    {
        QTest::addColumn<QStringList>("chain");
        QTest::addColumn<int>("busType");
        QTest::newRow("USB stick partition") << QStringList{"usb 1-2", "scsi host6", "block sdb ID_BUS=usb", "block sdb1"} << 7;
        QTest::newRow("USB ancestor without ID_BUS") << QStringList{"usb 1-3", "scsi host7", "block sdc"} << 7;
        QTest::newRow("SATA disk") << QStringList{"ata ata1", "block sda ID_BUS=ata", "block sda2"} << 11;
        QTest::newRow("NVMe partition") << QStringList{"nvme nvme0", "block nvme0n1", "block nvme0n1p1"} << 17;
        QTest::newRow("SD card") << QStringList{"mmc mmc0:0001", "block mmcblk0"} << 12;
        QTest::newRow("SCSI disk") << QStringList{"scsi 2:0:0:0", "block sdd ID_BUS=scsi"} << 1;
        QTest::newRow("loop device") << QStringList{"block loop3"} << 15;
        QTest::newRow("no block device") << QStringList() << 0;
    }
    void udevChain()
    {
        if (!UdevTestbed::active())
            QSKIP("needs umockdev-wrapper (run through ctest)");
        QFETCH(QStringList, chain);
        UdevTestbed bed;
        QTemporaryDir mountPoint;
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(mountPoint.path()).constData(), &st) == 0);
        QByteArray parent;
        for (const QString &entry : chain) {
            const QStringList f = entry.split(QLatin1Char(' '));
            QList<QByteArray> props;
            if (f.size() > 2)
                props << "ID_BUS" << f[2].section(QLatin1Char('='), 1).toUtf8();
            parent = bed.add(f[0].toUtf8().constData(), f[1].toUtf8().constData(), parent, {}, props);
            QVERIFY2(!parent.isEmpty(), qPrintable(entry));
        }
        if (!chain.isEmpty())
            QVERIFY(bed.linkBlock(st.st_dev, parent));
        QFETCH(int, busType);
        checkBus(mountPoint.path(), busType);
    }

    // Real file systems, mounted in this process's own mount namespace.
    void realMount_data()
    {
        QTest::addColumn<bool>("loop");
        QTest::addColumn<int>("busType");
        QTest::newRow("tmpfs") << false << 0;
        QTest::newRow("ext4 on a loop device") << true << 15;
    }
    void realMount()
    {
        if (::geteuid() != 0)
            QSKIP("mounting needs root");
        if (g_namespaceError)
            QSKIP(qPrintable(QStringLiteral("no private mount namespace: ") + std::strerror(g_namespaceError)));
        QFETCH(bool, loop);
        QTemporaryDir work;
        const QString mountPoint = work.filePath(QStringLiteral("mnt"));
        QVERIFY(QDir().mkpath(mountPoint));
        const QByteArray target = QFile::encodeName(mountPoint);
        if (!loop) {
            QVERIFY2(::mount("tarnholm", target.constData(), "tmpfs", 0, "size=1m") == 0, std::strerror(errno));
        } else {
            const QString image = work.filePath(QStringLiteral("disk.img"));
            QFile file(image);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(8 << 20));
            file.close();
            QString why = run("mkfs.ext4", {"-q", "-F", image});
            if (why.isEmpty())
                why = run("mount", {"-o", "loop", image, mountPoint});
            if (!why.isEmpty())
                QSKIP(qPrintable(why));
        }
        auto unmount = qScopeGuard([&] { ::umount2(target.constData(), MNT_DETACH); });
        QFETCH(int, busType);
        checkBus(mountPoint, busType);
    }

    void missingMountPointShowsErrno()
    {
        SimFixture sim;
        platform::LinuxVolumeBus bus;
        platform::Platform p = platform::current();
        p.volumes = &bus;
        platform::install(p);
        Tarnholm w;
        BoxCloser closer;
        const QString path = QDir::tempPath() + QStringLiteral("/tarnholm-never-mounted");
        QVERIFY(!IsUsbVolume(&w, path));
        QCOMPARE(sim.clock.sleeps().size(), 10);
        QCOMPARE(boxLines(closer.boxes),
                 QStringLiteral("Error: CreateFile error. Error code(2), Path[%1] [information, OK, on TarnholmClass]\n").arg(path));
    }
};

int main(int argc, char **argv)
{
    // Before any thread starts; mounts made later stay inside this process.
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        g_namespaceError = errno;
    QApplication app(argc, argv);
    LinuxVolumeBusTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_linux_volume_bus.moc"
