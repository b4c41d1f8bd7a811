#include "desktop_ini.h"

#include <shlobj.h>
#include <strsafe.h>

#include "handle.h"
#include "profile.h"

namespace {

const WCHAR kIconFile[] = L"IconFile";
const WCHAR kIconIndex[] = L"IconIndex";
const WCHAR kIconResource[] = L"IconResource";

// Capacity of an "IconResource" as read: a MAX_PATH path, the comma and any
// 32-bit index in signed decimal fit.
const DWORD kIconResourceCapacity = MAX_PATH + 16;

bool IsEmpty(PCWSTR text)
{
    return !text || !text[0];
}

WCHAR FoldAsciiCase(WCHAR c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<WCHAR>(c - L'A' + L'a') : c;
}

// The index after the last comma of an "IconResource": white space, an
// optional sign, decimal digits of at most 32 bits, white space, nothing
// else.
bool ParseResourceIndex(PCWSTR text, int* index)
{
    const WCHAR* p = text;
    while (IsProfileSpace(*p))
        ++p;
    const WCHAR* number = p;
    if (*p == L'+' || *p == L'-')
        ++p;
    const WCHAR* digits = p;
    unsigned long long magnitude = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        magnitude = magnitude * 10 + static_cast<unsigned>(*p - L'0');
        if (magnitude > 0xFFFFFFFFull)
            return false;
    }
    if (p == digits)
        return false;
    while (IsProfileSpace(*p))
        ++p;
    if (*p)
        return false;
    *index = ParseIconIndex(number);
    return true;
}

void WriteIconResource(PCWSTR settingsPath, PCWSTR storedFile, int iconIndex)
{
    if (IsEmpty(storedFile)) {
        WriteProfileValue(settingsPath, kFolderSection, kIconResource, nullptr);
        return;
    }
    WCHAR value[kIconResourceCapacity];
    if (FormatIconResource(storedFile, iconIndex, value, ARRAYSIZE(value)))
        WriteProfileValue(settingsPath, kFolderSection, kIconResource, value);
}

}  // namespace

bool GetDesktopIniPath(PCWSTR folderPath, PWSTR settingsPath)
{
    // A cut path would name another file, whose settings the page would
    // then read and write: no settings path at all instead.
    if (FAILED(StringCchCopyW(settingsPath, MAX_PATH, folderPath)) ||
        FAILED(StringCchCatW(settingsPath, MAX_PATH, L"\\Desktop.ini"))) {
        settingsPath[0] = L'\0';
        return false;
    }
    return true;
}

bool ReadFolderSetting(PCWSTR settingsPath, PCWSTR key, PCWSTR defaultValue, PWSTR buffer, DWORD capacity)
{
    if (capacity == 0)
        return false;
    if (IsEmpty(settingsPath)) {
        // No settings file (its path did not fit): the profile functions
        // would look for a file of that name in the Windows folder.
        return SUCCEEDED(StringCchCopyW(buffer, capacity, defaultValue));
    }
    return ReadProfileValue(settingsPath, kFolderSection, key, defaultValue, buffer, capacity);
}

bool WouldCutStoredValue(PCWSTR settingsPath, PCWSTR section, PCWSTR key, PCWSTR value)
{
    // Emptying a value is a change the person made.
    if (IsEmpty(settingsPath) || IsEmpty(value))
        return false;
    WCHAR stored[MAX_PATH];
    if (ReadProfileValue(settingsPath, section, key, L"", stored, ARRAYSIZE(stored)))
        return false;
    return wcscmp(stored, value) == 0;
}

void WriteFolderSetting(PCWSTR settingsPath, PCWSTR key, PCWSTR value)
{
    if (!IsEmpty(settingsPath) && !WouldCutStoredValue(settingsPath, kFolderSection, key, value))
        WriteProfileValue(settingsPath, kFolderSection, key, value);
}

bool ExpandIconFile(PCWSTR folderPath, PCWSTR storedValue, PWSTR workingPath)
{
    // "C:\..." and "%SystemRoot%\..." stand for themselves; the variable is
    // left for whoever opens the file to expand.
    size_t length = 0;
    StringCchLengthW(storedValue, MAX_PATH, &length);
    if ((length >= 3 && storedValue[2] == L'\\') || storedValue[0] == L'%') {
        StringCchCopyW(workingPath, MAX_PATH, storedValue);
        return true;
    }

    WCHAR joined[MAX_PATH];
    if (SUCCEEDED(StringCchCopyW(joined, ARRAYSIZE(joined), folderPath)) &&
        SUCCEEDED(StringCchCatW(joined, ARRAYSIZE(joined), L"\\")) &&
        SUCCEEDED(StringCchCatW(joined, ARRAYSIZE(joined), storedValue))) {
        StringCchCopyW(workingPath, MAX_PATH, joined);
        return true;
    }
    // Too long to join: keep the stored form, which an apply contracts to
    // itself and so writes back unchanged, instead of losing the icon.
    StringCchCopyW(workingPath, MAX_PATH, storedValue);
    return false;
}

void ContractIconFile(PCWSTR folderPath, PCWSTR workingPath, PWSTR storedValue)
{
    size_t folderLength = 0;
    StringCchLengthW(folderPath, MAX_PATH, &folderLength);
    if (folderLength > 0) {
        size_t i = 0;
        // Only A-Z and a-z are taken as equal; the terminator of a shorter
        // working path ends the match.
        while (i < folderLength && FoldAsciiCase(workingPath[i]) == FoldAsciiCase(folderPath[i]))
            ++i;
        if (i == folderLength && workingPath[i] == L'\\') {
            StringCchCopyW(storedValue, MAX_PATH, workingPath + folderLength + 1);
            return;
        }
    }
    StringCchCopyW(storedValue, MAX_PATH, workingPath);
}

int ParseIconIndex(PCWSTR text)
{
    const WCHAR* p = text;
    while (IsProfileSpace(*p))
        ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = (*p == L'-');
        ++p;
    }
    unsigned long long magnitude = 0;
    bool overflow = false;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        magnitude = magnitude * 10 + static_cast<unsigned>(*p - L'0');
        if (magnitude > 0xFFFFFFFFull) {
            overflow = true;
            magnitude = 0xFFFFFFFFull;  // keeps the product above in range
        }
    }
    // An index out of 32-bit range reads as 4294967295 whatever its sign.
    UINT32 bits = overflow ? 0xFFFFFFFFu : static_cast<UINT32>(magnitude);
    if (negative && !overflow)
        bits = 0u - bits;
    return static_cast<int>(bits);
}

void FormatIconIndex(int index, PWSTR buffer, size_t capacity)
{
    StringCchPrintfW(buffer, capacity, L"%u", static_cast<unsigned>(index));
}

bool ReadIconEntries(PCWSTR settingsPath, PCWSTR section, PWSTR iconFile, int* iconIndex)
{
    bool fileWhole = ReadProfileValue(settingsPath, section, kIconFile, L"", iconFile, MAX_PATH);
    WCHAR indexText[kIconIndexTextCapacity];
    bool indexWhole = ReadProfileValue(settingsPath, section, kIconIndex, L"0", indexText, ARRAYSIZE(indexText));
    *iconIndex = iconFile[0] ? ParseIconIndex(indexText) : 0;
    // Without an icon file the index is not used, and is deleted whatever
    // its length.
    return fileWhole && (indexWhole || !iconFile[0]);
}

void WriteIconEntries(PCWSTR settingsPath, PCWSTR section, PCWSTR iconFile, int iconIndex)
{
    if (IsEmpty(iconFile)) {
        WriteProfileValue(settingsPath, section, kIconFile, nullptr);
        WriteProfileValue(settingsPath, section, kIconIndex, nullptr);
        return;
    }
    WCHAR indexText[16];
    FormatIconIndex(iconIndex, indexText, ARRAYSIZE(indexText));
    WriteProfileValue(settingsPath, section, kIconFile, iconFile);
    WriteProfileValue(settingsPath, section, kIconIndex, indexText);
}

IconResourceState ReadIconResource(PCWSTR settingsPath, PCWSTR folderPath, PWSTR workingPath, int* iconIndex)
{
    workingPath[0] = L'\0';
    *iconIndex = 0;
    if (IsEmpty(settingsPath))
        return IconResourceAbsent;
    WCHAR value[kIconResourceCapacity];
    bool whole = ReadProfileValue(settingsPath, kFolderSection, kIconResource, L"", value, ARRAYSIZE(value));
    if (!value[0])
        return IconResourceAbsent;
    if (!whole)
        return IconResourceKept;

    int index = 0;
    PWSTR comma = wcsrchr(value, L',');
    if (comma) {
        if (!ParseResourceIndex(comma + 1, &index))
            return IconResourceKept;
        *comma = L'\0';
    }
    size_t length = wcslen(value);
    while (length > 0 && IsProfileSpace(value[length - 1]))
        value[--length] = L'\0';
    if (length == 0 || length >= MAX_PATH)
        return IconResourceKept;
    WCHAR working[MAX_PATH];
    if (!ExpandIconFile(folderPath, value, working))
        return IconResourceKept;
    StringCchCopyW(workingPath, MAX_PATH, working);
    *iconIndex = index;
    return IconResourceParsed;
}

bool FormatIconResource(PCWSTR storedFile, int iconIndex, PWSTR buffer, size_t capacity)
{
    if (SUCCEEDED(StringCchPrintfW(buffer, capacity, L"%s,%d", storedFile, iconIndex)))
        return true;
    if (capacity > 0)
        buffer[0] = L'\0';
    return false;
}

bool ReadFolderIcon(PCWSTR settingsPath, PCWSTR folderPath, PWSTR iconFile, int* iconIndex)
{
    *iconIndex = 0;
    iconFile[0] = L'\0';
    // No settings file (its path did not fit): nothing to read.
    if (IsEmpty(settingsPath))
        return false;
    if (ReadIconResource(settingsPath, folderPath, iconFile, iconIndex) == IconResourceParsed)
        return true;
    WCHAR stored[MAX_PATH];
    bool whole = ReadIconEntries(settingsPath, kFolderSection, stored, iconIndex);
    if (!stored[0])
        return false;
    if (!whole) {
        // Cut, it would name another file: held only to seed the picker.
        StringCchCopyW(iconFile, MAX_PATH, stored);
        return false;
    }
    return ExpandIconFile(folderPath, stored, iconFile);
}

void WriteFolderIcon(PCWSTR settingsPath, PCWSTR folderPath, PWSTR iconFile, int iconIndex, bool changed)
{
    WCHAR stored[MAX_PATH];
    ContractIconFile(folderPath, iconFile, stored);
    StringCchCopyW(iconFile, MAX_PATH, stored);
    if (IsEmpty(settingsPath))
        return;

    bool writeEntries = true;
    bool writeResource = true;
    if (!changed) {
        // What is stored now decides, as the page read it: the working icon
        // came from a parsed "IconResource", else from the entries.
        WCHAR entries[MAX_PATH];
        int entriesIndex = 0;
        writeEntries = ReadIconEntries(settingsPath, kFolderSection, entries, &entriesIndex);
        WCHAR resourcePath[MAX_PATH];
        int resourceIndex = 0;
        IconResourceState resource = ReadIconResource(settingsPath, folderPath, resourcePath, &resourceIndex);
        writeResource = resource == IconResourceParsed ||
                        (resource == IconResourceAbsent && writeEntries && stored[0]);
        // Entries that name another icon than the "IconResource" the page
        // showed were not what the person saw: they stay as stored (entries
        // missing beside it are added, which changes nothing stored).
        if (resource == IconResourceParsed && entries[0] &&
            (lstrcmpiW(entries, stored) != 0 || entriesIndex != iconIndex))
            writeEntries = false;
    }
    if (writeEntries)
        WriteIconEntries(settingsPath, kFolderSection, stored, iconIndex);
    if (writeResource)
        WriteIconResource(settingsPath, stored, iconIndex);
}

bool ProbeDesktopIni(PCWSTR settingsPath)
{
    if (IsEmpty(settingsPath))
        return false;
    DWORD attributes = GetFileAttributesW(settingsPath);
    // A directory of that name is no settings file, and its attributes are
    // its own.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // A file that any write would rewrite with bytes lost counts as one that
    // cannot be written, and is left as it is.
    if (attributes != INVALID_FILE_ATTRIBUTES && !CanWriteProfileSafely(settingsPath))
        return false;
    // The read-only bit is not put back, even when the dialog is cancelled:
    // the file is to stay writable for the applies to come.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(settingsPath, attributes & ~FILE_ATTRIBUTE_READONLY);

    // Shared opens: the icon and InfoTip handlers may be reading this file
    // on the shell's threads while a page opens, and must not find it locked.
    // A program that holds the file without sharing still makes them fail.
    const DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    AutoFile existing(CreateFileW(settingsPath, GENERIC_WRITE, kShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (existing)
        return true;

    // No file (or one we may not open): whether one can be created counts.
    AutoFile created(CreateFileW(settingsPath, GENERIC_WRITE, kShare, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    if (!created)
        return false;
    created.Reset();
    DeleteFileW(settingsPath);
    return true;
}

DWORD BeginDesktopIniUpdate(PCWSTR settingsPath)
{
    if (IsEmpty(settingsPath))
        return FILE_ATTRIBUTE_NORMAL;
    DWORD attributes = GetFileAttributesW(settingsPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FILE_ATTRIBUTE_NORMAL;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        attributes &= ~FILE_ATTRIBUTE_READONLY;
        SetFileAttributesW(settingsPath, attributes);
    }
    return attributes;
}

void MarkDesktopIni(PCWSTR settingsPath, DWORD savedAttributes)
{
    if (IsEmpty(settingsPath))
        return;
    DWORD attributes = GetFileAttributesW(settingsPath);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    SetFileAttributesW(settingsPath, savedAttributes | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
}

void EndDesktopIniUpdate(PCWSTR settingsPath, DWORD savedAttributes, PCWSTR folderPath)
{
    MarkDesktopIni(settingsPath, savedAttributes);

    // Explorer reads Desktop.ini only in folders marked read-only (or
    // system); the bit is added to whatever the folder has.
    DWORD folderAttributes = GetFileAttributesW(folderPath);
    if (folderAttributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(folderPath, folderAttributes | FILE_ATTRIBUTE_READONLY);

    // The flush makes the call return only once the shell has been told.
    SHChangeNotify(SHCNE_RENAMEFOLDER, SHCNF_PATHW | SHCNF_FLUSH, folderPath, folderPath);
    // Today's Explorer refreshes a folder's icon on an update of the item.
    SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW, folderPath, nullptr);
}
