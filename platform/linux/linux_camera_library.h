#pragma once
#include "platform/camera_library.h"
#include "platform/vendor_entry_points.h"

#include <QString>
#include <QStringList>

namespace platform {

// The vendor's libFicUvcExKorvane.so, loaded on first use by absolute path
// from the program's own folder or else the system library folders; never
// from the working folder. Its three functions take the camera's video
// device node (the filter's LinuxCaptureDevices::devicePath()) where the
// Windows library takes the capture filter:
//
//   long FicDeviceInit(const char *device, unsigned long *context);
//   long FicVersionGet(const char *device, unsigned long context,
//                      unsigned char *block, int *length);
//   long FicUpdateFwUms(const char *device, unsigned long context);
//
// While the library or one of its functions cannot be found every call
// fails with NotFound or MissingFunction (the numbers Windows gives a missing
// DLL or export); a filter that names no device fails with NoDevice. The
// library is looked for again on the next call.
class LinuxCameraLibrary : public CameraLibrary {
public:
    static constexpr long NotFound = 126;
    static constexpr long MissingFunction = 127;
    static constexpr long NoDevice = 22;   // EINVAL

    static const char *fileName() { return "libFicUvcExKorvane.so"; }

    // `folder` (absolute) replaces the usual search with that one folder.
    explicit LinuxCameraLibrary(const QString &folder = QString());
    ~LinuxCameraLibrary() override;
    LinuxCameraLibrary(const LinuxCameraLibrary &) = delete;
    LinuxCameraLibrary &operator=(const LinuxCameraLibrary &) = delete;

    long deviceInit(IBaseFilter *filter, unsigned long *context) override;
    long versionGet(IBaseFilter *filter, unsigned long context,
                    unsigned char *block, int *length) override;
    long updateFwUms(IBaseFilter *filter, unsigned long context) override;

    // The folders searched, in order.
    QStringList folders() const { return m_folders; }

private:
    using Entry = VendorEntryPoints<const char *>;

    // 0 when all three functions are at hand, otherwise why not.
    long load();

    QStringList m_folders;
    void *m_module = nullptr;
    Entry m_entry;
};

} // namespace platform
