// The per-file store, compiled straight into the test and run against real
// files and their folder's Desktop.ini.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "desktop_ini.h"
#include "file_store.h"
#include "host.h"

namespace {

std::wstring SettingsPathOf(const std::wstring& file)
{
    WCHAR path[MAX_PATH];
    EXPECT_TRUE(GetFileSettingsPath(file.c_str(), path));
    return path;
}

std::wstring Setting(const std::wstring& file, const wchar_t* key)
{
    WCHAR value[MAX_PATH];
    ReadFileSetting(file.c_str(), key, L"<default>", value, MAX_PATH);
    return value;
}

std::wstring Label(const std::wstring& file)
{
    WCHAR value[MAX_PATH];
    ReadFileLabel(file.c_str(), value);
    return value;
}

TEST(FileSettingsPaths, FollowTheFilesPath)
{
    WCHAR text[MAX_PATH];
    EXPECT_TRUE(GetFileSettingsPath(L"D:\\Work\\plan.doc", text));
    EXPECT_STREQ(text, L"D:\\Work\\Desktop.ini");
    EXPECT_TRUE(GetFileSectionName(L"D:\\Work\\Plan.DOC", text));
    EXPECT_STREQ(text, L"Plan.DOC");
    EXPECT_TRUE(GetFileFolderPath(L"D:\\Work\\plan.doc", text));
    EXPECT_STREQ(text, L"D:\\Work");

    EXPECT_TRUE(GetFileSettingsPath(L"C:\\a.txt", text));
    EXPECT_STREQ(text, L"C:\\Desktop.ini");
    EXPECT_TRUE(GetFileFolderPath(L"C:\\a.txt", text));
    EXPECT_STREQ(text, L"C:");

    // No backslash: no folder, so no settings file at all (never one of the
    // current directory).
    wcscpy(text, L"stale");
    EXPECT_FALSE(GetFileSettingsPath(L"plan.doc", text));
    EXPECT_STREQ(text, L"");
    EXPECT_FALSE(GetFileSectionName(L"", text));
    EXPECT_STREQ(text, L"");

    // A settings path that would not fit is refused, not cut.
    std::wstring deep = L"C:\\" + std::wstring(250, L'd') + L"\\x";
    EXPECT_FALSE(GetFileSettingsPath(deep.c_str(), text));
    EXPECT_STREQ(text, L"");

    EXPECT_TRUE(IsFullFilePath(L"C:\\a.txt"));
    EXPECT_TRUE(IsFullFilePath(L"\\\\server\\share\\a.txt"));
    EXPECT_FALSE(IsFullFilePath(L"a.txt"));
    EXPECT_FALSE(IsFullFilePath(L"sub\\a.txt"));
    EXPECT_FALSE(IsFullFilePath(L"\\a.txt"));
    EXPECT_FALSE(IsFullFilePath(L"C:\\dir\\"));
    EXPECT_FALSE(IsFullFilePath(L""));
    EXPECT_FALSE(IsFullFilePath(nullptr));
}

TEST(FileSettings, MissingFileGivesTheDefaults)
{
    TempDir dir;
    std::wstring file = dir.Child(L"plan.doc");
    WCHAR iconFile[MAX_PATH] = L"stale";
    int index = 5;
    ReadFileIconForPage(file.c_str(), iconFile, &index);
    EXPECT_STREQ(iconFile, L"");
    EXPECT_EQ(index, 0);
    WCHAR location[MAX_PATH];
    EXPECT_EQ(ReadFileIconForHandler(file.c_str(), location, &index), NoCustomIcon);
    EXPECT_EQ(Setting(file, L"InfoTip"), L"<default>");
    EXPECT_EQ(Label(file), L"");
    EXPECT_FALSE(FileExists(dir.Child(L"Desktop.ini")));
}

TEST(FileSettings, TheIconIsHeldAsStoredAndJoinedForTheHandler)
{
    TempDir dir;
    std::wstring file = dir.Child(L"plan.doc");
    std::wstring ini = SettingsPathOf(file);
    WritePrivateProfileStringW(L"plan.doc", L"IconFile", L"icons\\a.ico", ini.c_str());
    WritePrivateProfileStringW(L"plan.doc", L"IconIndex", L"-235", ini.c_str());

    WCHAR iconFile[MAX_PATH];
    int index = 0;
    ReadFileIconForPage(file.c_str(), iconFile, &index);
    EXPECT_STREQ(iconFile, L"icons\\a.ico");
    EXPECT_EQ(index, -235);

    WCHAR location[MAX_PATH];
    index = 0;
    ASSERT_EQ(ReadFileIconForHandler(file.c_str(), location, &index), CustomIcon);
    EXPECT_EQ(std::wstring(location), dir.Child(L"icons\\a.ico"));
    EXPECT_EQ(index, -235);

    // Written back unchanged, the index as its unsigned 32 bits.
    WriteFileIcon(file.c_str(), iconFile, index);
    EXPECT_EQ(ReadProfile(ini, L"plan.doc", L"IconFile"), L"icons\\a.ico");
    EXPECT_EQ(ReadProfile(ini, L"plan.doc", L"IconIndex"), L"4294967061");

    // Absolute and environment paths are used as they are.
    for (const wchar_t* stored : {L"%SystemRoot%\\system32\\shell32.dll", L"C:\\Icons\\set.dll"}) {
        WriteFileIcon(file.c_str(), stored, 4);
        ASSERT_EQ(ReadFileIconForHandler(file.c_str(), location, &index), CustomIcon);
        EXPECT_STREQ(location, stored);
        EXPECT_EQ(index, 4);
    }
}

TEST(FileSettings, AnIndexWithoutIconFileIsIgnoredAndDeletedWithIt)
{
    TempDir dir;
    std::wstring file = dir.Child(L"plan.doc");
    std::wstring ini = SettingsPathOf(file);
    WritePrivateProfileStringW(L"plan.doc", L"IconIndex", L"7", ini.c_str());
    WCHAR iconFile[MAX_PATH];
    int index = -1;
    ReadFileIconForPage(file.c_str(), iconFile, &index);
    EXPECT_STREQ(iconFile, L"");
    EXPECT_EQ(index, 0);

    WriteFileIcon(file.c_str(), L"", 0);
    EXPECT_EQ(ReadProfile(ini, L"plan.doc", L"IconIndex"), L"<missing>");
    EXPECT_EQ(ReadProfile(ini, L"plan.doc", L"IconFile"), L"<missing>");
}

TEST(FileSettings, TextsAreWrittenAndDeletedPerFile)
{
    TempDir dir;
    std::wstring plan = dir.Child(L"plan.doc");
    std::wstring notes = dir.Child(L"notes.txt");
    std::wstring ini = SettingsPathOf(plan);

    WriteFileSetting(plan.c_str(), L"InfoTip", L"Quarterly figures");
    WriteFileLabel(plan.c_str(), L"@C:\\lib.dll,-5");
    WriteFileLabel(notes.c_str(), L"@C:\\lib.dll,-6");
    EXPECT_EQ(Setting(plan, L"InfoTip"), L"Quarterly figures");
    EXPECT_EQ(Setting(notes, L"InfoTip"), L"<default>");
    // Labels of one folder share one section, keyed by the file names.
    EXPECT_EQ(ReadProfile(ini, L"LocalizedFileNames", L"plan.doc"), L"@C:\\lib.dll,-5");
    EXPECT_EQ(Label(notes), L"@C:\\lib.dll,-6");

    WriteFileSetting(plan.c_str(), L"InfoTip", L"");
    WriteFileLabel(plan.c_str(), L"");
    EXPECT_EQ(ReadProfile(ini, L"plan.doc", L"InfoTip"), L"<missing>");
    EXPECT_EQ(ReadProfile(ini, L"LocalizedFileNames", L"plan.doc"), L"<missing>");
    EXPECT_EQ(Label(notes), L"@C:\\lib.dll,-6");

    // A long value is cut to the capacity asked for.
    WriteFileSetting(plan.c_str(), L"InfoTip", std::wstring(300, L't').c_str());
    WCHAR shortBuffer[10];
    ReadFileSetting(plan.c_str(), L"InfoTip", L"", shortBuffer, ARRAYSIZE(shortBuffer));
    EXPECT_STREQ(shortBuffer, L"ttttttttt");
}

TEST(FileSettings, NonAsciiTextSurvives)
{
    TempDir dir;
    std::wstring file = dir.Child(L"\u00dcbersicht \u6587\u4ef6.txt");
    ASSERT_TRUE(Touch(file));
    std::wstring tip = L"\u041f\u0440\u0438\u0432\u0435\u0442 \u2013 \u00e9t\u00e9 \u65e5\u672c";
    WriteFileSetting(file.c_str(), L"InfoTip", tip.c_str());
    WriteFileLabel(file.c_str(), L"@C:\\\u00e9\\lib.dll,-5");
    WriteFileIcon(file.c_str(), L"C:\\\u00c9t\u00e9\\a.ico", 1);

    std::string bytes = ReadBytes(SettingsPathOf(file));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2)) << "the settings file is not UTF-16";
    EXPECT_EQ(Setting(file, L"InfoTip"), tip);
    EXPECT_EQ(Label(file), L"@C:\\\u00e9\\lib.dll,-5");
    WCHAR iconFile[MAX_PATH];
    int index = 0;
    ReadFileIconForPage(file.c_str(), iconFile, &index);
    EXPECT_STREQ(iconFile, L"C:\\\u00c9t\u00e9\\a.ico");
}

TEST(FileSettings, TheEndOfAWriteHidesTheFileAndLeavesTheFolder)
{
    TempDir dir;
    std::wstring file = dir.Child(L"plan.doc");
    std::wstring ini = SettingsPathOf(file);
    DWORD folderBefore = Attributes(dir.Path());

    // No file before: saved as normal, and nothing to mark.
    DWORD saved = BeginDesktopIniUpdate(ini.c_str());
    EXPECT_EQ(saved, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    WriteFileSetting(file.c_str(), L"InfoTip", L"tip");
    EndFileSettingsUpdate(ini.c_str(), saved);
    EXPECT_EQ(Attributes(ini) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

    // An archived, read-only file: writable during the update, archived,
    // hidden and system after it.
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
    saved = BeginDesktopIniUpdate(ini.c_str());
    WriteFileSetting(file.c_str(), L"InfoTip", L"tip 2");
    EndFileSettingsUpdate(ini.c_str(), saved);
    EXPECT_EQ(Attributes(ini), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                                   FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(Setting(file, L"InfoTip"), L"tip 2");
    EXPECT_EQ(Attributes(dir.Path()), folderBefore);
}


TEST(FileSettings, JapaneseNamesInAnAnsiFileAreReadBackAndKeptApart)
{
    ASSERT_EQ(GetACP(), 1252u);
    TempDir dir;
    std::wstring ini = dir.Child(L"Desktop.ini");
    ASSERT_TRUE(WriteBytes(ini, "[.ShellClassInfo]\r\nInfoTip=Caf\xE9\r\n[other.txt]\r\nIconIndex=2\r\n"));
    // Two names that the code page would both turn into "??.txt".
    std::wstring first = dir.Child(L"\u65E5\u672C.txt");
    std::wstring second = dir.Child(L"\u4E2D\u6587.txt");
    WriteFileSetting(first.c_str(), L"InfoTip", L"first");
    WriteFileSetting(second.c_str(), L"InfoTip", L"second");
    WriteFileLabel(first.c_str(), L"@C:\\lib.dll,-5");
    WriteFileIcon(second.c_str(), L"C:\\\u00c9\\a.ico", 3);

    EXPECT_EQ(ReadBytes(ini).substr(0, 2), std::string("\xFF\xFE", 2));
    EXPECT_EQ(Setting(first, L"InfoTip"), L"first");
    EXPECT_EQ(Setting(second, L"InfoTip"), L"second");
    EXPECT_EQ(Label(first), L"@C:\\lib.dll,-5");
    EXPECT_EQ(Label(second), L"");
    WCHAR location[MAX_PATH];
    int index = 0;
    ASSERT_EQ(ReadFileIconForHandler(second.c_str(), location, &index), CustomIcon);
    EXPECT_STREQ(location, L"C:\\\u00c9\\a.ico");
    EXPECT_EQ(index, 3);
    // What was there before is still there.
    EXPECT_EQ(ReadProfile(ini, L".ShellClassInfo", L"InfoTip"), L"Caf\u00E9");
    EXPECT_EQ(ReadProfile(ini, L"other.txt", L"IconIndex"), L"2");
}

// Files whose names the profile format cannot hold, beside the file whose
// entries a careless write would overwrite or a read would return.
struct Unholdable {
    const wchar_t* name;
    const wchar_t* neighbour;
};

TEST(FileSettings, NamesTheFormatCannotHoldGetNoEntries)
{
    const Unholdable cases[] = {
        {L"a=b.txt", L"a"},                    // the label key would end at "="
        {L"x]y.txt", L"x"},                    // the section name would end at "]"
        {L" lead.txt", L"lead.txt"},           // leading spaces are trimmed
        {L"trail.txt ", L"trail.txt"},         // and trailing ones
        {L"[br.txt", L"br.txt"},               // a line starting "[" is a section
        {L".ShellClassInfo", L"folder.txt"},   // the folder's own section
        {L"LocalizedFileNames", L"labels.txt"},
    };
    TempDir dir;
    std::wstring ini = dir.Child(L"Desktop.ini");
    for (const Unholdable& c : cases) {
        std::wstring file = dir.Child(c.name);
        // Real files: a name with trailing spaces needs the \\?\ form.
        ASSERT_TRUE(Touch(L"\\\\?\\" + file)) << "cannot create " << testing::PrintToString(file) << " error " << GetLastError();
        std::wstring neighbour = dir.Child(c.neighbour);
        ASSERT_TRUE(Touch(neighbour));
        EXPECT_FALSE(CanHoldFileEntries(file.c_str())) << testing::PrintToString(std::wstring(c.name));
        ASSERT_TRUE(CanHoldFileEntries(neighbour.c_str()));

        WriteFileSetting(neighbour.c_str(), L"InfoTip", L"neighbour's tip");
        WriteFileLabel(neighbour.c_str(), L"@neighbour.dll,-1");
        WritePrivateProfileStringW(L".ShellClassInfo", L"InfoTip", L"folder's tip", ini.c_str());
        WritePrivateProfileStringW(L".ShellClassInfo", L"IconFile", L"folder.ico", ini.c_str());
        std::string before = ReadBytes(ini);

        // Nothing is read for the file: what the format would find under
        // its name belongs to another.
        EXPECT_EQ(Setting(file, L"InfoTip"), L"<default>");
        EXPECT_EQ(Label(file), L"");
        WCHAR location[MAX_PATH];
        int index = 0;
        EXPECT_EQ(ReadFileIconForHandler(file.c_str(), location, &index), NoCustomIcon);

        // And nothing is written.
        WriteFileSetting(file.c_str(), L"InfoTip", L"file's tip");
        WriteFileLabel(file.c_str(), L"@file.dll,-2");
        WriteFileIcon(file.c_str(), L"file.ico", 3);
        WriteFileIcon(file.c_str(), L"", 0);
        EXPECT_EQ(ReadBytes(ini), before) << testing::PrintToString(std::wstring(c.name));
        EXPECT_EQ(Setting(neighbour, L"InfoTip"), L"neighbour's tip");
        EXPECT_EQ(Label(neighbour), L"@neighbour.dll,-1");
        EXPECT_EQ(ReadProfile(ini, L".ShellClassInfo", L"IconFile"), L"folder.ico");
    }

    // Names that only look unusual are held.
    for (const wchar_t* name : {L"a;b.txt", L"semi;", L"a[1.txt", L"in side.txt", L"x.ShellClassInfo"}) {
        std::wstring file = dir.Child(name);
        EXPECT_TRUE(CanHoldFileEntries(file.c_str())) << testing::PrintToString(std::wstring(name));
        WriteFileSetting(file.c_str(), L"InfoTip", name);
        EXPECT_EQ(Setting(file, L"InfoTip"), name);
    }
}

}  // namespace
