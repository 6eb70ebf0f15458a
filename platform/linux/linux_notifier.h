#pragma once
#include "platform/device_events.h"
#include "platform/linux/mount_table.h"
#include "platform/linux/udev_ref.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

namespace platform {

// Device-change notifications of Linux, without any polling timer:
// - video4linux capture nodes added or removed, from a udev monitor, become
//   events whose interface name carries the capture-class GUID, as on Windows;
// - block-device file systems mounted or unmounted, seen as changes of
//   /proc/self/mountinfo (which signals them as POLLPRI), become volume events
//   named by their mount point.
// Events are posted to the subscribed window, so they are handled on its
// thread, also inside a modal box's nested event loop.
class LinuxNotifier : public QObject, public DeviceNotifier {
    Q_OBJECT
public:
    explicit LinuxNotifier(QObject *parent = nullptr);
    ~LinuxNotifier() override;
    // False when neither source can be watched; one that fails alone is
    // left out and the other still works.
    bool subscribe(QWidget *window, DeviceEventSink sink) override;
    bool decodeNative(const QByteArray &, void *, DeviceEvent *) override { return false; }

    // The interface name given to a capture node: its device node followed
    // by the capture-class GUID.
    static QString captureInterfaceName(const QString &devnode);

private:
    bool watchUdev();
    bool watchMounts();
    void readUdev();
    void readMounts();
    void post(const DeviceEvent &event);

    QPointer<QWidget> m_window;
    DeviceEventSink m_sink;
    UdevContext m_udev;
    UdevMonitor m_monitor;   // after the context: dropped before it
    QSocketNotifier *m_udevNotifier = nullptr;
    int m_mountFd = -1;
    QSocketNotifier *m_mountNotifier = nullptr;
    QVector<MountEntry> m_mounts;
};

} // namespace platform
