#include "app/tarnholm.h"
#include "app/worker.h"
#include "support/box_text.h"
#include "update/firmware_copy.h"

#include <QtTest>
#include <cerrno>
#include <memory>
#include <numeric>
#ifdef Q_OS_LINUX
#include <sys/fsuid.h>
#endif

class WorkerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> sim;
    std::unique_ptr<QTemporaryDir> tmp;
    QString driveDir, drive, gone, source;
    QMutex mutex;
    QVector<int> codes;
    QVector<qint64> times, sizes; // per code: virtual ms since the start, size of fw.bin
    std::function<void(int)> onCode;
    bool mounted = false;

    QString fwBin() const { return drive + "fw.bin"; }
    QStringList entries() const { return QDir(drive).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); }
    static QByteArray contents(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
    }
    static void write(const QString &path, const QByteArray &data)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
    }
    QByteArray writeSource(qint64 size)
    {
        QByteArray data(int(size), Qt::Uninitialized);
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 131 + i / 251);
        write(source, data);
        return data;
    }
    // The camera takes the drive away (kept aside for inspection) and comes back.
    void driveGoesAt(int ms) { sim->clock.schedule(ms, [this]() { QDir().rename(driveDir, gone); }); }
    void cameraBackAt(int ms) { sim->clock.schedule(ms, []() { g_upgradeStage = 5; }); }
    void watch(Worker &w)
    {
        const qint64 start = sim->clock.monotonicMs();
        connect(&w, &Worker::WorkerTheardState, &w, [this, start](int code) {
            {
                QMutexLocker lock(&mutex);
                codes << code;
                times << sim->clock.monotonicMs() - start;
                sizes << QFileInfo(fwBin()).size();
            }
            if (onCode)
                onCode(code);
        }, Qt::DirectConnection);
        // Ends a run that misses its limit, so such a fault fails instead of hanging.
        driveGoesAt(400000);
        cameraBackAt(400001);
    }
    void run(const fw_info &info)
    {
        Worker w;
        watch(w);
        w.WorkerLoadFw(info);
    }
    // As the window runs it: on its own thread, boxes shown on the GUI thread.
    void runOnThread(QThread &thread)
    {
        Worker w;
        watch(w);
        w.moveToThread(&thread);
        thread.start();
        QAtomicInt finished;
        const fw_info info{source, drive};
        QMetaObject::invokeMethod(&w, [&]() { w.WorkerLoadFw(info); finished = 1; });
        QTRY_VERIFY_WITH_TIMEOUT(finished.loadAcquire(), 5000);
        thread.quit();
        thread.wait();
    }
    static QVector<int> upTo(int n) { QVector<int> v(n); std::iota(v.begin(), v.end(), 1); return v; }
    // "code@ms" for codes from..to, the first at firstAt, then one every `every` ms.
    static QStringList steps(int from, int to, qint64 firstAt = 0, qint64 every = 0)
    {
        QStringList out;
        for (int c = from; c <= to; ++c)
            out << QString("%1@%2").arg(c).arg(firstAt + (c - from) * every);
        return out;
    }

private slots:
    void initTestCase() { qRegisterMetaType<fw_info>("fw_info"); }
    void init()
    {
        sim.reset(new SimFixture);
        tmp.reset(new QTemporaryDir);
        driveDir = tmp->path() + "/drive";
        drive = driveDir + "/"; // a root, like "E:\"
        gone = tmp->path() + "/gone";
        source = tmp->path() + "/firmware.hex";
        QDir().mkdir(driveDir);
        codes.clear(); times.clear(); sizes.clear();
        onCode = nullptr;
        g_upgradeStage = 0;
    }
    void cleanup()
    {
        if (mounted)
            QProcess::execute("umount", {driveDir});
        mounted = false;
        g_mainWindow = nullptr;
    }

    void checksInOrder_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("disk");
        QTest::addColumn<int>("code");
        QTest::newRow("empty file, missing drive") << "" << "/nonexistent/" << -1;
        QTest::newRow("missing file, missing drive") << "/nonexistent.bin" << "/nonexistent/" << -2;
        QTest::newRow("drive is a file") << "SOURCE" << "SOURCE" << -2;
        QTest::newRow("missing file") << "/nonexistent.bin" << "DRIVE" << -1;
        QTest::newRow("file is a directory") << "DRIVE" << "DRIVE" << -1;
        QTest::newRow("file is the drive's own fw.bin") << "FWBIN" << "DRIVE" << -1;
    }
    void checksInOrder()
    {
        QFETCH(QString, file);
        QFETCH(QString, disk);
        QFETCH(int, code);
        write(fwBin(), writeSource(1000));
        auto resolve = [this](QString s) {
            return s.replace("SOURCE", source).replace("DRIVE", drive).replace("FWBIN", fwBin());
        };
        BoxCloser boxes;
        run({resolve(file), resolve(disk)});
        QCOMPARE(codes, QVector<int>{code});
        QCOMPARE(entries(), QStringList{"fw.bin"});
        QCOMPARE(contents(fwBin()), contents(source));
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE(g_upgradeStage.load(), 0);
    }

    void createFailureWarnsThenFails()
    {
        writeSource(100);
        QDir().mkdir(fwBin()); // open() on a directory fails with EISDIR
        Tarnholm window;
        BoxCloser boxes;
        int codesWhenShown = -1;
        boxes.onBox = [&](const SeenBox &) { QMutexLocker lock(&mutex); codesWhenShown = codes.size(); };
        QThread thread;
        runOnThread(thread);
        QCOMPARE(boxLines(boxes.boxes), QString("Error: Create File: %1/fw.bin Error(%2) [warning, OK, on %3]\n")
                                            .arg(drive).arg(EISDIR).arg(window.objectName()));
        QVERIFY(!boxes.boxes[0].hasDefault);
        QCOMPARE(codesWhenShown, 0);
        QCOMPARE(codes, QVector<int>{-2});
    }

    void largeFilesKeep50Chunks()
    {
        QCOMPARE(firmware::chunkLength(Q_INT64_C(4294967296)), Q_INT64_C(85899345));
        QCOMPARE(firmware::chunkLength(Q_INT64_C(6442450993)), Q_INT64_C(128849019));
    }

    // Every run starts over a longer fw.bin left by an earlier attempt.
    void copyAndWaits_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("chunk");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("driveGone");  // ms after the start; 0: during the flush; -1: never
        QTest::addColumn<int>("cameraBack"); // ms after the start; 0: as 95 arrives; -1: never
        QTest::addColumn<qint64>("clockAt"); // virtual time when the run starts
        QTest::addColumn<QStringList>("events"); // "code@ms"
        QTest::addColumn<QStringList>("left");   // on the drive at the end
        const QStringList copied{"fw.bin", "update"}, nothing;
        for (auto sc : {qMakePair(0, 0), qMakePair(49, 1), qMakePair(100, 2), qMakePair(2549, 50),
                        qMakePair(1000049, 20000)})
            QTest::addRow("%d bytes", sc.first) << sc.first << sc.second << "" << 1 << 1001 << qint64(0)
                << steps(1, sc.second ? (sc.first + sc.second - 1) / sc.second : 0) + QStringList{"95@1000", "100@2000"}
                << copied;
        const QStringList chunks = steps(1, 50), driveSteps = chunks + steps(51, 94, 2000, 2000);
        const QStringList late = driveSteps + QStringList{"95@290000", "96@294000", "97@298000"};
        QTest::newRow("drive already gone, camera already back") << 100 << 2 << "" << 0 << 0 << qint64(0)
            << chunks + QStringList{"95@0", "100@0"} << QStringList{"fw.bin"};
        QTest::newRow("drive 20 s, camera 60 s") << 100 << 2 << "" << 20000 << 60000 << qint64(0)
            << chunks + steps(51, 60, 2000, 2000) + QStringList{"95@20000"} + steps(96, 99, 24000, 4000) + QStringList{"100@60000"}
            << copied;
        QTest::newRow("drive 290 s, camera at the limit") << 100 << 2 << "" << 290000 << 300000 << qint64(0)
            << late + QStringList{"100@300000"} << copied;
        QTest::newRow("drive 290 s, camera never") << 100 << 2 << "" << 290000 << -1 << qint64(0)
            << late + QStringList{"-3@300000"} << copied;
        // The limit is elapsed time from the copy, whatever the clock read before.
        QTest::newRow("drive 290 s, camera never, clock far on") << 100 << 2 << "" << 290000 << -1
            << Q_INT64_C(86400000000) << late + QStringList{"-3@300000"} << copied;
        QTest::newRow("drive never goes") << 100 << 2 << "" << -1 << -1 << qint64(0) << driveSteps + QStringList{"-3@300000"}
                                          << copied;
        // No partial firmware is ever left for the camera to flash.
        QTest::newRow("drive full (64 KiB tmpfs)") << 256 * 1024 << 5242 << "tmpfs" << -1 << -1 << qint64(0)
            << steps(1, 12) + QStringList{"-2@0"} << nothing;
        QTest::newRow("flush fails") << 1000 << 20 << "flush" << -1 << -1 << qint64(0) << chunks + QStringList{"-2@0"} << nothing;
        QTest::newRow("source shrinks to 250 bytes after 10 chunks") << 1000 << 20 << "shrink" << -1 << -1
            << qint64(0) << steps(1, 12) + QStringList{"-1@0"} << nothing;
        QTest::newRow("source unreadable") << 1000 << 20 << "unreadable" << -1 << -1 << qint64(0)
            << QStringList{"-1@0"} << QStringList{"fw.bin"}; // the old one, untouched
    }
    void copyAndWaits()
    {
        QFETCH(int, size);
        QFETCH(int, chunk);
        QFETCH(QString, fault);
        QFETCH(int, driveGone);
        QFETCH(int, cameraBack);
        QFETCH(qint64, clockAt);
        QFETCH(QStringList, left);
        sim->clock.advance(clockAt);
        mounted = fault == "tmpfs";
        if (mounted && QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", driveDir}) != 0)
            QSKIP("mounting a tmpfs is not permitted here");
        const QByteArray data = writeSource(size);
        const QByteArray stale(5000, '\xee');
        write(fwBin(), stale);
        sim->world.files.failFlush = fault == "flush";
        if (fault == "shrink")
            onCode = [this](int c) { if (c == 10) QFile(source).resize(250); };
        if (driveGone == 0)
            sim->world.files.onFlush = [this]() { QDir().rename(driveDir, gone); };
        else if (driveGone > 0)
            driveGoesAt(driveGone);
        if (cameraBack == 0)
            onCode = [](int c) { if (c == 95) g_upgradeStage = 5; };
        else if (cameraBack > 0)
            cameraBackAt(cameraBack);
#ifdef Q_OS_LINUX
        if (fault == "unreadable") {
            QFile(source).setPermissions({});
            QFile(tmp->path()).setPermissions(QFileDevice::Permissions(0x7711));
            QFile(driveDir).setPermissions(QFileDevice::Permissions(0x7777));
            setfsuid(65534); // root reads any file
        }
#endif
        run({source, drive});
#ifdef Q_OS_LINUX
        setfsuid(0);
#endif
        QStringList seen;
        for (int i = 0; i < codes.size(); ++i)
            seen << QString("%1@%2").arg(codes[i]).arg(times[i]);
        QTEST(seen, "events");
        for (int k = 1; k <= codes.size() && codes[k - 1] == k && k * chunk < size + chunk; ++k)
            QCOMPARE(sizes[k - 1], qint64(qMin(k * chunk, size))); // each code follows its chunk
        const QString dir = QFileInfo::exists(driveDir) ? driveDir : gone;
        QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), left);
        QVERIFY(left.isEmpty() || contents(dir + "/fw.bin") == (fault == "unreadable" ? stale : data));
        qint64 slept = 0;
        for (const auto &s : sim->clock.sleeps())
            slept += s.ms == 1000 ? s.ms : 1000000; // polls of one second only
        QCOMPARE(slept, times.last());
    }

    void closingWindowStopsTheRun_data()
    {
        QTest::addColumn<int>("at"); // ms after the start, or minus the code on which to stop
        QTest::newRow("during the copy") << -10;
        QTest::newRow("during the drive wait") << 5000;
        QTest::newRow("during the camera wait") << 30000;
    }
    void closingWindowStopsTheRun()
    {
        QFETCH(int, at);
        const QByteArray data = writeSource(1000);
        driveGoesAt(20000);
        QThread thread;
        int codesAtStop = -1, sleepsAtStop = -1;
        auto stop = [&]() {
            thread.requestInterruption();
            QMutexLocker lock(&mutex);
            codesAtStop = codes.size();
            sleepsAtStop = sim->clock.sleeps().size();
        };
        if (at < 0)
            onCode = [&](int c) { if (c == -at) stop(); };
        else
            sim->clock.schedule(at, stop);
        runOnThread(thread);
        QCOMPARE(codes.size(), at < 0 ? 50 : codesAtStop); // a copy is never cut short
        QCOMPARE(codes.mid(0, 50), upTo(50));
        QCOMPARE(sim->clock.sleeps().size(), sleepsAtStop);
        QVERIFY(contents(QFileInfo(fwBin()).exists() ? fwBin() : gone + "/fw.bin") == data);
    }
};

QTEST_MAIN(WorkerTest)
#include "tst_worker.moc"
