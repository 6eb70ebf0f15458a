// The Linux backend on real calls: udev over umockdev test beds (run under umockdev-wrapper), mounts in a private
// mount namespace, a stand-in library.
#include <umockdev.h>   // before any Qt header: GIO names a struct member "signals"

#include "app/tarnholm.h"
#include "platform/host_file_io.h"
#include "platform/linux/linux_camera_library.h"
#include "platform/linux/linux_capture.h"
#include "platform/linux/linux_keep_awake.h"
#include "platform/linux/linux_notifier.h"
#include "platform/linux/linux_volume_bus.h"
#include "platform/platform.h"
#include "platform/sim/sim_devices.h"
#include "platform/system_clock.h"
#include "storage/bus_check.h"
#include "update/update_state.h"
#include "support/box_text.h"

#include <QtTest>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace platform;

namespace {

QString g_noMounts;   // why this process cannot mount privately, empty when it can
const QString StandinFull = QStringLiteral(STANDIN_DIR "/full");

// While one exists, libudev and /sys in this process see only its devices.
struct UdevTestbed {
    UMockdevTestbed *bed = umockdev_testbed_new();
    ~UdevTestbed() { g_object_unref(bed); }
    // `attributes` and `properties` alternate names and values. Empty when umockdev refuses.
    QByteArray add(const char *subsystem, const QByteArray &name, const QByteArray &parent,
                   QList<QByteArray> attributes, QList<QByteArray> properties)
    {
        const auto pointers = [](QList<QByteArray> &list) {
            QVector<gchar *> out;
            for (QByteArray &b : list)
                out << b.data();
            return out << nullptr;
        };
        gchar *path = umockdev_testbed_add_devicev(bed, subsystem, name, parent.isEmpty() ? nullptr : parent.constData(),
                                                   pointers(attributes).data(), pointers(properties).data());
        const QByteArray result(path);
        g_free(path);
        return result;
    }
    // A chain of "subsystem name [ID_BUS]" devices, the first on `parent`: the last one, empty if refused.
    QByteArray chain(const QString &spec, QByteArray parent = {})
    {
        for (const QString &device : spec.split(QStringLiteral(", "))) {
            const QStringList f = device.split(QLatin1Char(' '));
            QList<QByteArray> props;
            if (f[0] == "usb")
                props << "DEVTYPE" << (f[1].contains(':') ? "usb_interface" : "usb_device");
            if (f.size() > 2)
                props << "ID_BUS" << f[2].toUtf8();
            if ((parent = add(qPrintable(f[0]), f[1].toUtf8(), parent, {}, props)).isEmpty())
                break;
        }
        return parent;
    }
    QByteArray camera(int number, const QByteArray &parent)
    {
        const QByteArray n = QByteArray::number(number);
        return add("video4linux", "video" + n, parent, {"dev", "81:" + n},
                   {"DEVNAME", "/dev/video" + n, "ID_V4L_PRODUCT", "Ostrel Camera", "ID_V4L_CAPABILITIES", ":capture:"});
    }
    // Links /sys/dev/block/MAJ:MIN of the device under `dir` to `syspath` as the kernel does (umockdev files every
    // "dev" as char); relative, as libudev takes only what resolves inside /sys.
    bool linkBlock(const QString &dir, const QByteArray &syspath)
    {
        struct stat st;
        gchar *sys = umockdev_testbed_get_sys_dir(bed);
        const QString links = QFile::decodeName(sys) + QStringLiteral("/dev/block");
        g_free(sys);
        return !syspath.isEmpty() && ::stat(QFile::encodeName(dir), &st) == 0 && QDir().mkpath(links)
            && QFile::link("../.." + QFile::decodeName(syspath.mid(4)),
                           links + QStringLiteral("/%1:%2").arg(major(st.st_dev)).arg(minor(st.st_dev)));
    }
};

bool mountTmpfs(const QString &dir, const char *source = "tarnholm")
{
    return QDir().mkpath(dir) && ::mount(source, QFile::encodeName(dir), "tmpfs", 0, "size=1m") == 0;
}

// Mounts a new ext4 image on `dir` through a loop device. Empty on success, else why not.
QString mountExt4(const QString &image, const QString &dir)
{
    const QString script("truncate -s 8M \"$0\" && mkfs.ext4 -q -F \"$0\" && mkdir -p \"$1\""
                         " && mount -o loop \"$0\" \"$1\"");
    return QProcess::execute("sh", {"-c", script, image, dir}) == 0 ? QString() : "no loop-ext4 mount: " + script;
}

QString libraryIn(const QString &folder)
{
    return QDir(folder).filePath(QString::fromLatin1(LinuxCameraLibrary::fileName()));
}

// Video nodes of one USB device, "number|udev product|capture: 1, 0 or ? (udev silent)|sysfs name" each,
// enumerated into twelve slots of which ten are offered.
struct Nodes {
    explicit Nodes(const QString &list)
    {
        const QByteArray usb = bed.add("usb", "1-1", QByteArray(), {}, {});
        for (const QString &node : list.split(", ", Qt::SkipEmptyParts)) {
            const QStringList f = node.split(QLatin1Char('|'));
            const QByteArray name = "video" + f[0].toUtf8();
            QList<QByteArray> props{"DEVNAME", "/dev/" + name, "ID_V4L_PRODUCT", f[1].toUtf8()};
            if (f[2] != QLatin1String("?"))
                props << "ID_V4L_CAPABILITIES" << (f[2] == QLatin1String("1") ? ":capture:" : ":");
            bed.add("video4linux", name, usb, {"dev", "81:" + f[0].toUtf8(), "name", f[3].toUtf8()}, props);
        }
        count = devices.enumerate(monikers, filters, 10);
    }
    ~Nodes()
    {
        for (int i = 0; i < qMax(count, 0); ++i) {
            devices.release(monikers[i]);
            devices.release(filters[i]);
        }
    }
    UdevTestbed bed;
    LinuxCaptureDevices devices;
    IMoniker *monikers[12] = {};
    IBaseFilter *filters[12] = {};
    int count = 0;
};

} // namespace

class LinuxBackend : public QObject {
    Q_OBJECT
private slots:
    void enumerate_data()
    {
        QTest::addColumn<QString>("nodes");
        QTest::addColumn<QStringList>("names");   // of the slots filled in order; "<none>": no name read
        QTest::addColumn<QStringList>("paths");
        const auto row = [](const char *tag, const QString &nodes, const QStringList &names, const QStringList &paths) {
            QTest::newRow(tag) << nodes << names << paths;
        };
        row("metadata node beside the picture node", "0|Cam|1|, 1|Cam|0|", {"Cam"}, {"/dev/video0"});
        row("node number order", "10|B|1|, 2|A|1|", {"A", "B"}, {"/dev/video2", "/dev/video10"});
        row("udev product before sysfs name", "3|Ostrel Camera|1|card", {"Ostrel Camera"}, {"/dev/video3"});
        row("sysfs name without udev product", "3||1|Ostrel Camera", {"Ostrel Camera"}, {"/dev/video3"});
        row("no name", "3||1|", {"<none>"}, {"/dev/video3"});
        row("udev silent, node cannot be asked", "4|Ostrel Camera|?|, 5|Cam|1|", {"Cam"}, {"/dev/video5"});
        QStringList twelve, names, paths;
        for (int i = 0; i < 12; ++i)
            twelve << QStringLiteral("%1|cam%1|1|").arg(i);
        for (int i = 0; i < 10; ++i)
            names << QStringLiteral("cam%1").arg(i), paths << QStringLiteral("/dev/video%1").arg(i);
        row("ten slots of twelve nodes", twelve.join(", "), names, paths);
    }
    void enumerate()
    {
        QFETCH(QString, nodes);
        Nodes n(nodes);
        QStringList names, paths;
        for (int i = 0; i < n.count; ++i) {
            const DeviceProperties p = n.devices.readProperties(n.monikers[i]);
            names << (p.hasFriendlyName ? p.friendlyName : QStringLiteral("<none>"));
            paths << QString::fromUtf8(LinuxCaptureDevices::devicePath(n.filters[i]));
        }
        QTEST(names, "names");
        QTEST(paths, "paths");
        for (int i = n.count; i < 12; ++i)
            QVERIFY(!n.monikers[i] && !n.filters[i]);
    }

    // The library of `folder`, or the usual search with a copy of the stand-in in the "working folder" or
    // "program folder" alone.
    void library_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("camera");
        QTest::addColumn<int>("status");   // of each of the three calls
        QTest::addColumn<QString>("node");  // named in the version block
        QTest::newRow("camera answers") << StandinFull << true << 0 << "/dev/video5";
        QTest::newRow("no camera behind the filter") << StandinFull << false << 22 << "";
        QTest::newRow("library lacks a function") << STANDIN_DIR "/partial" << true << 127 << "";
        QTest::newRow("copy in the working folder") << "working folder" << true << 126 << "";
        QTest::newRow("copy beside the program") << "program folder" << true << 0 << "/dev/video5";
    }
    void library()
    {
        QFETCH(QString, folder);
        QFETCH(bool, camera);
        QTemporaryDir work;
        const QString before = QDir::currentPath(), programCopy = libraryIn(QCoreApplication::applicationDirPath());
        auto restore = qScopeGuard([&] { QDir::setCurrent(before); QFile::remove(programCopy); });
        if (!QDir::isAbsolutePath(folder)) {
            QFile::remove(programCopy);   // left by an aborted run
            for (const QString &installed : LinuxCameraLibrary().folders())
                if (QFileInfo::exists(libraryIn(installed)))
                    QSKIP(qPrintable("a library is already installed in " + installed));
            const QString copy = folder == "program folder" ? programCopy : libraryIn(work.path());
            QVERIFY(QFile::copy(libraryIn(StandinFull), copy));
            QVERIFY(QDir::setCurrent(work.path()));
            folder.clear();
        }
        Nodes n("5|Ostrel Camera|1|");
        IBaseFilter *filter = camera ? n.filters[0] : nullptr;
        LinuxCameraLibrary library(folder);
        unsigned long context = 0;
        unsigned char block[43] = {};
        int length = 43;
        QTEST(int(library.deviceInit(filter, &context)), "status");
        QTEST(int(library.versionGet(filter, context, block, &length)), "status");
        QTEST(int(library.updateFwUms(filter, context)), "status");
        QTEST(QString::fromLatin1(reinterpret_cast<const char *>(block + 7)), "node");
    }

    // `setup`: a directory "missing", with a "tmpfs" or "ext4" mounted on it, or whose device number is linked in a
    // test bed to the last of a chain of "subsystem name [ID_BUS]" devices. Only USB or not counts, never which bus.
    void bus_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("usb");   // the window takes it
        QTest::newRow("USB ancestor without ID_BUS") << "usb 1-3, scsi host7, block sdc" << true;
        QTest::newRow("SATA disk") << "ata ata1, block sda ata, block sda2" << false;
        QTest::newRow("loop device") << "block loop3" << false;
        QTest::newRow("tmpfs mounted") << "tmpfs" << false;
        QTest::newRow("ext4 on a loop device") << "ext4" << false;
        QTest::newRow("missing directory") << "missing" << false;
    }
    void bus()
    {
        QFETCH(QString, setup);
        QTemporaryDir work;
        const QString dir = work.filePath(QStringLiteral("mnt"));
        auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(dir), MNT_DETACH); });
        QScopedPointer<UdevTestbed> bed;   // only for a chain: the mounts are looked up in the real /sys
        if ((setup == "tmpfs" || setup == "ext4") && !g_noMounts.isEmpty())
            QSKIP(qPrintable(g_noMounts));
        const QString why = setup == "ext4" ? mountExt4(work.filePath(QStringLiteral("disk.img")), dir) : QString();
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        if (setup == "tmpfs")
            QVERIFY2(mountTmpfs(dir), std::strerror(errno));
        if (setup != "tmpfs" && setup != "ext4" && setup != "missing") {
            bed.reset(new UdevTestbed);
            QVERIFY(QDir().mkpath(dir) && bed->linkBlock(dir, bed->chain(setup)));
        }
        SimFixture sim;
        LinuxVolumeBus volumes;
        Platform p = current();
        p.volumes = &volumes;
        install(p);
        Tarnholm w;
        BoxCloser closer;
        QTEST(IsUsbVolume(&w, dir), "usb");
        QCOMPARE(boxLines(closer.boxes).replace(dir, "DIR"), setup != "missing" ? QString()
                 : "Error: CreateFile error. Error code(2), Path[DIR] [information, OK, on TarnholmClass]\n");
    }

    // Two "Ostrel Camera"s on USB ports 1-2 and 1-3 (or on no USB device), the second updated amid a stick: which
    // arriving USB volume the window takes, by the ports udev shows, and which camera it finds after the update,
    // whatever node each comes back as. "Other" is a tmpfs linked in the bed to a chain of "subsystem name [ID_BUS]"
    // devices and arrives first; the camera's drive hangs on another interface of its USB device.
    void ports_data()
    {
        QTest::addColumn<bool>("onPorts");
        QTest::addColumn<bool>("swapped");    // the nodes come back the other way round
        QTest::addColumn<QString>("other");
        QTest::addColumn<QString>("copiedTo");
        QTest::addColumn<bool>("otherRefused");   // logged as not on the camera's port
        QTest::addColumn<int>("found");   // the camera found after the update
        const QString stick = "usb 1-4, scsi host9, block sdy usb";
        QTest::newRow("stick on another port, then the camera's drive")
            << true << false << stick << "camera" << true << 1;
        QTest::newRow("the same, nodes swapped on return") << true << true << stick << "camera" << true << 0;
        // Neither camera is told apart: neither is read.
        QTest::newRow("the same, cameras on no USB device: the first USB volume")
            << false << false << stick << "other" << false << -1;
        QTest::newRow("stick behind a hub on a port the bed never saw")
            << true << false << "usb 2-1.4, scsi host9, block sdy usb" << "camera" << true << 1;
        QTest::newRow("USB volume on no USB device: its port unknown, it is taken")
            << true << false << "scsi host9, block sdy usb" << "other" << false << 1;
        QTest::newRow("the camera's drive alone") << true << false << "" << "camera" << false << 1;
    }
    void ports()
    {
        if (!g_noMounts.isEmpty())
            QSKIP(qPrintable(g_noMounts));
        QFETCH(bool, onPorts);
        QFETCH(bool, swapped);
        QFETCH(QString, other);
        UdevTestbed bed;
        const QByteArray root = bed.chain("usb usb1");
        QByteArray ports[2], ifaces[2], nodes[2];
        for (int i = 0; i < 2; ++i) {
            const QString port = QStringLiteral("usb 1-%1").arg(i + 2);
            ifaces[i] = bed.chain(port + ":1.0", ports[i] = bed.chain(port, root));
        }
        const auto plug = [&](bool reversed) {
            for (int i = 0; i < 2; ++i)
                nodes[i] = bed.camera(i, onPorts ? ifaces[reversed ? 1 - i : i] : QByteArray());
        };
        plug(false);

        QTemporaryDir work;
        QStringList mounted;
        auto unmount = qScopeGuard([&] {
            for (const QString &m : mounted)
                ::umount2(QFile::encodeName(m), MNT_DETACH);
        });
        // A tmpfs linked to the chain; empty when the chain is.
        const auto volume = [&](const QString &name, const QString &chain, const QByteArray &parent) {
            const QString dir = work.filePath(name);
            if (chain.isEmpty() || !mountTmpfs(dir))
                return QString();
            mounted << dir;
            return bed.linkBlock(dir, bed.chain(chain, parent)) ? dir : QString();
        };
        const QString otherDir = volume("other", other, other.startsWith("usb") ? root : QByteArray());
        const QString cameraDir = volume("camera", "usb 1-3:1.1, scsi host8, block sdz usb", ports[1]);
        QVERIFY(!cameraDir.isEmpty() && otherDir.isEmpty() == other.isEmpty());

        SimFixture sim;
        LinuxCaptureDevices capture;
        LinuxCameraLibrary library(StandinFull);
        LinuxVolumeBus volumes;
        install({&capture, &library, current().notifier, &volumes, current().clock, current().files, current().awake});
        Tarnholm w;
        BoxCloser closer;
        QString copiedTo;   // the job's drive, the copy itself is not run
        QObject::disconnect(&w, &Tarnholm::StartLoadFwThread, nullptr, nullptr);
        QObject::connect(&w, &Tarnholm::StartLoadFwThread, [&](const fw_info &job) { copiedTo = job.disk_path; });
        QCOMPARE(w.ui.DeviceList->count(), 2);
        w.ui.DeviceList->setCurrentIndex(1);
        QVERIFY(writeFile(work.filePath("fw.img"), "image"));
        w.ui.EditFwFile->setText(work.filePath("fw.img"));
        w.ui.BtnLoadFw->click();
        QCOMPARE(w.updateStage, WindowStage::AwaitingDrive);
        QCOMPARE(w.ui.DeviceList->count(), 0);   // switched

        sim::SimDevices devices(sim.world);
        for (const QString &dir : {otherDir, cameraDir}) {
            if (!dir.isEmpty())
                devices.announceMountPoint(DeviceEvent::Arrival, dir);
            QCoreApplication::processEvents();
        }
        const QString drive = copiedTo == otherDir + '/' ? "other" : copiedTo == cameraDir + '/' ? "camera" : copiedTo;
        QTEST(drive, "copiedTo");
        QTEST(w.ui.EditInfo->toPlainText().contains("Drive " + otherDir + " is not on the camera's USB port"),
              "otherRefused");
        for (const QByteArray &node : nodes)
            umockdev_testbed_remove_device(bed.bed, node);
        plug(swapped);
        w.RefreshDeviceList();
        QTEST(w.FindUpdatedCamera(), "found");
        QCOMPARE(boxLines(closer.boxes), QString());
    }

    // One whole update in real time: the stand-in's switch call mounts the camera's drive, and the test plays the
    // rest of the camera.
    void wholeUpdate()
    {
        if (!g_noMounts.isEmpty())
            QSKIP(qPrintable(g_noMounts));
        const QByteArray image("\x05\x00\x00", 3);   // version 5.0.0, newer than the stand-in's 4.5.6
        QTemporaryDir camera;
        qputenv("FIC_CAMERA_DIR", QFile::encodeName(camera.path()));
        auto unset = qScopeGuard([] { qunsetenv("FIC_CAMERA_DIR"); });
        const QString firmware = camera.filePath("firmware.bin");
        QVERIFY(writeFile(firmware, image + QByteArray(100000, 'x')));

        UdevTestbed bed;
        const QByteArray usb = bed.add("usb", "1-1", QByteArray(), {"idVendor", "1234"}, {"DEVTYPE", "usb_device"});
        const QByteArray disk = bed.add("block", "sdz", usb, {"dev", "8:240"}, {"DEVTYPE", "disk", "ID_BUS", "usb"});
        QByteArray video = bed.camera(0, usb);

        LinuxCaptureDevices capture;
        LinuxCameraLibrary library(StandinFull);
        LinuxNotifier notifier;
        LinuxVolumeBus volumes;
        SystemClock clock;
        HostFileIo files;
        LinuxKeepAwake awake(QStringLiteral("unix:path=/nonexistent/bus"));
        install({&capture, &library, &notifier, &volumes, &clock, &files, &awake});

        Tarnholm w;
        BoxCloser closer;
        QCOMPARE(w.ui.DeviceList->count(), 1);
        w.ui.EditFwFile->setText(firmware);
        QTest::mouseClick(w.ui.BtnLoadFw, Qt::LeftButton);

        // The drive is mounted now: it shows on the USB disk, and the camera leaves as a video device.
        const QString drive = camera.filePath("drive");
        auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(drive), MNT_DETACH); });
        QVERIFY(bed.linkBlock(drive, disk));
        umockdev_testbed_uevent(bed.bed, video, "remove");
        umockdev_testbed_remove_device(bed.bed, video);

        // The camera takes the file once "update" stands beside it, drops its drive and comes back.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(drive + "/update").isDir(), 30000);
        QVERIFY(QFile::copy(drive + "/fw.bin", camera.filePath("flashed.bin")));
        QVERIFY(::umount2(QFile::encodeName(drive), 0) == 0 && QDir().rmdir(drive));
        QTRY_COMPARE_WITH_TIMEOUT(g_upgradeStage.load(), UpgradeStage::DriveGone, 30000);
        video = bed.camera(0, usb);   // announced as it is added

        QTRY_COMPARE_WITH_TIMEOUT(closer.boxes.size(), 1, 30000);
        QCOMPARE(boxLines(closer.boxes), QString("Info: Update Successful [information, OK, on TarnholmClass]\n"));
        QCOMPARE(w.ui.progressBar->value(), 100);
        QCOMPARE(QFile(camera.filePath("flashed.bin")).size(), QFile(firmware).size());
        // Selecting the returned camera showed its information afresh.
        QVERIFY2(w.ui.EditInfo->toPlainText().contains("USB Camera Device insert\nSuccess "),
                 qPrintable(w.ui.EditInfo->toPlainText()));
    }
};

// What the window hears as volumes are mounted and video nodes come and go.
class LinuxNotifierTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QWidget window;
    LinuxNotifier notifier;
    UdevTestbed bed;   // before the notifier subscribes: its monitor then listens to the bed
    QStringList seen;

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("default.debug=false");   // guid_check traces every call
        // One line per event: a mount point relative to `dir`, a capture device by its node once the window would
        // recognise it.
        QVERIFY(notifier.subscribe(&window, [this](const DeviceEvent &e) {
            QString line = e.type == DeviceEvent::Arrival ? "arrival" : "removal";
            if (e.plainVolume())
                line += " " + QDir(dir.path()).relativeFilePath(e.mountPoint);
            if (guid_check(g_captureCategory, e.interfaceName))
                line += " capture " + e.interfaceName.section('#', 0, 0);
            seen << line;
        }));
    }

    // A loop-ext4 volume and a tmpfs from a device node, their names escaped in the table (which sources count:
    // tst_mount_table).
    void mounts()
    {
        if (!g_noMounts.isEmpty())
            QSKIP(qPrintable(g_noMounts));
        const QString ext4 = QStringLiteral("cam drive"), tmpfs = QStringLiteral("a\\b");
        const QString why = mountExt4(dir.filePath("fs.img"), dir.filePath(ext4));
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        QVERIFY(mountTmpfs(dir.filePath(tmpfs), "/dev/sdz1"));
        QTRY_COMPARE_WITH_TIMEOUT(seen, QStringList({"arrival " + ext4, "arrival " + tmpfs}), 10000);
        for (const QString &name : {ext4, tmpfs})
            QVERIFY(::umount2(QFile::encodeName(dir.filePath(name)), 0) == 0);
        QTRY_COMPARE_WITH_TIMEOUT(seen, QStringList({"arrival " + ext4, "arrival " + tmpfs, "removal " + ext4,
                                                     "removal " + tmpfs}), 10000);
    }

    // Node video9, announced after the one under test, waits for its event.
    void captureNodes_data()
    {
        QTest::addColumn<QString>("caps");   // "-": not probed
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("event");
        QTest::newRow("capture node removed") << ":capture:" << "remove" << "removal capture /dev/video3";
        QTest::newRow("capabilities not probed") << "-" << "add" << "arrival capture /dev/video3";
        QTest::newRow("metadata node") << ":" << "add" << "";
        QTest::newRow("capture node changed") << ":capture:" << "change" << "";
    }
    void captureNodes()
    {
        QFETCH(QString, caps);
        QFETCH(QString, action);
        seen.clear();
        QList<QByteArray> props{"DEVNAME", "/dev/video3"};
        if (caps != "-")
            props << "ID_V4L_CAPABILITIES" << caps.toLatin1();
        const QByteArray node = bed.add("video4linux", "video3", QByteArray(), {"name", "Ostrel Camera"}, props);
        const QByteArray mark = bed.add("video4linux", "video9", QByteArray(), {}, {"DEVNAME", "/dev/video9"});
        auto remove = qScopeGuard([&] {
            umockdev_testbed_remove_device(bed.bed, node);
            umockdev_testbed_remove_device(bed.bed, mark);
        });
        const QString marked = QStringLiteral("arrival capture /dev/video9");
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains(marked), 10000);   // adding announces both
        seen.clear();
        umockdev_testbed_uevent(bed.bed, node, qPrintable(action));
        umockdev_testbed_uevent(bed.bed, mark, "add");
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains(marked), 10000);
        seen.removeAll(marked);
        QTEST(seen.join(", "), "event");
    }
};

int main(int argc, char *argv[])
{
    // Before any thread starts: a process with threads cannot leave its namespace.
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        g_noMounts = QStringLiteral("no private mount namespace (needs root): ") + std::strerror(errno);
    if (!qgetenv("LD_PRELOAD").contains("umockdev"))
        qFatal("run under umockdev-wrapper (as ctest does)");
    qunsetenv("LD_PRELOAD");   // the programs this one starts (mkfs, mount) see the real devices
    QApplication app(argc, argv);
    qRegisterMetaType<fw_info>("fw_info");
    int failed = 0;   // each test's test bed lives only while it runs
    { LinuxBackend test; failed += QTest::qExec(&test, argc, argv); }
    { LinuxNotifierTest test; failed += QTest::qExec(&test, argc, argv); }
    return failed;
}

#include "tst_linux_devices.moc"
