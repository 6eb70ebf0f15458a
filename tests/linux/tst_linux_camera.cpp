#include "udev_testbed.h"

#include "app/tarnholm.h"
#include "platform/linux/linux_camera_library.h"
#include "platform/linux/linux_capture.h"
#include "platform/platform.h"
#include "support/sim_fixture.h"

#include <QtTest>

using platform::LinuxCameraLibrary;
using platform::LinuxCaptureDevices;

namespace {

const QString StandinFull = QStringLiteral(STANDIN_DIR "/full");

QString libraryIn(const QString &folder)
{
    return QDir(folder).filePath(QString::fromLatin1(LinuxCameraLibrary::fileName()));
}

// Video nodes as "number|udev product|capture: 1, 0 or ? (udev silent)|sysfs name".
struct Nodes {
    explicit Nodes(const QStringList &specs)
    {
        const QByteArray usb = bed.add("usb", "1-1", QByteArray(), {}, {});
        for (const QString &spec : specs) {
            const QStringList f = spec.split(QLatin1Char('|'));
            const QByteArray name = "video" + f[0].toUtf8();
            QList<QByteArray> props{"DEVNAME", "/dev/" + name, "ID_V4L_PRODUCT", f[1].toUtf8()};
            if (f[2] != QLatin1String("?"))
                props << "ID_V4L_CAPABILITIES" << (f[2] == QLatin1String("1") ? ":capture:" : ":");
            bed.add("video4linux", name.constData(), usb, {"dev", "81:" + f[0].toUtf8(), "name", f[3].toUtf8()}, props);
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

class LinuxCamera : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!UdevTestbed::active())
            QSKIP("needs umockdev-wrapper (run through ctest)");
        // A stand-in left beside the program by an aborted run would be found.
        QFile left(libraryIn(QCoreApplication::applicationDirPath()));
        QFile standin(libraryIn(StandinFull));
        if (left.open(QIODevice::ReadOnly) && standin.open(QIODevice::ReadOnly) && left.readAll() == standin.readAll())
            left.remove();
    }

    void enumerate_data()
    {
        QTest::addColumn<QStringList>("nodes");
        QTest::addColumn<QStringList>("expected");   // "name|node" per slot
        QTest::newRow("no video nodes") << QStringList() << QStringList();
        QTest::newRow("metadata node beside the picture node")
            << QStringList{"0|Ostrel Camera|1|", "1|Ostrel Camera|0|"} << QStringList{"Ostrel Camera|/dev/video0"};
        QTest::newRow("node number order") << QStringList{"10|B|1|", "2|A|1|"}
                                           << QStringList{"A|/dev/video2", "B|/dev/video10"};
        QTest::newRow("udev product before sysfs name") << QStringList{"3|Ostrel Camera Pro|1|card"}
                                                        << QStringList{"Ostrel Camera Pro|/dev/video3"};
        QTest::newRow("sysfs name without udev product") << QStringList{"3||1|Ostrel Camera"}
                                                         << QStringList{"Ostrel Camera|/dev/video3"};
        QTest::newRow("no name") << QStringList{"3||1|"} << QStringList{"<none>|/dev/video3"};
        QTest::newRow("udev silent, node cannot be asked") << QStringList{"4|Ostrel Camera|?|", "5|Cam|1|"}
                                                           << QStringList{"Cam|/dev/video5"};
        QStringList twelve, ten;
        for (int i = 0; i < 12; ++i) {
            twelve << QStringLiteral("%1|cam%1|1|").arg(i);
            if (i < 10)
                ten << QStringLiteral("cam%1|/dev/video%1").arg(i);
        }
        QTest::newRow("ten slots of twelve nodes") << twelve << ten;
    }
    void enumerate()
    {
        QFETCH(QStringList, nodes);
        Nodes n(nodes);
        QStringList seen;
        for (int i = 0; i < n.count; ++i) {
            const platform::DeviceProperties p = n.devices.readProperties(n.monikers[i]);
            QVERIFY(p.bound && p.hasDevicePath);
            seen << (p.hasFriendlyName ? p.friendlyName : QStringLiteral("<none>")) + QLatin1Char('|')
                        + QString::fromUtf8(LinuxCaptureDevices::devicePath(n.filters[i]));
        }
        QTEST(seen, "expected");
        for (int i = n.count; i < 12; ++i)
            QVERIFY(!n.monikers[i] && !n.filters[i]);
    }

    // The stand-in library answers from its arguments: see standin/fic_standin.cpp.
    void library_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("camera");
        QTest::addColumn<unsigned long>("contextShift");
        QTest::addColumn<QList<long>>("statuses");   // init, version, update
        QTest::addColumn<QByteArray>("blockNode");
        const long noDev = LinuxCameraLibrary::NoDevice;
        const long noFn = LinuxCameraLibrary::MissingFunction;
        const long noLib = LinuxCameraLibrary::NotFound;
        QTest::newRow("camera answers") << StandinFull << true << 0ul << QList<long>{0, 0, 0}
                                        << QByteArray("/dev/video5");
        QTest::newRow("context must come back unchanged") << StandinFull << true << 1ul << QList<long>{0, 32, 32}
                                                          << QByteArray();
        QTest::newRow("no camera behind the filter") << StandinFull << false << 0ul
                                                     << QList<long>{noDev, noDev, noDev} << QByteArray();
        QTest::newRow("library lacks a function") << QStringLiteral(STANDIN_DIR "/partial") << true << 0ul
                                                  << QList<long>{noFn, noFn, noFn} << QByteArray();
        QTest::newRow("no library") << QDir::tempPath() + QStringLiteral("/tarnholm-none") << true << 0ul
                                    << QList<long>{noLib, noLib, noLib} << QByteArray();
    }
    void library()
    {
        QFETCH(QString, folder);
        QFETCH(bool, camera);
        QFETCH(unsigned long, contextShift);
        Nodes n({"5|Ostrel Camera|1|"});
        IBaseFilter *filter = camera ? n.filters[0] : nullptr;
        LinuxCameraLibrary library(folder);
        unsigned long context = 0;
        QList<long> statuses{library.deviceInit(filter, &context)};
        context += contextShift;
        unsigned char block[43] = {};
        int length = 43;
        statuses << library.versionGet(filter, context, block, &length) << library.updateFwUms(filter, context);
        QTEST(statuses, "statuses");
        QTEST(QByteArray(reinterpret_cast<const char *>(block + 7)), "blockNode");
    }

    // Found beside the program, never in the working folder.
    void librarySearch_data()
    {
        QTest::addColumn<bool>("besideProgram");
        QTest::addColumn<long>("status");
        QTest::newRow("copy in working folder") << false << LinuxCameraLibrary::NotFound;
        QTest::newRow("copy beside the program") << true << 0l;
    }
    void librarySearch()
    {
        QFETCH(bool, besideProgram);
        LinuxCameraLibrary library;
        for (const QString &folder : library.folders())
            if (QFileInfo::exists(libraryIn(folder)))
                QSKIP(qPrintable(QStringLiteral("a library is already installed in ") + folder));
        QTemporaryDir work;
        const QString copy = libraryIn(besideProgram ? QCoreApplication::applicationDirPath() : work.path());
        QVERIFY(QFile::copy(libraryIn(StandinFull), copy));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        auto restore = qScopeGuard([&] {
            QDir::setCurrent(before);
            QFile::remove(copy);
        });
        Nodes n({"5|Ostrel Camera|1|"});
        unsigned long context = 0;
        QTEST(library.deviceInit(n.filters[0], &context), "status");
    }

    // The window lists only the camera and reads its version through its node.
    void windowShowsCamera()
    {
        Nodes n({"0|Integrated Webcam|1|", "2|Ostrel Camera|1|", "3|Ostrel Camera|0|"});
        SimFixture sim;
        LinuxCaptureDevices devices;
        LinuxCameraLibrary library(StandinFull);
        platform::Platform p = platform::current();
        p.capture = &devices;
        p.camera = &library;
        platform::install(p);
        Tarnholm w;
        QCOMPARE(w.ui.DeviceList->count(), 1);
        QCOMPARE(w.ui.DeviceList->itemText(0), QStringLiteral("Ostrel Camera    "));
        const QString info = w.ui.DeviceInfo->toPlainText();
        QVERIFY2(info.contains("Version : 4.5.6") && info.contains("Date : 2026-12-07"), qPrintable(info));
    }
};

QTEST_MAIN(LinuxCamera)
#include "tst_linux_camera.moc"
