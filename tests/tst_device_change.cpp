#include "app/tarnholm.h"
#include "platform/sim/sim_devices.h"
#include "support/box_text.h"

#include <QSignalSpy>
#include <QtTest>

using platform::DeviceEvent;
using sim::SimDevices;

namespace {

const QString kGuid = QStringLiteral("65E8773D-8F56-11D0-A3B9-00A0C9223196");

// A window on a simulated machine, cut off from the worker: these tests look
// at what the window hands over, not at the copy.
struct Rig {
    Rig() : devices(sim.world)
    {
        QObject::disconnect(&w, &Tarnholm::StartLoadFwThread, nullptr, nullptr);
        spy.reset(new QSignalSpy(&w, &Tarnholm::StartLoadFwThread));
        QObject::connect(w.ui.DeviceList->model(), &QAbstractItemModel::rowsAboutToBeRemoved, [this]() {
            refreshes << QString("stage %1, log [%2], %3 boxes")
                             .arg(g_upgradeStage.load()).arg(log()).arg(closer.boxes.size());
        });
        mark();
    }
    void mark() // an entry that only a refresh removes
    {
        const QSignalBlocker quiet(w.ui.DeviceList);
        w.ui.DeviceList->addItem("marker    ");
    }
    ~Rig() { g_upgradeStage = 0; }

    int plug(char letter, int busType = 7, int failingOpens = 0, SimDevices::Identity id = SimDevices::ByLetter)
    {
        sim::SimVolumeSpec spec;
        spec.letter = QLatin1Char(letter);
        spec.busType = busType;
        spec.failingOpens = failingOpens;
        return devices.plugVolume(spec, id);
    }
    static void handlePosted()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    // fw_info is registered at run time only, so it is read from the variant.
    QString job(int i) const
    {
        const QVariant &arg = spy->at(i).at(0);
        const fw_info *info = static_cast<const fw_info *>(arg.constData());
        return arg.userType() == QMetaType::type("fw_info") ? info->fw_file + " > " + info->disk_path : "?";
    }
    QString log() const { return w.ui.EditInfo->toPlainText(); }

    SimFixture sim;
    Tarnholm w;
    SimDevices devices;
    BoxCloser closer;
    DebugCapture debug;
    std::unique_ptr<QSignalSpy> spy;
    QStringList refreshes; // the state as each refresh began
};

} // namespace

class DeviceChange : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }

    void driveLetterFromMask_data()
    {
        QTest::addColumn<quint32>("mask");
        QTest::addColumn<char>("letter");
        QTest::newRow("E and F") << 0x30u << 'E';
        QTest::newRow("bit 0") << 0x1u << 'A';
        QTest::newRow("bit 25") << (1u << 25) << 'Z';
        QTest::newRow("only bits above Z") << 0xFC000000u << '[';
    }
    void driveLetterFromMask() { QFETCH(quint32, mask); QTEST(DriveLetterFromMask(mask), "letter"); }

    void guidCheck_data()
    {
        QTest::addColumn<quint32>("data1");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::newRow("lower case in braces") << 0x65E8773Du
            << "\\\\?\\usb#vid_1234&pid_5678#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global" << true;
        QTest::newRow("empty name") << 0x65E8773Du << QString() << false;
        QTest::newRow("other class") << 0x65E8773Du << "{6994AD05-93EF-11D0-A3CC-00A0C9223196}" << false;
        QTest::newRow("Data1 zero-filled") << 1u << "x{00000001-8f56-11d0-a3b9-00a0c9223196}" << true;
    }
    void guidCheck()
    {
        QFETCH(quint32, data1);
        QFETCH(QString, name);
        GUID guid = g_captureCategory;
        guid.Data1 = data1;
        DebugCapture debug;
        QTEST(guid_check(guid, name), "found");
        QCOMPARE(debug.lines(), QStringList{QString("%1").arg(data1, 8, 16, QChar('0')).toUpper() + kGuid.mid(8)});
    }

    // Bus types: 7 USB, 11 SATA; flags and masks as the OS sends them.
    void volumeArrival_data()
    {
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("busType");    // -1: a raw record, no volume behind it
        QTest::addColumn<quint32>("mask");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("verdict"); // empty: ignored, no check
        const QString usb = "This is a usb mass storage";
        QTest::newRow("USB while idle") << 0 << 7 << 0u << 0 << usb;
        QTest::newRow("USB while awaited") << 1 << 7 << 0u << 0 << usb;
        QTest::newRow("SATA while awaited") << 1 << 11 << 0u << 0 << "This is not a usb mass storage";
        QTest::newRow("USB while copying") << 2 << 7 << 0u << 0 << usb;
        QTest::newRow("disc inserted") << 1 << -1 << 0x10u << int(DeviceEvent::MediaFlag) << "";
        QTest::newRow("network drive") << 1 << -1 << 0x10u << int(DeviceEvent::NetFlag) << "";
        QTest::newRow("no drive named") << 1 << -1 << 0u << 0 << "";
    }
    void volumeArrival()
    {
        QFETCH(int, stage);
        QFETCH(int, busType);
        QFETCH(quint32, mask);
        QFETCH(int, flags);
        QFETCH(QString, verdict);
        const bool copy = stage == 1 && verdict == "This is a usb mass storage";
        Rig rig;
        rig.w.updateStage = stage;
        rig.w.ui.EditFwFile->setText("/fw/cam 2.bin");
        rig.w.ui.progressBar->setRange(0, 50);
        rig.w.ui.progressBar->setValue(30);
        if (busType < 0)
            rig.devices.announceVolume(DeviceEvent::Arrival, mask, quint16(flags));
        else
            rig.plug('E', busType);
        Rig::handlePosted();

        const QStringList checked{"USB_Arrived and The USBDisk is: E", verdict};
        QCOMPARE(rig.debug.lines(), (verdict.isEmpty() ? QStringList() : checked) + QStringList({QString(), kGuid}));
        QCOMPARE(rig.sim.world.volumes.openCalls("\\\\.\\E:"), verdict.isEmpty() ? 0 : 1);
        QCOMPARE(rig.sim.clock.sleeps().size(), stage == 1 && !verdict.isEmpty() ? 1 : 0);
        QVERIFY(rig.sim.clock.sleeps().isEmpty() || rig.sim.clock.sleeps()[0].ms == 1000);
        QCOMPARE(rig.w.updateStage, copy ? 2 : stage);
        QCOMPARE(rig.spy->count(), copy ? 1 : 0);
        if (!copy) {
            QCOMPARE(rig.log() + QString::number(rig.w.ui.progressBar->value()), QString("30"));
            return;
        }
        QVERIFY2(QRegularExpression("^Write file to E, \\d\\d:\\d\\d:\\d\\d$").match(rig.log()).hasMatch(),
                 qPrintable(rig.log()));
        QCOMPARE(QString("%1 of %2-%3").arg(rig.w.ui.progressBar->value()).arg(rig.w.ui.progressBar->minimum())
                     .arg(rig.w.ui.progressBar->maximum()), QString("0 of 0-100"));
        QCOMPARE(rig.job(0), QString("/fw/cam 2.bin > E:\\"));
    }

    // The first USB volume while the drive is awaited is the camera's, whatever came before.
    void onlyFirstUsbVolumeTakesTheCopy()
    {
        Rig rig;
        rig.w.updateStage = 1;
        rig.plug('F', 11);
        Rig::handlePosted();
        QCOMPARE(rig.w.updateStage, 1);
        rig.plug('G');
        rig.plug('H');
        Rig::handlePosted();
        QCOMPARE(rig.spy->count(), 1);
        QCOMPARE(rig.job(0), QString(" > G:\\"));
        QCOMPARE(rig.log().count("Write file to"), 1);
    }

    void stageIsReadAgainAfterTheCheck()
    {
        Rig rig;
        // The update starts while the check still waits for the volume to open.
        rig.sim.clock.schedule(1500, [&rig]() { rig.w.updateStage = 1; });
        rig.plug('E', 7, 2);
        Rig::handlePosted();
        QCOMPARE(rig.sim.clock.sleeps().size(), 2);
        QCOMPARE(rig.spy->count(), 1);
    }

    void mountPointVolume()
    {
        Rig rig;
        rig.w.updateStage = 1;
        const QString dir = rig.sim.world.volumes.directory(rig.plug('E', 7, 0, SimDevices::ByMountPoint));
        Rig::handlePosted();
        QCOMPARE(rig.debug.lines().value(0), "USB_Arrived and The USBDisk is: " + dir);
        QCOMPARE(rig.sim.world.volumes.openCalls(dir), 1);
        QVERIFY(rig.log().startsWith(QString("Write file to %1, ").arg(dir)));
        QCOMPARE(rig.spy->count(), 1);
        QCOMPARE(rig.job(0), " > " + dir + QDir::separator());
    }

    void captureArrival_data()
    {
        QTest::addColumn<int>("stage");
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("after");
        QTest::newRow("camera back") << 4 << "Ostrel Camera" << 5;
        QTest::newRow("webcam while waiting") << 4 << "Integrated Webcam" << 5;
        QTest::newRow("no update") << 0 << "Ostrel Camera" << 0;
        QTest::newRow("drive still there") << 3 << "Ostrel Camera" << 3;
    }
    void captureArrival()
    {
        QFETCH(int, stage);
        QFETCH(QString, device);
        Rig rig;
        g_upgradeStage = stage;
        sim::SimDeviceSpec spec;
        spec.friendlyName = device;
        const int plug = rig.devices.plugCapture(spec);
        Rig::handlePosted();
        QCOMPARE(rig.refreshes, QStringList{QString("stage %1, log [], 0 boxes").arg(stage)});
        QTEST(g_upgradeStage.load(), "after");
        QCOMPARE(rig.log(), QString("USB Camera Device insert"));
        QCOMPARE(rig.debug.lines(), (QStringList{rig.devices.captureInterfaceName(plug), kGuid,
                                                 "USB Camera Device insert "}));
    }

    void removal_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("boxes");
        QTest::newRow("volume while copying") << "letter" << 2 << 1;
        QTest::newRow("mount point while copying") << "mount point" << 2 << 1;
        QTest::newRow("volume, copy done") << "letter" << 3 << 0;
        QTest::newRow("volume, drive gone") << "letter" << 4 << 0;
        QTest::newRow("camera while copying") << "capture" << 2 << 1;
        QTest::newRow("camera while waiting") << "capture" << 4 << 0;
    }
    void removal()
    {
        QFETCH(QString, device);
        QFETCH(int, stage);
        QFETCH(int, boxes);
        Rig rig;
        const bool capture = device == "capture";
        const int id = capture ? rig.devices.plugCapture(sim::SimDeviceSpec())
                               : rig.plug('E', 7, 0, device == "letter" ? SimDevices::ByLetter : SimDevices::ByMountPoint);
        Rig::handlePosted();
        const QString name = capture ? rig.devices.captureInterfaceName(id) : QString();
        rig.w.ui.EditInfo->clear();
        rig.debug.clear();
        rig.refreshes.clear();
        rig.mark();
        g_upgradeStage = stage;
        QVERIFY(capture ? rig.devices.unplugCapture(id) : rig.devices.unplugVolume(id));
        Rig::handlePosted();
        QCOMPARE(rig.debug.lines(), capture ? QStringList({"Device remove", name,
                                                           kGuid, "USB Camera Device Remove!"})
                                            : QStringList({"Device remove", "USB_Removed", QString(), kGuid}));
        // For a camera: logged, refreshed, and only then the box.
        QCOMPARE(rig.refreshes, capture ? QStringList{QString("stage %1, log [USB Camera Device Remove!], 0 boxes")
                                                          .arg(stage)} : QStringList());
        QCOMPARE(boxLines(rig.closer.boxes),
                 QString("Error: Transfer Failed [information, OK, on TarnholmClass]\n").repeated(boxes));
        QCOMPARE(g_upgradeStage.load(), stage);
    }
};

QTEST_MAIN(DeviceChange)
#include "tst_device_change.moc"
