// DocDress's object as a file type's icon handler and InfoTip handler: the
// shell hands it a file with IPersistFile::Load and asks for the file's icon
// location and tooltip, which come from the file's entries in its folder's
// Desktop.ini, falling back to the type's default icon. Nothing is cached:
// every request reads the settings again.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <strsafe.h>

#include "clsids.h"
#include "desktop_ini.h"
#include "extension.h"
#include "file_store.h"
#include "handle.h"
#include "picker.h"
#include "profile.h"
#include "type_handler.h"

namespace {

const WCHAR kLineBreak[] = L"\r\n";
const WCHAR kTypePrefix[] = L"Type: ";

// The handler file as the requests need it: a full path. Anything else (no
// Load yet, or a refused one) is answered with E_FAIL.
bool HasHandlerFile(const PageContext& context)
{
    return IsFullFilePath(context.handlerFile);
}

size_t Length(PCWSTR text, size_t capacity)
{
    size_t length = 0;
    return SUCCEEDED(StringCchLengthW(text, capacity, &length)) ? length : 0;
}

// A text cut to fill its buffer keeps whole characters: a high surrogate
// left at the end has lost its partner, and goes too.
void DropCutSurrogate(PWSTR text, size_t capacity)
{
    size_t length = Length(text, capacity);
    if (length == capacity - 1 && length > 0 && IS_HIGH_SURROGATE(text[length - 1]))
        text[length - 1] = L'\0';
}


}  // namespace

// ---------------------------------------------------------------------------
// IPersistFile

STDMETHODIMP PropSheetExtension::GetClassID(CLSID* pClassID)
{
    if (!pClassID)
        return E_POINTER;
    *pClassID = CLSID_DocDress;
    return S_OK;
}

STDMETHODIMP PropSheetExtension::IsDirty()
{
    return S_OK;
}

STDMETHODIMP PropSheetExtension::Load(LPCOLESTR pszFileName, DWORD dwMode)
{
    // Whatever happens, the previous file is forgotten: a refused name must
    // not leave requests answering for another file.
    context.handlerFile[0] = L'\0';
    context.handlerMode = 0;
    if (!pszFileName)
        return E_POINTER;
    // A name cut to fit would name another file.
    if (FAILED(StringCchCopyW(context.handlerFile, ARRAYSIZE(context.handlerFile), pszFileName))) {
        context.handlerFile[0] = L'\0';
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    context.handlerMode = dwMode;
    return S_OK;
}

STDMETHODIMP PropSheetExtension::Save(LPCOLESTR, BOOL)
{
    return S_OK;
}

STDMETHODIMP PropSheetExtension::SaveCompleted(LPCOLESTR)
{
    return S_OK;
}

STDMETHODIMP PropSheetExtension::GetCurFile(LPOLESTR* ppszFileName)
{
    // The only name the object has is the handler file; without one there is
    // nothing to report, and no success either.
    if (!ppszFileName)
        return E_POINTER;
    *ppszFileName = nullptr;
    if (context.handlerFile[0] == L'\0')
        return E_FAIL;
    size_t capacity = Length(context.handlerFile, ARRAYSIZE(context.handlerFile)) + 1;
    PWSTR name = static_cast<PWSTR>(CoTaskMemAlloc(capacity * sizeof(WCHAR)));
    if (!name)
        return E_OUTOFMEMORY;
    StringCchCopyW(name, capacity, context.handlerFile);
    *ppszFileName = name;
    return S_OK;
}

// ---------------------------------------------------------------------------
// IQueryInfo

STDMETHODIMP PropSheetExtension::GetInfoTip(DWORD, LPWSTR* ppwszTip)
{
    if (!ppwszTip)
        return E_POINTER;
    *ppwszTip = nullptr;
    if (!HasHandlerFile(context))
        return E_FAIL;

    WCHAR tip[MAX_PATH];
    ReadFileSetting(context.handlerFile, L"InfoTip", L"", tip, ARRAYSIZE(tip));
    DropCutSurrogate(tip, ARRAYSIZE(tip));
    if (tip[0] == L'@') {
        WCHAR resolved[MAX_PATH];
        ResolveIndirectString(tip, resolved);
        DropCutSurrogate(resolved, ARRAYSIZE(resolved));
        StringCchCopyW(tip, ARRAYSIZE(tip), resolved);
    }

    SHFILEINFOW info = {};
    if (!SHGetFileInfoW(context.handlerFile, 0, &info, sizeof(info), SHGFI_DISPLAYNAME | SHGFI_TYPENAME)) {
        info.szDisplayName[0] = L'\0';
        info.szTypeName[0] = L'\0';
    }

    size_t tipLength = Length(tip, ARRAYSIZE(tip));
    size_t nameLength = Length(info.szDisplayName, ARRAYSIZE(info.szDisplayName));
    size_t typeLength = Length(info.szTypeName, ARRAYSIZE(info.szTypeName));
    // The three texts, two line breaks, "Type: " and the terminator.
    size_t capacity = tipLength + nameLength + typeLength + 11;
    SIZE_T bytes = capacity * sizeof(WCHAR);

    // The caller frees the text with the shell's allocator, which is the
    // task allocator: without the shell's interface, allocate from that.
    ComPtr<IMalloc> allocator;
    PWSTR text = nullptr;
    if (SUCCEEDED(SHGetMalloc(allocator.Receive())) && allocator)
        text = static_cast<PWSTR>(allocator->Alloc(bytes));
    else
        text = static_cast<PWSTR>(CoTaskMemAlloc(bytes));
    if (!text)
        return E_OUTOFMEMORY;

    text[0] = L'\0';
    if (tipLength > 0) {
        StringCchCatW(text, capacity, tip);
        StringCchCatW(text, capacity, kLineBreak);
    }
    StringCchCatW(text, capacity, info.szDisplayName);
    StringCchCatW(text, capacity, kLineBreak);
    StringCchCatW(text, capacity, kTypePrefix);
    StringCchCatW(text, capacity, info.szTypeName);
    *ppwszTip = text;
    return S_OK;
}

STDMETHODIMP PropSheetExtension::GetInfoFlags(DWORD*)
{
    return E_NOTIMPL;
}

// ---------------------------------------------------------------------------
// IExtractIconW

STDMETHODIMP PropSheetExtension::GetIconLocation(UINT, LPWSTR szIconFile, UINT cchMax, int* piIndex,
                                                 UINT* pwFlags)
{
    if (!szIconFile || !piIndex || !pwFlags)
        return E_POINTER;
    if (!HasHandlerFile(context))
        return E_FAIL;

    WCHAR location[MAX_PATH];
    int index = 0;
    switch (ReadFileIconForHandler(context.handlerFile, location, &index)) {
    case NoCustomIcon:
        // The type's own icon, which the shell may cache as it likes.
        *pwFlags = 0;
        return GetTypeDefaultIcon(context.handlerFile, szIconFile, cchMax, piIndex);
    case TooLong:
        return E_FAIL;
    case CustomIcon:
        break;
    }
    // A location cut to fit would name another file.
    if (Length(location, ARRAYSIZE(location)) >= cchMax)
        return E_FAIL;
    StringCchCopyW(szIconFile, cchMax, location);
    *piIndex = index;
    // Not cached by the shell, so that a change shows at the next request.
    *pwFlags = GIL_DONTCACHE;
    return S_OK;
}

STDMETHODIMP PropSheetExtension::Extract(LPCWSTR, UINT, HICON*, HICON*, UINT)
{
    // The shell extracts the icon itself from the location given.
    return S_FALSE;
}
