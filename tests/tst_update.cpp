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

// The Update, Firmware and Version buttons, "1" for each that is on.
static QString buttonsOn(const Tarnholm &w)
{
    const auto on = [](const QWidget *b) { return QLatin1Char(b->isEnabled() ? '1' : '0'); };
    return QString() + on(w.ui.BtnLoadFw) + on(w.ui.BtnFwFile) + on(w.ui.pBtnDeviceInfo);
}

// The bar, both stages and the buttons.
static QString windowState(const Tarnholm &w)
{
    return QStringLiteral("bar %1 | stages %2/%3 | buttons ").arg(w.ui.progressBar->value())
               .arg(int(g_upgradeStage)).arg(w.updateStage) + buttonsOn(w);
}

// What the window shows after an action: the log, the bar, both stages, the
// buttons, the debug trace (lines joined by "/") and the boxes.
struct Seen {
    QString log;
    int bar, upgradeStage, updateStage;
    QString buttons, trace, boxes;
};
Q_DECLARE_METATYPE(Seen)

// One whole update: the image under samples/, the camera's fault, what the operator
// sees at the end (Bench::outcome()), whether the camera's information was read
// before the click, what becomes of the firmware file or the path field while the
// drive is awaited ("path": another path typed in; "rewrite": other bytes written
// into the file; "remove": the file deleted).
struct Run {
    QString image;
    Fault fault;
    QString outcome;
    bool infoBefore = true;
    QString afterClick{};
};
Q_DECLARE_METATYPE(Run)

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
        QObject::connect(w.ui.progressBar, &QProgressBar::valueChanged,
                         [this](int value) { progress.append(value); });
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
    // The keep-awake hold as the simulated system saw it.
    QString hold() const
    {
        const sim::SimKeepAwake &a = sim.world.awake;
        return QStringLiteral("%1, taken %2, given up %3")
            .arg(a.held() ? "held" : "free").arg(a.acquires).arg(a.releases);
    }
    // The boxes sorted (one may open in another's event loop), the log trail, the window.
    QString outcome() const
    {
        QStringList shown = boxLines(boxes.boxes).split('\n', Qt::SkipEmptyParts), lines = trail;
        shown.sort();
        lines.removeDuplicates();
        return (shown << "log: " + lines.join('|')).join('\n') + '\n' + windowState(w)
            + QStringLiteral(" | cameras %1").arg(w.ui.DeviceList->count());
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

// The block of an "Ostrel Camera" running version "a.b.c" (the demo camera's date).
static QByteArray versionOf(const QString &version)
{
    sim::FirmwareVersion v = sim::demoCameraFirmware();
    v.major = version.section('.', 0, 0).toInt();
    v.minor = version.section('.', 1, 1).toInt();
    v.patch = version.section('.', 2, 2).toInt();
    return sim::versionBlock(v);
}

// An ended update as Bench::outcome() shows it: idle, the buttons enabled,
// the camera listed unless it left and was not seen back.
static QString ending(QStringList boxes, const QString &trail, int bar)
{
    for (QString &box : boxes)
        box += " [information, OK, on TarnholmClass]";
    boxes.sort();
    const bool listed = !trail.contains("Remove!") || trail.contains("insert");
    return (boxes << "log: " + trail).join('\n')
        + QStringLiteral("\nbar %1 | stages 0/0 | buttons 111 | cameras %2").arg(bar).arg(listed);
}

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
        namespace U = UpgradeStage;
        namespace W = WindowStage;
        // The items name no camera of the world, so no information is read.
        const QVariant none, gone = QVariant(qlonglong(0x1000)), notNumber = QVariant("x");
        const QString image = QFINDTESTDATA("../samples/ostrel-2.2.0.bin");
        const Seen noCamera{"Can't find device.\n", 0, U::None, W::Idle, "100", "", ""};
        QTest::newRow("empty camera list") << U::None << click(none, "fw.bin") << noCamera;
        QTest::newRow("item data not a number") << U::None << click(notNumber, "fw.bin") << noCamera;
        QTest::newRow("empty path") << U::None << click(gone, "") << Seen{"", 0, U::None, W::Idle, "100", "", ""};
        // The path is checked before the stage.
        QTest::newRow("empty path, update running")
            << U::Copying << click(gone, "") << Seen{"", 0, U::Copying, W::Copying, "100", "", ""};
        QTest::newRow("last update running") << U::Copied << click(gone, "fw.bin")
            << Seen{"Last Upgrade is not Complete.", 0, U::Copied, W::Copying, "100", "", ""};
        QTest::newRow("camera gone") << U::None << click(gone, image)
            << Seen{"Initialize Device Error.", 0, U::None, W::Idle, "100", "", ""};
        // Error codes end the update, leaving the bar and the log as they were.
        const auto error = [](const char *trace, const char *box) {
            return Seen{"earlier text", 20, U::None, W::Idle, "111", trace,
                        QStringLiteral("Error: %1 [information, OK, on TarnholmClass]\n").arg(box)};
        };
        QTest::newRow("-1") << U::Copying << code(WorkerState::FileUnusable)
            << error("Get Firmware Error", "Get Firmware File Error");
        QTest::newRow("-2") << U::Switched << code(WorkerState::DriveUnusable)
            << error("Transmit Firmware to Device Error.", "Write Firmware File Error");
        QTest::newRow("-3") << U::DriveGone << code(WorkerState::TimedOut) << error("Timeout", "Time Out");
        QTest::newRow("progress while updating")
            << U::Copied << code(40) << Seen{"earlier text", 40, U::Copied, W::Copying, "000", "", ""};
        QTest::newRow("progress while idle")
            << U::None << code(40) << Seen{"earlier text", 40, U::None, W::Idle, "111", "", ""};
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
        QCOMPARE(w.ui.EditInfo->toPlainText(), want.log);
        QCOMPARE(w.ui.progressBar->value(), want.bar);
        QCOMPARE(int(g_upgradeStage), want.upgradeStage);
        QCOMPARE(w.updateStage, want.updateStage);
        QCOMPARE(buttonsOn(w), want.buttons);
        QCOMPARE(trace.lines().join('/'), want.trace);
        QCOMPARE(boxLines(boxes.boxes), want.boxes);
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
        QFile(file).open(QIODevice::WriteOnly);
        w.ui.EditFwFile->setText(QStringLiteral("keep me.bin"));
        QString seen;
        QTimer answer;   // answers the real (Qt-drawn) dialog once it is up
        QObject::connect(&answer, &QTimer::timeout, [&]() {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            seen = dialog->nameFilters().join(" ;; ")
                + (dialog->parentWidget() == &w ? "" : " (not on the window)");
            if (!choose)
                return dialog->reject();
            dialog->selectFile(file);
            static_cast<QDialog *>(dialog)->accept();
        });
        answer.start(5);
        w.ui.BtnFwFile->click();
        QCOMPARE(seen + " | " + w.ui.EditFwFile->text(), "*.hex *.bin ;; *.* | "
                 + (choose ? QDir::toNativeSeparators(file) : QStringLiteral("keep me.bin")));
    }

    void wholeUpdate_data()
    {
        QTest::addColumn<Run>("run");
        const QString newer("ostrel-2.2.0.bin"), same("ostrel-2.1.15.bin");
        const QStringList success{"Info: Update Successful"};
        const QStringList unchanged{"Info: Firmware Version Unchanged"};
        const QStringList timeOut{"Error: Time Out"};
        const QStringList lost{"Error: Transfer Failed", "Error: Write Firmware File Error"};
        const QString switched("Wait UMS Install.T|USB Camera Device Remove!|Write file to T, T");
        const QString flashing = switched + "|Write firmware to flash.T|Waiting...";
        const QString rebooting = flashing + "|Reboot... T";
        // The camera's return clears the log before the success line.
        const QString back = rebooting + "|(cleared)|USB Camera Device insert|Success T";
        QTest::newRow("newer image") << Run{newer, Fault::None, ending(success, back, 100)};
        QTest::newRow("same image") << Run{same, Fault::None, ending(unchanged, back, 100)};
        QTest::newRow("no information read before")
            << Run{same, Fault::None, ending(success, back, 100), false};
        // The camera gets the file as it was at the click.
        for (const char *change : {"path", "rewrite", "remove"})
            QTest::addRow("file changed after the click: %s", change)
                << Run{newer, Fault::None, ending(success, back, 100), true, change};
        QTest::newRow("drive never leaves")
            << Run{newer, Fault::DriveNeverLeaves, ending(timeOut, flashing, 94)};
        QTest::newRow("camera never returns")
            << Run{newer, Fault::CameraNeverReturns, ending(timeOut, rebooting, 99)};
        // A pulled drive fails the flush after the last of this image's 51
        // chunks; nothing saved to compare with must not make that a success.
        QTest::newRow("drive leaves during the copy")
            << Run{newer, Fault::DriveLeavesDuringCopy, ending(lost, flashing, 51)};
        QTest::newRow("drive leaves during the copy, no information read before")
            << Run{newer, Fault::DriveLeavesDuringCopy, ending(lost, flashing, 51), false};
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
        b.w.ui.EditFwFile->setText(QDir::toNativeSeparators(path));
        if (!run.infoBefore)
            b.w.currentVersion = b.w.currentDate = QString();
        b.w.ui.BtnLoadFw->click();
        QCOMPARE(b.outcome(),
                 QString("log: Wait UMS Install.T\nbar 0 | stages 1/1 | buttons 000 | cameras 0"));
        QCOMPARE(b.hold(), QString("held, taken 1, given up 0"));
        const QString snapshot = b.w.firmwareSnapshot.path();
        QVERIFY(QFile::exists(snapshot));
        if (run.afterClick == "path")
            b.w.ui.EditFwFile->setText(dir.filePath("missing.bin"));
        if (run.afterClick == "rewrite" && file.open(QIODevice::WriteOnly))
            file.write(QByteArray(image.size() * 2, 'x'));
        file.close();
        if (run.afterClick == "remove")
            QVERIFY(file.remove());

        b.runUntil([&]() {   // a line per box, then the log and the window
            return b.boxes.boxes.size() >= run.outcome.count('\n') - 1 && g_upgradeStage == UpgradeStage::None
                && b.w.updateStage == WindowStage::Idle;
        });
        QCOMPARE(b.outcome(), run.outcome);
        QCOMPARE(b.hold(), QString("free, taken 1, given up 1"));
        // The copy counted 1 to 50 in order, the reboot was at 95; the result
        // box came before the window turned idle.
        for (int i = 0; i < 50 && run.outcome.contains("Waiting"); ++i)
            QCOMPARE(b.progress.value(i), i + 1);
        QCOMPARE(b.progress.contains(95), run.outcome.contains("Reboot"));
        QCOMPARE(b.stageAt.value("Info", -1), run.outcome.startsWith("Info") ? 5 : -1);
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
        const QStringList one{"2.1.15"}, two{"2.1.15", "2.0.3"};
        const QStringList eleven = QVector<QString>(11, "2.1.15").toList();
        const QStringList success{"Info: Update Successful"}, unchanged{"Info: Firmware Version Unchanged"};
        const QString untouched("fw.bin (5)");
        QTest::newRow("stick plugged in while the drive is awaited")
            << Crowd{one, 1, true, "newer", {{DriveAwaited, PlugStick}}} << success << untouched << 1;
        // Where the camera's port is unknown, the first USB volume is taken: the stick.
        QTest::newRow("the same, the camera's port unknown")
            << Crowd{one, 1, false, "newer", {{DriveAwaited, PlugStick}}} << QStringList{"Error: Time Out"}
            << "fw.bin (IMAGE), update/" << 0;
        QTest::newRow("stick pulled during the copy")
            << Crowd{one, 1, true, "newer", {{BeforeClick, PlugStick}, {DuringCopy, PullStick}}} << success
            << "gone" << 0;
        QTest::newRow("webcam unplugged during the copy")
            << Crowd{one, 1, true, "newer", {{BeforeClick, PlugWebcam}, {DuringCopy, PullWebcam}}} << success
            << "" << 0;
        QTest::newRow("a storm of sticks and webcams while the camera reboots")
            << Crowd{one, 1, true, "newer", {{Rebooting, PlugStick}, {Rebooting, PlugWebcam},
                     {Rebooting, PlugStick}, {Rebooting, PullWebcam}, {Rebooting, PlugWebcam}}}
            << success << untouched << 0;
        QTest::newRow("webcam plugged in, the camera never returns")
            << Crowd{one, 1, true, "newer", {{Rebooting, PlugWebcam}}, Fault::CameraNeverReturns}
            << QStringList{"Error: Time Out"} << "" << 0;
        // The first camera runs 2.1.15, the updated second 2.0.3.
        QTest::newRow("two cameras of one name, the second's version unchanged")
            << Crowd{two, 2, true, "plain", {}} << unchanged << "" << 0;
        QTest::newRow("two cameras of one name, the second updated")
            << Crowd{two, 2, true, "newer", {}} << success << "" << 0;
        // Nothing tells them apart: neither is read.
        QTest::newRow("two cameras of one name, no ports or paths")
            << Crowd{two, 2, false, "newer", {}} << unchanged << "" << 0;
        QTest::newRow("eleven cameras, the tenth updated")
            << Crowd{eleven, 10, true, "newer", {}} << success << "" << 0;
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
        const auto act = [&](Device what) {
            sim::SimDeviceSpec cam;
            cam.friendlyName = QStringLiteral("Integrated Webcam");
            if (what == PlugStick) {
                stick = b.devices.plugVolume({});
                stickDir = b.sim.world.volumes.directory(stick);
                QFile old(QDir(stickDir).filePath("fw.bin"));   // the stick's own file
                QVERIFY(old.open(QIODevice::WriteOnly) && old.write("stick") == 5);
            } else if (what == PullStick) {
                b.devices.unplugVolume(stick);
            } else if (what == PlugWebcam) {
                webcam = b.devices.plugCapture(cam);
            } else {
                b.devices.unplugCapture(webcam);
            }
        };
        const auto at = [&crowd](When when) {
            QVector<Device> whats;
            for (const auto &event : crowd.events)
                if (event.first == when)
                    whats << event.second;
            return whats;
        };
        for (Device what : at(BeforeClick))
            act(what);
        QCoreApplication::processEvents();
        b.camera.fault = crowd.fault;
        b.camera.onPhase = [&](sim::SimCameraUpdate::Phase phase) {
            const bool awaited = phase == sim::SimCameraUpdate::Phase::Switching;
            if (!awaited && phase != sim::SimCameraUpdate::Phase::Rebooting)
                return;
            // Between the camera's leaving and its drive; after the worker has seen the drive go.
            const QVector<Device> whats = at(awaited ? DriveAwaited : Rebooting);
            b.sim.clock.schedule(awaited ? 500 : 2000, [&act, whats]() {
                for (Device what : whats)
                    act(what);
            });
        };
        const std::function<void()> pull = b.sim.world.files.onFlush;
        const QVector<Device> duringCopy = at(DuringCopy);
        b.sim.world.files.onFlush = [&act, pull, duringCopy]() {
            // On the worker thread, once the file is written: the window sees the
            // events before the copy ends.
            platform::runOnGuiThreadAndWait([&act, duringCopy]() { for (Device what : duringCopy) act(what); });
            platform::runOnGuiThreadAndWait([]() {});
            pull();
        };

        QTemporaryDir dir;
        QString path = dir.filePath("plain.bin");
        QFile plain(path);
        QVERIFY(plain.open(QIODevice::WriteOnly) && plain.write("not an image") > 0);
        plain.close();
        if (crowd.image != "plain")
            path = QFINDTESTDATA(crowd.image == "newer" ? "../samples/ostrel-2.2.0.bin"
                                                        : "../samples/ostrel-2.1.15.bin");
        b.w.ui.EditFwFile->setText(QDir::toNativeSeparators(path));
        b.w.ui.BtnLoadFw->click();
        QFETCH(QStringList, boxes);
        QVERIFY(b.runUntil([&]() {
            return b.boxes.boxes.size() >= boxes.size() && g_upgradeStage == UpgradeStage::None
                && b.w.updateStage == WindowStage::Idle;
        }));
        QStringList shown = boxLines(b.boxes.boxes).split('\n', Qt::SkipEmptyParts);
        for (QString &box : shown)
            box = box.section(" [", 0, 0);
        shown.sort();
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
        b.camera.onPhase = [&](sim::SimCameraUpdate::Phase phase) {
            if (phase == sim::SimCameraUpdate::Phase::Switching)
                b.sim.clock.schedule(500, [&]() { panel.findChild<QPushButton *>("Stick")->click(); });
        };
        b.w.ui.EditFwFile->setText(QDir::toNativeSeparators(QFINDTESTDATA("../samples/ostrel-2.2.0.bin")));
        b.w.ui.BtnLoadFw->click();
        QVERIFY(b.runUntil([&]() { return !b.boxes.boxes.isEmpty() && g_upgradeStage == UpgradeStage::None; }));
        QTest::qWait(300);   // the panel shows the machine's state four times a second
        QCOMPARE(boxLines(b.boxes.boxes).section(" [", 0, 0) + " | " + stick->text().section('\n', 0, 0),
                 QString("Info: Update Successful | on USB port 1-1, no fw.bin written"));
    }

    // A file that cannot be copied stops the click before the camera is touched
    // (once switched, only a power cycle would bring it back); so does a camera
    // that refuses to switch, which stays listed.
    void firmwareAtClick_data()
    {
        QTest::addColumn<QString>("file");   // what the path field names
        QTest::addColumn<QString>("seen");
        const QString refused = ending({"Error: Get Firmware File Error"}, "", 0)
            + " | trace Get Firmware Error | camera calls 0/0 | free, taken 0, given up 0";
        QTest::newRow("no file") << "missing" << refused;
        QTest::newRow("a directory") << "directory" << refused;
        QTest::newRow("an empty file") << "empty" << refused;
        QTest::newRow("an unreadable file") << "unreadable" << refused;
        // Opened without blocking and refused: it would never give an end.
        QTest::newRow("a FIFO") << "fifo" << refused;
        QTest::newRow("the camera refuses to switch") << "switch refused"
            << ending({}, "Switch USB Camera to USB Mass Storage Device Error.", 0)
                   + " | trace  | camera calls 1/1 | free, taken 0, given up 0";
        const QString switched = "log: Wait UMS Install.T%1\nbar 0 | stages 1/1 | buttons 000 | "
                                 "cameras 0 | trace  | camera calls 1/1 | %2";
        QTest::newRow("a usable file")
            << "usable" << switched.arg("", "held, taken 1, given up 0");
        // Refused is not an error: the update goes on, with one line in the log.
        QTest::newRow("a usable file, the system refuses to stay awake") << "refused"
            << switched.arg("|Can't keep the computer awake; it may go to sleep during the update.",
                            "free, taken 0, given up 0");
    }
    void firmwareAtClick()
    {
        QFETCH(QString, file);
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
        }
        else if (file != "missing" && file != "fifo")
            QFile(QFINDTESTDATA("../samples/ostrel-2.2.0.bin")).copy(path);
        if (file == "empty")
            QFile(path).resize(0);
        b.sim.world.awake.refuse = file == "refused";
        b.sim.world.capture.device(b.cameraId)->faults.updateFwUms = file == "switch refused" ? 7 : 0;
        std::unique_ptr<UnreadableFile> unreadable(file == "unreadable" ? new UnreadableFile(path)
                                                                        : nullptr);
        if (unreadable && !unreadable->ok())
            QSKIP(qPrintable(unreadable->why()));
        const sim::SimDeviceCounters before = b.sim.world.capture.counters(b.cameraId);
        DebugCapture trace;
        b.w.ui.EditFwFile->setText(QDir::toNativeSeparators(path));
        b.w.ui.BtnLoadFw->click();
        unreadable.reset();
        const sim::SimDeviceCounters after = b.sim.world.capture.counters(b.cameraId);
        QTEST(b.outcome() + " | trace " + trace.lines().join('|')
                  + QStringLiteral(" | camera calls %1/%2 | ")
                        .arg(after.deviceInitCalls - before.deviceInitCalls)
                        .arg(after.updateFwUmsCalls - before.updateFwUmsCalls)
                  + b.hold(), "seen");
        // The firmware is kept only for a camera that switched.
        QCOMPARE(QFile::exists(b.w.firmwareSnapshot.path()), file == "usable" || file == "refused");
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
            b.w.ui.EditFwFile->setText(QFINDTESTDATA("../samples/ostrel-2.2.0.bin"));
            b.w.ui.BtnLoadFw->click();
            QVERIFY(b.runUntil([]() { return g_upgradeStage == UpgradeStage::Copied; }));
            snapshot = b.w.firmwareSnapshot.path();
            QVERIFY(QFile::exists(snapshot));
        }
        const sim::SimCaptureDevices &devices = b.sim.world.capture;
        const auto seen = [&]() {
            return QStringLiteral("references %1, bad releases %2, ")
                       .arg(devices.referencesHeld()).arg(devices.badReleases()) + b.hold();
        };
        // Mid-update the flashing camera is no video device.
        QCOMPARE(seen(), midUpdate ? "references 2, bad releases 0, held, taken 1, given up 0"
                                   : "references 4, bad releases 0, free, taken 0, given up 0");
        b.window.reset();
        QVERIFY(snapshot.isEmpty() || !QFile::exists(snapshot));
        QCOMPARE(seen(), QString("references 0, bad releases 0, free, taken %1, given up %1")
                             .arg(int(midUpdate)));
    }
};

QTEST_MAIN(Update)
#include "tst_update.moc"
