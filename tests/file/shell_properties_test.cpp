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
#include "shell_properties.h"

namespace {

const Deliverable& Dll()
{
    static Deliverable dll = Deliverable::Load(L"DocDress.dll");
    return dll;
}

TEST(ShellProperties, TheCustomizeTabOfWinesDialogAppliesItsChange)
{
    ScratchTypes types;
    std::wstring progId;
    std::wstring extension = types.Make(L"shell", &progId);
    TempDir dir;
    std::wstring file = dir.Child(L"plan" + extension);
    ASSERT_TRUE(Touch(file));
    ASSERT_EQ(Dll().registerServer(), S_OK);

    // Beside the modal dialog: selects "Customize", types an InfoTip,
    // switches the type's InfoTips on and presses OK. Whatever it cannot do
    // it cancels, so that a failure never leaves the dialog hanging.
    std::atomic<bool> sheetFound{false}, pageFound{false};
    std::wstring tabs;
    std::thread user([&] {
        HWND sheet = WaitForPropertiesDialog(L"Properties", 10000);
        if (!sheet)
            return;
        sheetFound = true;
        HWND page = SelectSheetTab(sheet, L"Customize", &tabs);
        HWND edit = page ? GetDlgItem(page, IDC_INFOTIP_EDIT) : nullptr;
        if (edit) {
            pageFound = true;
            TypeText(edit, L"Shown by Wine's shell");
            Click(page, IDC_ENABLE_INFOTIPS);
            SaveScreenshot(sheet, L"docdress_shell_properties");
        }
        PostMessageW(sheet, PSM_PRESSBUTTON, pageFound ? PSBTN_OK : PSBTN_CANCEL, 0);
    });
    EXPECT_EQ(InvokeShellProperties(file), S_OK);
    user.join();

    EXPECT_TRUE(sheetFound) << "no Properties dialog";
    EXPECT_TRUE(pageFound) << "tabs: " << testing::PrintToString(tabs);
    EXPECT_EQ(ReadProfile(dir.Child(L"Desktop.ini"), (L"plan" + extension).c_str(), L"InfoTip"),
              L"Shown by Wine's shell");
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, progId + L"\\ShellEx\\{00021500-0000-0000-C000-000000000046}",
                            nullptr),
              DOCDRESS_CLSID_STRING);
    EXPECT_EQ(Dll().unregisterServer(), S_OK);
}

}  // namespace
