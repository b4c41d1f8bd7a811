// Plays Explorer towards DocDress's file page: the extension object is
// initialized with a selection and its page shown in a real property sheet.
// The shell calls that Wine cannot show (PickIconDlg, SHUpdateImageW) and
// the change notifications are replaced in the DLL's import table, so that
// the page keeps calling the platform and the test sees and answers each
// call.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "host.h"

struct ShellCalls {
    // PickIconDlg: what the page seeded it with, and the answer to give.
    int pickIconCalls = 0;
    std::wstring pickSeed;
    int pickSeedIndex = 0;
    int pickResult = 0;
    std::wstring pickPath;
    int pickIndex = 0;

    struct ImageUpdate {
        std::wstring iconFile;
        int iconIndex;
        UINT flags;
        int imageIndex;
    };
    std::vector<ImageUpdate> imageUpdates;

    struct Notification {
        LONG event;
        UINT flags;
        std::wstring item1, item2;  // "<null>" for none
    };
    std::vector<Notification> notifications;

    // Icons the page extracted and destroyed.
    int iconsExtracted = 0;
    int iconsDestroyed = 0;
};

// Replaces the DLL's imports of PickIconDlg (62), SHUpdateImageW (192),
// SHChangeNotify, ExtractIconW and DestroyIcon for the life of the object.
class ShellDoubles {
public:
    explicit ShellDoubles(HMODULE dll);
    ~ShellDoubles();
    ShellDoubles(const ShellDoubles&) = delete;
    ShellDoubles& operator=(const ShellDoubles&) = delete;
    ShellCalls calls;

private:
    HMODULE dll_;
    void* pickIcon_;
    void* updateImage_;
    void* changeNotify_;
    void* extractIcon_;
    void* destroyIcon_;
};

// One Properties dialog with DocDress's page for a selection.
class FilePageHost {
public:
    // Initialize with the selection (none: Initialize without a data
    // object), AddPages, and show the sheet.
    FilePageHost(const Deliverable& dll, const std::vector<std::wstring>* selection);
    HWND Page() const { return page_; }
    PropertySheetHost& Sheet() { return host_; }
    std::wstring TabCaption() const;

private:
    PropertySheetHost host_;
    HWND page_ = nullptr;
};

// Control state on the page.
bool IsShown(HWND page, int id);   // WS_VISIBLE in the control's own style
HICON ShownIcon(HWND page, int id);  // STM_GETIMAGE
