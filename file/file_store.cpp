#include "file_store.h"

#include <strsafe.h>

#include "desktop_ini.h"
#include "profile.h"

namespace {

const WCHAR kSettingsFileName[] = L"Desktop.ini";
const WCHAR kLabelSection[] = L"LocalizedFileNames";
const WCHAR kFolderSection[] = L".ShellClassInfo";
const DWORD kIndexTextCapacity = 256;

// The file name part of a path: what follows its last backslash; null when
// there is no backslash.
PCWSTR FindFileName(PCWSTR filePath)
{
    if (!filePath)
        return nullptr;
    PCWSTR slash = wcsrchr(filePath, L'\\');
    return slash ? slash + 1 : nullptr;
}

bool IsProfileSpace(WCHAR c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

// The file's name when per-file entries can be kept for it, else null.
PCWSTR EntryName(PCWSTR filePath)
{
    return CanHoldFileEntries(filePath) ? FindFileName(filePath) : nullptr;
}

}  // namespace

bool GetFileSettingsPath(PCWSTR filePath, PWSTR settingsPath)
{
    settingsPath[0] = L'\0';
    PCWSTR name = FindFileName(filePath);
    if (!name)
        return false;
    size_t folderChars = static_cast<size_t>(name - filePath);  // backslash included
    if (FAILED(StringCchCopyNW(settingsPath, MAX_PATH, filePath, folderChars)) ||
        FAILED(StringCchCatW(settingsPath, MAX_PATH, kSettingsFileName))) {
        settingsPath[0] = L'\0';
        return false;
    }
    return true;
}

bool GetFileSectionName(PCWSTR filePath, PWSTR sectionName)
{
    sectionName[0] = L'\0';
    PCWSTR name = FindFileName(filePath);
    if (!name || FAILED(StringCchCopyW(sectionName, MAX_PATH, name))) {
        sectionName[0] = L'\0';
        return false;
    }
    return true;
}

bool GetFileFolderPath(PCWSTR filePath, PWSTR folderPath)
{
    folderPath[0] = L'\0';
    PCWSTR name = FindFileName(filePath);
    if (!name || FAILED(StringCchCopyNW(folderPath, MAX_PATH, filePath, static_cast<size_t>(name - filePath - 1)))) {
        folderPath[0] = L'\0';
        return false;
    }
    return true;
}

bool CanHoldFileEntries(PCWSTR filePath)
{
    PCWSTR name = FindFileName(filePath);
    if (!name || name[0] == L'\0')
        return false;
    size_t length = 0;
    if (FAILED(StringCchLengthW(name, MAX_PATH, &length)))
        return false;
    // The format trims white space around section names and keys, reads a
    // key's name up to its first "=" and a section's up to its "]", and takes
    // a line that begins with "[" for a section.
    if (IsProfileSpace(name[0]) || IsProfileSpace(name[length - 1]) || name[0] == L'[')
        return false;
    if (wcschr(name, L'=') || wcschr(name, L']'))
        return false;
    // A file named after a section of the same file would write into it.
    return lstrcmpiW(name, kLabelSection) != 0 && lstrcmpiW(name, kFolderSection) != 0;
}

void ReadFileSetting(PCWSTR filePath, PCWSTR key, PCWSTR defaultValue, PWSTR buffer, DWORD capacity)
{
    WCHAR settingsPath[MAX_PATH];
    PCWSTR section = EntryName(filePath);
    if (!section || !GetFileSettingsPath(filePath, settingsPath)) {
        StringCchCopyW(buffer, capacity, defaultValue);
        return;
    }
    GetPrivateProfileStringW(section, key, defaultValue, buffer, capacity, settingsPath);
}

void WriteFileSetting(PCWSTR filePath, PCWSTR key, PCWSTR value)
{
    WCHAR settingsPath[MAX_PATH];
    PCWSTR section = EntryName(filePath);
    if (!section || !GetFileSettingsPath(filePath, settingsPath))
        return;
    bool deleting = !value || value[0] == L'\0';
    if (!deleting)
        PrepareUnicodeProfile(settingsPath);
    WritePrivateProfileStringW(section, key, deleting ? nullptr : value, settingsPath);
}

void ReadFileLabel(PCWSTR filePath, PWSTR buffer)
{
    WCHAR settingsPath[MAX_PATH];
    PCWSTR name = EntryName(filePath);
    if (!name || !GetFileSettingsPath(filePath, settingsPath)) {
        buffer[0] = L'\0';
        return;
    }
    GetPrivateProfileStringW(kLabelSection, name, L"", buffer, MAX_PATH, settingsPath);
}

void WriteFileLabel(PCWSTR filePath, PCWSTR value)
{
    WCHAR settingsPath[MAX_PATH];
    PCWSTR name = EntryName(filePath);
    if (!name || !GetFileSettingsPath(filePath, settingsPath))
        return;
    bool deleting = !value || value[0] == L'\0';
    if (!deleting)
        PrepareUnicodeProfile(settingsPath);
    WritePrivateProfileStringW(kLabelSection, name, deleting ? nullptr : value, settingsPath);
}

void ReadFileIconForPage(PCWSTR filePath, PWSTR iconFile, int* iconIndex)
{
    *iconIndex = 0;
    iconFile[0] = L'\0';
    ReadFileSetting(filePath, L"IconFile", L"", iconFile, MAX_PATH);
    WCHAR indexText[kIndexTextCapacity];
    ReadFileSetting(filePath, L"IconIndex", L"0", indexText, ARRAYSIZE(indexText));
    if (iconFile[0] != L'\0')
        *iconIndex = ParseIconIndex(indexText);
}

FileIconResult ReadFileIconForHandler(PCWSTR filePath, PWSTR location, int* iconIndex)
{
    WCHAR iconFile[MAX_PATH];
    WCHAR indexText[kIndexTextCapacity];
    ReadFileSetting(filePath, L"IconFile", L"", iconFile, ARRAYSIZE(iconFile));
    ReadFileSetting(filePath, L"IconIndex", L"0", indexText, ARRAYSIZE(indexText));
    if (iconFile[0] == L'\0')
        return NoCustomIcon;

    WCHAR folderPath[MAX_PATH];
    if (!GetFileFolderPath(filePath, folderPath))
        return NoCustomIcon;
    // A joined path that does not fit MAX_PATH is longer than any caller's
    // buffer; it is never cut into the name of another file.
    if (!ExpandIconFile(folderPath, iconFile, location)) {
        location[0] = L'\0';
        return TooLong;
    }
    *iconIndex = ParseIconIndex(indexText);
    return CustomIcon;
}

void WriteFileIcon(PCWSTR filePath, PCWSTR iconFile, int iconIndex)
{
    if (iconFile[0] != L'\0') {
        WCHAR indexText[kIndexTextCapacity];
        FormatIconIndex(iconIndex, indexText, ARRAYSIZE(indexText));
        WriteFileSetting(filePath, L"IconFile", iconFile);
        WriteFileSetting(filePath, L"IconIndex", indexText);
    } else {
        WriteFileSetting(filePath, L"IconFile", nullptr);
        WriteFileSetting(filePath, L"IconIndex", nullptr);
    }
}

void EndFileSettingsUpdate(PCWSTR settingsPath, DWORD savedAttributes)
{
    SetFileAttributesW(settingsPath, savedAttributes | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

bool IsFullFilePath(PCWSTR filePath)
{
    if (!filePath)
        return false;
    bool drivePath = ((filePath[0] >= L'A' && filePath[0] <= L'Z') || (filePath[0] >= L'a' && filePath[0] <= L'z')) &&
                     filePath[1] == L':' && filePath[2] == L'\\';
    bool uncPath = filePath[0] == L'\\' && filePath[1] == L'\\';
    return (drivePath || uncPath) && FindFileName(filePath)[0] != L'\0';
}
