#include "drive_store.h"

#include <shlobj.h>
#include <strsafe.h>

#include "desktop_ini.h"
#include "handle.h"
#include "profile.h"
#include "registry_text.h"

namespace {

const WCHAR kDriveIconsKeyFormat[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\%c";
const WCHAR kLabelSubkey[] = L"DefaultLabel";
const WCHAR kIconSubkey[] = L"DefaultIcon";

const WCHAR kAutoRunName[] = L"AutoRun.inf";
const WCHAR kAutoRunSection[] = L"autorun";
const WCHAR kLabelKey[] = L"label";
const WCHAR kIconKey[] = L"icon";

// "X:\" with any letter: the drive letter is used as given, without a change
// of case.
bool IsAsciiLetter(WCHAR c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// The drive letter's key below HKEY_LOCAL_MACHINE; false for a root path
// that names no drive.
bool GetLetterKeyName(PCWSTR rootPath, PWSTR keyName, size_t capacity)
{
    return IsDriveRoot(rootPath) && SUCCEEDED(StringCchPrintfW(keyName, capacity, kDriveIconsKeyFormat, rootPath[0]));
}

// The disk's AutoRun.inf; false for a root path that names no drive.
bool GetAutoRunPath(PCWSTR rootPath, PWSTR file, size_t capacity)
{
    return IsDriveRoot(rootPath) && SUCCEEDED(StringCchPrintfW(file, capacity, L"%s%s", rootPath, kAutoRunName));
}

// A stored disk icon path that is relative to the root: neither a drive path
// (third character "\") nor one that starts with an environment variable.
// A path starting with a single backslash counts as relative too.
bool IsRootRelative(PCWSTR path)
{
    if (path[0] == L'%')
        return false;
    return !(path[0] != L'\0' && path[1] != L'\0' && path[2] == L'\\');
}

// Every key of the drive letter is opened in the 64-bit view. DriveIcons is
// shared between the views on Windows 7 and later, where the flag changes
// nothing; where it is redirected, the x86 build would otherwise keep the
// settings in the 32-bit view, which the 64-bit Explorer never reads.
const REGSAM kView = KEY_WOW64_64KEY;

// Longest text value read for showing; a longer one is not shown at all.
const size_t kLongestShownText = 1024;

struct StoredText {
    bool found;   // the subkey exists
    DWORD bytes;  // size of its default value; 0 without one
    bool fits;    // text holds the whole value as text
    bool whole;   // ...and writing it back as REG_SZ gives the same bytes
};

// The default value of a subkey of the letter key. Text values (REG_SZ,
// REG_EXPAND_SZ) are copied to `text`, cut to `capacity` - 1 characters
// when longer; other types give the empty text. A subkey without a default
// value reads as the empty text, as RegQueryValueW gives it.
StoredText QueryDefaultText(HKEY letterKey, PCWSTR subkey, PWSTR text, size_t capacity)
{
    StoredText stored = {false, 0, false, false};
    text[0] = L'\0';
    AutoRegKey key;
    if (RegOpenKeyExW(letterKey, subkey, 0, KEY_QUERY_VALUE | kView, key.Receive()) != ERROR_SUCCESS)
        return stored;
    stored.found = true;

    // Room for a terminator of our own after the longest value taken.
    WCHAR value[kLongestShownText + 1];
    RegistryText read = ReadRegistryText(key.Get(), nullptr, value, ARRAYSIZE(value));
    DWORD type = read.type;
    DWORD bytes = read.bytes;
    if (read.status == ERROR_FILE_NOT_FOUND) {
        stored.fits = stored.whole = true;
        return stored;
    }
    if (read.status == ERROR_SUCCESS || read.status == ERROR_MORE_DATA)
        stored.bytes = bytes;
    if (read.status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return stored;
    size_t chars = bytes / sizeof(WCHAR);
    size_t length = wcslen(value);
    stored.fits = length < capacity;
    // Exactly one terminator, at the end: what SetDefaultString writes.
    stored.whole = stored.fits && type == REG_SZ && bytes % sizeof(WCHAR) == 0 && chars == length + 1;
    StringCchCopyNW(text, capacity, value, stored.fits ? length : capacity - 1);
    return stored;
}

void SetDefaultString(HKEY letterKey, PCWSTR subkey, PCWSTR value)
{
    AutoRegKey key;
    if (RegCreateKeyExW(letterKey, subkey, 0, nullptr, 0, KEY_SET_VALUE | kView, nullptr, key.Receive(), nullptr) !=
        ERROR_SUCCESS)
        return;
    WriteRegistryString(key.Get(), nullptr, value);
}

// AutoRun.inf as something the profile functions may update: missing, or a
// file that is not UTF-16 without a byte-order mark (read as ANSI, it would
// be rewritten as ANSI and lose what it holds).
bool IsWritableProfile(PCWSTR file)
{
    DWORD attributes = GetFileAttributesW(file);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    return !(attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsUtf16WithoutBom(file);
}

}  // namespace

bool IsDriveRoot(PCWSTR rootPath)
{
    return rootPath && IsAsciiLetter(rootPath[0]) && rootPath[1] == L':' && rootPath[2] == L'\\' &&
           rootPath[3] == L'\0';
}

bool FormatIconLocation(PCWSTR path, int index, PWSTR location, size_t capacity)
{
    HRESULT hr = index == 0 ? StringCchCopyW(location, capacity, path)
                            : StringCchPrintfW(location, capacity, L"%s,%u", path, static_cast<unsigned>(index));
    if (FAILED(hr)) {
        location[0] = L'\0';
        return false;
    }
    return true;
}

bool SplitIconLocation(PCWSTR location, PWSTR path, size_t capacity, int* index)
{
    *index = 0;
    path[0] = L'\0';
    PCWSTR comma = wcsrchr(location, L',');
    size_t pathLength = comma ? static_cast<size_t>(comma - location) : wcslen(location);
    if (pathLength >= capacity)
        return false;
    if (FAILED(StringCchCopyNW(path, capacity, location, pathLength))) {
        path[0] = L'\0';
        return false;
    }
    if (comma)
        *index = ParseIconIndex(comma + 1);
    return true;
}

void ReadDriveSettings(PCWSTR rootPath, DriveSettings* settings)
{
    settings->label[0] = L'\0';
    settings->labelFound = false;
    settings->labelWhole = true;  // no label is an empty one
    settings->iconFile[0] = L'\0';
    settings->iconIndex = 0;
    settings->iconFound = false;
    settings->iconWhole = false;

    WCHAR keyName[MAX_PATH];
    if (!GetLetterKeyName(rootPath, keyName, ARRAYSIZE(keyName)))
        return;
    AutoRegKey letterKey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ | kView, letterKey.Receive()) != ERROR_SUCCESS)
        return;

    StoredText label = QueryDefaultText(letterKey.Get(), kLabelSubkey, settings->label, ARRAYSIZE(settings->label));
    settings->labelFound = label.found;
    settings->labelWhole = label.whole || !label.found;

    // Sized for the longest location WriteDriveSettings produces, so that a
    // long path with a large index is not taken for a missing icon. A
    // location cut to fit would name another file: it is not shown.
    WCHAR location[kIconLocationCapacity];
    StoredText icon = QueryDefaultText(letterKey.Get(), kIconSubkey, location, ARRAYSIZE(location));
    // A subkey holding nothing is no icon.
    settings->iconFound = icon.bytes > 0;
    if (!settings->iconFound || !icon.fits)
        return;
    bool split = SplitIconLocation(location, settings->iconFile, ARRAYSIZE(settings->iconFile), &settings->iconIndex);
    settings->iconWhole = icon.whole && split;
}

bool CanWriteDriveSettings(PCWSTR rootPath)
{
    WCHAR keyName[MAX_PATH];
    if (!GetLetterKeyName(rootPath, keyName, ARRAYSIZE(keyName)))
        return false;
    AutoRegKey key;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, KEY_SET_VALUE | KEY_CREATE_SUB_KEY | DELETE | kView,
                                key.Receive());
    if (status == ERROR_SUCCESS) {
        // Each subkey is rewritten or deleted at the apply.
        const PCWSTR subkeys[] = {kLabelSubkey, kIconSubkey};
        for (PCWSTR subkey : subkeys) {
            AutoRegKey child;
            LONG opened = RegOpenKeyExW(key.Get(), subkey, 0, KEY_SET_VALUE | DELETE | kView, child.Receive());
            if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND)
                return false;
        }
        return true;
    }
    // No letter key yet: the nearest key above it is to take the new one.
    while (status == ERROR_FILE_NOT_FOUND) {
        PWSTR slash = wcsrchr(keyName, L'\\');
        if (!slash)
            return false;
        *slash = L'\0';
        status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, KEY_CREATE_SUB_KEY | kView, key.Receive());
    }
    return status == ERROR_SUCCESS;
}

void WriteDriveSettings(PCWSTR rootPath, PCWSTR label, PCWSTR iconFile, int iconIndex, bool iconPresent)
{
    WCHAR keyName[MAX_PATH];
    if (!GetLetterKeyName(rootPath, keyName, ARRAYSIZE(keyName)) || (!label && !iconFile))
        return;
    {
        AutoRegKey letterKey;
        // Fails without the right to write the machine's keys: the drive
        // letter keeps what it had, and the shell has nothing to re-read.
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, nullptr, 0, KEY_READ | KEY_WRITE | kView, nullptr,
                            letterKey.Receive(), nullptr) != ERROR_SUCCESS)
            return;

        if (label && label[0] != L'\0')
            SetDefaultString(letterKey.Get(), kLabelSubkey, label);
        else if (label)
            RegDeleteKeyExW(letterKey.Get(), kLabelSubkey, kView, 0);

        if (iconFile && iconPresent) {
            WCHAR location[kIconLocationCapacity];
            if (FormatIconLocation(iconFile, iconIndex, location, ARRAYSIZE(location)))
                SetDefaultString(letterKey.Get(), kIconSubkey, location);
        } else if (iconFile) {
            RegDeleteKeyExW(letterKey.Get(), kIconSubkey, kView, 0);
        }
    }
    // Fails, and keeps the key, while it holds subkeys of other programs.
    if (label && label[0] == L'\0' && iconFile && !iconPresent)
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, keyName, kView, 0);

    SHChangeNotify(SHCNE_DRIVEADD, SHCNF_PATHW | SHCNF_FLUSH, rootPath, nullptr);
}

void ReadDiskSettings(PCWSTR rootPath, DiskSettings* settings)
{
    settings->label[0] = L'\0';
    settings->labelWhole = true;
    settings->iconFile[0] = L'\0';
    settings->iconIndex = 0;
    settings->iconFound = false;
    settings->iconWhole = false;
    settings->writable = false;
    WCHAR file[MAX_PATH];
    if (!GetAutoRunPath(rootPath, file, ARRAYSIZE(file)))
        return;
    StringCchCopyW(settings->iconFile, ARRAYSIZE(settings->iconFile), rootPath);
    settings->writable = IsWritableProfile(file);
    if (!settings->writable)
        return;

    // One character more than a label may have: a value that fills it was
    // cut. It is shown cut, and kept as stored unless the person edits it.
    WCHAR label[MAX_PATH + 1];
    DWORD length = GetPrivateProfileStringW(kAutoRunSection, kLabelKey, L"", label, ARRAYSIZE(label), file);
    settings->labelWhole = length < MAX_PATH;
    StringCchCopyNW(settings->label, ARRAYSIZE(settings->label), label, MAX_PATH - 1);

    // One character more than any location the write produces: a value that
    // fills it was cut, and a cut location is no location.
    WCHAR location[kIconLocationCapacity + 1];
    length = GetPrivateProfileStringW(kAutoRunSection, kIconKey, L"", location, ARRAYSIZE(location), file);
    settings->iconFound = length > 0;
    WCHAR path[MAX_PATH] = L"";
    int index = 0;
    if (length == 0 || length >= kIconLocationCapacity || !SplitIconLocation(location, path, ARRAYSIZE(path), &index) ||
        path[0] == L'\0')
        return;

    // Working form. A relative path too long to join is not whole either.
    HRESULT hr = IsRootRelative(path)
                     ? StringCchPrintfW(settings->iconFile, ARRAYSIZE(settings->iconFile), L"%s%s", rootPath, path)
                     : StringCchCopyW(settings->iconFile, ARRAYSIZE(settings->iconFile), path);
    if (FAILED(hr)) {
        StringCchCopyW(settings->iconFile, ARRAYSIZE(settings->iconFile), rootPath);
        return;
    }
    settings->iconIndex = index;
    settings->iconWhole = true;
}

bool CanWriteDiskSettings(PCWSTR rootPath)
{
    WCHAR file[MAX_PATH];
    return GetAutoRunPath(rootPath, file, ARRAYSIZE(file)) && IsWritableProfile(file);
}

void WriteDiskSettings(PCWSTR rootPath, PCWSTR label, PWSTR iconFile, int iconIndex, bool iconPresent)
{
    WCHAR file[MAX_PATH];
    if (!GetAutoRunPath(rootPath, file, ARRAYSIZE(file)) || (!label && !iconFile))
        return;
    // A directory in the file's place gets no attributes, and a file the
    // profile functions would rewrite as ANSI is left as it is.
    if (!IsWritableProfile(file))
        return;

    DWORD attributes = GetFileAttributesW(file);
    DWORD finalAttributes = FILE_ATTRIBUTE_NORMAL;
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        finalAttributes = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        if (attributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(file, finalAttributes);
    }

    WCHAR location[kIconLocationCapacity] = L"";
    bool iconFits = false;
    if (iconFile) {
        // Stored form: an icon on the disk itself is kept relative to its
        // root, so that it travels with the disk. The root is the folder
        // "X:" as the folder store contracts paths below a folder.
        const WCHAR drive[] = {rootPath[0], rootPath[1], L'\0'};
        WCHAR stored[MAX_PATH];
        ContractIconFile(drive, iconFile, stored);
        StringCchCopyW(iconFile, MAX_PATH, stored);
        iconFits = iconPresent && FormatIconLocation(iconFile, iconIndex, location, ARRAYSIZE(location));
    }

    // A new file made by the profile functions would be ANSI, and a label
    // outside the code page would not survive.
    if ((label && label[0] != L'\0') || (iconFile && iconPresent))
        PrepareUnicodeProfile(file);

    if (label)
        WritePrivateProfileStringW(kAutoRunSection, kLabelKey, label[0] != L'\0' ? label : nullptr, file);
    if (iconFile && !iconPresent)
        WritePrivateProfileStringW(kAutoRunSection, kIconKey, nullptr, file);
    else if (iconFits)
        WritePrivateProfileStringW(kAutoRunSection, kIconKey, location, file);

    SetFileAttributesW(file, finalAttributes | FILE_ATTRIBUTE_HIDDEN);
}

bool ResolveDiskIconPath(PCWSTR rootPath, PCWSTR iconFile, PWSTR resolved)
{
    resolved[0] = L'\0';
    WCHAR joined[MAX_PATH];
    HRESULT hr = IsRootRelative(iconFile) && IsDriveRoot(rootPath)
                     ? StringCchPrintfW(joined, ARRAYSIZE(joined), L"%s%s", rootPath, iconFile)
                     : StringCchCopyW(joined, ARRAYSIZE(joined), iconFile);
    if (FAILED(hr))
        return false;
    DWORD needed = ExpandEnvironmentStringsW(joined, resolved, MAX_PATH);
    if (needed == 0 || needed > MAX_PATH) {
        resolved[0] = L'\0';
        return false;
    }
    return true;
}
