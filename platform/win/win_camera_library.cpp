#include "platform/win/win_camera_library.h"

#include <windows.h>

namespace platform {

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
    // Through AnyFn so the compiler accepts the change of signature.
    const bool complete = m_entry.resolve([module](const char *name) {
        return reinterpret_cast<Entry::AnyFn>(GetProcAddress(module, name));
    });
    if (!complete) {
        FreeLibrary(module);
        return ERROR_PROC_NOT_FOUND;
    }
    m_module = module;
    return 0;
}

long WinCameraLibrary::deviceInit(IBaseFilter *filter, unsigned long *context)
{
    const long status = load();
    return status != 0 ? status : m_entry.deviceInit(filter, context);
}

long WinCameraLibrary::versionGet(IBaseFilter *filter, unsigned long context,
                                  unsigned char *block, int *length)
{
    const long status = load();
    return status != 0 ? status : m_entry.versionGet(filter, context, block, length);
}

long WinCameraLibrary::updateFwUms(IBaseFilter *filter, unsigned long context)
{
    const long status = load();
    return status != 0 ? status : m_entry.updateFwUms(filter, context);
}

} // namespace platform
