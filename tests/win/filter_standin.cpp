// The stand-in capture source (see filter_standin.h): registered by a test under the video-input
// category, created by DirectShow's moniker through DllGetClassObject.
#include "filter_standin.h"

#include <dshow.h>

namespace {

FilterStandInState g_state;

// Every method a capture source has; only identity and references do anything.
class Filter final : public IBaseFilter {
public:
    int m_slot = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        const bool known = iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter
                           || iid == IID_IBaseFilter;
        *out = known ? static_cast<IBaseFilter *>(this) : nullptr;
        return known ? (AddRef(), S_OK) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++g_state.references[m_slot]); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        long &refs = g_state.references[m_slot];
        g_state.releasesTooMany += refs == 0;
        return ULONG(refs == 0 ? 0 : --refs);
    }
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID *id) override
    {
        *id = standInClass(static_cast<unsigned char>(g_state.device[m_slot]));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph *, LPCWSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR *) override { return E_NOTIMPL; }
};
Filter g_filters[FilterStandInState::Room];   // for the life of the process

// One static factory per device number; references to it are of no interest.
class Factory final : public IClassFactory {
public:
    unsigned char device = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **out) override
    {
        *out = nullptr;
        if (outer || g_state.created == FilterStandInState::Room)
            return outer ? CLASS_E_NOAGGREGATION : E_OUTOFMEMORY;
        const int slot = g_state.created++;
        g_state.device[slot] = device;
        g_filters[slot].m_slot = slot;
        return g_filters[slot].QueryInterface(iid, out);   // the creator's reference
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
Factory g_factories[256];

} // namespace

extern "C" {
__declspec(dllexport) FilterStandInState *FilterStandInRecorder() { return &g_state; }

__declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID id, REFIID iid, void **out)
{
    const GUID base = standInClass(0);   // all but the last byte, which is the device's
    *out = nullptr;
    if (memcmp(&id, &base, sizeof(GUID) - 1) != 0)
        return CLASS_E_CLASSNOTAVAILABLE;
    g_factories[id.Data4[7]].device = id.Data4[7];
    return g_factories[id.Data4[7]].QueryInterface(iid, out);
}

// The objects live in the DLL: it stays while the process runs.
__declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }
} // extern "C"
