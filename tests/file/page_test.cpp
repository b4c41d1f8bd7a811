// DocDress's file page driven in a real property sheet, with file types made
// in the test prefix's registry: every handler state and the page state it
// gives, the switches, the administrator notice, the file's own icon,
// InfoTip and label, the apply and the shell refresh after it, and the page's
// banner and context help.
#include <windows.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "clsids.h"
#include "file_types.h"
#include "help_double.h"
#include "help_ids.h"
#include "host.h"
#include "import_spy.h"
#include "picker_ids.h"
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

std::wstring StringsDll()
{
    return ProgramFile(L"docdress_strings.dll");
}

std::wstring SystemIcons()
{
    return SystemFile(L"shell32.dll");
}

std::wstring TypeName(const std::wstring& file)
{
    SHFILEINFOW info = {};
    SHGetFileInfoW(file.c_str(), 0, &info, sizeof(info), SHGFI_TYPENAME);
    return info.szTypeName;
}

// Whether a control is visible by its own style.
bool IsShown(HWND page, int id)
{
    return (GetWindowLongW(GetDlgItem(page, id), GWL_STYLE) & WS_VISIBLE) != 0;
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

// A file of a scratch type whose default icon is an icon of shell32, in a
// folder of its own; the shell calls Wine cannot show are answered by the
// spy in the DLL's import table.
class FilePage : public testing::Test {
protected:
    void SetUp() override
    {
        spy = std::make_unique<ImportSpy>(Dll().module);
        for (const char* name : {"PickIconDlg", "SHUpdateImageW", "SHChangeNotify", "ExtractIconW", "DestroyIcon"})
            ASSERT_TRUE(spy->Imports(name)) << name;
        extension = types.Make(L"page", &progId, (SystemIcons() + L",3").c_str());
        file = dir.Child(L"report" + extension);
        ASSERT_TRUE(Touch(file));
        ini = dir.Child(L"Desktop.ini");
        section = L"report" + extension;
    }
    void TearDown() override
    {
        sheet.reset();
        PumpMessages(20);
        EXPECT_TRUE(spy->icons.live.empty()) << "the page leaks icons: " << spy->DescribeLive();
        EXPECT_EQ(spy->icons.destroyed, spy->icons.made) << "an icon was destroyed twice";
        spy.reset();
        EXPECT_EQ(Dll().canUnloadNow(), S_OK) << "the page's object or module count was left";
    }
    // The page for an item (none: Initialize without a data object).
    HWND Open(const std::wstring& item) { return Show(CreateDropDataObject({item})); }
    HWND OpenWithoutSelection() { return Show(nullptr); }
    HWND Show(IDataObject* data)
    {
        sheet = std::make_unique<PropertySheetHost>();
        return sheet->ShowExtension(Dll(), CLSID_DocDress, data);
    }
    void Ok()
    {
        sheet->PressOk();
        sheet.reset();
    }
    void Cancel()
    {
        sheet->PressCancel();
        sheet.reset();
    }
    std::wstring Handler(const wchar_t* kind)
    {
        return ReadRegString(HKEY_CLASSES_ROOT, progId + L"\\ShellEx\\" + kind, nullptr);
    }
    std::wstring Entry(const wchar_t* key) { return ReadProfile(ini, section.c_str(), key); }
    std::wstring Label() { return ReadProfile(ini, L"LocalizedFileNames", section.c_str()); }
    void SetEntry(const wchar_t* key, const std::wstring& value)
    {
        WritePrivateProfileStringW(section.c_str(), key, value.c_str(), ini.c_str());
    }
    void SetLabel(const std::wstring& value)
    {
        WritePrivateProfileStringW(L"LocalizedFileNames", section.c_str(), value.c_str(), ini.c_str());
    }

    std::unique_ptr<ImportSpy> spy;
    ScratchTypes types;
    TempDir dir;
    std::wstring extension, progId, file, ini, section;
    std::unique_ptr<PropertySheetHost> sheet;
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
    EXPECT_EQ(sheet->TabCaption(), L"Customize");
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
    SavePicture(sheet->Sheet(), L"docdress_file_page");

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
    EXPECT_FALSE(sheet->ApplyEnabled());
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
    ImportPatch open(Dll().module, "advapi32.dll", "RegOpenKeyExW", reinterpret_cast<void*>(DenyingRegOpenKeyExW));
    ImportPatch create(Dll().module, "advapi32.dll", "RegCreateKeyExW",
                       reinterpret_cast<void*>(DenyingRegCreateKeyExW));
    ASSERT_TRUE(open.Installed() && create.Installed());

    HWND page = Open(file);
    EXPECT_TRUE(IsShown(page, IDC_ADMIN_NOTICE));
    EXPECT_TRUE(IsChecked(page, IDC_ENABLE_ICONS));
    EXPECT_FALSE(IsChecked(page, IDC_ENABLE_INFOTIPS));
    for (int id : {IDC_ENABLE_ICONS, IDC_ENABLE_INFOTIPS, IDC_TYPE_GROUP, IDC_SWITCH_TEXT})
        EXPECT_FALSE(IsEnabled(page, id)) << id;
    ExpectGroup(page, kIconGroup, true, "icon group");
    TypeText(Item(page, IDC_INFOTIP_EDIT), L"Mine");
    Ok();

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
    spy->pickResult = 1;
    spy->pickPath = SystemIcons();
    spy->pickIndex = -235;
    Click(page, IDC_CHANGE_ICON);
    EXPECT_EQ(spy->CallsOf(L"pickicon "), std::vector<std::wstring>{L"pickicon  0"});
    EXPECT_TRUE(sheet->ApplyEnabled());
    sheet->PressApply();

    EXPECT_EQ(Entry(L"IconFile"), SystemIcons());
    EXPECT_EQ(Entry(L"IconIndex"), L"4294967061");
    EXPECT_EQ(Attributes(ini) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    // The InfoTip and the label were not touched, so they are not written.
    EXPECT_EQ(Entry(L"InfoTip"), L"<missing>");

    // The shell is told: the file's image (uncached, at its index in the
    // system image list), the file (SHCNE_RENAMEITEM, paths, flushed), the
    // associations (SHCNE_ASSOCCHANGED, no items, flushed).
    SHFILEINFOW info = {};
    SHGetFileInfoW(file.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX);
    EXPECT_EQ(spy->CallsOf(L"updateimage "),
              std::vector<std::wstring>{L"updateimage " + SystemIcons() + L" -235 " + Hex(GIL_DONTCACHE) + L" " +
                                       std::to_wstring(info.iIcon)});
    // SHCNE_UPDATEITEM (SHCNF_PATHW) for the file, on which today's Explorer
    // refreshes its icon.
    EXPECT_EQ(spy->CallsOf(L"notify "), (std::vector<std::wstring>{L"notify 1 1005 " + file + L" " + file,
                                                                    L"notify 2000 5 " + file + L" <null>",
                                                                    L"notify 8000000 1000 <null> <null>"}));

    // The picker is seeded with the current icon; cancelling changes nothing.
    spy->pickResult = 0;
    Click(page, IDC_CHANGE_ICON);
    EXPECT_EQ(spy->CallsOf(L"pickicon ").back(), L"pickicon " + SystemIcons() + L" -235");

    // "Default Icon" and OK delete both keys and refresh with no icon file.
    Click(page, IDC_DEFAULT_ICON);
    EXPECT_EQ(ShownIcon(page, IDC_ICON_PREVIEW), nullptr);
    Ok();
    EXPECT_EQ(Entry(L"IconFile"), L"<missing>");
    EXPECT_EQ(Entry(L"IconIndex"), L"<missing>");
    auto updates = spy->CallsOf(L"updateimage ");
    ASSERT_EQ(updates.size(), 2u);
    EXPECT_EQ(updates[1], L"updateimage  0 " + Hex(GIL_DONTCACHE) + L" " + std::to_wstring(info.iIcon));
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
    EXPECT_FALSE(sheet->ApplyEnabled()) << "typing must not mark the sheet changed";
    sheet->PressApply();
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
    EXPECT_FALSE(sheet->ApplyEnabled());
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

TEST_F(FilePage, TheLabelIsChosenWithThePickerAndWrittenAtOk)
{
    HWND page = Open(file);
    // Cancelled: nothing changes.
    ASSERT_TRUE(AnswerStringPicker(page, IDC_CHANGE_LABEL, 0, IDCANCEL).shown);
    EXPECT_FALSE(IsModified(page, IDC_LABEL_EDIT));
    EXPECT_FALSE(sheet->ApplyEnabled());

    ASSERT_TRUE(AnswerStringPicker(page, IDC_CHANGE_LABEL, 102, IDOK, StringsDll()).shown);
    EXPECT_EQ(WindowText(Item(page, IDC_LABEL_EDIT)), L"Plan (localized)");
    EXPECT_TRUE(IsModified(page, IDC_LABEL_EDIT));
    EXPECT_TRUE(sheet->ApplyEnabled());
    Ok();
    EXPECT_EQ(Label(), L"@" + StringsDll() + L",-102");

    // "Default" empties the label; OK deletes the entry.
    page = Open(file);
    EXPECT_EQ(WindowText(Item(page, IDC_LABEL_EDIT)), L"Plan (localized)");
    ASSERT_TRUE(AnswerStringPicker(page, IDC_CHANGE_LABEL, 0, IDC_PICKER_DEFAULT).shown);
    EXPECT_EQ(WindowText(Item(page, IDC_LABEL_EDIT)), L"");
    Ok();
    EXPECT_EQ(Label(), L"<missing>");
}

TEST_F(FilePage, AnInfoTipStringIsChosenWithThePicker)
{
    HWND page = Open(file);
    Click(page, IDC_INFOTIP_RESOURCE);
    ASSERT_TRUE(IsEnabled(page, IDC_CHANGE_INFOTIP));
    ASSERT_TRUE(AnswerStringPicker(page, IDC_CHANGE_INFOTIP, 101, IDOK, StringsDll()).shown);
    EXPECT_EQ(WindowText(Item(page, IDC_INFOTIP_EDIT)), L"Quarterly figures from the string table");
    EXPECT_TRUE(sheet->ApplyEnabled());
    sheet->PressApply();
    EXPECT_EQ(Entry(L"InfoTip"), L"@" + StringsDll() + L",-101");

    // Chosen, then back to text mode: the edit holds the indirect string
    // itself, and the apply writes what it holds.
    ASSERT_TRUE(AnswerStringPicker(page, IDC_CHANGE_INFOTIP, 103, IDOK, StringsDll()).shown);
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
    SetLabel(L"@" + StringsDll() + L",-102");
    HWND page = Open(file);
    EXPECT_TRUE(IsChecked(page, IDC_ENABLE_ICONS));
    EXPECT_TRUE(IsChecked(page, IDC_ENABLE_INFOTIPS));
    EXPECT_NE(ShownIcon(page, IDC_TYPE_ICON), nullptr);
    EXPECT_NE(ShownIcon(page, IDC_ICON_PREVIEW), nullptr);
    EXPECT_TRUE(IsChecked(page, IDC_INFOTIP_RESOURCE));
    EXPECT_EQ(WindowText(Item(page, IDC_INFOTIP_EDIT)), L"Quarterly figures from the string table");
    EXPECT_EQ(WindowText(Item(page, IDC_LABEL_EDIT)), L"Plan (localized)");
    SavePicture(sheet->Sheet(), L"docdress_file_page_customized");
    Cancel();
}

TEST_F(FilePage, AStoredLabelIsShownResolved)
{
    SetLabel(L"@" + StringsDll() + L",-102");
    HWND page = Open(file);
    EXPECT_EQ(WindowText(Item(page, IDC_LABEL_EDIT)), L"Plan (localized)");
    EXPECT_TRUE(IsReadOnlyEdit(page, IDC_LABEL_EDIT));
    EXPECT_FALSE(IsModified(page, IDC_LABEL_EDIT));
    // Not modified: an apply leaves the entry alone.
    Ok();
    EXPECT_EQ(Label(), L"@" + StringsDll() + L",-102");
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
        EXPECT_EQ(sheet->TabCaption(), L"Customize");
        for (int id : {IDC_ENABLE_ICONS, IDC_ENABLE_INFOTIPS, IDC_CHANGE_ICON, IDC_DEFAULT_ICON,
                       IDC_INFOTIP_RESOURCE, IDC_INFOTIP_EDIT, IDC_CHANGE_LABEL, IDC_LABEL_EDIT})
            EXPECT_FALSE(IsEnabled(page, id)) << "variant " << variant << ", control " << id;
        Ok();
        EXPECT_EQ(Handler(L"IconHandler"), kClsid);
        EXPECT_TRUE(spy->CallsOf(L"notify ").empty());
        EXPECT_TRUE(spy->CallsOf(L"updateimage ").empty());
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
    sheet->PressApply();
    EXPECT_EQ(Entry(L"InfoTip"), L"Once");
    // Changed behind the page's back, then applied again: the modified text
    // and the switches are written again.
    SetEntry(L"InfoTip", L"Elsewhere");
    SetRegString(HKEY_CLASSES_ROOT, progId + L"\\ShellEx\\IconHandler", nullptr, kClsid);
    sheet->PressApply();
    EXPECT_EQ(Entry(L"InfoTip"), L"Once");
    EXPECT_EQ(Handler(L"IconHandler"), L"<missing>");
    EXPECT_EQ(spy->CallsOf(L"notify ").size(), 6u);
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

// ---------------------------------------------------------------------------
// What an apply keeps: each row is the stored settings file, what the person
// does and what the file holds after OK.

enum class Act { Nothing, TypeInfoTip, ChooseIcon, DefaultIcon };

struct KeepRow {
    const char* what;
    std::wstring entries;  // lines of the file's section
    std::wstring labels;   // lines of "LocalizedFileNames" (the file's key is "$")
    Act act;
    bool preview;
    bool sameBytes;
    std::vector<std::pair<const wchar_t*, std::wstring>> after;  // keys of the file's section; "label": its label
};

const std::wstring kLongIcon = L"C:\\Icons\\" + std::wstring(287, L'a') + L".ico";
const std::wstring kLongTip(300, L'w');
const std::wstring kLongLabel = L"@C:\\" + std::wstring(292, L'l') + L".dll,-5";

class FileApplyKeeps : public FilePage {
protected:
    void Run(const KeepRow& row)
    {
        SCOPED_TRACE(row.what);
        std::wstring labels = row.labels;
        size_t dollar = labels.find(L'$');
        if (dollar != std::wstring::npos)
            labels.replace(dollar, 1, section);
        std::string before = UnicodeBytes(L"[" + section + L"]\r\n" + row.entries + L"[LocalizedFileNames]\r\n" + labels);
        ASSERT_TRUE(WriteBytes(ini, before));
        HWND page = Open(file);
        EXPECT_EQ(ShownIcon(page, IDC_ICON_PREVIEW) != nullptr, row.preview);
        switch (row.act) {
        case Act::Nothing:
            break;
        case Act::TypeInfoTip:
            ReplaceText(Item(page, IDC_INFOTIP_EDIT), L"tip");
            break;
        case Act::ChooseIcon:
            spy->pickResult = 1;
            spy->pickPath = SystemIcons();
            spy->pickIndex = 3;
            Click(page, IDC_CHANGE_ICON);
            break;
        case Act::DefaultIcon:
            Click(page, IDC_DEFAULT_ICON);
            break;
        }
        Ok();
        if (row.sameBytes) {
            EXPECT_EQ(ReadBytes(ini), before);
        }
        for (const auto& key : row.after) {
            std::wstring name = key.first;
            EXPECT_EQ(name == L"label" ? Label() : Entry(key.first), key.second) << testing::PrintToString(name);
        }
    }
};

TEST_F(FileApplyKeeps, ValuesThePageCouldNotReadWholeAreWrittenOnlyWhenChanged)
{
    const std::wstring longIcon = L"IconFile=" + kLongIcon + L"\r\nIconIndex=4\r\n";
    const std::wstring lib = SystemIcons();
    const KeepRow rows[] = {
        {"long IconFile, nothing", longIcon, L"", Act::Nothing, false, true, {}},
        {"long IconFile, InfoTip typed", longIcon, L"", Act::TypeInfoTip, false, false,
         {{L"IconFile", kLongIcon}, {L"IconIndex", L"4"}, {L"InfoTip", L"tip"}}},
        {"long IconFile, icon chosen", longIcon, L"", Act::ChooseIcon, false, false,
         {{L"IconFile", lib}, {L"IconIndex", L"3"}}},
        {"long IconFile, Default Icon", longIcon, L"", Act::DefaultIcon, false, false,
         {{L"IconFile", L"<missing>"}, {L"IconIndex", L"<missing>"}}},
        {"long InfoTip, nothing", L"InfoTip=" + kLongTip + L"\r\n", L"", Act::Nothing, false, true, {}},
        {"long InfoTip, icon chosen", L"InfoTip=" + kLongTip + L"\r\n", L"", Act::ChooseIcon, false, false,
         {{L"InfoTip", kLongTip}, {L"IconFile", lib}}},
        {"long InfoTip, InfoTip typed", L"InfoTip=" + kLongTip + L"\r\n", L"", Act::TypeInfoTip, false, false,
         {{L"InfoTip", L"tip"}}},
        {"long label, nothing", L"", L"$=" + kLongLabel + L"\r\n", Act::Nothing, false, true, {}},
        {"long label, InfoTip typed", L"", L"$=" + kLongLabel + L"\r\n", Act::TypeInfoTip, false, false,
         {{L"label", kLongLabel}, {L"InfoTip", L"tip"}}},
        // Read whole: written back at every apply as before.
        {"icon, InfoTip typed", L"IconFile=" + lib + L"\r\nIconIndex=3\r\n", L"", Act::TypeInfoTip, true, false,
         {{L"IconFile", lib}, {L"IconIndex", L"3"}, {L"InfoTip", L"tip"}}},
    };
    for (const KeepRow& row : rows)
        Run(row);
}

TEST_F(FilePage, JapaneseFileNamesInAnAnsiSettingsFileGetSectionsOfTheirOwn)
{
    ASSERT_EQ(GetACP(), 1252u);
    // Another file's entries, in ANSI with a Latin-1 text.
    const std::string ansi = "[other.txt]\r\nInfoTip=Caf\xE9\r\n[LocalizedFileNames]\r\nother.txt=@x.dll,-1\r\n";
    ASSERT_TRUE(WriteBytes(ini, ansi));
    const std::wstring names[] = {L"\u65E5\u672C\u8A9E" + extension, L"\u4E2D\u6587" + extension};
    const std::wstring tips[] = {L"first", L"\u8AAC\u660E"};
    for (int i = 0; i < 2; ++i) {
        std::wstring item = dir.Child(names[i]);
        ASSERT_TRUE(Touch(item));
        HWND page = Open(item);
        ASSERT_TRUE(IsEnabled(page, IDC_INFOTIP_EDIT));
        TypeText(Item(page, IDC_INFOTIP_EDIT), tips[i]);
        Ok();
    }
    ASSERT_FALSE(ReadUnicodeFile(ini).empty()) << "the settings file is not UTF-16 with its byte-order mark";
    EXPECT_EQ(ReadProfile(ini, L"other.txt", L"InfoTip"), L"Caf\u00E9");
    EXPECT_EQ(ReadProfile(ini, L"LocalizedFileNames", L"other.txt"), L"@x.dll,-1");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(ReadProfile(ini, names[i].c_str(), L"InfoTip"), tips[i]);
        // The page reads it back.
        HWND page = Open(dir.Child(names[i]));
        EXPECT_EQ(WindowText(Item(page, IDC_INFOTIP_EDIT)), tips[i]);
        Cancel();
    }
    // No section of question marks came into being.
    EXPECT_EQ(ReadUnicodeFile(ini).find(L"?"), std::wstring::npos) << testing::PrintToString(ReadUnicodeFile(ini));
}

TEST_F(FilePage, SettingsFilesThePageMustNotWriteAreLeftAlone)
{
    // UTF-16 without byte-order mark: nothing editable, nothing written.
    const std::string before = UnicodeBytes(L"[" + section + L"]\r\nInfoTip=t\r\nIconFile=C:\\a.ico\r\n", false);
    ASSERT_TRUE(WriteBytes(ini, before));
    HWND page = Open(file);
    ExpectGroup(page, kIconGroup, false, "icon group");
    ExpectGroup(page, kInfoTipGroup, false, "InfoTip group");
    Ok();
    EXPECT_EQ(ReadBytes(ini), before);
    EXPECT_TRUE(spy->CallsOf(L"write ").empty()) << spy->CallsOf(L"write ").front();

    // A directory named Desktop.ini keeps its attributes.
    ASSERT_TRUE(DeleteFileW(ini.c_str()));
    ASSERT_TRUE(CreateDirectoryW(ini.c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));
    spy->calls.clear();
    page = Open(file);
    ExpectGroup(page, kIconGroup, false, "icon group");
    Ok();
    EXPECT_TRUE(spy->CallsOf(L"attributes " + ini).empty()) << spy->CallsOf(L"attributes " + ini).front();
    EXPECT_EQ(spy->CallsOf(L"notify ").size(), 3u);
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(ini.c_str());
}

// ---------------------------------------------------------------------------
// Chrome: the banner (bitmap 101) and context help from "::/DocDress.txt"
// with the page's own table, through the recording HTML Help double.

const bool kHelpDoubleRegistered = (RegisterHelpDoubleForTheRun(), true);

TEST_F(FilePage, HelpForEveryControlComesFromTheFilePagesTopics)
{
    HWND page = Open(file);
    HelpCallLog* log = HelpDoubleLog();
    ASSERT_NE(log, nullptr);
    LONG before = log->calls;
    LONG n = 0;
    for (const DWORD* pair = FilePageHelpIds; pair[0] != 0; pair += 2, ++n) {
        int id = static_cast<int>(pair[0]);
        ASSERT_NE(Item(page, id), nullptr) << "control " << id;
        SendHelp(page, id);
        ASSERT_EQ(log->calls - before, n + 1) << "control " << id;
        ExpectHelpCall(log->call[before + n], Item(page, id), FolderOf(Dll().Path()) + L"\\QLNHELP.chm::/DocDress.txt",
                       FilePageHelpIds);
    }
    EXPECT_EQ(log->callsByName, 0) << "HtmlHelpW must be bound by its ordinal, 15";
    Cancel();
}

TEST_F(FilePage, EveryPaintDrawsBanner101)
{
    EXPECT_NE(FindResourceW(Dll().module, MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(2) /* RT_BITMAP */), nullptr)
        << "no bitmap 101 in DocDress.dll";
    HWND page = Open(file);
    PumpMessages(20);
    spy->bitmapNames.clear();
    for (int i = 0; i < 3; ++i) {
        InvalidateRect(page, nullptr, TRUE);
        UpdateWindow(page);
    }
    EXPECT_EQ(spy->bitmapNames, std::vector<ULONG_PTR>(3, 101));
    EXPECT_TRUE(spy->bitmaps.live.empty()) << spy->DescribeLive();
    Cancel();
}

}  // namespace
