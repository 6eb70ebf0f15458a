// The worker's copy job, with the real POSIX file calls and the virtual clock, against a drive that fails on
// command (faulty_drive, a FUSE file system): each fault swept over every operation on fw.bin, for a file of
// exactly 50 chunks and one with a remainder. The camera takes its drive away only once "update" exists.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "update/update_state.h"
#include "support/job_thread.h"
#include "support/sim_fixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// 50 chunks of one page each, and the same with 49 bytes more (51 chunks): every chunk reaches the drive as one
// write operation.
constexpr int kExact = 50 * 4096, kRemainder = 50 * 4096 + 49;

dev_t deviceOf(const QString &path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

} // namespace

class FaultyDrive : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    // Mounts a drive with one fault; false when it does not come up.
    bool mount(QProcess &daemon, const QString &fault, qint64 at, const QString &source)
    {
        daemon.start(QStringLiteral(FAULTY_DRIVE), {tmp.filePath("backing"), tmp.filePath("drive"), fault,
                                                    QString::number(at), source, tmp.filePath("log")});
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
        const bool up = mount(probe, "none", 0, "/dev/null");
        unmount(probe);
        if (!up)
            QSKIP(qPrintable("FUSE mounts fail here: " + probe.readAllStandardError()));
    }

    void sweep_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<qint64>("at");   // operation on fw.bin, or byte for "enospc"
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("before");   // "update" on the drive beforehand: "", "empty" or "full"
        for (int size : {kExact, kRemainder}) {
            const int chunks = size == kExact ? 50 : 51;
            // Operation 0 creates fw.bin, 1..n write it, n+1 syncs it, n+2 closes it.
            for (QString fault : {"vanish", "eio", "short"}) {
                const bool writesOnly = fault == "short";
                for (int at = writesOnly; at <= chunks + 2 - 2 * writesOnly; ++at)
                    QTest::addRow("%d chunks, %s at %d", chunks, qPrintable(fault), at) << fault << qint64(at) << size
                                                                                        << QString();
            }
            for (qint64 at : {0, size / 2, size - 1, size})
                QTest::addRow("%d chunks, full at byte %lld", chunks, at) << "enospc" << at << size << QString();
            for (QString fault : {"mkdir-eio", "mkdir-erofs", "mkdir-vanish", "none"})
                QTest::addRow("%d chunks, %s", chunks, qPrintable(fault)) << fault << qint64(0) << size << QString();
            QTest::addRow("%d chunks, corrupt on the drive", chunks) << "corrupt" << qint64(chunks / 2) << size
                                                                     << QString();
            for (QString before : {"empty", "full"})
                QTest::addRow("%d chunks, update already there, %s", chunks, qPrintable(before))
                    << "none" << qint64(0) << size << before;
        }
    }
    void sweep()
    {
        QFETCH(QString, fault);
        QFETCH(qint64, at);
        QFETCH(int, size);
        QFETCH(QString, before);
        const QString backing = tmp.filePath("backing"), source = tmp.filePath("firmware.bin");
        QDir(backing).removeRecursively();
        QDir().mkdir(backing);
        QFile::remove(tmp.filePath("log"));
        QByteArray data(size, '\0');
        for (int i = 0; i < size; ++i)
            data[i] = char(i * 131 + i / 251);
        QVERIFY(writeFile(source, data));
        if (!before.isEmpty())
            QDir().mkpath(backing + "/update" + (before == "full" ? "/left" : ""));

        QDir().mkdir(tmp.filePath("drive"));
        SimFixture sim;
        QProcess daemon;
        QVERIFY2(mount(daemon, fault, at, source), qPrintable(daemon.readAllStandardError()));
        g_upgradeStage = UpgradeStage::None;
        Worker worker;
        QVector<int> codes;
        QString trace;
        connect(&worker, &Worker::WorkerTheardState, &worker, [&](int code) {
            codes << code;
            trace += QString::number(code) + ' ';
            if (code == 95)
                g_upgradeStage = UpgradeStage::CameraBack;   // the camera is back at once
        }, Qt::DirectConnection);
        // At the first poll the camera takes its drive if it saw "update": the system unmounts it and its mount
        // point goes (a FUSE mount whose daemon died still "exists").
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
        const int chunks = size == kExact ? 50 : 51, last = codes.value(codes.size() - 1);
        int copied = 0;
        for (int code : codes)
            copied = code > 0 && code <= chunks ? qMax(copied, code) : copied;
        const bool waited = std::any_of(codes.begin(), codes.end(), [&](int code) { return code > chunks; });

        QStringList broken;   // each invariant on its own
        QFile sourceAfter(source);
        if (!sourceAfter.open(QIODevice::ReadOnly) || sourceAfter.readAll() != data)
            broken << "the source changed";
        if (!triggered && (waited || last >= 0))
            broken << "a run that never triggered the camera went on to the waits or did not fail";
        if (triggers.size() != triggers.count("trigger ok"))
            broken << "\"update\" was created beside a bad fw.bin (" + triggers.join(", ") + ")";
        if (QFileInfo(backing + "/update").isDir() && before != "full" && !triggered)
            broken << "\"update\" is on the drive without a good fw.bin";
        if (codes.contains(-3) || took >= 300000)
            broken << QString("the run took the time limit (%1 ms)").arg(took);
        if (qMin(copied * qint64(size / 50), qint64(size)) > stored)
            broken << QString("progress claimed %1 bytes, the drive took %2").arg(copied * (size / 50)).arg(stored);
        if (log.contains("failed") && last != -2)
            broken << "an error of the drive was ignored";
        if (triggered && last != 100)
            broken << "a triggered run did not finish";
        QVERIFY2(broken.isEmpty(), qPrintable(broken.join("; ") + " | codes " + trace + "| log " + triggers.join(',')));
    }
};

QTEST_MAIN(FaultyDrive)
#include "tst_faulty_drive.moc"
