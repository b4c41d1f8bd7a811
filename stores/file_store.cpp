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
void ReadHandlerIconEntries(PCWSTR settingsPath, PCWSTR section, IconEntries* icon)
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
    WCHAR settingsPath[MAX_PATH];
    PCWSTR section = nullptr;
    WCHAR folderPath[MAX_PATH];
    if (!FindEntries(filePath, settingsPath, &section) || !GetFileFolderPath(filePath, folderPath))
        return NoCustomIcon;

    IconEntries icon;
    ReadHandlerIconEntries(settingsPath, section, &icon);
    if (icon.iconFile[0] == L'\0')
        return NoCustomIcon;
    // A location cut by the read, or too long once joined, would name
    // another file.
    if (wcsnlen(icon.iconFile, ARRAYSIZE(icon.iconFile)) >= MAX_PATH ||
        !ExpandIconFile(folderPath, icon.iconFile, location)) {
        location[0] = L'\0';
        return TooLong;
    }
    *iconIndex = ParseIconIndex(icon.indexText);
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
