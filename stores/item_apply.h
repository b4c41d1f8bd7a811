// The whole apply of each kind of item, one operation each, as the pages and
// the command-line program make it: the settings file prepared, the changed
// values written by the stores' rules (values not read whole kept unless
// changed, Unicode where the ANSI code page cannot hold a value), the
// attributes set and the shell told.
#pragma once

#include <windows.h>

// How an apply treats the item's icon keys.
enum IconChange {
    IconUntouched,    // the keys stay as stored
    IconWrittenBack,  // the icon as read is written back; stored values that
                      // could not be read whole or parsed stay as they are
    IconChanged,      // the given icon replaces the stored one; none deletes it
};

// What changes in a folder's Desktop.ini. A null text leaves its key as
// stored; an empty one deletes it.
struct FolderEdit {
    IconChange icon;
    PWSTR iconFile;     // working icon path (MAX_PATH), turned into its stored form in place
    int iconIndex;
    PCWSTR infoTip;     // "InfoTip": plain text or indirect string
    PCWSTR label;       // "LocalizedResourceName"
};

// Writes a folder's edit into its Desktop.ini, makes the file hidden and
// system and the folder read-only, and tells the shell. False, with nothing
// written, when the settings file's path does not fit.
bool ApplyFolderSettings(PCWSTR folderPath, const FolderEdit& edit);

// A file type's handler switch.
enum TypeSwitch {
    SwitchUntouched,
    SwitchOn,   // the type's handler of this kind is DocDress
    SwitchOff,  // the type's handler key of this kind is removed
};

// What changes for a file: its type's switches and its own entries in its
// folder's Desktop.ini (texts as in FolderEdit; iconFile as stored, or
// absolute).
struct FileEdit {
    TypeSwitch icons;
    TypeSwitch infoTips;
    IconChange icon;
    PCWSTR iconFile;
    int iconIndex;
    PCWSTR infoTip;
    PCWSTR label;       // the file's "LocalizedFileNames" entry
};

// Switches the type's handlers, writes the file's entries (none for a name
// the format cannot hold), makes the settings file hidden and system and
// tells the shell about the file, its image and the type registrations.
// False, with nothing written, for a path that is not a full file path.
bool ApplyFileSettings(PCWSTR filePath, const FileEdit& edit);

// Switches a file type's handlers (each untouched, on or off) and tells the
// shell that the type registrations changed. False when a switch could not
// be written.
bool ApplyTypeSwitches(PCWSTR extension, TypeSwitch icons, TypeSwitch infoTips);

// What changes for a drive: the drive letter's settings in the registry and
// the disk's in AutoRun.inf. A null label or icon file leaves that setting
// as stored.
struct DriveEdit {
    PCWSTR driveLabel;
    PCWSTR driveIconFile;   // unexpanded
    int driveIconIndex;
    bool driveIconPresent;  // false deletes the drive letter's icon
    PCWSTR diskLabel;
    PWSTR diskIconFile;     // MAX_PATH, turned into its stored form in place
    int diskIconIndex;
    bool diskIconPresent;   // false deletes the disk's icon
};

// Writes both stores' changes (each telling the shell what it changed).
// False for a root path that names no drive.
bool ApplyDriveSettings(PCWSTR rootPath, const DriveEdit& edit);
