// State of the VolDress drive page, the data part of the extension object.
// Starts zero-filled.
#pragma once

#include <windows.h>

struct DrivePageContext {
    WCHAR itemPath[MAX_PATH];       // the drive's root path: letter, colon and backslash
    WCHAR driveLabel[MAX_PATH];     // working drive-letter label (edit 1000)
    HICON driveIconPreview;         // shown in control 1002, owned by the page
    WCHAR driveIconFile[MAX_PATH];  // working drive-letter icon file, unexpanded
    int driveIconIndex;             // working drive-letter icon index
    WCHAR diskLabel[MAX_PATH];      // working label of the disk in the drive (edit 1009)
    HICON diskIconPreview;          // shown in control 1007, owned by the page
    WCHAR diskIconFile[MAX_PATH];   // working disk icon file: absolute, or root-relative after an apply
    int diskIconIndex;              // working disk icon index

    // What the apply may write. A value the page could not read whole is
    // written only when the person changed it; an icon stored and not
    // changed is written back whether or not it shows a preview.
    bool driveWritable;             // the drive letter's keys can be written
    bool driveLabelWhole;
    bool driveIconStored;
    bool driveIconWhole;
    bool driveIconChanged;          // Change Icon... chose one, or Default Icon was pressed
    bool diskWritable;              // AutoRun.inf can be written without loss
    bool diskLabelWhole;
    bool diskIconStored;
    bool diskIconWhole;
    bool diskIconChanged;
};
