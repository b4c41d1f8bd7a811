// A single file's icon, InfoTip and localized label, kept in the Desktop.ini
// of the file's folder: icon and InfoTip in a section named after the file,
// the label as the file's entry in "LocalizedFileNames". The probe, the
// preparation for writing, the icon keys and their index text and the joining
// of a relative icon path are the folder store's operations (desktop_ini.h).
#pragma once

#include <windows.h>

// Settings file of a file: its path with the file name replaced by
// "Desktop.ini" (MAX_PATH). False, with the empty text, for a path without
// a backslash or a result that would not fit.
bool GetFileSettingsPath(PCWSTR filePath, PWSTR settingsPath);

// The file's name as its path gives it (MAX_PATH); false, with the empty
// text, for a path without a backslash.
bool GetFileSectionName(PCWSTR filePath, PWSTR sectionName);

// The file's folder: its path up to the last backslash, exclusive (MAX_PATH).
bool GetFileFolderPath(PCWSTR filePath, PWSTR folderPath);

// Whether the profile format can hold per-file entries for this file: its
// name must not contain "=" (the label key) or "]" (the section), begin with
// "[" or ";" or end or begin with white space (which the format trims or
// reads otherwise), nor be the name of one of the file's own sections. For
// such names nothing per-file is read or written.
bool CanHoldFileEntries(PCWSTR filePath);

// GetPrivateProfileStringW of one key of the file's section; the default for
// a missing file, section or key, or for a file without per-file entries.
void ReadFileSetting(PCWSTR filePath, PCWSTR key, PCWSTR defaultValue, PWSTR buffer, DWORD capacity);

// WritePrivateProfileStringW of one key of the file's section; an empty
// value deletes the key. Nothing is written for a file without per-file
// entries, nor when the value is only the first 259 characters of a longer
// stored one (WouldCutStoredValue).
void WriteFileSetting(PCWSTR filePath, PCWSTR key, PCWSTR value);

// The file's entry in "LocalizedFileNames" (MAX_PATH), "" when none.
void ReadFileLabel(PCWSTR filePath, PWSTR buffer);

// Writes the file's "LocalizedFileNames" entry; empty deletes it. A longer
// stored entry is kept as WriteFileSetting keeps values.
void WriteFileLabel(PCWSTR filePath, PCWSTR value);

// The icon as the page holds it: "IconFile" as stored (MAX_PATH) and its
// index; index 0 when there is no icon file. Returns whether both were read
// whole (ReadIconEntries): a cut icon file names another file.
bool ReadFileIconForPage(PCWSTR filePath, PWSTR iconFile, int* iconIndex);

// The icon as the icon handler returns it, from one read of the file's
// section (the two key reads where the section leaves a doubt). NoCustomIcon
// when "IconFile" is empty or the file's name cannot hold entries; TooLong
// when "IconFile" or its joined location does not fit MAX_PATH whole;
// otherwise the joined location (MAX_PATH) and the index.
enum FileIconResult { CustomIcon, NoCustomIcon, TooLong };
FileIconResult ReadFileIconForHandler(PCWSTR filePath, PWSTR location, int* iconIndex);

// Writes "IconFile" and "IconIndex", or deletes both for an empty icon file.
// Unless the icon was changed, stored entries that could not be read whole
// stay as they are.
void WriteFileIcon(PCWSTR filePath, PCWSTR iconFile, int iconIndex, bool changed = true);

// Ends a write: the settings file becomes hidden and system on top of the
// attributes BeginDesktopIniUpdate saved (not a directory of that name).
void EndFileSettingsUpdate(PCWSTR settingsPath, DWORD savedAttributes);

// Whether a path names a file by its full path (a drive path "X:\..." or a
// UNC path "\\..."), the only form whose settings file is known: a relative
// name would find a Desktop.ini of the current directory.
bool IsFullFilePath(PCWSTR filePath);
