#include "udev_testbed.h"

#include "app/tarnholm.h"
#include "mount_namespace.h"
#include "platform/linux/linux_notifier.h"

#include <QProcess>
#include <QtTest>

static QString g_noMounts;   // empty when this process mounts privately

class LinuxNotifierTest : public QObject {
    Q_OBJECT
public:
    QTemporaryDir dir;
    QWidget window;
    platform::LinuxNotifier notifier;
    UdevTestbed bed;   // before the notifier subscribes: its monitor then listens to the bed
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
        QVERIFY(UdevTestbed::active());
        QVERIFY(notifier.subscribe(&window, [this](const platform::DeviceEvent &e) { record(e); }));
    }

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
            if (!mount.waitForFinished() || mount.exitCode() != 0)
                QSKIP(qPrintable("no loop mount here: " + mount.readAllStandardError()));
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
        QList<QByteArray> props{"DEVNAME", "/dev/video3"};
        if (caps != "-")
            props << "ID_V4L_CAPABILITIES" << caps.toLatin1();
        const QByteArray node = bed.add("video4linux", "video3", QByteArray(), {"name", "Ostrel Camera"}, props);
        const QByteArray mark = bed.add("video4linux", "video9", QByteArray(), {}, {"DEVNAME", "/dev/video9"});
        // Adding a device announces it; start from after that.
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains("arrival capture /dev/video9"), 10000);
        seen.clear();
        bed.uevent(node, action.toLatin1().constData());
        bed.uevent(mark, "add");
        QTRY_VERIFY_WITH_TIMEOUT(seen.contains("arrival capture /dev/video9"), 10000);
        bed.remove(node);
        bed.remove(mark);
        QFETCH(QString, event);
        QStringList expected{"arrival capture /dev/video9"};
        if (!event.isEmpty())
            expected.prepend(event);
        QCOMPARE(seen, expected);
    }
};

int main(int argc, char *argv[])
{
    g_noMounts = isolateMounts();
    QApplication app(argc, argv);
    LinuxNotifierTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_linux_notifier.moc"
