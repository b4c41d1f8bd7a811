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

// What the page can do with a value it read: a value read whole is shown
// and written back at every apply; one that did not fit or is not plain text
// (another registry type, a text without its single terminator) is shown as
// far as it can be and left as it is unless the person changes it.
struct DriveSettings {
    WCHAR label[MAX_PATH];   // cut to 259 characters when longer
    bool labelFound;         // "DefaultLabel" exists (its value may be empty or not text)
    bool labelWhole;         // the label is exactly what is stored (or absent): writing it back changes no byte
    WCHAR iconFile[MAX_PATH];  // empty when the location could not be read whole
    int iconIndex;
    bool iconFound;          // "DefaultIcon" holds a value (of any type)
    bool iconWhole;          // the location is exactly what is stored
};

// Reads the drive letter's settings from the 64-bit registry view, where the
// 64-bit Explorer reads them (the same key as the 32-bit view wherever the
// key is shared); never creates the letter key. Nothing is found for a root
// path that names no drive.
void ReadDriveSettings(PCWSTR rootPath, DriveSettings* settings);

// True when the drive letter's settings can be written: the letter key (or,
// without one, the nearest key above it) and its existing subkeys open for
// writing. False for a root path that names no drive.
bool CanWriteDriveSettings(PCWSTR rootPath);

// Writes the drive letter's label and icon in the 64-bit registry view: an
// empty label and an absent icon delete their subkeys, and the letter key
// itself when both are gone. A null label or icon file leaves that setting
// as stored; with both null nothing is written. Then tells the shell that
// the drive changed. Without write access to the machine's keys nothing is
// written and the shell is not told.
void WriteDriveSettings(PCWSTR rootPath, PCWSTR label, PCWSTR iconFile, int iconIndex, bool iconPresent);

// The disk's settings as read from its AutoRun.inf, with the same meaning of
// "whole" as the drive letter's.
struct DiskSettings {
    WCHAR label[MAX_PATH];     // empty when absent; cut to 259 characters when longer
    bool labelWhole;
    // Working form: a path stored relative to the root is joined to it; one
    // with a drive letter or starting with "%" is kept. Without an icon, or
    // when its location could not be read whole, the root path itself.
    WCHAR iconFile[MAX_PATH];
    int iconIndex;
    bool iconFound;            // "icon" holds a value
    bool iconWhole;            // written back, the location comes out as stored
    // AutoRun.inf is missing or a file the profile functions can update
    // without loss; not a directory, not UTF-16 without a byte-order mark.
    bool writable;
};

// Reads the disk's label and icon from its AutoRun.inf. A file that is not
// writable (above) is not read: it gives nothing.
void ReadDiskSettings(PCWSTR rootPath, DiskSettings* settings);

// Whether AutoRun.inf may be written (DiskSettings::writable).
bool CanWriteDiskSettings(PCWSTR rootPath);

// Writes the disk's label and icon into its AutoRun.inf (other keys and
// sections stay), turning iconFile (MAX_PATH) into its stored form in place: relative
// to the root when it lies on the disk. Empty values delete their keys; a
// null label or icon file leaves that key as stored. The file ends writable
// and hidden; a new one is created as Unicode. Nothing is written, and no
// attribute changed, when there is nothing to write or the file is not
// writable (CanWriteDiskSettings).
void WriteDiskSettings(PCWSTR rootPath, PCWSTR label, PWSTR iconFile, int iconIndex, bool iconPresent);

// The disk icon's path as a file to open: a root-relative path is joined to
// the root, and environment variables are expanded. False when the result
// does not fit MAX_PATH (a cut path would name another file).
bool ResolveDiskIconPath(PCWSTR rootPath, PCWSTR iconFile, PWSTR resolved);
