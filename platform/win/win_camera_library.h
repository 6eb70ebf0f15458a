#pragma once
#include "platform/camera_library.h"
#include "platform/vendor_entry_points.h"

namespace platform {

// The vendor's FicUvcExKorvane.dll, loaded on first use from the program's
// folder or the system folder, nowhere else. While the library
// or one of its functions cannot be found, every call fails with the
// Windows error code for the missing module or function.
class WinCameraLibrary : public CameraLibrary {
public:
    ~WinCameraLibrary() override;

    long deviceInit(IBaseFilter *filter, unsigned long *context) override;
    long versionGet(IBaseFilter *filter, unsigned long context,
                    unsigned char *block, int *length) override;
    long updateFwUms(IBaseFilter *filter, unsigned long context) override;

private:
    using Entry = VendorEntryPoints<IBaseFilter *>;

    // 0 when all three functions are at hand, otherwise why not.
    long load();

    void *m_module = nullptr;   // HMODULE
    Entry m_entry;
};

} // namespace platform
