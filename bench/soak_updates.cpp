// Soak: N whole updates (default 200) on one window, on the simulated camera
// machine and virtual clock, cycling through a newer image, the same image
// and each camera fault that ends. Prints each update's outcome against the
// expected one, the capture-device references after each update and after
// the window is gone, and the resident memory at update 10 and at update N.
// Exits with 1 when any outcome or count is off.
//
//   soak_updates [N]
#include "sim_update_bench.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

using Fault = sim::SimCameraUpdate::Fault;

namespace {

struct Kind {
    const char *name;
    Fault fault;
    bool newer;          // an image newer than the camera's, or the one it runs
    QStringList boxes;   // what the operator sees at the end
    bool flashes;        // the camera takes a complete fw.bin
    int runs = 0;
    int asExpected = 0;
};

sim::FirmwareVersion versionOf(const QByteArray &block)
{
    const auto b = [&block](int i) { return int(quint8(block.at(i))); };
    sim::FirmwareVersion v;
    v.major = b(0), v.minor = b(1), v.patch = b(2);
    v.year = b(3) * 256 + b(4), v.month = b(5), v.day = b(6);
    v.mcuMajor = b(40), v.mcuMinor = b(41), v.mcuPatch = b(42);
    return v;
}

QByteArray sha1(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly)
        ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1) : QByteArray();
}


} // namespace

int main(int argc, char *argv[])
{
    SimUpdateBench::chooseOffscreen();
    QApplication app(argc, argv);
    SimUpdateBench::quietTrace();
    const int total = qMax(1, app.arguments().value(1, QStringLiteral("200")).toInt());
    QTextStream out(stdout);

    const QStringList lost{"Error: Transfer Failed", "Error: Write Firmware File Error"};
    Kind kinds[] = {
        {"newer image", Fault::None, true, {"Info: Update Successful"}, true},
        {"same image", Fault::None, false, {"Info: Firmware Version Unchanged"}, true},
        {"drive never leaves", Fault::DriveNeverLeaves, true, {"Error: Time Out"}, true},
        {"camera never returns", Fault::CameraNeverReturns, true, {"Error: Time Out"}, true},
        {"drive leaves during the copy", Fault::DriveLeavesDuringCopy, true, lost, false},
        // Back on its port under another name, it is still the camera that was updated.
        {"returns under another name", Fault::ReturnsUnderAnotherName, true,
         {"Info: Update Successful"}, true},
    };
    const int kindCount = int(sizeof kinds / sizeof *kinds);

    QTemporaryDir images;
    bool allGood = true;
    qint64 kibAt10 = -1, kibAtN = -1;
    int capturesAfter = -1, badReleases = -1;
    {
        SimUpdateBench bench;
        sim::SimCaptureDevices &capture = bench.sim.world.capture;
        for (int i = 1; i <= total; ++i) {
            Kind &kind = kinds[(i - 1) % kindCount];
            if (!bench.resetCamera()) {
                out << i << ": the camera could not be listed again\n";
                return 1;
            }
            sim::FirmwareVersion version = versionOf(bench.running);
            if (kind.newer && ++version.patch > 255)
                version.patch = 0, ++version.minor;
            const QString path = images.filePath(QStringLiteral("image-%1.bin").arg(i));
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            const QByteArray image =
                sim::firmwareImage(version, QByteArray(64 * 1024 + i, char('a' + i % 26)));
            file.write(image);
            file.close();
            const QByteArray sourceHash = sha1(path);

            bench.camera.fault = kind.fault;
            const SimUpdateBench::Result r = bench.update(path, kind.boxes.size());
            bench.camera.fault = Fault::None;

            QStringList off;
            if (!r.ended)
                off << "did not end";
            if (r.boxes != kind.boxes)
                off << "boxes: " + r.boxes.join(" + ");
            if (!r.window.endsWith("stages 0/0 | buttons 111"))
                off << r.window;
            if (r.flashed != (kind.flashes ? image : QByteArray()))
                off << QStringLiteral("flashed %1 bytes").arg(r.flashed.size());
            if (kind.flashes && r.drive != QStringLiteral("fw.bin (%1), update/").arg(image.size()))
                off << "drive: " + r.drive;
            if (sha1(path) != sourceHash)
                off << "source changed";
            // Nothing is written beside the source either.
            if (QDir(images.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .size() != i)
                off << "files beside the source";
            // The window holds a moniker and a filter of each camera it lists.
            const int listed = bench.window->ui.DeviceList->count();
            const int held = capture.referencesHeld();
            if (held != 2 * listed || capture.badReleases() != 0)
                off << QStringLiteral("references off");
            if (bench.sim.world.volumes.openHandles() != 0)
                off << QStringLiteral("volume handles open");

            ++kind.runs;
            kind.asExpected += off.isEmpty();
            allGood = allGood && off.isEmpty();
            out << QStringLiteral("%1 %2 %3 | refs %4 for %5 listed, bad releases %6 | %7\n")
                       .arg(i, 4).arg(QLatin1String(kind.name), -28)
                       .arg(off.isEmpty() ? "ok" : "OFF").arg(held).arg(listed)
                       .arg(capture.badReleases()).arg(off.isEmpty() ? r.boxes.join(" + ") : off.join("; "));
            out.flush();
            if (i == 10)
                kibAt10 = SimUpdateBench::residentKiB();
            if (i == total)
                kibAtN = SimUpdateBench::residentKiB();
        }
        bench.window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        capturesAfter = capture.referencesHeld();
        badReleases = capture.badReleases();
    }

    out << "\nkind                          runs  as expected  expected outcome\n";
    for (const Kind &kind : kinds)
        out << QStringLiteral("%1 %2 %3  %4\n").arg(QLatin1String(kind.name), -28)
                   .arg(kind.runs, 5).arg(kind.asExpected, 12).arg(kind.boxes.join(" + "));
    out << "references held after the window is gone: " << capturesAfter
        << ", bad releases: " << badReleases << "\n";
    out << "resident memory: " << kibAt10 << " KiB at update 10, " << kibAtN << " KiB at update "
        << total << " (" << (kibAt10 < 0 ? 0 : kibAtN - kibAt10) << " KiB growth)\n";
    const bool balanced = capturesAfter == 0 && badReleases == 0;
    return allGood && balanced ? 0 : 1;
}
