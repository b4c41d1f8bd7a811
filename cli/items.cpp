#include "items.h"

#include <shellapi.h>
#include <strsafe.h>

#include "console.h"
#include "drive_store.h"
#include "handle.h"
#include "indirect_string.h"
#include "profile.h"

bool ResolveItem(PCWSTR typed, Item* item, std::wstring* message)
{
    item->kind = KindMissing;
    item->path[0] = L'\0';
    WCHAR given[MAX_PATH];
    if (FAILED(StringCchCopyW(given, ARRAYSIZE(given), typed)) || typed[0] == L'\0') {
        *message = Format(L"%ls: not a path that fits %d characters", typed, MAX_PATH - 1);
        return false;
    }
    // "X:" alone is the drive, not the current folder on it.
    if (given[1] == L':' && given[2] == L'\0')
        StringCchCatW(given, ARRAYSIZE(given), L"\\");
    DWORD length = GetFullPathNameW(given, MAX_PATH, item->path, nullptr);
    if (length == 0 || length >= MAX_PATH) {
        item->path[0] = L'\0';
        *message = Format(L"%ls: the full path does not fit %d characters", typed, MAX_PATH - 1);
        return false;
    }
    if (IsDriveRoot(item->path)) {
        if (item->path[0] >= L'a' && item->path[0] <= L'z')
            item->path[0] = static_cast<WCHAR>(item->path[0] - L'a' + L'A');
        if (GetDriveTypeW(item->path) != DRIVE_NO_ROOT_DIR)
            item->kind = KindDrive;
        return true;
    }
    while (length > 3 && item->path[length - 1] == L'\\')
        item->path[--length] = L'\0';
    DWORD attributes = GetFileAttributesW(item->path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        item->kind = KindMissing;
    else if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        item->kind = KindFolder;
    else
        item->kind = KindFile;
    return true;
}

void CollectFolders(PCWSTR folderPath, std::vector<std::wstring>* folders, std::vector<std::wstring>* skipped)
{
    folders->push_back(folderPath);
    std::wstring pattern = std::wstring(folderPath) + L"\\*";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::wstring> below;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0)
            continue;
        below.push_back(std::wstring(folderPath) + L"\\" + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    for (const std::wstring& folder : below) {
        // Every store works on MAX_PATH paths; "\Desktop.ini" must fit too.
        if (folder.size() + 12 >= MAX_PATH)
            skipped->push_back(folder);
        else
            CollectFolders(folder.c_str(), folders, skipped);
    }
}

bool IconExists(PCWSTR iconFile, int iconIndex)
{
    WCHAR expanded[MAX_PATH];
    DWORD needed = ExpandEnvironmentStringsW(iconFile, expanded, MAX_PATH);
    if (needed == 0 || needed > MAX_PATH)
        return false;
    DWORD attributes = GetFileAttributesW(expanded);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    if (iconIndex >= 0) {
        UINT count = ExtractIconExW(expanded, -1, nullptr, nullptr, 0);
        return static_cast<UINT>(iconIndex) < count;
    }
    if (iconIndex < -0xFFFF)
        return false;
    AutoLibrary module(LoadStringModuleAsData(expanded));
    return module && FindResourceW(module.Get(), MAKEINTRESOURCEW(-iconIndex), RT_GROUP_ICON) != nullptr;
}

bool ParseIconArgument(PCWSTR typed, PWSTR iconFile, int* iconIndex, std::wstring* message)
{
    iconFile[0] = L'\0';
    *iconIndex = 0;
    std::wstring file = typed;
    size_t comma = file.rfind(L',');
    if (comma != std::wstring::npos) {
        PCWSTR number = typed + comma + 1;
        PCWSTR digit = number + (*number == L'-' ? 1 : 0);
        bool numeric = *digit != L'\0';
        for (PCWSTR c = digit; *c; ++c)
            numeric = numeric && *c >= L'0' && *c <= L'9';
        if (numeric && wcslen(digit) <= 10) {
            long long value = _wtoi64(number);
            if (value < INT_MIN || value > INT_MAX) {
                *message = Format(L"%ls: the icon index is out of range", typed);
                return false;
            }
            *iconIndex = static_cast<int>(value);
            file.resize(comma);
        }
    }
    if (file.empty()) {
        *message = Format(L"%ls: no icon file named", typed);
        return false;
    }
    if (file[0] == L'%') {
        if (FAILED(StringCchCopyW(iconFile, MAX_PATH, file.c_str()))) {
            *message = Format(L"%ls: the icon file's path is longer than %d characters", typed, MAX_PATH - 1);
            return false;
        }
    } else {
        DWORD length = GetFullPathNameW(file.c_str(), MAX_PATH, iconFile, nullptr);
        if (length == 0 || length >= MAX_PATH) {
            iconFile[0] = L'\0';
            *message = Format(L"%ls: the icon file's path is longer than %d characters", typed, MAX_PATH - 1);
            return false;
        }
    }
    WCHAR expanded[MAX_PATH];
    DWORD needed = ExpandEnvironmentStringsW(iconFile, expanded, MAX_PATH);
    DWORD attributes = needed && needed <= MAX_PATH ? GetFileAttributesW(expanded) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        *message = Format(L"%ls: the icon file does not exist", iconFile);
        return false;
    }
    if (!IconExists(iconFile, *iconIndex)) {
        *message = Format(L"%ls: the file has no icon at index %d", iconFile, *iconIndex);
        return false;
    }
    return true;
}

bool ResolveText(PCWSTR indirect, PWSTR text)
{
    return ResolveIndirectString(indirect, text, LoadStringModuleAsData);
}

bool CheckTextArgument(PCWSTR option, PCWSTR text, std::wstring* message)
{
    size_t length = wcslen(text);
    if (length >= MAX_PATH) {
        *message = Format(L"%ls: the text has %u characters; at most %d fit", option,
                          static_cast<unsigned>(length), MAX_PATH - 1);
        return false;
    }
    WCHAR resolved[MAX_PATH];
    if (text[0] == L'@' && !ResolveText(text, resolved)) {
        *message = Format(L"%ls: %ls names no string (expected @module,-id of an existing string)", option, text);
        return false;
    }
    return true;
}

std::wstring SettingsFileProblem(PCWSTR settingsPath)
{
    switch (ExamineProfile(settingsPath)) {
    case ProfileUnreadable:
        return Format(L"%ls is not a file that can be read (a directory?)", settingsPath);
    case ProfileUtf16NoBom:
        return Format(L"%ls is UTF-16 without a byte-order mark; a write would turn it into ANSI text "
                      L"(dress check --fix adds the mark)", settingsPath);
    case ProfileAnsiLossy:
        return Format(L"%ls holds bytes that the ANSI code page would not write back as they are", settingsPath);
    default:
        return std::wstring();
    }
}
