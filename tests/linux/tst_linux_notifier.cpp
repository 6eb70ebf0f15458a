// GLib names a struct member "signals": it goes before Qt's keyword macro.
#include <umockdev.h>

#include "app/tarnholm.h"
#include "platform/linux/linux_notifier.h"

#include <QProcess>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>

namespace {
// Empty when this process has its own mount namespace; else why not.
QString g_noMounts;

void isolateMounts()
{
    if (::unshare(CLONE_NEWNS) != 0)
        g_noMounts = QStringLiteral("no private mount namespace (needs root): %1").arg(strerror(errno));
    else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        g_noMounts = QStringLiteral("mounts cannot be made private: %1").arg(strerror(errno));
}
} // namespace

class LinuxNotifierTest : public QObject {
    Q_OBJECT
public:
    QTemporaryDir dir;
    QWidget window;
    platform::LinuxNotifier notifier;
    UMockdevTestbed *testbed = nullptr;
    QStringList seen;

    // One comparable line per event: mount points relative to `dir`, a
    // capture device by its node once the window would recognise it.
    void record(const platform::DeviceEvent &e)
    {
        QString line = e.type == platform::DeviceEvent::Arrival ? "arrival" : "removal";
        if (e.plainVolume())
            line += " " + QDir(dir.path()).relativeFilePath(e.mountPoint);
        if (guid_check(g_captureCategory, e.interfaceName))
            line += " capture " + e.interfaceName.section('#', 0, 0);
        else if (!e.interfaceName.isEmpty())
            line += " " + e.interfaceName;
        seen << line;
    }
    bool mountTmpfs(const QString &name, const char *source)
    {
        QDir(dir.path()).mkpath(name);
        return ::mount(source, QFile::encodeName(dir.filePath(name)).constData(), "tmpfs", 0, nullptr) == 0;
    }
    bool unmount(const QString &name)
    {
        return ::umount2(QFile::encodeName(dir.filePath(name)).constData(), 0) == 0;
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules("default.debug=false"); // guid_check traces every call
        QVERIFY(dir.isValid());
        testbed = umockdev_testbed_new();
        QVERIFY(umockdev_in_mock_environment());
        QVERIFY(notifier.subscribe(&window, [this](const platform::DeviceEvent &e) { record(e); }));
    }
    void cleanupTestCase() { g_object_unref(testbed); }

    void mounts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("volume");
        QTest::newRow("loop ext4, space in the name") << "ext4" << "cam drive" << true;
        QTest::newRow("tmpfs from a device node, backslash") << "tmpfs /dev/sdz1" << "a\\b" << true;
        QTest::newRow("tmpfs, no device") << "tmpfs none" << "scratch" << false;
        QTest::newRow("tmpfs from a non-device path") << "tmpfs /tmp/dev/x" << "scratch" << false;
    }
    void mounts()
    {
        if (!g_noMounts.isEmpty())
            QSKIP(qPrintable(g_noMounts));
        QFETCH(QString, kind);
        QFETCH(QString, name);
        seen.clear();
        if (kind == "ext4") {
            const QString image = dir.filePath("fs.img");
            QCOMPARE(QProcess::execute("truncate", {"-s", "4M", image}), 0);
            QCOMPARE(QProcess::execute("mkfs.ext4", {"-q", "-F", image}), 0);
            QDir(dir.path()).mkpath(name);
            // Outside the device test bed, which would hide the loop devices.
            QProcess mount;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.remove("LD_PRELOAD");
            env.remove("UMOCKDEV_DIR");
            mount.setProcessEnvironment(env);
            mount.start("mount", {"-o", "loop", image, dir.filePath(name)});
            QVERIFY(mount.waitForFinished());
            QCOMPARE(mount.exitCode(), 0);
        } else {
            QVERIFY(mountTmpfs(name, kind.section(' ', 1).toLocal8Bit().constData()));
        }
        // A volume mounted after the one under test marks the point by which
        // its own event must have come.
        QVERIFY(mountTmpfs("mark", "/dev/mark"));
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains("arrival mark"), 10000);
        QVERIFY(unmount(name));
        QVERIFY(unmount("mark"));
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains("removal mark"), 10000);
        QFETCH(bool, volume);
        QStringList expected{"arrival mark", "removal mark"};
        if (volume)
            expected = QStringList{"arrival " + name, "arrival mark", "removal " + name, "removal mark"};
        QCOMPARE(seen, expected);
    }

    void captureNodes_data()
    {
        QTest::addColumn<QString>("caps");   // "-": no probed capabilities
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("event");
        QTest::newRow("capture node added") << ":capture:" << "add" << "arrival capture /dev/video3";
        QTest::newRow("capture node removed") << ":capture:" << "remove" << "removal capture /dev/video3";
        QTest::newRow("capabilities not probed") << "-" << "add" << "arrival capture /dev/video3";
        QTest::newRow("metadata node") << ":" << "add" << "";
        QTest::newRow("output node") << ":video_output:" << "add" << "";
        QTest::newRow("capture node changed") << ":capture:" << "change" << "";
    }
    void captureNodes()
    {
        QFETCH(QString, caps);
        QFETCH(QString, action);
        seen.clear();
        const QByteArray capsValue = caps.toLatin1();
        gchar *path = umockdev_testbed_add_device(testbed, "video4linux", "video3", nullptr,
                                                  "name", "Ostrel Camera", nullptr,
                                                  "DEVNAME", "/dev/video3",
                                                  caps == "-" ? nullptr : "ID_V4L_CAPABILITIES",
                                                  capsValue.constData(), nullptr);
        gchar *mark = umockdev_testbed_add_device(testbed, "video4linux", "video9", nullptr, nullptr,
                                                  "DEVNAME", "/dev/video9", nullptr);
        // Adding a device announces it; start from after that.
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains("arrival capture /dev/video9"), 10000);
        seen.clear();
        umockdev_testbed_uevent(testbed, path, action.toLatin1().constData());
        umockdev_testbed_uevent(testbed, mark, "add");
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains("arrival capture /dev/video9"), 10000);
        umockdev_testbed_remove_device(testbed, path);
        umockdev_testbed_remove_device(testbed, mark);
        g_free(path);
        g_free(mark);
        QFETCH(QString, event);
        QStringList expected{"arrival capture /dev/video9"};
        if (!event.isEmpty())
            expected.prepend(event);
        QCOMPARE(seen, expected);
    }
};

int main(int argc, char *argv[])
{
    // Before any thread exists: a process with threads cannot leave its
    // mount namespace.
    isolateMounts();
    QApplication app(argc, argv);
    LinuxNotifierTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_linux_notifier.moc"
