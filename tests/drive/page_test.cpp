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
#include "htmlhelp_double.h"

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

// ---------------------------------------------------------------------------
// Test doubles behind the DLL's imports

// PickIconDlg (shell32 ordinal 62) is a stub in Wine; this one records how the
// page seeds it and answers as the test says.
struct IconDialog {
    int calls = 0;
    std::wstring seedPath;
    int seedIndex = 0;
    bool accept = true;
    bool keepSeed = false;  // accept the seed unchanged
    std::wstring answerPath;
    int answerIndex = 0;
} g_iconDialog;

int WINAPI AnswerPickIconDlg(HWND, PWSTR path, UINT capacity, int* index)
{
    ++g_iconDialog.calls;
    g_iconDialog.seedPath = path;
    g_iconDialog.seedIndex = *index;
    if (!g_iconDialog.accept)
        return 0;
    if (!g_iconDialog.keepSeed) {
        if (g_iconDialog.answerPath.size() >= capacity)
            return 0;
        wcscpy(path, g_iconDialog.answerPath.c_str());
        *index = g_iconDialog.answerIndex;
    }
    return 1;
}

struct Notification {
    LONG event;
    UINT flags;
    std::wstring path;
};
std::vector<Notification> g_notifications;
decltype(&SHChangeNotify) g_realNotify = nullptr;

void WINAPI RecordChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2)
{
    g_notifications.push_back({event, flags, item1 ? static_cast<const wchar_t*>(item1) : L"<null>"});
    g_realNotify(event, flags, item1, item2);
}

// A user who may not write the machine's keys.
bool g_denyMachineKeys = false;
decltype(&RegCreateKeyW) g_realCreateKey = nullptr;

LONG WINAPI CreateKeyUnlessDenied(HKEY key, LPCWSTR subkey, PHKEY result)
{
    if (g_denyMachineKeys && key == HKEY_LOCAL_MACHINE)
        return ERROR_ACCESS_DENIED;
    return g_realCreateKey(key, subkey, result);
}

void PatchDllImports()
{
    if (g_realNotify)
        return;
    HMODULE module = Dll().module;
    ASSERT_NE(module, nullptr);
    ASSERT_NE(PatchImportOrdinal(module, "shell32.dll", 62, reinterpret_cast<void*>(AnswerPickIconDlg)), nullptr);
    g_realNotify = reinterpret_cast<decltype(g_realNotify)>(
        PatchImport(module, "shell32.dll", "SHChangeNotify", reinterpret_cast<void*>(RecordChangeNotify)));
    g_realCreateKey = reinterpret_cast<decltype(g_realCreateKey)>(
        PatchImport(module, "advapi32.dll", "RegCreateKeyW", reinterpret_cast<void*>(CreateKeyUnlessDenied)));
    ASSERT_NE(g_realNotify, nullptr);
    ASSERT_NE(g_realCreateKey, nullptr);
}

// ---------------------------------------------------------------------------
// The page in a sheet

class DrivePageTest : public testing::Test {
protected:
    void SetUp() override
    {
        PatchDllImports();
        ASSERT_TRUE(drive.Ready());
        g_iconDialog = IconDialog();
        g_notifications.clear();
        g_denyMachineKeys = false;
        root = drive.Root();
        letter = drive.Letter();
    }
    void TearDown() override
    {
        sheet.reset();
        g_denyMachineKeys = false;
        EXPECT_EQ(Dll().canUnloadNow(), S_OK) << "something of the page outlived its sheet";
    }

    // Opens the page for `items` (the CF_HDROP list) or, with no items, for
    // a data object without CF_HDROP.
    HWND Open(const std::vector<std::wstring>& items)
    {
        IShellExtInit* init = nullptr;
        EXPECT_EQ(Dll().Create(*kVolDress.clsid, IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
        if (!init)
            return nullptr;
        IDataObject* data = items.empty() ? CreateEmptyDataObject() : CreateDropDataObject(items);
        EXPECT_EQ(init->Initialize(nullptr, data, nullptr), S_OK);
        data->Release();
        IShellPropSheetExt* sheetExt = nullptr;
        EXPECT_EQ(init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheetExt)), S_OK);
        init->Release();
        sheet.reset(new PropertySheetHost);
        EXPECT_EQ(sheetExt->AddPages(PropertySheetHost::AddPage, reinterpret_cast<LPARAM>(sheet.get())), S_OK);
        sheetExt->Release();
        EXPECT_EQ(sheet->PageCount(), 1u);
        if (!sheet->Show())
            return nullptr;
        HWND page = sheet->CurrentPage();
        EXPECT_NE(page, nullptr);
        WCHAR tab[64] = L"";
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = tab;
        item.cchTextMax = ARRAYSIZE(tab);
        SendMessageW(PropSheet_GetTabControl(sheet->Sheet()), TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(tab, L"Customize");
        return page;
    }
    HWND Open() { return Open({root}); }

    static HICON Preview(HWND page, int id)
    {
        return reinterpret_cast<HICON>(SendDlgItemMessageW(page, id, STM_GETIMAGE, IMAGE_ICON, 0));
    }
    static void SetText(HWND page, int id, const std::wstring& text)
    {
        SetDlgItemTextW(page, id, text.c_str());
    }
    std::wstring DiskValue(const wchar_t* key) const
    {
        return ReadProfile(drive.AutoRun(), L"autorun", key);
    }
    size_t DriveAdds() const
    {
        size_t count = 0;
        for (const Notification& n : g_notifications)
            count += n.event == SHCNE_DRIVEADD && n.flags == 0x1005u && n.path == root;
        return count;
    }

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
    // Wine paints a new sheet's controls a little after it is shown.
    PumpMessages(300);
    SaveScreenshot(sheet->Sheet(), L"voldress_page");

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
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, DriveIconsKey(letter) + L"\\DefaultIcon"));
#ifndef _WIN64
    EXPECT_TRUE(LetterKeyInWow64Node(letter));
#endif
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
    g_iconDialog.answerPath = kShell32Icon;
    g_iconDialog.answerIndex = 3;
    Click(page, kChangeDriveIcon);
    Click(page, kChangeDiskIcon);
    EXPECT_TRUE(sheet->ApplyEnabled());
    sheet->PressCancel();

    EXPECT_FALSE(LetterKeyExists(letter));
    EXPECT_FALSE(FileExists(drive.AutoRun()));
    EXPECT_TRUE(g_notifications.empty());
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
    ASSERT_EQ(g_notifications.size(), 1u);
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
    g_iconDialog.answerPath = kShell32Icon;
    g_iconDialog.answerIndex = 3;
    Click(page, kChangeDriveIcon);
    EXPECT_EQ(g_iconDialog.calls, 1);
    EXPECT_NE(Preview(page, kDriveIconPreview), nullptr) << "the chosen drive icon shows no preview";
    EXPECT_TRUE(sheet->ApplyEnabled());
    Click(page, kChangeDiskIcon);
    EXPECT_NE(Preview(page, kDiskIconPreview), nullptr);

    sheet->PressApply();
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), std::wstring(kShell32Icon) + L",3");
    EXPECT_EQ(DiskValue(L"icon"), std::wstring(kShell32Icon) + L",3");
    // Every apply writes again, whatever changed.
    DeleteRegTree(HKEY_LOCAL_MACHINE, DriveIconsKey(letter));
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

    g_iconDialog.accept = false;
    Click(page, kChangeDriveIcon);
    Click(page, kChangeDiskIcon);
    EXPECT_EQ(g_iconDialog.calls, 2);
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
    g_iconDialog.answerPath = drive.Path(L"icons\\disk.ico");
    Click(page, kChangeDiskIcon);
    EXPECT_EQ(g_iconDialog.seedPath, root);
    EXPECT_NE(Preview(page, kDiskIconPreview), nullptr);
    sheet->PressApply();
    EXPECT_EQ(DiskValue(L"icon"), L"icons\\disk.ico");

    g_iconDialog.keepSeed = true;
    Click(page, kChangeDiskIcon);
    EXPECT_EQ(g_iconDialog.seedPath, L"icons\\disk.ico");
    EXPECT_EQ(g_iconDialog.seedIndex, 0);
    // Taking that form back unchanged still finds the icon on the disk, so
    // the next apply keeps it.
    EXPECT_NE(Preview(page, kDiskIconPreview), nullptr);
    sheet->PressOk();
    EXPECT_EQ(DiskValue(L"icon"), L"icons\\disk.ico");
}

TEST_F(DrivePageTest, StoredIconsThatGiveNoIconAreRemovedAtTheNextApply)
{
    SetLetterValue(letter, L"DefaultLabel", L"Keep");
    SetLetterValue(letter, L"DefaultIcon", drive.Path(L"missing.ico"));
    WriteBytes(drive.AutoRun(), "[autorun]\r\nlabel=Disk\r\nicon=missing.ico,2\r\n");
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Preview(page, kDriveIconPreview), nullptr);
    EXPECT_EQ(Preview(page, kDiskIconPreview), nullptr);
    sheet->PressOk();
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"Keep");
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, DriveIconsKey(letter) + L"\\DefaultIcon"));
    EXPECT_EQ(DiskValue(L"label"), L"Disk");
    EXPECT_EQ(DiskValue(L"icon"), L"<missing>");
}

TEST_F(DrivePageTest, WithoutWriteAccessToTheMachineKeysTheDiskIsStillWritten)
{
    SetLetterValue(letter, L"DefaultLabel", L"Old");
    HWND page = Open();
    ASSERT_NE(page, nullptr);
    SetText(page, kDriveLabel, L"New");
    TypeText(Item(page, kDiskLabel), L"Photos");
    g_iconDialog.answerPath = kShell32Icon;
    g_iconDialog.answerIndex = 3;
    Click(page, kChangeDiskIcon);
    g_denyMachineKeys = true;
    sheet->PressOk();

    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"Old");
    EXPECT_TRUE(g_notifications.empty());
    EXPECT_EQ(DiskValue(L"label"), L"Photos");
    EXPECT_EQ(DiskValue(L"icon"), std::wstring(kShell32Icon) + L",3");
}

TEST_F(DrivePageTest, LongestLocationsRoundTripThroughBothStores)
{
    // A library at a 259-character path on the disk whose icon is named by
    // the resource id 235, that is the index -235.
    std::wstring library = MakeLongPath(root, MAX_PATH - 1, L".dll");
    ASSERT_EQ(library.size(), 259u);
    ASSERT_TRUE(WriteIconLibrary(ProgramFolder() + L"\\" + kVolDress.dll, library, 235));
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
    DeleteRegTree(HKEY_LOCAL_MACHINE, DriveIconsKey(letter));
    page = Open();
    ASSERT_NE(page, nullptr);
    g_iconDialog.answerPath = library;
    g_iconDialog.answerIndex = -235;
    Click(page, kChangeDriveIcon);
    EXPECT_NE(Preview(page, kDriveIconPreview), nullptr);
    sheet->PressOk();
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), location);
}

TEST_F(DrivePageTest, WithoutADriveRootThePageIsDisabledAndWritesNothing)
{
    CreateDirectoryW(drive.Path(L"folder").c_str(), nullptr);
    SetLetterValue(letter, L"DefaultLabel", L"Untouched");
    std::wstring cwdAutoRun = ProgramFolder() + L"\\AutoRun.inf";
    const std::vector<std::vector<std::wstring>> selections = {
        {},                                      // no CF_HDROP at all
        {L""},                                   // an empty path
        {root.substr(0, 2)},                     // "Q:"
        {drive.Path(L"folder\\")},               // a folder, not a root
    };
    for (const auto& selection : selections) {
        SCOPED_TRACE(selection.empty() ? std::string("no selection")
                                       : std::string(selection[0].begin(), selection[0].end()));
        HWND page = Open(selection);
        ASSERT_NE(page, nullptr);
        for (int id : {kDriveLabel, kChangeDriveIcon, kDefaultDriveIcon, kDiskLabel, kChangeDiskIcon,
                       kDefaultDiskIcon})
            EXPECT_FALSE(IsEnabled(page, id)) << id;
        EXPECT_EQ(WindowText(Item(page, kDriveLabel)), L"");
        // Even a click that reaches the page changes nothing.
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(kChangeDriveIcon, BN_CLICKED), 0);
        EXPECT_EQ(g_iconDialog.calls, 0);
        sheet->PressOk();
    }
    EXPECT_TRUE(g_notifications.empty());
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"Untouched");
    EXPECT_FALSE(FileExists(drive.AutoRun()));
    EXPECT_FALSE(FileExists(drive.Path(L"folder\\AutoRun.inf")));
    EXPECT_FALSE(FileExists(cwdAutoRun));
}

// ---------------------------------------------------------------------------
// Banner and help

std::vector<UINT_PTR> g_loadedBitmaps;
decltype(&LoadBitmapW) g_realLoadBitmap = nullptr;

HBITMAP WINAPI RecordLoadBitmap(HINSTANCE instance, LPCWSTR name)
{
    g_loadedBitmaps.push_back(reinterpret_cast<UINT_PTR>(name));
    return g_realLoadBitmap(instance, name);
}

const wchar_t kHtmlHelpServerKey[] = L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

// The HTML Help library the deliverable binds at its first help request: the
// recording double beside the test, registered where the deliverable looks.
HelpCallLog* RegisterHelpDouble(std::wstring* previous)
{
    *previous = ReadRegString(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, nullptr);
    std::wstring path = ProgramFolder() + L"\\HtmlHelpDouble.dll";
    SetRegString(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, nullptr, path);
    HMODULE module = LoadLibraryW(path.c_str());
    auto log = module ? reinterpret_cast<HelpDoubleLogFn>(
                            reinterpret_cast<void*>(GetProcAddress(module, "HelpDoubleLog")))
                      : nullptr;
    return log ? log() : nullptr;
}

TEST_F(DrivePageTest, PaintsBanner104AndAnswersHelpFromVolDressTxt)
{
    std::wstring previousServer;
    HelpCallLog* log = RegisterHelpDouble(&previousServer);
    ASSERT_NE(log, nullptr) << "HtmlHelpDouble.dll is not beside the test";
    if (!g_realLoadBitmap)
        g_realLoadBitmap = reinterpret_cast<decltype(g_realLoadBitmap)>(
            PatchImport(Dll().module, "user32.dll", "LoadBitmapW", reinterpret_cast<void*>(RecordLoadBitmap)));
    ASSERT_NE(g_realLoadBitmap, nullptr);

    HWND page = Open();
    ASSERT_NE(page, nullptr);
    g_loadedBitmaps.clear();
    InvalidateRect(page, nullptr, TRUE);
    UpdateWindow(page);
    ASSERT_FALSE(g_loadedBitmaps.empty());
    EXPECT_EQ(g_loadedBitmaps.back(), 104u);

    const std::wstring helpFile = ProgramFolder() + L"\\QLNHELP.chm::/VolDress.txt";
    for (const DWORD* pair = DrivePageHelpIds; pair[0] != 0; pair += 2) {
        HWND control = Item(page, static_cast<int>(pair[0]));
        ASSERT_NE(control, nullptr) << pair[0];
        LONG before = log->calls;
        ASSERT_LT(before, static_cast<LONG>(kRecordedHelpCalls));
        HELPINFO info = {};
        info.cbSize = sizeof(info);
        info.iContextType = HELPINFO_WINDOW;
        info.iCtrlId = static_cast<int>(pair[0]);
        info.hItemHandle = control;
        SendMessageW(page, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        ASSERT_EQ(log->calls, before + 1) << "control " << pair[0];
        const RecordedHelpCall& call = log->call[before];
        EXPECT_EQ(call.caller, control);
        EXPECT_EQ(std::wstring(call.file), helpFile);
        EXPECT_EQ(call.command, 0x11u);  // HH_TP_HELP_WM_HELP
        ASSERT_EQ(call.pairCount, 9u);
        EXPECT_TRUE(std::equal(call.pairs, call.pairs + 18, DrivePageHelpIds));
    }
    if (previousServer == L"<missing>")
        DeleteRegTree(HKEY_CLASSES_ROOT, kHtmlHelpServerKey);
    else
        SetRegString(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, nullptr, previousServer);
}

// ---------------------------------------------------------------------------
// Preview icons

int g_extractedIcons = 0;
int g_destroyedIcons = 0;
decltype(&ExtractIconW) g_realExtractIcon = nullptr;
decltype(&DestroyIcon) g_realDestroyIcon = nullptr;

HICON WINAPI CountExtractIcon(HINSTANCE instance, LPCWSTR file, UINT index)
{
    HICON icon = g_realExtractIcon(instance, file, index);
    g_extractedIcons += icon != nullptr && icon != reinterpret_cast<HICON>(1);
    return icon;
}

BOOL WINAPI CountDestroyIcon(HICON icon)
{
    BOOL ok = g_realDestroyIcon(icon);
    g_destroyedIcons += ok != FALSE;
    return ok;
}

TEST_F(DrivePageTest, EveryPreviewIconIsDestroyedWithThePage)
{
    if (!g_realExtractIcon) {
        g_realExtractIcon = reinterpret_cast<decltype(g_realExtractIcon)>(
            PatchImport(Dll().module, "shell32.dll", "ExtractIconW", reinterpret_cast<void*>(CountExtractIcon)));
        g_realDestroyIcon = reinterpret_cast<decltype(g_realDestroyIcon)>(
            PatchImport(Dll().module, "user32.dll", "DestroyIcon", reinterpret_cast<void*>(CountDestroyIcon)));
    }
    ASSERT_NE(g_realExtractIcon, nullptr);
    ASSERT_NE(g_realDestroyIcon, nullptr);
    ASSERT_TRUE(WriteIconFile(drive.Path(L"a.ico")));
    SetLetterValue(letter, L"DefaultIcon", drive.Path(L"a.ico"));
    WritePrivateProfileStringW(L"autorun", L"icon", L"a.ico", drive.AutoRun().c_str());
    g_extractedIcons = g_destroyedIcons = 0;

    for (int round = 0; round < 3; ++round) {
        HWND page = Open();
        ASSERT_NE(page, nullptr);
        g_iconDialog.answerPath = kShell32Icon;
        g_iconDialog.answerIndex = round;
        Click(page, kChangeDriveIcon);
        Click(page, kChangeDiskIcon);
        sheet->PressApply();
        g_iconDialog.answerPath = drive.Path(L"a.ico");
        g_iconDialog.answerIndex = 0;
        Click(page, kChangeDiskIcon);
        Click(page, kDefaultDriveIcon);
        Click(page, kChangeDriveIcon);
        sheet->PressCancel();
    }
    EXPECT_GT(g_extractedIcons, 12);
    EXPECT_EQ(g_destroyedIcons, g_extractedIcons);
}

}  // namespace
