#include "app/tarnholm.h"
#include "platform/platform.h"

#include <QIcon>
#include <QVariant>

namespace {
constexpr int DeviceSlots = 10;
}

int enum_video_devices(IMoniker **monikers, IBaseFilter **filters)
{
    // The backend stops after the tenth device: further ones are not bound.
    return platform::current().capture->enumerate(monikers, filters, DeviceSlots);
}

void Tarnholm::FillDeviceList()
{
    platform::CaptureDevices *capture = platform::current().capture;
    ui.DeviceList->clear();

    QString itemName;
    for (int i = 0; i < DeviceSlots && deviceMonikers[i]; ++i) {
        const platform::DeviceProperties props = capture->readProperties(deviceMonikers[i]);
        if (!props.bound)
            continue;
        // A device that cannot tell its name cannot be told apart from any
        // other webcam, so it is not offered for a firmware update.
        if (!props.hasFriendlyName)
            continue;
        itemName = props.friendlyName;
        if (itemName.indexOf(g_supportedCameraName, 0, Qt::CaseSensitive) < 0)
            continue;
        if (props.hasDevicePath)
            itemName += QString::fromLocal8Bit("    ");
        const qlonglong handle = static_cast<qlonglong>(reinterpret_cast<quintptr>(deviceFilters[i]));
        ui.DeviceList->addItem(QIcon(), itemName, QVariant(handle));
    }

    if (deviceMonikers[0])
        ui.DeviceList->setCurrentIndex(0);
}

void release_video_devices(IMoniker **monikers, IBaseFilter **filters)
{
    platform::CaptureDevices *capture = platform::current().capture;
    for (int i = 0; i < DeviceSlots; ++i) {
        // Each slot holds exactly one reference on each of its two objects.
        if (monikers[i]) {
            capture->release(monikers[i]);
            monikers[i] = nullptr;
        }
        if (filters[i]) {
            capture->release(filters[i]);
            filters[i] = nullptr;
        }
    }
}

void Tarnholm::RefreshDeviceList()
{
    ui.DeviceList->clear();
    release_video_devices(deviceMonikers, deviceFilters);
    enum_video_devices(deviceMonikers, deviceFilters);
    FillDeviceList();
}
