// DocDress's file page driven in a real property sheet, with file types made
// in the test prefix's registry: every handler state and the page state it
// gives, the switches, the administrator notice, the file's own icon,
// InfoTip and label, the apply and the shell refresh after it.
#include <windows.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "clsids.h"
#include "file_types.h"
#include "host.h"
#include "page_support.h"
#include "resource.h"

namespace {

const wchar_t kClsid[] = DOCDRESS_CLSID_STRING;
const wchar_t kOtherClsid[] = L"{0D2E74C4-3C34-11D2-A27E-00C04FC30871}";
const wchar_t kInfoTipKey[] = L"{00021500-0000-0000-C000-000000000046}";

const Deliverable& Dll()
{
    static Deliverable dll = Deliverable::Load(L"DocDress.dll");
    return dll;
}

std::wstring BinFolder()
{
    WCHAR path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\'));
}

std::wstring StringsDll()
{
    return BinFolder() + L"\\docdress_strings.dll";
}

std::wstring SystemIcons()
{
    WCHAR path[MAX_PATH];
    GetSystemDirectoryW(path, MAX_PATH);
    return std::wstring(path) + L"\\shell32.dll";
}

bool Touch(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::wstring TypeName(const std::wstring& file)
{
    SHFILEINFOW info = {};
    SHGetFileInfoW(file.c_str(), 0, &info, sizeof(info), SHGFI_TYPENAME);
    return info.szTypeName;
}

// Replaces an edit's text as the user does, which sets its modify flag.
void ReplaceText(HWND edit, const std::wstring& text)
{
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CLEAR, 0, 0);
    TypeText(edit, text);
}

// The controls that each switch enables or disables with itself.
const int kInfoTipGroup[] = {IDC_INFOTIP_GROUP, IDC_INFOTIP_TEXT, IDC_INFOTIP_RESOURCE, IDC_INFOTIP_EDIT};
const int kIconGroup[] = {IDC_ICON_GROUP, IDC_ICON_TEXT, IDC_CHANGE_ICON, IDC_DEFAULT_ICON};

class FilePage : public testing::Test {
protected:
    void SetUp() override
    {
        shell = std::make_unique<ShellDoubles>(Dll().module);
        extension = types.Make(L"page", &progId, (SystemIcons() + L",3").c_str());
        file = dir.Child(L"report" + extension);
        ASSERT_TRUE(Touch(file));
        ini = dir.Child(L"Desktop.ini");
        section = L"report" + extension;
    }
    void TearDown() override
    {
        host.reset();
        PumpMessages(20);
        EXPECT_EQ(shell->calls.iconsExtracted, shell->calls.iconsDestroyed) << "the page leaks icons";
        shell.reset();
        EXPECT_EQ(Dll().canUnloadNow(), S_OK) << "the page's object or module count was left";
    }
    HWND Open(const std::wstring& item)
    {
        std::vector<std::wstring> selection = {item};
        host = std::make_unique<FilePageHost>(Dll(), &selection);
        return host->Page();
    }
    HWND OpenWithoutSelection()
    {
        host = std::make_unique<FilePageHost>(Dll(), nullptr);
        return host->Page();
    }
    void Ok()
    {
        host->Sheet().PressOk();
        host.reset();
    }
    void Cancel()
    {
        host->Sheet().PressCancel();
        host.reset();
    }
    std::wstring Handler(const wchar_t* kind)
    {
        return ReadRegString(HKEY_CLASSES_ROOT, progId + L"\\ShellEx\\" + kind, nullptr);
    }
    std::wstring Entry(const wchar_t* key) { return ReadProfile(ini, section.c_str(), key); }
    // A picture of the sheet for people to look at; Wine paints a new
    // sheet's controls a little after it is shown.
    void Picture(const wchar_t* name)
    {
        PumpMessages(300);
        RedrawWindow(host->Sheet().Sheet(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        PumpMessages(100);
        SaveScreenshot(host->Sheet().Sheet(), name);
    }
    void SetEntry(const wchar_t* key, const std::wstring& value)
    {
        WritePrivateProfileStringW(section.c_str(), key, value.c_str(), ini.c_str());
    }

    std::unique_ptr<ShellDoubles> shell;
    ScratchTypes types;
    TempDir dir;
    std::wstring extension, progId, file, ini, section;
    std::unique_ptr<FilePageHost> host;
};

void ExpectGroup(HWND page, const int (&ids)[4], bool enabled, const char* what)
{
    for (int id : ids)
        EXPECT_EQ(IsEnabled(page, id), enabled) << what << ": control " << id;
}

TEST_F(FilePage, ATypeWithoutHandlersOffersBothSwitches)
{
    HWND page = Open(file);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(host->TabCaption(), L"Customize");
    for (int id : {IDC_ENABLE_ICONS, IDC_ENABLE_INFOTIPS, IDC_TYPE_GROUP, IDC_SWITCH_TEXT}) {
        EXPECT_TRUE(IsEnabled(page, id)) << id;
    }
    EXPECT_FALSE(IsChecked(page, IDC_ENABLE_ICONS));
    EXPECT_FALSE(IsChecked(page, IDC_ENABLE_INFOTIPS));
    EXPECT_FALSE(IsShown(page, IDC_ADMIN_NOTICE));
    ExpectGroup(page, kIconGroup, true, "icon group");
    ExpectGroup(page, kInfoTipGroup, true, "InfoTip group");
    EXPECT_FALSE(IsEnabled(page, IDC_CHANGE_INFOTIP));
    EXPECT_EQ(WindowText(Item(page, IDC_TYPE_GROUP)), TypeName(file));
    EXPECT_EQ(TypeName(file), L"Scratch type page");
    EXPECT_NE(ShownIcon(page, IDC_TYPE_ICON), nullptr) << "no type icon";
    EXPECT_EQ(ShownIcon(page, IDC_ICON_PREVIEW), nullptr);
    Picture(L"docdress_file_page");

    // Cancel writes nothing, not even a switch that was checked.
    Click(page, IDC_ENABLE_ICONS);
    Cancel();
    EXPECT_EQ(Handler(L"IconHandler"), L"<missing>");
    EXPECT_FALSE(FileExists(ini));
}

TEST_F(FilePage, CheckingASwitchAndOkRegistersTheHandler)
{
    HWND page = Open(file);
    Click(page, IDC_ENABLE_ICONS);
    EXPECT_TRUE(IsChecked(page, IDC_ENABLE_ICONS));
    // A switch does not mark the sheet changed, yet OK applies it.
    EXPECT_FALSE(host->Sheet().ApplyEnabled());
    Ok();
    EXPECT_EQ(Handler(L"IconHandler"), kClsid);
    // The enabled, unchecked InfoTip switch removes a handler entry that was
    // never there; nothing else appears.
    EXPECT_EQ(Handler(kInfoTipKey), L"<missing>");

    // Opened again: checked. Unchecked and applied: the entry goes, ShellEx
    // stays.
    page = Open(file);
    EXPECT_TRUE(IsChecked(page, IDC_ENABLE_ICONS));
    Click(page, IDC_ENABLE_ICONS);
    Click(page, IDC_ENABLE_INFOTIPS);
    Ok();
    EXPECT_EQ(Handler(L"IconHandler"), L"<missing>");
    EXPECT_EQ(Handler(kInfoTipKey), kClsid);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, progId + L"\\ShellEx"));
    page = Open(file);
    EXPECT_FALSE(IsChecked(page, IDC_ENABLE_ICONS));
    EXPECT_TRUE(IsChecked(page, IDC_ENABLE_INFOTIPS));
    Cancel();
}

TEST_F(FilePage, AnEnabledUncheckedSwitchRemovesAnEmptyHandlerEntry)
{
    SetRegString(HKEY_CLASSES_ROOT, progId + L"\\shellex\\IconHandler", nullptr, L"");
    HWND page = Open(file);
    EXPECT_TRUE(IsEnabled(page, IDC_ENABLE_ICONS));
    EXPECT_FALSE(IsChecked(page, IDC_ENABLE_ICONS));
    Ok();
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, progId + L"\\shellex\\IconHandler"));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, progId + L"\\shellex"));
}

TEST_F(FilePage, AnotherProgramsHandlerDisablesItsSwitchAndGroup)
{
    SetRegString(HKEY_CLASSES_ROOT, progId + L"\\shellex\\IconHandler", nullptr, kOtherClsid);
    HWND page = Open(file);
    EXPECT_FALSE(IsEnabled(page, IDC_ENABLE_ICONS));
    EXPECT_FALSE(IsChecked(page, IDC_ENABLE_ICONS));
    ExpectGroup(page, kIconGroup, false, "icon group");
    // The InfoTip part and the type box are unaffected.
    EXPECT_TRUE(IsEnabled(page, IDC_ENABLE_INFOTIPS));
    ExpectGroup(page, kInfoTipGroup, true, "InfoTip group");
    EXPECT_TRUE(IsEnabled(page, IDC_TYPE_GROUP));
    // The previews are never disabled.
    EXPECT_TRUE(IsEnabled(page, IDC_ICON_PREVIEW));
    EXPECT_TRUE(IsEnabled(page, IDC_TYPE_ICON));
    Ok();
    // A disabled switch never changes the registry.
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, progId + L"\\shellex\\IconHandler", nullptr), kOtherClsid);

    // Both kinds taken by others: the type box and its text go grey too.
    SetRegString(HKEY_CLASSES_ROOT, progId + L"\\shellex\\" + kInfoTipKey, nullptr, std::wstring(45, L'x'));
    page = Open(file);
    EXPECT_FALSE(IsEnabled(page, IDC_ENABLE_INFOTIPS));
    ExpectGroup(page, kInfoTipGroup, false, "InfoTip group");
    EXPECT_FALSE(IsEnabled(page, IDC_CHANGE_INFOTIP));
    EXPECT_FALSE(IsEnabled(page, IDC_TYPE_GROUP));
    EXPECT_FALSE(IsEnabled(page, IDC_SWITCH_TEXT));
    EXPECT_FALSE(IsShown(page, IDC_ADMIN_NOTICE));
    // The label stays usable.
    EXPECT_TRUE(IsEnabled(page, IDC_CHANGE_LABEL));
    Ok();
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, progId + L"\\shellex\\" + kInfoTipKey, nullptr),
              std::wstring(45, L'x'));
}

TEST_F(FilePage, AFileWithoutExtensionCanOnlyBeLabelled)
{
    std::wstring readme = dir.MakeDir(L"My.Docs") + L"\\README";
    ASSERT_TRUE(Touch(readme));
    HWND page = Open(readme);
    for (int id : {IDC_ENABLE_ICONS, IDC_ENABLE_INFOTIPS, IDC_TYPE_GROUP, IDC_SWITCH_TEXT})
        EXPECT_FALSE(IsEnabled(page, id)) << id;
    ExpectGroup(page, kIconGroup, false, "icon group");
    ExpectGroup(page, kInfoTipGroup, false, "InfoTip group");
    EXPECT_TRUE(IsEnabled(page, IDC_CHANGE_LABEL));
    // HKEY_CLASSES_ROOT itself can be written here: no notice.
    EXPECT_FALSE(IsShown(page, IDC_ADMIN_NOTICE));
    EXPECT_EQ(ShownIcon(page, IDC_TYPE_ICON), nullptr);
    Cancel();
}

TEST_F(FilePage, AnExtensionWithoutProgIdOffersItsSwitchesButWritesNoType)
{
    // The extension key exists (so it can be written) but names no type:
    // both switches are offered, and switching on writes nothing anywhere.
    std::wstring bare = types.Name(L".ddbare");
    SetRegString(HKEY_CLASSES_ROOT, bare, nullptr, L"");
    std::wstring item = dir.Child(L"data" + bare);
    ASSERT_TRUE(Touch(item));
    HWND page = Open(item);
    EXPECT_TRUE(IsEnabled(page, IDC_ENABLE_ICONS));
    EXPECT_TRUE(IsEnabled(page, IDC_ENABLE_INFOTIPS));
    EXPECT_FALSE(IsChecked(page, IDC_ENABLE_ICONS));
    EXPECT_FALSE(IsShown(page, IDC_ADMIN_NOTICE));
    ExpectGroup(page, kIconGroup, true, "icon group");
    Click(page, IDC_ENABLE_ICONS);
    Click(page, IDC_ENABLE_INFOTIPS);
    Ok();
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"ShellEx"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, bare + L"\\ShellEx"));
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, bare, nullptr), L"");
    page = Open(item);
    EXPECT_FALSE(IsChecked(page, IDC_ENABLE_ICONS));
    Cancel();
}

TEST_F(FilePage, AnExtensionWithoutKeyShowsTheNoticeToEveryone)
{
    std::wstring unknownExtension = types.Name(L".ddqqq");
    std::wstring unknown = dir.Child(L"data" + unknownExtension);
    ASSERT_TRUE(Touch(unknown));
    HWND page = Open(unknown);
    EXPECT_TRUE(IsShown(page, IDC_ADMIN_NOTICE));
    EXPECT_EQ(WindowText(Item(page, IDC_ADMIN_NOTICE)),
              L"You must be an administrator to enable or disable Quillon files extensions.");
    for (int id : {IDC_ENABLE_ICONS, IDC_ENABLE_INFOTIPS, IDC_TYPE_GROUP, IDC_SWITCH_TEXT})
        EXPECT_FALSE(IsEnabled(page, id)) << id;
    // The file's own icon and InfoTip stay editable.
    ExpectGroup(page, kIconGroup, true, "icon group");
    ExpectGroup(page, kInfoTipGroup, true, "InfoTip group");
    TypeText(Item(page, IDC_INFOTIP_EDIT), L"Unknown data");
    Ok();
    EXPECT_EQ(ReadProfile(ini, (L"data" + unknownExtension).c_str(), L"InfoTip"), L"Unknown data");
    // No type came into being.
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, unknownExtension));
}

// The DLL's registry opens as a user without write access to one extension
// key sees them (Wine grants every access to its user).
std::wstring deniedKey;
LONG WINAPI DenyingRegOpenKeyExW(HKEY root, LPCWSTR subkey, DWORD options, REGSAM access, PHKEY result)
{
    if (root == HKEY_CLASSES_ROOT && subkey && lstrcmpiW(subkey, deniedKey.c_str()) == 0 &&
        (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY))) {
        *result = nullptr;
        return ERROR_ACCESS_DENIED;
    }
    return RegOpenKeyExW(root, subkey, options, access, result);
}
LONG WINAPI DenyingRegCreateKeyExW(HKEY root, LPCWSTR subkey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                   REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                                   LPDWORD disposition)
{
    if (root == HKEY_CLASSES_ROOT && subkey && lstrcmpiW(subkey, deniedKey.c_str()) == 0)
        return ERROR_ACCESS_DENIED;
    return RegCreateKeyExW(root, subkey, reserved, keyClass, options, access, security, result, disposition);
}

TEST_F(FilePage, AUserWhoCannotWriteTheTypeSeesItsStateButOnlyWritesTheFile)
{
    SetRegString(HKEY_CLASSES_ROOT, progId + L"\\ShellEx\\IconHandler", nullptr, kClsid);
    deniedKey = extension;
    void* open = PatchImport(Dll().module, "advapi32.dll", "RegOpenKeyExW",
                             reinterpret_cast<void*>(DenyingRegOpenKeyExW));
    void* create = PatchImport(Dll().module, "advapi32.dll", "RegCreateKeyExW",
                               reinterpret_cast<void*>(DenyingRegCreateKeyExW));
    ASSERT_NE(open, nullptr);
    ASSERT_NE(create, nullptr);

    HWND page = Open(file);
    EXPECT_TRUE(IsShown(page, IDC_ADMIN_NOTICE));
    EXPECT_TRUE(IsChecked(page, IDC_ENABLE_ICONS));
    EXPECT_FALSE(IsChecked(page, IDC_ENABLE_INFOTIPS));
    for (int id : {IDC_ENABLE_ICONS, IDC_ENABLE_INFOTIPS, IDC_TYPE_GROUP, IDC_SWITCH_TEXT})
        EXPECT_FALSE(IsEnabled(page, id)) << id;
    ExpectGroup(page, kIconGroup, true, "icon group");
    TypeText(Item(page, IDC_INFOTIP_EDIT), L"Mine");
    Ok();
    PatchImport(Dll().module, "advapi32.dll", "RegOpenKeyExW", open);
    PatchImport(Dll().module, "advapi32.dll", "RegCreateKeyExW", create);

    EXPECT_EQ(Entry(L"InfoTip"), L"Mine");
    EXPECT_EQ(Handler(L"IconHandler"), kClsid);
    EXPECT_EQ(Handler(kInfoTipKey), L"<missing>");
}

TEST_F(FilePage, AnUnwritableSettingsFileDisablesAllButTheLabel)
{
    SetEntry(L"InfoTip", L"Stored tip");
    // Held open without sharing, as by another program: neither opened for
    // writing nor created.
    HANDLE held = CreateFileW(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    HWND page = Open(file);
    EXPECT_FALSE(IsEnabled(page, IDC_ENABLE_ICONS));
    EXPECT_FALSE(IsEnabled(page, IDC_ENABLE_INFOTIPS));
    ExpectGroup(page, kIconGroup, false, "icon group");
    ExpectGroup(page, kInfoTipGroup, false, "InfoTip group");
    EXPECT_TRUE(IsEnabled(page, IDC_CHANGE_LABEL));
    EXPECT_TRUE(IsEnabled(page, IDC_TYPE_GROUP));
    EXPECT_FALSE(IsShown(page, IDC_ADMIN_NOTICE));
    Ok();
    CloseHandle(held);
    EXPECT_EQ(Entry(L"InfoTip"), L"Stored tip");
    EXPECT_EQ(Handler(L"IconHandler"), L"<missing>");
}

TEST_F(FilePage, TheIconIsChosenWrittenAndAnnounced)
{
    HWND page = Open(file);
    shell->calls.pickResult = 1;
    shell->calls.pickPath = SystemIcons();
    shell->calls.pickIndex = -235;
    Click(page, IDC_CHANGE_ICON);
    EXPECT_EQ(shell->calls.pickIconCalls, 1);
    EXPECT_EQ(shell->calls.pickSeed, L"");
    EXPECT_TRUE(host->Sheet().ApplyEnabled());
    host->Sheet().PressApply();

    EXPECT_EQ(Entry(L"IconFile"), SystemIcons());
    EXPECT_EQ(Entry(L"IconIndex"), L"4294967061");
    EXPECT_EQ(Attributes(ini) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    // The InfoTip and the label were not touched, so they are not written.
    EXPECT_EQ(Entry(L"InfoTip"), L"<missing>");

    // The shell is told: the file's image, the file, the associations.
    ASSERT_EQ(shell->calls.imageUpdates.size(), 1u);
    SHFILEINFOW info = {};
    SHGetFileInfoW(file.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX);
    EXPECT_EQ(shell->calls.imageUpdates[0].iconFile, SystemIcons());
    EXPECT_EQ(shell->calls.imageUpdates[0].iconIndex, -235);
    EXPECT_EQ(shell->calls.imageUpdates[0].flags, static_cast<UINT>(GIL_DONTCACHE));
    EXPECT_EQ(shell->calls.imageUpdates[0].imageIndex, info.iIcon);
    ASSERT_EQ(shell->calls.notifications.size(), 2u);
    EXPECT_EQ(shell->calls.notifications[0].event, SHCNE_RENAMEITEM);
    EXPECT_EQ(shell->calls.notifications[0].flags, static_cast<UINT>(SHCNF_PATHW | SHCNF_FLUSH));
    EXPECT_EQ(shell->calls.notifications[0].item1, file);
    EXPECT_EQ(shell->calls.notifications[0].item2, file);
    EXPECT_EQ(shell->calls.notifications[1].event, SHCNE_ASSOCCHANGED);
    EXPECT_EQ(shell->calls.notifications[1].flags, static_cast<UINT>(SHCNF_IDLIST | SHCNF_FLUSH));
    EXPECT_EQ(shell->calls.notifications[1].item1, L"<null>");
    EXPECT_EQ(shell->calls.notifications[1].item2, L"<null>");

    // The picker is seeded with the current icon; cancelling changes nothing.
    shell->calls.pickResult = 0;
    Click(page, IDC_CHANGE_ICON);
    EXPECT_EQ(shell->calls.pickSeed, SystemIcons());
    EXPECT_EQ(shell->calls.pickSeedIndex, -235);

    // "Default Icon" and OK delete both keys and refresh with no icon file.
    Click(page, IDC_DEFAULT_ICON);
    EXPECT_EQ(ShownIcon(page, IDC_ICON_PREVIEW), nullptr);
    Ok();
    EXPECT_EQ(Entry(L"IconFile"), L"<missing>");
    EXPECT_EQ(Entry(L"IconIndex"), L"<missing>");
    ASSERT_EQ(shell->calls.imageUpdates.size(), 2u);
    EXPECT_EQ(shell->calls.imageUpdates[1].iconFile, L"");
    EXPECT_EQ(shell->calls.imageUpdates[1].iconIndex, 0);
}

TEST_F(FilePage, AStoredIconIsShownAndWrittenBackAsStored)
{
    SetEntry(L"IconFile", SystemIcons());
    SetEntry(L"IconIndex", L"3");
    HWND page = Open(file);
    EXPECT_NE(ShownIcon(page, IDC_ICON_PREVIEW), nullptr);
    Cancel();

    // A relative icon file is held as stored: no preview from it, and an
    // apply writes it back unchanged.
    SetEntry(L"IconFile", L"icons\\a.ico");
    SetEntry(L"IconIndex", L"-235");
    page = Open(file);
    EXPECT_EQ(ShownIcon(page, IDC_ICON_PREVIEW), nullptr);
    Ok();
    EXPECT_EQ(Entry(L"IconFile"), L"icons\\a.ico");
    EXPECT_EQ(Entry(L"IconIndex"), L"4294967061");

    // An index without an icon file is dropped at the next apply.
    SetEntry(L"IconFile", L"");
    WritePrivateProfileStringW(section.c_str(), L"IconFile", nullptr, ini.c_str());
    SetEntry(L"IconIndex", L"5");
    Open(file);
    Ok();
    EXPECT_EQ(Entry(L"IconIndex"), L"<missing>");
}

TEST_F(FilePage, TypedInfoTipsAreWrittenAtOkAndApplyAgain)
{
    HWND page = Open(file);
    HWND edit = Item(page, IDC_INFOTIP_EDIT);
    TypeText(edit, L"Quarterly figures");
    EXPECT_FALSE(host->Sheet().ApplyEnabled()) << "typing must not mark the sheet changed";
    host->Sheet().PressApply();
    // Apply is disabled, but PSN_APPLY through OK still writes.
    Ok();
    EXPECT_EQ(Entry(L"InfoTip"), L"Quarterly figures");

    // Opened again: text mode with the stored text; cancelling a change
    // writes nothing.
    page = Open(file);
    EXPECT_EQ(WindowText(Item(page, IDC_INFOTIP_EDIT)), L"Quarterly figures");
    EXPECT_FALSE(IsChecked(page, IDC_INFOTIP_RESOURCE));
    EXPECT_FALSE(IsReadOnlyEdit(page, IDC_INFOTIP_EDIT));
    EXPECT_FALSE(IsModified(page, IDC_INFOTIP_EDIT));
    ReplaceText(Item(page, IDC_INFOTIP_EDIT), L"Changed");
    Cancel();
    EXPECT_EQ(Entry(L"InfoTip"), L"Quarterly figures");

    // Emptied and applied: the key goes. A text over 259 characters is cut.
    page = Open(file);
    ReplaceText(Item(page, IDC_INFOTIP_EDIT), L"");
    EXPECT_TRUE(IsModified(page, IDC_INFOTIP_EDIT));
    Ok();
    EXPECT_EQ(Entry(L"InfoTip"), L"<missing>");
    page = Open(file);
    SetWindowTextW(Item(page, IDC_INFOTIP_EDIT), std::wstring(300, L'w').c_str());
    SendMessageW(Item(page, IDC_INFOTIP_EDIT), EM_SETMODIFY, TRUE, 0);
    Ok();
    EXPECT_EQ(Entry(L"InfoTip"), std::wstring(259, L'w'));
}

TEST_F(FilePage, AnIndirectInfoTipOpensInResourceMode)
{
    std::wstring indirect = L"@" + StringsDll() + L",-101";
    SetEntry(L"InfoTip", indirect);
    HWND page = Open(file);
    EXPECT_TRUE(IsChecked(page, IDC_INFOTIP_RESOURCE));
    EXPECT_TRUE(IsReadOnlyEdit(page, IDC_INFOTIP_EDIT));
    EXPECT_TRUE(IsEnabled(page, IDC_CHANGE_INFOTIP));
    EXPECT_EQ(WindowText(Item(page, IDC_INFOTIP_EDIT)), L"Quarterly figures from the string table");

    // Unchecking shows the indirect string itself for editing; the apply
    // writes what the edit holds.
    Click(page, IDC_INFOTIP_RESOURCE);
    EXPECT_FALSE(IsReadOnlyEdit(page, IDC_INFOTIP_EDIT));
    EXPECT_FALSE(IsEnabled(page, IDC_CHANGE_INFOTIP));
    EXPECT_EQ(WindowText(Item(page, IDC_INFOTIP_EDIT)), indirect);
    EXPECT_TRUE(IsModified(page, IDC_INFOTIP_EDIT));
    EXPECT_FALSE(host->Sheet().ApplyEnabled());
    ReplaceText(Item(page, IDC_INFOTIP_EDIT), L"Plain again");
    Ok();
    EXPECT_EQ(Entry(L"InfoTip"), L"Plain again");

    // Checking the box and applying without the picker writes the plain
    // text the edit held when the box was checked.
    page = Open(file);
    ReplaceText(Item(page, IDC_INFOTIP_EDIT), L"Typed before checking");
    Click(page, IDC_INFOTIP_RESOURCE);
    EXPECT_TRUE(IsReadOnlyEdit(page, IDC_INFOTIP_EDIT));
    Ok();
    EXPECT_EQ(Entry(L"InfoTip"), L"Typed before checking");
}

// Acts on the string picker from the answering thread: loads `module` as
// typed into its path field (Enter), selects the string `id` and presses OK.
void ChooseString(HWND picker, const std::wstring& module, UINT id)
{
    HWND path = GetDlgItem(picker, IDC_PICKER_FILE);
    HWND list = GetDlgItem(picker, IDC_PICKER_LIST);
    SendMessageW(path, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(module.c_str()));
    SendMessageW(picker, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(path), TRUE);
    PostMessageW(path, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(path, WM_KEYUP, VK_RETURN, 0xC01C0001);
    int index = -1;
    for (int wait = 0; wait < 200 && index < 0; ++wait) {
        Sleep(25);
        int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i)
            if (static_cast<UINT>(SendMessageW(list, LB_GETITEMDATA, i, 0)) == id)
                index = i;
    }
    if (index < 0) {
        PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    SendMessageW(list, LB_SETCURSEL, index, 0);
    SendMessageW(GetDlgItem(picker, IDOK), BM_CLICK, 0, 0);
}

void PressInPicker(HWND picker, int id)
{
    SendMessageW(GetDlgItem(picker, id), BM_CLICK, 0, 0);
}

TEST_F(FilePage, TheLabelIsChosenWithThePickerAndWrittenAtOk)
{
    HWND page = Open(file);
    // Cancelled: nothing changes.
    ASSERT_TRUE(AnswerModal(L"Change string", [](HWND picker) { PressInPicker(picker, IDCANCEL); },
                            [&] { Click(page, IDC_CHANGE_LABEL); }));
    EXPECT_FALSE(IsModified(page, IDC_LABEL_EDIT));
    EXPECT_FALSE(host->Sheet().ApplyEnabled());

    ASSERT_TRUE(AnswerModal(L"Change string", [](HWND picker) { ChooseString(picker, StringsDll(), 102); },
                            [&] { Click(page, IDC_CHANGE_LABEL); }));
    EXPECT_EQ(WindowText(Item(page, IDC_LABEL_EDIT)), L"Plan (localized)");
    EXPECT_TRUE(IsModified(page, IDC_LABEL_EDIT));
    EXPECT_TRUE(host->Sheet().ApplyEnabled());
    Ok();
    EXPECT_EQ(ReadProfile(ini, L"LocalizedFileNames", section.c_str()), L"@" + StringsDll() + L",-102");

    // "Default" empties the label; OK deletes the entry.
    page = Open(file);
    EXPECT_EQ(WindowText(Item(page, IDC_LABEL_EDIT)), L"Plan (localized)");
    ASSERT_TRUE(AnswerModal(L"Change string", [](HWND picker) { PressInPicker(picker, IDC_PICKER_DEFAULT); },
                            [&] { Click(page, IDC_CHANGE_LABEL); }));
    EXPECT_EQ(WindowText(Item(page, IDC_LABEL_EDIT)), L"");
    Ok();
    EXPECT_EQ(ReadProfile(ini, L"LocalizedFileNames", section.c_str()), L"<missing>");
}

TEST_F(FilePage, AnInfoTipStringIsChosenWithThePicker)
{
    HWND page = Open(file);
    Click(page, IDC_INFOTIP_RESOURCE);
    ASSERT_TRUE(IsEnabled(page, IDC_CHANGE_INFOTIP));
    ASSERT_TRUE(AnswerModal(L"Change string", [](HWND picker) { ChooseString(picker, StringsDll(), 101); },
                            [&] { Click(page, IDC_CHANGE_INFOTIP); }));
    EXPECT_EQ(WindowText(Item(page, IDC_INFOTIP_EDIT)), L"Quarterly figures from the string table");
    EXPECT_TRUE(host->Sheet().ApplyEnabled());
    host->Sheet().PressApply();
    EXPECT_EQ(Entry(L"InfoTip"), L"@" + StringsDll() + L",-101");

    // Chosen, then back to text mode: the edit holds the indirect string
    // itself, and the apply writes what it holds.
    ASSERT_TRUE(AnswerModal(L"Change string", [](HWND picker) { ChooseString(picker, StringsDll(), 103); },
                            [&] { Click(page, IDC_CHANGE_INFOTIP); }));
    Click(page, IDC_INFOTIP_RESOURCE);
    EXPECT_EQ(WindowText(Item(page, IDC_INFOTIP_EDIT)), L"@" + StringsDll() + L",-103");
    int end = GetWindowTextLengthW(Item(page, IDC_INFOTIP_EDIT));
    SendMessageW(Item(page, IDC_INFOTIP_EDIT), EM_SETSEL, end, end);
    TypeText(Item(page, IDC_INFOTIP_EDIT), L"0");
    Ok();
    EXPECT_EQ(Entry(L"InfoTip"), L"@" + StringsDll() + L",-1030");
}

TEST_F(FilePage, ACustomizedFileShowsEverythingStored)
{
    SetRegString(HKEY_CLASSES_ROOT, progId + L"\\ShellEx\\IconHandler", nullptr, kClsid);
    SetRegString(HKEY_CLASSES_ROOT, progId + L"\\ShellEx\\" + kInfoTipKey, nullptr, kClsid);
    SetEntry(L"IconFile", SystemIcons());
    SetEntry(L"IconIndex", L"12");
    SetEntry(L"InfoTip", L"@" + StringsDll() + L",-101");
    WritePrivateProfileStringW(L"LocalizedFileNames", section.c_str(), (L"@" + StringsDll() + L",-102").c_str(),
                               ini.c_str());
    HWND page = Open(file);
    EXPECT_TRUE(IsChecked(page, IDC_ENABLE_ICONS));
    EXPECT_TRUE(IsChecked(page, IDC_ENABLE_INFOTIPS));
    EXPECT_NE(ShownIcon(page, IDC_TYPE_ICON), nullptr);
    EXPECT_NE(ShownIcon(page, IDC_ICON_PREVIEW), nullptr);
    EXPECT_TRUE(IsChecked(page, IDC_INFOTIP_RESOURCE));
    EXPECT_EQ(WindowText(Item(page, IDC_INFOTIP_EDIT)), L"Quarterly figures from the string table");
    EXPECT_EQ(WindowText(Item(page, IDC_LABEL_EDIT)), L"Plan (localized)");
    Picture(L"docdress_file_page_customized");
    Cancel();
}

TEST_F(FilePage, AStoredLabelIsShownResolved)
{
    WritePrivateProfileStringW(L"LocalizedFileNames", section.c_str(), (L"@" + StringsDll() + L",-102").c_str(),
                               ini.c_str());
    HWND page = Open(file);
    EXPECT_EQ(WindowText(Item(page, IDC_LABEL_EDIT)), L"Plan (localized)");
    EXPECT_TRUE(IsReadOnlyEdit(page, IDC_LABEL_EDIT));
    EXPECT_FALSE(IsModified(page, IDC_LABEL_EDIT));
    // Not modified: an apply leaves the entry alone.
    Ok();
    EXPECT_EQ(ReadProfile(ini, L"LocalizedFileNames", section.c_str()), L"@" + StringsDll() + L",-102");
}

TEST_F(FilePage, WithoutAFilePathThePageIsDisabledAndWritesNothing)
{
    // No data object (an empty item path), and paths the page cannot place.
    SetRegString(HKEY_CLASSES_ROOT, progId + L"\\ShellEx\\IconHandler", nullptr, kClsid);
    for (int variant = 0; variant < 3; ++variant) {
        HWND page = nullptr;
        if (variant == 0)
            page = OpenWithoutSelection();
        else
            page = Open(variant == 1 ? section : L"sub\\" + section);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(host->TabCaption(), L"Customize");
        for (int id : {IDC_ENABLE_ICONS, IDC_ENABLE_INFOTIPS, IDC_CHANGE_ICON, IDC_DEFAULT_ICON,
                       IDC_INFOTIP_RESOURCE, IDC_INFOTIP_EDIT, IDC_CHANGE_LABEL, IDC_LABEL_EDIT})
            EXPECT_FALSE(IsEnabled(page, id)) << "variant " << variant << ", control " << id;
        Ok();
        EXPECT_EQ(Handler(L"IconHandler"), kClsid);
        EXPECT_TRUE(shell->calls.notifications.empty());
        EXPECT_TRUE(shell->calls.imageUpdates.empty());
    }
    WCHAR current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    EXPECT_FALSE(FileExists(std::wstring(current) + L"\\Desktop.ini"));
}

TEST_F(FilePage, NamesTheSettingsFileCannotHoldKeepOnlyTheSwitches)
{
    // "a=b<ext>" beside "a", whose label the format would hand over.
    std::wstring odd = dir.Child(L"a=b" + extension);
    ASSERT_TRUE(Touch(odd));
    ASSERT_TRUE(Touch(dir.Child(L"a")));
    WritePrivateProfileStringW(L"LocalizedFileNames", L"a", (L"@" + StringsDll() + L",-102").c_str(), ini.c_str());
    WritePrivateProfileStringW(L"a", L"InfoTip", L"a's tip", ini.c_str());
    std::string before = ReadBytes(ini);

    HWND page = Open(odd);
    EXPECT_TRUE(IsEnabled(page, IDC_ENABLE_ICONS));
    EXPECT_TRUE(IsEnabled(page, IDC_ENABLE_INFOTIPS));
    ExpectGroup(page, kIconGroup, false, "icon group");
    ExpectGroup(page, kInfoTipGroup, false, "InfoTip group");
    EXPECT_FALSE(IsEnabled(page, IDC_CHANGE_LABEL));
    EXPECT_EQ(WindowText(Item(page, IDC_LABEL_EDIT)), L"");
    EXPECT_EQ(WindowText(Item(page, IDC_INFOTIP_EDIT)), L"");
    Click(page, IDC_ENABLE_ICONS);
    Ok();
    EXPECT_EQ(Handler(L"IconHandler"), kClsid);
    EXPECT_EQ(ReadBytes(ini), before);

    // A name with trailing spaces, made as the shell would hand it over.
    // Its extension keeps the space and names no type.
    std::wstring trailing = dir.Child(L"report" + extension + L" ");
    ASSERT_TRUE(Touch(L"\\\\?\\" + trailing));
    page = Open(trailing);
    ExpectGroup(page, kIconGroup, false, "icon group");
    ExpectGroup(page, kInfoTipGroup, false, "InfoTip group");
    EXPECT_FALSE(IsEnabled(page, IDC_CHANGE_LABEL));
    EXPECT_TRUE(IsShown(page, IDC_ADMIN_NOTICE));
    Ok();
    EXPECT_EQ(ReadBytes(ini), before);
    EXPECT_EQ(Handler(L"IconHandler"), kClsid);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, extension + L" "));
}

TEST_F(FilePage, ApplyingTwiceWritesAgain)
{
    HWND page = Open(file);
    TypeText(Item(page, IDC_INFOTIP_EDIT), L"Once");
    host->Sheet().PressApply();
    EXPECT_EQ(Entry(L"InfoTip"), L"Once");
    // Changed behind the page's back, then applied again: the modified text
    // and the switches are written again.
    SetEntry(L"InfoTip", L"Elsewhere");
    SetRegString(HKEY_CLASSES_ROOT, progId + L"\\ShellEx\\IconHandler", nullptr, kClsid);
    host->Sheet().PressApply();
    EXPECT_EQ(Entry(L"InfoTip"), L"Once");
    EXPECT_EQ(Handler(L"IconHandler"), L"<missing>");
    EXPECT_EQ(shell->calls.notifications.size(), 4u);
    Cancel();
}

TEST_F(FilePage, TypesSharingAProgIdAreSwitchedTogether)
{
    std::wstring second = types.Name(L".ddsecond");
    SetRegString(HKEY_CLASSES_ROOT, second, nullptr, progId);
    std::wstring other = dir.Child(L"other" + second);
    ASSERT_TRUE(Touch(other));
    HWND page = Open(file);
    Click(page, IDC_ENABLE_INFOTIPS);
    Ok();
    page = Open(other);
    EXPECT_TRUE(IsChecked(page, IDC_ENABLE_INFOTIPS));
    Cancel();
}

}  // namespace
