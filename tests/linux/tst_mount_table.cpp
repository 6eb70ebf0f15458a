// The mount table parser reads text the kernel writes from names any user can
// choose (a volume label becomes a mount point), so every odd line must come
// out either whole and decoded or not at all.
#include "platform/linux/mount_table.h"

#include <QtTest>

using platform::MountEntry;

namespace {

// A line in the kernel's shape: id parent MAJ:MIN root mountpoint options [optional...] - type source superoptions.
QByteArray line(const QByteArray &numbers, const QByteArray &mountPoint, const QByteArray &source,
                const QByteArray &optional = "shared:1")
{
    return "36 35 " + numbers + " / " + mountPoint + " rw,nosuid " + optional + " - vfat " + source + " rw\n";
}

MountEntry entry(unsigned major, const char *mountPoint, const char *source)
{
    return {QString::fromUtf8(mountPoint), QString::fromUtf8(source), QString(), major, 1};
}

QStringList points(const QVector<MountEntry> &entries)
{
    QStringList out;
    for (const MountEntry &e : entries)
        out << e.mountPoint;
    return out;
}

} // namespace

class TestMountTable : public QObject {
    Q_OBJECT
private slots:
    void parsesLine_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QString>("source");
        QTest::addColumn<unsigned>("major");
        QTest::addColumn<unsigned>("minor");

        QTest::newRow("plain") << line("8:17", "/media/cam", "/dev/sdb1") << "/media/cam" << "/dev/sdb1" << 8u << 17u;
        QTest::newRow("no optional fields") << line("8:17", "/media/cam", "/dev/sdb1", "")
                                            << "/media/cam" << "/dev/sdb1" << 8u << 17u;
        QTest::newRow("several optional fields")
            << line("259:3", "/mnt/x", "/dev/nvme0n1p3", "shared:7 master:2 propagate_from:3")
            << "/mnt/x" << "/dev/nvme0n1p3" << 259u << 3u;
        QTest::newRow("space, tab, newline, backslash escaped")
            << line("8:1", "/media/Ostrel\\040Cam\\011A\\012B\\134C", "/dev/sdb1")
            << "/media/Ostrel Cam\tA\nB\\C" << "/dev/sdb1" << 8u << 1u;
        QTest::newRow("escape at the very end") << line("8:1", "/media/cam\\040", "/dev/sdb1")
                                                << "/media/cam " << "/dev/sdb1" << 8u << 1u;
        QTest::newRow("not an escape: kept as written")
            << line("8:1", "/media/a\\9bc\\04", "/dev/sdb1") << "/media/a\\9bc\\04" << "/dev/sdb1" << 8u << 1u;
        // Decoded as the file functions decode names, so the text opens the same folder again.
        QTest::newRow("UTF-8 label") << line("8:1", "/media/Kamera\xc3\xa4", "/dev/sdb1")
                                     << QFile::decodeName("/media/Kamera\xc3\xa4") << "/dev/sdb1" << 8u << 1u;
        const QByteArray longName(4000, 'x');
        QTest::newRow("4000-byte mount point") << line("8:1", "/media/" + longName, "/dev/sdb1")
                                               << "/media/" + QString::fromLatin1(longName) << "/dev/sdb1" << 8u << 1u;
        QTest::newRow("between malformed lines") << "garbage\n" + line("8:2", "/m", "/dev/sdc") + "1 2 3\n"
                                                 << "/m" << "/dev/sdc" << 8u << 2u;
        QTest::newRow("last line without newline") << line("8:2", "/m", "/dev/sdc").chopped(1)
                                                   << "/m" << "/dev/sdc" << 8u << 2u;
    }

    void parsesLine()
    {
        QFETCH(QByteArray, text);
        const QVector<MountEntry> entries = platform::parseMountInfo(text);
        QCOMPARE(entries.size(), 1);
        QFETCH(QString, mountPoint);
        QFETCH(QString, source);
        QCOMPARE(entries[0].mountPoint, mountPoint);
        QCOMPARE(entries[0].source, source);
        QCOMPARE(entries[0].fsType, QStringLiteral("vfat"));
        QTEST(entries[0].major, "major");
        QTEST(entries[0].minor, "minor");
    }

    void skipsMalformedLine_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("blank lines") << QByteArray("\n\n \n");
        QTest::newRow("no separator") << QByteArray("36 35 8:1 / /m rw shared:1 vfat /dev/sdb1 rw\n");
        QTest::newRow("separator with nothing after") << QByteArray("36 35 8:1 / /m rw -\n");
        QTest::newRow("separator with type only") << QByteArray("36 35 8:1 / /m rw - vfat\n");
        QTest::newRow("separator too early") << QByteArray("36 35 8:1 / - vfat /dev/sdb1 rw\n");
        QTest::newRow("device number not a number") << line("8:x", "/m", "/dev/sdb1");
        QTest::newRow("device number without minor") << line("8", "/m", "/dev/sdb1");
        QTest::newRow("device number with three parts") << line("8:1:2", "/m", "/dev/sdb1");
        QTest::newRow("negative major") << line("-8:1", "/m", "/dev/sdb1");
        QTest::newRow("major past 32 bits") << line("99999999999:1", "/m", "/dev/sdb1");
        QTest::newRow("binary noise") << QByteArray("\x01\xff - \x00\x00 - -", 11);
    }

    void skipsMalformedLine()
    {
        QFETCH(QByteArray, text);
        QCOMPARE(points(platform::parseMountInfo(text)), QStringList());
    }

    void volumesAmongMounts()
    {
        const QVector<MountEntry> entries = platform::parseMountInfo(
            line("8:17", "/media/cam", "/dev/sdb1") + line("0:23", "/tmp", "tmpfs")
            + line("0:45", "/home", "/dev/sda2") + line("0:5", "/proc", "proc"));
        QStringList volumes;
        for (const MountEntry &e : entries)
            if (e.isVolume())
                volumes << e.mountPoint;
        // btrfs mounts a real disk under an anonymous number: its source still names a device.
        QCOMPARE(volumes, QStringList({"/media/cam", "/home"}));
    }

    void comparesTables()
    {
        const QVector<MountEntry> before = {entry(8, "/media/cam", "/dev/sdb1"), entry(0, "/tmp", "tmpfs"),
                                            entry(8, "/media/stick", "/dev/sdc1")};
        QVector<MountEntry> now = {entry(8, "/media/cam", "/dev/sdb1"), entry(8, "/media/new", "/dev/sdd1"),
                                   entry(8, "/media/new", "/dev/sdd1"), entry(0, "/run", "tmpfs")};
        platform::MountChanges changes = platform::compareVolumes(before, now);
        QCOMPARE(points(changes.left), QStringList({"/media/stick"}));
        // Mounted twice at one point (a bind over itself) is still one arrival.
        QCOMPARE(points(changes.arrived), QStringList({"/media/new"}));

        // The same point from another device: the old volume left, a new one arrived.
        now = {entry(8, "/media/cam", "/dev/sde1"), entry(8, "/media/stick", "/dev/sdc1")};
        changes = platform::compareVolumes(before, now);
        QCOMPARE(points(changes.left), QStringList({"/media/cam"}));
        QCOMPARE(points(changes.arrived), QStringList({"/media/cam"}));
        QCOMPARE(changes.arrived[0].source, QStringLiteral("/dev/sde1"));

        changes = platform::compareVolumes(before, before);
        QVERIFY(changes.left.isEmpty() && changes.arrived.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMountTable)
#include "tst_mount_table.moc"
