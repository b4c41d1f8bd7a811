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

const WCHAR kIconFileKey[] = L"IconFile";
const WCHAR kIconIndexKey[] = L"IconIndex";

// One read of a file's section holds its icon file, index and InfoTip as the
// page writes them, with room to spare; a larger section is read key by key.
const DWORD kSectionCapacity = 1024;

// "IconFile" is read with room for one character more than a location may
// have: a value that fills the buffer was cut, and is refused.
const DWORD kIconFileCapacity = MAX_PATH + 1;

// The icon entries of a file's section, as the two key reads give them.
struct IconEntries {
    WCHAR iconFile[kIconFileCapacity];
    WCHAR indexText[kIconIndexTextCapacity];
};

bool IsAscii(PCWSTR text, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        if (text[i] >= 0x80)
            return false;
    }
    return true;
}

bool EqualsAsciiKey(PCWSTR name, size_t length, PCWSTR key)
{
    for (size_t i = 0; i < length; ++i) {
        WCHAR a = name[i], b = key[i];
        if (a >= L'A' && a <= L'Z')
            a = static_cast<WCHAR>(a + (L'a' - L'A'));
        if (b >= L'A' && b <= L'Z')
            b = static_cast<WCHAR>(b + (L'a' - L'A'));
        if (a != b)
            return false;
    }
    return key[length] == L'\0';
}

// What a section's entries say of one key, read the way a key read finds
// it: the first entry whose name, white space trimmed, equals the key
// without regard to case gives the value, white space trimmed.
enum class SectionKey { Missing, Found, KeyReadNeeded };

// `entries` as GetPrivateProfileSectionW gives them: "name=value" strings,
// each ended by a terminator, the last followed by a second one. Where the
// key read could answer otherwise than the section's text says, the answer
// is KeyReadNeeded: an entry of the key's name without "=", a value in
// quotes (which the key read takes off), a name of the key's length with
// characters beyond ASCII (whose case folding is the platform's).
SectionKey FindSectionKey(PCWSTR entries, PCWSTR key, PCWSTR* value, size_t* valueLength)
{
    size_t keyLength = 0;
    StringCchLengthW(key, STRSAFE_MAX_CCH, &keyLength);
    for (PCWSTR entry = entries; *entry; entry += wcslen(entry) + 1) {
        PCWSTR equals = wcschr(entry, L'=');
        PCWSTR nameEnd = equals ? equals : entry + wcslen(entry);
        PCWSTR name = entry;
        while (name < nameEnd && IsProfileSpace(*name))
            ++name;
        while (nameEnd > name && IsProfileSpace(nameEnd[-1]))
            --nameEnd;
        size_t nameLength = static_cast<size_t>(nameEnd - name);
        if (nameLength != keyLength)
            continue;
        if (!IsAscii(name, nameLength))
            return SectionKey::KeyReadNeeded;
        if (!EqualsAsciiKey(name, nameLength, key))
            continue;
        if (!equals)
            return SectionKey::KeyReadNeeded;
        PCWSTR start = equals + 1;
        PCWSTR end = start + wcslen(start);
        while (start < end && IsProfileSpace(*start))
            ++start;
        while (end > start && IsProfileSpace(end[-1]))
            --end;
        if (start < end && (*start == L'"' || *start == L'\''))
            return SectionKey::KeyReadNeeded;
        *value = start;
        *valueLength = static_cast<size_t>(end - start);
        return SectionKey::Found;
    }
    return SectionKey::Missing;
}

// One key of the section into `buffer` as a key read with `defaultValue`
// fills it: the value cut to the buffer, or the default when it is missing.
bool CopySectionKey(PCWSTR entries, PCWSTR key, PCWSTR defaultValue, PWSTR buffer, size_t capacity)
{
    PCWSTR value = nullptr;
    size_t length = 0;
    switch (FindSectionKey(entries, key, &value, &length)) {
    case SectionKey::KeyReadNeeded:
        return false;
    case SectionKey::Missing:
        StringCchCopyW(buffer, capacity, defaultValue);
        return true;
    case SectionKey::Found:
        break;
    }
    StringCchCopyNW(buffer, capacity, value, length < capacity ? length : capacity - 1);
    return true;
}

// The file's "IconFile" and "IconIndex" from one read of its section; the
// two key reads when the section does not fit the buffer or its text leaves
// a doubt about what they would give.
void ReadIconEntries(PCWSTR settingsPath, PCWSTR section, IconEntries* icon)
{
    WCHAR entries[kSectionCapacity];
    DWORD length = GetPrivateProfileSectionW(section, entries, ARRAYSIZE(entries), settingsPath);
    // A file that cannot be opened leaves the buffer as it was; the entries
    // read end at the length returned.
    if (length < ARRAYSIZE(entries) - 2) {
        entries[length] = L'\0';
        entries[length + 1] = L'\0';
    }
    if (length < ARRAYSIZE(entries) - 2 &&
        CopySectionKey(entries, kIconFileKey, L"", icon->iconFile, ARRAYSIZE(icon->iconFile)) &&
        CopySectionKey(entries, kIconIndexKey, L"0", icon->indexText, ARRAYSIZE(icon->indexText)))
        return;
    GetPrivateProfileStringW(section, kIconFileKey, L"", icon->iconFile, ARRAYSIZE(icon->iconFile), settingsPath);
    GetPrivateProfileStringW(section, kIconIndexKey, L"0", icon->indexText, ARRAYSIZE(icon->indexText),
                             settingsPath);
}

// The icon the handler gives for a file: its own ("IconFile" joined to the
// file's folder when relative, and "IconIndex"), NoCustomIcon when it has
// none, TooLong when the location does not fit MAX_PATH whole.
FileIconResult ReadHandlerIcon(PCWSTR filePath, PWSTR location, int* iconIndex)
{
    WCHAR settingsPath[MAX_PATH];
    WCHAR section[MAX_PATH];
    WCHAR folderPath[MAX_PATH];
    if (!CanHoldFileEntries(filePath) || !GetFileSettingsPath(filePath, settingsPath) ||
        !GetFileSectionName(filePath, section) || !GetFileFolderPath(filePath, folderPath))
        return NoCustomIcon;

    IconEntries icon;
    ReadIconEntries(settingsPath, section, &icon);
    if (icon.iconFile[0] == L'\0')
        return NoCustomIcon;
    // A location cut by the read, or too long once joined, would name
    // another file.
    if (Length(icon.iconFile, ARRAYSIZE(icon.iconFile)) >= MAX_PATH ||
        !ExpandIconFile(folderPath, icon.iconFile, location)) {
        location[0] = L'\0';
        return TooLong;
    }
    *iconIndex = ParseIconIndex(icon.indexText);
    return CustomIcon;
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
    switch (ReadHandlerIcon(context.handlerFile, location, &index)) {
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
