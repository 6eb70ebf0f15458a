// The mount table parser reads text the kernel writes from names any user can choose (a volume label becomes a
// mount point), so every odd line must come out either whole and decoded or not at all.
#include "platform/linux/mount_table.h"

#include <QtTest>

using platform::MountEntry;

namespace {

// A line in the kernel's shape: id parent MAJ:MIN root mountpoint options [optional...] - type source superoptions.
QByteArray line(const QByteArray &numbers, const QByteArray &mountPoint, const QByteArray &source = "/dev/sdb1",
                const QByteArray &optional = "shared:1")
{
    return "36 35 " + numbers + " / " + mountPoint + " rw,nosuid " + optional + " - vfat " + source + " rw\n";
}

// "mount point from source" per entry.
QStringList described(const QVector<MountEntry> &entries)
{
    QStringList out;
    for (const MountEntry &e : entries)
        out << e.mountPoint + " from " + e.source;
    return out;
}

} // namespace

class TestMountTable : public QObject {
    Q_OBJECT
private slots:
    // Each on /dev/sdb1.
    void parsesLine_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QString>("device");   // major:minor
        QTest::newRow("plain") << line("8:17", "/media/cam") << "/media/cam" << "8:17";
        QTest::newRow("no optional fields") << line("8:17", "/m", "/dev/sdb1", "") << "/m" << "8:17";
        QTest::newRow("several optional fields") << line("259:3", "/m", "/dev/sdb1", "shared:7 master:2 x:3") << "/m"
                                                 << "259:3";
        QTest::newRow("space, tab, newline, backslash escaped") << line("8:1", "/m/O\\040C\\011A\\012B\\134C")
                                                                << "/m/O C\tA\nB\\C" << "8:1";
        QTest::newRow("escape at the very end") << line("8:1", "/m\\040") << "/m " << "8:1";
        QTest::newRow("not an escape: kept as written") << line("8:1", "/a\\9bc\\04") << "/a\\9bc\\04" << "8:1";
        // Decoded as the file functions decode names, so the text opens the same folder again.
        QTest::newRow("UTF-8 label") << line("8:1", "/Kamera\xc3\xa4") << QFile::decodeName("/Kamera\xc3\xa4") << "8:1";
        QTest::newRow("4000-byte mount point") << line("8:1", "/" + QByteArray(4000, 'x')) << "/" + QString(4000, 'x')
                                               << "8:1";
        QTest::newRow("between malformed lines") << "garbage\n" + line("8:2", "/m") + "1 2 3\n" << "/m" << "8:2";
        QTest::newRow("last line without newline") << line("8:2", "/m").chopped(1) << "/m" << "8:2";
    }
    void parsesLine()
    {
        QFETCH(QByteArray, text);
        const QVector<MountEntry> entries = platform::parseMountInfo(text);
        QCOMPARE(entries.size(), 1);
        QTEST(entries[0].mountPoint, "mountPoint");
        QCOMPARE(entries[0].source, QStringLiteral("/dev/sdb1"));
        QTEST(QStringLiteral("%1:%2").arg(entries[0].major).arg(entries[0].minor), "device");
    }

    void skipsMalformedLine_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("blank lines") << QByteArray("\n\n \n");
        QTest::newRow("no separator") << QByteArray("36 35 8:1 / /m rw shared:1 vfat /dev/sdb1 rw\n");
        QTest::newRow("separator with nothing after") << QByteArray("36 35 8:1 / /m rw -\n");
        QTest::newRow("separator with type only") << QByteArray("36 35 8:1 / /m rw - vfat\n");
        QTest::newRow("separator too early") << QByteArray("36 35 8:1 / - vfat /dev/sdb1 rw\n");
        QTest::newRow("device number not a number") << line("8:x", "/m");
        QTest::newRow("device number without minor") << line("8", "/m");
        QTest::newRow("device number with three parts") << line("8:1:2", "/m");
        QTest::newRow("major past 32 bits") << line("99999999999:1", "/m");
        QTest::newRow("binary noise") << QByteArray("\x01\xff - \x00\x00 - -", 11);
    }
    void skipsMalformedLine()
    {
        QFETCH(QByteArray, text);
        QCOMPARE(described(platform::parseMountInfo(text)), QStringList());
    }

    // Only volumes (file systems on block devices) count, each mount point once.
    void comparesTables_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("now");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QStringList>("arrived");
        const QByteArray cam = line("8:17", "/media/cam"), tmp = line("0:23", "/tmp", "tmpfs");
        const QByteArray stick = line("8:33", "/media/stick", "/dev/sdc1"), added = line("8:49", "/new", "/dev/sdd1");
        QTest::newRow("one left, one mounted twice at one point (a bind over itself) arrived once")
            << cam + tmp + stick << cam + added + added + line("0:24", "/run", "tmpfs")
            << QStringList{"/media/stick from /dev/sdc1"} << QStringList{"/new from /dev/sdd1"};
        QTest::newRow("the same point from another device: left and arrived")
            << cam + stick << line("8:65", "/media/cam", "/dev/sde1") + stick
            << QStringList{"/media/cam from /dev/sdb1"} << QStringList{"/media/cam from /dev/sde1"};
        QTest::newRow("unchanged") << cam + tmp + stick << cam + tmp + stick << QStringList() << QStringList();
        // btrfs mounts a real disk under an anonymous number: its source still names a device.
        QTest::newRow("anonymous device numbers")
            << QByteArray() << cam + tmp + line("0:45", "/home", "/dev/sda2") + line("0:5", "/proc", "proc")
            << QStringList() << QStringList{"/media/cam from /dev/sdb1", "/home from /dev/sda2"};
    }
    void comparesTables()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, now);
        const platform::MountChanges changes = platform::compareVolumes(platform::parseMountInfo(before),
                                                                         platform::parseMountInfo(now));
        QTEST(described(changes.left), "left");
        QTEST(described(changes.arrived), "arrived");
    }
};

QTEST_GUILESS_MAIN(TestMountTable)
#include "tst_mount_table.moc"
