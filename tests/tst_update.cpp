// Updates: the window's side on its own (where the Update click stops, the worker's
// codes, the file dialog), then whole updates on the simulated machine and clock.
#include "app/tarnholm.h"
#include "platform/gui_thread.h"
#include "platform/sim/demo_panel.h"
#include "platform/sim/demo_world.h"
#include "platform/sim/sim_camera_update.h"
#include "platform/sim/sim_devices.h"
#include "update/update_state.h"
#include "support/box_text.h"
#include "support/unreadable_file.h"

#include <QFileDialog>
#include <QRegularExpression>
#include <QtTest>
#ifndef _WIN32
#include <sys/stat.h>
#endif

using Action = std::function<void(Tarnholm &)>;
Q_DECLARE_METATYPE(Action)
using Fault = sim::SimCameraUpdate::Fault;
using Phase = sim::SimCameraUpdate::Phase;

// An Update click with this camera item (invalid: none) and firmware path.
static Action click(const QVariant &item, const QString &path)
{
    return [=](Tarnholm &w) {
        if (item.isValid())
            w.ui.DeviceList->addItem(QStringLiteral("Ostrel Camera    "), item);
        w.ui.EditFwFile->setText(path);
        w.ui.BtnLoadFw->setEnabled(true);
        w.ui.BtnLoadFw->click();
    };
}
static Action code(int state) { return [=](Tarnholm &w) { w.HandleWorkerTheardState(state); }; }

// What the operator sees: the boxes (sorted: one may open in another's event loop), the log,
// the bar, both stages, the Update, Firmware and Version buttons ("1" for each that is on),
// the cameras listed, and the keep-awake hold as the simulated system saw it.
struct Seen {
    QStringList boxes;
    QString log;
    int bar, upgradeStage, updateStage;
    QString buttons;
    int cameras;
    bool held = false;
    int taken = 0, givenUp = 0;
};
Q_DECLARE_METATYPE(Seen)

static Seen seenOn(const Tarnholm &w, const SimFixture &sim, const BoxCloser &closer, const QString &log)
{
    const auto on = [](const QWidget *b) { return QLatin1Char(b->isEnabled() ? '1' : '0'); };
    QStringList boxes = boxLines(closer.boxes).split('\n', Qt::SkipEmptyParts);
    boxes.sort();
    const sim::SimKeepAwake &awake = sim.world.awake;
    return {boxes, log, w.ui.progressBar->value(), g_upgradeStage.load(), w.updateStage,
            QString() + on(w.ui.BtnLoadFw) + on(w.ui.BtnFwFile) + on(w.ui.pBtnDeviceInfo),
            w.ui.DeviceList->count(), awake.held(), awake.acquires, awake.releases};
}

// Field by field, so that a failing row says which one differed.
#define COMPARE_SEEN(actual, expected) \
    do { \
        const Seen got = actual, wanted = expected; \
        QCOMPARE(got.boxes, wanted.boxes); \
        QCOMPARE(got.log, wanted.log); \
        QCOMPARE(got.bar, wanted.bar); \
        QCOMPARE(got.upgradeStage, wanted.upgradeStage); \
        QCOMPARE(got.updateStage, wanted.updateStage); \
        QCOMPARE(got.buttons, wanted.buttons); \
        QCOMPARE(got.cameras, wanted.cameras); \
        QCOMPARE(got.held, wanted.held); \
        QCOMPARE(got.taken, wanted.taken); \
        QCOMPARE(got.givenUp, wanted.givenUp); \
    } while (false)

// An ended update: idle, the buttons on, the hold given back if taken, the camera listed
// unless it left and was not seen back.
static Seen ended(QStringList boxes, const QString &log, int bar, int taken = 1)
{
    for (QString &box : boxes)
        box += " [information, OK, on TarnholmClass]";
    boxes.sort();
    const bool listed = !log.contains("Remove!") || log.contains("insert");
    return {boxes, log, bar, UpgradeStage::None, WindowStage::Idle, "111", listed, false, taken, taken};
}

// A camera with its update behaviour, the window on it, what the operator saw.
struct Bench {
    SimFixture sim;
    sim::SimDevices devices{sim.world};
    sim::SimCameraUpdate camera{sim.world, devices};
    const sim::SimDeviceSpec ostrel{QStringLiteral("Ostrel Camera"), true, true,
                                    sim::versionBlock(sim::demoCameraFirmware()), {}};
    int cameraId = sim.world.capture.attach(ostrel);
    std::unique_ptr<Tarnholm> window{new Tarnholm};   // reset() closes it, the world stays
    Tarnholm &w = *window;
    BoxCloser boxes;
    QVector<int> progress;
    QStringList trail;             // the log's lines as they showed; "(cleared)" where it emptied
    QHash<QString, int> stageAt;   // g_upgradeStage while a box of that title was up
    QByteArray flashed;

    Bench()
    {
        QObject::connect(w.ui.progressBar, &QProgressBar::valueChanged, [this](int value) { progress.append(value); });
        QObject::connect(w.ui.EditInfo, &QTextEdit::textChanged, [this]() {
            // Times of day and the drive's temporary path read "T".
            const QString text = w.ui.EditInfo->toPlainText().replace(
                QRegularExpression("\\d\\d:\\d\\d:\\d\\d|(?<=Write file to ).*(?=,)"), "T");
            if (text.isEmpty() && !trail.isEmpty())
                trail << QStringLiteral("(cleared)");
            trail << text.split('\n', Qt::SkipEmptyParts);
        });
        boxes.onBox = [this](const SeenBox &box) { stageAt[box.title] = g_upgradeStage; };
        camera.onFlash = [this](const QByteArray &image) { flashed = image; };
    }
    // The log as the distinct lines it showed, joined by "|".
    Seen seen() const
    {
        QStringList lines = trail;
        lines.removeDuplicates();
        return seenOn(w, sim, boxes, lines.join('|'));
    }
    void update(const QString &path)
    {
        w.ui.EditFwFile->setText(QDir::toNativeSeparators(path));
        w.ui.BtnLoadFw->click();
    }
    // Events first; the clock moves on only while no copy job runs (its sleeps move it).
    bool runUntil(const std::function<bool()> &done)
    {
        for (int i = 0; i < 100000 && !done(); ++i) {
            QCoreApplication::processEvents();
            if (!done() && (w.updateStage == WindowStage::Copying || !sim.clock.runNext()))
                QThread::usleep(100);
        }
        return done();
    }
    // Until the update has ended and this many boxes have shown.
    bool finish(int boxCount)
    {
        return runUntil([=]() {
            return boxes.boxes.size() >= boxCount && g_upgradeStage == UpgradeStage::None
                && w.updateStage == WindowStage::Idle;
        });
    }
};

// The block of an "Ostrel Camera" running version "a.b.c" (the demo camera's date).
static QByteArray versionOf(const QString &version)
{
    sim::FirmwareVersion v = sim::demoCameraFirmware();
    v.major = version.section('.', 0, 0).toInt();
    v.minor = version.section('.', 1, 1).toInt();
    v.patch = version.section('.', 2, 2).toInt();
    return sim::versionBlock(v);
}

// One whole update: the image under samples/, the camera's fault, what the operator sees at the
// end, whether the camera's information was read before the click, what becomes of the firmware
// file or the path field while the drive is awaited ("path": another path typed in; "rewrite":
// other bytes written into the file; "remove": the file deleted).
struct Run {
    QString image;
    Fault fault;
    Seen end;
    bool infoBefore = true;
    QString afterClick{};
};
Q_DECLARE_METATYPE(Run)

// An update amid other devices: the "Ostrel Camera"s on the machine by version (the
// first is the bench's), which of them is updated, whether they carry USB ports and
// device paths, the image ("plain": no image), what is plugged in or pulled when, the
// camera's fault.
enum When { BeforeClick, DriveAwaited, DuringCopy, Rebooting };
enum Device { PlugStick, PullStick, PlugWebcam, PullWebcam };
struct Crowd {
    QStringList versions;
    int updated;
    bool identified;
    QString image;
    QVector<QPair<When, Device>> events;
    Fault fault = Fault::None;
};
Q_DECLARE_METATYPE(Crowd)

class Update : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qRegisterMetaType<fw_info>("fw_info");
        // Qt's own dialog, which the test can answer; the tool keeps the native one.
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    }
    void cleanup() { g_upgradeStage = UpgradeStage::None; }

    // What the window shows after an action taken amid an update or idle, all buttons off.
    void reaction_data()
    {
        QTest::addColumn<int>("stage");
        QTest::addColumn<Action>("action");
        QTest::addColumn<Seen>("want");
        QTest::addColumn<QString>("trace");
        namespace U = UpgradeStage;
        namespace W = WindowStage;
        // The items name no camera of the world, so no information is read.
        const QVariant none, gone = QVariant(qlonglong(0x1000)), notNumber = QVariant("x");
        const QString image = QFINDTESTDATA("../samples/ostrel-2.2.0.bin");
        const QString noCamera = "Can't find device.\n";
        QTest::newRow("empty camera list")
            << U::None << click(none, "fw.bin") << Seen{{}, noCamera, 0, U::None, W::Idle, "100", 0} << "";
        QTest::newRow("item data not a number")
            << U::None << click(notNumber, "fw.bin") << Seen{{}, noCamera, 0, U::None, W::Idle, "100", 1} << "";
        QTest::newRow("empty path") << U::None << click(gone, "") << Seen{{}, "", 0, U::None, W::Idle, "100", 1} << "";
        // The path is checked before the stage.
        QTest::newRow("empty path, update running")
            << U::Copying << click(gone, "") << Seen{{}, "", 0, U::Copying, W::Copying, "100", 1} << "";
        QTest::newRow("last update running") << U::Copied << click(gone, "fw.bin")
            << Seen{{}, "Last Upgrade is not Complete.", 0, U::Copied, W::Copying, "100", 1} << "";
        QTest::newRow("camera gone") << U::None << click(gone, image)
            << Seen{{}, "Initialize Device Error.", 0, U::None, W::Idle, "100", 1} << "";
        // Error codes end the update, leaving the bar and the log as they were.
        const auto error = [](const QString &box) {
            return Seen{{"Error: " + box + " [information, OK, on TarnholmClass]"}, "earlier text", 20, U::None,
                        W::Idle, "111", 0};
        };
        QTest::newRow("-1") << U::Copying << code(WorkerState::FileUnusable) << error("Get Firmware File Error")
                            << "Get Firmware Error";
        QTest::newRow("-2") << U::Switched << code(WorkerState::DriveUnusable) << error("Write Firmware File Error")
                            << "Transmit Firmware to Device Error.";
        QTest::newRow("-3") << U::DriveGone << code(WorkerState::TimedOut) << error("Time Out") << "Timeout";
        QTest::newRow("progress while updating")
            << U::Copied << code(40) << Seen{{}, "earlier text", 40, U::Copied, W::Copying, "000", 0} << "";
        QTest::newRow("progress while idle")
            << U::None << code(40) << Seen{{}, "earlier text", 40, U::None, W::Idle, "111", 0} << "";
    }
    void reaction()
    {
        QFETCH(int, stage);
        QFETCH(Action, action);
        QFETCH(Seen, want);
        SimFixture sim;
        Tarnholm w;
        BoxCloser boxes;
        DebugCapture trace;
        g_upgradeStage = stage;
        w.updateStage = stage ? WindowStage::Copying : WindowStage::Idle;
        for (QPushButton *button : w.findChildren<QPushButton *>())
            button->setEnabled(false);
        w.ui.progressBar->setValue(20);
        w.ui.EditInfo->setPlainText(QStringLiteral("earlier text"));
        action(w);
        COMPARE_SEEN(seenOn(w, sim, boxes, w.ui.EditInfo->toPlainText()), want);
        QTEST(trace.lines().join('/'), "trace");
    }

    void fileDialog_data()
    {
        QTest::addColumn<bool>("choose");
        QTest::newRow("cancelled: the path is kept") << false;
        QTest::newRow("chosen: the path as the system writes it") << true;
    }
    void fileDialog()
    {
        QFETCH(bool, choose);
        SimFixture sim;
        Tarnholm w;
        QTemporaryDir dir;
        const QString file = dir.filePath("fw 1.bin");
        QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        w.ui.EditFwFile->setText(QStringLiteral("keep me.bin"));
        QStringList filters;
        const QWidget *parent = nullptr;
        QTimer answer;   // answers the real (Qt-drawn) dialog once it is up
        QObject::connect(&answer, &QTimer::timeout, [&]() {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            filters = dialog->nameFilters();
            parent = dialog->parentWidget();
            if (!choose)
                return dialog->reject();
            dialog->selectFile(file);
            static_cast<QDialog *>(dialog)->accept();
        });
        answer.start(5);
        w.ui.BtnFwFile->click();
        QCOMPARE(filters, QStringList({"*.hex *.bin", "*.*"}));
        QVERIFY(parent == &w);
        QCOMPARE(w.ui.EditFwFile->text(), choose ? QDir::toNativeSeparators(file) : QStringLiteral("keep me.bin"));
    }

    void wholeUpdate_data()
    {
        QTest::addColumn<Run>("run");
        const QString newer("ostrel-2.2.0.bin"), same("ostrel-2.1.15.bin");
        const QStringList success{"Info: Update Successful"}, unchanged{"Info: Firmware Version Unchanged"};
        const QStringList timeOut{"Error: Time Out"}, lost{"Error: Transfer Failed", "Error: Write Firmware File Error"};
        const QString switched("Wait UMS Install.T|USB Camera Device Remove!|Write file to T, T");
        const QString flashing = switched + "|Write firmware to flash.T|Waiting...";
        const QString rebooting = flashing + "|Reboot... T";
        // The camera's return clears the log before the success line.
        const QString back = rebooting + "|(cleared)|USB Camera Device insert|Success T";
        QTest::newRow("newer image") << Run{newer, Fault::None, ended(success, back, 100)};
        QTest::newRow("same image") << Run{same, Fault::None, ended(unchanged, back, 100)};
        QTest::newRow("no information read before") << Run{same, Fault::None, ended(success, back, 100), false};
        // The camera gets the file as it was at the click.
        for (const char *change : {"path", "rewrite", "remove"})
            QTest::addRow("file changed after the click: %s", change)
                << Run{newer, Fault::None, ended(success, back, 100), true, change};
        QTest::newRow("drive never leaves") << Run{newer, Fault::DriveNeverLeaves, ended(timeOut, flashing, 94)};
        QTest::newRow("camera never returns")
            << Run{newer, Fault::CameraNeverReturns, ended(timeOut, rebooting, 99)};
        // A pulled drive fails the flush after the last of this image's 51
        // chunks; nothing saved to compare with must not make that a success.
        QTest::newRow("drive leaves during the copy")
            << Run{newer, Fault::DriveLeavesDuringCopy, ended(lost, flashing, 51)};
        QTest::newRow("drive leaves during the copy, no information read before")
            << Run{newer, Fault::DriveLeavesDuringCopy, ended(lost, flashing, 51), false};
    }
    void wholeUpdate()
    {
        QFETCH(Run, run);
        Bench b;
        b.camera.fault = run.fault;
        QTemporaryDir dir;
        const QString path = dir.filePath(run.image);
        QVERIFY(QFile::copy(QFINDTESTDATA("../samples/" + run.image), path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray image = file.readAll();
        file.close();
        if (!run.infoBefore)
            b.w.currentVersion = b.w.currentDate = QString();
        b.update(path);   // the window at the click: firmwareAtClick's "a usable file"
        const QString snapshot = b.w.firmwareSnapshot.path();
        QVERIFY(QFile::exists(snapshot));
        if (run.afterClick == "path")
            b.w.ui.EditFwFile->setText(dir.filePath("missing.bin"));
        if (run.afterClick == "rewrite")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(image.size() * 2, 'x')) > 0);
        file.close();
        if (run.afterClick == "remove")
            QVERIFY(file.remove());
        QVERIFY(b.finish(run.end.boxes.size()));
        COMPARE_SEEN(b.seen(), run.end);
        // The copy counted 1 to 50 in order, the reboot was at 95; the result
        // box came before the window turned idle.
        for (int i = 0; i < 50 && run.end.log.contains("Waiting"); ++i)
            QCOMPARE(b.progress.value(i), i + 1);
        QCOMPARE(b.progress.contains(WorkerState::Rebooting), run.end.log.contains("Reboot"));
        QCOMPARE(b.stageAt.value("Info", -1), run.end.boxes[0].startsWith("Info") ? UpgradeStage::CameraBack : -1);
        // Only a complete copy of the image as it was at the click was flashed, and
        // the snapshot went with the update, however it ended.
        QCOMPARE(b.flashed, run.fault != Fault::DriveLeavesDuringCopy ? image : QByteArray());
        QVERIFY(!QFile::exists(snapshot));
    }

    void otherDevices_data()
    {
        QTest::addColumn<Crowd>("crowd");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("stick");  // its files with their sizes, its directories
        QTest::addColumn<int>("leftAlone");  // drives the log says were left alone
        const QStringList one{"2.1.15"}, two{"2.1.15", "2.0.3"}, eleven = QVector<QString>(11, "2.1.15").toList();
        const QStringList success{"Info: Update Successful"}, unchanged{"Info: Firmware Version Unchanged"};
        const QStringList timeOut{"Error: Time Out"};
        const QString untouched("fw.bin (5)");
        QTest::newRow("stick plugged in while the drive is awaited")
            << Crowd{one, 1, true, "newer", {{DriveAwaited, PlugStick}}} << success << untouched << 1;
        // Where the camera's port is unknown, the first USB volume is taken: the stick.
        QTest::newRow("the same, the camera's port unknown")
            << Crowd{one, 1, false, "newer", {{DriveAwaited, PlugStick}}} << timeOut << "fw.bin (IMAGE), update/" << 0;
        QTest::newRow("stick pulled during the copy")
            << Crowd{one, 1, true, "newer", {{BeforeClick, PlugStick}, {DuringCopy, PullStick}}} << success
            << "gone" << 0;
        QTest::newRow("webcam unplugged during the copy")
            << Crowd{one, 1, true, "newer", {{BeforeClick, PlugWebcam}, {DuringCopy, PullWebcam}}} << success
            << "" << 0;
        QTest::newRow("a storm of sticks and webcams while the camera reboots")
            << Crowd{one, 1, true, "newer", {{Rebooting, PlugStick}, {Rebooting, PlugWebcam}, {Rebooting, PlugStick},
                                             {Rebooting, PullWebcam}, {Rebooting, PlugWebcam}}}
            << success << untouched << 0;
        QTest::newRow("webcam plugged in, the camera never returns")
            << Crowd{one, 1, true, "newer", {{Rebooting, PlugWebcam}}, Fault::CameraNeverReturns} << timeOut << "" << 0;
        // The first camera runs 2.1.15, the updated second 2.0.3.
        QTest::newRow("two cameras of one name, the second's version unchanged")
            << Crowd{two, 2, true, "plain", {}} << unchanged << "" << 0;
        QTest::newRow("two cameras of one name, the second updated")
            << Crowd{two, 2, true, "newer", {}} << success << "" << 0;
        // Nothing tells them apart: neither is read.
        QTest::newRow("two cameras of one name, no ports or paths")
            << Crowd{two, 2, false, "newer", {}} << unchanged << "" << 0;
        QTest::newRow("eleven cameras, the tenth updated") << Crowd{eleven, 10, true, "newer", {}} << success << "" << 0;
        QTest::newRow("eleven cameras, the tenth's version unchanged")
            << Crowd{eleven, 10, true, "same", {}} << unchanged << "" << 0;
    }
    void otherDevices()
    {
        QFETCH(Crowd, crowd);
        Bench b;
        sim::SimDeviceSpec *first = b.sim.world.capture.device(b.cameraId);
        first->versionBlock = versionOf(crowd.versions[0]);
        if (crowd.identified) {   // ports from 1-1 up go to what is plugged in below
            first->usbPort = QStringLiteral("2-1");
            first->devicePath = QStringLiteral("\\\\?\\usb#first#{65e8773d-8f56-11d0-a3b9-00a0c9223196}");
        }
        for (const QString &version : crowd.versions.mid(1)) {
            sim::SimDeviceSpec spec = b.ostrel;
            spec.versionBlock = versionOf(version);
            if (crowd.identified)
                b.devices.plugCapture(spec);
            else
                b.sim.world.capture.attach(spec);
        }
        QCoreApplication::processEvents();
        b.w.RefreshDeviceList();
        b.w.ui.DeviceList->setCurrentIndex(crowd.updated - 1);
        QCOMPARE(b.w.currentVersion, crowd.versions[crowd.updated - 1]);

        int stick = -1, webcam = -1;
        QString stickDir;
        const auto actAt = [&](When when) {
            for (const QPair<When, Device> &event : crowd.events) {
                if (event.first != when)
                    continue;
                if (event.second == PlugStick) {
                    stick = b.devices.plugVolume({});
                    stickDir = b.sim.world.volumes.directory(stick);
                    QFile old(QDir(stickDir).filePath("fw.bin"));   // the stick's own file
                    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("stick") == 5);
                } else if (event.second == PullStick) {
                    b.devices.unplugVolume(stick);
                } else if (event.second == PlugWebcam) {
                    sim::SimDeviceSpec cam;
                    cam.friendlyName = QStringLiteral("Integrated Webcam");
                    webcam = b.devices.plugCapture(cam);
                } else {
                    b.devices.unplugCapture(webcam);
                }
            }
        };
        actAt(BeforeClick);
        QCoreApplication::processEvents();
        b.camera.fault = crowd.fault;
        b.camera.onPhase = [&](Phase phase) {
            // Between the camera's leaving and its drive; after the worker has seen the drive go.
            if (phase == Phase::Switching || phase == Phase::Rebooting)
                b.sim.clock.schedule(phase == Phase::Switching ? 500 : 2000,
                                     [&actAt, phase]() { actAt(phase == Phase::Switching ? DriveAwaited : Rebooting); });
        };
        const std::function<void()> pull = b.sim.world.files.onFlush;
        b.sim.world.files.onFlush = [&actAt, pull]() {
            // On the worker thread, once the file is written: the window sees the
            // events before the copy ends.
            platform::runOnGuiThreadAndWait([&actAt]() { actAt(DuringCopy); });
            platform::runOnGuiThreadAndWait([]() {});
            pull();
        };

        QTemporaryDir dir;
        QString path = dir.filePath("plain.bin");
        QFile plain(path);
        QVERIFY(plain.open(QIODevice::WriteOnly) && plain.write("not an image") > 0);
        plain.close();
        if (crowd.image != "plain")
            path = QFINDTESTDATA(crowd.image == "newer" ? "../samples/ostrel-2.2.0.bin" : "../samples/ostrel-2.1.15.bin");
        b.update(path);
        QFETCH(QStringList, boxes);
        QVERIFY(b.finish(boxes.size()));
        QStringList shown = b.seen().boxes;
        for (QString &box : shown)
            box = box.section(" [", 0, 0);
        QCOMPARE(shown, boxes);
        QStringList names;
        for (const QFileInfo &entry : QDir(stickDir).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
            names << (entry.isDir() ? entry.fileName() + "/"
                                    : QStringLiteral("%1 (%2)").arg(entry.fileName()).arg(entry.size()));
        const QString holds = stickDir.isEmpty() ? "" : QDir(stickDir).exists() ? names.join(", ") : "gone";
        QTEST(QString(holds).replace(QString::number(QFileInfo(path).size()), "IMAGE"), "stick");
        QStringList leftAlone = b.trail.filter("left alone");
        leftAlone.removeDuplicates();
        QTEST(leftAlone.size(), "leftAlone");
    }

    // The demo's panel plugs a stick in while the camera's drive is awaited and
    // shows that nothing was written to it.
    void demoPanelStick()
    {
        Bench b;
        b.sim.world.capture.device(b.cameraId)->usbPort = QStringLiteral("2-1");
        sim::DemoPanel panel(b.sim.world, b.devices, b.camera);
        QLabel *stick = panel.findChild<QLabel *>("StickState");
        QVERIFY(stick);
        b.camera.onPhase = [&](Phase phase) {
            if (phase == Phase::Switching)
                b.sim.clock.schedule(500, [&]() { panel.findChild<QPushButton *>("Stick")->click(); });
        };
        b.update(QFINDTESTDATA("../samples/ostrel-2.2.0.bin"));
        QVERIFY(b.finish(1));
        QTest::qWait(300);   // the panel shows the machine's state four times a second
        QCOMPARE(b.seen().boxes, QStringList("Info: Update Successful [information, OK, on TarnholmClass]"));
        QCOMPARE(stick->text().section('\n', 0, 0), QString("on USB port 1-1, no fw.bin written"));
    }

    // A file that cannot be copied stops the click before the camera is touched
    // (once switched, only a power cycle would bring it back); so does a camera
    // that refuses to switch, which stays listed.
    void firmwareAtClick_data()
    {
        QTest::addColumn<QString>("file");   // what the path field names
        QTest::addColumn<Seen>("want");
        QTest::addColumn<QString>("trace");
        QTest::addColumn<int>("cameraCalls");   // to initialise it, and to switch it
        const Seen refused = ended({"Error: Get Firmware File Error"}, "", 0, 0);
        QTest::newRow("no file") << "missing" << refused << "Get Firmware Error" << 0;
        QTest::newRow("a directory") << "directory" << refused << "Get Firmware Error" << 0;
        QTest::newRow("an empty file") << "empty" << refused << "Get Firmware Error" << 0;
        QTest::newRow("an unreadable file") << "unreadable" << refused << "Get Firmware Error" << 0;
        // Opened without blocking and refused: it would never give an end.
        QTest::newRow("a FIFO") << "fifo" << refused << "Get Firmware Error" << 0;
        QTest::newRow("the camera refuses to switch")
            << "switch refused" << ended({}, "Switch USB Camera to USB Mass Storage Device Error.", 0, 0) << "" << 1;
        Seen switched{{}, "Wait UMS Install.T", 0, UpgradeStage::Switched, WindowStage::AwaitingDrive, "000", 0, true, 1};
        QTest::newRow("a usable file") << "usable" << switched << "" << 1;
        // Refused is not an error: the update goes on, with one line in the log.
        switched.log += "|Can't keep the computer awake; it may go to sleep during the update.";
        switched.held = false;
        switched.taken = 0;
        QTest::newRow("a usable file, the system refuses to stay awake") << "refused" << switched << "" << 1;
    }
    void firmwareAtClick()
    {
        QFETCH(QString, file);
        QFETCH(Seen, want);
        Bench b;
        QTemporaryDir dir;
        const QString path = dir.filePath(file);
        if (file == "directory")
            QDir().mkdir(path);
        if (file == "fifo") {
#ifdef _WIN32
            QSKIP("no FIFOs among Windows files");
#else
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#endif
        } else if (file != "missing") {
            QFile(QFINDTESTDATA("../samples/ostrel-2.2.0.bin")).copy(path);
        }
        if (file == "empty")
            QFile(path).resize(0);
        b.sim.world.awake.refuse = file == "refused";
        b.sim.world.capture.device(b.cameraId)->faults.updateFwUms = file == "switch refused" ? 7 : 0;
        std::unique_ptr<UnreadableFile> unreadable(file == "unreadable" ? new UnreadableFile(path) : nullptr);
        if (unreadable && !unreadable->ok())
            QSKIP(qPrintable(unreadable->why()));
        const sim::SimDeviceCounters before = b.sim.world.capture.counters(b.cameraId);
        DebugCapture trace;
        b.update(path);
        unreadable.reset();
        const sim::SimDeviceCounters after = b.sim.world.capture.counters(b.cameraId);
        COMPARE_SEEN(b.seen(), want);
        QTEST(trace.lines().join('|'), "trace");
        QTEST(after.deviceInitCalls - before.deviceInitCalls, "cameraCalls");
        QTEST(after.updateFwUmsCalls - before.updateFwUmsCalls, "cameraCalls");
        // The firmware is kept only for a camera that switched.
        QCOMPARE(QFile::exists(b.w.firmwareSnapshot.path()), want.upgradeStage == UpgradeStage::Switched);
    }

    // Closing the window gives back every device reference and, mid-update, the hold.
    void closing_data()
    {
        QTest::addColumn<bool>("midUpdate");
        QTest::newRow("idle, two cameras listed") << false;
        QTest::newRow("while the camera flashes") << true;
    }
    void closing()
    {
        QFETCH(bool, midUpdate);
        Bench b;
        b.sim.world.capture.attach({QStringLiteral("Ostrel Camera 2"), true, true, {}, {}});
        b.w.RefreshDeviceList();
        QCOMPARE(b.w.ui.DeviceList->count(), 2);
        QString snapshot;
        if (midUpdate) {
            b.update(QFINDTESTDATA("../samples/ostrel-2.2.0.bin"));
            QVERIFY(b.runUntil([]() { return g_upgradeStage == UpgradeStage::Copied; }));
            snapshot = b.w.firmwareSnapshot.path();
            QVERIFY(QFile::exists(snapshot));
        }
        const sim::SimCaptureDevices &devices = b.sim.world.capture;
        const sim::SimKeepAwake &awake = b.sim.world.awake;
        // Mid-update the flashing camera is no video device.
        QCOMPARE(devices.referencesHeld(), midUpdate ? 2 : 4);
        QCOMPARE(awake.held(), midUpdate);
        QCOMPARE(awake.acquires, int(midUpdate));
        b.window.reset();
        QVERIFY(snapshot.isEmpty() || !QFile::exists(snapshot));
        QCOMPARE(devices.referencesHeld(), 0);
        QCOMPARE(devices.badReleases(), 0);
        QCOMPARE(awake.held(), false);
        QCOMPARE(awake.releases, int(midUpdate));
    }
};

QTEST_MAIN(Update)
#include "tst_update.moc"
