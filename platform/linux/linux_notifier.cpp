#include "platform/linux/linux_notifier.h"
#include "platform/capture_category.h"

#include <QSocketNotifier>
#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

namespace platform {

namespace {
const char kMountInfo[] = "/proc/self/mountinfo";

// The whole of an open /proc file, read again from its start.
QByteArray readAll(int fd)
{
    QByteArray text;
    if (::lseek(fd, 0, SEEK_SET) < 0)
        return text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, int(n));
    }
    return text;
}
} // namespace

LinuxNotifier::LinuxNotifier(QObject *parent) : QObject(parent) {}

LinuxNotifier::~LinuxNotifier()
{
    delete m_udevNotifier;
    delete m_mountNotifier;
    if (m_mountFd >= 0)
        ::close(m_mountFd);
}

QString LinuxNotifier::captureInterfaceName(const QString &devnode)
{
    return devnode + QLatin1Char('#') + QLatin1String(kCaptureCategoryText);
}

bool LinuxNotifier::subscribe(QWidget *window, DeviceEventSink sink)
{
    m_window = window;
    m_sink = std::move(sink);
    const bool udevOk = m_monitor || watchUdev();
    const bool mountsOk = m_mountFd >= 0 || watchMounts();
    return udevOk || mountsOk;
}

bool LinuxNotifier::watchUdev()
{
    m_udev.reset(udev_new());
    if (m_udev)
        m_monitor.reset(udev_monitor_new_from_netlink(m_udev.get(), "udev"));
    if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor.get(), "video4linux", nullptr) < 0
        || udev_monitor_enable_receiving(m_monitor.get()) < 0) {
        m_monitor.reset();
        m_udev.reset();
        return false;
    }
    m_udevNotifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor.get()), QSocketNotifier::Read, this);
    connect(m_udevNotifier, &QSocketNotifier::activated, this, &LinuxNotifier::readUdev);
    return true;
}

bool LinuxNotifier::watchMounts()
{
    m_mountFd = ::open(kMountInfo, O_RDONLY | O_CLOEXEC);
    if (m_mountFd < 0)
        return false;
    m_mounts = parseMountInfo(readAll(m_mountFd));
    // The kernel flags a changed mount table as an exceptional condition.
    m_mountNotifier = new QSocketNotifier(m_mountFd, QSocketNotifier::Exception, this);
    connect(m_mountNotifier, &QSocketNotifier::activated, this, &LinuxNotifier::readMounts);
    return true;
}

void LinuxNotifier::readUdev()
{
    // One device per wake-up; the socket stays readable while more wait.
    const UdevDevice received(udev_monitor_receive_device(m_monitor.get()));
    udev_device *device = received.get();
    if (!device)
        return;
    const QByteArray action = udev_device_get_action(device);
    const char *node = udev_device_get_devnode(device);
    // Without the probed capabilities (no udev rules ran) the node counts;
    // with them, only capture nodes do, not a camera's metadata node.
    const char *caps = udev_device_get_property_value(device, "ID_V4L_CAPABILITIES");
    const bool capture = !caps || QByteArray(caps).contains(":capture:");
    if (node && capture && (action == "add" || action == "remove")) {
        DeviceEvent event;
        event.type = action == "add" ? DeviceEvent::Arrival : DeviceEvent::RemoveComplete;
        event.interfaceName = captureInterfaceName(QString::fromLocal8Bit(node));
        post(event);
    }
}

void LinuxNotifier::readMounts()
{
    const QVector<MountEntry> now = parseMountInfo(readAll(m_mountFd));
    const MountChanges changes = compareVolumes(m_mounts, now);
    m_mounts = now;
    const auto postVolume = [this](DeviceEvent::Type type, const MountEntry &e) {
        DeviceEvent event;
        event.type = type;
        event.volume = true;
        event.mountPoint = e.mountPoint;
        post(event);
    };
    for (const MountEntry &e : changes.left)
        postVolume(DeviceEvent::RemoveComplete, e);
    for (const MountEntry &e : changes.arrived)
        postVolume(DeviceEvent::Arrival, e);
}

void LinuxNotifier::post(const DeviceEvent &event)
{
    if (m_window.isNull())
        return;
    DeviceEventSink sink = m_sink;
    QMetaObject::invokeMethod(m_window.data(), [sink, event]() { sink(event); }, Qt::QueuedConnection);
}

} // namespace platform
