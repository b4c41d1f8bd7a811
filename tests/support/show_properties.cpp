// Opens an item's Properties dialog through the shell, as Explorer's
// "Properties" command does, switches to one tab, saves a picture of the
// dialog and closes it again.
//   show_properties <item path> <tab caption> <picture.bmp>
// Exit code 0 when the tab was found and the picture saved.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>

#include "screenshot.h"

namespace {

struct Request {
    std::wstring tab;
    std::wstring picture;
    bool done = false;
};

BOOL CALLBACK FindPropertiesWindow(HWND window, LPARAM lParam)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    WCHAR title[512] = L"";
    GetWindowTextW(window, title, ARRAYSIZE(title));
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && wcsstr(title, L"Properties")) {
        *reinterpret_cast<HWND*>(lParam) = window;
        return FALSE;
    }
    return TRUE;
}

// Runs beside the modal dialog: selects the tab, takes the picture, cancels.
void DriveDialog(Request* request)
{
    HWND sheet = nullptr;
    for (int i = 0; i < 300 && !sheet; ++i) {
        Sleep(50);
        EnumWindows(FindPropertiesWindow, reinterpret_cast<LPARAM>(&sheet));
    }
    if (!sheet)
        return;
    Sleep(300);
    HWND tabs = PropSheet_GetTabControl(sheet);
    int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        WCHAR caption[128] = L"";
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = caption;
        item.cchTextMax = ARRAYSIZE(caption);
        SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        if (request->tab == caption) {
            SendMessageW(sheet, PSM_SETCURSEL, i, 0);
            Sleep(500);
            request->done = SaveWindowBitmap(sheet, request->picture);
            break;
        }
    }
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        fwprintf(stderr, L"usage: show_properties <item path> <tab caption> <picture.bmp>\n");
        return 2;
    }
    OleInitialize(nullptr);
    Request request;
    request.tab = argv[2];
    request.picture = WindowsPath(argv[3]);

    PIDLIST_ABSOLUTE item = nullptr;
    IShellFolder* parent = nullptr;
    PCUITEMID_CHILD child = nullptr;
    IContextMenu* menu = nullptr;
    std::wstring path = WindowsPath(argv[1]);
    if (FAILED(SHParseDisplayName(path.c_str(), nullptr, &item, 0, nullptr)) ||
        FAILED(SHBindToParent(item, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child)) ||
        FAILED(parent->GetUIObjectOf(nullptr, 1, &child, IID_IContextMenu, nullptr,
                                     reinterpret_cast<void**>(&menu)))) {
        fwprintf(stderr, L"cannot reach the shell item %ls\n", path.c_str());
        return 1;
    }
    std::thread driver(DriveDialog, &request);
    CMINVOKECOMMANDINFO invoke = {};
    invoke.cbSize = sizeof(invoke);
    invoke.lpVerb = "properties";
    invoke.nShow = SW_SHOWNORMAL;
    menu->InvokeCommand(&invoke);
    driver.join();
    menu->Release();
    parent->Release();
    CoTaskMemFree(item);
    OleUninitialize();
    if (!request.done)
        fwprintf(stderr, L"no tab \"%ls\" in the Properties dialog\n", request.tab.c_str());
    return request.done ? 0 : 1;
}
