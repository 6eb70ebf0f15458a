#include "udev_testbed.h"

#include "app/tarnholm.h"
#include "platform/linux/linux_camera_library.h"
#include "platform/linux/linux_capture.h"
#include "platform/platform.h"
#include "support/sim_fixture.h"

#include <QtTest>

namespace {

// "number|product|capture|sysfs name"; capture is 1, 0, or ? for a node
// udev says nothing about.
void addNodes(UdevTestbed &bed, const QStringList &nodes)
{
    const QByteArray usb = bed.add("usb", "1-1", QByteArray(), {"idVendor", "1d6b"}, {});
    for (const QString &spec : nodes) {
        const QStringList f = spec.split(QLatin1Char('|'));
        const int number = f[0].toInt();
        if (f[2] == QLatin1String("?")) {
            const QByteArray name = "video" + QByteArray::number(number);
            bed.add("video4linux", name.constData(), usb, {"dev", "81:" + QByteArray::number(number)},
                    {"DEVNAME", "/dev/" + name, "ID_V4L_PRODUCT", f[1].toUtf8()});
        } else {
            bed.addVideo(number, f[1].toUtf8(), f[2] == QLatin1String("1"), usb, f[3].toUtf8());
        }
    }
}

// Each stored device as "name|device node"; "<none>" for a device without a name.
QStringList stored(platform::LinuxCaptureDevices &devices, IMoniker **monikers,
                   IBaseFilter **filters, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i) {
        const platform::DeviceProperties p = devices.readProperties(monikers[i]);
        const QString name = p.hasFriendlyName ? p.friendlyName : QStringLiteral("<none>");
        out << name + QLatin1Char('|') + QString::fromUtf8(platform::LinuxCaptureDevices::devicePath(filters[i]))
                   + (p.bound && p.hasDevicePath ? QString() : QStringLiteral(" (no path)"));
    }
    return out;
}

void releaseAll(platform::LinuxCaptureDevices &devices, IMoniker **monikers, IBaseFilter **filters, int count)
{
    for (int i = 0; i < count; ++i) {
        devices.release(monikers[i]);
        devices.release(filters[i]);
    }
}

} // namespace

class LinuxCapture : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (!UdevTestbed::active())
            QSKIP("needs umockdev-wrapper (run through ctest)");
    }

    void enumerate_data()
    {
        QTest::addColumn<QStringList>("nodes");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("no video nodes") << QStringList() << QStringList();
        QTest::newRow("metadata node beside the picture node")
            << QStringList{"0|Ostrel Camera|1|", "1|Ostrel Camera|0|"}
            << QStringList{"Ostrel Camera|/dev/video0"};
        QTest::newRow("ordered by node number, not by text")
            << QStringList{"10|Second|1|", "2|First|1|"}
            << QStringList{"First|/dev/video2", "Second|/dev/video10"};
        QTest::newRow("udev product before the sysfs name")
            << QStringList{"3|Ostrel Camera Pro|1|uvcvideo card"}
            << QStringList{"Ostrel Camera Pro|/dev/video3"};
        QTest::newRow("sysfs name when udev has no product")
            << QStringList{"3||1|Ostrel Camera"} << QStringList{"Ostrel Camera|/dev/video3"};
        QTest::newRow("no name anywhere") << QStringList{"3||1|"} << QStringList{"<none>|/dev/video3"};
        QTest::newRow("capabilities unknown and the node cannot be asked")
            << QStringList{"4|Ostrel Camera|?|", "5|Webcam|1|"} << QStringList{"Webcam|/dev/video5"};
    }
    void enumerate()
    {
        QFETCH(QStringList, nodes);
        UdevTestbed bed;
        addNodes(bed, nodes);
        platform::LinuxCaptureDevices devices;
        IMoniker *monikers[10] = {};
        IBaseFilter *filters[10] = {};
        const int count = devices.enumerate(monikers, filters, 10);
        QTEST(stored(devices, monikers, filters, count), "expected");
        for (int i = count; i < 10; ++i)
            QVERIFY(!monikers[i] && !filters[i]);
        releaseAll(devices, monikers, filters, count);
    }

    void tenSlots()
    {
        UdevTestbed bed;
        QStringList nodes, expected;
        for (int i = 0; i < 12; ++i) {
            nodes << QStringLiteral("%1|cam%1|1|").arg(i);
            if (i < 10)
                expected << QStringLiteral("cam%1|/dev/video%1").arg(i);
        }
        addNodes(bed, nodes);
        platform::LinuxCaptureDevices devices;
        IMoniker *monikers[12] = {};
        IBaseFilter *filters[12] = {};
        const int count = devices.enumerate(monikers, filters, 10);
        QCOMPARE(count, 10);
        QCOMPARE(stored(devices, monikers, filters, count), expected);
        QVERIFY(!monikers[10] && !filters[10] && !monikers[11] && !filters[11]);
        releaseAll(devices, monikers, filters, count);
    }

    void removedNodeLeavesNextEnumeration()
    {
        UdevTestbed bed;
        const QByteArray first = bed.addVideo(0, "Ostrel Camera", true);
        bed.addVideo(1, "Webcam", true);
        platform::LinuxCaptureDevices devices;
        IMoniker *monikers[10] = {};
        IBaseFilter *filters[10] = {};
        QCOMPARE(devices.enumerate(monikers, filters, 10), 2);
        bed.remove(first);
        // Handles of the gone camera stay readable until released.
        QCOMPARE(platform::LinuxCaptureDevices::devicePath(filters[0]), QByteArray("/dev/video0"));
        releaseAll(devices, monikers, filters, 2);
        std::fill(std::begin(monikers), std::end(monikers), nullptr);
        std::fill(std::begin(filters), std::end(filters), nullptr);
        const int count = devices.enumerate(monikers, filters, 10);
        QCOMPARE(stored(devices, monikers, filters, count), QStringList{"Webcam|/dev/video1"});
        releaseAll(devices, monikers, filters, count);
    }

    void foreignFilterHasNoDevice()
    {
        quint64 notOurs[4] = {1, 2, 3, 4};
        QVERIFY(platform::LinuxCaptureDevices::devicePath(reinterpret_cast<IBaseFilter *>(notOurs)).isEmpty());
        QVERIFY(platform::LinuxCaptureDevices::devicePath(nullptr).isEmpty());
    }

    // The window on these devices and the stand-in vendor library: only the
    // camera is listed, and its version is read through its device node.
    void windowListsCameraAndShowsItsVersion()
    {
        UdevTestbed bed;
        addNodes(bed, {"0|Integrated Webcam|1|", "2|Ostrel Camera|1|", "3|Ostrel Camera|0|"});
        SimFixture sim;
        platform::LinuxCaptureDevices devices;
        platform::LinuxCameraLibrary library(QStringLiteral(STANDIN_DIR "/full"));
        platform::Platform p = platform::current();
        p.capture = &devices;
        p.camera = &library;
        platform::install(p);

        Tarnholm w;
        QCOMPARE(w.ui.DeviceList->count(), 1);
        QCOMPARE(w.ui.DeviceList->itemText(0), QStringLiteral("Ostrel Camera    "));
        bool ok = false;
        auto *filter = reinterpret_cast<IBaseFilter *>(w.ui.DeviceList->itemData(0).toLongLong(&ok));
        QVERIFY(ok);
        QCOMPARE(platform::LinuxCaptureDevices::devicePath(filter), QByteArray("/dev/video2"));
        const QString info = w.ui.DeviceInfo->toPlainText();
        QVERIFY2(info.contains("Version : 4.5.6") && info.contains("Date : 2026-12-07"), qPrintable(info));
    }
};

QTEST_MAIN(LinuxCapture)
#include "tst_linux_capture.moc"
