// DirDress inside Wine's own shell: registered with regsvr32, loaded by the
// shell's Properties dialog of a folder (the folder's context-menu verb
// "properties"), driven there from a second thread as a user would.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "deliverables.h"
#include "host.h"
#include "shell_properties.h"

namespace {

// DirDress registered for the length of a test.
class Registration {
public:
    Registration() { result = RunRegsvr32(L"/s \"" + ProgramFile(kDirDress.dll) + L"\""); }
    ~Registration() { RunRegsvr32(L"/u /s \"" + ProgramFile(kDirDress.dll) + L"\""); }
    DWORD result;
};

TEST(WineShell, FolderPropertiesCarryThePageThatWritesTheInfoTip)
{
    Registration registration;
    ASSERT_EQ(registration.result, 0u);
    TempDir dir;
    const std::wstring name = L"Holiday " + std::to_wstring(GetCurrentProcessId());
    std::wstring folder = dir.MakeDir(name);
    const std::wstring infoTip = L"Beach and mountains \u2713";

    std::atomic<bool> pageFound{false}, pressed{false};
    std::thread user([&] {
        HWND sheet = WaitForPropertiesDialog(name, 20000);
        if (!sheet)
            return;
        HWND page = SelectSheetTab(sheet, L"Customize Ex");
        if (page && GetDlgItem(page, 1000) && GetDlgItem(page, 1009)) {
            pageFound = true;
            TypeText(GetDlgItem(page, 1000), infoTip);
            SaveScreenshot(sheet, L"wine_shell_folder_page");
        }
        PropSheet_PressButton(sheet, pageFound ? PSBTN_OK : PSBTN_CANCEL);
        pressed = true;
    });
    HRESULT hr = InvokeShellProperties(folder);
    // The dialog may be modal (InvokeCommand returns after it) or not.
    WaitFor([&] { return pressed.load(); }, 25000);
    user.join();
    ASSERT_EQ(hr, S_OK);
    ASSERT_TRUE(pressed) << "no Properties dialog of the folder appeared";
    ASSERT_TRUE(pageFound) << "the Properties dialog had no Customize Ex page";
    std::wstring ini = folder + L"\\Desktop.ini";
    WaitFor([&] { return ReadProfile(ini, L".ShellClassInfo", L"InfoTip") == infoTip; }, 5000);
    EXPECT_EQ(ReadProfile(ini, L".ShellClassInfo", L"InfoTip"), infoTip);
    EXPECT_EQ(Attributes(ini) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

}  // namespace
