#include "platform/sim/sim_capture.h"

// Placeholder bodies until camera discovery fills them in.
namespace sim {

int SimCaptureDevices::attach(const SimDeviceSpec &) { return -1; }
bool SimCaptureDevices::detach(int) { return false; }
int SimCaptureDevices::enumerate(IMoniker **, IBaseFilter **, int) { return 0; }
platform::DeviceProperties SimCaptureDevices::readProperties(IMoniker *) { return {}; }
void SimCaptureDevices::release(IMoniker *) {}
void SimCaptureDevices::release(IBaseFilter *) {}

long SimCameraLibrary::deviceInit(IBaseFilter *, unsigned long *) { return 1; }
long SimCameraLibrary::versionGet(IBaseFilter *, unsigned long, unsigned char *, int *) { return 1; }
long SimCameraLibrary::updateFwUms(IBaseFilter *, unsigned long) { return 1; }

} // namespace sim
