// Fuzzes the mount table parser: any text parses without a fault, each entry
// keeps what the line gave it, and the comparison of two readings is
// consistent (nothing changes between a table and itself; a table against an
// empty one leaves each distinct volume once).
//
// Input: the text of a mountinfo file.
#include "platform/linux/mount_table.h"

#include <QSet>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "mount table: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), int(size));
    const QVector<platform::MountEntry> entries = platform::parseMountInfo(text);
    if (entries.size() > text.count('\n') + 1)
        fail("more entries than lines");

    QSet<QString> volumes;
    for (const platform::MountEntry &e : entries) {
        if (e.mountPoint.size() > text.size() || e.source.size() > text.size())
            fail("a field longer than the text");
        if (e.isVolume())
            volumes.insert(QStringLiteral("%1:%2 %3 %4").arg(e.major).arg(e.minor).arg(e.source, e.mountPoint));
    }

    const platform::MountChanges same = platform::compareVolumes(entries, entries);
    if (!same.arrived.isEmpty() || !same.left.isEmpty())
        fail("a table differs from itself");
    const platform::MountChanges gone = platform::compareVolumes(entries, {});
    if (!gone.arrived.isEmpty() || gone.left.size() != volumes.size())
        fail("an empty table does not leave each volume once");
    const platform::MountChanges back = platform::compareVolumes({}, entries);
    if (!back.left.isEmpty() || back.arrived.size() != volumes.size())
        fail("a table after an empty one does not bring each volume once");
    return 0;
}
