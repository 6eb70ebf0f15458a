// Drive and camera arrivals and removals: Windows' records decoded, the bus check
// of an arrived drive, and what the window makes of each event.
#include "app/tarnholm.h"
#include "platform/sim/sim_devices.h"
#include "platform/win/device_change_decoder.h"
#include "platform/win/usb_location.h"
#include "storage/bus_check.h"
#include "update/update_state.h"
#include "support/box_text.h"

#include <QtEndian>
#include <QtTest>

using Event = platform::DeviceEvent;
namespace dc = platform::devicechange;

namespace {

const QString kGuid = QStringLiteral("65E8773D-8F56-11D0-A3B9-00A0C9223196");
const QString kCamera = QStringLiteral("\\\\?\\usb#{65e8773d-8f56-11d0-a3b9-00a0c9223196}");

// Records laid out by hand as Windows sends them: little-endian DWORDs, header first.
QByteArray dwords(std::initializer_list<quint32> values)
{
    QByteArray out(int(4 * values.size()), '\0');
    qToLittleEndian<quint32>(values.begin(), values.size(), out.data());
    return out;
}
// An interface record: class GUID, then all of `name`; `units` of it lie inside dbch_size.
QByteArray iface(int units, const QString &name)
{
    return dwords({quint32(28 + 2 * units), dc::DbtDevtypDeviceInterface, 0, 1, 2, 3, 4})
        + QByteArray(reinterpret_cast<const char *>(name.utf16()), 2 * name.size());
}
// WM_DEVICECHANGE with `wParam` and `record` (none if null) as "event plain? unit mask [name]".
QString decoded(quintptr wParam, const QByteArray &record)
{
    Event e;
    if (!dc::decode(dc::WmDeviceChange, wParam, record.isNull() ? nullptr : record.constData(), &e))
        return "ignored";
    return QString("%1 %2 %3 [%4]").arg(e.type == e.Arrival ? "in" : "out")
        .arg(e.plainVolume() ? "plain" : "-").arg(e.unitMask, 0, 16).arg(e.interfaceName);
}

// One device event as the window receives it.
enum Step {
    UsbE, SataF, UsbG, UsbH, UsbEThirdOpenUpdateAt1500, MountPoint, MediaRecord, NetRecord, NoDriveRecord,
    Webcam, OstrelCamera, RemoveE, RemoveF, RemoveOtherMountPoint, RemoveMountPoint, RemoveCamera
};
using Steps = QVector<Step>;
// What the window made of the steps: bus-check waits, stages, the bar (reset to 0 of 0-100
// or as it was, 30 of 0-50), the log, the boxes and the debug trace.
struct Outcome {
    QVector<int> waits;
    int updateStage, upgradeStage;
    bool barReset;
    QString log, boxes;
    QStringList trace;
};

// A window on a simulated machine, cut off from the worker (the copy is tested elsewhere).
struct Rig {
    SimFixture sim;
    Tarnholm w;
    sim::SimDevices devices{sim.world};
    BoxCloser closer;
    DebugCapture debug;
    QTemporaryFile firmware;
    QVector<QPair<QString, QString>> aliases{{kCamera, "<dev>"}, {kGuid, "GUID"},
        {"USB_Arrived and The USBDisk is: ", "arrived "}, {"This is a usb mass storage", "usb"},
        {"This is not a usb mass storage", "not usb"}};
    int mounted = -1;

    Rig()
    {
        w.updateDeviceName = "Ostrel Camera    ";
        // The job and each refresh (only it removes the marker) go into the trace, in order.
        QObject::disconnect(&w, &Tarnholm::StartLoadFwThread, nullptr, nullptr);
        QObject::connect(&w, &Tarnholm::StartLoadFwThread, [](const fw_info &job) {
            qDebug().noquote() << "[job " + job.fw_file + " > " + job.disk_path + "]";
        });
        QComboBox *list = w.ui.DeviceList;
        QObject::connect(list->model(), &QAbstractItemModel::rowsAboutToBeRemoved, [this]() {
            qDebug().noquote() << QString("[refresh at %1, %2 boxes, log [%3]]")
                .arg(g_upgradeStage.load()).arg(closer.boxes.size()).arg(w.ui.EditInfo->toPlainText());
        });
        const QSignalBlocker quiet(list);
        list->addItem("marker    ");
        // The job copies the firmware taken at the click, whatever the path field says by then.
        w.ui.EditFwFile->setText("/fw/cam 2.bin");
        firmware.open();
        firmware.write("image");
        firmware.close();
        w.firmwareSnapshot.take(firmware.fileName());
        aliases.append({w.firmwareSnapshot.path(), "<snapshot>"});
        w.ui.progressBar->setRange(0, 50);
        w.ui.progressBar->setValue(30);
    }
    QString plain(QString text) const
    {
        for (const auto &alias : aliases)
            text.replace(alias.first, alias.second);
        return text.replace(QRegularExpression("\\d\\d:\\d\\d:\\d\\d"), "hh:mm:ss");
    }
    void play(Step step)
    {
        sim::SimDeviceSpec camera; // any capture device counts, not only the camera
        camera.friendlyName = step == Webcam ? "Integrated Webcam" : "Ostrel Camera";
        const auto letter = [this](QChar l, int bus, int failingOpens = 0) {
            devices.plugVolume({l, bus, failingOpens}, sim::SimDevices::ByLetter);
        };
        switch (step) {
        case UsbE: return letter('E', 7);
        case SataF: return letter('F', 11);
        case UsbG: return letter('G', 7);
        case UsbH: return letter('H', 7);
        case UsbEThirdOpenUpdateAt1500:
            sim.clock.schedule(1500, [this]() { w.updateStage = WindowStage::AwaitingDrive; });
            return letter('E', 7, 2);
        case MountPoint:
            mounted = devices.plugVolume({});
            return aliases.prepend({sim.world.volumes.directory(mounted), "<dir>"});
        case MediaRecord: case NetRecord: case NoDriveRecord: // volume E (or none), flags as the OS sets them
            return devices.announceVolume(Event::Arrival, step == NoDriveRecord ? 0 : 0x10,
                                          step == MediaRecord ? 1 : step == NetRecord ? 2 : 0);
        case Webcam: case OstrelCamera:
            return aliases.prepend({devices.captureInterfaceName(devices.plugCapture(camera)), "<dev>"});
        case RemoveE: case RemoveF:
            return devices.announceVolume(Event::RemoveComplete,
                                          sim::SimDevices::maskOf(step == RemoveE ? 'E' : 'F'));
        case RemoveOtherMountPoint:
            return devices.announceMountPoint(Event::RemoveComplete, "/media/camera");
        case RemoveMountPoint: devices.unplugVolume(mounted); return;
        case RemoveCamera: return devices.announceInterface(Event::RemoveComplete, kCamera);
        }
    }
};

} // namespace

Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(Outcome)

class DeviceChange : public QObject {
    Q_OBJECT
private slots:
    void decode()
    {
        const quintptr in = dc::DbtDeviceArrival, out = dc::DbtDeviceRemoveComplete;
        const QByteArray ef = dwords({20, dc::DbtDevtypVolume, 0, 0x30, 0}); // mask, flags + pad
        const QByteArray disc = dwords({20, dc::DbtDevtypVolume, 0, 0x10, dc::DbtfMedia});
        QCOMPARE(QStringList({decoded(dc::DbtDevnodesChanged, ef),
                              decoded(dc::DbtDeviceQueryRemove, ef), decoded(in, {}),
                              decoded(in, dwords({8, dc::DbtDevtypVolume}))}),
                 QStringList({"ignored", "ignored", "ignored", "ignored"}));
        QCOMPARE(QStringList({decoded(in, ef), decoded(out, disc),
                              decoded(in, iface(7, QString("USB#a") + QChar(0) + "z")),
                              decoded(in, iface(5, "ABCDEFGH")), decoded(out, iface(0, "XY")),
                              // one byte short of its flags: no volume at all
                              decoded(in, dwords({17, dc::DbtDevtypVolume, 0, 0x10, 0}))}),
                 QStringList({"in plain 30 []", "out - 10 []", "in - 0 [USB#a]",
                              "in - 0 [ABCDE]", "out - 0 []", "in - 0 []"}));
    }

    // E and F give E, bit 0 A, bit 25 Z, bits above Z no drive; then GUIDs in a
    // lower-case name in braces, an empty name, another class, Data1 1 zero-filled.
    void freeFunctions()
    {
        QString seen;
        for (const quint32 mask : {0x30u, 0x1u, 1u << 25, 0xFC000000u})
            seen += QLatin1Char(DriveLetterFromMask(mask));
        DebugCapture debug;
        GUID capture = g_captureCategory, one = g_captureCategory;
        one.Data1 = 1;
        for (const bool found : {guid_check(capture, kCamera), guid_check(capture, ""),
                                 guid_check(capture, "{6994AD05-93EF-11D0-A3CC-00A0C9223196}"),
                                 guid_check(one, "x{00000001-8f56-11d0-a3b9-00a0c9223196}")})
            seen += found ? " found" : " not found";
        QCOMPARE(seen, QString("EAZ[ found not found not found found"));
        QCOMPARE(debug.lines(), (QStringList{kGuid, kGuid, kGuid, "00000001" + kGuid.mid(8)}));
    }

    // Location paths as Windows reports them (DEVPKEY_Device_LocationPaths, a string
    // list): the USB port they name. The camera's UVC device and its mass-storage
    // device, other ids on one port, share the paths and so the port.
    void usbLocation_data()
    {
        QTest::addColumn<QString>("list");   // the strings, "|" for each NUL
        QTest::addColumn<QString>("port");
        const QString hub = "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(3)";
        QTest::newRow("device behind a hub") << hub + "||" << hub;
        QTest::newRow("on the root hub") << "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(7)||"
                                         << "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(7)";
        QTest::newRow("an interface's path") << hub + "#USBMI(0)||" << hub;
        QTest::newRow("ACPI path first") << "ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS03)|" + hub + "||"
                                         << hub;
        QTest::newRow("the root hub itself") << "PCIROOT(0)#PCI(1400)#USBROOT(0)||" << "";
        QTest::newRow("no USB in it") << "PCIROOT(0)#PCI(1F02)#ATA(C0T0L0)||" << "";
        QTest::newRow("empty list") << "|" << "";
        // A string without its NUL may be cut short, naming the hub's port: dropped.
        QTest::newRow("no final NULs") << hub << "";
        QTest::newRow("cut short after a whole string") << hub + "|PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)" << hub;
        QTest::newRow("port text split by a NUL") << "PCIROOT(0)#PCI(1400)#USBROOT(0)|#USB(2)||" << "";
    }
    void usbLocation()
    {
        QFETCH(QString, list);
        const QString units = QString(list).replace('|', QChar(0));
        QTEST(platform::usblocation::portFromLocationPaths(
                  platform::usblocation::splitStringList(units.utf16(), units.size())), "port");
    }

    // Instance IDs met walking up from a capture interface or a disk: only a whole
    // USB device carries the port.
    void usbDeviceIds()
    {
        QStringList whole;
        for (const char *id : {"USB\\VID_2E4F&PID_0C01\\5&1A2B3C4D&0&3",
                               "usb\\vid_2e4f&pid_0c01\\OSTREL0001",
                               "USB\\VID_2E4F&PID_0C01&MI_00\\6&2B3C4D5E&0&0000",
                               "USBSTOR\\DISK&VEN_OSTREL&PROD_CAMERA&REV_1.00\\7&1&0",
                               "USB\\ROOT_HUB30\\4&1B2C3D4E&0&0", "SWD\\MMDEVAPI\\X", ""})
            whole << (platform::usblocation::isUsbDevice(QString::fromLatin1(id)) ? "1" : "0");
        // A root hub is a USB device too; its location paths name no port.
        QCOMPARE(whole.join(""), QString("1100100"));
    }

    // Drive E on a bus, opened after some failures (-1: never), its query failing with an
    // error. Drive D must stay unopened; the box shows the last failed open's code.
    void busCheck_data()
    {
        QTest::addColumn<int>("failingOpens");
        QTest::addColumn<quint32>("queryError");
        QTest::addColumn<int>("busType");
        QTest::addColumn<bool>("usb");
        QTest::addColumn<int>("opens");
        QTest::addColumn<int>("waits"); // of one second each
        QTest::addColumn<int>("closes");
        QTest::addColumn<QString>("box");
        const QString box("Error: %1 [information, OK, on TarnholmClass]\n");
        QTest::newRow("third attempt, SD bus") << 2 << 0u << 12 << false << 3 << 2 << 1 << "";
        QTest::newRow("opens on last attempt") << 10 << 0u << 7 << true << 11 << 10 << 1 << "";
        QTest::newRow("never opens") << -1 << 0u << 7 << false << 11 << 10 << 0
            << box.arg("CreateFile error. Error code(2), Path[\\\\.\\E:]");
        QTest::newRow("query fails") << 0 << 1u << 7 << false << 1 << 0 << 1
            << box.arg("DeviceIoControl error. Error code : 1");
    }
    void busCheck()
    {
        QFETCH(int, failingOpens);
        QFETCH(quint32, queryError);
        QFETCH(int, busType);
        SimFixture sim;
        Tarnholm w;
        sim::SimVolumeBus &volumes = sim.world.volumes;
        volumes.mount(sim::SimVolumeSpec{QLatin1Char('D'), 7, 0, false, {21}, 0});
        volumes.mount(sim::SimVolumeSpec{QLatin1Char('E'), busType, qMax(failingOpens, 0),
                                         failingOpens < 0, QVector<quint32>(10, 21) << 2, queryError});
        BoxCloser closer;
        QTEST(w.IsUsbMassStorage(QLatin1Char('E')), "usb");
        int waits = 0;
        for (const auto &s : sim.clock.sleeps())
            waits += s.ms == 1000 ? 1 : 1000;
        QTEST(volumes.openCalls("\\\\.\\E:"), "opens");
        QCOMPARE(volumes.openCalls(), volumes.openCalls("\\\\.\\E:"));
        QTEST(waits, "waits");
        QTEST(volumes.closeCalls(), "closes");
        QTEST(boxLines(closer.boxes), "box");
    }

    // updateStage set first, g_upgradeStage just before the last step.
    void events_data()
    {
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("upgrade");
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<Outcome>("want");
        namespace W = WindowStage;
        namespace U = UpgradeStage;
        const auto arrived = [](const QString &drive, bool usb) {
            return QStringList{"arrived " + drive, usb ? "usb" : "not usb", "-", "GUID"};
        };
        // The drive awaited arrives: its letter or directory in the log, the job on its root.
        const auto copied = [](const QString &drive, const QString &root, QVector<int> waits, int upgrade) {
            return Outcome{waits, W::Copying, upgrade, true, "Write file to " + drive + ", hh:mm:ss", "",
                           {"arrived " + drive, "usb", "[job <snapshot> > " + root + "]", "-", "GUID"}};
        };
        const QString dir = "<dir>" + QString(QDir::separator());
        QTest::newRow("USB while idle") << W::Idle << U::None << Steps{UsbE}
                                        << Outcome{{}, W::Idle, U::None, false, "", "", arrived("E", true)};
        QTest::newRow("USB awaited") << W::AwaitingDrive << U::None << Steps{UsbE}
                                     << copied("E", "E:\\", {1000}, U::None);
        Outcome sataFirst = copied("G", "G:\\", {1000, 1000}, U::None);
        sataFirst.trace = arrived("F", false) + sataFirst.trace + arrived("H", true);
        QTest::newRow("SATA, then two USB") << W::AwaitingDrive << U::None << Steps{SataF, UsbG, UsbH} << sataFirst;
        QTest::newRow("update starts during the check")
            << W::Idle << U::None << Steps{UsbEThirdOpenUpdateAt1500}
            << copied("E", "E:\\", {1000, 1000}, U::None);
        QTest::newRow("mount point") << W::AwaitingDrive << U::None << Steps{MountPoint}
                                     << copied("<dir>", dir, {1000}, U::None);
        for (const auto &ignored : {qMakePair(QString("media"), MediaRecord), qMakePair(QString("net"), NetRecord),
                                    qMakePair(QString("none"), NoDriveRecord)})
            QTest::newRow(qPrintable(ignored.first)) << W::AwaitingDrive << U::None << Steps{ignored.second}
                                         << Outcome{{}, W::AwaitingDrive, U::None, false, "", "", {"-", "GUID"}};
        // Another capture device only refreshes the list; the wait ends once the
        // list holds the updated camera, refreshed before the worker may go on (4 -> 5).
        const QString in = "USB Camera Device insert", out = "USB Camera Device Remove!";
        for (const int upgrade : {U::DriveGone, U::None, U::Copied})
            QTest::addRow("webcam at %d", upgrade) << W::Idle << upgrade << Steps{Webcam}
                << Outcome{{}, W::Idle, upgrade, false, in, "",
                           {"<dev>", "GUID", in + " ", QString("[refresh at %1, 0 boxes, log []]").arg(upgrade)}};
        QTest::newRow("camera of that name at 4") << W::Idle << U::DriveGone << Steps{OstrelCamera}
            << Outcome{{}, W::Idle, U::CameraBack,
            false, in, "", {"<dev>", "GUID", in + " ", "[refresh at 4, 0 boxes, log []]"}};
        // Only the update's own drive leaving breaks the copy.
        const QString box = "Error: Transfer Failed [information, OK, on TarnholmClass]\n";
        const QStringList removed{"Device remove", "USB_Removed", "-", "GUID"};
        QTest::newRow("other mount point out at 2") << W::Idle << U::Copying << Steps{RemoveOtherMountPoint}
                                                    << Outcome{{}, W::Idle, U::Copying, false, "", "", removed};
        Outcome own = copied("<dir>", dir, {1000}, U::Copying);
        own.boxes = box, own.trace += removed;
        QTest::newRow("own mount point out at 2")
            << W::AwaitingDrive << U::Copying << Steps{MountPoint, RemoveMountPoint} << own;
        for (const int upgrade : {U::Copying, U::Copied, U::DriveGone}) {
            own = copied("E", "E:\\", {1000}, upgrade);
            own.boxes = upgrade == U::Copying ? box : "", own.trace += removed;
            QTest::addRow("own volume out at %d", upgrade)
                << W::AwaitingDrive << upgrade << Steps{UsbE, RemoveE} << own;
        }
        own = copied("E", "E:\\", {1000}, U::Copying);
        own.trace += removed;
        QTest::newRow("other volume out at 2") << W::AwaitingDrive << U::Copying << Steps{UsbE, RemoveF} << own;
        // While the copy runs the camera is a drive: a capture device leaving is another.
        for (const int upgrade : {U::Copying, U::DriveGone})
            QTest::addRow("camera out at %d", upgrade) << W::Idle << upgrade << Steps{RemoveCamera}
                << Outcome{{}, W::Idle, upgrade, false, out, "", {"Device remove", "<dev>", "GUID", out,
                           QString("[refresh at %1, 0 boxes, log [%2]]").arg(upgrade).arg(out)}};
    }
    void events()
    {
        QFETCH(int, stage);
        QFETCH(int, upgrade);
        QFETCH(Steps, steps);
        QFETCH(Outcome, want);
        Rig rig;
        rig.w.updateStage = stage;
        for (int i = 0; i < steps.size(); ++i) {
            if (i == steps.size() - 1)
                g_upgradeStage = upgrade;
            rig.play(steps[i]);
            QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        QVector<int> waits;
        for (const sim::VirtualClock::Sleep &sleep : rig.sim.clock.sleeps())
            waits << int(sleep.ms);
        QStringList trace;
        for (const QString &line : rig.debug.lines())
            trace << (line.isEmpty() ? "-" : rig.plain(line));
        const QProgressBar *bar = rig.w.ui.progressBar;
        QCOMPARE(waits, want.waits);
        QCOMPARE(rig.w.updateStage, want.updateStage);
        QCOMPARE(g_upgradeStage.load(), want.upgradeStage);
        QCOMPARE(bar->value(), want.barReset ? 0 : 30);
        QCOMPARE(bar->maximum(), want.barReset ? 100 : 50);
        QCOMPARE(rig.plain(rig.w.ui.EditInfo->toPlainText()), want.log);
        QCOMPARE(rig.plain(boxLines(rig.closer.boxes)), want.boxes);
        QCOMPARE(trace, want.trace);
    }
};

QTEST_MAIN(DeviceChange)
#include "tst_device_change.moc"
