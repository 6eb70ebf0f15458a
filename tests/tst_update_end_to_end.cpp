// Whole updates on the simulated machine and virtual clock: the click, the
// camera's switch, the copy onto its drive, flash and reboot, the result.
#include "app/tarnholm.h"
#include "platform/sim/demo_world.h"
#include "platform/sim/sim_camera_update.h"
#include "platform/sim/sim_devices.h"
#include "support/sim_fixture.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using Fault = sim::SimCameraUpdate::Fault;
Q_DECLARE_METATYPE(Fault)

namespace {

const QString Time = QStringLiteral("\\d\\d:\\d\\d:\\d\\d");

QString sample(const QString &name)
{
    return QFINDTESTDATA("../samples/" + name);
}

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

sim::SimDeviceSpec ostrelCamera()
{
    sim::SimDeviceSpec spec;
    spec.friendlyName = QStringLiteral("Ostrel Camera");
    spec.versionBlock = sim::versionBlock(sim::demoCameraFirmware());
    return spec;
}

bool buttonsEnabled(const Tarnholm &w)
{
    return w.ui.BtnLoadFw->isEnabled() && w.ui.BtnFwFile->isEnabled()
        && w.ui.pBtnDeviceInfo->isEnabled();
}

// The simulated machine with one camera, its update behaviour, and the
// window on it, plus a record of what the operator saw.
struct Bench {
    SimFixture sim;
    sim::SimDevices devices{sim.world};
    sim::SimCameraUpdate camera{sim.world, devices};
    int cameraId = sim.world.capture.attach(ostrelCamera());
    Tarnholm w;
    BoxCloser boxes;
    QVector<int> progress;
    QStringList logHistory;   // every line the log ever showed, in order
    QByteArray flashed;
    bool flashSeen = false;

    Bench()
    {
        QObject::connect(w.ui.progressBar, &QProgressBar::valueChanged,
                         [this](int value) { progress.append(value); });
        QObject::connect(w.ui.EditInfo, &QTextEdit::textChanged, [this]() {
            const QStringList lines = w.ui.EditInfo->toPlainText().split('\n');
            for (const QString &line : lines) {
                if (!line.isEmpty() && !logHistory.contains(line))
                    logHistory.append(line);
            }
        });
        camera.onFlash = [this](const QByteArray &image) {
            flashed = image;
            flashSeen = true;
        };
    }

    QStringList seenBoxes() const
    {
        QStringList out;
        for (const SeenBox &b : boxes.boxes)
            out << b.title + ": " + b.text;
        return out;
    }

    // Runs the world until `done`: the window's events first; the clock is
    // moved on only while no copy job runs, since a running job moves it
    // through its own sleeps.
    bool runUntil(const std::function<bool()> &done)
    {
        for (int i = 0; i < 100000; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (done())
                return true;
            if (w.updateStage == 2 || !sim.clock.runNext())
                QThread::usleep(100);
        }
        return false;
    }

    bool runUntilIdleAfter(const QString &lastBox)
    {
        return runUntil([this, lastBox]() {
            return seenBoxes().contains(lastBox) && g_upgradeStage == 0 && w.updateStage == 0
                && buttonsEnabled(w);
        });
    }

    bool matches(const QString &pattern) const
    {
        QRegularExpression re("^" + pattern + "$");
        for (const QString &line : logHistory) {
            if (re.match(line).hasMatch())
                return true;
        }
        return false;
    }
};

} // namespace

class UpdateEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }
    void init() { g_upgradeStage = 0; }
    void cleanup() { g_upgradeStage = 0; }

    void wholeUpdate_data()
    {
        QTest::addColumn<QString>("image");   // a sample, or a name of no file
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("infoBefore");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("versionAfter");   // shown for the camera at the end

        const QString newer = QStringLiteral("ostrel-2.2.0.bin");
        const QString same = QStringLiteral("ostrel-2.1.15.bin");
        QTest::newRow("newer image") << newer << Fault::None << true
                                     << QStringList{"Info: Update Successful"}
                                     << "Version : 2.2.0";
        QTest::newRow("same image") << same << Fault::None << true
                                    << QStringList{"Info: Firmware Version Unchanged"}
                                    << "Version : 2.1.15";
        QTest::newRow("no information read before")
            << same << Fault::None << false << QStringList{"Info: Update Successful"}
            << "Version : 2.1.15";
        QTest::newRow("path naming no file")
            << "missing.bin" << Fault::None << true
            << QStringList{"Error: Get Firmware File Error"} << "";
        QTest::newRow("drive never leaves") << newer << Fault::DriveNeverLeaves << true
                                            << QStringList{"Error: Time Out"} << "";
        QTest::newRow("camera never returns") << newer << Fault::CameraNeverReturns << true
                                              << QStringList{"Error: Time Out"} << "";
        QTest::newRow("drive leaves during the copy")
            << newer << Fault::DriveLeavesDuringCopy << true
            << QStringList{"Error: Transfer Failed", "Info: Firmware Version Unchanged"}
            << "Version : 2.1.15";
        QTest::newRow("camera returns under another name")
            << newer << Fault::ReturnsUnderAnotherName << true
            << QStringList{"Info: Firmware Version Unchanged"} << "Version : 2.2.0";
    }

    void wholeUpdate()
    {
        QFETCH(QString, image);
        QFETCH(Fault, fault);
        QFETCH(bool, infoBefore);
        QFETCH(QStringList, boxes);
        QFETCH(QString, versionAfter);

        Bench b;
        b.camera.fault = fault;
        const bool exists = image.startsWith(QStringLiteral("ostrel-"));
        const QString path = exists ? sample(image) : QDir::temp().filePath(image);
        b.w.ui.EditFwFile->setText(QDir::toNativeSeparators(path));
        QCOMPARE(b.w.ui.DeviceList->count(), 1);
        QCOMPARE(b.w.currentVersion, QStringLiteral("2.1.15"));
        if (!infoBefore) {
            b.w.currentVersion.clear();
            b.w.currentDate.clear();
        }

        b.w.ui.BtnLoadFw->click();
        // Switched: waiting for the drive with the buttons off.
        QVERIFY2(QRegularExpression("^Wait UMS Install\\." + Time + "$")
                     .match(b.w.ui.EditInfo->toPlainText()).hasMatch(),
                 qPrintable(b.w.ui.EditInfo->toPlainText()));
        QCOMPARE(b.w.ui.DeviceList->count(), 0);
        QCOMPARE(int(g_upgradeStage), 1);
        QCOMPARE(b.w.updateStage, 1);
        QVERIFY(!b.w.ui.BtnLoadFw->isEnabled() && !b.w.ui.BtnFwFile->isEnabled()
                && !b.w.ui.pBtnDeviceInfo->isEnabled());
        QVERIFY(b.w.ui.EditFwFile->isEnabled() && !b.w.ui.EditFwFile->isReadOnly());
        QCOMPARE(b.sim.world.camera.updateRequests(), QVector<int>{b.cameraId});

        QVERIFY2(b.runUntilIdleAfter(boxes.last()), qPrintable(b.seenBoxes().join('|')));

        QCOMPARE(b.seenBoxes(), boxes);
        for (const SeenBox &box : b.boxes.boxes) {
            QCOMPARE(box.icon, QMessageBox::Information);
            QCOMPARE(box.buttons, int(QMessageBox::Ok));
        }
        QCOMPARE(b.w.updateStage, 0);
        QCOMPARE(int(g_upgradeStage), 0);
        QVERIFY(buttonsEnabled(b.w));
        QVERIFY(b.matches("USB Camera Device Remove!"));

        const int last = b.w.ui.progressBar->value();
        if (!exists) {
            // The worker refused the file before writing anything.
            QVERIFY(!b.flashSeen);
            QVERIFY(!b.matches("Write firmware to flash.*"));
            QCOMPARE(last, 0);
        } else {
            // The copy counted 1 to 50 in order, with the flash line at 50.
            const int start = b.progress.indexOf(1);
            QVERIFY(start >= 0);
            QVERIFY(b.progress.mid(start).size() >= 50);
            for (int i = 0; i < 50; ++i)
                QCOMPARE(b.progress.at(start + i), i + 1);
            QVERIFY(b.matches("Write firmware to flash\\." + Time));
            QVERIFY(b.matches("Waiting\\.\\.\\."));
        }
        if (fault == Fault::DriveLeavesDuringCopy || !exists)
            QVERIFY(!b.flashSeen);
        else if (exists)
            QCOMPARE(b.flashed, contentOf(path));

        if (!versionAfter.isEmpty()) {
            // The camera is back: 95 with the reboot line, then 100 with success.
            QVERIFY(b.progress.contains(95));
            QVERIFY(b.matches("Reboot\\.\\.\\. " + Time));
            QCOMPARE(last, 100);
            QVERIFY(b.matches("USB Camera Device insert"));
            QVERIFY2(QRegularExpression("(^|\n)Success " + Time + "$")
                         .match(b.w.ui.EditInfo->toPlainText()).hasMatch(),
                     qPrintable(b.w.ui.EditInfo->toPlainText()));
            QVERIFY(b.w.ui.DeviceInfo->toPlainText().startsWith(versionAfter));
        } else {
            QVERIFY(!b.matches("Success .*"));
        }
        if (fault == Fault::DriveNeverLeaves)
            QVERIFY(!b.progress.contains(95));
        if (fault == Fault::CameraNeverReturns) {
            QVERIFY(b.progress.contains(95));
            QCOMPARE(last, 99);
        }

        // Whatever the ending, the next Update is accepted.
        if (b.w.ui.DeviceList->count() == 0)
            b.devices.plugCapture(ostrelCamera());
        QVERIFY(b.runUntil([&b]() { return b.w.ui.DeviceList->count() > 0; }));
        b.w.ui.BtnLoadFw->click();
        QVERIFY2(QRegularExpression("^Wait UMS Install\\." + Time + "$")
                     .match(b.w.ui.EditInfo->toPlainText()).hasMatch(),
                 qPrintable(b.w.ui.EditInfo->toPlainText()));
        QCOMPARE(int(g_upgradeStage), 1);
    }

    void refused_data()
    {
        QTest::addColumn<bool>("initFails");
        QTest::addColumn<QString>("log");
        QTest::newRow("switch refused") << false
                                        << "Switch USB Camera to USB Mass Storage Device Error.";
        QTest::newRow("initialisation fails") << true << "Initialize Device Error.";
    }

    void refused()
    {
        QFETCH(bool, initFails);
        QFETCH(QString, log);

        Bench b;
        b.w.ui.EditFwFile->setText(QDir::toNativeSeparators(sample("ostrel-2.2.0.bin")));
        sim::SimDeviceFaults &faults = b.sim.world.capture.device(b.cameraId)->faults;
        if (initFails)
            faults.deviceInit = 7;
        else
            faults.updateFwUms = 7;
        b.w.ui.BtnLoadFw->click();

        QCOMPARE(b.w.ui.EditInfo->toPlainText(), log);
        QCOMPARE(b.w.updateStage, 0);
        QCOMPARE(int(g_upgradeStage), 0);
        QVERIFY(buttonsEnabled(b.w));
        QCOMPARE(b.w.ui.DeviceList->count(), 1);
        // Nothing happens afterwards: the camera stays as it is.
        b.sim.clock.advance(60000);
        QCoreApplication::processEvents();
        QVERIFY(b.sim.world.capture.attached(b.cameraId));
        QCOMPARE(b.sim.world.volumes.openCalls(), 0);
        QVERIFY(b.boxes.boxes.isEmpty());
    }
};

QTEST_MAIN(UpdateEndToEnd)
#include "tst_update_end_to_end.moc"
