// Updates on the simulated machine and clock: the window's answer to a click or a worker's
// code on its own, then whole updates from the click on.
#include "app/tarnholm.h"
#include "platform/gui_thread.h"
#include "platform/sim/demo_world.h"
#include "platform/sim/sim_camera_update.h"
#include "platform/sim/sim_devices.h"
#include "update/update_state.h"
#include "support/box_text.h"

#include <QRegularExpression>
#include <QtTest>
#ifndef _WIN32
#include <sys/stat.h>
#endif

using Action = std::function<void(Tarnholm &)>;
Q_DECLARE_METATYPE(Action)
using Fault = sim::SimCameraUpdate::Fault;
using Phase = sim::SimCameraUpdate::Phase;

// An Update click with this camera item alone listed (invalid: none) and firmware path.
static Action click(const QVariant &item, const QString &path)
{
    return [=](Tarnholm &w) {
        w.ui.DeviceList->clear();
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
    QStringList boxes, log;
    int bar, upgradeStage, updateStage;
    QString buttons;
    int cameras;
    bool held = false;
    int taken = 0, givenUp = 0;
};
Q_DECLARE_METATYPE(Seen)

// Field by field, so that a failing row says which one differed.
#define COMPARE_SEEN(actual, expected) \
    do { \
        const Seen actualSeen = actual, expectedSeen = expected; \
        QCOMPARE(actualSeen.boxes, expectedSeen.boxes); \
        QCOMPARE(actualSeen.log, expectedSeen.log); \
        QCOMPARE(actualSeen.bar, expectedSeen.bar); \
        QCOMPARE(actualSeen.upgradeStage, expectedSeen.upgradeStage); \
        QCOMPARE(actualSeen.updateStage, expectedSeen.updateStage); \
        QCOMPARE(actualSeen.buttons, expectedSeen.buttons); \
        QCOMPARE(actualSeen.cameras, expectedSeen.cameras); \
        QCOMPARE(actualSeen.held, expectedSeen.held); \
        QCOMPARE(actualSeen.taken, expectedSeen.taken); \
        QCOMPARE(actualSeen.givenUp, expectedSeen.givenUp); \
    } while (false)

// An ended update: idle, the buttons on, the hold given back if it was taken.
static Seen ended(QStringList boxes, const QStringList &log, int bar, int cameras, int taken = 1)
{
    for (QString &box : boxes)
        box += " [information, OK, on TarnholmClass]";
    boxes.sort();
    return {boxes, log, bar, UpgradeStage::None, WindowStage::Idle, "111", cameras, false, taken, taken};
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
    QByteArray flashed;

    Bench()
    {
        QObject::connect(w.ui.progressBar, &QProgressBar::valueChanged, [this](int value) { progress.append(value); });
        QObject::connect(w.ui.EditInfo, &QTextEdit::textChanged, [this]() {
            // Times of day and the drive's temporary path read "T".
            const QString text = w.ui.EditInfo->toPlainText().replace(
                QRegularExpression("\\d\\d:\\d\\d:\\d\\d|(?<=Write file to ).*(?=,)|(?<=Drive ).*(?= is not)"), "T");
            if (text.isEmpty() && !trail.isEmpty())
                trail << QStringLiteral("(cleared)");
            trail << text.split('\n', Qt::SkipEmptyParts);
        });
        camera.onFlash = [this](const QByteArray &image) { flashed = image; };
    }
    // The log as the distinct lines it showed.
    Seen seen() const
    {
        const auto on = [](const QWidget *b) { return QLatin1Char(b->isEnabled() ? '1' : '0'); };
        QStringList shown = boxLines(boxes.boxes).split('\n', Qt::SkipEmptyParts), lines = trail;
        shown.sort();
        lines.removeDuplicates();
        const sim::SimKeepAwake &awake = sim.world.awake;
        return {shown, lines, w.ui.progressBar->value(), g_upgradeStage.load(), w.updateStage,
                QString() + on(w.ui.BtnLoadFw) + on(w.ui.BtnFwFile) + on(w.ui.pBtnDeviceInfo),
                w.ui.DeviceList->count(), awake.held(), awake.acquires, awake.releases};
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
};

// One update: the firmware (under samples/; "" a file that is no image; "missing", "empty", "fifo"), the
// camera's fault, what the operator sees just after the click and at the end, whether the camera flashed the
// image of the click, and what else happens: "no information read before", "refuse switch" (the camera),
// "refuse awake" (the system); "rewrite" (the file, while the drive is awaited); "close" (the window).
struct Run {
    QString image;
    Fault fault;
    Seen click, end;
    bool flashed = true;
    QString also{};
};
Q_DECLARE_METATYPE(Run)

// The update amid other devices: how many "Ostrel Camera"s (the first is the bench's), which of
// them is updated, whether their USB ports are known, what is plugged in or pulled when.
enum When { BeforeClick, DriveAwaited, DuringCopy, Rebooting };
enum Device { PlugStick, PlugWebcam, PullWebcam };
struct Crowd {
    int cameras = 1;
    int updated = 1;
    bool identified = false;
    QVector<QPair<When, Device>> events{};
};
Q_DECLARE_METATYPE(Crowd)

class Update : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }
    void cleanup() { g_upgradeStage = UpgradeStage::None; }

    // What the window shows after an action taken amid an update or idle, all buttons off.
    void reaction_data()
    {
        QTest::addColumn<int>("stage");
        QTest::addColumn<Action>("action");
        QTest::addColumn<Seen>("want");
        namespace U = UpgradeStage;
        namespace W = WindowStage;
        const auto row = [](const char *tag, int stage, const Action &action, const Seen &want) {
            QTest::newRow(tag) << stage << action << want;
        };
        // The items name no camera of the world, so no information is read.
        const QVariant none, gone = QVariant(qlonglong(0x1000));
        const QString image = QFINDTESTDATA("../samples/ostrel-2.2.0.bin");
        row("empty camera list", U::None, click(none, "fw.bin"),
            {{}, {"Can't find device.\n"}, 0, U::None, W::Idle, "100", 0});
        row("last update running", U::Copied, click(gone, "fw.bin"),
            {{}, {"Last Upgrade is not Complete."}, 0, U::Copied, W::Copying, "100", 1});
        row("camera gone", U::None, click(gone, image),
            {{}, {"Initialize Device Error."}, 0, U::None, W::Idle, "100", 1});
        // Ends the update, leaving the bar and the log as they were (-2 and -3: whole updates).
        row("-1", U::Copying, code(WorkerState::FileUnusable),
            {{"Error: Get Firmware File Error [information, OK, on TarnholmClass]"}, {"earlier text"}, 20, U::None,
             W::Idle, "111", 1});
    }
    void reaction()
    {
        QFETCH(int, stage);
        QFETCH(Action, action);
        QFETCH(Seen, want);
        Bench b;
        g_upgradeStage = stage;
        b.w.updateStage = stage ? WindowStage::Copying : WindowStage::Idle;
        for (QPushButton *button : b.w.findChildren<QPushButton *>())
            button->setEnabled(false);
        b.w.ui.progressBar->setValue(20);
        b.w.ui.EditInfo->setPlainText(QStringLiteral("earlier text"));
        action(b.w);
        Seen now = b.seen();
        now.log = QStringList(b.w.ui.EditInfo->toPlainText());   // as it stands, not line by line
        COMPARE_SEEN(now, want);
    }

    void wholeUpdate_data()
    {
        QTest::addColumn<Run>("run");
        QTest::addColumn<Crowd>("crowd");
        QTest::addColumn<QString>("stick");   // its files with their sizes and its directories
        const auto row = [](const char *tag, const Run &run, const Crowd &crowd = {}, const QString &stick = {}) {
            QTest::newRow(tag) << run << crowd << stick;
        };
        const QString newer("ostrel-2.2.0.bin"), same("ostrel-2.1.15.bin");
        const QStringList success{"Info: Update Successful"}, unchanged{"Info: Firmware Version Unchanged"};
        const QStringList timeOut{"Error: Time Out"};
        const QStringList lost{"Error: Transfer Failed", "Error: Write Firmware File Error"};
        const QStringList switched{"Wait UMS Install.T", "USB Camera Device Remove!", "Write file to T, T"};
        const QStringList flashing = switched + QStringList{"Write firmware to flash.T", "Waiting..."};
        const QStringList rebooting = flashing + QStringList{"Reboot... T"};
        // The camera's return clears the log before the success line.
        const QStringList back = rebooting + QStringList{"(cleared)", "USB Camera Device insert", "Success T"};
        const Seen updated = ended(success, back, 100, 1), copyLost = ended(lost, flashing, 51, 0);
        const Seen at{{}, {"Wait UMS Install.T"}, 0, UpgradeStage::Switched, WindowStage::AwaitingDrive, "000", 0,
                      true, 1};
        row("newer image", {newer, Fault::None, at, updated});
        row("same image", {same, Fault::None, at, ended(unchanged, back, 100, 1)});
        // The camera gets the file as it was at the click.
        row("file rewritten after the click", {newer, Fault::None, at, updated, true, "rewrite"});
        row("drive never leaves", {newer, Fault::DriveNeverLeaves, at, ended(timeOut, flashing, 94, 0)});
        row("camera never returns", {newer, Fault::CameraNeverReturns, at, ended(timeOut, rebooting, 99, 0)});
        // A pulled drive fails the flush after the last of this image's 51 chunks; nothing
        // saved to compare with must not make that a success.
        row("drive leaves during the copy", {newer, Fault::DriveLeavesDuringCopy, at, copyLost, false});
        row("drive leaves during the copy, no information read before",
            {newer, Fault::DriveLeavesDuringCopy, at, copyLost, false, "no information read before"});
        // A file that cannot be copied stops the click before the camera is touched (once switched, only a
        // power cycle would bring it back); so does a camera that refuses to switch, which stays listed.
        const Seen refused = ended({"Error: Get Firmware File Error"}, {}, 0, 1, 0);
        row("no file", {"missing", Fault::None, refused, refused, false});
        row("an empty file", {"empty", Fault::None, refused, refused, false});
        // Opened without blocking and refused: it would never give an end.
        row("a FIFO", {"fifo", Fault::None, refused, refused, false});
        const Seen noSwitch = ended({}, {"Switch USB Camera to USB Mass Storage Device Error."}, 0, 1, 0);
        row("the camera refuses to switch", {newer, Fault::None, noSwitch, noSwitch, false, "refuse switch"});
        // Refused is not an error: the update goes on, with one line in the log.
        const QString sleepy("Can't keep the computer awake; it may go to sleep during the update.");
        const Seen awake{{}, at.log + QStringList(sleepy), 0, UpgradeStage::Switched, WindowStage::AwaitingDrive,
                         "000", 0};
        QStringList awakeBack = back, aside = back;
        awakeBack.insert(1, sleepy);
        row("the system refuses to stay awake",
            {newer, Fault::None, awake, ended(success, awakeBack, 100, 1, 0), true, "refuse awake"});
        // Amid other devices.
        aside.insert(2, "Drive T is not on the camera's USB port; it is left alone.");
        row("stick plugged in while the drive is awaited", {newer, Fault::None, at, ended(success, aside, 100, 1)},
            {1, 1, true, {{DriveAwaited, PlugStick}}}, "fw.bin (5)");
        // Where the camera's port is unknown, the first USB volume is taken: the stick.
        row("the same, the camera's port unknown", {newer, Fault::None, at, ended(timeOut, flashing, 94, 0), false},
            {1, 1, false, {{DriveAwaited, PlugStick}}}, "fw.bin (IMAGE), update/");
        row("webcam unplugged during the copy", {newer, Fault::None, at, updated},
            {1, 1, true, {{BeforeClick, PlugWebcam}, {DuringCopy, PullWebcam}}});
        const QStringList webcamIn = rebooting + QStringList{"USB Camera Device insert"};
        row("a storm of sticks and webcams while the camera reboots",
            {newer, Fault::None, at, ended(success, webcamIn + QStringList{"(cleared)", "Success T"}, 100, 1)},
            {1, 1, true, {{Rebooting, PlugStick}, {Rebooting, PlugWebcam}, {Rebooting, PlugStick},
                            {Rebooting, PullWebcam}, {Rebooting, PlugWebcam}}}, "fw.bin (5)");
        row("webcam plugged in, the camera never returns",
            {newer, Fault::CameraNeverReturns, at, ended(timeOut, webcamIn, 99, 0)},
            {1, 1, true, {{Rebooting, PlugWebcam}}});
        // Another camera stays listed: its information, read as the updated one leaves, clears the log.
        // A file of one chunk never reaches the code that logs the flashing.
        const QStringList stays{"Wait UMS Install.T", "USB Camera Device Remove!", "(cleared)", "Write file to T, T"};
        const QStringList staysBack{"Reboot... T", "USB Camera Device insert", "Success T"};
        const QStringList staysFlashed = stays + QStringList{"Write firmware to flash.T", "Waiting..."} + staysBack;
        // The second camera runs 2.0.3, the others 2.1.15: were the first read, this would be a success.
        row("two cameras of one name, the second's version unchanged",
            {"", Fault::None, at, ended(unchanged, stays + staysBack, 100, 2)}, {2, 2, true});
        row("two cameras of one name, the second updated",
            {newer, Fault::None, at, ended(success, staysFlashed, 100, 2)}, {2, 2, true});
        // Nothing tells them apart: neither is read.
        row("two cameras of one name, no ports or paths",
            {newer, Fault::None, at, ended(unchanged, staysFlashed, 100, 2)}, {2, 2, false});
        row("eleven cameras, the tenth updated",
            {newer, Fault::None, at, ended(success, staysFlashed, 100, 10)}, {11, 10, true});
        // No end to see: the window is gone.
        row("window closed while the camera flashes", {newer, Fault::None, at, {}, true, "close"}, {2, 1, true});
    }
    void wholeUpdate()
    {
        QFETCH(Run, run);
        QFETCH(Crowd, crowd);
        Bench b;
        sim::SimDeviceSpec *first = b.sim.world.capture.device(b.cameraId);
        if (crowd.identified)   // ports from 1-1 up go to what is plugged in below
            first->usbPort = QStringLiteral("2-1");
        QVector<int> ids{b.cameraId};
        for (int i = 1; i < crowd.cameras; ++i) {
            sim::SimDeviceSpec spec = b.ostrel;
            if (i == 1) {   // the others run the demo camera's 2.1.15
                sim::FirmwareVersion older = sim::demoCameraFirmware();
                older.minor = 0;
                older.patch = 3;
                spec.versionBlock = sim::versionBlock(older);
            }
            ids << (crowd.identified ? b.devices.captureDeviceId(b.devices.plugCapture(spec))
                                     : b.sim.world.capture.attach(spec));
        }
        QCoreApplication::processEvents();
        b.w.RefreshDeviceList();
        b.w.ui.DeviceList->setCurrentIndex(crowd.updated - 1);
        QCOMPARE(b.w.currentVersion, crowd.updated == 2 ? "2.0.3" : "2.1.15");
        int webcam = -1;
        QString stickDir;
        const auto actAt = [&](When when) {
            for (const QPair<When, Device> &event : crowd.events) {
                if (event.first != when)
                    continue;
                if (event.second == PlugStick) {
                    stickDir = b.sim.world.volumes.directory(b.devices.plugVolume({}));
                    QVERIFY(writeFile(QDir(stickDir).filePath("fw.bin"), "stick"));   // the stick's own file
                } else if (event.second == PlugWebcam) {
                    webcam = b.devices.plugCapture({QStringLiteral("Integrated Webcam"), true, true, {}, {}});
                } else {
                    b.devices.unplugCapture(webcam);
                }
            }
        };
        actAt(BeforeClick);
        QCoreApplication::processEvents();
        b.camera.fault = run.fault;
        b.camera.onPhase = [&](Phase phase) {
            // Between the camera's leaving and its drive; after the worker has seen the drive go.
            const When when = phase == Phase::Switching ? DriveAwaited : Rebooting;
            if (phase == Phase::Switching || phase == Phase::Rebooting)
                b.sim.clock.schedule(when == DriveAwaited ? 500 : 2000, [&actAt, when]() { actAt(when); });
        };
        const std::function<void()> pull = b.sim.world.files.onFlush;
        b.sim.world.files.onFlush = [&actAt, pull]() {
            // On the worker thread, once the file is written: the window sees them before the copy ends.
            platform::runOnGuiThreadAndWait([&actAt]() { actAt(DuringCopy); });
            platform::runOnGuiThreadAndWait([]() {});
            pull();
        };

        QTemporaryDir dir;
        QFile file(dir.filePath("firmware.bin"));
        QByteArray image(run.image == "empty" ? "" : "not an image");
        if (run.image.endsWith(".bin")) {
            QFile sample(QFINDTESTDATA("../samples/" + run.image));
            QVERIFY(sample.open(QIODevice::ReadOnly));
            image = sample.readAll();
        }
        if (run.image == "fifo") {
#ifdef _WIN32
            QSKIP("no FIFOs among Windows files");
#else
            QVERIFY(::mkfifo(QFile::encodeName(file.fileName()).constData(), 0600) == 0);
#endif
        } else if (run.image != "missing") {
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
            file.close();
        }
        b.sim.world.awake.refuse = run.also == "refuse awake";
        first->faults.updateFwUms = run.also == "refuse switch" ? 7 : 0;
        if (run.also == "no information read before")
            b.w.currentVersion = b.w.currentDate = QString();
        const int updated = ids[crowd.updated - 1];
        const sim::SimDeviceCounters before = b.sim.world.capture.counters(updated);
        b.trail.clear();   // the log from the click on
        b.w.ui.EditFwFile->setText(QDir::toNativeSeparators(file.fileName()));
        b.w.ui.BtnLoadFw->click();
        const sim::SimDeviceCounters after = b.sim.world.capture.counters(updated);
        COMPARE_SEEN(b.seen(), run.click);
        // A refused file (its box) leaves the camera untouched; any other click initialises
        // the camera and asks it to switch, once.
        const bool refused = !run.click.boxes.isEmpty();
        QCOMPARE(after.deviceInitCalls - before.deviceInitCalls, int(!refused));
        QCOMPARE(after.updateFwUmsCalls - before.updateFwUmsCalls, int(!refused));
        // The firmware is kept only for a camera that switched.
        const QString snapshot = b.w.firmwareSnapshot.path();
        QCOMPARE(QFile::exists(snapshot), run.click.upgradeStage == UpgradeStage::Switched);
        if (run.also == "rewrite")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(image.size() * 2, 'x')) > 0);
        file.close();
        if (run.also == "close") {   // mid-update: every device reference, the hold and the snapshot given back
            QVERIFY(b.runUntil([]() { return g_upgradeStage == UpgradeStage::Copied; }));
            QCOMPARE(b.sim.world.capture.referencesHeld(), 2);   // the other camera's: the flashing one is none
            b.window.reset();
            QCOMPARE(b.sim.world.capture.referencesHeld(), 0);
            QCOMPARE(b.sim.world.capture.badReleases(), 0);
            QCOMPARE(b.sim.world.awake.releases, 1);
            QVERIFY(!QFile::exists(snapshot));
            return;
        }
        QVERIFY(b.runUntil([&]() {
            return b.boxes.boxes.size() >= run.end.boxes.size() && g_upgradeStage == UpgradeStage::None
                && b.w.updateStage == WindowStage::Idle;
        }));
        COMPARE_SEEN(b.seen(), run.end);
        // The copy counted 1 to 50 in order, the reboot was at 95.
        for (int i = 0; i < 50 && run.end.log.contains("Waiting..."); ++i)
            QCOMPARE(b.progress.value(i), i + 1);
        QCOMPARE(b.progress.contains(WorkerState::Rebooting), run.end.log.contains("Reboot... T"));
        // Only the whole image of the click was flashed; the snapshot went with the update, however it ended.
        QCOMPARE(b.flashed, run.flashed ? image : QByteArray());
        QVERIFY(!QFile::exists(snapshot));
        QStringList names;   // none where no stick was plugged in
        const QDir stickRoot(stickDir.isEmpty() ? dir.filePath("no stick") : stickDir);
        for (const QFileInfo &e : stickRoot.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
            names << (e.isDir() ? e.fileName() + "/" : QStringLiteral("%1 (%2)").arg(e.fileName()).arg(e.size()));
        QTEST(names.join(", ").replace(QString::number(image.size()), "IMAGE"), "stick");
    }
};

QTEST_MAIN(Update)
#include "tst_update.moc"
