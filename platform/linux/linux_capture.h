#pragma once
#include "platform/capture_devices.h"

#include <QByteArray>

#include "platform/linux/udev_ref.h"

namespace platform {

// The video-capture nodes of the system, found through libudev (subsystem
// "video4linux" whose capabilities include capture), in the order of their
// node numbers.
//
// The IMoniker and IBaseFilter pointers handed out point to small objects of
// this class's own: each holds one reference and is freed by its release().
// The moniker answers "FriendlyName" (the udev product name, else the V4L2
// card name), "DevicePath" (the device node, e.g. "/dev/video2") and the
// USB port of the device (usb_port.h), but no device path text; the
// filter carries the device node for the vendor library, read with
// devicePath().
class LinuxCaptureDevices : public CaptureDevices {
public:
    // `context` lets a caller (a test bed) choose the udev context; null
    // makes one. The object keeps its own reference either way.
    explicit LinuxCaptureDevices(struct udev *context = nullptr);
    ~LinuxCaptureDevices() override;
    LinuxCaptureDevices(const LinuxCaptureDevices &) = delete;
    LinuxCaptureDevices &operator=(const LinuxCaptureDevices &) = delete;

    int enumerate(IMoniker **monikers, IBaseFilter **filters, int slots) override;
    DeviceProperties readProperties(IMoniker *moniker) override;
    void release(IMoniker *moniker) override;
    void release(IBaseFilter *filter) override;

    // The device node a filter from enumerate() stands for, such as
    // "/dev/video2"; empty for null or for a pointer that is not one of ours.
    // The filter must still hold its reference.
    static QByteArray devicePath(IBaseFilter *filter);

private:
    UdevContext m_udev;
};

} // namespace platform
