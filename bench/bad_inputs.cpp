// Whole updates on the simulated machine with firmware paths that are no
// usable image, one update each. Prints a Markdown table: the boxes the
// operator saw, the progress bar at the end, what the camera's drive held
// when last seen, and the source file afterwards.
//
//   bad_inputs
#include "sim_update_bench.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

QString fingerprint(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("absent");
    if (!info.isFile())
        return info.isDir() ? QStringLiteral("directory") : QStringLiteral("special file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unreadable");
    return QString::number(info.size()) + " "
        + QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
}


} // namespace

int main(int argc, char *argv[])
{
    SimUpdateBench::chooseOffscreen();
    QApplication app(argc, argv);
    SimUpdateBench::quietTrace();
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString image = dir.filePath("image.bin");
    write(image, sim::firmwareImage({2, 2, 0, 2024, 9, 2, 1, 0, 4}, QByteArray(4096, 'x')));
    write(dir.filePath("empty.bin"), QByteArray());
    write(dir.filePath("one-byte.bin"), QByteArray("T"));
    write(dir.filePath("not-an-image.bin"), QByteArray(100 * 1024, '\xA5'));
    write(dir.filePath("image cópia ü.bin"), sim::firmwareImage({2, 3, 0, 2025, 1, 3, 1, 0, 4}, "y"));
    QFile::link(image, dir.filePath("link.bin"));
    QFile::link(dir.filePath("gone.bin"), dir.filePath("dangling.bin"));
    QDir(dir.path()).mkdir("folder.bin");

    struct Input { const char *what; QString path; int boxes; };
    const Input inputs[] = {
        {"empty path field", QString(), 0},
        {"path naming no file", dir.filePath("missing.bin"), 1},
        {"dangling symbolic link", dir.filePath("dangling.bin"), 1},
        {"a directory", dir.filePath("folder.bin"), 1},
        {"/dev/null", QStringLiteral("/dev/null"), 1},
        {"empty file (0 bytes)", dir.filePath("empty.bin"), 1},
        {"one-byte file", dir.filePath("one-byte.bin"), 1},
        {"100 KiB that is no image", dir.filePath("not-an-image.bin"), 1},
        {"symbolic link to an image", dir.filePath("link.bin"), 1},
        {"image, name with spaces and accents", dir.filePath("image cópia ü.bin"), 1},
    };

    out << "| input | boxes | bar | drive when last seen | source afterwards |\n|---|---|---|---|---|\n";
    SimUpdateBench bench;
    for (const Input &input : inputs) {
        bench.resetCamera();
        const QString before = fingerprint(input.path);
        const SimUpdateBench::Result r = bench.update(input.path, input.boxes);
        const QString after = fingerprint(input.path);
        out << "| " << input.what << " | " << (r.boxes.isEmpty() ? "none" : r.boxes.join(", "))
            << (r.ended ? "" : " (did not end)") << " | " << r.window.section(' ', 1, 1) << " | "
            << (r.drive.isEmpty() ? QStringLiteral("no drive") : r.drive) << " | "
            << (after == before ? "unchanged" : "CHANGED") << " |\n";
        out.flush();
    }
    return 0;
}
