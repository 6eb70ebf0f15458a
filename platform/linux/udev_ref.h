#pragma once
#include <libudev.h>
#include <memory>

namespace platform {

// Drops a libudev reference with the library's own unref function.
template <auto Unref>
struct UdevUnref {
    template <typename T>
    void operator()(T *object) const { Unref(object); }
};

// One owned libudev reference each: the context, a device, an enumeration,
// a monitor. Null when the library handed out none.
using UdevContext = std::unique_ptr<udev, UdevUnref<udev_unref>>;
using UdevDevice = std::unique_ptr<udev_device, UdevUnref<udev_device_unref>>;
using UdevEnumerate = std::unique_ptr<udev_enumerate, UdevUnref<udev_enumerate_unref>>;
using UdevMonitor = std::unique_ptr<udev_monitor, UdevUnref<udev_monitor_unref>>;

// The caller's context with a reference of our own, or a new one.
inline UdevContext holdContext(udev *context)
{
    return UdevContext(context ? udev_ref(context) : udev_new());
}

} // namespace platform
