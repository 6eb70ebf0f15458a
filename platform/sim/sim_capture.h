#pragma once
#include "platform/camera_library.h"
#include "platform/capture_devices.h"

#include <QByteArray>
#include <QString>

namespace sim {

// One simulated video-input device as attached to the machine.
struct SimDeviceSpec {
    QString friendlyName;
    bool friendlyNameReadable = true;
    bool hasDevicePath = true;
    QByteArray versionBlock;   // what FicVersionGet answers (0 to 43 bytes)
};

// Simulated video-input devices, in attach order.
class SimCaptureDevices : public platform::CaptureDevices {
public:
    // Attaches a device and returns its id, stable for its life.
    int attach(const SimDeviceSpec &spec);
    // Detaches it; false when no device has that id.
    bool detach(int id);

    int enumerate(IMoniker **monikers, IBaseFilter **filters, int slots) override;
    platform::DeviceProperties readProperties(IMoniker *moniker) override;
    void release(IMoniker *moniker) override;
    void release(IBaseFilter *filter) override;
};

// Simulated vendor library.
class SimCameraLibrary : public platform::CameraLibrary {
public:
    long deviceInit(IBaseFilter *filter, unsigned long *context) override;
    long versionGet(IBaseFilter *filter, unsigned long context,
                    unsigned char *block, int *length) override;
    long updateFwUms(IBaseFilter *filter, unsigned long context) override;
};

} // namespace sim
