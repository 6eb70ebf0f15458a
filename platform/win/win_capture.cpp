#include "platform/win/win_capture.h"
#include "platform/win/win_usb_port.h"

#include <windows.h>
#include <dshow.h>
#include <oleauto.h>

namespace platform {

namespace {

// Reads one string property. `value` (may be null) receives the text up to
// its terminating NUL when the read gives a string.
HRESULT readString(IPropertyBag *bag, const wchar_t *name, QString *value)
{
    VARIANT var;
    VariantInit(&var);
    var.vt = VT_BSTR;
    var.bstrVal = nullptr;
    const HRESULT hr = bag->Read(name, &var, nullptr);
    if (var.vt == VT_BSTR) {
        if (SUCCEEDED(hr) && value && var.bstrVal)
            *value = QString::fromWCharArray(var.bstrVal);
        SysFreeString(var.bstrVal);
        return hr;
    }
    // Anything but a string is of no use here, and is freed as what it is.
    VariantClear(&var);
    return SUCCEEDED(hr) ? E_UNEXPECTED : hr;
}

IPropertyBag *bindBag(IMoniker *moniker)
{
    IPropertyBag *bag = nullptr;
    const HRESULT hr = moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                              reinterpret_cast<void **>(&bag));
    if (FAILED(hr))
        return nullptr;
    return bag;
}

} // namespace

int WinCaptureDevices::enumerate(IMoniker **monikers, IBaseFilter **filters, int slots)
{
    ICreateDevEnum *devEnum = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICreateDevEnum, reinterpret_cast<void **>(&devEnum));
    if (FAILED(hr) || !devEnum)
        return -1;

    IEnumMoniker *category = nullptr;
    hr = devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &category, 0);
    if (FAILED(hr) || !category) {   // S_FALSE without enumerator: empty category
        devEnum->Release();
        return -1;
    }

    category->Reset();
    int count = 0;
    IMoniker *moniker = nullptr;
    // Devices beyond the tables are not even bound.
    while (count < slots && category->Next(1, &moniker, nullptr) == S_OK) {
        IPropertyBag *bag = bindBag(moniker);
        if (!bag) {
            moniker->Release();
            continue;
        }
        // The path itself is not kept: a device without one is no capture device.
        hr = readString(bag, L"DevicePath", nullptr);
        bag->Release();
        if (FAILED(hr)) {
            moniker->Release();
            continue;
        }
        IBaseFilter *filter = nullptr;
        hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                   reinterpret_cast<void **>(&filter));
        if (FAILED(hr) || !filter) {
            moniker->Release();
            continue;
        }
        monikers[count] = moniker;
        filters[count] = filter;
        ++count;
    }

    category->Release();
    devEnum->Release();
    return count;
}

DeviceProperties WinCaptureDevices::readProperties(IMoniker *moniker)
{
    DeviceProperties props;
    IPropertyBag *bag = moniker ? bindBag(moniker) : nullptr;
    if (!bag)
        return props;
    props.bound = true;
    QString name;
    if (readString(bag, L"FriendlyName", &name) == S_OK) {
        props.hasFriendlyName = true;
        props.friendlyName = name;
    }
    QString path;
    props.hasDevicePath = readString(bag, L"DevicePath", &path) == S_OK;
    bag->Release();
    if (props.hasDevicePath) {
        props.devicePath = path;
        props.usbPort = usbPortOfInterface(path);
    }
    return props;
}

void WinCaptureDevices::release(IMoniker *moniker)
{
    if (moniker)
        moniker->Release();
}

void WinCaptureDevices::release(IBaseFilter *filter)
{
    if (filter)
        filter->Release();
}

} // namespace platform
