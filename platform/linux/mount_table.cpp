#include "platform/linux/mount_table.h"

#include <QList>
#include <QSet>

namespace platform {

bool MountEntry::isVolume() const
{
    // Major 0 is the kernel's anonymous devices (tmpfs, proc, overlay...),
    // but btrfs also mounts a real disk under an anonymous number: its
    // source still names the device node.
    return major != 0 || source.startsWith(QLatin1String("/dev/"));
}

QString decodeMountField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (c == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = digits.size() == 3;
            for (char d : digits)
                ok = ok && d >= '0' && d <= '7';
            if (ok) {
                out.append(char(digits.toInt(nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.append(c);
    }
    return QString::fromLocal8Bit(out);
}

QVector<MountEntry> parseMountInfo(const QByteArray &text)
{
    // id parent MAJ:MIN root mountpoint options [optional...] - fstype source superoptions
    QVector<MountEntry> entries;
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> f = line.split(' ');
        const int dash = f.indexOf("-");
        if (f.size() < 6 || dash < 6 || dash + 2 >= f.size())
            continue;
        const QList<QByteArray> numbers = f.at(2).split(':');
        bool okMajor = false, okMinor = false;
        MountEntry e;
        if (numbers.size() == 2) {
            e.major = numbers.at(0).toUInt(&okMajor);
            e.minor = numbers.at(1).toUInt(&okMinor);
        }
        if (!okMajor || !okMinor)
            continue;
        e.mountPoint = decodeMountField(f.at(4));
        e.fsType = decodeMountField(f.at(dash + 1));
        e.source = decodeMountField(f.at(dash + 2));
        entries.append(e);
    }
    return entries;
}

namespace {
// Device plus mount point: the identity of one mounted volume.
QString volumeKey(const MountEntry &e)
{
    return QStringLiteral("%1:%2 %3 %4").arg(e.major).arg(e.minor).arg(e.source, e.mountPoint);
}

QSet<QString> volumeKeys(const QVector<MountEntry> &entries)
{
    QSet<QString> keys;
    for (const MountEntry &e : entries)
        if (e.isVolume())
            keys.insert(volumeKey(e));
    return keys;
}

QVector<MountEntry> missingFrom(const QVector<MountEntry> &entries, const QSet<QString> &keys)
{
    QVector<MountEntry> out;
    QSet<QString> seen;
    for (const MountEntry &e : entries) {
        if (!e.isVolume())
            continue;
        const QString key = volumeKey(e);
        if (!keys.contains(key) && !seen.contains(key)) {
            seen.insert(key);
            out.append(e);
        }
    }
    return out;
}
} // namespace

MountChanges compareVolumes(const QVector<MountEntry> &before, const QVector<MountEntry> &now)
{
    MountChanges changes;
    changes.left = missingFrom(before, volumeKeys(now));
    changes.arrived = missingFrom(now, volumeKeys(before));
    return changes;
}

} // namespace platform
