#include "app/message_box.h"
#include "app/worker.h"
#include "app/tarnholm.h"
#include "platform/gui_thread.h"
#include "platform/platform.h"
#include "update/firmware_copy.h"
#include "update/update_state.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <functional>
#include <memory>
#include <new>

namespace {

using namespace WorkerState;

// One limit over both waits: the camera must be back within 300 s of the copy.
constexpr qint64 kWaitLimitMs = 300 * 1000;
constexpr int kPollMs = 1000;
// Progress creeps while the camera works, slower while it reboots, and never
// reaches the value that means the next phase has begun.
constexpr int kDriveStepPolls = 2;
constexpr int kDriveStepCeiling = 94;
constexpr int kCameraStepPolls = 4;
constexpr int kCameraStepCeiling = 99;

// An entry in the drive's root: root, native separator, name. On Windows the
// root already ends in "\" ("E:\"), giving "E:\\fw.bin": the text the operator
// sees in the failure message, and a path the system reads with the doubled
// separator as one. Elsewhere the root is a mount point with or without a
// trailing "/", and "/" joins it to the name correctly in both cases.
QString onDrive(const QString &root, const QString &name)
{
    return root + QDir::separator() + name;
}

bool isDirectory(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && info.isDir();
}

// The window's destructor asks the worker thread to stop.
bool stopRequested()
{
    return QThread::currentThread()->isInterruptionRequested();
}

// Widgets live on the GUI thread, so the box is shown there while the worker
// waits for the operator to close it; -2 thus always follows the box. The wait
// gives up when the thread is asked to stop: a closing window must not wait
// for a worker that waits for a box the window will never show.
void showCreateFileWarning(const QString &text)
{
    QWidget *parent = g_mainWindow;
    platform::runOnGuiThreadAndWait([parent, text]() {
        showMessageBox(parent, QMessageBox::Warning, QString::fromLocal8Bit("Error"), text);
    }, parent);
}

// An "update" left by an interrupted attempt would have the camera flash
// fw.bin while it is being written. An empty one is removed; one holding
// anything stays, and false says the drive cannot be used. Anything else of
// that name (a file, a link) fails the trigger's creation after the copy.
bool removeStaleTrigger(const QString &trigger)
{
    const QFileInfo info(trigger);
    if (!info.isDir() || info.isSymLink())
        return true;
    return QDir().rmdir(trigger);
}

enum class WaitEnd { Reached, TimedOut, Stopped };

// Polls once a second until `reached` holds, or the limit counted from
// `waitStart` has passed. After every `stepPolls` polls it reports one more
// step while `last` is below `ceiling`. A stop request ends the wait within
// one poll and nothing more is reported.
WaitEnd waitUntil(const std::function<bool()> &reached, int stepPolls, int ceiling,
                  qint64 waitStart, int &last, const std::function<void(int)> &report)
{
    platform::Clock *clock = platform::current().clock;
    int sleeps = 0;
    while (!reached()) {
        if (stopRequested())
            return WaitEnd::Stopped;
        if (clock->monotonicMs() - waitStart >= kWaitLimitMs)
            return WaitEnd::TimedOut;
        clock->sleepMs(kPollMs);
        if (stopRequested())
            return WaitEnd::Stopped;
        if (++sleeps >= stepPolls && last < ceiling) {
            sleeps = 0;
            report(++last);
        }
    }
    return WaitEnd::Reached;
}

} // namespace

void Worker::WorkerLoadFw(const fw_info &inof)
{
    if (inof.fw_file.isEmpty()) {
        emit WorkerTheardState(FileUnusable);
        return;
    }
    // The drive is checked before the file.
    if (!isDirectory(inof.disk_path)) {
        emit WorkerTheardState(DriveUnusable);
        return;
    }
    platform::FileIo *files = platform::current().files;
    const QString destination = onDrive(inof.disk_path, g_firmwareFileName);
    // Truncating the destination would destroy a source that is the very
    // fw.bin on the drive, under that name or through a link of any kind.
    if (!QFileInfo(inof.fw_file).isFile() || files->sameFile(inof.fw_file, destination)) {
        emit WorkerTheardState(FileUnusable);
        return;
    }

    // The source and its chunk buffer come first, so a file that cannot be
    // read leaves the drive untouched.
    QFile source;
    if (!files->openRegular(source, inof.fw_file)) {
        emit WorkerTheardState(FileUnusable);
        return;
    }
    const qint64 size = source.size();
    // An empty fw.bin would have the camera flash nothing.
    if (size == 0) {
        source.close();
        emit WorkerTheardState(FileUnusable);
        return;
    }
    const qint64 chunk = firmware::chunkLength(size);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(chunk)]);
    if (!buffer) {
        source.close();
        emit WorkerTheardState(FileUnusable);
        return;
    }

    // The drive as it is now: "update" goes only onto this same file system,
    // never into the folder a lazily unmounted drive leaves behind.
    const QByteArray driveId = files->fileId(inof.disk_path);
    const QString trigger = onDrive(inof.disk_path, QStringLiteral("update"));
    if (driveId.isEmpty() || !removeStaleTrigger(trigger)) {
        source.close();
        emit WorkerTheardState(DriveUnusable);
        return;
    }
    // From here on a failure leaves no fw.bin for the camera to flash, unless
    // the drive is gone or is no longer the drive written to.
    const auto fail = [&](int code) {
        if (files->fileId(inof.disk_path) == driveId)
            QFile::remove(destination);
        emit WorkerTheardState(code);
    };

    // A new regular file, so a longer fw.bin from an earlier attempt keeps
    // no stale tail and a link of that name leads nowhere.
    QFile target;
    if (!files->createRegular(target, destination)) {
        const quint32 error = files->lastError();
        showCreateFileWarning(QString::fromLocal8Bit("Create File: %1 Error(%2)")
                                  .arg(destination)
                                  .arg(error, 0, 10, QLatin1Char('0')));
        source.close();
        emit WorkerTheardState(DriveUnusable);
        return;
    }
    g_upgradeStage = UpgradeStage::Copying;

    int last = 0;
    const firmware::CopyResult copied = firmware::copyInChunks(
        source, target, size, buffer.get(), chunk, [this, &last](int chunks) {
            last = chunks;
            emit WorkerTheardState(chunks);
        });
    buffer.reset();
    // The camera starts flashing as soon as it sees "update", so the file
    // must be on the device in full before that; a failed flush or close is a
    // failed write.
    bool stored = copied == firmware::CopyResult::Done && files->flushToDevice(target);
    target.close();
    stored = stored && target.error() == QFileDevice::NoError;
    // What the camera will read is what the drive gives back, which a worn
    // or miswritten medium can make differ from what it accepted.
    const bool verified = stored && files->matchesOnDevice(destination, source, chunk);
    source.close();
    if (copied == firmware::CopyResult::ReadFailed) {
        fail(FileUnusable);
        return;
    }
    if (!verified) {
        fail(DriveUnusable);
        return;
    }
    if (files->fileId(inof.disk_path) != driveId) {
        emit WorkerTheardState(DriveUnusable);
        return;
    }
    // "update" tells the camera to flash; the camera drops its drive only
    // after seeing it. A failed mkdir (a file of that name in the way, the
    // drive read-only or pulled) means the camera was never told: the run
    // fails now rather than waiting for a camera that will not move.
    if (!QDir().mkdir(trigger)) {
        fail(DriveUnusable);
        return;
    }

    // Elapsed time on the monotonic clock: setting the time of day during the
    // waits neither shortens nor lengthens the limit.
    const qint64 waitStart = platform::current().clock->monotonicMs();
    g_upgradeStage = UpgradeStage::Copied;

    const auto report = [this](int code) { emit WorkerTheardState(code); };
    const QString drive = inof.disk_path;
    WaitEnd end = waitUntil([drive]() { return !QFileInfo::exists(drive); },
                            kDriveStepPolls, kDriveStepCeiling, waitStart, last, report);
    if (end != WaitEnd::Reached) {
        // A stop request ends the run silently; the limit ends it with -3.
        if (end == WaitEnd::TimedOut)
            emit WorkerTheardState(TimedOut);
        return;
    }
    g_upgradeStage = UpgradeStage::DriveGone;
    last = Rebooting;
    emit WorkerTheardState(Rebooting);

    end = waitUntil([]() { return g_upgradeStage == UpgradeStage::CameraBack; },
                    kCameraStepPolls, kCameraStepCeiling, waitStart, last, report);
    if (end != WaitEnd::Reached) {
        if (end == WaitEnd::TimedOut)
            emit WorkerTheardState(TimedOut);
        return;
    }
    emit WorkerTheardState(Done);
}
