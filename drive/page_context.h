// State of the VolDress drive page, the data part of the extension object.
// Starts zero-filled.
#pragma once

#include <windows.h>

struct PageContext {
    WCHAR itemPath[MAX_PATH];       // the drive's root path: letter, colon and backslash
    WCHAR driveLabel[MAX_PATH];     // working drive-letter label (edit 1000)
    HICON driveIconPreview;         // shown in control 1002, owned by the page
    WCHAR driveIconFile[MAX_PATH];  // working drive-letter icon file, unexpanded
    int driveIconIndex;             // working drive-letter icon index
    WCHAR diskLabel[MAX_PATH];      // working label of the disk in the drive (edit 1009)
    HICON diskIconPreview;          // shown in control 1007, owned by the page
    WCHAR diskIconFile[MAX_PATH];   // working disk icon file: absolute, or root-relative after an apply
    int diskIconIndex;              // working disk icon index
};
