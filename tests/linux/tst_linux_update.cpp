#include "udev_testbed.h"

#include "app/tarnholm.h"
#include "mount_namespace.h"
#include "platform/host_file_io.h"
#include "platform/linux/linux_camera_library.h"
#include "platform/linux/linux_capture.h"
#include "platform/linux/linux_keep_awake.h"
#include "platform/linux/linux_notifier.h"
#include "platform/linux/linux_volume_bus.h"
#include "platform/platform.h"
#include "platform/system_clock.h"
#include "support/box_text.h"

#include <QtTest>
#include <sys/stat.h>

static QString g_noMounts;   // empty when this process mounts privately

// One whole firmware update on the Linux backend, in real time: real udev
// calls on a umockdev test bed, the real mount table, a stand-in vendor
// library whose switch call mounts the camera's drive.
class LinuxUpdate : public QObject {
    Q_OBJECT
private slots:
    void wholeUpdate_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QString>("result");
        QTest::newRow("newer firmware") << QByteArray("\x02\x02\x00", 3) << "Update Successful";
        QTest::newRow("same firmware") << QByteArray("\x01\x00\x00", 3) << "Firmware Version Unchanged";
    }
    void wholeUpdate()
    {
        if (!g_noMounts.isEmpty())
            QSKIP(qPrintable(g_noMounts));
        QFETCH(QByteArray, image);
        QTemporaryDir camera;
        qputenv("FIC_CAMERA_DIR", QFile::encodeName(camera.path()));
        const QString firmware = camera.filePath("firmware.bin");
        QFile file(firmware);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(image + QByteArray(100000, 'x'));
        file.close();

        UdevTestbed bed;
        const QByteArray usb = bed.add("usb", "1-1", QByteArray(), {"idVendor", "1234"}, {"DEVTYPE", "usb_device"});
        const QByteArray disk = bed.add("block", "sdz", usb, {"dev", "8:240"}, {"DEVTYPE", "disk", "ID_BUS", "usb"});
        const auto addCamera = [&] {
            return bed.add("video4linux", "video0", usb, {"dev", "81:0"},
                           {"DEVNAME", "/dev/video0", "ID_V4L_CAPABILITIES", ":capture:",
                            "ID_V4L_PRODUCT", "Ostrel Camera"});
        };
        QByteArray video = addCamera();

        platform::LinuxCaptureDevices capture;
        platform::LinuxCameraLibrary library(QStringLiteral(STANDIN_DIR "/camera"));
        platform::LinuxNotifier notifier;
        platform::LinuxVolumeBus volumes;
        platform::SystemClock clock;
        platform::HostFileIo files;
        platform::LinuxKeepAwake awake(QStringLiteral("unix:path=/nonexistent/bus"));
        platform::install({&capture, &library, &notifier, &volumes, &clock, &files, &awake});

        Tarnholm w;
        BoxCloser closer;
        QCOMPARE(w.ui.DeviceList->count(), 1);
        QCOMPARE(w.ui.DeviceList->itemText(0), QString("Ostrel Camera    "));
        w.ui.EditFwFile->setText(firmware);
        QTest::mouseClick(w.ui.BtnLoadFw, Qt::LeftButton);
        QCOMPARE(boxLines(closer.boxes), QString());

        // The switch call has mounted the drive; it shows on the USB disk,
        // and the camera leaves as a video device.
        const QString drive = camera.filePath("drive");
        auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(drive).constData(), MNT_DETACH); });
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(drive).constData(), &st) == 0);
        QVERIFY(bed.linkBlock(st.st_dev, disk));
        bed.uevent(video, "remove");
        bed.remove(video);

        // The camera takes the file once "update" stands beside it, drops
        // its drive as an automounter would, and comes back.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(drive + "/update").isDir(), 30000);
        const QString copyLog = w.ui.EditInfo->toPlainText();
        QVERIFY2(copyLog.contains("USB Camera Device Remove!\n") && copyLog.contains("\nWrite file to " + drive + ", "),
                 qPrintable(copyLog));
        QVERIFY(QFile::copy(drive + "/fw.bin", camera.filePath("flashed.bin")));
        QVERIFY(::umount2(QFile::encodeName(drive).constData(), 0) == 0);
        QVERIFY(QDir().rmdir(drive));
        QTRY_COMPARE_WITH_TIMEOUT(g_upgradeStage.load(), 4, 30000);
        video = addCamera();   // announced as it is added

        QTRY_COMPARE_WITH_TIMEOUT(closer.boxes.size(), 1, 30000);
        QFETCH(QString, result);
        QCOMPARE(boxLines(closer.boxes), QString("Info: %1 [information, OK, on TarnholmClass]\n").arg(result));
        QCOMPARE(w.ui.progressBar->value(), 100);
        QCOMPARE(QFile(camera.filePath("flashed.bin")).size(), file.size());
        // Selecting the returned camera showed its information afresh.
        const QString log = w.ui.EditInfo->toPlainText();
        QVERIFY2(log.contains("USB Camera Device insert\nSuccess "), qPrintable(log));
        QCOMPARE(g_upgradeStage.load(), 0);
    }
};

int main(int argc, char *argv[])
{
    g_noMounts = isolateMounts();
    QApplication app(argc, argv);
    qRegisterMetaType<fw_info>("fw_info");
    LinuxUpdate test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_linux_update.moc"
