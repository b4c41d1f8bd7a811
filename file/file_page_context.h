// State of DocDress's object: the file page's working values and, when the
// shell uses the object as a file type's icon or InfoTip handler, the file it
// was handed. The data part of the extension object; starts zero-filled.
#pragma once

#include <windows.h>

struct FilePageContext {
    WCHAR itemPath[MAX_PATH];     // the selected file, as Initialize gave it
    WCHAR handlerFile[MAX_PATH];  // file named by IPersistFile::Load
    DWORD handlerMode;            // dwMode of that Load; kept, never used
    HICON typeIcon;               // the type's default icon, control 1005
    HICON previewIcon;            // the file's own icon, control 1016
    WCHAR iconFile[MAX_PATH];     // working "IconFile", as stored
    int iconIndex;                // working "IconIndex"
    bool iconChanged;             // Change Icon... accepted or Default Icon pressed
    WCHAR infoTip[MAX_PATH];      // working "InfoTip": plain text or indirect string
    WCHAR label[MAX_PATH];        // working "LocalizedFileNames" entry
};
