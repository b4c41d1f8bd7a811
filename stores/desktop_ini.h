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
// missing file, section or key. Read with room for one more character:
// returns whether the value fit the buffer whole (a longer one is cut).
bool ReadFolderSetting(PCWSTR settingsPath, PCWSTR key, PCWSTR defaultValue, PWSTR buffer, DWORD capacity);

// WritePrivateProfileStringW of one key; an empty value deletes the key.
// A stored value too long for a MAX_PATH buffer is kept when the value to
// write is only its first 259 characters: what a page read of it, not a
// change.
void WriteFolderSetting(PCWSTR settingsPath, PCWSTR key, PCWSTR value);

// The same rule for any section of a settings file: whether writing value
// over the stored one would only cut it.
bool WouldCutStoredValue(PCWSTR settingsPath, PCWSTR section, PCWSTR key, PCWSTR value);

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
// file). Returns whether both were read whole: false when "IconFile" is
// longer than 259 characters or "IconIndex" longer than 255, whose cut
// forms would name another icon.
bool ReadIconEntries(PCWSTR settingsPath, PCWSTR section, PWSTR iconFile, int* iconIndex);

// Writes "IconFile" (as given) and "IconIndex" of one section, or deletes
// both when there is no icon file.
void WriteIconEntries(PCWSTR settingsPath, PCWSTR section, PCWSTR iconFile, int iconIndex);

// "IconResource" of ".ShellClassInfo", the icon location that Explorer has
// preferred since Vista: "<path>,<signed index>", split at the last comma
// (no comma: index 0), the path in the forms of "IconFile".
enum IconResourceState {
    IconResourceAbsent,  // no value
    IconResourceParsed,  // a path and an index, the path expanded to fit
    IconResourceKept,    // a value the page cannot take apart or hold
};
IconResourceState ReadIconResource(PCWSTR settingsPath, PCWSTR folderPath, PWSTR workingPath, int* iconIndex);

// "IconResource" text for a stored icon file and index: "<file>,<index>"
// with the index in signed decimal; false when it would not fit capacity.
bool FormatIconResource(PCWSTR storedFile, int iconIndex, PWSTR buffer, size_t capacity);

// The folder's icon into the working icon path (MAX_PATH) and index: the
// "IconResource" icon when it can be parsed, else "IconFile" and
// "IconIndex" (without an "IconFile" the index is 0). Returns whether the
// working path names a file to show: it is not empty, was read whole and
// was expanded. An "IconFile" too long to read whole is held cut, to seed
// the icon picker, but never shown.
bool ReadFolderIcon(PCWSTR settingsPath, PCWSTR folderPath, PWSTR iconFile, int* iconIndex);

// Turns the working icon path into its stored form in place and writes
// "IconFile", "IconIndex" and "IconResource" with it, or deletes the three
// when there is no icon file. Unless the person changed the icon (changed
// false), each stored value the page could not read whole or parse stays as
// it is: "IconFile" and "IconIndex" when either did not fit, "IconResource"
// when it could not be parsed; nor is "IconResource" written from an icon
// that came from such a value.
void WriteFolderIcon(PCWSTR settingsPath, PCWSTR folderPath, PWSTR iconFile, int iconIndex, bool changed = true);

// True when the settings file can be written or created. Clears its
// read-only attribute; a missing file is created and deleted again. False,
// with nothing changed, for a name taken by a directory and for a file whose
// bytes a write would not keep (UTF-16 without byte-order mark, ANSI bytes
// that do not convert back exactly).
bool ProbeDesktopIni(PCWSTR settingsPath);

// Prepares the file for writing; returns the attributes it is to get after.
DWORD BeginDesktopIniUpdate(PCWSTR settingsPath);

// Makes the settings file hidden and system on top of the saved attributes;
// a directory of that name is left alone.
void MarkDesktopIni(PCWSTR settingsPath, DWORD savedAttributes);

// Makes the file hidden and system, the folder read-only, and tells the
// shell that the folder changed (renamed to itself, and updated).
void EndDesktopIniUpdate(PCWSTR settingsPath, DWORD savedAttributes, PCWSTR folderPath);
