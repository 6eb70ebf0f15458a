#pragma once
#include <QByteArray>
#include <QString>
#include <QVector>

namespace platform {

// One line of /proc/self/mountinfo, with the mount point decoded.
struct MountEntry {
    QString mountPoint;
    QString source;
    QString fsType;
    unsigned major = 0;
    unsigned minor = 0;
    // A file system on a block device: the ones a camera's drive can be.
    bool isVolume() const;
};

// Parses the text of a mountinfo file; malformed lines are skipped.
QVector<MountEntry> parseMountInfo(const QByteArray &text);

// "\040" and the other octal escapes of mountinfo turned back into bytes.
QString decodeMountField(const QByteArray &field);

// Volumes by mount point that are in `now` but not in `before` (arrived),
// and the other way round (left). A volume mounted again at the same point
// from another device counts as having left and arrived.
struct MountChanges {
    QVector<MountEntry> arrived;
    QVector<MountEntry> left;
};
MountChanges compareVolumes(const QVector<MountEntry> &before, const QVector<MountEntry> &now);

} // namespace platform
