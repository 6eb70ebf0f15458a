#include "sim_update_bench.h"

#include "platform/capture_category.h"
#include "platform/sim/demo_world.h"
#include "update/update_state.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <cstdio>

SimUpdateBench::SimUpdateBench()
{
    running = sim::versionBlock(sim::demoCameraFirmware());
    window.reset(new Tarnholm);
}

SimUpdateBench::~SimUpdateBench() = default;

bool SimUpdateBench::runUntil(const std::function<bool()> &done)
{
    // Events first; the clock moves on only while no copy job runs (its
    // sleeps move it themselves).
    for (int i = 0; i < 200000 && !done(); ++i) {
        QCoreApplication::processEvents();
        if (!done() && (window->updateStage == WindowStage::Copying || !sim.clock.runNext()))
            QThread::usleep(100);
    }
    return done();
}

bool SimUpdateBench::resetCamera()
{
    Tarnholm &w = *window;
    const QString name = QStringLiteral("Ostrel Camera");
    const QVector<int> attached = sim.world.capture.attachedIds();
    const bool oneCamera = attached.size() == 1
        && sim.world.capture.device(attached[0])->friendlyName == name;
    if (oneCamera)
        running = sim.world.capture.device(attached[0])->versionBlock;
    if (camera.driveId() >= 0)
        devices.unplugVolume(camera.driveId());
    if (!oneCamera) {
        for (int id : attached) {
            sim.world.capture.detach(id);
            devices.announceInterface(platform::DeviceEvent::RemoveComplete,
                QStringLiteral("\\\\?\\USB#VID_2E4F#") + QLatin1String(platform::kCaptureCategoryText));
        }
        runUntil([&w]() { return w.ui.DeviceList->count() == 0; });
        devices.plugCapture({name, true, true, running, {}});
    }
    return runUntil([&w]() {
        return w.ui.DeviceList->count() == 1 && w.ui.DeviceList->currentIndex() == 0;
    });
}

SimUpdateBench::Result SimUpdateBench::update(const QString &path, int expectedBoxes)
{
    Tarnholm &w = *window;
    Result result;
    camera.onFlash = [&](const QByteArray &image) {
        result.flashed = image;
        result.drive = listing(sim.world.volumes.directory(camera.driveId()));
    };
    w.ui.EditFwFile->setText(QDir::toNativeSeparators(path));
    w.ui.BtnLoadFw->click();
    const int before = m_boxesSeen;
    result.ended = runUntil([&]() {
        return boxes.boxes.size() >= before + expectedBoxes && g_upgradeStage == UpgradeStage::None
            && w.updateStage == WindowStage::Idle;
    });
    // Let the camera finish what it still does (a reboot after a lost drive),
    // then give any box that should not come a few real milliseconds to show.
    // A camera whose drive got no complete file keeps looking for one.
    runUntil([this]() {
        return sim.clock.pendingActions() == 0
            || camera.phase() == sim::SimCameraUpdate::Phase::DriveMounted;
    });
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
        QThread::usleep(1000);
    }
    // The clock's record of every sleep would grow with each update.
    sim.clock.clearSleeps();
    for (int i = before; i < boxes.boxes.size(); ++i)
        result.boxes << boxes.boxes[i].title + ": " + boxes.boxes[i].text;
    result.boxes.sort();
    m_boxesSeen = boxes.boxes.size();
    if (camera.driveId() >= 0)
        result.drive = listing(sim.world.volumes.directory(camera.driveId()));
    const auto on = [](const QWidget *b) { return QLatin1Char(b->isEnabled() ? '1' : '0'); };
    result.window = QStringLiteral("bar %1 | stages %2/%3 | buttons ")
                        .arg(w.ui.progressBar->value()).arg(int(g_upgradeStage)).arg(w.updateStage)
        + on(w.ui.BtnLoadFw) + on(w.ui.BtnFwFile) + on(w.ui.pBtnDeviceInfo);
    camera.onFlash = nullptr;
    return result;
}

QString SimUpdateBench::listing(const QString &directory)
{
    QStringList out;
    const QDir dir(directory);
    for (const QFileInfo &entry : dir.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                                                    QDir::Name)) {
        out << (entry.isDir() ? entry.fileName() + "/"
                              : QStringLiteral("%1 (%2)").arg(entry.fileName()).arg(entry.size()));
    }
    return out.isEmpty() ? QStringLiteral("nothing") : out.join(", ");
}

qint64 SimUpdateBench::residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

void SimUpdateBench::chooseOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void SimUpdateBench::quietTrace()
{
    qRegisterMetaType<fw_info>("fw_info");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg && !text.contains(QLatin1String("propagateSizeHints")))
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
}
