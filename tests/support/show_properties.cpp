// Opens an item's Properties dialog through the shell, as Explorer's
// "Properties" command does, switches to one tab, saves a picture of the
// dialog and closes it again.
//   show_properties <item path> <tab caption> <picture.bmp>
// Exit code 0 when the tab was found and the picture saved.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstdio>
#include <string>
#include <thread>

#include "screenshot.h"
#include "shell_properties.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        fwprintf(stderr, L"usage: show_properties <item path> <tab caption> <picture.bmp>\n");
        return 2;
    }
    OleInitialize(nullptr);
    std::wstring tab = argv[2];
    std::wstring picture = WindowsPath(argv[3]);
    bool done = false;
    // Beside the modal dialog: selects the tab, takes the picture, cancels.
    std::thread driver([&] {
        HWND sheet = WaitForPropertiesDialog(L"Properties", 15000);
        if (!sheet)
            return;
        if (SelectSheetTab(sheet, tab))
            done = SaveWindowBitmap(sheet, picture);
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    std::wstring path = WindowsPath(argv[1]);
    HRESULT hr = InvokeShellProperties(path);
    driver.join();
    OleUninitialize();
    if (FAILED(hr))
        fwprintf(stderr, L"cannot open the Properties of %ls (0x%08lx)\n", path.c_str(), static_cast<unsigned long>(hr));
    else if (!done)
        fwprintf(stderr, L"no tab \"%ls\" in the Properties dialog\n", tab.c_str());
    return done ? 0 : 1;
}
