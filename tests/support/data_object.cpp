// The shell's selection as a data object: CF_HDROP and nothing else. Free
// of the common controls and the shell, so that a program that must not
// load them (actctx_test) can compile it in.
#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "host.h"

namespace {

class DropDataObject final : public IDataObject {
public:
    DropDataObject(const std::vector<std::wstring>& paths, bool offerDrop)
        : refCount_(1), paths_(paths), offerDrop_(offerDrop)
    {
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
            *ppv = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refCount_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        ULONG count = --refCount_;
        if (count == 0)
            delete this;
        return count;
    }

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (!offerDrop_ || format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        size_t chars = 1;
        for (const auto& path : paths_)
            chars += path.size() + 1;
        HGLOBAL global = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(WCHAR));
        if (!global)
            return E_OUTOFMEMORY;
        auto* drop = static_cast<DROPFILES*>(GlobalLock(global));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        WCHAR* out = reinterpret_cast<WCHAR*>(drop + 1);
        for (const auto& path : paths_) {
            memcpy(out, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
            out += path.size() + 1;
        }
        *out = L'\0';
        GlobalUnlock(global);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = global;
        medium->pUnkForRelease = nullptr;
        ++getDataCalls;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override
    {
        return offerDrop_ && format->cfFormat == CF_HDROP ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

    int getDataCalls = 0;

private:
    ~DropDataObject() = default;
    std::atomic<ULONG> refCount_;
    std::vector<std::wstring> paths_;
    bool offerDrop_;
};

}  // namespace

IDataObject* CreateDropDataObject(const std::vector<std::wstring>& paths)
{
    return new DropDataObject(paths, true);
}

IDataObject* CreateEmptyDataObject()
{
    return new DropDataObject({}, false);
}

