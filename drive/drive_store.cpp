#include "drive_store.h"

#include <shlobj.h>
#include <strsafe.h>

#include "desktop_ini.h"
#include "handle.h"
#include "profile.h"

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

// The default value of a subkey as text. Values longer than `capacity` - 1
// characters are not taken (a cut location would name another file); the
// value is terminated even when the registry holds it without a terminator.
// Returns the byte count RegQueryValueW reported, or -1 when nothing was read.
LONG QueryDefaultString(HKEY key, PCWSTR subkey, PWSTR buffer, size_t capacity)
{
    buffer[0] = L'\0';
    WCHAR value[kIconLocationCapacity + 1] = L"";
    if (capacity > kIconLocationCapacity)
        return -1;
    LONG bytes = static_cast<LONG>(capacity * sizeof(WCHAR));
    if (RegQueryValueW(key, subkey, value, &bytes) != ERROR_SUCCESS)
        return -1;
    size_t chars = static_cast<size_t>(bytes) / sizeof(WCHAR);
    if (chars > capacity)
        return -1;
    value[chars] = L'\0';
    if (FAILED(StringCchCopyW(buffer, capacity, value))) {
        buffer[0] = L'\0';
        return -1;
    }
    return bytes;
}

void SetDefaultString(HKEY key, PCWSTR subkey, PCWSTR value)
{
    size_t length = 0;
    StringCchLengthW(value, STRSAFE_MAX_CCH, &length);
    RegSetValueW(key, subkey, REG_SZ, value, static_cast<DWORD>((length + 1) * sizeof(WCHAR)));
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
    settings->iconFile[0] = L'\0';
    settings->iconIndex = 0;
    settings->iconFound = false;

    WCHAR keyName[MAX_PATH];
    if (!GetLetterKeyName(rootPath, keyName, ARRAYSIZE(keyName)))
        return;
    AutoRegKey letterKey;
    if (RegOpenKeyW(HKEY_LOCAL_MACHINE, keyName, letterKey.Receive()) != ERROR_SUCCESS)
        return;

    settings->labelFound =
        QueryDefaultString(letterKey.Get(), kLabelSubkey, settings->label, ARRAYSIZE(settings->label)) >= 0;

    // Sized for the longest location WriteDriveSettings produces, so that a
    // long path with a large index is not taken for a missing icon.
    WCHAR location[kIconLocationCapacity];
    if (QueryDefaultString(letterKey.Get(), kIconSubkey, location, ARRAYSIZE(location)) > 0) {
        settings->iconFound = SplitIconLocation(location, settings->iconFile, ARRAYSIZE(settings->iconFile),
                                                &settings->iconIndex);
    }
}

void WriteDriveSettings(PCWSTR rootPath, PCWSTR label, PCWSTR iconFile, int iconIndex, bool iconPresent)
{
    WCHAR keyName[MAX_PATH];
    if (!GetLetterKeyName(rootPath, keyName, ARRAYSIZE(keyName)))
        return;
    {
        AutoRegKey letterKey;
        // Fails without the right to write the machine's keys: the drive
        // letter keeps what it had, and the shell has nothing to re-read.
        if (RegCreateKeyW(HKEY_LOCAL_MACHINE, keyName, letterKey.Receive()) != ERROR_SUCCESS)
            return;

        if (label[0] != L'\0')
            SetDefaultString(letterKey.Get(), kLabelSubkey, label);
        else
            RegDeleteKeyW(letterKey.Get(), kLabelSubkey);

        if (iconPresent) {
            WCHAR location[kIconLocationCapacity];
            if (FormatIconLocation(iconFile, iconIndex, location, ARRAYSIZE(location)))
                SetDefaultString(letterKey.Get(), kIconSubkey, location);
        } else {
            RegDeleteKeyW(letterKey.Get(), kIconSubkey);
        }
    }
    // Fails, and keeps the key, while it holds subkeys of other programs.
    if (label[0] == L'\0' && !iconPresent)
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyName);

    SHChangeNotify(SHCNE_DRIVEADD, SHCNF_PATHW | SHCNF_FLUSH, rootPath, nullptr);
}

void ReadDiskSettings(PCWSTR rootPath, PWSTR label, PWSTR iconFile, int* iconIndex)
{
    label[0] = L'\0';
    iconFile[0] = L'\0';
    *iconIndex = 0;
    WCHAR file[MAX_PATH];
    if (!GetAutoRunPath(rootPath, file, ARRAYSIZE(file)))
        return;

    GetPrivateProfileStringW(kAutoRunSection, kLabelKey, L"", label, MAX_PATH, file);

    // One character more than any location the write produces: a value that
    // fills it was cut, and a cut location is no location.
    WCHAR location[kIconLocationCapacity + 1];
    DWORD length = GetPrivateProfileStringW(kAutoRunSection, kIconKey, L"", location, ARRAYSIZE(location), file);
    WCHAR path[MAX_PATH] = L"";
    if (length >= kIconLocationCapacity || !SplitIconLocation(location, path, ARRAYSIZE(path), iconIndex))
        *iconIndex = 0;

    // Working form. A relative path too long to join gives the root path
    // itself, like an empty value: no icon.
    if (!IsRootRelative(path))
        StringCchCopyW(iconFile, MAX_PATH, path);
    else if (FAILED(StringCchPrintfW(iconFile, MAX_PATH, L"%s%s", rootPath, path)))
        StringCchCopyW(iconFile, MAX_PATH, rootPath);
}

void WriteDiskSettings(PCWSTR rootPath, PCWSTR label, PWSTR iconFile, int iconIndex, bool iconPresent)
{
    WCHAR file[MAX_PATH];
    if (!GetAutoRunPath(rootPath, file, ARRAYSIZE(file)))
        return;

    DWORD attributes = GetFileAttributesW(file);
    DWORD finalAttributes = FILE_ATTRIBUTE_NORMAL;
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        finalAttributes = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        if (attributes & FILE_ATTRIBUTE_READONLY)
            SetFileAttributesW(file, finalAttributes);
    }

    // Stored form: an icon on the disk itself is kept relative to its root,
    // so that it travels with the disk. The root is the folder "X:" as the
    // folder store contracts paths below a folder.
    const WCHAR drive[] = {rootPath[0], rootPath[1], L'\0'};
    WCHAR stored[MAX_PATH];
    ContractIconFile(drive, iconFile, stored);
    StringCchCopyW(iconFile, MAX_PATH, stored);

    WCHAR location[kIconLocationCapacity] = L"";
    bool iconFits = iconPresent && FormatIconLocation(iconFile, iconIndex, location, ARRAYSIZE(location));

    // A new file made by the profile functions would be ANSI, and a label
    // outside the code page would not survive.
    if (label[0] != L'\0' || iconPresent)
        PrepareUnicodeProfile(file);

    WritePrivateProfileStringW(kAutoRunSection, kLabelKey, label[0] != L'\0' ? label : nullptr, file);
    if (!iconPresent)
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
