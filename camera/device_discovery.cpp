#include "app/tarnholm.h"
#include "platform/platform.h"

// Filled in with camera discovery.
int enum_video_devices(IMoniker **, IBaseFilter **) { return 0; }
void Tarnholm::FillDeviceList() { ui.DeviceList->clear(); }
void Tarnholm::RefreshDeviceList() { ui.DeviceList->clear(); }
