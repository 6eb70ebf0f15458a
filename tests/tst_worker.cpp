// The copy job as the window runs it: on its own thread, boxes shown on the GUI thread, on virtual
// time. The drive is a temporary directory holding a longer fw.bin left by an earlier attempt.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "support/box_text.h"
#include "support/job_thread.h"
#include "update/firmware_copy.h"
#include "update/update_state.h"

#include <QtTest>
#include <cerrno>
#include <memory>
#ifdef _WIN32
#include <windows.h>
const quint32 kCreateOverDirectory = ERROR_ACCESS_DENIED; // the system's code for a file where a directory is
#else
const quint32 kCreateOverDirectory = EISDIR;
#endif

static QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}
enum Arrange {
    Plain, FileGone, DriveIsFile, UpdateFile, CreateFails, FailFlush, ShrinkAtChunk10, DriveLostInFlush,
    ReplacedAfterReadBack, ReadBackCorrupt, ReadBackFails, StaleEmpty, StaleFull, FwBinSymlink, ClockFarOn,
    StopAtChunk10
};
// Virtual ms from the start at which the camera takes its drive, is back, the window closes (-1: never).
struct Timing { qint64 driveAt, cameraAt, stopAt; };
// The codes a run sends: chunk codes 1..copied at once, drive-wait steps one every 2 s,
// 95 at goneAt (-1: never), camera-wait steps one every 4 s after it, then `end` (0: none) at endAt.
struct Codes { int copied, drivePolls; qint64 goneAt; int cameraPolls, end; qint64 endAt; };
Q_DECLARE_METATYPE(Arrange)
Q_DECLARE_METATYPE(Timing)
Q_DECLARE_METATYPE(Codes)
using Seen = QList<QPair<int, qint64>>; // codes with their virtual ms since the start
static Seen sequence(const Codes &c)
{
    Seen out;
    for (int k = 1; k <= c.copied; ++k)
        out << qMakePair(k, qint64(0));
    for (int k = 1; k <= c.drivePolls; ++k)
        out << qMakePair(c.copied + k, 2000 * qint64(k));
    if (c.goneAt >= 0)
        out << qMakePair(95, c.goneAt);
    for (int k = 1; k <= c.cameraPolls; ++k)
        out << qMakePair(95 + k, c.goneAt + 4000 * k);
    if (c.end != 0)
        out << qMakePair(c.end, c.endAt);
    return out;
}

class WorkerTest : public QObject {
    Q_OBJECT
private slots:
    void run_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<Arrange>("arrange");
        QTest::addColumn<Timing>("timing");
        QTest::addColumn<Codes>("want");
        QTest::addColumn<QString>("left"); // the drive's entries, fw.bin as "new" or "old"
        auto row = [](const char *name, int size, Arrange arrange, Timing t, Codes c, QString left) {
            QTest::newRow(name) << size << arrange << t << c << left;
        };
        // quick: the drive goes 1 ms after the copy, the camera is back 1 ms after the first poll.
        const Timing none{-1, -1, -1}, quick{1, 1001, -1};
        const auto failed = [](int copied, int end) { return Codes{copied, 0, -1, 0, end, 0}; };
        const auto done = [](int copied) { return Codes{copied, 0, 1000, 0, 100, 2000}; };
        const QString copied = "new update";
        row("the file gone", 1000, FileGone, none, failed(0, -1), "old");
        row("drive is a file", 1000, DriveIsFile, none, failed(0, -2), "old");
        // The camera would never see its trigger: no fw.bin left, and no 300 s wait.
        row("a file named update in the drive's root", 1000, UpdateFile, none, failed(50, -2), "update");
        row("create fails", 100, CreateFails, none, failed(0, -2), "fw.bin"); // after the warning
        // Never a partial firmware left for the camera to flash.
        row("flush fails", 1000, FailFlush, none, failed(50, -2), "");
        row("source shrinks to 250 bytes after 10 chunks", 1000, ShrinkAtChunk10, none, failed(12, -1), "");
        row("49 bytes", 49, Plain, quick, done(49), copied);
        row("2549 bytes", 2549, Plain, quick, done(51), copied);
        // "update" is made only beside a fw.bin read back whole from the drive written to;
        // a drive lost before the trigger was pulled, not taken by the camera.
        row("drive lost before the trigger", 100, DriveLostInFlush, none, failed(50, -2), "new");
        row("drive replaced under its path", 1000, ReplacedAfterReadBack, none, failed(50, -2), "");
        row("read-back differs", 1000, ReadBackCorrupt, none, failed(50, -2), "");
        row("read-back fails", 1000, ReadBackFails, none, failed(50, -2), "");
        // An "update" left by an earlier attempt: gone before fw.bin is written, or a refusal.
        row("empty update directory on the drive", 1000, StaleEmpty, quick, done(50), copied);
        row("update directory with a file in it", 1000, StaleFull, none, failed(0, -2), "old update");
        // The link is replaced, never followed: the file it led to keeps its bytes.
        row("fw.bin a symbolic link to a file off the drive", 1000, FwBinSymlink, quick, done(50), copied);
        row("drive 20 s, camera 60 s", 100, Plain, {20000, 60000, -1}, {50, 10, 20000, 4, 100, 60000}, copied);
        row("drive 290 s, camera at the limit", 100, Plain, {290000, 300000, -1}, {50, 44, 290000, 2, 100, 300000},
            copied);
        // The limit is elapsed time from the copy, whatever the clock read before.
        row("drive 290 s, camera never, clock far on", 100, ClockFarOn, {290000, -1, -1},
            {50, 44, 290000, 2, -3, 300000}, copied);
        // The window closes: a copy is never cut short, a wait ends without another step.
        row("stop during the copy", 1000, StopAtChunk10, none, {50, 0, -1, 0, 0, -1}, copied);
        row("stop during the drive wait", 1000, Plain, {-1, -1, 6000}, {50, 2, -1, 0, 0, -1}, copied);
    }
    void run()
    {
        QFETCH(int, size);
        QFETCH(Arrange, arrange);
        QFETCH(Timing, timing);
        SimFixture sim;
        QTemporaryDir tmp;
        const QString driveDir = tmp.path() + "/drive", gone = tmp.path() + "/gone";
        const QString drive = driveDir + "/", fwBin = drive + "fw.bin"; // drive: a root, like "E:\"
        const QString source = tmp.path() + "/firmware.hex", other = tmp.path() + "/other.hex";
        QVERIFY(QDir().mkdir(driveDir));
        g_upgradeStage = UpgradeStage::None;
        g_mainWindow = nullptr; // the last row's window is gone
        sim.clock.advance(arrange == ClockFarOn ? 86400000000 : 0);
        QByteArray data(size, '\0');
        const QByteArray stale(5000, '\xee');
        for (int i = 0; i < size; ++i)
            data[i] = char(i * 131 + i / 251);
        QVERIFY(writeFile(source, data));
        std::unique_ptr<Tarnholm> window(arrange == CreateFails ? new Tarnholm : nullptr);
        if (window) // creating fw.bin over a directory fails
            QDir().mkdir(fwBin);
        else
            QVERIFY(writeFile(fwBin, stale));
        if (arrange == UpdateFile)
            QVERIFY(writeFile(drive + "update", "not a directory"));
        if (arrange == StaleEmpty || arrange == StaleFull)
            QDir().mkdir(drive + "update");
        if (arrange == StaleFull)
            QVERIFY(writeFile(drive + "update/left", "x"));
        if (arrange == FwBinSymlink) {
#ifdef _WIN32
            QSKIP("symbolic links need a privilege on Windows, and its drives have none");
#endif
            QVERIFY(writeFile(other, stale));
            QVERIFY(QFile::remove(fwBin) && QFile::link(other, fwBin));
        }
        const QByteArray sourceBefore = read(source);
        sim.world.files.failFlush = arrange == FailFlush;
        sim.world.files.corruptReadBack = arrange == ReadBackCorrupt;
        sim.world.files.failReadBack = arrange == ReadBackFails;
        const fw_info info{arrange == FileGone ? tmp.path() + "/gone.hex" : source,
                           arrange == DriveIsFile ? source : drive};
        Worker w;
        JobThread thread([&]() { w.WorkerLoadFw(info); });
        const std::function<void()> takeDrive = [&]() { QDir().rename(driveDir, gone); };
        const std::function<void()> cameraBack = []() { g_upgradeStage = UpgradeStage::CameraBack; };
        const std::function<void()> stop = [&thread]() { thread.requestInterruption(); };
        QHash<int, std::function<void()>> onCode;
        if (arrange == StopAtChunk10)
            onCode.insert(10, stop);
        if (arrange == ShrinkAtChunk10)
            onCode.insert(10, [&]() { QFile(source).resize(250); });
        if (arrange == DriveLostInFlush) {
            sim.world.files.onFlush = takeDrive;
            onCode.insert(95, cameraBack);
        }
        if (arrange == ReplacedAfterReadBack)
            sim.world.files.afterReadBack = [&]() {
                takeDrive();
                QDir().mkdir(driveDir);
            };
        for (const auto &timed : {qMakePair(timing.driveAt, takeDrive), qMakePair(timing.cameraAt, cameraBack),
                                  qMakePair(timing.stopAt, stop)})
            if (timed.first >= 0)
                sim.clock.schedule(timed.first, timed.second);
        // Ends a run that misses its limit, so such a fault fails instead of hanging.
        sim.clock.schedule(400000, takeDrive);
        sim.clock.schedule(400001, cameraBack);
        Seen seen;
        QMap<int, qint64> sizeAt; // of fw.bin when a code came
        BoxCloser boxes;
        int boxAfter = -1; // codes sent before the box showed (the worker waits while it shows)
        boxes.onBox = [&](const SeenBox &) { boxAfter = seen.size(); };
        const qint64 t0 = sim.clock.monotonicMs();
        connect(&w, &Worker::WorkerTheardState, &w, [&](int code) {
            seen << qMakePair(code, sim.clock.monotonicMs() - t0);
            sizeAt.insert(code, QFileInfo(fwBin).size());
            onCode.value(code, []() {})();
        }, Qt::DirectConnection);
        QEventLoop loop;
        connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
        thread.start();
        loop.exec();
        thread.wait();

        QFETCH(Codes, want);
        const Seen expected = sequence(want); // code by code, so a failure names the first that differs; (0, -1): none
        for (int i = 0; i < qMax(seen.size(), expected.size()); ++i)
            QCOMPARE(seen.value(i, {0, -1}), expected.value(i, {0, -1}));
        const qint64 chunk = firmware::chunkLength(size);
        for (int k = 1; k <= want.copied; ++k) // each code follows its chunk
            QCOMPARE(sizeAt[k], qMin(k * chunk, qint64(size)));
        // Where the camera put the drive aside, if it took it.
        const QString dir = QFileInfo::exists(driveDir) ? driveDir : gone;
        const QByteArray left = read(dir + "/fw.bin");
        QTEST(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(' ')
                  .replace("fw.bin", left == data ? "new" : left == stale ? "old" : "fw.bin"), "left");
        if (arrange != ShrinkAtChunk10) // the source is never written to
            QCOMPARE(read(source), sourceBefore);
        if (arrange == FwBinSymlink)
            QCOMPARE(read(other), stale);
        QCOMPARE(boxAfter, window ? 0 : -1); // the warning comes before the -2
        const QString warning("Error: Create File: %1%2fw.bin Error(%3) [warning, OK, on TarnholmClass]\n");
        QCOMPARE(boxLines(boxes.boxes), window ? warning.arg(drive, QDir::separator()).arg(kCreateOverDirectory) : "");
        if (want.copied == 0) // refused before the copy
            QCOMPARE(g_upgradeStage.load(), UpgradeStage::None);
    }
};

QTEST_MAIN(WorkerTest)
#include "tst_worker.moc"
