// The drive and disk stores, compiled into the test: the drive letter's key
// in the real registry and the AutoRun.inf of a drive letter of the test's
// own.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive_store.h"
#include "drive_support.h"
#include "host.h"
#include "import_spy.h"
#include "profile.h"

namespace {

class StoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(spy.Imports("SHChangeNotify"));
        ASSERT_TRUE(drive.Ready());
        root = drive.Root();
        letter = drive.Letter();
    }

    // SHChangeNotify as this program's store code calls it, through its own
    // import table.
    std::vector<std::wstring> Notifications() const { return spy.CallsOf(L"notify "); }

    DriveSettings ReadDrive() const
    {
        DriveSettings settings;
        memset(&settings, 0xCC, sizeof(settings));
        ReadDriveSettings(root.c_str(), &settings);
        return settings;
    }

    struct Disk {
        std::wstring label;
        std::wstring iconFile;
        int iconIndex;
        bool labelWhole, iconFound, iconWhole, writable;
    };
    Disk ReadDisk() const
    {
        DiskSettings settings;
        memset(&settings, 0xCC, sizeof(settings));
        ReadDiskSettings(root.c_str(), &settings);
        return {settings.label,      settings.iconFile,  settings.iconIndex, settings.labelWhole,
                settings.iconFound,  settings.iconWhole, settings.writable};
    }
    // WriteDiskSettings on a copy of iconFile; returns the stored form it
    // leaves in the caller's buffer.
    std::wstring WriteDisk(const std::wstring& label, const std::wstring& iconFile, int index, bool present)
    {
        WCHAR buffer[MAX_PATH] = L"";
        wcsncpy(buffer, iconFile.c_str(), MAX_PATH - 1);
        WriteDiskSettings(root.c_str(), label.c_str(), buffer, index, present);
        return buffer;
    }

    ImportSpy spy{GetModuleHandleW(nullptr)};
    TempDrive drive;
    std::wstring root;
    wchar_t letter = 0;
};

// ---------------------------------------------------------------------------
// Drive letter

TEST_F(StoreTest, LetterKeyHoldsLabelAndIconAndGoesWhenBothAreEmpty)
{
    DriveSettings none = ReadDrive();
    EXPECT_FALSE(none.labelFound);
    EXPECT_FALSE(none.iconFound);
    EXPECT_TRUE(none.labelWhole) << "no label is an empty one, written as such";
    EXPECT_STREQ(none.label, L"");
    EXPECT_STREQ(none.iconFile, L"");
    EXPECT_EQ(none.iconIndex, 0);
    EXPECT_FALSE(LetterKeyExists(letter)) << "reading created the letter key";

    WriteDriveSettings(root.c_str(), L"Backup", L"", 0, false);
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"Backup");
    EXPECT_FALSE(LetterSubkeyExists(letter, L"DefaultIcon"));
    // SHCNE_DRIVEADD, by path and flushed.
    EXPECT_EQ(Notifications(), std::vector<std::wstring>{L"notify 100 1005 " + root + L" <null>"});

    // Index 0: the path alone, without a comma.
    WriteDriveSettings(root.c_str(), L"Backup", L"C:\\icons\\drive.ico", 0, true);
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), L"C:\\icons\\drive.ico");
    DriveSettings both = ReadDrive();
    EXPECT_TRUE(both.labelFound);
    EXPECT_STREQ(both.label, L"Backup");
    EXPECT_TRUE(both.iconFound);
    EXPECT_STREQ(both.iconFile, L"C:\\icons\\drive.ico");
    EXPECT_EQ(both.iconIndex, 0);

    // The icon alone keeps the key; nothing at all removes it.
    WriteDriveSettings(root.c_str(), L"", L"C:\\icons\\drive.ico", 0, true);
    EXPECT_FALSE(LetterSubkeyExists(letter, L"DefaultLabel"));
    EXPECT_TRUE(LetterKeyExists(letter));
    WriteDriveSettings(root.c_str(), L"", L"C:\\icons\\drive.ico", 0, false);
    EXPECT_FALSE(LetterKeyExists(letter));
    EXPECT_EQ(Notifications().size(), 4u);
}

TEST_F(StoreTest, RemovingWhatNeverExistedLeavesNoKeyAndForeignSubkeysKeepTheirKey)
{
    WriteDriveSettings(root.c_str(), L"", L"", 0, false);
    EXPECT_FALSE(LetterKeyExists(letter));
    // The shell is still told.
    EXPECT_EQ(Notifications(), std::vector<std::wstring>{L"notify 100 1005 " + root + L" <null>"});

    SetLetterValue(letter, L"Other", L"kept");
    SetLetterValue(letter, L"DefaultLabel", L"Old");
    WriteDriveSettings(root.c_str(), L"", L"", 0, false);
    EXPECT_TRUE(LetterKeyExists(letter));
    EXPECT_EQ(ReadLetterValue(letter, L"Other"), L"kept");
    EXPECT_FALSE(LetterSubkeyExists(letter, L"DefaultLabel"));
}

TEST_F(StoreTest, IconIndexTextSurvivesBothWays)
{
    // Unexpanded, and -235 as the unsigned decimal of its 32 bits.
    WriteDriveSettings(root.c_str(), L"", L"%SystemRoot%\\system32\\SHELL32.dll", -235, true);
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), L"%SystemRoot%\\system32\\SHELL32.dll,4294967061");
    DriveSettings read = ReadDrive();
    EXPECT_TRUE(read.iconFound);
    EXPECT_STREQ(read.iconFile, L"%SystemRoot%\\system32\\SHELL32.dll");
    EXPECT_EQ(read.iconIndex, -235);

    struct Case {
        const wchar_t* stored;
        const wchar_t* path;
        int index;
    } cases[] = {
        {L"C:\\a.dll,-235", L"C:\\a.dll", -235},
        {L"C:\\a.dll, 7", L"C:\\a.dll", 7},
        {L"C:\\a.dll,abc", L"C:\\a.dll", 0},
        {L"C:\\a,b.dll,3", L"C:\\a,b.dll", 3},
        {L"C:\\a.dll,99999999999", L"C:\\a.dll", -1},
        {L"C:\\a.dll", L"C:\\a.dll", 0},
        {L"", L"", 0},
    };
    for (const Case& c : cases) {
        SetLetterValue(letter, L"DefaultIcon", c.stored);
        DriveSettings settings = ReadDrive();
        EXPECT_TRUE(settings.iconFound) << c.stored;
        EXPECT_STREQ(settings.iconFile, c.path) << c.stored;
        EXPECT_EQ(settings.iconIndex, c.index) << c.stored;
    }
}

TEST_F(StoreTest, LongestLocationAndLabelRoundTripThroughTheRegistry)
{
    std::wstring path = L"C:\\" + std::wstring(MAX_PATH - 1 - 3 - 4, L'p') + L".dll";
    ASSERT_EQ(path.size(), 259u);
    std::wstring label(259, L'L');
    WriteDriveSettings(root.c_str(), label.c_str(), path.c_str(), -235, true);
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultIcon"), path + L",4294967061");
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), label);

    DriveSettings read = ReadDrive();
    EXPECT_TRUE(read.labelFound);
    EXPECT_EQ(std::wstring(read.label), label);
    ASSERT_TRUE(read.iconFound) << "a location the store wrote was not read back";
    EXPECT_EQ(std::wstring(read.iconFile), path);
    EXPECT_EQ(read.iconIndex, -235);

    EXPECT_TRUE(read.labelWhole);
    EXPECT_TRUE(read.iconWhole);
}

// Each stored value as the page gets it: shown as far as it can be, and
// "whole" only when writing it back as REG_SZ gives the same bytes. What
// the page then writes, and how it shows a label of 300 characters and
// values of other types, is tested through the page's table.
TEST_F(StoreTest, RegistryValuesAreReadWholeOrMarkedAsNot)
{
    const DWORD seven = 7;
    const std::string dword(reinterpret_cast<const char*>(&seven), sizeof(seven));
    std::string unterminated = RegSzBytes(L"Tools");
    unterminated.resize(unterminated.size() - 2);
    struct Case {
        const char* what;
        const wchar_t* subkey;
        DWORD type;
        std::string bytes;
        bool whole;
        std::wstring shown;  // the label, or the icon path
        int index;
    } cases[] = {
        {"label", L"DefaultLabel", REG_SZ, RegSzBytes(L"Tools"), true, L"Tools", 0},
        {"label of 259", L"DefaultLabel", REG_SZ, RegSzBytes(std::wstring(259, L'y')), true, std::wstring(259, L'y'), 0},
        {"label of 260", L"DefaultLabel", REG_SZ, RegSzBytes(std::wstring(260, L'y')), false, std::wstring(259, L'y'), 0},
        {"label of 5000", L"DefaultLabel", REG_SZ, RegSzBytes(std::wstring(5000, L'y')), false, L"", 0},
        {"REG_EXPAND_SZ label", L"DefaultLabel", REG_EXPAND_SZ, RegSzBytes(L"%USERNAME%"), false, L"%USERNAME%", 0},
        {"label without terminator", L"DefaultLabel", REG_SZ, unterminated, false, L"Tools", 0},
        {"label with two terminators", L"DefaultLabel", REG_SZ, RegSzBytes(L"Tools") + std::string(2, '\0'), false,
         L"Tools", 0},
        {"icon", L"DefaultIcon", REG_SZ, RegSzBytes(L"C:\\a.dll,3"), true, L"C:\\a.dll", 3},
        {"icon path of 265", L"DefaultIcon", REG_SZ, RegSzBytes(std::wstring(265, L'z')), false, L"", 0},
        {"REG_EXPAND_SZ icon", L"DefaultIcon", REG_EXPAND_SZ, RegSzBytes(L"%SystemRoot%\\x.dll,2"), false,
         L"%SystemRoot%\\x.dll", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteLetterKey(letter);
        SetLetterRaw(letter, c.subkey, c.type, c.bytes);
        DriveSettings read = ReadDrive();
        bool isLabel = wcscmp(c.subkey, L"DefaultLabel") == 0;
        EXPECT_EQ(isLabel ? read.labelFound : read.iconFound, true);
        EXPECT_EQ(isLabel ? read.labelWhole : read.iconWhole, c.whole);
        EXPECT_EQ(std::wstring(isLabel ? read.label : read.iconFile), c.shown);
        EXPECT_EQ(read.iconIndex, c.index);
        // The other value is absent, and absent counts as whole for a label.
        EXPECT_EQ(isLabel ? read.iconFound : read.labelFound, false);
        if (!isLabel) {
            EXPECT_TRUE(read.labelWhole);
        }
    }

    // Both null: nothing to write, and the shell is not told.
    DeleteLetterKey(letter);
    spy.calls.clear();
    WriteDriveSettings(root.c_str(), nullptr, nullptr, 0, false);
    EXPECT_FALSE(LetterKeyExists(letter));
    EXPECT_TRUE(Notifications().empty());
    // A kept label keeps the letter key, even with the icon removed.
    SetLetterRaw(letter, L"DefaultLabel", REG_DWORD, dword);
    WriteDriveSettings(root.c_str(), nullptr, L"", 0, false);
    EXPECT_EQ(ReadLetterRaw(letter, L"DefaultLabel").bytes, dword);
}

TEST_F(StoreTest, PathsThatNameNoDriveRootReadNothingAndWriteNothing)
{
    WriteIconFile(drive.Path(L"a.ico"));
    std::wstring folderRoot = drive.Path(L"sub\\");
    CreateDirectoryW(drive.Path(L"sub").c_str(), nullptr);
    std::wstring noSlash = root.substr(0, 2);
    std::wstring slashFirst = std::wstring(1, letter) + L"\\";
    const std::wstring roots[] = {L"", noSlash, folderRoot, slashFirst, L"1:\\", std::wstring(1, letter) + L":/",
                                  std::wstring(1, letter) + L":\\\\"};
    std::wstring cwdAutoRun = ProgramFile(L"AutoRun.inf");
    for (const std::wstring& bad : roots) {
        SCOPED_TRACE(testing::Message() << "root '" << std::string(bad.begin(), bad.end()) << "'");
        EXPECT_FALSE(IsDriveRoot(bad.c_str()));
        WriteDriveSettings(bad.c_str(), L"Label", L"C:\\a.ico", 0, true);
        WCHAR icon[MAX_PATH] = L"C:\\a.ico";
        WriteDiskSettings(bad.c_str(), L"Label", icon, 0, true);
        EXPECT_STREQ(icon, L"C:\\a.ico");

        DriveSettings settings = {};
        SetLetterValue(letter, L"DefaultLabel", L"Real");
        ReadDriveSettings(bad.c_str(), &settings);
        EXPECT_FALSE(settings.labelFound);
        DiskSettings disk;
        memset(&disk, 0xCC, sizeof(disk));
        ReadDiskSettings(bad.c_str(), &disk);
        EXPECT_STREQ(disk.label, L"");
        EXPECT_STREQ(disk.iconFile, L"");
        EXPECT_EQ(disk.iconIndex, 0);
        EXPECT_FALSE(disk.writable);
        EXPECT_FALSE(CanWriteDriveSettings(bad.c_str()));
    }
    EXPECT_TRUE(Notifications().empty());
    EXPECT_FALSE(FileExists(cwdAutoRun));
    EXPECT_FALSE(FileExists(drive.AutoRun()));
    EXPECT_FALSE(FileExists(drive.Path(L"sub\\AutoRun.inf")));
    EXPECT_FALSE(LetterKeyExists(L'1'));
    EXPECT_EQ(ReadLetterValue(letter, L"DefaultLabel"), L"Real");
}

TEST_F(StoreTest, IsDriveRootTakesEveryLetterAsGiven)
{
    EXPECT_TRUE(IsDriveRoot(L"C:\\"));
    EXPECT_TRUE(IsDriveRoot(L"z:\\"));
    EXPECT_FALSE(IsDriveRoot(nullptr));
    EXPECT_FALSE(IsDriveRoot(L"\\\\server\\share\\"));

    // The key takes the letter exactly as the root path gives it.
    std::wstring lower = std::wstring(1, static_cast<wchar_t>(towlower(letter))) + L":\\";
    WriteDriveSettings(lower.c_str(), L"lower", L"", 0, false);
    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons", 0,
                            KEY_READ | KEY_WOW64_64KEY, &parent),
              ERROR_SUCCESS);
    WCHAR name[16] = L"";
    bool foundLower = false;
    for (DWORD i = 0;; ++i) {
        DWORD length = ARRAYSIZE(name);
        if (RegEnumKeyExW(parent, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        foundLower |= name[0] == towlower(letter) && name[1] == L'\0';
    }
    RegCloseKey(parent);
    EXPECT_TRUE(foundLower);
    EXPECT_EQ(Notifications(), std::vector<std::wstring>{L"notify 100 1005 " + lower + L" <null>"});
}

// ---------------------------------------------------------------------------
// Disk

TEST_F(StoreTest, DiskIconsOnTheDiskAreStoredRelativeToItsRoot)
{
    WriteUnicodeFile(drive.AutoRun(), L"[autorun]\r\nlabel=Holiday\r\nicon=icons\\disk.ico,2\r\n");
    Disk read = ReadDisk();
    EXPECT_EQ(read.label, L"Holiday");
    EXPECT_EQ(read.iconFile, root + L"icons\\disk.ico");
    EXPECT_EQ(read.iconIndex, 2);

    // Written back unchanged after an apply, and the caller holds the
    // stored form.
    EXPECT_EQ(WriteDisk(read.label, read.iconFile, read.iconIndex, true), L"icons\\disk.ico");
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"icon"), L"icons\\disk.ico,2");
    // A stored form written again stays as it is.
    EXPECT_EQ(WriteDisk(L"Holiday", L"icons\\disk.ico", 2, true), L"icons\\disk.ico");
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"icon"), L"icons\\disk.ico,2");

    // The root compares without regard to the case of its letter; index 0
    // is the path alone.
    std::wstring lowerRoot = std::wstring(1, static_cast<wchar_t>(towlower(letter))) + L":\\";
    EXPECT_EQ(WriteDisk(L"", lowerRoot + L"Icons\\A.ico", 0, true), L"Icons\\A.ico");
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"icon"), L"Icons\\A.ico");
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"label"), L"<missing>");

    // A leading backslash is relative like any other path, both ways.
    WritePrivateProfileStringW(L"autorun", L"icon", L"\\icons\\b.ico", drive.AutoRun().c_str());
    read = ReadDisk();
    EXPECT_EQ(read.iconFile, root + L"\\icons\\b.ico");
    EXPECT_EQ(WriteDisk(L"", read.iconFile, 0, true), L"\\icons\\b.ico");
}

TEST_F(StoreTest, DiskIconsElsewhereKeepTheirFormUnexpanded)
{
    EXPECT_EQ(WriteDisk(L"", L"%SystemRoot%\\system32\\SHELL32.dll", -235, true),
              L"%SystemRoot%\\system32\\SHELL32.dll");
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"icon"), L"%SystemRoot%\\system32\\SHELL32.dll,4294967061");
    Disk read = ReadDisk();
    EXPECT_EQ(read.iconFile, L"%SystemRoot%\\system32\\SHELL32.dll");
    EXPECT_EQ(read.iconIndex, -235);

    EXPECT_EQ(WriteDisk(L"", L"C:\\windows\\disk.ico", 4, true), L"C:\\windows\\disk.ico");
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"icon"), L"C:\\windows\\disk.ico,4");
    read = ReadDisk();
    EXPECT_EQ(read.iconFile, L"C:\\windows\\disk.ico");
    EXPECT_EQ(read.iconIndex, 4);

    // No icon: the root path itself, from which no icon can be extracted.
    WritePrivateProfileStringW(L"autorun", L"icon", nullptr, drive.AutoRun().c_str());
    read = ReadDisk();
    EXPECT_EQ(read.iconFile, root);
    EXPECT_EQ(read.iconIndex, 0);
}

TEST_F(StoreTest, ReadOnlyAutoRunEndsWritableAndHiddenWithEverythingElseKept)
{
    WriteBytes(drive.AutoRun(), "[autorun]\r\nopen=setup.exe\r\nlabel=Old\r\nicon=old.ico\r\n[Other]\r\nkey=value\r\n");
    SetFileAttributesW(drive.AutoRun().c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);

    WriteDisk(L"New", L"", 0, false);
    DWORD attributes = Attributes(drive.AutoRun());
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u) << std::hex << attributes;
    EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u) << std::hex << attributes;
    EXPECT_NE(attributes & FILE_ATTRIBUTE_ARCHIVE, 0u) << std::hex << attributes;
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"label"), L"New");
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"icon"), L"<missing>");
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"open"), L"setup.exe");
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"Other", L"key"), L"value");

    // Nothing to store: both keys go, the file and its other content stay,
    // hidden.
    SetFileAttributesW(drive.AutoRun().c_str(), FILE_ATTRIBUTE_READONLY);
    WriteDisk(L"", L"", 0, false);
    ASSERT_TRUE(FileExists(drive.AutoRun()));
    attributes = Attributes(drive.AutoRun());
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u) << std::hex << attributes;
    EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u) << std::hex << attributes;
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"label"), L"<missing>");
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"open"), L"setup.exe");
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"Other", L"key"), L"value");
}

TEST_F(StoreTest, NewAutoRunIsUnicodeSoANonAsciiLabelSurvives)
{
    const std::wstring label = L"Fotos 2026 \u2013 \u00C5lesund";
    WriteDisk(label, L"", 0, false);
    std::string bytes = ReadBytes(drive.AutoRun());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2)) << "AutoRun.inf was not created as UTF-16LE";
    EXPECT_NE(Attributes(drive.AutoRun()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_EQ(ReadDisk().label, label);
}

TEST_F(StoreTest, NothingToStoreOnADiskWithoutAutoRunCreatesNoFile)
{
    WriteDisk(L"", L"", 0, false);
    EXPECT_FALSE(FileExists(drive.AutoRun()));
    Disk read = ReadDisk();
    EXPECT_EQ(read.label, L"");
    EXPECT_EQ(read.iconFile, root);
}

TEST_F(StoreTest, LongestLocationsRoundTripThroughAutoRun)
{
    // Elsewhere: the 259-character path itself.
    std::wstring elsewhere = L"C:\\" + std::wstring(252, L'e') + L".dll";
    ASSERT_EQ(elsewhere.size(), 259u);
    WriteDisk(L"", elsewhere, -235, true);
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"icon"), elsewhere + L",4294967061");
    Disk read = ReadDisk();
    EXPECT_EQ(read.iconFile, elsewhere);
    EXPECT_EQ(read.iconIndex, -235);

    // On the disk: stored relative, read back whole.
    std::wstring onDisk = root + std::wstring(252, L'd') + L".dll";
    ASSERT_EQ(onDisk.size(), 259u);
    std::wstring label(259, L'\u00E5');
    WriteDisk(label, onDisk, -235, true);
    EXPECT_EQ(ReadProfile(drive.AutoRun(), L"autorun", L"icon"), onDisk.substr(3) + L",4294967061");
    read = ReadDisk();
    EXPECT_EQ(read.iconFile, onDisk);
    EXPECT_EQ(read.iconIndex, -235);
    EXPECT_EQ(read.label, label);

    // Longer than anything written: no icon, and nothing spills.
    WritePrivateProfileStringW(L"autorun", L"icon", (std::wstring(400, L'z') + L",3").c_str(), drive.AutoRun().c_str());
    read = ReadDisk();
    EXPECT_EQ(read.iconFile, root);
    EXPECT_EQ(read.iconIndex, 0);
    // A relative path that does not fit once joined to the root.
    WritePrivateProfileStringW(L"autorun", L"icon", std::wstring(258, L'r').c_str(), drive.AutoRun().c_str());
    read = ReadDisk();
    EXPECT_EQ(read.iconFile, root);
}

TEST_F(StoreTest, DiskIconPathsResolveOnTheDiskAndExpand)
{
    WCHAR resolved[MAX_PATH];
    ASSERT_TRUE(ResolveDiskIconPath(root.c_str(), L"icons\\disk.ico", resolved));
    EXPECT_EQ(std::wstring(resolved), root + L"icons\\disk.ico");

    WCHAR systemRoot[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"SystemRoot", systemRoot, MAX_PATH);
    ASSERT_TRUE(ResolveDiskIconPath(root.c_str(), L"%SystemRoot%\\system32\\shell32.dll", resolved));
    EXPECT_EQ(std::wstring(resolved), std::wstring(systemRoot) + L"\\system32\\shell32.dll");

    ASSERT_TRUE(ResolveDiskIconPath(root.c_str(), L"C:\\a.ico", resolved));
    EXPECT_STREQ(resolved, L"C:\\a.ico");

    // Too long once joined or expanded: nothing, rather than a cut path.
    EXPECT_FALSE(ResolveDiskIconPath(root.c_str(), std::wstring(258, L'r').c_str(), resolved));
    EXPECT_STREQ(resolved, L"");
    SetEnvironmentVariableW(L"DRESS_LONG_FOLDER", (L"C:\\" + std::wstring(200, L'f')).c_str());
    std::wstring longExpanded = L"%DRESS_LONG_FOLDER%\\" + std::wstring(100, L'x');
    EXPECT_FALSE(ResolveDiskIconPath(root.c_str(), longExpanded.c_str(), resolved));
    EXPECT_STREQ(resolved, L"");
    SetEnvironmentVariableW(L"DRESS_LONG_FOLDER", nullptr);
}

// A file the profile functions would rewrite as ANSI, and a directory in
// the file's place: read as nothing, never written, no attribute changed.
TEST_F(StoreTest, AutoRunThatCannotBeUpdatedWithoutLossIsLeftAlone)
{
    const std::wstring text = L"[autorun]\r\nlabel=Holiday\r\nicon=a.ico\r\n";
    const std::string utf16 = UnicodeBytes(text, false);
    struct Case {
        const char* what;
        bool directory;
    } cases[] = {{"UTF-16 without byte-order mark", false}, {"directory", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.directory)
            ASSERT_TRUE(CreateDirectoryW(drive.AutoRun().c_str(), nullptr));
        else
            ASSERT_TRUE(WriteBytes(drive.AutoRun(), utf16));
        DWORD attributes = Attributes(drive.AutoRun());
        EXPECT_FALSE(CanWriteDiskSettings(root.c_str()));
        Disk read = ReadDisk();
        EXPECT_FALSE(read.writable);
        EXPECT_EQ(read.label, L"");
        EXPECT_FALSE(read.iconFound);
        EXPECT_EQ(read.iconFile, root);

        spy.calls.clear();
        WriteDisk(L"New", root + L"a.ico", 0, true);
        WriteDisk(L"", L"", 0, false);
        EXPECT_TRUE(spy.CallsOf(L"attributes ").empty());
        EXPECT_TRUE(spy.CallsOf(L"write ").empty());
        EXPECT_EQ(Attributes(drive.AutoRun()), attributes);
        if (c.directory) {
            RemoveDirectoryW(drive.AutoRun().c_str());
        } else {
            EXPECT_EQ(ReadBytes(drive.AutoRun()), utf16);
            DeleteFileW(drive.AutoRun().c_str());
        }
    }
}

}  // namespace
