// Drive arrivals and removals as the window handles them, and the USB port read from Windows' location paths.
#include "app/tarnholm.h"
#include "platform/sim/sim_devices.h"
#include "platform/win/usb_location.h"
#include "update/update_state.h"
#include "support/box_text.h"

#include <QtTest>

using Event = platform::DeviceEvent;

namespace {
// One device event as the window receives it; E may open on its third or eleventh (last) attempt, or fail its query.
enum Step { UsbE, SataF, UsbG, UsbH, UsbEThirdOpenUpdateAt1500, UsbEEleventhOpen, UsbEQueryFails, MountPoint,
            Media, NoDrive, RemoveE, RemoveF };
using Steps = QVector<Step>;
// What the window made of the steps: bus-check waits, the drive root handed to the worker, the log, the boxes.
struct Outcome {
    QVector<int> waits;
    QString job, log, boxes;
};
} // namespace

Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(Outcome)

class DeviceChange : public QObject {
    Q_OBJECT
private slots:
    // Location paths as Windows reports them (DEVPKEY_Device_LocationPaths, a string list): the USB port they name.
    void usbLocation_data()
    {
        QTest::addColumn<QString>("list"); // the strings, "|" for each NUL
        QTest::addColumn<QString>("port");
        const QString root = "PCIROOT(0)#PCI(1400)#USBROOT(0)", hub = root + "#USB(2)#USB(3)";
        QTest::newRow("device behind a hub") << hub + "||" << hub;
        QTest::newRow("an interface's path") << hub + "#USBMI(0)||" << hub;
        const QString acpi = "ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS03)";
        QTest::newRow("ACPI path first") << acpi + "|" + hub + "||" << hub;
        QTest::newRow("the root hub itself") << root + "||" << "";
        QTest::newRow("empty list") << "|" << "";
        // A string without its NUL may be cut short, naming the hub's port: dropped.
        QTest::newRow("no final NULs") << hub << "";
        QTest::newRow("cut short after a whole string") << hub + "|" + root + "#USB(2)" << hub;
        QTest::newRow("port text split by a NUL") << root + "|#USB(2)||" << "";
    }
    void usbLocation()
    {
        QFETCH(QString, list);
        const QString units = list.replace('|', QChar(0));
        QTEST(platform::usblocation::portFromLocationPaths(
                  platform::usblocation::splitStringList(units.utf16(), units.size())), "port");
    }

    // Instance IDs met walking up from a capture interface or a disk: only a whole USB device carries the port.
    void usbDeviceIds()
    {
        using platform::usblocation::isUsbDevice;
        QVERIFY(isUsbDevice("USB\\VID_2E4F&PID_0C01\\5&1A2B3C4D&0&3"));
        QVERIFY(!isUsbDevice("USB\\VID_2E4F&PID_0C01&MI_00\\6&2B3C4D5E&0&0000"));   // one interface of it
        QVERIFY(!isUsbDevice("USBSTOR\\DISK&VEN_OSTREL&PROD_CAMERA&REV_1.00\\7&1&0"));   // its disk
    }

    // Volumes come and go with the window's stage set first and g_upgradeStage just before the last step.
    void volumes_data()
    {
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("upgrade");
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<Outcome>("want");
        namespace W = WindowStage;
        namespace U = UpgradeStage;
        // The drive awaited arrives: its letter or directory in the log, the job on its root.
        const auto copied = [](const QString &drive, const QString &root, QVector<int> waits) {
            return Outcome{waits, root, "Write file to " + drive + ", hh:mm:ss", ""};
        };
        const QString box("Error: %1 [information, OK, on TarnholmClass]\n");
        const int awaiting = W::AwaitingDrive;
        QTest::newRow("USB while idle") << W::Idle << U::None << Steps{UsbE} << Outcome{};
        QTest::newRow("SATA, then two USB") << awaiting << U::None << Steps{SataF, UsbG, UsbH}
                                            << copied("G", "G:\\", {1000, 1000});
        QTest::newRow("update starts during the check") << W::Idle << U::None << Steps{UsbEThirdOpenUpdateAt1500}
                                                        << copied("E", "E:\\", {1000, 1000});
        QTest::newRow("opens on the last attempt") << awaiting << U::None << Steps{UsbEEleventhOpen}
                                                   << copied("E", "E:\\", QVector<int>(11, 1000));
        QTest::newRow("bus query fails") << awaiting << U::None << Steps{UsbEQueryFails}
                                         << Outcome{{1000}, "", "", box.arg("DeviceIoControl error. Error code : 1")};
        QTest::newRow("mount point") << awaiting << U::None << Steps{MountPoint}
                                     << copied("<dir>", "<dir>" + QString(QDir::separator()), {1000});
        QTest::newRow("media") << awaiting << U::None << Steps{Media} << Outcome{};
        QTest::newRow("no drive") << awaiting << U::None << Steps{NoDrive} << Outcome{};
        // Only the update's own drive leaving breaks the copy.
        Outcome own = copied("E", "E:\\", {1000});
        QTest::newRow("other volume out at 2") << awaiting << U::Copying << Steps{UsbE, RemoveF} << own;
        own.boxes = box.arg("Transfer Failed");
        QTest::newRow("own volume out at 2") << awaiting << U::Copying << Steps{UsbE, RemoveE} << own;
    }
    void volumes()
    {
        QFETCH(int, stage);
        QFETCH(int, upgrade);
        QFETCH(Steps, steps);
        QFETCH(Outcome, want);
        SimFixture sim; // a window on a simulated machine, cut off from the worker
        Tarnholm w;
        sim::SimDevices devices{sim.world};
        BoxCloser closer;
        QString job, mountPoint;
        QObject::disconnect(&w, &Tarnholm::StartLoadFwThread, nullptr, nullptr);
        QObject::connect(&w, &Tarnholm::StartLoadFwThread, [&job](const fw_info &j) { job = j.disk_path; });
        w.ui.progressBar->setRange(0, 50);
        w.ui.progressBar->setValue(30);
        w.updateStage = stage;
        const auto letter = [&devices](QChar l, int bus, int failingOpens = 0, quint32 queryError = 0) {
            devices.plugVolume({l, bus, failingOpens, false, {21}, queryError}, sim::SimDevices::ByLetter);
        };
        const auto play = [&](Step step) {
            switch (step) {
            case UsbE: return letter('E', 7);
            case SataF: return letter('F', 11);
            case UsbG: return letter('G', 7);
            case UsbH: return letter('H', 7);
            case UsbEThirdOpenUpdateAt1500:
                sim.clock.schedule(1500, [&w]() { w.updateStage = WindowStage::AwaitingDrive; });
                return letter('E', 7, 2);
            case UsbEEleventhOpen: return letter('E', 7, 10);
            case UsbEQueryFails: return letter('E', 7, 0, 1);
            case MountPoint:
                mountPoint = sim.world.volumes.directory(devices.plugVolume({}));
                return;
            case Media: case NoDrive: // a disc in drive E, or a plain volume naming no drive
                return devices.announceVolume(Event::Arrival, step == NoDrive ? 0 : 0x10, step == Media ? 1 : 0);
            case RemoveE: case RemoveF:
                return devices.announceVolume(Event::RemoveComplete,
                                              sim::SimDevices::maskOf(step == RemoveE ? 'E' : 'F'));
            }
        };
        for (int i = 0; i < steps.size(); ++i) {
            if (i == steps.size() - 1)
                g_upgradeStage = upgrade;
            play(steps[i]);
            QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        const auto plain = [&mountPoint](QString text) {
            if (!mountPoint.isEmpty())
                text.replace(mountPoint, "<dir>");
            return text.replace(QRegularExpression("\\d\\d:\\d\\d:\\d\\d"), "hh:mm:ss");
        };
        QVector<int> waits;
        for (const sim::VirtualClock::Sleep &sleep : sim.clock.sleeps())
            waits << int(sleep.ms);
        QCOMPARE(waits, want.waits);
        QCOMPARE(plain(job), want.job);
        QCOMPARE(w.updateStage, want.job.isEmpty() ? stage : int(WindowStage::Copying));
        // The bar starts again from 0 of 100 with the copy, else stays as it was.
        const QProgressBar *bar = w.ui.progressBar;
        QCOMPARE(QString("%1 of %2").arg(bar->value()).arg(bar->maximum()),
                 want.job.isEmpty() ? "30 of 50" : "0 of 100");
        QCOMPARE(plain(w.ui.EditInfo->toPlainText()), want.log);
        QCOMPARE(boxLines(closer.boxes), want.boxes);
        QCOMPARE(sim.world.volumes.openHandles(), 0);
    }
};

QTEST_MAIN(DeviceChange)
#include "tst_device_change.moc"
