// State of a DirDress page (folder page and redirected-folder page), the data
// part of the extension object. Starts zero-filled.
#pragma once

#include <windows.h>

struct FolderPageContext {
    WCHAR itemPath[MAX_PATH];   // the folder, without trailing backslash
    HICON iconPreview;          // shown in control 1002, owned by the page
    WCHAR iconFile[MAX_PATH];   // working "IconFile" (absolute, or starting with %)
    int iconIndex;              // working "IconIndex"
    bool iconChanged;           // Change Icon... accepted or Default Icon pressed
    WCHAR infoTip[MAX_PATH];    // working "InfoTip": plain text or indirect string
    WCHAR label[MAX_PATH];      // working "LocalizedResourceName"
};
