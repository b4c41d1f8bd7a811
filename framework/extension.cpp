#include "extension.h"

#include <new>
#include <shellapi.h>
#include <strsafe.h>

#include "actctx.h"
#include "deliverable.h"
#include "module.h"

PropSheetExtension::PropSheetExtension(REFCLSID clsid) : context(), clsid_(clsid), refCount_(1)
{
    ModuleAddRef();
}

PropSheetExtension::~PropSheetExtension()
{
    ModuleRelease();
}

bool PropSheetExtension::HasInterface(REFIID riid)
{
    return IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IShellExtInit) ||
#if DRESS_FILE_HANDLERS
           IsEqualIID(riid, IID_IPersistFile) || IsEqualIID(riid, IID_IQueryInfo) ||
           IsEqualIID(riid, IID_IExtractIconW) ||
#endif
           IsEqualIID(riid, IID_IShellPropSheetExt);
}

HRESULT PropSheetExtension::Create(REFCLSID clsid, REFIID riid, void** ppv)
{
    *ppv = nullptr;
    PropSheetExtension* extension = new (std::nothrow) PropSheetExtension(clsid);
    if (!extension)
        return E_OUTOFMEMORY;
    HRESULT hr = extension->QueryInterface(riid, ppv);
    extension->Release();
    return hr;
}

STDMETHODIMP PropSheetExtension::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IShellExtInit))
        *ppv = static_cast<IShellExtInit*>(this);
    else if (IsEqualIID(riid, IID_IShellPropSheetExt))
        *ppv = static_cast<IShellPropSheetExt*>(this);
#if DRESS_FILE_HANDLERS
    else if (IsEqualIID(riid, IID_IPersistFile))
        *ppv = static_cast<IPersistFile*>(this);
    else if (IsEqualIID(riid, IID_IQueryInfo))
        *ppv = static_cast<IQueryInfo*>(this);
    else if (IsEqualIID(riid, IID_IExtractIconW))
        *ppv = static_cast<IExtractIconW*>(this);
#endif
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) PropSheetExtension::AddRef()
{
    return InterlockedIncrement(&refCount_);
}

STDMETHODIMP_(ULONG) PropSheetExtension::Release()
{
    LONG count = InterlockedDecrement(&refCount_);
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP PropSheetExtension::Initialize(PCIDLIST_ABSOLUTE, IDataObject* pdtobj, HKEY)
{
    PWSTR itemPath = context.itemPath;
    itemPath[0] = L'\0';
    if (!pdtobj)
        return S_OK;

    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (FAILED(pdtobj->GetData(&format, &medium)))
        return S_OK;

    HDROP drop = static_cast<HDROP>(medium.hGlobal);
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) != 0) {
        // A path that does not fit would be cut into the name of another
        // item, whose settings the page would then write: take none instead.
        if (DragQueryFileW(drop, 0, nullptr, 0) < MAX_PATH)
            DragQueryFileW(drop, 0, itemPath, MAX_PATH);
    }

    if (ThisDeliverable.trimTrailingBackslash) {
        size_t length = 0;
        StringCchLengthW(itemPath, MAX_PATH, &length);
        if (length > 0 && itemPath[length - 1] == L'\\')
            itemPath[length - 1] = L'\0';
    }

    ReleaseStgMedium(&medium);
    return S_OK;
}

STDMETHODIMP PropSheetExtension::AddPages(LPFNSVADDPROPSHEETPAGE lpfnAddPage, LPARAM lParam)
{
    PageChoice choice = {};
    if (!ChoosePage(context, &choice))
        return S_OK;

    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof(PROPSHEETPAGEW_V3);
    page.dwFlags = PSP_USEREFPARENT | PSP_USECALLBACK;
    page.hInstance = ModuleInstance;
    page.pszTemplate = MAKEINTRESOURCEW(choice.templateId);
    page.pfnDlgProc = choice.dialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    page.pfnCallback = PageReleaseCallback;
    page.pcRefParent = reinterpret_cast<UINT*>(&ModuleRefCount);

    HPROPSHEETPAGE pageHandle = CreatePageInContext(&page);
    if (!pageHandle)
        return ThisDeliverable.pageCreationFailure;

    // The page's own reference, given back by PageReleaseCallback.
    AddRef();
    if (!lpfnAddPage(pageHandle, lParam)) {
        // Destroying the page runs the release callback, which drops the
        // reference taken above.
        DestroyPageInContext(pageHandle);
        return E_FAIL;
    }
    return S_OK;
}

STDMETHODIMP PropSheetExtension::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM)
{
    return E_NOTIMPL;
}

UINT CALLBACK PageReleaseCallback(HWND, UINT uMsg, LPPROPSHEETPAGEW ppsp)
{
    if (uMsg == PSPCB_RELEASE && ppsp) {
        PropSheetExtension* extension = reinterpret_cast<PropSheetExtension*>(ppsp->lParam);
        if (extension)
            extension->Release();
    }
    return 1;
}

PageContext* GetPageContext(HWND dialog, UINT message, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
    const PROPSHEETPAGEW* page = reinterpret_cast<const PROPSHEETPAGEW*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (!page)
        return nullptr;
    PropSheetExtension* extension = reinterpret_cast<PropSheetExtension*>(page->lParam);
    return extension ? &extension->context : nullptr;
}

void MarkPageChanged(HWND page)
{
    SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
}

bool IsApplyNotification(LPARAM lParam)
{
    return reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(PSN_APPLY);
}

void DestroyPageIcon(HICON* icon)
{
    if (*icon) {
        DestroyIcon(*icon);
        *icon = nullptr;
    }
}

void SetEditModified(HWND page, int editId, BOOL modified)
{
    SendDlgItemMessageW(page, editId, EM_SETMODIFY, modified, 0);
}

bool IsEditModified(HWND page, int editId)
{
    return SendDlgItemMessageW(page, editId, EM_GETMODIFY, 0, 0) != 0;
}

void EnableControls(HWND page, std::initializer_list<int> ids, BOOL enable)
{
    for (int id : ids)
        EnableWindow(GetDlgItem(page, id), enable);
}
