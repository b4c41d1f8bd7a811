// The property-sheet extension object that each deliverable serves. After
// AddPages it lives on as the state of its page (PageContext), kept alive by
// the page's reference until the property sheet destroys the page.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <initializer_list>

#include "page_context.h"

// DocDress's object also serves file types as icon handler and InfoTip
// handler; the others have only the two property-sheet interfaces.
#ifndef DRESS_FILE_HANDLERS
#define DRESS_FILE_HANDLERS 0
#endif

class PropSheetExtension final : public IShellExtInit,
#if DRESS_FILE_HANDLERS
                                 public IPersistFile,
#endif
                                 public IShellPropSheetExt
#if DRESS_FILE_HANDLERS
    ,
                                 public IQueryInfo,
                                 public IExtractIconW
#endif
{
public:
    // Whether riid is one of the object's interfaces (checked by the class
    // factory before anything is allocated).
    static bool HasInterface(REFIID riid);
    // Creates an object for clsid and returns its riid interface.
    static HRESULT Create(REFCLSID clsid, REFIID riid, void** ppv);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IShellExtInit
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj, HKEY hkeyProgID) override;

    // IShellPropSheetExt
    STDMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE lpfnAddPage, LPARAM lParam) override;
    STDMETHODIMP ReplacePage(EXPPS uPageID, LPFNSVADDPROPSHEETPAGE lpfnReplaceWith, LPARAM lParam) override;

#if DRESS_FILE_HANDLERS
    // IPersistFile (file/handlers.cpp)
    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPCOLESTR pszFileName, DWORD dwMode) override;
    STDMETHODIMP Save(LPCOLESTR pszFileName, BOOL fRemember) override;
    STDMETHODIMP SaveCompleted(LPCOLESTR pszFileName) override;
    STDMETHODIMP GetCurFile(LPOLESTR* ppszFileName) override;

    // IQueryInfo (file/handlers.cpp)
    STDMETHODIMP GetInfoTip(DWORD dwFlags, LPWSTR* ppwszTip) override;
    STDMETHODIMP GetInfoFlags(DWORD* pdwFlags) override;

    // IExtractIconW (file/handlers.cpp)
    STDMETHODIMP GetIconLocation(UINT uFlags, LPWSTR szIconFile, UINT cchMax, int* piIndex,
                                 UINT* pwFlags) override;
    STDMETHODIMP Extract(LPCWSTR pszFile, UINT nIconIndex, HICON* phiconLarge, HICON* phiconSmall,
                         UINT nIconSize) override;
#endif

    PageContext context;

private:
    explicit PropSheetExtension(REFCLSID clsid);
    ~PropSheetExtension();
    PropSheetExtension(const PropSheetExtension&) = delete;
    PropSheetExtension& operator=(const PropSheetExtension&) = delete;

    CLSID clsid_;
    LONG refCount_;
};

// pfnCallback of every page: gives the page's reference back on release.
UINT CALLBACK PageReleaseCallback(HWND hwnd, UINT uMsg, LPPROPSHEETPAGEW ppsp);

// The page procedures' access to their state. On WM_INITDIALOG stores the
// PROPSHEETPAGEW that lParam carries in the window's user data; on every
// message returns the context of the extension object found there, or null
// before WM_INITDIALOG.
PageContext* GetPageContext(HWND dialog, UINT message, LPARAM lParam);

// Tells the property sheet that the page holds changes (PSM_CHANGED to the
// parent, with the page's window as wParam).
void MarkPageChanged(HWND page);

// What the page procedures share around their controls.

// WM_NOTIFY of a page: whether the sheet asks the page to apply (PSN_APPLY).
// Pages always accept: their procedures return FALSE, so the dialog manager
// answers the notification with 0, which is PSNRET_NOERROR.
bool IsApplyNotification(LPARAM lParam);

// Destroys an icon the page owns (a preview) and forgets it; nothing for
// none. At WM_DESTROY, and before another icon takes its place.
void DestroyPageIcon(HICON* icon);

// The modify flag of one of the page's edits: a text value is written at
// the apply only when its edit is marked modified.
void SetEditModified(HWND page, int editId, BOOL modified);
bool IsEditModified(HWND page, int editId);

// Enables or disables several of the page's controls.
void EnableControls(HWND page, std::initializer_list<int> ids, BOOL enable);
