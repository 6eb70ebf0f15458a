#include "platform/linux/linux_keep_awake.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QtTest>
#include <poll.h>
#include <unistd.h>

// logind's Manager as far as inhibitor locks go: records each request and hands out the write end of a pipe whose
// read end it keeps, as logind does.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QStringList requests;
    int held = -1;   // read end of the last lock handed out
    ~FakeLogind() override { ::close(held); }
public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why, const QString &mode)
    {
        requests << what + '/' + mode + (who.isEmpty() || why.isEmpty() ? " unnamed" : "");
        int fds[2];
        if (::pipe(fds) != 0)
            return QDBusUnixFileDescriptor();   // no lock: the test fails
        ::close(held);
        held = fds[0];
        QDBusUnixFileDescriptor lock(fds[1]);   // a copy travels in the reply
        ::close(fds[1]);
        return lock;
    }
};

class LinuxKeepAwakeTest : public QObject {
    Q_OBJECT
    QProcess daemon;
    QString address;

    // True once every copy of the lock's write end is closed.
    static bool lockGone(int readEnd, int waitMs)
    {
        pollfd p{readEnd, POLLIN, 0};
        return ::poll(&p, 1, waitMs) == 1 && (p.revents & POLLHUP);
    }

private slots:
    void initTestCase()
    {
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        QVERIFY2(daemon.waitForReadyRead(10000), "dbus-daemon did not start");
        address = QString::fromLocal8Bit(daemon.readLine()).trimmed();
    }
    void cleanupTestCase()
    {
        daemon.terminate();
        daemon.waitForFinished();
    }
    // A lock for each update, held until released. (Without any bus the whole update in tst_linux_devices runs.)
    void acquire()
    {
        FakeLogind logind;
        // Ends before logind goes, also when a failed check returns early.
        struct ServiceThread : QThread { ~ServiceThread() override { quit(); wait(); } } serviceThread;
        const QString serviceName = QStringLiteral("fake-logind");
        logind.moveToThread(&serviceThread);
        serviceThread.start();
        QDBusConnection service = QDBusConnection::connectToBus(address, serviceName);
        QVERIFY(service.registerObject("/org/freedesktop/login1", &logind, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService("org.freedesktop.login1"));
        {
            platform::LinuxKeepAwake awake(address);
            QVERIFY(awake.acquire());
            QVERIFY2(!lockGone(logind.held, 0), "the lock was dropped while held");
            awake.release();
            QVERIFY2(lockGone(logind.held, 5000), "release() kept the lock");
            QVERIFY(awake.acquire());   // a new lock for the next update
        }
        QDBusConnection::disconnectFromBus(serviceName);
        serviceThread.quit();
        serviceThread.wait();
        QCOMPARE(logind.requests, QStringList({"sleep/block", "sleep/block"}));
    }
};

QTEST_MAIN(LinuxKeepAwakeTest)
#include "tst_linux_keep_awake.moc"
