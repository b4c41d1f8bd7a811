// The drive page of the real VolDress.dll, shown in the test host's property
// sheet for a drive letter of the test's own (Wine's shell does not load
// drive property-sheet handlers). The shell's icon dialog, its change
// notifications and the registry's refusal are reached through the DLL's
// import table.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "deliverables.h"
#include "drive_support.h"
#include "help_ids.h"
#include "host.h"
#include "import_spy.h"
#include "help_double.h"

namespace {

const int kDriveLabel = 1000;
const int kChangeDriveIcon = 1001;
const int kDriveIconPreview = 1002;
const int kDefaultDriveIcon = 1004;
const int kChangeDiskIcon = 1005;
const int kDefaultDiskIcon = 1006;
const int kDiskIconPreview = 1007;
const int kDiskLabel = 1009;

const wchar_t kShell32Icon[] = L"%SystemRoot%\\system32\\SHELL32.dll";

const Deliverable& Dll()
{
    static Deliverable dll = Deliverable::Load(kVolDress.dll);
    return dll;
}

// A user who may not write the machine's keys: while this is set, the DLL's
// registry opens and creates that ask for any write access are refused, as
// the machine's keys refuse them to a user who is not an administrator;
// reading still works. The page writes no other key.
bool g_denyMachineKeys = false;

bool AsksToWrite(REGSAM access)
{
    return (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER)) != 0;
}

LONG WINAPI OpenKeyUnlessDenied(HKEY key, LPCWSTR subkey, DWORD options, REGSAM access, PHKEY result)
{
    if (g_denyMachineKeys && AsksToWrite(access))
        return ERROR_ACCESS_DENIED;
    return RegOpenKeyExW(key, subkey, options, access, result);
}

LONG WINAPI CreateKeyUnlessDenied(HKEY key, LPCWSTR subkey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                  REGSAM access, const LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    if (g_denyMachineKeys && AsksToWrite(access))
        return ERROR_ACCESS_DENIED;
    return RegCreateKeyExW(key, subkey, reserved, keyClass, options, access, security, result, disposition);
}

// The page for a drive letter of the test's own. The shell's icon dialog
// (accepting unless told otherwise), its change notifications and the
// registry's refusal are reached through the DLL's import table.
class DrivePageTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(spy.Imports("PickIconDlg") && spy.Imports("SHChangeNotify"));
        ASSERT_TRUE(denyOpen.Installed() && denyCreate.Installed());
        ASSERT_TRUE(drive.Ready());
        spy.pickResult = 1;
        root = drive.Root();
        letter = drive.Letter();
    }
    void TearDown() override
    {
        sheet.reset();
        g_denyMachineKeys = false;
        EXPECT_EQ(Dll().canUnloadNow(), S_OK) << "something of the page outlived its sheet";
    }

    // Opens the page for a selection (CreateDropDataObject) or another data
    // object; the drive's root by default.
    HWND Open(IDataObject* data)
    {
        sheet.reset(new PropertySheetHost);
        HWND page = sheet->ShowExtension(Dll(), *kVolDress.clsid, data);
        EXPECT_EQ(sheet->TabCaption(), L"Customize");
        return page;
    }
    HWND Open() { return Open(CreateDropDataObject({root})); }

    static HICON Preview(HWND page, int id) { return ShownIcon(page, id); }
    static void SetText(HWND page, int id, const std::wstring& text) { SetDlgItemTextW(page, id, text.c_str()); }
    std::wstring DiskValue(const wchar_t* key) const { return ReadProfile(drive.AutoRun(), L"autorun", key); }
    // SHCNE_DRIVEADD for the root, by path and flushed.
    size_t DriveAdds() const
    {
        return spy.CallsOf(L"notify 100 1005 " + root + L" <null>").size();
    }
    size_t Notifications() const { return spy.CallsOf(L"notify ").size(); }
    size_t IconDialogs() const { return spy.CallsOf(L"pickicon ").size(); }

    ImportSpy spy{Dll().module};
    ImportPatch denyOpen{Dll().module, "advapi32.dll", "RegOpenKeyExW", reinterpret_cast<void*>(OpenKeyUnlessDenied)};
    ImportPatch denyCreate{Dll().module, "advapi32.dll", "RegCreateKeyExW",
                           reinterpret_cast<void*>(CreateKeyUnlessDenied)};
    TempDrive drive;
    std::wstring root;
    wchar_t letter = 0;
    std::unique_ptr<PropertySheetHost> sheet;
};

TEST_F(DrivePageTest, OpensWithBothStoresShown)
{
    ASSERT_TRUE(WriteIconFile(drive.Path(L"drive.ico")));
    CreateDirectoryW(drive.Path(L"icons").c_str(), nullptr);
    ASSERT_TRUE(WriteIconFile(drive.Path(L"icons\\disk.ico")));
    SetLetterValue(letter, L"DefaultLabel", L"Tools");
    SetLetterValue(letter, L"DefaultIcon", drive.Path(L"drive.ico"));
    WriteUnicodeFile(drive.AutoRun(), L"[autorun]\r\nlabel=Holiday disk\r\nicon=icons\\disk.ico\r\n");

    HWND page = Open();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(WindowText(Item(page, kDriveLabel)), L"Tools");
    EXPECT_EQ(WindowText(Item(page, kDiskLabel)), L"Holiday disk");
    EXPECT_NE(Preview(page, kDriveIconPreview), nullptr);
    EXPECT_NE(Preview(page, kDiskIconPreview), nullptr);
    for (int id : {kDriveLabel, kChangeDriveIcon, kDefaultDriveIcon, kDiskLabel, kChangeDiskIcon, kDefaultDiskIcon})
        EXPECT_TRUE(IsEnabled(page, id)) << id;
    EXPECT_FALSE(sheet->ApplyEnabled());
    SavePicture(sheet->Sheet(), L"voldress_page");

    // Nothing changed, and an apply writes it all back as it was.
    sheet->PressOk();
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"Tools");
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), drive.Path(L"drive.ico"));
    EXPECT_EQ(DiskValue(L"label"), L"Holiday disk");
    EXPECT_EQ(DiskValue(L"icon"), L"icons\\disk.ico");
    EXPECT_EQ(DriveAdds(), 1u);
}

TEST_F(DrivePageTest, TypedLabelsAreWrittenByOkAlthoughApplyNeverBecameEnabled)
{
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(WindowText(Item(page, kDriveLabel)), L"");
    EXPECT_EQ(WindowText(Item(page, kDiskLabel)), L"");
    EXPECT_EQ(Preview(page, kDriveIconPreview), nullptr);
    EXPECT_EQ(Preview(page, kDiskIconPreview), nullptr);

    SetFocus(Item(page, kDriveLabel));
    TypeText(Item(page, kDriveLabel), L"Backup");
    TypeText(Item(page, kDiskLabel), L"Fotos 2026 \u2013 \u00C5lesund");
    EXPECT_FALSE(sheet->ApplyEnabled());
    sheet->PressOk();

    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"Backup");
    EXPECT_FALSE(LetterSubkeyExists(letter, L"DefaultIcon"));
    EXPECT_EQ(DriveAdds(), 1u);
    EXPECT_EQ(DiskValue(L"label"), L"Fotos 2026 \u2013 \u00C5lesund");
    EXPECT_EQ(DiskValue(L"icon"), L"<missing>");
    EXPECT_EQ(ReadBytes(drive.AutoRun()).substr(0, 2), std::string("\xFF\xFE", 2));
    EXPECT_NE(Attributes(drive.AutoRun()) & FILE_ATTRIBUTE_HIDDEN, 0u);

    // The next opening shows both again.
    page = Open();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(WindowText(Item(page, kDriveLabel)), L"Backup");
    EXPECT_EQ(WindowText(Item(page, kDiskLabel)), L"Fotos 2026 \u2013 \u00C5lesund");
}

TEST_F(DrivePageTest, CancelWritesNothing)
{
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    TypeText(Item(page, kDriveLabel), L"Backup");
    TypeText(Item(page, kDiskLabel), L"Photos");
    spy.pickPath = kShell32Icon;
    spy.pickIndex = 3;
    Click(page, kChangeDriveIcon);
    Click(page, kChangeDiskIcon);
    EXPECT_TRUE(sheet->ApplyEnabled());
    sheet->PressCancel();

    EXPECT_FALSE(LetterKeyExists(letter));
    EXPECT_FALSE(FileExists(drive.AutoRun()));
    EXPECT_EQ(Notifications(), 0u);
}

TEST_F(DrivePageTest, DefaultIconAndEmptyLabelRemoveTheLetterKeyAndTellTheShell)
{
    ASSERT_TRUE(WriteIconFile(drive.Path(L"drive.ico")));
    SetLetterValue(letter, L"DefaultLabel", L"Old");
    SetLetterValue(letter, L"DefaultIcon", drive.Path(L"drive.ico"));
    WriteBytes(drive.AutoRun(), "[autorun]\r\nlabel=Disk\r\nicon=drive.ico\r\nopen=run.exe\r\n");

    HWND page = Open();
    ASSERT_NE(page, nullptr);
    ASSERT_NE(Preview(page, kDriveIconPreview), nullptr);
    ASSERT_NE(Preview(page, kDiskIconPreview), nullptr);
    SetText(page, kDriveLabel, L"");
    SetText(page, kDiskLabel, L"");
    Click(page, kDefaultDriveIcon);
    EXPECT_EQ(Preview(page, kDriveIconPreview), nullptr);
    EXPECT_TRUE(sheet->ApplyEnabled());
    Click(page, kDefaultDiskIcon);
    EXPECT_EQ(Preview(page, kDiskIconPreview), nullptr);
    sheet->PressOk();

    EXPECT_FALSE(LetterKeyExists(letter));
    EXPECT_EQ(DriveAdds(), 1u);
    ASSERT_EQ(Notifications(), 1u);
    // The disk keys go; the file and its other keys stay, hidden.
    EXPECT_EQ(DiskValue(L"label"), L"<missing>");
    EXPECT_EQ(DiskValue(L"icon"), L"<missing>");
    EXPECT_EQ(DiskValue(L"open"), L"run.exe");
    EXPECT_NE(Attributes(drive.AutoRun()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(DrivePageTest, EmptyPageOnANewDriveLeavesTheRegistryAsItWas)
{
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    sheet->PressOk();
    EXPECT_FALSE(LetterKeyExists(letter));
    EXPECT_EQ(DriveAdds(), 1u);
    EXPECT_FALSE(FileExists(drive.AutoRun()));
}

TEST_F(DrivePageTest, IconChosenWithAnEnvironmentPathSurvivesTheApply)
{
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    spy.pickPath = kShell32Icon;
    spy.pickIndex = 3;
    Click(page, kChangeDriveIcon);
    EXPECT_EQ(IconDialogs(), 1u);
    EXPECT_NE(Preview(page, kDriveIconPreview), nullptr) << "the chosen drive icon shows no preview";
    EXPECT_TRUE(sheet->ApplyEnabled());
    Click(page, kChangeDiskIcon);
    EXPECT_NE(Preview(page, kDiskIconPreview), nullptr);

    sheet->PressApply();
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), std::wstring(kShell32Icon) + L",3");
    EXPECT_EQ(DiskValue(L"icon"), std::wstring(kShell32Icon) + L",3");
    // Every apply writes again, whatever changed.
    DeleteLetterKey(letter);
    sheet->PressApply();
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), std::wstring(kShell32Icon) + L",3");
    EXPECT_EQ(DriveAdds(), 2u);
    sheet->PressOk();

    // Stored unexpanded, shown expanded the next time, kept again.
    page = Open();
    ASSERT_NE(page, nullptr);
    EXPECT_NE(Preview(page, kDriveIconPreview), nullptr);
    EXPECT_NE(Preview(page, kDiskIconPreview), nullptr);
    sheet->PressOk();
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), std::wstring(kShell32Icon) + L",3");
    EXPECT_EQ(DiskValue(L"icon"), std::wstring(kShell32Icon) + L",3");
}

TEST_F(DrivePageTest, CancelledIconDialogLeavesThePageUnchanged)
{
    ASSERT_TRUE(WriteIconFile(drive.Path(L"a.ico")));
    SetLetterValue(letter, L"DefaultIcon", drive.Path(L"a.ico"));
    WritePrivateProfileStringW(L"autorun", L"icon", L"a.ico", drive.AutoRun().c_str());

    HWND page = Open();
    ASSERT_NE(page, nullptr);
    HICON drivePreview = Preview(page, kDriveIconPreview);
    HICON diskPreview = Preview(page, kDiskIconPreview);
    ASSERT_NE(drivePreview, nullptr);
    ASSERT_NE(diskPreview, nullptr);

    spy.pickResult = 0;
    Click(page, kChangeDriveIcon);
    Click(page, kChangeDiskIcon);
    EXPECT_EQ(IconDialogs(), 2u);
    EXPECT_EQ(Preview(page, kDriveIconPreview), drivePreview);
    EXPECT_EQ(Preview(page, kDiskIconPreview), diskPreview);
    EXPECT_FALSE(sheet->ApplyEnabled());
    sheet->PressOk();
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), drive.Path(L"a.ico"));
    EXPECT_EQ(DiskValue(L"icon"), L"a.ico");
}

TEST_F(DrivePageTest, AfterApplyChangeIconIsSeededWithTheRootRelativeForm)
{
    CreateDirectoryW(drive.Path(L"icons").c_str(), nullptr);
    ASSERT_TRUE(WriteIconFile(drive.Path(L"icons\\disk.ico")));
    HWND page = Open();
    ASSERT_NE(page, nullptr);

    // The disk preview starts from the root path itself.
    spy.pickPath = drive.Path(L"icons\\disk.ico");
    Click(page, kChangeDiskIcon);
    EXPECT_EQ(spy.CallsOf(L"pickicon ").back(), L"pickicon " + root + L" 0");
    EXPECT_NE(Preview(page, kDiskIconPreview), nullptr);
    sheet->PressApply();
    EXPECT_EQ(DiskValue(L"icon"), L"icons\\disk.ico");

    spy.pickKeepsSeed = true;
    Click(page, kChangeDiskIcon);
    EXPECT_EQ(spy.CallsOf(L"pickicon ").back(), L"pickicon icons\\disk.ico 0");
    // Taking that form back unchanged still finds the icon on the disk, so
    // the next apply keeps it.
    EXPECT_NE(Preview(page, kDiskIconPreview), nullptr);
    sheet->PressOk();
    EXPECT_EQ(DiskValue(L"icon"), L"icons\\disk.ico");
}

TEST_F(DrivePageTest, StoredIconsThatGiveNoIconStayUntilTheyAreChanged)
{
    SetLetterValue(letter, L"DefaultLabel", L"Keep");
    SetLetterValue(letter, L"DefaultIcon", drive.Path(L"missing.ico"));
    WriteBytes(drive.AutoRun(), "[autorun]\r\nlabel=Disk\r\nicon=missing.ico,2\r\n");
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Preview(page, kDriveIconPreview), nullptr);
    EXPECT_EQ(Preview(page, kDiskIconPreview), nullptr);
    sheet->PressOk();
    // A disk that is not inserted, a library not installed yet: the icon is
    // the person's setting all the same.
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"Keep");
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), drive.Path(L"missing.ico"));
    EXPECT_EQ(DiskValue(L"label"), L"Disk");
    EXPECT_EQ(DiskValue(L"icon"), L"missing.ico,2");

    // Default Icon removes it, and so does a choice that gives no icon.
    page = Open();
    ASSERT_NE(page, nullptr);
    Click(page, kDefaultDriveIcon);
    spy.pickPath = drive.Path(L"also-missing.ico");
    Click(page, kChangeDiskIcon);
    EXPECT_EQ(Preview(page, kDiskIconPreview), nullptr);
    sheet->PressOk();
    EXPECT_FALSE(LetterSubkeyExists(letter, L"DefaultIcon"));
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"Keep");
    EXPECT_EQ(DiskValue(L"icon"), L"<missing>");
    EXPECT_EQ(DiskValue(L"label"), L"Disk");
}

// What an apply does to each stored value the page cannot show whole, or
// cannot show at all, when the person does nothing, changes another field
// of the same store, or changes this field. Only the last writes it.
TEST_F(DrivePageTest, ApplyWritesWhatThePageCouldNotReadWholeOnlyWhenItWasChanged)
{
    enum Field { kDriveLabelField, kDriveIconField, kDiskLabelField, kDiskIconField };
    enum Action { kNothing, kOtherField, kThisField };
    const char* const actionNames[] = {"nothing", "another field", "this field"};
    const DWORD seven = 7;
    const std::string dword(reinterpret_cast<const char*>(&seven), sizeof(seven));
    const std::wstring chosenIcon = std::wstring(kShell32Icon) + L",3";
    struct Case {
        const char* what;
        Field field;
        DWORD type;           // drive-letter fields: the stored value's type and bytes
        std::string value;
        std::wstring line;    // disk fields: the key's line in AutoRun.inf
        bool withoutMark;     // disk fields: AutoRun.inf is UTF-16 without a byte-order mark
        bool directory;       // disk fields: AutoRun.inf is a directory
        std::wstring shown;   // label fields: what the edit shows
    } cases[] = {
        {"DefaultLabel of 300", kDriveLabelField, REG_SZ, RegSzBytes(std::wstring(300, L'y')), L"", false, false,
         std::wstring(259, L'y')},
        {"REG_DWORD DefaultLabel", kDriveLabelField, REG_DWORD, dword, L"", false, false, L""},
        {"REG_BINARY DefaultLabel", kDriveLabelField, REG_BINARY, "\x01\x02\x03", L"", false, false, L""},
        {"DefaultIcon of 400", kDriveIconField, REG_SZ, RegSzBytes(std::wstring(400, L'z') + L",1"), L"", false,
         false, L""},
        {"REG_DWORD DefaultIcon", kDriveIconField, REG_DWORD, dword, L"", false, false, L""},
        {"DefaultIcon of a missing file", kDriveIconField, REG_SZ, RegSzBytes(L"C:\\missing\\drive.ico,4"), L"",
         false, false, L""},
        {"AutoRun.inf label of 300", kDiskLabelField, 0, "", L"label=" + std::wstring(300, L'y'), false, false,
         std::wstring(259, L'y')},
        {"missing disk icon", kDiskIconField, 0, "", L"icon=missing.ico,2", false, false, L""},
        {"disk icon index past the last icon", kDiskIconField, 0, "", L"icon=a.ico,5", false, false, L""},
        {"disk icon location of 286", kDiskIconField, 0, "", L"icon=" + std::wstring(280, L'z') + L".ico,1", false,
         false, L""},
        {"UTF-16 AutoRun.inf without byte-order mark", kDiskLabelField, 0, "", L"label=Holiday", true, false, L""},
        {"AutoRun.inf that is a directory", kDiskLabelField, 0, "", L"", false, true, L""},
    };
    ASSERT_TRUE(WriteIconFile(drive.Path(L"a.ico")));
    for (const Case& c : cases) {
        for (Action action : {kNothing, kOtherField, kThisField}) {
            SCOPED_TRACE(testing::Message() << c.what << ", the person changes " << actionNames[action]);
            spy.calls.clear();
            DeleteLetterKey(letter);
            SetFileAttributesW(drive.AutoRun().c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(drive.AutoRun().c_str());
            RemoveDirectoryW(drive.AutoRun().c_str());

            const bool onDisk = c.field == kDiskLabelField || c.field == kDiskIconField;
            const bool isLabel = c.field == kDriveLabelField || c.field == kDiskLabelField;
            const bool usable = !c.withoutMark && !c.directory;
            const wchar_t* subkey = c.field == kDriveLabelField ? L"DefaultLabel" : L"DefaultIcon";
            const std::wstring text = L"[autorun]\r\nopen=setup.exe\r\n" + c.line + L"\r\n";
            if (!onDisk)
                SetLetterRaw(letter, subkey, c.type, c.value);
            else if (c.directory)
                ASSERT_TRUE(CreateDirectoryW(drive.AutoRun().c_str(), nullptr));
            else
                ASSERT_TRUE(WriteBytes(drive.AutoRun(), UnicodeBytes(text, !c.withoutMark)));
            const LetterValue registryBefore = onDisk ? LetterValue() : ReadLetterRaw(letter, subkey);
            const std::string fileBefore = onDisk && !c.directory ? ReadBytes(drive.AutoRun()) : std::string();
            const DWORD attributesBefore = Attributes(drive.AutoRun());

            HWND page = Open();
            ASSERT_NE(page, nullptr);
            for (int id : {kDiskLabel, kChangeDiskIcon, kDefaultDiskIcon})
                EXPECT_EQ(IsEnabled(page, id), usable) << id;
            if (isLabel && usable) {
                EXPECT_EQ(WindowText(Item(page, c.field == kDriveLabelField ? kDriveLabel : kDiskLabel)), c.shown);
            }

            spy.pickPath = kShell32Icon;
            spy.pickIndex = 3;
            // The other field of the same store; the drive label when the
            // disk cannot be written at all.
            const Field other = !usable                        ? kDriveLabelField
                                : c.field == kDriveLabelField ? kDriveIconField
                                : c.field == kDriveIconField  ? kDriveLabelField
                                : c.field == kDiskLabelField  ? kDiskIconField
                                                              : kDiskLabelField;
            const Field changed = action == kThisField ? c.field : other;
            if (action != kNothing) {
                if (changed == kDriveLabelField || changed == kDiskLabelField) {
                    int edit = changed == kDriveLabelField ? kDriveLabel : kDiskLabel;
                    // Typed as a person types, also into a disabled edit.
                    SetText(page, edit, L"");
                    TypeText(Item(page, edit), L"New");
                } else {
                    // Sent to the page also when the button is disabled.
                    SendMessageW(page, WM_COMMAND,
                                 MAKEWPARAM(changed == kDriveIconField ? kChangeDriveIcon : kChangeDiskIcon, BN_CLICKED),
                                 0);
                }
            }
            sheet->PressOk();

            if (action == kThisField && usable) {
                std::wstring expected = isLabel ? L"New" : chosenIcon;
                EXPECT_EQ(onDisk ? DiskValue(isLabel ? L"label" : L"icon") : ReadLetterValue(letter, subkey), expected);
                continue;
            }
            if (!onDisk) {
                EXPECT_EQ(ReadLetterRaw(letter, subkey), registryBefore);
            } else if (c.directory) {
                EXPECT_EQ(Attributes(drive.AutoRun()), attributesBefore);
                EXPECT_TRUE(spy.CallsOf(L"attributes " + drive.AutoRun()).empty());
            } else if (action == kNothing || !usable) {
                EXPECT_EQ(ReadBytes(drive.AutoRun()), fileBefore);
                if (!usable) {
                    EXPECT_EQ(Attributes(drive.AutoRun()), attributesBefore);
                }
            } else {
                std::string after = ReadBytes(drive.AutoRun());
                std::wstring line = L"\r\n" + c.line + L"\r\n";
                EXPECT_NE(after.find(UnicodeBytes(line, false)), std::string::npos)
                    << "the line is not in AutoRun.inf as it was";
            }
            // The other field's change was stored.
            if (action == kOtherField) {
                if (other == kDriveLabelField)
                    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"New");
                else if (other == kDriveIconField)
                    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), chosenIcon);
                else
                    EXPECT_EQ(DiskValue(other == kDiskLabelField ? L"label" : L"icon"),
                              other == kDiskLabelField ? L"New" : chosenIcon);
            }
        }
    }
}

// Without write access to the drive letter's key (any user who is not an
// administrator), whether it exists yet or not, its controls are disabled
// when the page opens; the disk's stay usable.
TEST_F(DrivePageTest, WithoutWriteAccessToTheMachineKeysTheDriveLetterControlsAreDisabled)
{
    for (bool keyExists : {true, false}) {
        SCOPED_TRACE(keyExists ? "letter key exists" : "no letter key");
        spy.calls.clear();
        DeleteLetterKey(letter);
        if (keyExists)
            SetLetterValue(letter, L"DefaultLabel", L"Old");
        g_denyMachineKeys = true;
        HWND page = Open();
        ASSERT_NE(page, nullptr);
        for (int id : {kDriveLabel, kChangeDriveIcon, kDefaultDriveIcon})
            EXPECT_FALSE(IsEnabled(page, id)) << id;
        for (int id : {kDiskLabel, kChangeDiskIcon, kDefaultDiskIcon})
            EXPECT_TRUE(IsEnabled(page, id)) << id;
        EXPECT_EQ(WindowText(Item(page, kDriveLabel)), keyExists ? L"Old" : L"");

        // A click that reaches the page anyway opens nothing.
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(kChangeDriveIcon, BN_CLICKED), 0);
        EXPECT_EQ(IconDialogs(), 0u);
        TypeText(Item(page, kDiskLabel), L"Photos");
        spy.pickPath = kShell32Icon;
        spy.pickIndex = 3;
        Click(page, kChangeDiskIcon);
        sheet->PressOk();
        g_denyMachineKeys = false;

        EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), keyExists ? L"Old" : L"<missing>");
        EXPECT_EQ(LetterKeyExists(letter), keyExists);
        EXPECT_EQ(Notifications(), 0u);
        EXPECT_EQ(DiskValue(L"label"), L"Photos");
        EXPECT_EQ(DiskValue(L"icon"), std::wstring(kShell32Icon) + L",3");
        SetFileAttributesW(drive.AutoRun().c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(drive.AutoRun().c_str());
    }

    // With write access the same key leaves them enabled.
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    for (int id : {kDriveLabel, kChangeDriveIcon, kDefaultDriveIcon})
        EXPECT_TRUE(IsEnabled(page, id)) << id;
}

// Where DriveIcons is redirected (XP x64, Vista), the 64-bit Explorer reads
// only the 64-bit view: the page reads and writes there, also in the x86
// build.
TEST_F(DrivePageTest, DriveLetterSettingsGoToThe64BitViewWhereTheKeyIsRedirected)
{
    RedirectedDriveIcons redirected;
    ASSERT_TRUE(redirected.Ready());
    SetLetterValue(letter, L"DefaultLabel", L"Seen by the 64-bit Explorer");
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(WindowText(Item(page, kDriveLabel)), L"Seen by the 64-bit Explorer");
    EXPECT_TRUE(IsEnabled(page, kDriveLabel));
    SetText(page, kDriveLabel, L"Backup");
    sheet->PressOk();
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"Backup");
    EXPECT_FALSE(LetterKeyInWow64Node(letter));
    EXPECT_EQ(DriveAdds(), 1u);
}

TEST_F(DrivePageTest, WithoutWriteAccessToTheMachineKeysTheDiskIsStillWritten)
{
    SetLetterValue(letter, L"DefaultLabel", L"Old");
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    SetText(page, kDriveLabel, L"New");
    TypeText(Item(page, kDiskLabel), L"Photos");
    spy.pickPath = kShell32Icon;
    spy.pickIndex = 3;
    Click(page, kChangeDiskIcon);
    g_denyMachineKeys = true;
    sheet->PressOk();

    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"Old");
    EXPECT_EQ(Notifications(), 0u);
    EXPECT_EQ(DiskValue(L"label"), L"Photos");
    EXPECT_EQ(DiskValue(L"icon"), std::wstring(kShell32Icon) + L",3");
}

TEST_F(DrivePageTest, LongestLocationsRoundTripThroughBothStores)
{
    // A library at a 259-character path on the disk whose icon is named by
    // the resource id 235, that is the index -235.
    std::wstring library = MakeLongPath(root, MAX_PATH - 1, L".dll");
    ASSERT_EQ(library.size(), 259u);
    ASSERT_TRUE(WriteIconLibrary(ProgramFile(kVolDress.dll), library, 235));
    ASSERT_NE(ExtractIconW(GetModuleHandleW(nullptr), library.c_str(), static_cast<UINT>(-235)), nullptr);
    std::wstring location = library + L",4294967061";
    SetLetterValue(letter, L"DefaultIcon", location);
    WritePrivateProfileStringW(L"autorun", L"icon", (library.substr(3) + L",4294967061").c_str(),
                               drive.AutoRun().c_str());

    HWND page = Open();
    ASSERT_NE(page, nullptr);
    EXPECT_NE(Preview(page, kDriveIconPreview), nullptr) << "the longest drive icon location was not read whole";
    EXPECT_NE(Preview(page, kDiskIconPreview), nullptr) << "the longest disk icon location was not read whole";
    sheet->PressOk();
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), location);
    EXPECT_EQ(DiskValue(L"icon"), library.substr(3) + L",4294967061");

    // Chosen through the icon dialog, the same.
    DeleteLetterKey(letter);
    page = Open();
    ASSERT_NE(page, nullptr);
    spy.pickPath = library;
    spy.pickIndex = -235;
    Click(page, kChangeDriveIcon);
    EXPECT_NE(Preview(page, kDriveIconPreview), nullptr);
    sheet->PressOk();
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), location);
}

TEST_F(DrivePageTest, WithoutADriveRootThePageIsDisabledAndWritesNothing)
{
    CreateDirectoryW(drive.Path(L"folder").c_str(), nullptr);
    SetLetterValue(letter, L"DefaultLabel", L"Untouched");
    std::wstring cwdAutoRun = ProgramFile(L"AutoRun.inf");
    const std::vector<std::vector<std::wstring>> selections = {
        {},                                      // no CF_HDROP at all
        {L""},                                   // an empty path
        {root.substr(0, 2)},                     // "Q:"
        {drive.Path(L"folder\\")},               // a folder, not a root
    };
    for (const auto& selection : selections) {
        SCOPED_TRACE(selection.empty() ? std::string("no selection")
                                       : std::string(selection[0].begin(), selection[0].end()));
        HWND page = Open(selection.empty() ? CreateEmptyDataObject() : CreateDropDataObject(selection));
        ASSERT_NE(page, nullptr);
        for (int id : {kDriveLabel, kChangeDriveIcon, kDefaultDriveIcon, kDiskLabel, kChangeDiskIcon,
                       kDefaultDiskIcon})
            EXPECT_FALSE(IsEnabled(page, id)) << id;
        EXPECT_EQ(WindowText(Item(page, kDriveLabel)), L"");
        // Even a click that reaches the page changes nothing.
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(kChangeDriveIcon, BN_CLICKED), 0);
        EXPECT_EQ(IconDialogs(), 0u);
        sheet->PressOk();
    }
    EXPECT_EQ(Notifications(), 0u);
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"Untouched");
    EXPECT_FALSE(FileExists(drive.AutoRun()));
    EXPECT_FALSE(FileExists(drive.Path(L"folder\\AutoRun.inf")));
    EXPECT_FALSE(FileExists(cwdAutoRun));
}

// ---------------------------------------------------------------------------
// Banner, help and preview icons

TEST_F(DrivePageTest, PaintsBanner104AndAnswersHelpFromVolDressTxt)
{
    // The library the deliverable binds at its first help request.
    HelpDoubleRegistration registration;
    HelpCallLog* log = HelpDoubleLog();
    ASSERT_NE(log, nullptr) << "HtmlHelpDouble.dll is not beside the test";

    HWND page = Open();
    ASSERT_NE(page, nullptr);
    spy.bitmapNames.clear();
    InvalidateRect(page, nullptr, TRUE);
    UpdateWindow(page);
    ASSERT_FALSE(spy.bitmapNames.empty());
    EXPECT_EQ(spy.bitmapNames.back(), 104u);

    for (const DWORD* pair = DrivePageHelpIds; pair[0] != 0; pair += 2) {
        int id = static_cast<int>(pair[0]);
        ASSERT_NE(Item(page, id), nullptr) << id;
        LONG before = log->calls;
        ASSERT_LT(before, static_cast<LONG>(kRecordedHelpCalls));
        SendHelp(page, id);
        ASSERT_EQ(log->calls, before + 1) << "control " << id;
        ExpectHelpCall(log->call[before], Item(page, id), ProgramFile(L"QLNHELP.chm::/VolDress.txt"), DrivePageHelpIds);
    }
}

TEST_F(DrivePageTest, EveryPreviewIconIsDestroyedWithThePage)
{
    ASSERT_TRUE(WriteIconFile(drive.Path(L"a.ico")));
    SetLetterValue(letter, L"DefaultIcon", drive.Path(L"a.ico"));
    WritePrivateProfileStringW(L"autorun", L"icon", L"a.ico", drive.AutoRun().c_str());

    for (int round = 0; round < 3; ++round) {
        HWND page = Open();
        ASSERT_NE(page, nullptr);
        spy.pickPath = kShell32Icon;
        spy.pickIndex = round;
        Click(page, kChangeDriveIcon);
        Click(page, kChangeDiskIcon);
        sheet->PressApply();
        spy.pickPath = drive.Path(L"a.ico");
        spy.pickIndex = 0;
        Click(page, kChangeDiskIcon);
        Click(page, kDefaultDriveIcon);
        Click(page, kChangeDriveIcon);
        sheet->PressCancel();
    }
    EXPECT_GT(spy.icons.made, 12u);
    EXPECT_EQ(spy.icons.destroyed, spy.icons.made);
    EXPECT_TRUE(spy.icons.live.empty()) << spy.DescribeLive();
}

}  // namespace
