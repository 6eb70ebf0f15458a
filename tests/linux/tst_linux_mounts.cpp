#include "app/tarnholm.h"
#include "linux_bus_fixture.h"
#include "storage/bus_check.h"
#include "support/box_text.h"

#include <QProcess>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

// Real file systems mounted in a mount namespace of this process's own, so
// nothing shows outside it and everything goes when the test ends.
class LinuxMounts : public QObject {
    Q_OBJECT
public:
    explicit LinuxMounts(int unshareError) : m_unshareError(unshareError) {}

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("mounting needs root");
        if (m_unshareError)
            QSKIP(qPrintable(QStringLiteral("no private mount namespace: %1")
                                 .arg(QString::fromLocal8Bit(std::strerror(m_unshareError)))));
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            QSKIP(qPrintable(QStringLiteral("mounts stay shared: %1")
                                 .arg(QString::fromLocal8Bit(std::strerror(errno)))));
    }

    void refusedAsNotUsb_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("busType");
        QTest::newRow("tmpfs") << "tmpfs" << 0;
        QTest::newRow("ext4 on a loop device") << "loop" << 15;
    }
    void refusedAsNotUsb()
    {
        QFETCH(QString, kind);
        QTemporaryDir work;
        const QString mountPoint = work.filePath(QStringLiteral("mnt"));
        QVERIFY(QDir().mkpath(mountPoint));
        const QByteArray target = QFile::encodeName(mountPoint);
        if (kind == QLatin1String("tmpfs")) {
            QVERIFY2(::mount("tarnholm", target.constData(), "tmpfs", 0, "size=1m") == 0, std::strerror(errno));
        } else {
            const QString image = work.filePath(QStringLiteral("disk.img"));
            QFile file(image);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(8 << 20));
            file.close();
            const QString failed = run("mkfs.ext4", {"-q", "-F", image});
            if (!failed.isEmpty())
                QSKIP(qPrintable(failed));
            const QString notMounted = run("mount", {"-o", "loop", image, mountPoint});
            if (!notMounted.isEmpty())
                QSKIP(qPrintable(notMounted));
        }
        auto unmount = qScopeGuard([&] { ::umount2(target.constData(), MNT_DETACH); });

        LinuxBusFixture fixture;
        quint32 error = 0;
        const platform::VolumeHandle handle = fixture.bus.open(mountPoint, &error);
        QVERIFY(handle != platform::InvalidVolume);
        int seen = -1;
        QVERIFY(fixture.bus.queryBusType(handle, &seen, &error));
        fixture.bus.close(handle);
        QTEST(seen, "busType");

        Tarnholm w;
        BoxCloser closer;
        QVERIFY(!IsUsbVolume(&w, mountPoint));
        QCOMPARE(boxLines(closer.boxes), QString());
    }

private:
    // Empty when the program ran and succeeded, else why not.
    static QString run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(60000))
            return program + QStringLiteral(" did not run: ") + process.errorString();
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
        return QString();
    }

    int m_unshareError;
};

int main(int argc, char **argv)
{
    // Before any thread exists: a new mount namespace needs an unshared file system view.
    const int unshareError = ::unshare(CLONE_NEWNS) == 0 ? 0 : errno;
    QApplication app(argc, argv);
    LinuxMounts test(unshareError);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_linux_mounts.moc"
