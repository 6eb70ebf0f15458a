#include "app/tarnholm.h"
#include "app/worker.h"
#include "support/sim_fixture.h"
#include "update/firmware_copy.h"

#include <QtTest>
#include <cerrno>
#include <memory>
#ifdef Q_OS_LINUX
#include <sys/fsuid.h>
#endif

using Events = QVector<QPair<int, qint64>>; // code, virtual ms after the copy
Q_DECLARE_METATYPE(Events)

class WorkerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SimFixture> sim;
    std::unique_ptr<QTemporaryDir> tmp;
    QString driveDir, drive, gone, source;
    QMutex mutex;
    QVector<int> codes;
    QVector<qint64> times, sizes;
    qint64 start = 0;
    std::function<void(int)> onCode;
    bool mounted = false;

    QString fwBin() const { return drive + "fw.bin"; }
    QStringList entries(const QString &dir) const
    {
        return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
    QByteArray writeSource(qint64 size)
    {
        QByteArray data(static_cast<int>(size), Qt::Uninitialized);
        for (int i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>((i * 131 + i / 251) & 0xff);
        QFile f(source);
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return data;
    }
    void record(int code)
    {
        QMutexLocker lock(&mutex);
        codes << code;
        times << sim->clock.monotonicMs() - start;
        sizes << QFileInfo(fwBin()).size();
    }
    // The camera takes the drive away (kept aside for inspection) and comes back.
    void driveGoesAt(int ms) { sim->clock.schedule(ms, [this]() { QDir().rename(driveDir, gone); }); }
    void cameraBackAt(int ms) { sim->clock.schedule(ms, []() { g_upgradeStage = 5; }); }
    void connectWorker(Worker &w)
    {
        connect(&w, &Worker::WorkerTheardState, &w, [this](int code) {
            record(code);
            if (onCode)
                onCode(code);
        }, Qt::DirectConnection);
    }
    void run(const fw_info &info)
    {
        Worker w;
        connectWorker(w);
        start = sim->clock.monotonicMs();
        // Ends a run that misses its limit, so such a fault fails instead of hanging.
        driveGoesAt(400000);
        cameraBackAt(400001);
        w.WorkerLoadFw(info);
    }
    void run() { run({source, drive}); }
    int codeCount()
    {
        QMutexLocker lock(&mutex);
        return codes.size();
    }
    static QStringList show(const Events &events)
    {
        QStringList out;
        for (const auto &e : events)
            out << QString("%1@%2").arg(e.first).arg(e.second);
        return out;
    }
    static QVector<int> upTo(int n)
    {
        QVector<int> v;
        for (int i = 1; i <= n; ++i)
            v << i;
        return v;
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
        writeSource(1000);
        QFile::copy(source, fwBin());
        auto resolve = [this](QString s) {
            return s.replace("SOURCE", source).replace("DRIVE", drive).replace("FWBIN", fwBin());
        };
        BoxCloser boxes;
        run({resolve(file), resolve(disk)});
        QCOMPARE(codes, QVector<int>{code});
        QCOMPARE(entries(drive), QStringList{"fw.bin"});
        QCOMPARE(QFileInfo(fwBin()).size(), 1000);
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE(g_upgradeStage.load(), 0);
    }

    void createFailureWarnsThenFails_data()
    {
        QTest::addColumn<bool>("fromWorkerThread");
        QTest::newRow("worker on its own thread, window open") << true;
        QTest::newRow("worker on the GUI thread, no window") << false;
    }
    void createFailureWarnsThenFails()
    {
        QFETCH(bool, fromWorkerThread);
        writeSource(100);
        QDir().mkdir(fwBin()); // open() on a directory fails with EISDIR
        BoxCloser boxes;
        int codesWhenShown = -1;
        boxes.onBox = [&](const SeenBox &) { QMutexLocker lock(&mutex); codesWhenShown = codes.size(); };
        std::unique_ptr<Tarnholm> window;
        if (fromWorkerThread) {
            window.reset(new Tarnholm);
            QThread thread;
            Worker w;
            connectWorker(w);
            w.moveToThread(&thread);
            thread.start();
            fw_info info{source, drive};
            QMetaObject::invokeMethod(&w, [&w, info]() { w.WorkerLoadFw(info); });
            QTRY_COMPARE(codeCount(), 1);
            thread.quit();
            thread.wait();
        } else {
            run();
        }
        QCOMPARE(boxes.boxes.size(), 1);
        const SeenBox box = boxes.boxes.first();
        QCOMPARE(box.text, "Create File: " + drive + "/fw.bin Error(" + QString::number(EISDIR) + ")");
        QCOMPARE(box.title, QStringLiteral("Error"));
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.buttons, int(QMessageBox::Ok));
        QVERIFY(!box.hasDefault);
        QCOMPARE(box.parentName, window ? window->objectName() : QString());
        QCOMPARE(codesWhenShown, 0);
        QCOMPARE(codes, QVector<int>{-2});
        QCOMPARE(entries(drive), QStringList{"fw.bin"});
    }

    void chunksAndCodes_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("chunk");
        QTest::addColumn<int>("chunks");
        QTest::newRow("empty") << qint64(0) << qint64(0) << 0;
        QTest::newRow("1 byte") << qint64(1) << qint64(1) << 1;
        QTest::newRow("49 bytes") << qint64(49) << qint64(1) << 49;
        QTest::newRow("99 bytes") << qint64(99) << qint64(1) << 99;
        QTest::newRow("100 bytes") << qint64(100) << qint64(2) << 50;
        QTest::newRow("2549 bytes") << qint64(2549) << qint64(50) << 51;
        QTest::newRow("2550 bytes") << qint64(2550) << qint64(51) << 50;
        QTest::newRow("1000049 bytes") << qint64(1000049) << qint64(20000) << 51;
    }
    void chunksAndCodes()
    {
        QFETCH(qint64, size);
        QFETCH(qint64, chunk);
        QFETCH(int, chunks);
        const QByteArray data = writeSource(size);
        {   // a longer fw.bin left by an earlier attempt
            QFile stale(fwBin());
            stale.open(QIODevice::WriteOnly);
            stale.write(QByteArray(5000, '\xee'));
        }
        driveGoesAt(1);
        cameraBackAt(1001);
        run();
        QCOMPARE(codes, upTo(chunks) << 95 << 100);
        for (int k = 1; k <= chunks; ++k)
            QCOMPARE(sizes[k - 1], qMin(k * chunk, size));
        QFile copy(gone + "/fw.bin");
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QVERIFY(copy.readAll() == data);
        QVERIFY(QFileInfo(gone + "/update").isDir());
    }

    void largeFilesKeep50Chunks_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("chunk");
        QTest::newRow("4 GiB") << Q_INT64_C(4294967296) << Q_INT64_C(85899345);
        QTest::newRow("4 GiB + 49") << Q_INT64_C(4294967345) << Q_INT64_C(85899346);
        QTest::newRow("6 GiB") << Q_INT64_C(6442450944) << Q_INT64_C(128849018);
    }
    void largeFilesKeep50Chunks()
    {
        QFETCH(qint64, size);
        QFETCH(qint64, chunk);
        QCOMPARE(firmware::chunkLength(size), chunk);
    }

    // No partial firmware is ever left for the camera to flash.
    void failedCopyLeavesNothing_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("code");
        QTest::newRow("drive full") << "tmpfs" << -2;
        QTest::newRow("flush fails") << "flush" << -2;
        QTest::newRow("source shrinks") << "shrink" << -1;
    }
    void failedCopyLeavesNothing()
    {
        QFETCH(QString, fault);
        QFETCH(int, code);
        int chunks = 50;
        if (fault == "tmpfs") {
            if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", driveDir}) != 0)
                QSKIP("mounting a tmpfs is not permitted here");
            mounted = true;
            writeSource(256 * 1024);
            chunks = 0;
        } else if (fault == "flush") {
            writeSource(1000);
            sim->world.files.failFlush = true;
        } else {
            writeSource(1000); // chunks of 20; cut to 250 after the 10th
            onCode = [this](int c) { if (c == 10) QFile(source).resize(250); };
            chunks = 12;
        }
        run();
        QCOMPARE(codes.last(), code);
        if (chunks)
            QCOMPARE(codes, upTo(chunks) << code);
        else
            QVERIFY(codes.size() > 1 && codes.size() < 50);
        QCOMPARE(entries(drive), QStringList());
    }

    void unreadableSourceTouchesNothing()
    {
#ifdef Q_OS_LINUX
        writeSource(100);
        QFile(source).setPermissions({});
        QFile(tmp->path()).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                          | QFileDevice::ExeOwner | QFileDevice::ExeGroup
                                          | QFileDevice::ExeOther);
        QFile(driveDir).setPermissions(QFileDevice::Permissions(0x7777));
        setfsuid(65534); // without it root reads any file
        run();
        setfsuid(0);
        QCOMPARE(codes, QVector<int>{-1});
        QCOMPARE(entries(drive), QStringList());
#else
        QSKIP("needs a per-thread file-system user");
#endif
    }

    void waits_data()
    {
        QTest::addColumn<int>("driveGone");  // ms after the copy; 0: during the flush
        QTest::addColumn<int>("cameraBack"); // ms after the copy; 0: as 95 arrives
        QTest::addColumn<qint64>("clockAt"); // virtual time when the run starts
        QTest::addColumn<Events>("events");  // everything after the 50 chunk codes
        auto steps = [](int from, int to, qint64 firstAt, qint64 every) {
            Events e;
            for (int c = from; c <= to; ++c)
                e << qMakePair(c, firstAt + (c - from) * every);
            return e;
        };
        const Events driveSteps = steps(51, 94, 2000, 2000); // 94 at 88 s
        QTest::newRow("drive already gone, camera at 10 s") << 0 << 10000 << qint64(0)
            << (Events{{95, 0}, {96, 4000}, {97, 8000}, {100, 10000}});
        QTest::newRow("drive already gone, camera already back") << 0 << 0 << qint64(0)
            << (Events{{95, 0}, {100, 0}});
        QTest::newRow("drive 20 s, camera 60 s") << 20000 << 60000 << qint64(0)
            << (steps(51, 60, 2000, 2000) << qMakePair(95, qint64(20000))
                << steps(96, 99, 24000, 4000) << qMakePair(100, qint64(60000)));
        QTest::newRow("drive 200 s, camera 250 s") << 200000 << 250000 << qint64(0)
            << (Events(driveSteps) << qMakePair(95, qint64(200000)) << steps(96, 99, 204000, 4000)
                << qMakePair(100, qint64(250000)));
        QTest::newRow("drive 290 s, camera back at the limit") << 290000 << 300000 << qint64(0)
            << (Events(driveSteps) << qMakePair(95, qint64(290000)) << qMakePair(96, qint64(294000))
                << qMakePair(97, qint64(298000)) << qMakePair(100, qint64(300000)));
        const Events lateCamera = Events(driveSteps) << qMakePair(95, qint64(290000))
            << qMakePair(96, qint64(294000)) << qMakePair(97, qint64(298000))
            << qMakePair(-3, qint64(300000));
        QTest::newRow("drive 290 s, camera never") << 290000 << -1 << qint64(0) << lateCamera;
        // The limit is elapsed time from the copy, whatever the clock read before.
        QTest::newRow("drive 290 s, camera never, clock far on")
            << 290000 << -1 << Q_INT64_C(86400000000) << lateCamera;
        QTest::newRow("drive never goes") << -1 << -1 << qint64(0)
            << (Events(driveSteps) << qMakePair(-3, qint64(300000)));
    }
    void waits()
    {
        QFETCH(int, driveGone);
        QFETCH(int, cameraBack);
        QFETCH(qint64, clockAt);
        QFETCH(Events, events);
        sim->clock.advance(clockAt);
        writeSource(100);
        if (driveGone == 0)
            sim->world.files.onFlush = [this]() { QDir().rename(driveDir, gone); };
        else if (driveGone > 0)
            driveGoesAt(driveGone);
        if (cameraBack == 0)
            onCode = [](int c) { if (c == 95) g_upgradeStage = 5; };
        else if (cameraBack > 0)
            cameraBackAt(cameraBack);
        run();
        QCOMPARE(codes.mid(0, 50), upTo(50));
        Events seen;
        for (int i = 50; i < codes.size(); ++i)
            seen << qMakePair(codes[i], times[i]);
        QCOMPARE(show(seen), show(events));
        qint64 slept = 0;
        for (const auto &s : sim->clock.sleeps()) {
            QCOMPARE(s.ms, 1000);
            slept += s.ms;
        }
        QCOMPARE(slept, events.last().second);
    }

    void closingWindowStopsTheRun_data()
    {
        QTest::addColumn<int>("at"); // code on which to stop, or ms after the copy
        QTest::addColumn<bool>("atCode");
        QTest::newRow("during the copy") << 10 << true;
        QTest::newRow("during the drive wait") << 5000 << false;
        QTest::newRow("during the camera wait") << 30000 << false;
    }
    void closingWindowStopsTheRun()
    {
        QFETCH(int, at);
        QFETCH(bool, atCode);
        const QByteArray data = writeSource(1000);
        driveGoesAt(20000);
        QThread thread;
        Worker w;
        connectWorker(w);
        w.moveToThread(&thread);
        thread.start();
        int codesAtStop = -1, sleepsAtStop = -1;
        auto stop = [&]() {
            thread.requestInterruption();
            QMutexLocker lock(&mutex);
            codesAtStop = codes.size();
            sleepsAtStop = sim->clock.sleeps().size();
        };
        if (atCode)
            onCode = [&](int c) { if (c == at) stop(); };
        else
            sim->clock.schedule(at, stop);
        QAtomicInt finished;
        fw_info info{source, drive};
        start = sim->clock.monotonicMs();
        QMetaObject::invokeMethod(&w, [&]() { w.WorkerLoadFw(info); finished = 1; });
        QTRY_VERIFY_WITH_TIMEOUT(finished.loadAcquire(), 5000);
        thread.quit();
        thread.wait();
        QCOMPARE(codes.size(), atCode ? 50 : codesAtStop); // a copy is never cut short
        QCOMPARE(codes.mid(0, 50), upTo(50));
        QCOMPARE(sim->clock.sleeps().size(), sleepsAtStop);
        QFile copy(QFileInfo(fwBin()).exists() ? fwBin() : gone + "/fw.bin");
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QVERIFY(copy.readAll() == data);
    }
};

QTEST_MAIN(WorkerTest)
#include "tst_worker.moc"
