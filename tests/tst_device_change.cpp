// Drive and camera arrivals and removals: Windows' records decoded, the bus check
// of an arrived drive, and what the window makes of each event.
#include "app/tarnholm.h"
#include "platform/sim/sim_devices.h"
#include "platform/win/device_change_decoder.h"
#include "platform/win/usb_location.h"
#include "storage/bus_check.h"
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
    // Plays the steps; returns what the operator saw and the trace, unchanged parts left out.
    QString run(const QString &script)
    {
        for (const QString &step : script.split(", ")) {
            play(step);
            QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        QStringList trace = debug.lines(), waits;
        for (const sim::VirtualClock::Sleep &sleep : sim.clock.sleeps())
            waits << QString::number(sleep.ms);
        const QProgressBar *bar = w.ui.progressBar;
        QStringList lines{"waits [" + waits.join(", ") + "]",
                          QString("stages %1/%2").arg(w.updateStage).arg(g_upgradeStage.load()),
                          QString("bar %1 of %2-%3").arg(bar->value()).arg(bar->minimum())
                              .arg(bar->maximum()), "log [" + w.ui.EditInfo->toPlainText() + "]"};
        lines << boxLines(closer.boxes).split('\n', Qt::SkipEmptyParts)
              << trace.replaceInStrings(QRegularExpression("^$"), "-").join(", ");
        for (const char *unchanged : {"waits []", "bar 30 of 0-50", "log []"})
            lines.removeAll(unchanged);
        QString text = lines.join('\n');
        for (const auto &alias : aliases)
            text.replace(alias.first, alias.second);
        return text.replace(QRegularExpression("\\d\\d:\\d\\d:\\d\\d"), "hh:mm:ss");
    }
    // Plays one step of a script: "stage:1" sets updateStage, "upgrade:4" g_upgradeStage;
    // "E7" volume E arrives on bus 7 (USB; 11 is SATA), "E7x2" its first two opens fail,
    // "mount" a USB volume known by its mount point, "media"/"net" records with that
    // flag, "none" one naming no drive, "cam" a webcam arrives, "ostrel" a camera named
    // as the updated one, "-E"/"-mount" (/media/camera)/"-mounted" (the one plugged by
    // "mount")/"-cam" removals, "stage1@1500" the update starting while the bus check waits.
    void play(const QString &step)
    {
        sim::SimDeviceSpec webcam, ostrel; // any capture device counts, not only the camera
        webcam.friendlyName = "Integrated Webcam";
        ostrel.friendlyName = "Ostrel Camera";
        if (step.startsWith("stage:"))
            w.updateStage = step.mid(6).toInt();
        else if (step.startsWith("upgrade:"))
            g_upgradeStage = step.mid(8).toInt();
        else if (step == "stage1@1500")
            sim.clock.schedule(1500, [this]() { w.updateStage = 1; });
        else if (step == "mount")
            aliases.prepend({sim.world.volumes.directory(mounted = devices.plugVolume({})), "<dir>"});
        else if (step.startsWith("-") && step.size() == 2 && step[1].isUpper())
            devices.announceVolume(Event::RemoveComplete, sim::SimDevices::maskOf(step[1]));
        else if (step[0].isUpper())
            devices.plugVolume({step[0], step.mid(1).section('x', 0, 0).toInt(),
                                step.section('x', 1).toInt()}, sim::SimDevices::ByLetter);
        else if (step == "cam" || step == "ostrel")
            aliases.prepend({devices.captureInterfaceName(devices.plugCapture(
                                 step == "cam" ? webcam : ostrel)), "<dev>"});
        else if (step == "-mounted")
            devices.unplugVolume(mounted);
        else if (step == "-cam")
            devices.announceInterface(Event::RemoveComplete, kCamera);
        else if (step == "-mount")
            devices.announceMountPoint(Event::RemoveComplete, "/media/camera");
        else // a record for volume E (or none), flags as the OS sets them
            devices.announceVolume(Event::Arrival, step == "none" ? 0 : 0x10,
                                   step == "media" ? 1 : step == "net" ? 2 : 0);
    }
};

} // namespace

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
    // error: "usb?, opens (of E), one-second waits, closes | boxes". Drive D must stay
    // unopened; the box shows the last failed open's code.
    void busCheck_data()
    {
        QTest::addColumn<int>("failingOpens");
        QTest::addColumn<quint32>("queryError");
        QTest::addColumn<int>("busType");
        QTest::addColumn<QString>("seen");
        const QString box(" | Error: %1 [information, OK, on TarnholmClass]\n");
        QTest::newRow("third attempt, SD bus")
            << 2 << 0u << 12 << "usb 0, opens 3 (3), waits 2, closes 1 | ";
        QTest::newRow("opens on last attempt")
            << 10 << 0u << 7 << "usb 1, opens 11 (11), waits 10, closes 1 | ";
        QTest::newRow("never opens") << -1 << 0u << 7 << "usb 0, opens 11 (11), waits 10, closes 0"
            + box.arg("CreateFile error. Error code(2), Path[\\\\.\\E:]");
        QTest::newRow("query fails") << 0 << 1u << 7 << "usb 0, opens 1 (1), waits 0, closes 1"
            + box.arg("DeviceIoControl error. Error code : 1");
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
        const bool usb = w.IsUsbMassStorage(QLatin1Char('E'));
        int waits = 0;   // of one second each
        for (const auto &s : sim.clock.sleeps())
            waits += s.ms == 1000 ? 1 : 1000;
        QTEST(QString("usb %1, opens %2 (%3), waits %4, closes %5 | ").arg(usb)
                  .arg(volumes.openCalls()).arg(volumes.openCalls("\\\\.\\E:")).arg(waits)
                  .arg(volumes.closeCalls()) + boxLines(closer.boxes), "seen");
    }

    // Scripts as Rig::play reads them. Outcome "stages 2/0": updateStage 2, g_upgradeStage 0.
    void events_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("outcome");
        auto row = [](const QString &name, const QString &script, const QString &outcome) {
            QTest::newRow(qPrintable(name)) << script << outcome;
        };
        const QString usb = "arrived %1, usb, -, GUID", sata = "arrived F, not usb, -, GUID, ";
        const QString copied = "waits [%1]\nstages 2/0\nbar 0 of 0-100\n"
                               "log [Write file to %2, hh:mm:ss]\n"
                               "%4arrived %2, usb, [job <snapshot> > %3], -, GUID";
        const QString dir = "<dir>" + QString(QDir::separator());
        row("USB while idle", "E7", "stages 0/0\n" + usb.arg("E"));
        row("USB awaited", "stage:1, E7", copied.arg("1000", "E", "E:\\", ""));
        row("SATA, then two USB", "stage:1, F11, G7, H7",
            copied.arg("1000, 1000", "G", "G:\\", sata) + ", " + usb.arg("H"));
        row("update starts during the check", "stage1@1500, E7x2",
            copied.arg("1000, 1000", "E", "E:\\", ""));
        row("mount point", "stage:1, mount", copied.arg("1000", "<dir>", dir, ""));
        for (const char *ignored : {"media", "net", "none"})
            row(ignored, QString("stage:1, ") + ignored, "stages 1/0\n-, GUID");
        // Another capture device only refreshes the list; the wait ends once the
        // list holds the updated camera, refreshed before the worker may go on (4 -> 5).
        const QString webcamIn = "stages 0/%1\nlog [USB Camera Device insert]\n<dev>, GUID, "
                                 "USB Camera Device insert , [refresh at %1, 0 boxes, log []]";
        for (const int upgrade : {4, 0, 3}) // awaited after the copy, no update, drive still there
            row(QString("webcam at %1").arg(upgrade), QString("upgrade:%1, cam").arg(upgrade),
                webcamIn.arg(upgrade));
        row("camera of that name at 4", "upgrade:4, ostrel", "stages 0/5\nlog [USB Camera Device insert]\n"
            "<dev>, GUID, USB Camera Device insert , [refresh at 4, 0 boxes, log []]");
        // Only the update's own drive leaving breaks the copy.
        const QString box = "Error: Transfer Failed [information, OK, on TarnholmClass]\n";
        const QString ownE = copied.arg("1000", "E", "E:\\", "").replace("stages 2/0", "stages 2/%1")
            + ", Device remove, USB_Removed, -, GUID";
        const QString volumeOut = "stages 0/%1\n%2Device remove, USB_Removed, -, GUID";
        row("other mount point out at 2", "upgrade:2, -mount", volumeOut.arg(2).arg(""));
        row("own mount point out at 2", "stage:1, mount, upgrade:2, -mounted",
            copied.arg("1000", "<dir>", dir, "").replace("stages 2/0", "stages 2/2")
                    .replace("]\narrived", "]\n" + box + "arrived")
                + ", Device remove, USB_Removed, -, GUID");
        for (const int upgrade : {2, 3, 4}) // copying, copy done, drive gone
            row(QString("own volume out at %1").arg(upgrade),
                QString("stage:1, E7, upgrade:%1, -E").arg(upgrade),
                ownE.arg(upgrade).replace("]\narrived", upgrade == 2 ? "]\n" + box + "arrived" : "]\narrived"));
        row("other volume out at 2", "stage:1, E7, upgrade:2, -F", ownE.arg(2));
        const QString cameraOut = "stages 0/%1\nlog [USB Camera Device Remove!]\nDevice remove, "
                                  "<dev>, GUID, USB Camera Device Remove!, "
                                  "[refresh at %1, 0 boxes, log [USB Camera Device Remove!]]";
        // While the copy runs the camera is a drive: a capture device leaving is another.
        for (const int upgrade : {2, 4})
            row(QString("camera out at %1").arg(upgrade), QString("upgrade:%1, -cam").arg(upgrade),
                cameraOut.arg(upgrade));
    }
    void events()
    {
        QFETCH(QString, script);
        QTEST(Rig().run(script), "outcome");
    }
};

QTEST_MAIN(DeviceChange)
#include "tst_device_change.moc"
