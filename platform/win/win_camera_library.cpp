#include "platform/win/win_camera_library.h"

#include <windows.h>

namespace platform {

namespace {

template <typename Fn>
Fn resolve(HMODULE module, const char *name)
{
    // Through void(*)() so the compiler accepts the change of signature.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

} // namespace

WinCameraLibrary::~WinCameraLibrary()
{
    if (m_module)
        FreeLibrary(static_cast<HMODULE>(m_module));
}

long WinCameraLibrary::load()
{
    if (m_module)
        return 0;
    // Tried again on every call: the operator may install the library while
    // the tool is open. Only from the program's own folder and the system
    // folder: a bare LoadLibraryW also searches the current folder and PATH,
    // where anyone could plant a library that would then run inside the tool.
    HMODULE module = LoadLibraryExW(L"FicUvcExKorvane.dll", nullptr,
                                    LOAD_LIBRARY_SEARCH_APPLICATION_DIR
                                        | LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module)
        return ERROR_MOD_NOT_FOUND;
    m_deviceInit = resolve<DeviceInitFn>(module, "FicDeviceInit");
    m_versionGet = resolve<VersionGetFn>(module, "FicVersionGet");
    m_updateFwUms = resolve<UpdateFwUmsFn>(module, "FicUpdateFwUms");
    if (!m_deviceInit || !m_versionGet || !m_updateFwUms) {
        m_deviceInit = nullptr;
        m_versionGet = nullptr;
        m_updateFwUms = nullptr;
        FreeLibrary(module);
        return ERROR_PROC_NOT_FOUND;
    }
    m_module = module;
    return 0;
}

long WinCameraLibrary::deviceInit(IBaseFilter *filter, unsigned long *context)
{
    const long status = load();
    return status != 0 ? status : m_deviceInit(filter, context);
}

long WinCameraLibrary::versionGet(IBaseFilter *filter, unsigned long context,
                                  unsigned char *block, int *length)
{
    const long status = load();
    return status != 0 ? status : m_versionGet(filter, context, block, length);
}

long WinCameraLibrary::updateFwUms(IBaseFilter *filter, unsigned long context)
{
    const long status = load();
    return status != 0 ? status : m_updateFwUms(filter, context);
}

} // namespace platform
