// DirDress inside Wine's own shell: registered with regsvr32, loaded by the
// shell's Properties dialog of a folder (the folder's context-menu verb
// "properties"), driven there from a second thread as a user would.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "deliverables.h"
#include "handle.h"
#include "host.h"

namespace {

std::wstring DllPath()
{
    WCHAR path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + kDirDress.dll;
}

DWORD RunRegsvr32(const std::wstring& arguments)
{
    std::wstring command = L"regsvr32.exe " + arguments;
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError() | 0x80000000u;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// DirDress registered for the length of a test.
class Registration {
public:
    Registration() { result = RunRegsvr32(L"/s \"" + DllPath() + L"\""); }
    ~Registration() { RunRegsvr32(L"/u /s \"" + DllPath() + L"\""); }
    DWORD result;
};

struct FindSheet {
    std::wstring name;
    HWND found;
};

BOOL CALLBACK FindSheetProc(HWND window, LPARAM lParam)
{
    auto* data = reinterpret_cast<FindSheet*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(window) || !PropSheet_GetTabControl(window))
        return TRUE;
    WCHAR title[512] = L"";
    GetWindowTextW(window, title, ARRAYSIZE(title));
    if (std::wstring(title).find(data->name) == std::wstring::npos)
        return TRUE;
    data->found = window;
    return FALSE;
}

// The shell's Properties dialog whose title names the item.
HWND FindPropertiesOf(const std::wstring& name)
{
    FindSheet data = {name, nullptr};
    EnumWindows(FindSheetProc, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

int FindTab(HWND sheet, const wchar_t* caption)
{
    HWND tabs = PropSheet_GetTabControl(sheet);
    int count = TabCtrl_GetItemCount(tabs);
    for (int i = 0; i < count; ++i) {
        WCHAR text[128] = L"";
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = ARRAYSIZE(text);
        SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        if (wcscmp(text, caption) == 0)
            return i;
    }
    return -1;
}

HRESULT InvokeProperties(const std::wstring& path)
{
    PIDLIST_ABSOLUTE pidl = nullptr;
    HRESULT hr = SHParseDisplayName(path.c_str(), nullptr, &pidl, 0, nullptr);
    if (FAILED(hr))
        return hr;
    ComPtr<IShellFolder> parent;
    PCUITEMID_CHILD child = nullptr;
    hr = SHBindToParent(pidl, IID_IShellFolder, parent.ReceiveVoid(), &child);
    ComPtr<IContextMenu> menu;
    if (SUCCEEDED(hr))
        hr = parent->GetUIObjectOf(nullptr, 1, &child, IID_IContextMenu, nullptr, menu.ReceiveVoid());
    if (SUCCEEDED(hr)) {
        CMINVOKECOMMANDINFO invoke = {};
        invoke.cbSize = sizeof(invoke);
        invoke.lpVerb = "properties";
        invoke.nShow = SW_SHOWNORMAL;
        hr = menu->InvokeCommand(&invoke);
    }
    CoTaskMemFree(pidl);
    return hr;
}

TEST(WineShell, FolderPropertiesCarryThePageThatWritesTheInfoTip)
{
    Registration registration;
    ASSERT_EQ(registration.result, 0u);
    TempDir dir;
    const std::wstring name = L"Holiday " + std::to_wstring(GetCurrentProcessId());
    std::wstring folder = dir.MakeDir(name);
    const std::wstring infoTip = L"Beach and mountains \u2713";

    std::atomic<bool> pageFound{false}, pressed{false};
    std::wstring tabs;
    std::thread user([&] {
        HWND sheet = nullptr;
        auto start = std::chrono::steady_clock::now();
        while (!sheet && std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
            Sleep(50);
            sheet = FindPropertiesOf(name);
        }
        if (!sheet)
            return;
        Sleep(100);  // let the sheet finish its first page
        int tab = FindTab(sheet, L"Customize Ex");
        if (tab >= 0) {
            PropSheet_SetCurSel(sheet, nullptr, tab);
            Sleep(100);
            HWND page = PropSheet_GetCurrentPageHwnd(sheet);
            HWND edit = GetDlgItem(page, 1000);
            if (edit && GetDlgItem(page, 1009)) {
                pageFound = true;
                for (wchar_t c : infoTip)
                    SendMessageW(edit, WM_CHAR, c, 1);
                SaveScreenshot(sheet, L"wine_shell_folder_page");
            }
        }
        PropSheet_PressButton(sheet, pageFound ? PSBTN_OK : PSBTN_CANCEL);
        pressed = true;
    });
    HRESULT hr = InvokeProperties(folder);
    // The dialog may be modal (InvokeCommand returns after it) or not.
    WaitFor([&] { return pressed.load(); }, 25000);
    user.join();
    ASSERT_EQ(hr, S_OK);
    ASSERT_TRUE(pressed) << "no Properties dialog of the folder appeared";
    ASSERT_TRUE(pageFound) << "the Properties dialog had no Customize Ex page";
    WaitFor([&] { return ReadProfile(folder + L"\\Desktop.ini", L".ShellClassInfo", L"InfoTip") == infoTip; },
            5000);
    EXPECT_EQ(ReadProfile(folder + L"\\Desktop.ini", L".ShellClassInfo", L"InfoTip"), infoTip);
    DWORD attributes = Attributes(folder + L"\\Desktop.ini");
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

}  // namespace
