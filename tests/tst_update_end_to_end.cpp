// Whole updates on the simulated machine and virtual clock: the click, the
// camera's switch, the copy onto its drive, flash and reboot, the result.
#include "app/tarnholm.h"
#include "platform/sim/demo_world.h"
#include "platform/sim/sim_camera_update.h"
#include "platform/sim/sim_devices.h"
#include "support/sim_fixture.h"

#include <QRegularExpression>
#include <QtTest>

using Fault = sim::SimCameraUpdate::Fault;
Q_DECLARE_METATYPE(Fault)

namespace {

const QString Time = QStringLiteral("\\d\\d:\\d\\d:\\d\\d");

sim::SimDeviceSpec ostrelCamera()
{
    sim::SimDeviceSpec spec;
    spec.friendlyName = QStringLiteral("Ostrel Camera");
    spec.versionBlock = sim::versionBlock(sim::demoCameraFirmware());
    return spec;
}

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool buttonsEnabled(const Tarnholm &w)
{
    return w.ui.BtnLoadFw->isEnabled() && w.ui.BtnFwFile->isEnabled()
        && w.ui.pBtnDeviceInfo->isEnabled();
}

// One camera with its update behaviour, the window on it, and a record of
// what the operator saw.
struct Bench {
    SimFixture sim;
    sim::SimDevices devices{sim.world};
    sim::SimCameraUpdate camera{sim.world, devices};
    int cameraId = sim.world.capture.attach(ostrelCamera());
    Tarnholm w;
    BoxCloser boxes;
    QVector<int> progress;
    QStringList log;             // every line the log showed, though later cleared
    QVector<int> stageAtBox;     // g_upgradeStage while each box was up
    QByteArray flashed;
    bool flashSeen = false;

    Bench()
    {
        QObject::connect(w.ui.progressBar, &QProgressBar::valueChanged,
                         [this](int value) { progress.append(value); });
        QObject::connect(w.ui.EditInfo, &QTextEdit::textChanged, [this]() {
            for (const QString &line : w.ui.EditInfo->toPlainText().split('\n')) {
                if (!line.isEmpty() && !log.contains(line))
                    log.append(line);
            }
        });
        boxes.onBox = [this](const SeenBox &) { stageAtBox.append(g_upgradeStage); };
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

    // The window's events first; the clock is moved on only while no copy
    // job runs, since a running job moves it through its own sleeps.
    bool runUntil(const std::function<bool()> &done)
    {
        for (int i = 0; i < 100000; ++i) {
            QCoreApplication::processEvents();
            if (done())
                return true;
            if (w.updateStage == 2 || !sim.clock.runNext())
                QThread::usleep(100);
        }
        return false;
    }

    bool logged(const QString &pattern) const
    {
        return !log.filter(QRegularExpression("^" + pattern + "$")).isEmpty();
    }
};

} // namespace

class UpdateEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }
    void cleanup() { g_upgradeStage = 0; }

    void wholeUpdate_data()
    {
        QTest::addColumn<QString>("image");   // under samples/, or naming no file
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("infoBefore");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("versionAfter");   // empty: the camera is not back

        const QString newer = QStringLiteral("ostrel-2.2.0.bin");
        const QString same = QStringLiteral("ostrel-2.1.15.bin");
        const QStringList success{"Info: Update Successful"};
        const QStringList unchanged{"Info: Firmware Version Unchanged"};
        QTest::newRow("newer image") << newer << Fault::None << true << success << "2.2.0";
        QTest::newRow("same image") << same << Fault::None << true << unchanged << "2.1.15";
        QTest::newRow("not a firmware image")
            << "make-samples.sh" << Fault::None << true << unchanged << "2.1.15";
        QTest::newRow("no information read before")
            << same << Fault::None << false << success << "2.1.15";
        QTest::newRow("path naming no file") << "missing.bin" << Fault::None << true
                                             << QStringList{"Error: Get Firmware File Error"}
                                             << "";
        QTest::newRow("drive never leaves") << newer << Fault::DriveNeverLeaves << true
                                            << QStringList{"Error: Time Out"} << "";
        QTest::newRow("camera never returns") << newer << Fault::CameraNeverReturns << true
                                              << QStringList{"Error: Time Out"} << "";
        QTest::newRow("drive leaves during the copy")
            << newer << Fault::DriveLeavesDuringCopy << true
            << QStringList{"Error: Transfer Failed", "Error: Write Firmware File Error"} << "";
        // Nothing saved to compare with must not turn a lost copy into a success.
        QTest::newRow("drive leaves during the copy, no information read before")
            << newer << Fault::DriveLeavesDuringCopy << false
            << QStringList{"Error: Transfer Failed", "Error: Write Firmware File Error"} << "";
        QTest::newRow("camera returns under another name")
            << newer << Fault::ReturnsUnderAnotherName << true << unchanged << "2.2.0";
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
        const bool exists = image != QStringLiteral("missing.bin");
        const QString path = exists ? QFINDTESTDATA("../samples/" + image)
                                    : QDir::temp().filePath(image);
        b.w.ui.EditFwFile->setText(QDir::toNativeSeparators(path));
        QCOMPARE(b.w.currentVersion, QStringLiteral("2.1.15"));
        if (!infoBefore) {
            b.w.currentVersion.clear();
            b.w.currentDate.clear();
        }

        b.w.ui.BtnLoadFw->click();
        // Switched: the list emptied, only the wait line, the buttons off.
        QVERIFY(QRegularExpression("^Wait UMS Install\\." + Time + "$")
                    .match(b.w.ui.EditInfo->toPlainText()).hasMatch());
        QCOMPARE(b.w.ui.DeviceList->count(), 0);
        QCOMPARE(int(g_upgradeStage), 1);
        QCOMPARE(b.w.updateStage, 1);
        QVERIFY(!b.w.ui.BtnLoadFw->isEnabled() && !b.w.ui.BtnFwFile->isEnabled()
                && !b.w.ui.pBtnDeviceInfo->isEnabled());
        QCOMPARE(b.sim.world.camera.updateRequests(), QVector<int>{b.cameraId});

        QVERIFY2(b.runUntil([&]() {
            return b.seenBoxes().contains(boxes.last()) && g_upgradeStage == 0
                && b.w.updateStage == 0 && buttonsEnabled(b.w);
        }), qPrintable(b.seenBoxes().join('|')));

        // A box may open inside another one's event loop, so only the set counts.
        QStringList seen = b.seenBoxes(), expected = boxes;
        seen.sort();
        expected.sort();
        QCOMPARE(seen, expected);
        for (const SeenBox &box : b.boxes.boxes)
            QCOMPARE(box.icon, QMessageBox::Information);
        // The result box comes before the window turns idle.
        if (boxes.last().startsWith("Info"))
            QCOMPARE(b.stageAtBox.last(), 5);
        QVERIFY(b.logged("USB Camera Device Remove!"));
        QCOMPARE(b.logged("Write firmware to flash\\." + Time), exists);
        if (exists) {
            // The copy counted 1 to 50 in order.
            const int start = b.progress.indexOf(1);
            QVERIFY(start >= 0 && b.progress.size() >= start + 50);
            for (int i = 0; i < 50; ++i)
                QCOMPARE(b.progress.at(start + i), i + 1);
        }
        QCOMPARE(b.flashSeen, exists && fault != Fault::DriveLeavesDuringCopy);
        if (b.flashSeen)
            QCOMPARE(b.flashed, contentOf(path));

        const int last = b.w.ui.progressBar->value();
        QCOMPARE(b.logged("Reboot\\.\\.\\. " + Time), b.progress.contains(95));
        QCOMPARE(b.progress.contains(95), !versionAfter.isEmpty()
                                              || fault == Fault::CameraNeverReturns);
        if (versionAfter.isEmpty()) {
            QVERIFY(!b.logged("Success .*"));
            if (fault == Fault::DriveLeavesDuringCopy)
                QVERIFY(last == 50 || last == 51);
            else
                QCOMPARE(last, fault == Fault::CameraNeverReturns ? 99 : exists ? 94 : 0);
        } else {
            QCOMPARE(last, 100);
            // The camera's return cleared the log before the success line.
            QVERIFY(QRegularExpression("^USB Camera Device insert\nSuccess " + Time + "$")
                        .match(b.w.ui.EditInfo->toPlainText()).hasMatch());
            QVERIFY(b.w.ui.DeviceInfo->toPlainText().startsWith("Version : " + versionAfter));
        }

        // Whatever the ending, the next Update is accepted.
        if (b.w.ui.DeviceList->count() == 0)
            b.devices.plugCapture(ostrelCamera());
        QVERIFY(b.runUntil([&b]() { return b.w.ui.DeviceList->count() > 0; }));
        b.w.ui.BtnLoadFw->click();
        QVERIFY(b.w.ui.EditInfo->toPlainText().startsWith("Wait UMS Install."));
        QCOMPARE(int(g_upgradeStage), 1);
    }

    void refused_data()
    {
        QTest::addColumn<bool>("initFails");
        QTest::addColumn<QString>("log");
        QTest::newRow("switch refused")
            << false << "Switch USB Camera to USB Mass Storage Device Error.";
        QTest::newRow("initialisation fails") << true << "Initialize Device Error.";
    }

    void refused()
    {
        QFETCH(bool, initFails);
        QFETCH(QString, log);

        Bench b;
        b.w.ui.EditFwFile->setText(QDir::toNativeSeparators(
            QFINDTESTDATA("../samples/ostrel-2.2.0.bin")));
        sim::SimDeviceFaults &faults = b.sim.world.capture.device(b.cameraId)->faults;
        (initFails ? faults.deviceInit : faults.updateFwUms) = 7;
        b.w.ui.BtnLoadFw->click();

        QCOMPARE(b.w.ui.EditInfo->toPlainText(), log);
        QCOMPARE(b.w.updateStage, 0);
        QCOMPARE(int(g_upgradeStage), 0);
        QVERIFY(buttonsEnabled(b.w));
        // Nothing follows: the camera stays a video device.
        b.sim.clock.advance(60000);
        QCoreApplication::processEvents();
        QVERIFY(b.sim.world.capture.attached(b.cameraId));
        QCOMPARE(b.w.ui.DeviceList->count(), 1);
        QVERIFY(b.boxes.boxes.isEmpty());
    }
};

QTEST_MAIN(UpdateEndToEnd)
#include "tst_update_end_to_end.moc"
