// DirDress's folder page and redirected-folder page, driven in a real
// property sheet through the DLL's exports, as the shell hosts them. The
// icon picker, attribute changes, shell notifications and ShellExecuteW are
// watched (and the icon picker answered) through the DLL's import table.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "deliverables.h"
#include "handle.h"
#include "host.h"
#include "import_spy.h"
#include "picker_ids.h"

namespace {

const wchar_t kSection[] = L".ShellClassInfo";

enum : int {
    kInfoTipEdit = 1000,
    kChangeIcon = 1001,
    kIconPreview = 1002,
    kDefaultIcon = 1003,
    kLabelEdit = 1004,
    kChangeLabel = 1005,
    kChangeInfoTip = 1007,
    kInfoTipResource = 1009,
    kTargetProperties = 1011,
};

const Deliverable& Dll()
{
    static Deliverable dll = Deliverable::Load(kDirDress.dll);
    return dll;
}

// An icon library every prefix has.
std::wstring IconLibrary()
{
    return SystemFile(L"shell32.dll");
}

HICON Preview(HWND page)
{
    return ShownIcon(page, kIconPreview);
}

// One Properties dialog of a folder with DirDress's page in it.
struct FolderSheet {
    explicit FolderSheet(const std::wstring& folder)
    {
        page = host.ShowExtension(Dll(), *kDirDress.clsid, CreateDropDataObject({folder}));
    }
    PropertySheetHost host;
    HWND page = nullptr;
};

// A string module of the tests: 1 "Alpha", 5 "Beta", 21 "Block two", ...
std::wstring Strings(UINT id)
{
    return L"@" + ProgramFile(L"picker_strings.dll") + L",-" + std::to_wstring(id);
}

class FolderPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(Dll().module, nullptr);
        spy.reset(new ImportSpy(Dll().module));
        ASSERT_TRUE(spy->Imports("PickIconDlg"));
        folder = dir.MakeDir(L"Photos");
        ini = folder + L"\\Desktop.ini";
    }
    void TearDown() override
    {
        spy.reset();
        EXPECT_EQ(Dll().canUnloadNow(), S_OK);
    }

    std::wstring Read(const wchar_t* key) const { return ReadProfile(ini, kSection, key); }

    void ExpectEnvelope(DWORD fileAttributes)
    {
        auto attributes = spy->CallsOf(L"attributes ");
        ASSERT_GE(attributes.size(), 2u);
        EXPECT_EQ(attributes[attributes.size() - 2], L"attributes " + ini + L" " + Hex(fileAttributes));
        EXPECT_EQ(attributes.back(), L"attributes " + folder + L" " + Hex(FILE_ATTRIBUTE_DIRECTORY |
                                                                         FILE_ATTRIBUTE_READONLY));
        EXPECT_EQ(spy->CallsOf(L"notify "), (std::vector<std::wstring>{L"notify 20000 1005 " + folder + L" " + folder,
                                                                        L"notify 2000 5 " + folder + L" <null>"}));
    }

    TempDir dir;
    std::wstring folder, ini;
    std::unique_ptr<ImportSpy> spy;
};

// ---------------------------------------------------------------------------
// Opening

TEST_F(FolderPageTest, OpensEmptyWithoutDesktopIniAndLeavesNoFile)
{
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    SavePicture(sheet.host.Sheet(), L"folder_page_empty");

    EXPECT_EQ(WindowText(Item(page, kInfoTipEdit)), L"");
    EXPECT_EQ(WindowText(Item(page, kLabelEdit)), L"");
    EXPECT_EQ(Preview(page), nullptr);
    EXPECT_FALSE(IsChecked(page, kInfoTipResource));
    EXPECT_FALSE(IsReadOnlyEdit(page, kInfoTipEdit));
    EXPECT_TRUE(IsReadOnlyEdit(page, kLabelEdit));
    EXPECT_FALSE(IsEnabled(page, kChangeInfoTip));
    for (int id : {kInfoTipEdit, kChangeIcon, kDefaultIcon, kChangeLabel, kInfoTipResource})
        EXPECT_TRUE(IsEnabled(page, id)) << id;
    EXPECT_FALSE(IsModified(page, kInfoTipEdit));
    EXPECT_FALSE(IsModified(page, kLabelEdit));
    EXPECT_FALSE(sheet.host.ApplyEnabled());
    // The probe created the file and deleted it again.
    EXPECT_FALSE(FileExists(ini));
    // Opening writes nothing and tells nobody.
    EXPECT_TRUE(spy->calls.empty()) << spy->calls.front();
    sheet.host.PressCancel();
}

TEST_F(FolderPageTest, ShowsTheStoredIconAndTextInTextMode)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconFile=" + IconLibrary() +
                                          L"\r\nIconIndex=3\r\nInfoTip=Holiday pictures\r\n"));
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    SavePicture(sheet.host.Sheet(), L"folder_page_stored");

    EXPECT_NE(Preview(page), nullptr);
    EXPECT_EQ(WindowText(Item(page, kInfoTipEdit)), L"Holiday pictures");
    EXPECT_FALSE(IsChecked(page, kInfoTipResource));
    EXPECT_FALSE(IsReadOnlyEdit(page, kInfoTipEdit));
    EXPECT_FALSE(IsModified(page, kInfoTipEdit));
    EXPECT_FALSE(sheet.host.ApplyEnabled());
    sheet.host.PressCancel();
    // Nothing was written by opening and cancelling.
    EXPECT_TRUE(spy->CallsOf(L"write ").empty());
}

TEST_F(FolderPageTest, IndirectInfoTipOpensInResourceMode)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nInfoTip=@C:\\none.dll,-5\r\n"));
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    EXPECT_TRUE(IsChecked(page, kInfoTipResource));
    EXPECT_TRUE(IsReadOnlyEdit(page, kInfoTipEdit));
    EXPECT_TRUE(IsEnabled(page, kChangeInfoTip));
    EXPECT_FALSE(IsModified(page, kInfoTipEdit));
    // A resolution that finds no module shows no text.
    EXPECT_EQ(WindowText(Item(page, kInfoTipEdit)), L"");

    // OK without a change rewrites only the icon keys.
    sheet.host.PressOk();
    EXPECT_EQ(Read(L"InfoTip"), L"@C:\\none.dll,-5");
}

TEST_F(FolderPageTest, ReadOnlyDesktopIniIsNoLongerReadOnlyAfterOpening)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nInfoTip=x\r\n"));
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    {
        FolderSheet sheet(folder);
        EXPECT_TRUE(IsEnabled(sheet.page, kChangeIcon));
        sheet.host.PressCancel();
    }
    EXPECT_EQ(Attributes(ini), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(FolderPageTest, UnwritableDesktopIniDisablesTheEditingControls)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nInfoTip=@C:\\none.dll,-5\r\n"));
    // Another program holds the file open for reading only: it can be read
    // but neither opened for writing nor created.
    AutoFile held(CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    SavePicture(sheet.host.Sheet(), L"folder_page_unwritable");
    for (int id : {kInfoTipEdit, kChangeIcon, kDefaultIcon, kChangeLabel})
        EXPECT_FALSE(IsEnabled(page, id)) << id;
    // The mode switches stay as the stored InfoTip set them.
    EXPECT_TRUE(IsEnabled(page, kInfoTipResource));
    EXPECT_TRUE(IsChecked(page, kInfoTipResource));
    EXPECT_TRUE(IsEnabled(page, kChangeInfoTip));
    held.Reset();
    sheet.host.PressCancel();
}

TEST_F(FolderPageTest, UnwritableTextModeKeepsInfoTipButtonDisabled)
{
    std::wstring missingFolder = dir.Child(L"gone");
    // The folder does not exist: no Desktop.ini can be opened or created.
    FolderSheet sheet(missingFolder);
    HWND page = sheet.page;
    for (int id : {kInfoTipEdit, kChangeIcon, kDefaultIcon, kChangeLabel, kChangeInfoTip})
        EXPECT_FALSE(IsEnabled(page, id)) << id;
    EXPECT_TRUE(IsEnabled(page, kInfoTipResource));
    // An apply still runs; its writes fail silently.
    sheet.host.PressOk();
    EXPECT_EQ(spy->CallsOf(L"notify ").size(), 2u);
}

TEST_F(FolderPageTest, FolderTooLongForDesktopIniIsNeverWritten)
{
    // folder + "\\Desktop.ini" would not fit 259 characters; cut, it would
    // name another file.
    std::wstring deep = dir.MakeDir(std::wstring(250 - dir.Path().size() - 1, L'd'));
    ASSERT_EQ(deep.size(), 250u);
    ASSERT_EQ(Attributes(deep), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    FolderSheet sheet(deep);
    for (int id : {kInfoTipEdit, kChangeIcon, kDefaultIcon, kChangeLabel})
        EXPECT_FALSE(IsEnabled(sheet.page, id)) << id;
    sheet.host.PressOk();
    EXPECT_TRUE(spy->CallsOf(L"write ").empty()) << spy->CallsOf(L"write ").front();
    EXPECT_TRUE(spy->CallsOf(L"attributes " + deep + L"\\").empty());
    EXPECT_FALSE(FileExists((deep + L"\\Desktop.ini").substr(0, 259)));
}

// ---------------------------------------------------------------------------
// InfoTip

TEST_F(FolderPageTest, TypedInfoTipIsWrittenByOkWithoutEnablingApply)
{
    FolderSheet sheet(folder);
    TypeText(Item(sheet.page, kInfoTipEdit), L"Holiday");
    EXPECT_TRUE(IsModified(sheet.page, kInfoTipEdit));
    EXPECT_FALSE(sheet.host.ApplyEnabled());
    sheet.host.PressOk();

    EXPECT_EQ(Read(L"InfoTip"), L"Holiday");
    EXPECT_EQ(Read(L"IconFile"), L"<missing>");
    EXPECT_EQ(Read(L"IconIndex"), L"<missing>");
    ExpectEnvelope(FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    DWORD attributes = Attributes(ini);
    EXPECT_EQ(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

TEST_F(FolderPageTest, TypedInfoTipIsDroppedByCancel)
{
    FolderSheet sheet(folder);
    TypeText(Item(sheet.page, kInfoTipEdit), L"Holiday");
    sheet.host.PressCancel();
    EXPECT_FALSE(FileExists(ini));
    EXPECT_TRUE(spy->calls.empty()) << spy->calls.front();
}

TEST_F(FolderPageTest, TypedInfoTipKeepsNonAsciiTextAndIsCutTo259Characters)
{
    std::wstring longText;
    for (int i = 0; i < 300; ++i)
        longText += static_cast<wchar_t>(L'a' + i % 26);
    const std::wstring nonAscii = L"Caf\u00E9 \u2713 \u65E5\u672C\u8A9E";
    for (const std::wstring& typed : {nonAscii, longText}) {
        FolderSheet sheet(folder);
        SetWindowTextW(Item(sheet.page, kInfoTipEdit), L"");
        TypeText(Item(sheet.page, kInfoTipEdit), typed);
        sheet.host.PressOk();
        EXPECT_EQ(Read(L"InfoTip"), typed.substr(0, 259));
    }
}

TEST_F(FolderPageTest, ClearedInfoTipDeletesTheKey)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nInfoTip=old\r\n"));
    FolderSheet sheet(folder);
    HWND edit = Item(sheet.page, kInfoTipEdit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 1);
    EXPECT_EQ(WindowText(edit), L"");
    EXPECT_TRUE(IsModified(sheet.page, kInfoTipEdit));
    sheet.host.PressOk();
    EXPECT_EQ(Read(L"InfoTip"), L"<missing>");
    EXPECT_EQ(spy->CallsOf(L"write InfoTip"), std::vector<std::wstring>{L"write InfoTip=<null>"});
}

TEST_F(FolderPageTest, CheckBoxSwitchesModesWithoutMarkingTheSheet)
{
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    TypeText(Item(page, kInfoTipEdit), L"typed before");
    SendDlgItemMessageW(page, kInfoTipEdit, EM_SETMODIFY, FALSE, 0);

    Click(page, kInfoTipResource);
    EXPECT_TRUE(IsChecked(page, kInfoTipResource));
    EXPECT_TRUE(IsReadOnlyEdit(page, kInfoTipEdit));
    EXPECT_TRUE(IsEnabled(page, kChangeInfoTip));
    EXPECT_TRUE(IsModified(page, kInfoTipEdit));
    EXPECT_FALSE(sheet.host.ApplyEnabled());
    SavePicture(sheet.host.Sheet(), L"folder_page_resource_mode");

    SendDlgItemMessageW(page, kInfoTipEdit, EM_SETMODIFY, FALSE, 0);
    Click(page, kInfoTipResource);
    EXPECT_FALSE(IsChecked(page, kInfoTipResource));
    EXPECT_FALSE(IsReadOnlyEdit(page, kInfoTipEdit));
    EXPECT_FALSE(IsEnabled(page, kChangeInfoTip));
    EXPECT_TRUE(IsModified(page, kInfoTipEdit));
    EXPECT_EQ(WindowText(Item(page, kInfoTipEdit)), L"typed before");
    EXPECT_FALSE(sheet.host.ApplyEnabled());

    sheet.host.PressOk();
    EXPECT_EQ(Read(L"InfoTip"), L"typed before");
}

TEST_F(FolderPageTest, CheckedBoxWithoutPickerWritesTheTextHeldWhenChecked)
{
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    TypeText(Item(page, kInfoTipEdit), L"plain text");
    Click(page, kInfoTipResource);
    sheet.host.PressOk();
    EXPECT_EQ(Read(L"InfoTip"), L"plain text");
}

// ---------------------------------------------------------------------------
// Icon

TEST_F(FolderPageTest, ChosenIconIsShownMarkedAndWritten)
{
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    spy->pickResult = 1;
    spy->pickPath = IconLibrary();
    spy->pickIndex = 3;
    Click(page, kChangeIcon);

    EXPECT_EQ(spy->CallsOf(L"pickicon "), std::vector<std::wstring>{L"pickicon  0"});
    EXPECT_EQ(spy->pickOwner, page);
    EXPECT_NE(Preview(page), nullptr);
    EXPECT_TRUE(sheet.host.ApplyEnabled());
    SavePicture(sheet.host.Sheet(), L"folder_page_icon_chosen");

    sheet.host.PressApply();
    EXPECT_FALSE(sheet.host.ApplyEnabled());
    EXPECT_EQ(Read(L"IconFile"), IconLibrary());
    EXPECT_EQ(Read(L"IconIndex"), L"3");
    // InfoTip and label were not modified: not written.
    EXPECT_EQ(spy->CallsOf(L"write "),
              (std::vector<std::wstring>{L"write IconFile=" + IconLibrary(), L"write IconIndex=3",
                                         L"write IconResource=" + IconLibrary() + L",3"}));
    sheet.host.PressCancel();
}

TEST_F(FolderPageTest, CancelledIconPickerChangesNothing)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconFile=" + IconLibrary() + L"\r\nIconIndex=3\r\n"));
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    HICON before = Preview(page);
    spy->pickResult = 0;
    Click(page, kChangeIcon);
    EXPECT_EQ(spy->CallsOf(L"pickicon "), std::vector<std::wstring>{L"pickicon " + IconLibrary() + L" 3"});
    EXPECT_EQ(Preview(page), before);
    EXPECT_FALSE(sheet.host.ApplyEnabled());
    sheet.host.PressCancel();
}

TEST_F(FolderPageTest, IconWithoutPictureLeavesPreviewEmptyButIsStored)
{
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    spy->pickResult = 1;
    spy->pickPath = dir.Child(L"no-such.ico");
    spy->pickIndex = 0;
    Click(page, kChangeIcon);
    EXPECT_EQ(Preview(page), nullptr);
    EXPECT_TRUE(sheet.host.ApplyEnabled());
    sheet.host.PressOk();
    EXPECT_EQ(Read(L"IconFile"), dir.Child(L"no-such.ico"));
    EXPECT_EQ(Read(L"IconIndex"), L"0");
}

TEST_F(FolderPageTest, DefaultIconThenOkDeletesTheIconKeysAndKeepsTheEnvelope)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconFile=" + IconLibrary() +
                                          L"\r\nIconIndex=3\r\nInfoTip=kept\r\n"));
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_ARCHIVE));
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    ASSERT_NE(Preview(page), nullptr);
    Click(page, kDefaultIcon);
    EXPECT_EQ(Preview(page), nullptr);
    EXPECT_TRUE(sheet.host.ApplyEnabled());
    sheet.host.PressOk();

    EXPECT_EQ(Read(L"IconFile"), L"<missing>");
    EXPECT_EQ(Read(L"IconIndex"), L"<missing>");
    EXPECT_EQ(Read(L"InfoTip"), L"kept");
    ExpectEnvelope(0x26);
    EXPECT_EQ(Attributes(ini), 0x26u);
}

TEST_F(FolderPageTest, EveryDefaultIconMarksTheSheet)
{
    FolderSheet sheet(folder);
    Click(sheet.page, kDefaultIcon);
    EXPECT_TRUE(sheet.host.ApplyEnabled());
    sheet.host.PressApply();
    EXPECT_FALSE(sheet.host.ApplyEnabled());
    Click(sheet.page, kDefaultIcon);
    EXPECT_TRUE(sheet.host.ApplyEnabled());
    sheet.host.PressCancel();
}

TEST_F(FolderPageTest, RelativeIconIsWrittenBackUnchangedAndSeedsThePicker)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconFile=icon.ico\r\nIconIndex=-235\r\n"));
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    spy->pickResult = 0;
    Click(page, kChangeIcon);
    sheet.host.PressApply();
    EXPECT_EQ(Read(L"IconFile"), L"icon.ico");
    EXPECT_EQ(Read(L"IconIndex"), L"4294967061");
    // The page now holds the stored form, which seeds the picker.
    Click(page, kChangeIcon);
    EXPECT_EQ(spy->CallsOf(L"pickicon "),
              (std::vector<std::wstring>{L"pickicon " + folder + L"\\icon.ico -235", L"pickicon icon.ico -235"}));
    sheet.host.PressCancel();
}

// ---------------------------------------------------------------------------
// Apply

TEST_F(FolderPageTest, ApplyWritesInOrderInsideTheEnvelope)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\n"));
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    spy->calls.clear();  // the probe's clearing of the read-only bit
    // The probe already cleared the bit; set it again so that the update
    // has something to clear.
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    spy->pickResult = 1;
    spy->pickPath = IconLibrary();
    spy->pickIndex = -235;
    Click(page, kChangeIcon);
    TypeText(Item(page, kInfoTipEdit), L"tip");
    sheet.host.PressOk();

    std::vector<std::wstring> expected = {
        L"pickicon  0",
        L"attributes " + ini + L" 20",
        L"write IconFile=" + IconLibrary(),
        L"write IconIndex=4294967061",
        L"write IconResource=" + IconLibrary() + L",-235",
        L"write InfoTip=tip",
        L"attributes " + ini + L" 26",
        L"attributes " + folder + L" 11",
        L"notify 20000 1005 " + folder + L" " + folder,
        L"notify 2000 5 " + folder + L" <null>",
    };
    EXPECT_EQ(spy->calls, expected);
}

TEST_F(FolderPageTest, ApplyTwiceWritesTheSameKeysAgain)
{
    FolderSheet sheet(folder);
    TypeText(Item(sheet.page, kInfoTipEdit), L"twice");
    sheet.host.PressApply();
    sheet.host.PressApply();
    sheet.host.PressOk();
    EXPECT_EQ(spy->CallsOf(L"write InfoTip").size(), 3u);
    EXPECT_EQ(spy->CallsOf(L"write IconFile").size(), 3u);
    EXPECT_EQ(spy->CallsOf(L"write IconIndex").size(), 3u);
    // Without an icon there is no "IconResource" to delete.
    EXPECT_TRUE(spy->CallsOf(L"write IconResource").empty());
    EXPECT_EQ(spy->CallsOf(L"notify ").size(), 6u);
    EXPECT_TRUE(spy->CallsOf(L"write LocalizedResourceName").empty());
}

TEST_F(FolderPageTest, ApplyWithNothingStoredStillDeletesIconKeysAndMarksFolder)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconIndex=7\r\nLocalizedResourceName=@x.dll,-1\r\n"));
    FolderSheet sheet(folder);
    sheet.host.PressOk();
    EXPECT_EQ(Read(L"IconIndex"), L"<missing>");
    EXPECT_EQ(Read(L"LocalizedResourceName"), L"@x.dll,-1");
    EXPECT_EQ(spy->CallsOf(L"write "),
              (std::vector<std::wstring>{L"write IconFile=<null>", L"write IconIndex=<null>"}));
    auto attributes = spy->CallsOf(L"attributes " + folder + L" ");
    ASSERT_EQ(attributes.size(), 1u);
}

// ---------------------------------------------------------------------------
// Label and InfoTip strings

TEST_F(FolderPageTest, TheLabelIsPickedDefaultedOrKeptByThePicker)
{
    // The picker's OK takes the choice, "Default" empties the label, Cancel
    // changes nothing; the apply writes a modified label only.
    const struct {
        int pickerButton;
        const wchar_t* shown;
        std::vector<std::wstring> writes;
        std::wstring stored;
    } cases[] = {
        {IDOK, L"Beta", {L"write LocalizedResourceName=" + Strings(5)}, Strings(5)},
        {IDC_PICKER_DEFAULT, L"", {L"write LocalizedResourceName=<null>"}, L"<missing>"},
        {IDCANCEL, L"Alpha", {}, Strings(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "picker button " << c.pickerButton);
        ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nLocalizedResourceName=" + Strings(1) + L"\r\n"));
        spy->calls.clear();
        FolderSheet sheet(folder);
        HWND page = sheet.page;
        EXPECT_EQ(WindowText(Item(page, kLabelEdit)), L"Alpha");
        EXPECT_FALSE(IsModified(page, kLabelEdit));

        PickerAnswer answer = AnswerStringPicker(page, kChangeLabel, 5, c.pickerButton);
        ASSERT_TRUE(answer.shown);
        // The picker opened on the module of the stored label.
        EXPECT_EQ(answer.file, ProgramFile(L"picker_strings.dll"));
        bool changed = c.pickerButton != IDCANCEL;
        EXPECT_EQ(WindowText(Item(page, kLabelEdit)), c.shown);
        EXPECT_EQ(IsModified(page, kLabelEdit), changed);
        EXPECT_EQ(sheet.host.ApplyEnabled(), changed);
        if (c.pickerButton == IDOK)
            SavePicture(sheet.host.Sheet(), L"folder_page_label_picked");
        sheet.host.PressOk();
        EXPECT_EQ(spy->CallsOf(L"write LocalizedResourceName"), c.writes);
        EXPECT_EQ(Read(L"LocalizedResourceName"), c.stored);
    }
}

TEST_F(FolderPageTest, PickedInfoTipThenTextModeShowsAndWritesTheIndirectString)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nInfoTip=" + Strings(1) + L"\r\n"));
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    EXPECT_TRUE(IsChecked(page, kInfoTipResource));
    EXPECT_EQ(WindowText(Item(page, kInfoTipEdit)), L"Alpha");

    ASSERT_TRUE(AnswerStringPicker(page, kChangeInfoTip, 21).shown);
    EXPECT_EQ(WindowText(Item(page, kInfoTipEdit)), L"Block two");
    EXPECT_TRUE(IsModified(page, kInfoTipEdit));
    EXPECT_TRUE(sheet.host.ApplyEnabled());

    Click(page, kInfoTipResource);
    EXPECT_FALSE(IsReadOnlyEdit(page, kInfoTipEdit));
    EXPECT_EQ(WindowText(Item(page, kInfoTipEdit)), Strings(21));
    sheet.host.PressOk();
    EXPECT_EQ(Read(L"InfoTip"), Strings(21));
}

TEST_F(FolderPageTest, PickedInfoTipIsWrittenInResourceMode)
{
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    Click(page, kInfoTipResource);
    EXPECT_EQ(WindowText(Item(page, kInfoTipEdit)), L"");
    // Without a value the picker opens on the system's shell library; its
    // first string is chosen.
    PickerAnswer answer = AnswerStringPicker(page, kChangeInfoTip, kFirstString);
    ASSERT_TRUE(answer.shown);
    EXPECT_EQ(answer.file, L"%SystemRoot%\\system32\\SHELL32.dll");
    std::wstring shown = WindowText(Item(page, kInfoTipEdit));
    EXPECT_NE(shown, L"");
    sheet.host.PressOk();
    std::wstring stored = Read(L"InfoTip");
    EXPECT_EQ(stored.compare(0, 36, L"@%SystemRoot%\\system32\\SHELL32.dll,-"), 0) << stored;
}

// ---------------------------------------------------------------------------
// What an apply keeps: each row is the stored file, what the person does and
// what the file holds after OK.

// What the person does between opening the page and OK.
enum class Act {
    Nothing,
    TypeInfoTip,  // replaces the InfoTip's text with the row's text
    ChooseIcon,   // Change Icon... answered with shell32.dll, 3
    DefaultIcon,
    PickLabel,    // the label's picker answered with string 5
};

struct KeepRow {
    const char* what;
    std::string before;  // the bytes of Desktop.ini
    Act act;
    bool preview;        // whether the page shows an icon
    // After OK: the same bytes, or these keys ("<missing>" for none).
    bool sameBytes;
    std::vector<std::pair<const wchar_t*, std::wstring>> after;
    std::wstring typed = L"tip";
};

// An "IconFile" of 300 characters, and texts of 300 characters.
const std::wstring kLongIcon = L"C:\\Icons\\" + std::wstring(287, L'a') + L".ico";
const std::wstring kLongTip(300, L'w');
const std::wstring kLongLabel = L"@C:\\" + std::wstring(292, L'l') + L".dll,-5";

class FolderApplyKeeps : public FolderPageTest {
protected:
    void Run(const KeepRow& row)
    {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(WriteBytes(ini, row.before));
        spy->calls.clear();
        {
            FolderSheet sheet(folder);
            HWND page = sheet.page;
            EXPECT_EQ(Preview(page) != nullptr, row.preview);
            switch (row.act) {
            case Act::Nothing:
                break;
            case Act::TypeInfoTip:
                SetWindowTextW(Item(page, kInfoTipEdit), L"");
                TypeText(Item(page, kInfoTipEdit), row.typed);
                break;
            case Act::ChooseIcon:
                spy->pickResult = 1;
                spy->pickPath = IconLibrary();
                spy->pickIndex = 3;
                Click(page, kChangeIcon);
                break;
            case Act::DefaultIcon:
                Click(page, kDefaultIcon);
                break;
            case Act::PickLabel:
                // The stored label names no module the picker can open.
                ASSERT_TRUE(AnswerStringPicker(page, kChangeLabel, 5, IDOK, ProgramFile(L"picker_strings.dll")).shown);
                break;
            }
            sheet.host.PressOk();
        }
        if (row.sameBytes) {
            EXPECT_EQ(ReadBytes(ini), row.before);
        }
        for (const auto& key : row.after)
            EXPECT_EQ(Read(key.first), key.second) << testing::PrintToString(std::wstring(key.first));
    }
};

std::string Ini(const std::wstring& body)
{
    return UnicodeBytes(L"[.ShellClassInfo]\r\n" + body);
}

TEST_F(FolderApplyKeeps, ValuesThePageCouldNotReadWholeAreWrittenOnlyWhenChanged)
{
    const std::wstring lib = IconLibrary();
    const std::wstring longIcon = L"IconFile=" + kLongIcon + L"\r\nIconIndex=4\r\n";
    const KeepRow rows[] = {
        {"long IconFile, nothing", Ini(longIcon), Act::Nothing, false, true, {}},
        {"long IconFile, InfoTip typed", Ini(longIcon), Act::TypeInfoTip, false, false,
         {{L"IconFile", kLongIcon}, {L"IconIndex", L"4"}, {L"IconResource", L"<missing>"}, {L"InfoTip", L"tip"}}},
        {"long IconFile, icon chosen", Ini(longIcon), Act::ChooseIcon, false, false,
         {{L"IconFile", lib}, {L"IconIndex", L"3"}, {L"IconResource", lib + L",3"}}},
        {"long IconFile, Default Icon", Ini(longIcon), Act::DefaultIcon, false, false,
         {{L"IconFile", L"<missing>"}, {L"IconIndex", L"<missing>"}, {L"IconResource", L"<missing>"}}},
        {"long InfoTip, nothing", Ini(L"InfoTip=" + kLongTip + L"\r\n"), Act::Nothing, false, true, {}},
        {"long InfoTip, icon chosen", Ini(L"InfoTip=" + kLongTip + L"\r\n"), Act::ChooseIcon, false, false,
         {{L"InfoTip", kLongTip}, {L"IconFile", lib}}},
        {"long InfoTip, InfoTip typed", Ini(L"InfoTip=" + kLongTip + L"\r\n"), Act::TypeInfoTip, false, false,
         {{L"InfoTip", L"tip"}}},
        // Typing the same 259 characters the page shows is no change.
        {"long InfoTip, its cut text typed", Ini(L"InfoTip=" + kLongTip + L"\r\n"), Act::TypeInfoTip, false, false,
         {{L"InfoTip", kLongTip}}, kLongTip.substr(0, 259)},
        {"long label, nothing", Ini(L"LocalizedResourceName=" + kLongLabel + L"\r\n"), Act::Nothing, false, true, {}},
        {"long label, InfoTip typed", Ini(L"LocalizedResourceName=" + kLongLabel + L"\r\n"), Act::TypeInfoTip, false,
         false, {{L"LocalizedResourceName", kLongLabel}, {L"InfoTip", L"tip"}}},
        {"long label, label picked", Ini(L"LocalizedResourceName=" + kLongLabel + L"\r\n"), Act::PickLabel, false,
         false, {{L"LocalizedResourceName", Strings(5)}}},
        {"long IconIndex, nothing", Ini(L"IconFile=" + lib + L"\r\nIconIndex=" + std::wstring(299, L'0') + L"3\r\n"),
         Act::Nothing, false, true, {}},
    };
    for (const KeepRow& row : rows)
        Run(row);
}

TEST_F(FolderApplyKeeps, IconResourceIsShownWrittenWithTheIconKeysAndRemovedByDefault)
{
    const std::wstring lib = IconLibrary();
    // As Windows' own Customize tab writes it: "IconResource" alone, with a
    // negative index (a resource id).
    const std::wstring only = L"IconResource=" + lib + L",-4\r\n";
    const std::wstring unparsable = L"IconResource=" + lib + L",abc\r\nIconFile=" + lib + L"\r\nIconIndex=2\r\n";
    const std::wstring longResource = L"IconResource=" + kLongIcon + L",1\r\n";
    const KeepRow rows[] = {
        {"IconResource only, nothing", Ini(only), Act::Nothing, true, false,
         {{L"IconFile", lib}, {L"IconIndex", L"4294967292"}, {L"IconResource", lib + L",-4"}}},
        {"IconResource only, icon chosen", Ini(only), Act::ChooseIcon, true, false,
         {{L"IconFile", lib}, {L"IconIndex", L"3"}, {L"IconResource", lib + L",3"}}},
        {"IconResource only, Default Icon", Ini(only), Act::DefaultIcon, true, false,
         {{L"IconFile", L"<missing>"}, {L"IconIndex", L"<missing>"}, {L"IconResource", L"<missing>"}}},
        // A relative path in the folder: stored relative again.
        {"relative IconResource, nothing", Ini(L"IconResource=sub\\a.ico\r\n"), Act::Nothing, false, false,
         {{L"IconFile", L"sub\\a.ico"}, {L"IconIndex", L"0"}, {L"IconResource", L"sub\\a.ico,0"}}},
        // Unparsable: kept as it is; the icon keys show and are written.
        {"unparsable IconResource, nothing", Ini(unparsable), Act::Nothing, true, false,
         {{L"IconResource", lib + L",abc"}, {L"IconFile", lib}, {L"IconIndex", L"2"}}},
        {"unparsable IconResource, InfoTip typed", Ini(unparsable), Act::TypeInfoTip, true, false,
         {{L"IconResource", lib + L",abc"}, {L"InfoTip", L"tip"}}},
        {"unparsable IconResource, icon chosen", Ini(unparsable), Act::ChooseIcon, true, false,
         {{L"IconFile", lib}, {L"IconIndex", L"3"}, {L"IconResource", lib + L",3"}}},
        {"IconResource too long, nothing", Ini(longResource), Act::Nothing, false, true, {}},
        {"IconResource too long, Default Icon", Ini(longResource), Act::DefaultIcon, false, false,
         {{L"IconResource", L"<missing>"}}},
        // IconResource shows while an IconFile too long stays as it is.
        {"IconResource and long IconFile, nothing",
         Ini(only + L"IconFile=" + kLongIcon + L"\r\nIconIndex=4\r\n"), Act::Nothing, true, false,
         {{L"IconResource", lib + L",-4"}, {L"IconFile", kLongIcon}, {L"IconIndex", L"4"}}},
        // Entries naming another icon than the IconResource shown stay as
        // they are until the icon is changed.
        {"IconResource and another IconFile, nothing", Ini(only + L"IconFile=other.ico\r\nIconIndex=7\r\n"),
         Act::Nothing, true, false,
         {{L"IconResource", lib + L",-4"}, {L"IconFile", L"other.ico"}, {L"IconIndex", L"7"}}},
        {"IconResource and another IconFile, icon chosen", Ini(only + L"IconFile=other.ico\r\nIconIndex=7\r\n"),
         Act::ChooseIcon, true, false, {{L"IconFile", lib}, {L"IconIndex", L"3"}, {L"IconResource", lib + L",3"}}},
    };
    for (const KeepRow& row : rows)
        Run(row);
}

TEST_F(FolderApplyKeeps, AnsiFilesTakeUnicodeOnlyWhereTheirCodePageCannotHoldIt)
{
    // The test prefix's ANSI code page; the rows' own bytes assume 1252.
    ASSERT_EQ(GetACP(), 1252u);
    const std::wstring japanese = L"\u65E5\u672C\u8A9E\u306E\u8AAC\u660E";
    // An ANSI file with a comment, another section and a Latin-1 value.
    const std::string ansi =
        "; written by hand\r\n[.ShellClassInfo]\r\nIconIndex=7\r\nLocalizedResourceName=@x.dll,-1\r\n"
        "\r\n[Other]\r\nName=Caf\xE9\r\n";
    Run({"ANSI, Latin-1 InfoTip", ansi, Act::TypeInfoTip, false, false, {{L"InfoTip", L"Caf\u00E9"}}, L"Caf\u00E9"});
    std::string latin = ReadBytes(ini);
    EXPECT_NE(latin.substr(0, 2), std::string("\xFF\xFE", 2)) << "a text that fits must keep the file ANSI";
    EXPECT_NE(latin.find("InfoTip=Caf\xE9"), std::string::npos) << latin;

    Run({"ANSI, Japanese InfoTip", ansi, Act::TypeInfoTip, false, false, {{L"InfoTip", japanese}}, japanese});
    std::wstring text = ReadUnicodeFile(ini);
    ASSERT_FALSE(text.empty()) << "not converted to UTF-16 with its byte-order mark";
    // Every line of the ANSI file is still there, "Café" included.
    for (const wchar_t* line : {L"; written by hand\r\n", L"\n[.ShellClassInfo]\r\n",
                                L"\nLocalizedResourceName=@x.dll,-1\r\n", L"\n[Other]\r\n", L"\nName=Caf\u00E9\r\n"})
        EXPECT_NE(text.find(line), std::wstring::npos) << testing::PrintToString(text);
    EXPECT_EQ(ReadProfile(ini, L"Other", L"Name"), L"Caf\u00E9");
    // And the page shows the text again.
    FolderSheet sheet(folder);
    EXPECT_EQ(WindowText(Item(sheet.page, kInfoTipEdit)), japanese);
    sheet.host.PressCancel();
}

TEST_F(FolderPageTest, Utf16WithoutByteOrderMarkIsNeitherEditedNorWritten)
{
    const std::string before =
        UnicodeBytes(L"[.ShellClassInfo]\r\nIconResource=C:\\a.dll,-3\r\nInfoTip=t\r\n[Other]\r\nA=1\r\n", false);
    ASSERT_TRUE(WriteBytes(ini, before));
    FolderSheet sheet(folder);
    for (int id : {kInfoTipEdit, kChangeIcon, kDefaultIcon, kChangeLabel})
        EXPECT_FALSE(IsEnabled(sheet.page, id)) << id;
    sheet.host.PressOk();
    EXPECT_EQ(ReadBytes(ini), before);
    EXPECT_TRUE(spy->CallsOf(L"write ").empty()) << spy->CallsOf(L"write ").front();
}

TEST_F(FolderPageTest, ADesktopIniThatIsADirectoryKeepsItsAttributes)
{
    ASSERT_TRUE(CreateDirectoryW(ini.c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY));
    FolderSheet sheet(folder);
    for (int id : {kInfoTipEdit, kChangeIcon, kDefaultIcon, kChangeLabel})
        EXPECT_FALSE(IsEnabled(sheet.page, id)) << id;
    sheet.host.PressOk();
    EXPECT_TRUE(spy->CallsOf(L"attributes " + ini).empty()) << spy->CallsOf(L"attributes " + ini).front();
    EXPECT_EQ(spy->CallsOf(L"attributes " + folder + L" ").size(), 1u);
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// ---------------------------------------------------------------------------
// Redirected-folder page

class RedirectedPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(Dll().module, nullptr);
        spy.reset(new ImportSpy(Dll().module));
        std::wstring netHood = NetworkShortcutsFolder();
        ASSERT_FALSE(netHood.empty());
        folder = netHood + L"\\Share " + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        ini = folder + L"\\Desktop.ini";
    }
    void TearDown() override
    {
        spy.reset();
        RemoveTree(folder);
        EXPECT_EQ(Dll().canUnloadNow(), S_OK);
    }

    std::wstring folder, ini;
    std::unique_ptr<ImportSpy> spy;
};

TEST_F(RedirectedPageTest, ShowsOnlyTheLabelAndTheShortcutButton)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconFile=C:\\a.ico\r\nInfoTip=t\r\n"));
    FolderSheet sheet(folder);
    HWND page = sheet.page;
    SavePicture(sheet.host.Sheet(), L"redirected_page");
    EXPECT_NE(Item(page, kTargetProperties), nullptr);
    EXPECT_EQ(Item(page, kChangeIcon), nullptr);
    EXPECT_EQ(Item(page, kInfoTipEdit), nullptr);
    EXPECT_TRUE(IsEnabled(page, kChangeLabel));
    EXPECT_TRUE(IsReadOnlyEdit(page, kLabelEdit));
    EXPECT_FALSE(IsModified(page, kLabelEdit));
    EXPECT_FALSE(sheet.host.ApplyEnabled());
    sheet.host.PressCancel();
}

TEST_F(RedirectedPageTest, TargetButtonOpensTheShortcutProperties)
{
    FolderSheet sheet(folder);
    Click(sheet.page, kTargetProperties);
    EXPECT_EQ(spy->CallsOf(L"execute "),
              std::vector<std::wstring>{L"execute properties " + folder + L"\\target.lnk <null> " + folder + L" 5"});
    EXPECT_EQ(spy->executeOwner, sheet.page);
    EXPECT_FALSE(sheet.host.ApplyEnabled());
    sheet.host.PressCancel();
}

TEST_F(RedirectedPageTest, OkWritesNothingButStillRunsTheEnvelope)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconFile=C:\\a.ico\r\nIconIndex=2\r\nInfoTip=t\r\n"));
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_ARCHIVE));
    FolderSheet sheet(folder);
    sheet.host.PressOk();
    EXPECT_TRUE(spy->CallsOf(L"write ").empty());
    EXPECT_EQ(ReadProfile(ini, kSection, L"IconFile"), L"C:\\a.ico");
    EXPECT_EQ(ReadProfile(ini, kSection, L"InfoTip"), L"t");
    EXPECT_EQ(Attributes(ini), 0x26u);
    EXPECT_EQ(spy->CallsOf(L"attributes " + folder + L" "),
              std::vector<std::wstring>{L"attributes " + folder + L" 11"});
    EXPECT_EQ(spy->CallsOf(L"notify "),
              (std::vector<std::wstring>{L"notify 20000 1005 " + folder + L" " + folder,
                                         L"notify 2000 5 " + folder + L" <null>"}));
}

TEST_F(RedirectedPageTest, PickedLabelIsWrittenAndDefaultDeletesIt)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nLocalizedResourceName=" + Strings(1) + L"\r\n"));
    {
        FolderSheet sheet(folder);
        EXPECT_EQ(WindowText(Item(sheet.page, kLabelEdit)), L"Alpha");
        ASSERT_TRUE(AnswerStringPicker(sheet.page, kChangeLabel, 100).shown);
        EXPECT_EQ(WindowText(Item(sheet.page, kLabelEdit)), L"Hundred");
        EXPECT_TRUE(IsModified(sheet.page, kLabelEdit));
        EXPECT_TRUE(sheet.host.ApplyEnabled());
        sheet.host.PressOk();
    }
    EXPECT_EQ(ReadProfile(ini, kSection, L"LocalizedResourceName"), Strings(100));
    {
        FolderSheet sheet(folder);
        ASSERT_TRUE(AnswerStringPicker(sheet.page, kChangeLabel, 0, IDC_PICKER_DEFAULT).shown);
        EXPECT_EQ(WindowText(Item(sheet.page, kLabelEdit)), L"");
        sheet.host.PressOk();
    }
    EXPECT_EQ(ReadProfile(ini, kSection, L"LocalizedResourceName"), L"<missing>");
}

TEST_F(RedirectedPageTest, KeepsALongLabelAndLeavesUtf16WithoutMarkAlone)
{
    // A label of 300 characters: OK writes nothing, the bytes stay.
    const std::string longLabel = UnicodeBytes(L"[.ShellClassInfo]\r\nLocalizedResourceName=" + kLongLabel + L"\r\n");
    ASSERT_TRUE(WriteBytes(ini, longLabel));
    {
        FolderSheet sheet(folder);
        EXPECT_TRUE(IsEnabled(sheet.page, kChangeLabel));
        sheet.host.PressOk();
    }
    EXPECT_EQ(ReadBytes(ini), longLabel);

    // UTF-16 without byte-order mark: the label button is disabled and
    // nothing is written.
    const std::string noMark = UnicodeBytes(L"[.ShellClassInfo]\r\nLocalizedResourceName=@x.dll,-1\r\n", false);
    ASSERT_TRUE(WriteBytes(ini, noMark));
    {
        FolderSheet sheet(folder);
        EXPECT_FALSE(IsEnabled(sheet.page, kChangeLabel));
        EXPECT_TRUE(IsEnabled(sheet.page, kTargetProperties));
        sheet.host.PressOk();
    }
    EXPECT_EQ(ReadBytes(ini), noMark);
    EXPECT_TRUE(spy->CallsOf(L"write ").empty());
}

TEST_F(RedirectedPageTest, UnwritableDesktopIniDisablesOnlyTheLabelButton)
{
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\n"));
    AutoFile held(CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    FolderSheet sheet(folder);
    EXPECT_FALSE(IsEnabled(sheet.page, kChangeLabel));
    EXPECT_TRUE(IsEnabled(sheet.page, kTargetProperties));
    Click(sheet.page, kTargetProperties);
    EXPECT_EQ(spy->CallsOf(L"execute ").size(), 1u);
    held.Reset();
    sheet.host.PressCancel();
}

// ---------------------------------------------------------------------------
// Resources

TEST(FolderPageResources, TwoHundredOpenApplyClosesLeaveNothingBehind)
{
    ASSERT_NE(Dll().module, nullptr);
    TempDir dir;
    std::wstring folder = dir.MakeDir(L"Photos");
    std::wstring ini = folder + L"\\Desktop.ini";
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconFile=" + IconLibrary() +
                                          L"\r\nIconIndex=3\r\nLocalizedResourceName=" + Strings(1) + L"\r\n"));
    {
        // The DLL keeps what it looks up once (the common controls loaded
        // in its activation context) for its whole life: not counted.
        FolderSheet sheet(folder);
        sheet.host.PressCancel();
    }

    ImportSpy spy(Dll().module);
    // Every creating import the DLL has, with its destroying one: icons
    // (previews), bitmaps and memory DCs (banner), menus (What's This?) and
    // modules (string picker).
    for (const char* name : {"ExtractIconW", "DestroyIcon", "LoadBitmapW", "CreateBitmap", "CreateCompatibleBitmap",
                             "DeleteObject", "CreateCompatibleDC", "DeleteDC", "CreatePopupMenu", "DestroyMenu",
                             "LoadLibraryW", "LoadLibraryExW", "FreeLibrary"})
        EXPECT_TRUE(spy.Imports(name)) << name;
    spy.pickResult = 1;
    spy.pickPath = IconLibrary();
    spy.pickIndex = 4;

    for (int i = 0; i < 200; ++i) {
        FolderSheet sheet(folder);
        ASSERT_NE(sheet.page, nullptr) << "round " << i;
        // Paint the page (banner), choose an icon (a second preview), type,
        // apply and close.
        RedrawWindow(sheet.page, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        Click(sheet.page, kChangeIcon);
        TypeText(Item(sheet.page, kInfoTipEdit), L"x");
        // Now and then a label from the string picker, which loads and
        // frees modules.
        if (i % 20 == 0) {
            ASSERT_TRUE(AnswerStringPicker(sheet.page, kChangeLabel, 5).shown) << "round " << i;
        }
        sheet.host.PressApply();
        sheet.host.PressOk();
        ASSERT_EQ(spy.LiveHandles(), 0u) << "round " << i << ": " << spy.DescribeLive();
    }
    // Every round made at least the two previews and one banner (a bitmap,
    // five DCs and four more bitmaps).
    EXPECT_GE(spy.HandlesMade(), 200u * 12);
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);
}

}  // namespace
