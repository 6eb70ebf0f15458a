// The copy job as the window runs it: on its own thread, boxes shown on the GUI thread,
// on virtual time. The drive is a temporary directory holding a longer fw.bin left by
// an earlier attempt.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "support/box_text.h"
#include "support/job_thread.h"
#include "support/unreadable_file.h"
#include "update/firmware_copy.h"

#include <QtTest>
#include <cerrno>
#include <memory>
// Each system's own code for creating a file where a directory is.
#ifdef _WIN32
#include <windows.h>
const quint32 kCreateOverDirectory = ERROR_ACCESS_DENIED;
#else
#include <unistd.h>
const quint32 kCreateOverDirectory = EISDIR;
#endif

static void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}
static QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}
// A second name for the same file (not a shortcut or symbolic link).
static bool hardLink(const QString &target, const QString &link)
{
#ifdef _WIN32
    return ::CreateHardLinkW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(link).utf16()),
                             reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(target).utf16()),
                             nullptr);
#else
    return ::link(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
#endif
}
// "1-50,51-94@2000+2000,-3@300000": codes 1 to 50 at 0 ms, 51 to 94 from 2 s on, one
// every 2 s, then -3 at 300 s. Anything else ("box") stays as it is.
static QStringList expand(const QString &spec)
{
    static const QRegularExpression item("^(-?\\d+)(?:-(\\d+))?(?:@(\\d+)(?:\\+(\\d+))?)?$");
    QStringList out;
    for (const QString &part : spec.split(',')) {
        const QRegularExpressionMatch m = item.match(part);
        const int from = m.captured(1).toInt(), every = m.captured(4).toInt();
        const int to = m.captured(2).isEmpty() ? from : m.captured(2).toInt();
        for (int c = from; m.hasMatch() && c <= to; ++c)
            out << QString("%1@%2").arg(c).arg(m.captured(3).toInt() + (c - from) * every);
        if (!m.hasMatch())
            out << part;
    }
    return out;
}

class WorkerTest : public QObject {
    Q_OBJECT
    std::unique_ptr<SimFixture> sim;
    std::unique_ptr<QTemporaryDir> tmp;
    QString driveDir, drive, gone, source;
    QByteArray data, stale = QByteArray(5000, '\xee');
    QMutex mutex;
    QStringList seen;         // "code@ms" since the start (virtual time), "box" for a message box
    QMap<int, qint64> sizeAt; // size of fw.bin when a code came
    bool mounted = false;

    QString fwBin() const { return drive + "fw.bin"; }
    // The drive's entries (where the camera put it aside, if gone), fw.bin as "new" or "old".
    QString leftOnDrive() const
    {
        const QString dir = QFileInfo::exists(driveDir) ? driveDir : gone;
        const QByteArray bytes = read(dir + "/fw.bin");
        return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(' ')
            .replace("fw.bin", bytes == data ? "new" : bytes == stale ? "old" : "fw.bin");
    }

private slots:
    void init()
    {
        sim.reset(new SimFixture);
        tmp.reset(new QTemporaryDir);
        driveDir = tmp->path() + "/drive";
        drive = driveDir + "/"; // a root, like "E:\"
        gone = tmp->path() + "/gone";
        source = tmp->path() + "/firmware.hex";
        QDir().mkdir(driveDir);
        seen.clear(), sizeAt.clear();
        g_upgradeStage = 0;
    }
    void cleanup()
    {
        if (std::exchange(mounted, false))
            QProcess::execute("umount", {driveDir});
        g_mainWindow = nullptr;
    }

    void run_data()
    {
        QTest::addColumn<QString>("setup");  // "size/chunk", then the options listed at run()
        QTest::addColumn<QString>("events"); // as expand() reads them
        QTest::addColumn<QString>("left");   // as leftOnDrive() gives it
        auto row = [](const char *name, const char *setup, const QString &events, QString left) {
            QTest::newRow(name) << QString(setup) << events << left;
        };
        row("empty file, missing drive", "1000/20 file= disk=/none/", "-1", "old");
        row("missing file, missing drive", "1000/20 file=/none disk=/none/", "-2", "old");
        row("drive is a file", "1000/20 disk=SOURCE", "-2", "old");
        row("file is a directory", "1000/20 file=DRIVE", "-1", "old");
        // Another name of the drive's fw.bin: truncating it would empty the source.
        row("file is a hard link to the drive's fw.bin", "1000/20 link=FWBIN", "-1", "old");
        row("empty source", "0/0 drive=1 camera=1001", "-1", "old");
        // The camera would never see its trigger: no fw.bin left, and no 300 s wait.
        row("a file named update in the drive's root", "1000/20 updatefile", "1-50,-2", "update");
        row("create fails", "100/2 createfails", "box,-2", "fw.bin"); // the warning, then -2
        // Never a partial firmware left for the camera to flash.
        row("drive full (64 KiB tmpfs)", "262144/5242 tmpfs", "1-12,-2", "");
        row("flush fails", "1000/20 failflush", "1-50,-2", "");
        row("source unreadable", "1000/20 unreadable", "-1", "old");
        row("source shrinks to 250 bytes after 10 chunks", "1000/20 shrink=#10", "1-12,-1", "");
        // The drive goes 1 ms after the copy, the camera is back 1 ms after the first poll.
        const QString waits = "95@1000,100@2000", copied = "new update";
        row("file is a hard link to another file", "1000/20 link=OTHER drive=1 camera=1001",
            "1-50," + waits, copied);
        row("49 bytes", "49/1 drive=1 camera=1001", "1-49," + waits, copied);
        row("100 bytes", "100/2 drive=1 camera=1001", "1-50," + waits, copied);
        row("2549 bytes", "2549/50 drive=1 camera=1001", "1-51," + waits, copied);
        row("1000049 bytes", "1000049/20000 drive=1 camera=1001", "1-51," + waits, copied);
        // "update" is made only beside a fw.bin read back whole from the drive written to;
        // a drive lost before the trigger was pulled, not taken by the camera.
        row("drive lost before the trigger", "100/2 drive=flush camera=#95", "1-50,-2", "new");
        row("drive replaced under its path", "1000/20 replace=readback", "1-50,-2", "");
        row("read-back differs", "1000/20 readback=corrupt", "1-50,-2", "");
        row("read-back fails", "1000/20 readback=fail", "1-50,-2", "");
        // An "update" left by an earlier attempt: gone before fw.bin is written, or a refusal.
        row("empty update directory on the drive", "1000/20 stale=empty drive=1 camera=1001",
            "1-50,95@1000,100@2000", "new update");
        row("update directory with a file in it", "1000/20 stale=full", "-2", "old update");
        // The link is replaced, never followed: the file it led to keeps its bytes.
        row("fw.bin a symbolic link to a file off the drive", "1000/20 fwlink drive=1 camera=1001",
            "1-50,95@1000,100@2000", "new update");
        row("drive 20 s, camera 60 s", "100/2 drive=20000 camera=60000",
            "1-50,51-60@2000+2000,95@20000,96-99@24000+4000,100@60000", copied);
        const QString late = "1-50,51-94@2000+2000,95@290000,96-97@294000+4000,";
        row("drive 290 s, camera at the limit", "100/2 drive=290000 camera=300000",
            late + "100@300000", copied);
        // The limit is elapsed time from the copy, whatever the clock read before.
        row("drive 290 s, camera never, clock far on", "100/2 drive=290000 clock=86400000000",
            late + "-3@300000", copied);
        row("drive never goes", "100/2", "1-50,51-94@2000+2000,-3@300000", copied);
        // The window closes: a copy is never cut short, a wait ends without another step.
        row("stop during the copy", "1000/20 stop=#10", "1-50", copied);
        row("stop during the drive wait", "1000/20 stop=6000", "1-50,51-52@2000+2000", copied);
        row("stop during the camera wait", "1000/20 drive=20000 stop=28000",
            "1-50,51-60@2000+2000,95@20000,96@24000", copied);
    }
    // Options: file=, disk= (SOURCE, DRIVE, FWBIN name those paths); drive= (the camera takes
    // it away), camera= (back), stop= (the window closes), shrink= (the source), replace=
    // (another directory takes the drive's path): at virtual ms, on a code ("#95"), in the
    // flush or after the read-back; clock= (virtual ms first); tmpfs; failflush; createfails;
    // unreadable (the source); link= (the source is a hard link to FWBIN or OTHER, a file
    // beside it); updatefile (a file "update" in the drive's root); stale= (an "update"
    // directory, empty or full); fwlink (fw.bin a symbolic link to OTHER); readback= (the
    // device gives back corrupt bytes or fails).
    void run()
    {
        QFETCH(QString, setup);
        const QString other = tmp->path() + "/other.hex";
        const QStringList words = setup.replace("SOURCE", source).replace("DRIVE", drive)
                                      .replace("FWBIN", fwBin()).replace("OTHER", other).split(' ');
        QHash<QString, QString> opt;
        for (const QString &w : words.mid(1))
            opt.insert(w.section('=', 0, 0), w.section('=', 1));
        const int size = words[0].section('/', 0, 0).toInt(), chunk = words[0].section('/', 1).toInt();
        sim->clock.advance(opt.value("clock").toLongLong());
        const QStringList tmpfs{"-t", "tmpfs", "-o", "size=64k", "tmpfs", driveDir};
        if (opt.contains("tmpfs") && !(mounted = QProcess::execute("mount", tmpfs) == 0))
            QSKIP("mounting a tmpfs is not permitted here");
        data.resize(size);
        for (int i = 0; i < size; ++i)
            data[i] = char(i * 131 + i / 251);
        write(source, data);
        std::unique_ptr<Tarnholm> window(opt.contains("createfails") ? new Tarnholm : nullptr);
        if (window) // creating fw.bin over a directory fails
            QDir().mkdir(fwBin());
        else
            write(fwBin(), stale);
        if (opt.contains("updatefile"))
            write(drive + "update", "not a directory");
        if (opt.contains("stale"))
            QDir().mkdir(drive + "update");
        if (opt.value("stale") == "full")
            write(drive + "update/left", "x");
        if (opt.contains("fwlink")) {
#ifdef _WIN32
            QSKIP("symbolic links need a privilege on Windows, and its drives have none");
#endif
            write(other, stale);
            QVERIFY(QFile::remove(fwBin()) && QFile::link(other, fwBin()));
        }
        if (opt.contains("link")) {
            write(other, data);
            QVERIFY(QFile::remove(source) && hardLink(opt.value("link"), source));
        }
        const QByteArray sourceBefore = read(source);
        sim->world.files.failFlush = opt.contains("failflush");
        sim->world.files.corruptReadBack = opt.value("readback") == "corrupt";
        sim->world.files.failReadBack = opt.value("readback") == "fail";
        Worker w;
        const fw_info info{opt.value("file", source), opt.value("disk", drive)};
        const bool unreadable = opt.contains("unreadable");
        QString cannotHide; // why the source cannot be made unreadable here
        std::unique_ptr<QThread> thread(new JobThread([&]() {
            // Only the source is out of reach, not the drive; made so on the worker's own
            // thread, as some systems do it per thread.
            std::unique_ptr<UnreadableFile> hidden(unreadable ? new UnreadableFile(source) : nullptr);
            if (hidden && !hidden->ok())
                cannotHide = hidden->why();
            else
                w.WorkerLoadFw(info);
        }));
        const QHash<QString, std::function<void()>> actions{
            {"drive", [this]() { QDir().rename(driveDir, gone); }},
            {"camera", []() { g_upgradeStage = 5; }},
            {"stop", [&thread]() { thread->requestInterruption(); }},
            {"shrink", [this]() { QFile(source).resize(250); }},
            {"replace", [this]() {
                 QDir().rename(driveDir, gone);
                 QDir().mkdir(driveDir);
             }}};
        QHash<int, std::function<void()>> onCode;
        for (const QString &key : actions.keys()) {
            const QString when = opt.value(key);
            if (when == "flush")
                sim->world.files.onFlush = actions[key];
            else if (when == "readback")
                sim->world.files.afterReadBack = actions[key];
            else if (when.startsWith('#'))
                onCode.insert(when.mid(1).toInt(), actions[key]);
            else if (!when.isEmpty())
                sim->clock.schedule(when.toInt(), actions[key]);
        }
        // Ends a run that misses its limit, so such a fault fails instead of hanging.
        sim->clock.schedule(400000, actions["drive"]);
        sim->clock.schedule(400001, actions["camera"]);
        BoxCloser boxes;
        boxes.onBox = [this](const SeenBox &) { QMutexLocker lock(&mutex); seen << "box"; };
        const qint64 t0 = sim->clock.monotonicMs();
        connect(&w, &Worker::WorkerTheardState, &w, [&, t0](int code) {
            QMutexLocker lock(&mutex);
            seen << QString("%1@%2").arg(code).arg(sim->clock.monotonicMs() - t0);
            sizeAt.insert(code, QFileInfo(fwBin()).size());
            onCode.value(code, []() {})();
        }, Qt::DirectConnection);
        QEventLoop loop;
        connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
        thread->start();
        loop.exec();
        thread->wait();
        if (!cannotHide.isEmpty())
            QSKIP(qPrintable(cannotHide));
        QFETCH(QString, events);
        QCOMPARE(seen, expand(events));
        for (int k = 1; sizeAt.contains(k) && k * chunk < size + chunk; ++k)
            QCOMPARE(sizeAt[k], qint64(qMin(k * chunk, size))); // each code follows its chunk
        QTEST(leftOnDrive(), "left");
        if (!opt.contains("shrink") && !unreadable) // the source is never written to
            QCOMPARE(read(source), sourceBefore);
        if (opt.contains("fwlink"))
            QCOMPARE(read(other), stale);
        QCOMPARE(boxLines(boxes.boxes),
                 window ? QString("Error: Create File: %1%2fw.bin Error(%3) [warning, OK, on %4]\n")
                              .arg(drive, QDir::separator()).arg(kCreateOverDirectory)
                              .arg(window->objectName())
                        : QString());
        if (!seen.value(0).at(0).isDigit()) // refused before the copy
            QCOMPARE(g_upgradeStage.load(), 0);
        qint64 slept = 0; // in polls of one second, none after the last code or the stop
        for (const auto &s : sim->clock.sleeps())
            slept += s.ms == 1000 ? s.ms : 1000000;
        QCOMPARE(slept, qMax(seen.last().section('@', 1).toLongLong(), opt.value("stop").toLongLong()));
    }
    // 64-bit sizes: 6 GiB go in 50 chunks and a remainder like any large file.
    void sixGiBIn51Chunks() { QCOMPARE(firmware::chunkLength(6442450993), qint64(128849019)); }
};

QTEST_MAIN(WorkerTest)
#include "tst_worker.moc"
