// The folder Desktop.ini store, compiled straight into the test and run
// against real files in a temporary folder.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <climits>

#include <memory>
#include <string>
#include <vector>

#include "desktop_ini.h"
#include "handle.h"
#include "host.h"
#include "import_spy.h"
#include "profile.h"

namespace {

const wchar_t kSection[] = L".ShellClassInfo";

std::wstring Expand(const std::wstring& folder, const std::wstring& stored, bool* expanded = nullptr)
{
    WCHAR working[MAX_PATH] = L"?";
    bool result = ExpandIconFile(folder.c_str(), stored.c_str(), working);
    if (expanded)
        *expanded = result;
    return working;
}

std::wstring Contract(const std::wstring& folder, const std::wstring& working)
{
    WCHAR stored[MAX_PATH] = L"?";
    ContractIconFile(folder.c_str(), working.c_str(), stored);
    return stored;
}

std::wstring Format(int index)
{
    WCHAR text[16] = L"?";
    FormatIconIndex(index, text, ARRAYSIZE(text));
    return text;
}

std::wstring IniPath(const TempDir& dir)
{
    WCHAR path[MAX_PATH] = L"";
    EXPECT_TRUE(GetDesktopIniPath(dir.Path().c_str(), path));
    return path;
}

// ---------------------------------------------------------------------------

TEST(DesktopIniPath, AppendsDesktopIniOnlyWhenItFits)
{
    WCHAR path[MAX_PATH] = L"x";
    EXPECT_TRUE(GetDesktopIniPath(L"D:\\Photos", path));
    EXPECT_STREQ(path, L"D:\\Photos\\Desktop.ini");

    // "\Desktop.ini" is 12 characters: a 247-character folder just fits.
    std::wstring folder = L"C:\\" + std::wstring(244, L'f');
    ASSERT_EQ(folder.size(), 247u);
    EXPECT_TRUE(GetDesktopIniPath(folder.c_str(), path));
    EXPECT_EQ(std::wstring(path), folder + L"\\Desktop.ini");

    // One more and a cut path would name another file: none at all.
    folder += L'g';
    EXPECT_FALSE(GetDesktopIniPath(folder.c_str(), path));
    EXPECT_STREQ(path, L"");
}

TEST(IconFileForms, StoredAndWorkingFormsRoundTrip)
{
    // Expanding the stored form gives the working form, contracting it gives
    // the stored form back.
    const struct {
        const wchar_t* stored;
        const wchar_t* working;
    } cases[] = {
        // Absolute and variable paths stand for themselves; any third
        // character "\" counts, not only drive letters.
        {L"C:\\Icons\\a.ico", L"C:\\Icons\\a.ico"},
        {L"%SystemRoot%\\system32\\SHELL32.dll", L"%SystemRoot%\\system32\\SHELL32.dll"},
        {L"ab\\c.ico", L"ab\\c.ico"},
        // Relative paths join the folder.
        {L"icon.ico", L"D:\\Photos\\icon.ico"},
        {L"Sub\\a.ico", L"D:\\Photos\\Sub\\a.ico"},
        {L"a", L"D:\\Photos\\a"},
        // Leading backslashes are no absolute form: joined, and given back
        // as they were.
        {L"\\Icons\\a.ico", L"D:\\Photos\\\\Icons\\a.ico"},
        {L"\\\\server\\share\\a.ico", L"D:\\Photos\\\\\\server\\share\\a.ico"},
    };
    for (const auto& c : cases) {
        bool expanded = false;
        EXPECT_EQ(Expand(L"D:\\Photos", c.stored, &expanded), c.working);
        EXPECT_TRUE(expanded) << testing::PrintToString(std::wstring(c.stored));
        EXPECT_EQ(Contract(L"D:\\Photos", c.working), c.stored);
    }
}

TEST(IconFileForms, ContractionIgnoresAsciiCaseOnlyAndNeedsABackslash)
{
    EXPECT_EQ(Contract(L"D:\\Photos", L"d:\\photos\\Sub\\a.ico"), L"Sub\\a.ico");
    EXPECT_EQ(Contract(L"D:\\PHOTOS", L"d:\\photos\\a.ico"), L"a.ico");
    EXPECT_EQ(Contract(L"D:\\Photos", L"D:\\Photos Old\\a.ico"), L"D:\\Photos Old\\a.ico");
    EXPECT_EQ(Contract(L"D:\\Photos", L"D:\\Photos"), L"D:\\Photos");
    EXPECT_EQ(Contract(L"D:\\Photos", L"D:\\Pho"), L"D:\\Pho");
    EXPECT_EQ(Contract(L"D:\\Photos", L""), L"");
    // Letters beyond A-Z are compared exactly.
    EXPECT_EQ(Contract(L"D:\\\u00C4rger", L"D:\\\u00E4rger\\a.ico"), L"D:\\\u00E4rger\\a.ico");
    EXPECT_EQ(Contract(L"D:\\\u00C4rger", L"d:\\\u00C4RGER\\a.ico"), L"a.ico");
}

TEST(IconFileForms, JoinedPathTooLongKeepsTheStoredValue)
{
    std::wstring folder = L"C:\\" + std::wstring(200, L'f');
    std::wstring stored = std::wstring(60, L'i') + L".ico";
    bool expanded = true;
    EXPECT_EQ(Expand(folder, stored, &expanded), stored);
    EXPECT_FALSE(expanded);
    // ...and an apply stores it back unchanged.
    EXPECT_EQ(Contract(folder, stored), stored);

    // 259 characters joined still fit.
    std::wstring fits(259 - folder.size() - 1, L'j');
    EXPECT_EQ(Expand(folder, fits, &expanded), folder + L"\\" + fits);
    EXPECT_TRUE(expanded);
    EXPECT_EQ(Expand(folder, fits + L"k", &expanded), fits + L"k");
    EXPECT_FALSE(expanded);
}

TEST(IconIndexText, ParsesModulo32Bits)
{
    const struct {
        const wchar_t* text;
        int index;
    } cases[] = {
        {L"-235", -235}, {L"4294967061", -235}, {L"3", 3}, {L"  +17x", 17}, {L"\t\r\n-1", -1},
        {L"2147483648", INT_MIN}, {L"-2147483648", INT_MIN}, {L"4294967295", -1}, {L"-4294967295", 1}, {L"-0", 0},
        // No digits give 0; out of 32-bit range gives -1 whatever the sign.
        {L"abc", 0}, {L"", 0}, {L"-", 0}, {L"- 5", 0}, {L"4294967296", -1}, {L"-4294967296", -1},
        {L"99999999999999999999999999999999", -1}, {L"+99999999999999999999999999999999", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseIconIndex(c.text), c.index) << testing::PrintToString(std::wstring(c.text));
}

TEST(IconIndexText, FormatsTheUnsigned32Bits)
{
    EXPECT_EQ(Format(3), L"3");
    EXPECT_EQ(Format(0), L"0");
    EXPECT_EQ(Format(-235), L"4294967061");
    EXPECT_EQ(Format(-1), L"4294967295");
    EXPECT_EQ(Format(INT_MIN), L"2147483648");
    for (int index : {0, 1, -1, -235, 12345, INT_MIN, INT_MAX})
        EXPECT_EQ(ParseIconIndex(Format(index).c_str()), index) << index;

    // A short buffer is cut, never overrun.
    WCHAR small[6] = {L'?', L'?', L'?', L'?', L'#', L'#'};
    FormatIconIndex(-235, small, 4);
    EXPECT_STREQ(small, L"429");
    EXPECT_EQ(small[4], L'#');
}

// ---------------------------------------------------------------------------

TEST(FolderSettings, MissingFileSectionOrKeyGiveTheDefault)
{
    TempDir dir;
    std::wstring ini = IniPath(dir);
    WCHAR value[MAX_PATH] = L"?";
    ReadFolderSetting(ini.c_str(), L"InfoTip", L"", value, ARRAYSIZE(value));
    EXPECT_STREQ(value, L"");
    ReadFolderSetting(ini.c_str(), L"IconIndex", L"0", value, ARRAYSIZE(value));
    EXPECT_STREQ(value, L"0");

    ASSERT_TRUE(WriteUnicodeFile(ini, L"[Other]\r\nInfoTip=elsewhere\r\n"));
    ReadFolderSetting(ini.c_str(), L"InfoTip", L"dflt", value, ARRAYSIZE(value));
    EXPECT_STREQ(value, L"dflt");

    // No settings path (the folder path was too long): defaults, no writes.
    ReadFolderSetting(L"", L"InfoTip", L"dflt", value, ARRAYSIZE(value));
    EXPECT_STREQ(value, L"dflt");
    EXPECT_FALSE(ProbeDesktopIni(L""));
}

TEST(FolderSettings, LongValuesAreCutToTheBuffer)
{
    TempDir dir;
    std::wstring ini = IniPath(dir);
    std::wstring huge(3000, L'x');
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nInfoTip=" + huge + L"\r\nIconFile=" + huge +
                                          L"\r\nIconIndex=" + std::wstring(600, L'7') + L"\r\n"));
    WCHAR value[MAX_PATH + 8];
    for (auto& c : value)
        c = L'#';
    ReadFolderSetting(ini.c_str(), L"InfoTip", L"", value, MAX_PATH);
    EXPECT_EQ(wcslen(value), 259u);
    EXPECT_EQ(value[MAX_PATH], L'#');

    // The icon reads its 259 characters as an absolute-or-relative value
    // and a 255-digit index: no buffer is overrun.
    WCHAR iconFile[MAX_PATH + 8];
    for (auto& c : iconFile)
        c = L'#';
    int index = 5;
    EXPECT_FALSE(ReadFolderIcon(ini.c_str(), dir.Path().c_str(), iconFile, &index));
    EXPECT_EQ(std::wstring(iconFile), std::wstring(259, L'x'));
    EXPECT_EQ(iconFile[MAX_PATH], L'#');
    EXPECT_EQ(index, -1);
}

TEST(FolderSettings, EmptyValueDeletesTheKey)
{
    TempDir dir;
    std::wstring ini = IniPath(dir);
    WriteFolderSetting(ini.c_str(), L"InfoTip", L"Holiday pictures");
    EXPECT_EQ(ReadProfile(ini, kSection, L"InfoTip"), L"Holiday pictures");
    WriteFolderSetting(ini.c_str(), L"InfoTip", L"");
    EXPECT_EQ(ReadProfile(ini, kSection, L"InfoTip"), L"<missing>");
    WriteFolderSetting(ini.c_str(), L"InfoTip", L"again");
    WriteFolderSetting(ini.c_str(), L"InfoTip", nullptr);
    EXPECT_EQ(ReadProfile(ini, kSection, L"InfoTip"), L"<missing>");
}

TEST(FolderSettings, NonAsciiTextSurvivesInANewFile)
{
    const std::wstring text = L"Caf\u00E9 \u2713 \u65E5\u672C\u8A9E";
    ASSERT_EQ(text.size(), 10u);  // the literal was read as intended
    TempDir dir;
    std::wstring ini = IniPath(dir);

    WriteFolderSetting(ini.c_str(), L"LocalizedResourceName", text.c_str());
    WriteFolderSetting(ini.c_str(), L"InfoTip", text.c_str());
    WCHAR value[MAX_PATH] = L"";
    ReadFolderSetting(ini.c_str(), L"InfoTip", L"", value, ARRAYSIZE(value));
    EXPECT_EQ(std::wstring(value), text);
    ReadFolderSetting(ini.c_str(), L"LocalizedResourceName", L"", value, ARRAYSIZE(value));
    EXPECT_EQ(std::wstring(value), text);
    EXPECT_EQ(ReadBytes(ini).substr(0, 2), std::string("\xFF\xFE", 2));

    // An empty file (left by a deletion, say) is made Unicode as well.
    TempDir other;
    std::wstring emptyIni = IniPath(other);
    ASSERT_TRUE(WriteBytes(emptyIni, ""));
    WriteFolderSetting(emptyIni.c_str(), L"InfoTip", text.c_str());
    EXPECT_EQ(ReadProfile(emptyIni, kSection, L"InfoTip"), text);
}

TEST(FolderSettings, ExistingFilesKeepTheirEncoding)
{
    TempDir dir;
    std::wstring ini = IniPath(dir);
    ASSERT_TRUE(WriteBytes(ini, "[.ShellClassInfo]\r\nIconIndex=3\r\n"));
    WriteFolderSetting(ini.c_str(), L"InfoTip", L"plain");
    std::string bytes = ReadBytes(ini);
    EXPECT_NE(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
    EXPECT_NE(bytes.find("InfoTip=plain"), std::string::npos) << bytes;
    EXPECT_EQ(ReadProfile(ini, kSection, L"IconIndex"), L"3");
}

TEST(FolderIcon, MissingFileAndIndexWithoutFile)
{
    TempDir dir;
    std::wstring ini = IniPath(dir);
    WCHAR iconFile[MAX_PATH] = L"stale";
    int index = 9;
    EXPECT_FALSE(ReadFolderIcon(ini.c_str(), dir.Path().c_str(), iconFile, &index));
    EXPECT_STREQ(iconFile, L"");
    EXPECT_EQ(index, 0);

    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconIndex=-235\r\n"));
    index = 9;
    EXPECT_FALSE(ReadFolderIcon(ini.c_str(), dir.Path().c_str(), iconFile, &index));
    EXPECT_EQ(index, 0);
    // The next apply without an icon deletes the stray index.
    WriteFolderIcon(ini.c_str(), dir.Path().c_str(), iconFile, index);
    EXPECT_EQ(ReadProfile(ini, kSection, L"IconIndex"), L"<missing>");
    EXPECT_EQ(ReadProfile(ini, kSection, L"IconFile"), L"<missing>");
}

TEST(FolderIcon, RelativeIconAndNegativeIndexRoundTrip)
{
    TempDir dir;
    std::wstring ini = IniPath(dir);
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconFile=icon.ico\r\nIconIndex=-235\r\n"));
    WCHAR iconFile[MAX_PATH] = L"";
    int index = 0;
    EXPECT_TRUE(ReadFolderIcon(ini.c_str(), dir.Path().c_str(), iconFile, &index));
    EXPECT_EQ(std::wstring(iconFile), dir.Child(L"icon.ico"));
    EXPECT_EQ(index, -235);

    WriteFolderIcon(ini.c_str(), dir.Path().c_str(), iconFile, index);
    EXPECT_EQ(ReadProfile(ini, kSection, L"IconFile"), L"icon.ico");
    EXPECT_EQ(ReadProfile(ini, kSection, L"IconIndex"), L"4294967061");
    // The working value now holds the stored form.
    EXPECT_STREQ(iconFile, L"icon.ico");
    EXPECT_TRUE(ReadFolderIcon(ini.c_str(), dir.Path().c_str(), iconFile, &index));
    EXPECT_EQ(index, -235);

    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconFile=x.ico\r\nIconIndex=abc\r\n"));
    EXPECT_TRUE(ReadFolderIcon(ini.c_str(), dir.Path().c_str(), iconFile, &index));
    EXPECT_EQ(index, 0);
}

TEST(FolderIcon, IconTooLongToJoinIsWrittenBackUnchanged)
{
    TempDir dir;
    std::wstring folder = dir.MakeDir(std::wstring(150, L'd'));
    ASSERT_EQ(Attributes(folder), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY)) << folder;
    std::wstring ini = folder + L"\\Desktop.ini";
    ASSERT_LT(ini.size(), 260u);
    std::wstring stored = std::wstring(120, L'i') + L".ico";
    ASSERT_GT(folder.size() + 1 + stored.size(), 259u);
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconFile=" + stored + L"\r\nIconIndex=4\r\n"));

    WCHAR iconFile[MAX_PATH] = L"";
    int index = 0;
    EXPECT_FALSE(ReadFolderIcon(ini.c_str(), folder.c_str(), iconFile, &index));
    EXPECT_EQ(std::wstring(iconFile), stored);
    EXPECT_EQ(index, 4);
    WriteFolderIcon(ini.c_str(), folder.c_str(), iconFile, index);
    EXPECT_EQ(ReadProfile(ini, kSection, L"IconFile"), stored);
    EXPECT_EQ(ReadProfile(ini, kSection, L"IconIndex"), L"4");
}

TEST(FolderIcon, NoIconDeletesBothKeys)
{
    TempDir dir;
    std::wstring ini = IniPath(dir);
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconFile=C:\\a.ico\r\nIconIndex=2\r\nInfoTip=t\r\n"));
    WCHAR iconFile[MAX_PATH] = L"";
    WriteFolderIcon(ini.c_str(), dir.Path().c_str(), iconFile, 0);
    EXPECT_EQ(ReadProfile(ini, kSection, L"IconFile"), L"<missing>");
    EXPECT_EQ(ReadProfile(ini, kSection, L"IconIndex"), L"<missing>");
    EXPECT_EQ(ReadProfile(ini, kSection, L"InfoTip"), L"t");
}

// ---------------------------------------------------------------------------
// The probe and the update envelope. The store's calls of the platform are
// watched through this program's own import table.

class StoreCalls : public ::testing::Test {
protected:
    std::vector<std::wstring> Calls(const std::wstring& prefix) const { return spy.CallsOf(prefix); }
    void Forget() { spy.calls.clear(); }

    ImportSpy spy{GetModuleHandleW(nullptr), true};
    TempDir dir;
};

TEST_F(StoreCalls, ProbeCreatesAndDeletesAMissingFile)
{
    std::wstring ini = IniPath(dir);
    EXPECT_TRUE(ProbeDesktopIni(ini.c_str()));
    EXPECT_FALSE(FileExists(ini));
    EXPECT_EQ(Calls(L"create "), (std::vector<std::wstring>{L"create " + std::to_wstring(OPEN_EXISTING) + L" " + ini,
                                                            L"create " + std::to_wstring(CREATE_NEW) + L" " + ini}));
    EXPECT_EQ(Calls(L"delete "), std::vector<std::wstring>{L"delete " + ini});
}

TEST_F(StoreCalls, ProbeClearsReadOnlyForGood)
{
    std::wstring ini = IniPath(dir);
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nInfoTip=x\r\n"));
    const DWORD kHiddenArchive = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY | kHiddenArchive));
    ASSERT_EQ(Attributes(ini), FILE_ATTRIBUTE_READONLY | kHiddenArchive);
    Forget();

    EXPECT_TRUE(ProbeDesktopIni(ini.c_str()));
    EXPECT_EQ(Attributes(ini), kHiddenArchive);
    EXPECT_EQ(Calls(L"attributes "), std::vector<std::wstring>{L"attributes " + ini + L" " + Hex(kHiddenArchive)});
    EXPECT_TRUE(Calls(L"delete ").empty());
    EXPECT_EQ(ReadProfile(ini, kSection, L"InfoTip"), L"x");
}

TEST_F(StoreCalls, ProbeFindsUnwritableFiles)
{
    // Held open by another program without sharing: neither opened nor
    // created, and left alone.
    std::wstring ini = IniPath(dir);
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nInfoTip=held\r\n"));
    {
        AutoFile held(CreateFileW(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(ProbeDesktopIni(ini.c_str()));
    }
    EXPECT_TRUE(Calls(L"delete ").empty());
    EXPECT_EQ(ReadProfile(ini, kSection, L"InfoTip"), L"held");

    // A folder that does not exist can hold no Desktop.ini.
    std::wstring missing = dir.Child(L"gone\\Desktop.ini");
    EXPECT_FALSE(ProbeDesktopIni(missing.c_str()));
    // Nor can a name taken by a folder.
    TempDir other;
    other.MakeDir(L"Desktop.ini");
    EXPECT_FALSE(ProbeDesktopIni(IniPath(other).c_str()));
    EXPECT_TRUE(Calls(L"delete ").empty());
}

TEST_F(StoreCalls, UpdateOfANewFileEndsHiddenAndSystem)
{
    std::wstring ini = IniPath(dir);
    DWORD saved = BeginDesktopIniUpdate(ini.c_str());
    EXPECT_EQ(saved, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    WriteFolderSetting(ini.c_str(), L"InfoTip", L"new");
    Forget();
    DWORD folderBefore = Attributes(dir.Path());
    EndDesktopIniUpdate(ini.c_str(), saved, dir.Path().c_str());

    EXPECT_EQ(Calls(L"attributes "),
              (std::vector<std::wstring>{L"attributes " + ini + L" 86",
                                         L"attributes " + dir.Path() + L" " + Hex(folderBefore | FILE_ATTRIBUTE_READONLY)}));
    DWORD after = Attributes(ini);
    EXPECT_EQ(after & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        << std::hex << after;

    // SHCNE_RENAMEFOLDER, SHCNF_PATHW | SHCNF_FLUSH, then SHCNE_UPDATEITEM,
    // SHCNF_PATHW for the folder alone.
    EXPECT_EQ(Calls(L"notify "), (std::vector<std::wstring>{L"notify 20000 1005 " + dir.Path() + L" " + dir.Path(),
                                                            L"notify 2000 5 " + dir.Path() + L" <null>"}));
}

TEST_F(StoreCalls, UpdateOfAnArchiveFileEndsAt0x26)
{
    std::wstring ini = IniPath(dir);
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\n"));
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_EQ(Attributes(ini), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    DWORD saved = BeginDesktopIniUpdate(ini.c_str());
    EXPECT_EQ(saved, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EndDesktopIniUpdate(ini.c_str(), saved, dir.Path().c_str());
    EXPECT_EQ(Attributes(ini), 0x26u);
}

TEST_F(StoreCalls, UpdateClearsReadOnlyAndKeepsTheRest)
{
    std::wstring ini = IniPath(dir);
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\n"));
    ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    DWORD saved = BeginDesktopIniUpdate(ini.c_str());
    EXPECT_EQ(saved, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(Attributes(ini), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    WriteFolderSetting(ini.c_str(), L"InfoTip", L"written");
    EXPECT_EQ(ReadProfile(ini, kSection, L"InfoTip"), L"written");
    EndDesktopIniUpdate(ini.c_str(), saved, dir.Path().c_str());
    EXPECT_EQ(Attributes(ini), 0x26u);
}

TEST_F(StoreCalls, UpdateKeepsTheFolderOtherAttributes)
{
    // The system bit sticks on folders under Wine (the read-only bit does
    // not), so the call shows the folder's own bits kept.
    std::wstring folder = dir.MakeDir(L"Photos");
    ASSERT_TRUE(SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_SYSTEM));
    ASSERT_EQ(Attributes(folder), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM));
    Forget();
    std::wstring ini = folder + L"\\Desktop.ini";
    EndDesktopIniUpdate(ini.c_str(), BeginDesktopIniUpdate(ini.c_str()), folder.c_str());
    auto attributes = Calls(L"attributes ");
    ASSERT_EQ(attributes.size(), 2u);
    EXPECT_EQ(attributes[1], L"attributes " + folder + L" 15");  // directory, system, read-only
    EXPECT_EQ(Attributes(folder) & FILE_ATTRIBUTE_SYSTEM, static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM));

    // A folder that cannot be read is left alone, and the shell still hears
    // of it.
    Forget();
    std::wstring gone = dir.Child(L"gone");
    EndDesktopIniUpdate((gone + L"\\Desktop.ini").c_str(), FILE_ATTRIBUTE_NORMAL, gone.c_str());
    EXPECT_EQ(Calls(L"attributes "), std::vector<std::wstring>{L"attributes " + gone + L"\\Desktop.ini 86"});
    EXPECT_EQ(Calls(L"notify ").size(), 2u);
}

// ---------------------------------------------------------------------------
// Encodings: what the profile functions would make of a file, and the
// conversion of ANSI files to Unicode.

namespace encoding {

TEST(ProfileEncoding, FilesAreTakenAsTheProfileFunctionsTakeThem)
{
    const std::wstring text = L"[.ShellClassInfo]\r\nInfoTip=x\r\n";
    const struct {
        const char* what;
        std::string bytes;
        bool withoutMark;
        ProfileEncoding encoding;
    } cases[] = {
        {"UTF-16LE with mark", UnicodeBytes(text), false, ProfileUnicode},
        {"UTF-16LE without mark", UnicodeBytes(text, false), true, ProfileUtf16NoBom},
        {"UTF-16BE without mark", std::string("\0[\0.\0S", 6), true, ProfileUtf16NoBom},
        // A bare line feed first: its high byte follows it.
        {"UTF-16LE starting with a line feed", UnicodeBytes(L"\n" + text, false), true, ProfileUtf16NoBom},
        {"UTF-16BE with mark", std::string("\xFE\xFF\0[\0a", 6), false, ProfileUnicode},
        {"UTF-8 with mark", "\xEF\xBB\xBF[a]\r\nb=\xC3\xA9\r\n", false, ProfileUnicode},
        {"ASCII", "[.ShellClassInfo]\r\nInfoTip=x\r\n", false, ProfileAnsi},
        {"Latin-1", "[a]\r\nb=Caf\xE9\r\n", false, ProfileAnsi},
        // A NUL after the first line is no UTF-16 text.
        {"NUL in the second line", std::string("[a]\r\nb=\0c\r\n", 11), false, ProfileAnsi},
        {"empty", "", false, ProfileAbsent},
    };
    TempDir dir;
    std::wstring ini = IniPath(dir);
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(ini, c.bytes));
        EXPECT_EQ(IsUtf16WithoutBom(ini.c_str()), c.withoutMark) << c.what;
        EXPECT_EQ(ExamineProfile(ini.c_str()), c.encoding) << c.what;
    }
    DeleteFileW(ini.c_str());
    EXPECT_FALSE(IsUtf16WithoutBom(ini.c_str()));
    EXPECT_EQ(ExamineProfile(ini.c_str()), ProfileAbsent);
    ASSERT_TRUE(CreateDirectoryW(ini.c_str(), nullptr));
    EXPECT_FALSE(IsUtf16WithoutBom(ini.c_str()));
    EXPECT_EQ(ExamineProfile(ini.c_str()), ProfileUnreadable);
    EXPECT_FALSE(ProbeDesktopIni(ini.c_str()));
}

TEST(ProfileEncoding, TheAnsiCodePageHoldsOnlyWhatComesBackUnchanged)
{
    ASSERT_EQ(GetACP(), 1252u);
    const struct {
        const wchar_t* text;
        bool fits;
    } cases[] = {
        {L"", true}, {L"plain", true}, {L"Caf\u00E9 \u20AC", true},
        // Not in 1252; the infinity sign has a best fit ("8") that is no
        // round trip.
        {L"\u65E5\u672C\u8A9E.txt", false}, {L"\u221E", false}, {L"a\u0100", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitsAnsiCodePage(c.text), c.fits) << testing::PrintToString(std::wstring(c.text));
    EXPECT_TRUE(FitsAnsiCodePage(nullptr));
}

TEST(ProfileEncoding, ConversionKeepsEveryLineAndTheOtherEncodings)
{
    TempDir dir;
    std::wstring ini = IniPath(dir);
    const std::string ansi = "; comment\r\n\r\n[.ShellClassInfo]\r\n  IconIndex = 7 \r\n[Other]\r\nName=Caf\xE9\r\nx";
    ASSERT_TRUE(WriteBytes(ini, ansi));
    // A deletion under a name ANSI cannot hold finds nothing to delete and
    // converts nothing.
    EXPECT_FALSE(WriteProfileValue(ini.c_str(), L"\u65E5\u672C\u8A9E", L"IconIndex", nullptr));
    EXPECT_EQ(ReadBytes(ini), ansi);
    ASSERT_TRUE(ConvertProfileToUnicode(ini.c_str()));
    // Byte for byte the same text, as UTF-16LE after its mark.
    EXPECT_EQ(ReadBytes(ini),
              UnicodeBytes(L"; comment\r\n\r\n[.ShellClassInfo]\r\n  IconIndex = 7 \r\n[Other]\r\nName=Caf\u00E9\r\nx"));
    // Already Unicode: nothing to do.
    std::string unicode = ReadBytes(ini);
    EXPECT_TRUE(ConvertProfileToUnicode(ini.c_str()));
    EXPECT_EQ(ReadBytes(ini), unicode);

    // UTF-16 without its mark is refused and left alone.
    std::string noMark = UnicodeBytes(L"[a]\r\nb=c\r\n", false);
    ASSERT_TRUE(WriteBytes(ini, noMark));
    EXPECT_FALSE(ConvertProfileToUnicode(ini.c_str()));
    EXPECT_FALSE(WriteProfileValue(ini.c_str(), L"a", L"b", L"d"));
    EXPECT_FALSE(WriteProfileValue(ini.c_str(), L"a", L"b", nullptr));
    EXPECT_EQ(ReadBytes(ini), noMark);
}

TEST(ProfileEncoding, ReadsKnowWhetherTheValueFit)
{
    TempDir dir;
    std::wstring ini = IniPath(dir);
    const std::wstring fits(259, L'f');
    const std::wstring longer(260, L'g');
    ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nA=" + fits + L"\r\nB=" + longer + L"\r\n"));
    WCHAR value[MAX_PATH];
    EXPECT_TRUE(ReadFolderSetting(ini.c_str(), L"A", L"", value, ARRAYSIZE(value)));
    EXPECT_EQ(std::wstring(value), fits);
    EXPECT_FALSE(ReadFolderSetting(ini.c_str(), L"B", L"", value, ARRAYSIZE(value)));
    EXPECT_EQ(std::wstring(value), longer.substr(0, 259));
    EXPECT_TRUE(ReadFolderSetting(ini.c_str(), L"C", L"dflt", value, ARRAYSIZE(value)));
    EXPECT_STREQ(value, L"dflt");

    // Writing back the cut text keeps the longer value; any other text,
    // or none, replaces it.
    WriteFolderSetting(ini.c_str(), L"B", longer.substr(0, 259).c_str());
    EXPECT_EQ(ReadProfile(ini, kSection, L"B"), longer);
    WriteFolderSetting(ini.c_str(), L"B", L"short");
    EXPECT_EQ(ReadProfile(ini, kSection, L"B"), L"short");
}

TEST(FolderIconResource, IsSplitAtTheLastComma)
{
    const std::wstring folder = L"D:\\Photos";
    const struct {
        const wchar_t* stored;
        IconResourceState state;
        const wchar_t* working;
        int index;
    } cases[] = {
        {L"C:\\Windows\\system32\\imageres.dll,-3", IconResourceParsed, L"C:\\Windows\\system32\\imageres.dll", -3},
        {L"%SystemRoot%\\system32\\imageres.dll,-112", IconResourceParsed, L"%SystemRoot%\\system32\\imageres.dll",
         -112},
        {L"icon.ico", IconResourceParsed, L"D:\\Photos\\icon.ico", 0},
        {L"C:\\a,b\\x.dll, +7 ", IconResourceParsed, L"C:\\a,b\\x.dll", 7},
        {L"C:\\x.dll,4294967295", IconResourceParsed, L"C:\\x.dll", -1},
        {L"C:\\x.dll,-2147483648", IconResourceParsed, L"C:\\x.dll", INT_MIN},
        {L"", IconResourceAbsent, L"", 0},
        {L"C:\\x.dll,abc", IconResourceKept, L"", 0},
        {L"C:\\x.dll,", IconResourceKept, L"", 0},
        {L"C:\\x.dll,3x", IconResourceKept, L"", 0},
        {L",3", IconResourceKept, L"", 0},
        {L"C:\\x.dll,4294967296", IconResourceKept, L"", 0},
        {L"C:\\My,Icons\\a.ico", IconResourceKept, L"", 0},
    };
    TempDir dir;
    std::wstring ini = IniPath(dir);
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconResource=" + std::wstring(c.stored) + L"\r\n"));
        WCHAR working[MAX_PATH] = L"?";
        int index = 99;
        EXPECT_EQ(ReadIconResource(ini.c_str(), folder.c_str(), working, &index), c.state)
            << testing::PrintToString(std::wstring(c.stored));
        EXPECT_STREQ(working, c.working);
        EXPECT_EQ(index, c.index);
    }
    // Too long to read whole, or to join to the folder: kept.
    for (const std::wstring& stored : {L"C:\\" + std::wstring(300, L'x') + L".dll,1",
                                       std::wstring(250, L'r') + L".dll,1"}) {
        ASSERT_TRUE(WriteUnicodeFile(ini, L"[.ShellClassInfo]\r\nIconResource=" + stored + L"\r\n"));
        WCHAR working[MAX_PATH];
        int index = 0;
        EXPECT_EQ(ReadIconResource(ini.c_str(), folder.c_str(), working, &index), IconResourceKept);
    }

    WCHAR text[MAX_PATH + 16];
    EXPECT_TRUE(FormatIconResource(L"C:\\x.dll", -3, text, ARRAYSIZE(text)));
    EXPECT_STREQ(text, L"C:\\x.dll,-3");
    EXPECT_FALSE(FormatIconResource(L"C:\\x.dll", -3, text, 8));
    EXPECT_STREQ(text, L"");
}

}  // namespace encoding

}  // namespace
