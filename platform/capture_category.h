#pragma once
#include "platform/com_types.h"

namespace platform {

// KSCATEGORY_CAPTURE, the device-interface class of video-capture devices,
// written out so that no GUID library is needed.
constexpr GUID kCaptureCategory = {0x65E8773D, 0x8F56, 0x11D0,
                                   {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
// The same class as device interface names carry it.
constexpr char kCaptureCategoryText[] = "{65e8773d-8f56-11d0-a3b9-00a0c9223196}";

} // namespace platform
