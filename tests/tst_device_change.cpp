#include "app/tarnholm.h"
#include "platform/sim/sim_devices.h"
#include "support/sim_fixture.h"

#include <QSignalSpy>
#include <QtTest>

using platform::DeviceEvent;

namespace {

const QString kCaptureGuid = QStringLiteral("65E8773D-8F56-11D0-A3B9-00A0C9223196");

// A window on a simulated machine, cut off from the worker: these tests look
// at what the window hands over, not at the copy.
struct Rig {
    Rig() : devices(sim.world)
    {
        QObject::disconnect(&w, &Tarnholm::StartLoadFwThread, nullptr, nullptr);
        spy.reset(new QSignalSpy(&w, &Tarnholm::StartLoadFwThread));
        auto *model = w.ui.DeviceList->model();
        QObject::connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, [this]() { noteRefresh(); });
        QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, [this]() { noteRefresh(); });
    }
    ~Rig() { g_upgradeStage = 0; }

    // A list entry that only a refresh removes (no camera in this world has its name).
    void markList()
    {
        const QSignalBlocker quiet(w.ui.DeviceList);
        w.ui.DeviceList->addItem(QStringLiteral("marker    "));
    }
    void noteRefresh() { refreshes << Refresh{g_upgradeStage.load(), log(), closer.boxes.size()}; }
    static void handlePosted()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    // fw_info is registered at run time only, so read it from the variant.
    fw_info job(int i) const
    {
        const QVariant &arg = spy->at(i).at(0);
        if (arg.userType() != QMetaType::type("fw_info"))
            return fw_info();
        return *static_cast<const fw_info *>(arg.constData());
    }
    QString log() const { return w.ui.EditInfo->toPlainText(); }
    sim::SimVolumeSpec volume(char letter, int busType = 7)
    {
        sim::SimVolumeSpec spec;
        spec.letter = QLatin1Char(letter);
        spec.busType = busType;
        return spec;
    }

    struct Refresh { int stage; QString log; int boxes; };
    SimFixture sim;
    Tarnholm w;
    sim::SimDevices devices;
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
        const QString capture = QStringLiteral("\\\\?\\usb#vid_1234&pid_5678#0001#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global");
        QTest::newRow("lower case in braces") << 0x65E8773Du << capture << true << kCaptureGuid;
        QTest::newRow("empty name") << 0x65E8773Du << QString() << false << kCaptureGuid;
        QTest::newRow("other class") << 0x65E8773Du << QStringLiteral("{6994AD05-93EF-11D0-A3CC-00A0C9223196}")
                                     << false << kCaptureGuid;
        QTest::newRow("Data1 zero-filled") << 1u << QStringLiteral("x{00000001-8f56-11d0-a3b9-00a0c9223196}")
                                           << true << QStringLiteral("00000001-8F56-11D0-A3B9-00A0C9223196");
    }
    void guidCheck()
    {
        QFETCH(quint32, data1);
        QFETCH(QString, name);
        GUID guid = g_captureCategory;
        guid.Data1 = data1;
        DebugCapture debug;
        QTEST(guid_check(guid, name), "found");
        QFETCH(QString, traced);
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
        QCOMPARE(rig.debug.lines(), (QStringList{QString(), kCaptureGuid}));
        QCOMPARE(rig.sim.world.volumes.openCalls(), 0);
        QVERIFY(rig.sim.clock.sleeps().isEmpty());
        QCOMPARE(rig.w.updateStage, 1);
        QCOMPARE(rig.closer.boxes.size(), 0);
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
        rig.devices.plugVolume(rig.volume('E', busType), sim::SimDevices::ByLetter);
        Rig::handlePosted();

        QCOMPARE(rig.debug.lines(), (QStringList{QStringLiteral("USB_Arrived and The USBDisk is: E"),
                                                 verdict,
                                                 QString(), kCaptureGuid}));
        QCOMPARE(rig.sim.world.volumes.openCalls(QStringLiteral("\\\\.\\E:")), 1);
        const auto sleeps = rig.sim.clock.sleeps();
        QCOMPARE(sleeps.size(), stage == 1 ? 1 : 0);
        if (stage == 1)
            QCOMPARE(sleeps[0].ms, 1000);
        QCOMPARE(rig.spy->count(), copy ? 1 : 0);
        QCOMPARE(rig.w.updateStage, copy ? 2 : stage);
        if (!copy) {
            QCOMPARE(rig.log(), QString());
            QCOMPARE(rig.w.ui.progressBar->value(), 30);
            return;
        }
        QVERIFY2(QRegularExpression(QStringLiteral("^Write file to E, \\d\\d:\\d\\d:\\d\\d$")).match(rig.log()).hasMatch(),
                 qPrintable(rig.log()));
        QCOMPARE(rig.w.ui.progressBar->minimum(), 0);
        QCOMPARE(rig.w.ui.progressBar->maximum(), 100);
        QCOMPARE(rig.w.ui.progressBar->value(), 0);
        const fw_info info = rig.job(0);
        QCOMPARE(info.fw_file, QStringLiteral("/fw/cam 2.bin"));
        QCOMPARE(info.disk_path, QStringLiteral("E:\\"));
    }

    void onlyFirstUsbVolumeTakesTheCopy()
    {
        Rig rig;
        rig.w.updateStage = 1;
        rig.devices.plugVolume(rig.volume('F', 11), sim::SimDevices::ByLetter);
        Rig::handlePosted();
        QCOMPARE(rig.w.updateStage, 1);
        rig.devices.plugVolume(rig.volume('G'), sim::SimDevices::ByLetter);
        rig.devices.plugVolume(rig.volume('H'), sim::SimDevices::ByLetter);
        Rig::handlePosted();
        QCOMPARE(rig.spy->count(), 1);
        QCOMPARE(rig.job(0).disk_path, QStringLiteral("G:\\"));
        QCOMPARE(rig.log().count(QStringLiteral("Write file to")), 1);
    }

    void stageIsReadAgainAfterTheCheck()
    {
        Rig rig;
        sim::SimVolumeSpec slow = rig.volume('E');
        slow.failingOpens = 2;
        // The update is started while the check still waits for the volume.
        rig.sim.clock.schedule(1500, [&rig]() { rig.w.updateStage = 1; });
        rig.devices.plugVolume(slow, sim::SimDevices::ByLetter);
        Rig::handlePosted();
        QCOMPARE(rig.sim.clock.sleeps().size(), 2);
        QCOMPARE(rig.spy->count(), 1);
        QCOMPARE(rig.w.updateStage, 2);
    }

    void mountPointVolume()
    {
        Rig rig;
        rig.w.updateStage = 1;
        const int id = rig.devices.plugVolume(rig.volume('E'));
        Rig::handlePosted();
        const QString dir = rig.sim.world.volumes.directory(id);
        QCOMPARE(rig.debug.lines().value(0), QStringLiteral("USB_Arrived and The USBDisk is: ") + dir);
        QCOMPARE(rig.sim.world.volumes.openCalls(dir), 1);
        QVERIFY(rig.log().startsWith(QStringLiteral("Write file to %1, ").arg(dir)));
        QCOMPARE(rig.spy->count(), 1);
        const QString root = rig.job(0).disk_path;
        QCOMPARE(root, dir + QDir::separator());
        QVERIFY(QFileInfo(root).isDir());
    }

    void boxDoesNotBlockOtherVolumes()
    {
        Rig rig;
        rig.w.updateStage = 1;
        sim::SimVolumeSpec dead = rig.volume('E');
        dead.neverOpens = true;
        int copiesWhileBoxOpen = -1;
        rig.closer.onBox = [&](const SeenBox &) {
            rig.devices.plugVolume(rig.volume('F'), sim::SimDevices::ByLetter);
            Rig::handlePosted();
            copiesWhileBoxOpen = rig.spy->count();
        };
        rig.devices.plugVolume(dead, sim::SimDevices::ByLetter);
        Rig::handlePosted();
        QCOMPARE(copiesWhileBoxOpen, 1);
        QCOMPARE(rig.spy->count(), 1);
        QCOMPARE(rig.job(0).disk_path, QStringLiteral("F:\\"));
        QCOMPARE(rig.closer.boxes.size(), 1);
        QCOMPARE(rig.w.updateStage, 2);
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
        rig.markList();
        g_upgradeStage = stage;
        sim::SimDeviceSpec spec;
        spec.friendlyName = device;
        const int plug = rig.devices.plugCapture(spec);
        Rig::handlePosted();
        QCOMPARE(rig.refreshes.size(), 1);
        QCOMPARE(rig.refreshes[0].stage, stage);
        QTEST(g_upgradeStage.load(), "after");
        QCOMPARE(rig.log(), QStringLiteral("USB Camera Device insert"));
        QCOMPARE(rig.debug.lines(), (QStringList{rig.devices.captureInterfaceName(plug), kCaptureGuid,
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
        const int id = rig.devices.plugVolume(rig.volume('E'), byLetter ? sim::SimDevices::ByLetter
                                                                          : sim::SimDevices::ByMountPoint);
        Rig::handlePosted();
        rig.debug.clear();
        g_upgradeStage = stage;
        QVERIFY(rig.devices.unplugVolume(id));
        Rig::handlePosted();
        QCOMPARE(rig.debug.lines(), (QStringList{QStringLiteral("Device remove"), QStringLiteral("USB_Removed"),
                                                 QString(), kCaptureGuid}));
        QCOMPARE(rig.closer.boxes.size(), boxes);
        if (boxes) {
            QCOMPARE(rig.closer.boxes[0].text, QStringLiteral("Transfer Failed"));
            QCOMPARE(rig.closer.boxes[0].title, QStringLiteral("Error"));
            QCOMPARE(rig.closer.boxes[0].icon, QMessageBox::Information);
            QCOMPARE(rig.closer.boxes[0].buttons, int(QMessageBox::Ok));
        }
        QCOMPARE(g_upgradeStage.load(), stage);
    }

    void captureRemovalWhileCopying()
    {
        Rig rig;
        const int plug = rig.devices.plugCapture(sim::SimDeviceSpec());
        Rig::handlePosted();
        rig.w.ui.EditInfo->clear();
        rig.debug.clear();
        rig.refreshes.clear();
        rig.markList();
        g_upgradeStage = 2;
        const QString name = rig.devices.captureInterfaceName(plug);
        QVERIFY(rig.devices.unplugCapture(plug));
        Rig::handlePosted();
        QCOMPARE(rig.refreshes.size(), 1);
        QCOMPARE(rig.refreshes[0].log, QStringLiteral("USB Camera Device Remove!"));
        QCOMPARE(rig.refreshes[0].boxes, 0);
        QCOMPARE(rig.closer.boxes.size(), 1);
        QCOMPARE(rig.closer.boxes[0].text, QStringLiteral("Transfer Failed"));
        QCOMPARE(rig.debug.lines(), (QStringList{QStringLiteral("Device remove"), name,
                                                 kCaptureGuid, QStringLiteral("USB Camera Device Remove!")}));
        QCOMPARE(rig.log(), QStringLiteral("USB Camera Device Remove!"));
    }
};

QTEST_MAIN(DeviceChange)
#include "tst_device_change.moc"
