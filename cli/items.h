// What the commands share: the kinds of item a path names, its settings as
// the stores read them, and the checks every argument goes through before
// the first write.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

enum ItemKind { KindMissing, KindFolder, KindFile, KindDrive };

struct Item {
    ItemKind kind;
    WCHAR path[MAX_PATH];   // full path; a folder without trailing backslash, a drive as "X:\"
};

// Takes a path as typed into its full form and finds what it names. False,
// with a message, when it does not fit MAX_PATH.
bool ResolveItem(PCWSTR typed, Item* item, std::wstring* message);

// The folder and every folder below it, reparse points (symbolic links,
// junctions) not entered. Folders whose path does not fit are named in
// `skipped`.
void CollectFolders(PCWSTR folderPath, std::vector<std::wstring>* folders, std::vector<std::wstring>* skipped);

// An icon location "FILE[,INDEX]" as typed: the file made a full path (a
// path starting with "%" is kept and expanded only to be checked), the
// index split off at the last comma when it is a number. False, with a
// message, when the file does not exist or has no icon at that index.
bool ParseIconArgument(PCWSTR typed, PWSTR iconFile, int* iconIndex, std::wstring* message);

// Whether the icon file (environment variables expanded) exists and holds
// an icon at the index: an index >= 0 counts icons, a negative one names an
// icon group resource.
bool IconExists(PCWSTR iconFile, int iconIndex);

// A text value as typed: at most 259 characters; an indirect string must
// resolve. False, with a message naming the option.
bool CheckTextArgument(PCWSTR option, PCWSTR text, std::wstring* message);

// An indirect string resolved with the module mapped as data only.
bool ResolveText(PCWSTR indirect, PWSTR text);

// The folder settings file's fitness for a write: empty when it can be
// written without loss, otherwise the reason.
std::wstring SettingsFileProblem(PCWSTR settingsPath);

// Runs "check" over the items (see dress.cpp for the options).
int RunCheck(const std::vector<Item>& items, bool recursive, bool fix, bool dryRun);
