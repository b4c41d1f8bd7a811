// The COM server around the extension object: the class object and unload
// exports, the class factory and the module count (the registration exports
// are in registration.cpp).
#include <windows.h>
#include <new>

#include "deliverable.h"
#include "extension.h"
#include "module.h"

HINSTANCE ModuleInstance;
LONG ModuleRefCount;

namespace {

// One heap object per DllGetClassObject call. It does not hold the module:
// only objects, server locks and pages do.
class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(REFCLSID clsid) : refCount_(1), clsid_(clsid) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }

    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refCount_); }

    STDMETHODIMP_(ULONG) Release() override
    {
        LONG count = InterlockedDecrement(&refCount_);
        if (count == 0)
            delete this;
        return count;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (!PropSheetExtension::HasInterface(riid))
            return E_NOINTERFACE;
        return PropSheetExtension::Create(clsid_, riid, ppv);
    }

    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            ModuleAddRef();
        else
            ModuleRelease();
        return S_OK;
    }

private:
    ~ClassFactory() = default;

    LONG refCount_;
    CLSID clsid_;
};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD, LPVOID)
{
    ModuleInstance = instance;
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, *ThisDeliverable.clsid))
        return CLASS_E_CLASSNOTAVAILABLE;
    ClassFactory* factory = new (std::nothrow) ClassFactory(rclsid);
    if (!factory)
        return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

STDAPI DllCanUnloadNow()
{
    return InterlockedCompareExchange(&ModuleRefCount, 0, 0) == 0 ? S_OK : S_FALSE;
}
