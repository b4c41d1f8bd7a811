// Where a drive's icon and label live, in the two places Explorer reads them:
//  - the drive letter's own, machine-wide in the registry under
//    HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\DriveIcons\<letter>,
//    subkeys "DefaultLabel" and "DefaultIcon" (their default values);
//  - the disk's, in AutoRun.inf at the root of the medium, section "autorun",
//    keys "label" and "icon".
// An icon location is the path alone for index 0, otherwise "path,index" with
// the index's 32 bits as an unsigned decimal. Paths are stored unexpanded.
#pragma once

#include <windows.h>

// An icon location: a MAX_PATH path, a comma, the ten digits of a 32-bit
// index and the terminator. Everything the stores write fits, so everything
// they write reads back whole.
const size_t kIconLocationCapacity = MAX_PATH + 1 + 10;

// True for a drive root path the stores can use: a letter, ":" and "\", and
// nothing more. Anything else (an empty selection, a folder) names no drive.
bool IsDriveRoot(PCWSTR rootPath);

// "path" for index 0, "path,index" otherwise; false (and the empty text)
// when it does not fit `capacity`.
bool FormatIconLocation(PCWSTR path, int index, PWSTR location, size_t capacity);

// Splits a location at its last comma; without a comma the whole text is the
// path and the index is 0. False (empty path, index 0) when the path does not
// fit `capacity`.
bool SplitIconLocation(PCWSTR location, PWSTR path, size_t capacity, int* index);

struct DriveSettings {
    WCHAR label[MAX_PATH];
    bool labelFound;         // "DefaultLabel" exists (its value may be empty)
    WCHAR iconFile[MAX_PATH];
    int iconIndex;
    bool iconFound;          // "DefaultIcon" exists
};

// Reads the drive letter's settings; never creates the letter key. Nothing is
// found for a root path that names no drive.
void ReadDriveSettings(PCWSTR rootPath, DriveSettings* settings);

// Writes the drive letter's label and icon: an empty label and an absent icon
// delete their subkeys, and the letter key itself when both are gone. Then
// tells the shell that the drive changed. Without write access to the
// machine's keys nothing is written and the shell is not told.
void WriteDriveSettings(PCWSTR rootPath, PCWSTR label, PCWSTR iconFile, int iconIndex, bool iconPresent);

// Reads the disk's label (MAX_PATH, empty when absent) and icon from its
// AutoRun.inf. The icon path comes back in working form: a path stored
// relative to the root is joined to it; one with a drive letter or starting
// with "%" is kept. A missing icon gives the root path itself.
void ReadDiskSettings(PCWSTR rootPath, PWSTR label, PWSTR iconFile, int* iconIndex);

// Writes the disk's label and icon into its AutoRun.inf (other keys and
// sections stay), turning iconFile (MAX_PATH) into its stored form in place: relative
// to the root when it lies on the disk. Empty values delete their keys. The
// file ends writable and hidden; a new one is created as Unicode.
void WriteDiskSettings(PCWSTR rootPath, PCWSTR label, PWSTR iconFile, int iconIndex, bool iconPresent);

// The disk icon's path as a file to open: a root-relative path is joined to
// the root, and environment variables are expanded. False when the result
// does not fit MAX_PATH (a cut path would name another file).
bool ResolveDiskIconPath(PCWSTR rootPath, PCWSTR iconFile, PWSTR resolved);
