// A folder's Desktop.ini, section ".ShellClassInfo": the keys Explorer reads
// for the folder's icon, InfoTip and label, the forms they are stored in, and
// the attribute and notification envelope around every write. The file is
// reached only through the platform's profile-file functions.
#pragma once

#include <windows.h>

// The section of the folder's own settings.
const WCHAR kFolderSection[] = L".ShellClassInfo";

// Capacity of an "IconIndex" text as read: any 32-bit value and more.
const DWORD kIconIndexTextCapacity = 256;

// Settings file of a folder: folder path + "\Desktop.ini". Returns false (and
// the empty text) when the result would not fit MAX_PATH characters.
bool GetDesktopIniPath(PCWSTR folderPath, PWSTR settingsPath);

// GetPrivateProfileStringW of one ".ShellClassInfo" key; the default for a
// missing file, section or key.
void ReadFolderSetting(PCWSTR settingsPath, PCWSTR key, PCWSTR defaultValue, PWSTR buffer, DWORD capacity);

// WritePrivateProfileStringW of one key; an empty value deletes the key.
void WriteFolderSetting(PCWSTR settingsPath, PCWSTR key, PCWSTR value);

// Working icon path (MAX_PATH) for a stored "IconFile": a value whose third
// character is "\" or whose first is "%" is kept; anything else is joined to
// the folder path. When the joined path would not fit, the stored value is
// kept as it is (so an apply writes it back unchanged) and false returned.
bool ExpandIconFile(PCWSTR folderPath, PCWSTR storedValue, PWSTR workingPath);

// Stored "IconFile" (MAX_PATH) for a working path: relative to the folder
// when the path lies inside it (ASCII letters compared without case).
void ContractIconFile(PCWSTR folderPath, PCWSTR workingPath, PWSTR storedValue);

// "IconIndex" text to index: unsigned 32-bit decimal, a leading "-" negating
// it modulo 2^32, so "-235" and "4294967061" both give -235.
int ParseIconIndex(PCWSTR text);

// Index to "IconIndex" text: the unsigned decimal of its 32 bits.
void FormatIconIndex(int index, PWSTR buffer, size_t capacity);

// "IconFile" and "IconIndex" of one section of a settings file: the icon file
// as stored (MAX_PATH, empty when none) and its index (0 without an icon
// file).
void ReadIconEntries(PCWSTR settingsPath, PCWSTR section, PWSTR iconFile, int* iconIndex);

// Writes "IconFile" (as given) and "IconIndex" of one section, or deletes
// both when there is no icon file.
void WriteIconEntries(PCWSTR settingsPath, PCWSTR section, PCWSTR iconFile, int iconIndex);

// Reads "IconFile" and "IconIndex" into the working icon path (MAX_PATH)
// and index; without an "IconFile" the index is 0. Returns whether the
// working path names a file to show, that is, it is not empty and was
// expanded.
bool ReadFolderIcon(PCWSTR settingsPath, PCWSTR folderPath, PWSTR iconFile, int* iconIndex);

// Turns the working icon path into its stored form in place and writes
// "IconFile" and "IconIndex", or deletes both when there is no icon file.
void WriteFolderIcon(PCWSTR settingsPath, PCWSTR folderPath, PWSTR iconFile, int iconIndex);

// True when the settings file can be written or created. Clears its
// read-only attribute; a missing file is created and deleted again.
bool ProbeDesktopIni(PCWSTR settingsPath);

// Prepares the file for writing; returns the attributes it is to get after.
DWORD BeginDesktopIniUpdate(PCWSTR settingsPath);

// Makes the file hidden and system, the folder read-only, and tells the
// shell that the folder changed.
void EndDesktopIniUpdate(PCWSTR settingsPath, DWORD savedAttributes, PCWSTR folderPath);
