// DocDress registered and reached through Wine's own shell: a file's
// Properties dialog opened with its IContextMenu and the verb "properties",
// a change made on the "Customize" tab and applied with OK.
#include <windows.h>
#include <commctrl.h>
#include <shlguid.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "clsids.h"
#include "file_types.h"
#include "host.h"
#include "resource.h"

namespace {

const Deliverable& Dll()
{
    static Deliverable dll = Deliverable::Load(L"DocDress.dll");
    return dll;
}

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

struct Outcome {
    std::atomic<bool> sheetFound{false};
    std::atomic<bool> tabFound{false};
    std::atomic<bool> pageFound{false};
    std::wstring tabs;
};

// Runs beside the modal dialog: selects "Customize", types an InfoTip,
// switches the type's InfoTips on and presses OK. Cancels whatever it
// cannot do, so that a failure never leaves the dialog hanging.
void DriveDialog(Outcome* outcome)
{
    HWND sheet = nullptr;
    for (int i = 0; i < 400 && !sheet; ++i) {
        Sleep(25);
        EnumWindows(FindPropertiesWindow, reinterpret_cast<LPARAM>(&sheet));
    }
    if (!sheet)
        return;
    outcome->sheetFound = true;
    Sleep(200);
    HWND tabs = PropSheet_GetTabControl(sheet);
    int count = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        WCHAR caption[128] = L"";
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = caption;
        item.cchTextMax = ARRAYSIZE(caption);
        SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        outcome->tabs += std::wstring(L"[") + caption + L"]";
        if (wcscmp(caption, L"Customize") != 0)
            continue;
        outcome->tabFound = true;
        SendMessageW(sheet, PSM_SETCURSEL, i, 0);
        Sleep(200);
        HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        HWND edit = GetDlgItem(page, IDC_INFOTIP_EDIT);
        if (!edit)
            break;
        outcome->pageFound = true;
        for (wchar_t c : std::wstring(L"Shown by Wine's shell"))
            SendMessageW(edit, WM_CHAR, c, 1);
        SendMessageW(GetDlgItem(page, IDC_ENABLE_INFOTIPS), BM_CLICK, 0, 0);
        SaveScreenshot(sheet, L"docdress_shell_properties");
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
        return;
    }
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

TEST(ShellProperties, TheCustomizeTabOfWinesDialogAppliesItsChange)
{
    ScratchTypes types;
    std::wstring progId;
    std::wstring extension = types.Make(L"shell", &progId);
    TempDir dir;
    std::wstring file = dir.Child(L"plan" + extension);
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseHandle(handle);
    ASSERT_EQ(Dll().registerServer(), S_OK);

    PIDLIST_ABSOLUTE item = nullptr;
    ASSERT_EQ(SHParseDisplayName(file.c_str(), nullptr, &item, 0, nullptr), S_OK);
    IShellFolder* parent = nullptr;
    PCUITEMID_CHILD child = nullptr;
    ASSERT_EQ(SHBindToParent(item, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child), S_OK);
    IContextMenu* menu = nullptr;
    ASSERT_EQ(parent->GetUIObjectOf(nullptr, 1, &child, IID_IContextMenu, nullptr, reinterpret_cast<void**>(&menu)),
              S_OK);

    Outcome outcome;
    std::thread driver(DriveDialog, &outcome);
    CMINVOKECOMMANDINFO invoke = {};
    invoke.cbSize = sizeof(invoke);
    invoke.lpVerb = "properties";
    invoke.nShow = SW_SHOWNORMAL;
    menu->InvokeCommand(&invoke);
    driver.join();
    menu->Release();
    parent->Release();
    CoTaskMemFree(item);

    EXPECT_TRUE(outcome.sheetFound) << "no Properties dialog";
    EXPECT_TRUE(outcome.tabFound) << "tabs: " << testing::PrintToString(outcome.tabs);
    EXPECT_TRUE(outcome.pageFound);
    EXPECT_EQ(ReadProfile(dir.Child(L"Desktop.ini"), (L"plan" + extension).c_str(), L"InfoTip"),
              L"Shown by Wine's shell");
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, progId + L"\\ShellEx\\{00021500-0000-0000-C000-000000000046}",
                            nullptr),
              DOCDRESS_CLSID_STRING);
    EXPECT_EQ(Dll().unregisterServer(), S_OK);
}

}  // namespace
