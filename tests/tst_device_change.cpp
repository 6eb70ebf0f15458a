#include "app/tarnholm.h"
#include "platform/sim/sim_devices.h"
#include "support/sim_fixture.h"

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
            refreshes << Refresh{g_upgradeStage.load(), log(), closer.boxes.size()};
        });
        mark();
    }
    ~Rig() { g_upgradeStage = 0; }

    // An entry that only a refresh removes; no simulated camera has its name.
    void mark()
    {
        const QSignalBlocker quiet(w.ui.DeviceList);
        w.ui.DeviceList->addItem(QStringLiteral("marker    "));
    }

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
    fw_info job(int i) const
    {
        const QVariant &arg = spy->at(i).at(0);
        return arg.userType() == QMetaType::type("fw_info") ? *static_cast<const fw_info *>(arg.constData())
                                                             : fw_info();
    }
    QString log() const { return w.ui.EditInfo->toPlainText(); }

    struct Refresh { int stage; QString log; int boxes; };
    SimFixture sim;
    Tarnholm w;
    SimDevices devices;
    BoxCloser closer;
    DebugCapture debug;
    std::unique_ptr<QSignalSpy> spy;
    QVector<Refresh> refreshes;
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
        QTest::newRow("none") << 0u << '[';
        QTest::newRow("only bits above Z") << 0xFC000000u << '[';
    }
    void driveLetterFromMask()
    {
        QFETCH(quint32, mask);
        QTEST(DriveLetterFromMask(mask), "letter");
    }

    void guidCheck_data()
    {
        QTest::addColumn<quint32>("data1");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("traced");
        QTest::newRow("lower case in braces") << 0x65E8773Du
            << "\\\\?\\usb#vid_1234&pid_5678#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global" << true << kGuid;
        QTest::newRow("empty name") << 0x65E8773Du << QString() << false << kGuid;
        QTest::newRow("other class") << 0x65E8773Du << "{6994AD05-93EF-11D0-A3CC-00A0C9223196}" << false << kGuid;
        QTest::newRow("Data1 zero-filled") << 1u << "x{00000001-8f56-11d0-a3b9-00a0c9223196}" << true
                                           << "00000001-8F56-11D0-A3B9-00A0C9223196";
    }
    void guidCheck()
    {
        QFETCH(quint32, data1);
        QFETCH(QString, name);
        QFETCH(QString, traced);
        GUID guid = g_captureCategory;
        guid.Data1 = data1;
        DebugCapture debug;
        QTEST(guid_check(guid, name), "found");
        QCOMPARE(debug.lines(), QStringList{traced});
    }

    void ignoredVolumeRecords_data()
    {
        QTest::addColumn<quint32>("mask");
        QTest::addColumn<int>("flags");
        QTest::newRow("disc inserted") << 0x10u << int(DeviceEvent::MediaFlag);
        QTest::newRow("network drive") << 0x10u << int(DeviceEvent::NetFlag);
        QTest::newRow("no drive named") << 0u << 0;
    }
    void ignoredVolumeRecords()
    {
        QFETCH(quint32, mask);
        QFETCH(int, flags);
        Rig rig;
        rig.w.updateStage = 1;
        rig.devices.announceVolume(DeviceEvent::Arrival, mask, quint16(flags));
        Rig::handlePosted();
        QCOMPARE(rig.debug.lines(), (QStringList{QString(), kGuid}));
        QCOMPARE(rig.sim.world.volumes.openCalls(), 0);
        QVERIFY(rig.sim.clock.sleeps().isEmpty());
        QCOMPARE(rig.w.updateStage, 1);
    }

    void volumeArrival_data()
    {
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("busType");
        QTest::addColumn<bool>("copy");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("USB while idle") << 0 << 7 << false << "This is a usb mass storage";
        QTest::newRow("USB while awaited") << 1 << 7 << true << "This is a usb mass storage";
        QTest::newRow("SATA while awaited") << 1 << 11 << false << "This is not a usb mass storage";
        QTest::newRow("USB while copying") << 2 << 7 << false << "This is a usb mass storage";
    }
    void volumeArrival()
    {
        QFETCH(int, stage);
        QFETCH(int, busType);
        QFETCH(bool, copy);
        QFETCH(QString, verdict);
        Rig rig;
        rig.w.updateStage = stage;
        rig.w.ui.EditFwFile->setText(QStringLiteral("/fw/cam 2.bin"));
        rig.w.ui.progressBar->setRange(0, 50);
        rig.w.ui.progressBar->setValue(30);
        rig.plug('E', busType);
        Rig::handlePosted();

        QCOMPARE(rig.debug.lines(),
                 (QStringList{QStringLiteral("USB_Arrived and The USBDisk is: E"), verdict, QString(), kGuid}));
        QCOMPARE(rig.sim.world.volumes.openCalls(QStringLiteral("\\\\.\\E:")), 1);
        const auto sleeps = rig.sim.clock.sleeps();
        QCOMPARE(sleeps.size(), stage == 1 ? 1 : 0);
        QVERIFY(sleeps.isEmpty() || sleeps[0].ms == 1000);
        QCOMPARE(rig.spy->count(), copy ? 1 : 0);
        QCOMPARE(rig.w.updateStage, copy ? 2 : stage);
        QCOMPARE(rig.w.ui.progressBar->value(), copy ? 0 : 30);
        if (!copy) {
            QCOMPARE(rig.log(), QString());
            return;
        }
        QVERIFY2(QRegularExpression(QStringLiteral("^Write file to E, \\d\\d:\\d\\d:\\d\\d$")).match(rig.log()).hasMatch(),
                 qPrintable(rig.log()));
        QCOMPARE(rig.w.ui.progressBar->maximum(), 100);
        QCOMPARE(rig.w.ui.progressBar->minimum(), 0);
        QCOMPARE(rig.job(0).fw_file, QStringLiteral("/fw/cam 2.bin"));
        QCOMPARE(rig.job(0).disk_path, QStringLiteral("E:\\"));
    }

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
        QCOMPARE(rig.job(0).disk_path, QStringLiteral("G:\\"));
        QCOMPARE(rig.log().count(QStringLiteral("Write file to")), 1);
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
        QCOMPARE(rig.w.updateStage, 2);
    }

    void mountPointVolume()
    {
        Rig rig;
        rig.w.updateStage = 1;
        const QString dir = rig.sim.world.volumes.directory(rig.plug('E', 7, 0, SimDevices::ByMountPoint));
        Rig::handlePosted();
        QCOMPARE(rig.debug.lines().value(0), QStringLiteral("USB_Arrived and The USBDisk is: ") + dir);
        QCOMPARE(rig.sim.world.volumes.openCalls(dir), 1);
        QVERIFY(rig.log().startsWith(QStringLiteral("Write file to %1, ").arg(dir)));
        QCOMPARE(rig.spy->count(), 1);
        QCOMPARE(rig.job(0).disk_path, dir + QDir::separator());
        QVERIFY(QFileInfo(rig.job(0).disk_path).isDir());
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
        QCOMPARE(rig.refreshes.size(), 1);
        QCOMPARE(rig.refreshes[0].stage, stage);
        QTEST(g_upgradeStage.load(), "after");
        QCOMPARE(rig.log(), QStringLiteral("USB Camera Device insert"));
        QCOMPARE(rig.debug.lines(), (QStringList{rig.devices.captureInterfaceName(plug), kGuid,
                                                 QStringLiteral("USB Camera Device insert ")}));
    }

    void volumeRemoval_data()
    {
        QTest::addColumn<int>("stage");
        QTest::addColumn<bool>("byLetter");
        QTest::addColumn<int>("boxes");
        QTest::newRow("copying") << 2 << true << 1;
        QTest::newRow("copying, mount point") << 2 << false << 1;
        QTest::newRow("copy done") << 3 << true << 0;
        QTest::newRow("drive gone") << 4 << true << 0;
    }
    void volumeRemoval()
    {
        QFETCH(int, stage);
        QFETCH(bool, byLetter);
        QFETCH(int, boxes);
        Rig rig;
        const int id = rig.plug('E', 7, 0, byLetter ? SimDevices::ByLetter : SimDevices::ByMountPoint);
        Rig::handlePosted();
        rig.debug.clear();
        g_upgradeStage = stage;
        QVERIFY(rig.devices.unplugVolume(id));
        Rig::handlePosted();
        QCOMPARE(rig.debug.lines(),
                 (QStringList{QStringLiteral("Device remove"), QStringLiteral("USB_Removed"), QString(), kGuid}));
        QCOMPARE(rig.closer.boxes.size(), boxes);
        for (const SeenBox &box : rig.closer.boxes) {
            QCOMPARE(box.text, QStringLiteral("Transfer Failed"));
            QCOMPARE(box.title, QStringLiteral("Error"));
            QCOMPARE(box.icon, QMessageBox::Information);
            QCOMPARE(box.buttons, int(QMessageBox::Ok));
        }
        QCOMPARE(g_upgradeStage.load(), stage);
    }

    void captureRemovalWhileCopying()
    {
        Rig rig;
        const int plug = rig.devices.plugCapture(sim::SimDeviceSpec());
        Rig::handlePosted();
        const QString name = rig.devices.captureInterfaceName(plug);
        rig.w.ui.EditInfo->clear();
        rig.debug.clear();
        rig.refreshes.clear();
        rig.mark();
        g_upgradeStage = 2;
        QVERIFY(rig.devices.unplugCapture(plug));
        Rig::handlePosted();
        QCOMPARE(rig.refreshes.size(), 1);
        QCOMPARE(rig.refreshes[0].log, QStringLiteral("USB Camera Device Remove!"));
        QCOMPARE(rig.refreshes[0].boxes, 0);
        QCOMPARE(rig.closer.boxes.size(), 1);
        QCOMPARE(rig.closer.boxes[0].text, QStringLiteral("Transfer Failed"));
        QCOMPARE(rig.debug.lines(), (QStringList{QStringLiteral("Device remove"), name, kGuid,
                                                 QStringLiteral("USB Camera Device Remove!")}));
    }
};

QTEST_MAIN(DeviceChange)
#include "tst_device_change.moc"
