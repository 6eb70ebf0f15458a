#include "platform/linux/linux_capture.h"
#include "platform/linux/udev_ref.h"
#include "platform/linux/usb_port.h"

#include <QString>
#include <QVector>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <libudev.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

namespace {

// Tags tell our objects from any other pointer that reaches devicePath().
constexpr quint32 MonikerTag = 0x4d4f4e4b;   // "MONK"
constexpr quint32 FilterTag = 0x46494c54;    // "FILT"

struct VideoMoniker {
    quint32 tag = MonikerTag;
    bool hasName = false;
    QString name;
    QByteArray node;
    QString usbPort;
};

struct VideoFilter {
    quint32 tag = FilterTag;
    QByteArray node;
};

// One capture node as found, before it is handed out.
struct Found {
    long number;            // sysfs number: video2 before video10
    QByteArray sysName;
    QByteArray node;
    bool hasName;
    QString name;
    QString usbPort;
};

// What VIDIOC_QUERYCAP tells of a node; `ok` false when it cannot be asked.
struct NodeCaps {
    bool ok = false;
    bool capture = false;
    QString card;
};

NodeCaps queryNode(const char *node)
{
    NodeCaps caps;
    // Read-only and non-blocking: asking for capabilities starts no stream.
    const int fd = ::open(node, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return caps;
    v4l2_capability cap;
    std::memset(&cap, 0, sizeof(cap));
    if (::ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0) {
        caps.ok = true;
        const quint32 which = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps
                                                                        : cap.capabilities;
        caps.capture = (which & (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_CAPTURE_MPLANE)) != 0;
        const char *card = reinterpret_cast<const char *>(cap.card);
        caps.card = QString::fromUtf8(card, int(strnlen(card, sizeof(cap.card))));
    }
    ::close(fd);
    return caps;
}

// A UVC camera has a second node for metadata; udev's v4l_id marks only the
// picture node with ":capture:". Without udev's word the node is asked.
bool describe(udev_device *device, Found *found)
{
    const char *node = udev_device_get_devnode(device);
    const char *capabilities = udev_device_get_property_value(device, "ID_V4L_CAPABILITIES");
    const char *product = udev_device_get_property_value(device, "ID_V4L_PRODUCT");
    NodeCaps caps;
    if (node && (!capabilities || !product || !*product))
        caps = queryNode(node);
    const bool capture = capabilities ? std::strstr(capabilities, ":capture:") != nullptr
                                      : caps.ok && caps.capture;
    if (!capture)
        return false;

    found->node = node ? QByteArray(node) : QByteArray();
    found->sysName = udev_device_get_sysname(device);
    const char *number = udev_device_get_sysnum(device);
    found->number = number ? std::strtol(number, nullptr, 10) : -1;
    QString name;
    if (product && *product)
        name = QString::fromUtf8(product);
    else if (caps.ok && !caps.card.isEmpty())
        name = caps.card;
    else if (const char *attr = udev_device_get_sysattr_value(device, "name"))
        name = QString::fromUtf8(attr).trimmed();
    found->hasName = !name.isEmpty();
    found->name = name;
    found->usbPort = usbPortOf(device);
    return true;
}

QVector<Found> captureNodes(struct udev *context)
{
    QVector<Found> nodes;
    const UdevEnumerate enumerate(udev_enumerate_new(context));
    if (!enumerate)
        return nodes;
    udev_enumerate_add_match_subsystem(enumerate.get(), "video4linux");
    udev_enumerate_scan_devices(enumerate.get());
    udev_list_entry *entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        const UdevDevice device(udev_device_new_from_syspath(context, udev_list_entry_get_name(entry)));
        Found found;
        if (device && describe(device.get(), &found))
            nodes.append(found);
    }
    // udev lists by sysfs path, where video10 comes before video2.
    std::stable_sort(nodes.begin(), nodes.end(), [](const Found &a, const Found &b) {
        return a.number != b.number ? a.number < b.number : a.sysName < b.sysName;
    });
    return nodes;
}

} // namespace

LinuxCaptureDevices::LinuxCaptureDevices(struct udev *context)
    : m_udev(holdContext(context))
{
}

LinuxCaptureDevices::~LinuxCaptureDevices() = default;

int LinuxCaptureDevices::enumerate(IMoniker **monikers, IBaseFilter **filters, int slots)
{
    if (!m_udev)
        return -1;
    const QVector<Found> nodes = captureNodes(m_udev.get());
    int count = 0;
    // A node without a device file has no "DevicePath" and is no capture device.
    for (const Found &found : nodes) {
        if (count >= slots)
            break;
        if (found.node.isEmpty())
            continue;
        auto *moniker = new VideoMoniker;
        moniker->hasName = found.hasName;
        moniker->name = found.name;
        moniker->node = found.node;
        moniker->usbPort = found.usbPort;
        auto *filter = new VideoFilter;
        filter->node = found.node;
        monikers[count] = reinterpret_cast<IMoniker *>(moniker);
        filters[count] = reinterpret_cast<IBaseFilter *>(filter);
        ++count;
    }
    return count;
}

DeviceProperties LinuxCaptureDevices::readProperties(IMoniker *moniker)
{
    DeviceProperties props;
    auto *m = reinterpret_cast<VideoMoniker *>(moniker);
    if (!m || m->tag != MonikerTag)
        return props;
    props.bound = true;
    props.hasFriendlyName = m->hasName;
    props.friendlyName = m->name;
    props.hasDevicePath = !m->node.isEmpty();
    // The node is handed out afresh at each arrival ("/dev/video2" may come
    // back as "/dev/video4"), so it names no device for good: only the port
    // tells one camera from another of the same name.
    props.usbPort = m->usbPort;
    return props;
}

void LinuxCaptureDevices::release(IMoniker *moniker)
{
    auto *m = reinterpret_cast<VideoMoniker *>(moniker);
    if (!m || m->tag != MonikerTag)
        return;
    delete m;
}

void LinuxCaptureDevices::release(IBaseFilter *filter)
{
    auto *f = reinterpret_cast<VideoFilter *>(filter);
    if (!f || f->tag != FilterTag)
        return;
    delete f;
}

QByteArray LinuxCaptureDevices::devicePath(IBaseFilter *filter)
{
    auto *f = reinterpret_cast<VideoFilter *>(filter);
    if (!f || f->tag != FilterTag)
        return QByteArray();
    return f->node;
}

} // namespace platform
