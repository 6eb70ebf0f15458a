// The Update click's snapshot of the firmware, and the worker's copy of it
// onto a local directory (written, flushed, read back past the cache and
// compared) against `cp` + `sync` + an uncached `cmp` of the same file; the
// worker's peak resident memory.
//
//   bench_worker_copy [directory] [size in MiB] [rounds]
//
// The directory (default: the current one) must be on a local disk.
#include "app/tarnholm.h"
#include "app/worker.h"
#include "platform/host_file_io.h"
#include "platform/platform.h"
#include "platform/system_clock.h"
#include "update/firmware_snapshot.h"
#include "update/update_state.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

namespace {

// Real time, except that the worker's first sleep marks the end of the copy
// (fw.bin written, flushed, closed; "update" created) and takes the drive
// away, so the drive wait ends at once and stays out of the figures.
class CopyEndClock : public platform::Clock {
public:
    QString drive;
    qint64 copyEndMs = -1;
    void sleepMs(int) override
    {
        if (copyEndMs < 0)
            copyEndMs = m_real.monotonicMs();
        QDir(drive).removeRecursively();
    }
    qint64 monotonicMs() override { return m_real.monotonicMs(); }

private:
    platform::SystemClock m_real;
};

// The host's file calls, timing the read-back from the device.
class TimedFileIo : public platform::HostFileIo {
public:
    qint64 readBackMs = 0;
    bool matchesOnDevice(const QString &path, QFile &reference, qint64 bufferBytes) override
    {
        QElapsedTimer timer;
        timer.start();
        const bool ok = HostFileIo::matchesOnDevice(path, reference, bufferBytes);
        readBackMs = timer.elapsed();
        return ok;
    }
};

qint64 statusKiB(const char *field)
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Sets the peak resident size back to the current one.
void resetPeak()
{
    QFile refs("/proc/self/clear_refs");
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

bool shell(const QString &command)
{
    return QProcess::execute("sh", {"-c", command}) == 0;
}

qint64 median(QVector<qint64> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString base = QDir(args.value(1, QDir::currentPath())).absoluteFilePath("bench-worker-copy");
    const qint64 mib = args.value(2, "256").toLongLong();
    const int rounds = args.value(3, "3").toInt();
    const qint64 size = mib * 1024 * 1024;
    QTextStream out(stdout);

    QDir(base).removeRecursively();
    QDir().mkpath(base);
    const QString source = base + "/firmware.bin";
    const QString drive = base + "/drive";
    if (!shell(QString("head -c %1 /dev/urandom > '%2'").arg(size).arg(source))) {
        out << "cannot create " << source << "\n";
        return 1;
    }

    CopyEndClock clock;
    clock.drive = drive;
    TimedFileIo files;
    platform::Platform p;
    p.clock = &clock;
    p.files = &files;
    platform::install(p);

    Worker worker;
    int lastChunk = 0;
    QObject::connect(&worker, &Worker::WorkerTheardState, [&](int code) {
        if (code > 0 && code < 95)
            lastChunk = qMax(lastChunk, code);
        if (code == 95)
            g_upgradeStage = UpgradeStage::CameraBack;
    });

    QVector<qint64> snapshotMs, workerMs, readBackMs, cpMs, cpCmpMs;
    FirmwareSnapshot snapshot;
    qint64 idleKiB = 0, peakKiB = 0;
    for (int round = 0; round < rounds; ++round) {
        QDir().mkpath(drive);
        shell("sync");
        resetPeak();
        idleKiB = statusKiB("VmHWM:");
        QElapsedTimer timer;
        // The click's share: the firmware read once into the snapshot.
        timer.start();
        if (!snapshot.take(source)) {
            out << "cannot take the snapshot of " << source << "\n";
            return 1;
        }
        snapshotMs << timer.elapsed();
        shell("sync");
        const qint64 started = clock.monotonicMs();
        clock.copyEndMs = -1;
        worker.WorkerLoadFw({snapshot.path(), drive + "/"});
        peakKiB = qMax(peakKiB, statusKiB("VmHWM:") - idleKiB);
        workerMs << clock.copyEndMs - started;
        readBackMs << files.readBackMs;
        snapshot.clear();

        const QString copy = base + "/cp-copy.bin";
        shell("sync");
        timer.start();
        shell(QString("cp '%1' '%2' && sync '%2'").arg(source, copy));
        cpMs << timer.elapsed();
        QFile::remove(copy);
        // The same with the copy compared from the disk: its cached pages
        // dropped first, as the worker's read-back does.
        shell("sync");
        timer.start();
        shell(QString("cp '%1' '%2' && sync '%2' && dd if='%2' iflag=nocache count=0 status=none"
                      " && cmp '%1' '%2'").arg(source, copy));
        cpCmpMs << timer.elapsed();
        QFile::remove(copy);
    }

    QVector<qint64> copyOnlyMs;
    for (int i = 0; i < workerMs.size(); ++i)
        copyOnlyMs << workerMs[i] - readBackMs[i];
    const qint64 w = median(workerMs), c = median(cpMs), cc = median(cpCmpMs);
    const qint64 wc = median(copyOnlyMs);
    const qint64 goalKiB = size / 50 / 1024 + 4 * 1024;
    out << "file: " << mib << " MiB, " << rounds << " rounds, chunks: " << lastChunk << "\n";
    auto list = [](const QVector<qint64> &v) {
        QStringList s;
        for (qint64 x : v)
            s << QString::number(x);
        return s.join(' ');
    };
    out << "snapshot at the click, ms per round:    " << list(snapshotMs) << "\n";
    out << "worker copy + flush + read-back, ms:    " << list(workerMs) << "\n";
    out << "  of which the read-back, ms:           " << list(readBackMs) << "\n";
    out << "cp + sync, ms per round:                " << list(cpMs) << "\n";
    out << "cp + sync + uncached cmp, ms per round: " << list(cpCmpMs) << "\n";
    out << "snapshot at the click (median):        " << median(snapshotMs) << " ms\n";
    out << "worker without read-back (median):     " << wc << " ms\n";
    out << "worker with read-back (median):        " << w << " ms\n";
    out << "cp + sync (median):                    " << c << " ms\n";
    out << "cp + sync + uncached cmp (median):     " << cc << " ms\n";
    out << "ratio (cp + sync)/(worker without read-back): "
        << QString::number(double(c) / double(wc), 'f', 2) << "\n";
    out << "ratio (cp + sync + cmp)/(worker with read-back): "
        << QString::number(double(cc) / double(w), 'f', 2) << " (goal >= 0.90)\n";
    out << "peak resident above idle: " << peakKiB << " KiB (goal <= " << goalKiB
        << " KiB = size/50 + 4 MiB; idle " << idleKiB << " KiB)\n";
    QDir(base).removeRecursively();
    return 0;
}
