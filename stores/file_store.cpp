#include "file_store.h"

#include <strsafe.h>

#include "desktop_ini.h"
#include "profile.h"

namespace {

const WCHAR kSettingsFileName[] = L"Desktop.ini";
const WCHAR kLabelSection[] = L"LocalizedFileNames";

// The file name part of a path: what follows its last backslash; null when
// there is no backslash.
PCWSTR FindFileName(PCWSTR filePath)
{
    if (!filePath)
        return nullptr;
    PCWSTR slash = wcsrchr(filePath, L'\\');
    return slash ? slash + 1 : nullptr;
}

// Where the file's own entries are kept: its settings file and its name,
// which names its section and its label's key. False when the file can have
// none.
bool FindEntries(PCWSTR filePath, PWSTR settingsPath, PCWSTR* name)
{
    *name = CanHoldFileEntries(filePath) ? FindFileName(filePath) : nullptr;
    return *name && GetFileSettingsPath(filePath, settingsPath);
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
    PCWSTR name = nullptr;
    if (!FindEntries(filePath, settingsPath, &name)) {
        StringCchCopyW(buffer, capacity, defaultValue);
        return;
    }
    GetPrivateProfileStringW(name, key, defaultValue, buffer, capacity, settingsPath);
}

void WriteFileSetting(PCWSTR filePath, PCWSTR key, PCWSTR value)
{
    WCHAR settingsPath[MAX_PATH];
    PCWSTR name = nullptr;
    if (FindEntries(filePath, settingsPath, &name) && !WouldCutStoredValue(settingsPath, name, key, value))
        WriteProfileValue(settingsPath, name, key, value);
}

void ReadFileLabel(PCWSTR filePath, PWSTR buffer)
{
    WCHAR settingsPath[MAX_PATH];
    PCWSTR name = nullptr;
    if (!FindEntries(filePath, settingsPath, &name)) {
        buffer[0] = L'\0';
        return;
    }
    GetPrivateProfileStringW(kLabelSection, name, L"", buffer, MAX_PATH, settingsPath);
}

void WriteFileLabel(PCWSTR filePath, PCWSTR value)
{
    WCHAR settingsPath[MAX_PATH];
    PCWSTR name = nullptr;
    if (FindEntries(filePath, settingsPath, &name) && !WouldCutStoredValue(settingsPath, kLabelSection, name, value))
        WriteProfileValue(settingsPath, kLabelSection, name, value);
}

bool ReadFileIconForPage(PCWSTR filePath, PWSTR iconFile, int* iconIndex)
{
    WCHAR settingsPath[MAX_PATH];
    PCWSTR name = nullptr;
    if (!FindEntries(filePath, settingsPath, &name)) {
        iconFile[0] = L'\0';
        *iconIndex = 0;
        return true;
    }
    return ReadIconEntries(settingsPath, name, iconFile, iconIndex);
}

FileIconResult ReadFileIconForHandler(PCWSTR filePath, PWSTR location, int* iconIndex)
{
    WCHAR iconFile[MAX_PATH];
    int index = 0;
    bool whole = ReadFileIconForPage(filePath, iconFile, &index);
    if (iconFile[0] == L'\0')
        return NoCustomIcon;
    // A cut location or index would name another icon.
    if (!whole) {
        location[0] = L'\0';
        return TooLong;
    }

    WCHAR folderPath[MAX_PATH];
    if (!GetFileFolderPath(filePath, folderPath))
        return NoCustomIcon;
    // A joined path that does not fit MAX_PATH is longer than any caller's
    // buffer; it is never cut into the name of another file.
    if (!ExpandIconFile(folderPath, iconFile, location)) {
        location[0] = L'\0';
        return TooLong;
    }
    *iconIndex = index;
    return CustomIcon;
}

void WriteFileIcon(PCWSTR filePath, PCWSTR iconFile, int iconIndex, bool changed)
{
    WCHAR settingsPath[MAX_PATH];
    PCWSTR name = nullptr;
    if (!FindEntries(filePath, settingsPath, &name))
        return;
    if (!changed) {
        // Entries the page could not read whole are not written back cut.
        WCHAR stored[MAX_PATH];
        int storedIndex = 0;
        if (!ReadIconEntries(settingsPath, name, stored, &storedIndex))
            return;
    }
    WriteIconEntries(settingsPath, name, iconFile, iconIndex);
}

void EndFileSettingsUpdate(PCWSTR settingsPath, DWORD savedAttributes)
{
    MarkDesktopIni(settingsPath, savedAttributes);
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
