#include "platform/linux/linux_keep_awake.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {
// Private connection names, so that a test's bus never stands in for the system bus.
const char kTestBusName[] = "tarnholm-keep-awake";
// logind answers at once; a bus that hangs must not freeze the window for long.
const int kCallTimeoutMs = 5000;
} // namespace

LinuxKeepAwake::LinuxKeepAwake(const QString &busAddress) : m_busAddress(busAddress) {}

LinuxKeepAwake::~LinuxKeepAwake()
{
    release();
    if (!m_busAddress.isEmpty())
        QDBusConnection::disconnectFromBus(QLatin1String(kTestBusName));
}

bool LinuxKeepAwake::acquire()
{
    if (m_lock >= 0)
        return true;
    const QDBusConnection bus = m_busAddress.isEmpty()
        ? QDBusConnection::systemBus()
        : QDBusConnection::connectToBus(m_busAddress, QLatin1String(kTestBusName));
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Tarnholm")
         << QStringLiteral("Camera firmware update in progress") << QStringLiteral("block");
    const QDBusReply<QDBusUnixFileDescriptor> reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (!reply.isValid() || !reply.value().isValid())
        return false;
    // The reply's descriptor closes with the reply; keep a copy of our own.
    m_lock = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    return m_lock >= 0;
}

void LinuxKeepAwake::release()
{
    if (m_lock < 0)
        return;
    ::close(m_lock);
    m_lock = -1;
}

} // namespace platform
