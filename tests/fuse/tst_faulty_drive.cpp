// The worker's copy job, with the real POSIX file calls and the virtual clock,
// against a drive that fails on command (faulty_drive, a FUSE file system):
// each fault swept over every operation on fw.bin, for a file of exactly 50
// chunks and one with a remainder. The camera takes its drive away only once
// "update" exists, as the real one does.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "update/update_state.h"
#include "support/job_thread.h"
#include "support/sim_fixture.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Case {
    QString fault;
    qint64 at;
    int size;
    QString before;   // "update" on the drive beforehand: "", "empty" or "full"
};

constexpr int kPage = 4096;
// 50 chunks of one page each, and the same with a remainder of 49 bytes (51 chunks):
// every chunk reaches the drive as one write operation.
constexpr int kExact = 50 * kPage, kRemainder = 50 * kPage + 49;

QByteArray firmware(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 131 + i / 251);
    return bytes;
}

dev_t deviceOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

} // namespace

Q_DECLARE_METATYPE(Case)

class FaultyDrive : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    int runs = 0;
    QElapsedTimer sweepTime;

    // Mounts a drive with one fault; false when it does not come up.
    bool mount(QProcess &daemon, const Case &c, const QString &source)
    {
        daemon.start(QStringLiteral(FAULTY_DRIVE),
                     {tmp.filePath("backing"), tmp.filePath("drive"), c.fault,
                      QString::number(c.at), source, tmp.filePath("log")});
        const dev_t host = deviceOf(tmp.path());
        for (int i = 0; i < 3000 && daemon.state() != QProcess::NotRunning; ++i) {
            if (deviceOf(tmp.filePath("drive")) != host)
                return true;
            QThread::usleep(1000);
        }
        return false;
    }
    void unmount(QProcess &daemon)
    {
        ::umount2(QFile::encodeName(tmp.filePath("drive")).constData(), MNT_DETACH);
        if (!daemon.waitForFinished(3000))
            daemon.kill(), daemon.waitForFinished();
    }

private slots:
    void initTestCase()
    {
        if (!QFile::exists("/dev/fuse"))
            QSKIP("no /dev/fuse: the faulty drive cannot be mounted here");
        if (::geteuid() != 0)
            QSKIP("not root: the faulty drive cannot be mounted here");
        QDir().mkdir(tmp.filePath("drive"));
        QProcess probe;
        const bool up = mount(probe, {"none", 0, 1, {}}, "/dev/null");
        unmount(probe);
        if (!up)
            QSKIP(qPrintable("FUSE mounts fail here: " + probe.readAllStandardError()));
        sweepTime.start();
    }
    void cleanupTestCase()
    {
        if (runs)
            qInfo("faulty drive sweep: %d runs, %lld ms", runs, sweepTime.elapsed());
    }

    void sweep_data()
    {
        QTest::addColumn<Case>("c");
        for (int size : {kExact, kRemainder}) {
            const int chunks = size == kExact ? 50 : 51;
            const QString file = size == kExact ? "50 chunks" : "51 chunks";
            // Operation 0 creates fw.bin, 1..n write it, n+1 syncs it, n+2 closes it.
            for (const char *fault : {"vanish", "eio", "short"}) {
                const bool writesOnly = QByteArray(fault) == "short";
                for (int at = writesOnly; at <= chunks + 2 - 2 * writesOnly; ++at)
                    QTest::addRow("%s, %s at %d", qPrintable(file), fault, at)
                        << Case{fault, at, size, {}};
            }
            for (qint64 at : {0, size / 2, size - 1, size})
                QTest::addRow("%s, full at byte %lld", qPrintable(file), at)
                    << Case{"enospc", at, size, {}};
            for (const char *fault : {"mkdir-eio", "mkdir-erofs", "mkdir-vanish", "none"})
                QTest::addRow("%s, %s", qPrintable(file), fault) << Case{fault, 0, size, {}};
            QTest::addRow("%s, corrupt on the drive", qPrintable(file))
                << Case{"corrupt", chunks / 2, size, {}};
            for (const char *before : {"empty", "full"})
                QTest::addRow("%s, update already there, %s", qPrintable(file), before)
                    << Case{"none", 0, size, before};
        }
    }
    void sweep()
    {
        QFETCH(Case, c);
        ++runs;
        const QString backing = tmp.filePath("backing"), source = tmp.filePath("firmware.bin");
        QDir(backing).removeRecursively();
        QDir().mkdir(backing);
        QFile::remove(tmp.filePath("log"));
        const QByteArray data = firmware(c.size);
        QFile out(source);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(data) == data.size());
        out.close();
        if (!c.before.isEmpty())
            QDir().mkpath(backing + "/update" + (c.before == "full" ? "/left" : ""));

        QDir().mkdir(tmp.filePath("drive"));
        SimFixture sim;
        QProcess daemon;
        QVERIFY2(mount(daemon, c, source), qPrintable(daemon.readAllStandardError()));
        g_upgradeStage = UpgradeStage::None;
        Worker worker;
        QVector<int> codes;
        connect(&worker, &Worker::WorkerTheardState, &worker, [&codes](int code) {
            codes << code;
            if (code == 95)
                g_upgradeStage = UpgradeStage::CameraBack;   // the camera is back at once
        }, Qt::DirectConnection);
        // At the first poll the camera takes its drive if it saw "update": the
        // system unmounts it and its mount point goes.
        sim.clock.schedule(1, [&]() {
            if (QFileInfo(backing + "/update").isDir()) {
                unmount(daemon);
                QDir().rmdir(tmp.filePath("drive"));
            }
        });
        BoxCloser boxes;   // the warning of a create that fails
        const fw_info job{source, tmp.filePath("drive") + "/"};
        JobThread thread([&]() { worker.WorkerLoadFw(job); });
        QEventLoop loop;
        connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
        thread.start();
        loop.exec();
        thread.wait();
        const qint64 took = sim.clock.monotonicMs();
        unmount(daemon);

        QFile logFile(tmp.filePath("log"));
        logFile.open(QIODevice::ReadOnly);
        const QStringList log = QString::fromLatin1(logFile.readAll()).split('\n', Qt::SkipEmptyParts);
        const QStringList accepted = log.filter(QRegularExpression("^accepted "));
        const qint64 stored = accepted.isEmpty() ? 0 : accepted.last().section(' ', 1).toLongLong();
        const QStringList triggers = log.filter(QRegularExpression("^trigger "));
        const bool triggered = triggers.contains("trigger ok");
        const int chunks = c.size == kExact ? 50 : 51;
        const qint64 chunk = c.size / 50;
        int copied = 0;
        for (int code : codes)
            copied = code > 0 && code <= chunks ? qMax(copied, code) : copied;
        const bool waited = std::any_of(codes.begin(), codes.end(), [&](int code) { return code > chunks; });

        QStringList broken;   // each invariant on its own
        QFile sourceAfter(source);
        sourceAfter.open(QIODevice::ReadOnly);
        if (sourceAfter.readAll() != data)
            broken << "the source changed";
        if (!triggered && (waited || codes.value(codes.size() - 1) >= 0))
            broken << "a run that never triggered the camera went on to the waits or did not fail";
        if (triggers.size() != triggers.count("trigger ok"))
            broken << "\"update\" was created beside a bad fw.bin (" + triggers.join(", ") + ")";
        if (QFileInfo(backing + "/update").isDir() && c.before != "full" && !triggered)
            broken << "\"update\" is on the drive without a good fw.bin";
        if (codes.contains(-3) || took >= 300000)
            broken << QString("the run took the time limit (%1 ms)").arg(took);
        if (qMin(copied * chunk, qint64(c.size)) > stored)
            broken << QString("progress claimed %1 bytes, the drive took %2").arg(copied * chunk).arg(stored);
        if (log.contains("failed") && codes.value(codes.size() - 1) != -2)
            broken << "an error of the drive was ignored";
        if (triggered && codes.value(codes.size() - 1) != 100)
            broken << "a triggered run did not finish";
        QStringList seen;
        for (int code : codes)
            seen << QString::number(code);
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join("; ") + " | codes " + seen.join(',')
                                              + " | log " + log.filter("trigger").join(',')));
    }
};

QTEST_MAIN(FaultyDrive)
#include "tst_faulty_drive.moc"
