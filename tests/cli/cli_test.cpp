// dress.exe run as a separate process against real folders, files, a drive
// letter of the test's own and the registry; what it writes is read back
// from the files and keys, what it prints from its redirected output.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "clsids.h"
#include "drive_support.h"
#include "host.h"

namespace {

const wchar_t kShellClassInfo[] = L".ShellClassInfo";

ProgramRun Dress(const std::wstring& arguments)
{
    return RunProgram(L"\"" + ProgramFile(L"dress.exe") + L"\" " + arguments);
}

std::wstring Quote(const std::wstring& text)
{
    return L"\"" + text + L"\"";
}

// A path as a JSON string holds it.
std::wstring Json(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'"')
            out += L'\\';
        out += c;
    }
    return out;
}

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to)
{
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

bool Contains(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}

std::wstring Strings()
{
    return ProgramFile(L"docdress_strings.dll");
}

// Text outside the ANSI code page, so that Unicode has to hold it.
const std::wstring kUnicodeTip = L"Ferien \u65e5\u672c \u00e9t\u00e9";

TEST(DressSetShow, FolderRoundTrip)
{
    TempDir dir;
    std::wstring folder = dir.MakeDir(L"photos");
    std::wstring icon = dir.Child(L"folder.ico");
    ASSERT_TRUE(WriteIconFile(icon));

    ProgramRun set = Dress(L"set " + Quote(folder) + L" --icon " + Quote(icon + L",0") + L" --infotip " +
                           Quote(kUnicodeTip) + L" --label " + Quote(L"@" + Strings() + L",-102"));
    ASSERT_EQ(0u, set.exitCode) << set.err;
    std::wstring ini = folder + L"\\Desktop.ini";
    EXPECT_EQ(kUnicodeTip, ReadProfile(ini, kShellClassInfo, L"InfoTip"));
    EXPECT_EQ(L"@" + Strings() + L",-102", ReadProfile(ini, kShellClassInfo, L"LocalizedResourceName"));
    EXPECT_EQ(icon, ReadProfile(ini, kShellClassInfo, L"IconFile"));
    EXPECT_EQ(icon + L",0", ReadProfile(ini, kShellClassInfo, L"IconResource"));
    EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
              Attributes(ini) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));

    ProgramRun show = Dress(L"show " + Quote(folder) + L" --json");
    ASSERT_EQ(0u, show.exitCode) << show.err;
    EXPECT_TRUE(Contains(show.out, L"\"kind\":\"folder\"")) << show.out;
    EXPECT_TRUE(Contains(show.out, L"\"icon\":{\"file\":\"" + Json(icon) + L"\",\"index\":0}")) << show.out;
    EXPECT_TRUE(Contains(show.out, L"\"infoTip\":\"" + kUnicodeTip + L"\"")) << show.out;
    EXPECT_TRUE(Contains(show.out, L"\"labelText\":\"Plan (localized)\"")) << show.out;

    // Only the named setting changes: the icon and label stay.
    ProgramRun reset = Dress(L"reset " + Quote(folder) + L" --infotip");
    ASSERT_EQ(0u, reset.exitCode) << reset.err;
    EXPECT_EQ(L"<missing>", ReadProfile(ini, kShellClassInfo, L"InfoTip"));
    EXPECT_EQ(icon, ReadProfile(ini, kShellClassInfo, L"IconFile"));
    EXPECT_EQ(L"@" + Strings() + L",-102", ReadProfile(ini, kShellClassInfo, L"LocalizedResourceName"));
    ASSERT_EQ(0u, Dress(L"reset " + Quote(folder)).exitCode);
    for (const wchar_t* key : {L"IconFile", L"IconIndex", L"IconResource", L"LocalizedResourceName"})
        EXPECT_EQ(L"<missing>", ReadProfile(ini, kShellClassInfo, key)) << key;
}

TEST(DressSetShow, FileRoundTrip)
{
    TempDir dir;
    std::wstring file = dir.Child(L"report.dresscli");
    ASSERT_TRUE(Touch(file));
    std::wstring icon = dir.Child(L"file.ico");
    ASSERT_TRUE(WriteIconFile(icon));

    ProgramRun set = Dress(L"set " + Quote(file) + L" --icon " + Quote(icon) + L" --infotip " +
                           Quote(L"@" + Strings() + L",-101") + L" --label " + Quote(kUnicodeTip));
    ASSERT_EQ(0u, set.exitCode) << set.err;
    std::wstring ini = dir.Child(L"Desktop.ini");
    EXPECT_EQ(L"@" + Strings() + L",-101", ReadProfile(ini, L"report.dresscli", L"InfoTip"));
    EXPECT_EQ(kUnicodeTip, ReadProfile(ini, L"LocalizedFileNames", L"report.dresscli"));
    EXPECT_NE(L"<missing>", ReadProfile(ini, L"report.dresscli", L"IconFile"));

    ProgramRun show = Dress(L"show " + Quote(file) + L" --json");
    ASSERT_EQ(0u, show.exitCode) << show.err;
    EXPECT_TRUE(Contains(show.out, L"\"kind\":\"file\"")) << show.out;
    EXPECT_TRUE(Contains(show.out, L"\"icon\":{\"file\":\"" + Json(icon) + L"\",\"index\":0}")) << show.out;
    EXPECT_TRUE(Contains(show.out, L"\"infoTipText\":\"Quarterly figures from the string table\"")) << show.out;
    EXPECT_TRUE(Contains(show.out, L"\"label\":\"" + kUnicodeTip + L"\"")) << show.out;
    EXPECT_TRUE(Contains(show.out, L"\"type\":\".dresscli\"")) << show.out;
}

TEST(DressType, SwitchesHandlersAndShowsThem)
{
    DeleteRegTree(HKEY_CLASSES_ROOT, L".dresstype");
    DeleteRegTree(HKEY_CLASSES_ROOT, L"dresstypefile");
    ProgramRun on = Dress(L"type .dresstype --icons on --infotips on");
    ASSERT_EQ(0u, on.exitCode) << on.err;
    EXPECT_EQ(DOCDRESS_CLSID_STRING, ReadRegString(HKEY_CLASSES_ROOT, L"dresstypefile\\shellex\\IconHandler", nullptr));
    ProgramRun shown = Dress(L"type .dresstype --json");
    EXPECT_TRUE(Contains(shown.out, L"\"icons\":\"on\",\"infoTips\":\"on\"")) << shown.out;

    ProgramRun off = Dress(L"type .dresstype --icons off");
    ASSERT_EQ(0u, off.exitCode) << off.err;
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"dresstypefile\\shellex\\IconHandler"));
    EXPECT_TRUE(Contains(off.out, L"icons:    off")) << off.out;
    EXPECT_TRUE(Contains(off.out, L"InfoTips: on")) << off.out;
    DeleteRegTree(HKEY_CLASSES_ROOT, L".dresstype");
    DeleteRegTree(HKEY_CLASSES_ROOT, L"dresstypefile");
}

TEST(DressSetShow, DriveRoundTrip)
{
    TempDrive drive;
    ASSERT_TRUE(drive.Ready());
    std::wstring icon = drive.Path(L"disk.ico");
    ASSERT_TRUE(WriteIconFile(icon));
    std::wstring root = drive.Root();

    ProgramRun set = Dress(L"set " + root + L" --drive-label " + Quote(kUnicodeTip) + L" --drive-icon " +
                           Quote(icon + L",0") + L" --disk-label Backup --disk-icon " + Quote(icon));
    ASSERT_EQ(0u, set.exitCode) << set.err;
    EXPECT_EQ(kUnicodeTip, ReadLetterValue(drive.Letter(), L"DefaultLabel"));
    EXPECT_EQ(icon, ReadLetterValue(drive.Letter(), L"DefaultIcon"));
    EXPECT_EQ(L"Backup", ReadProfile(drive.AutoRun(), L"autorun", L"label"));
    // On the disk itself the icon is kept relative to the root.
    EXPECT_EQ(L"disk.ico", ReadProfile(drive.AutoRun(), L"autorun", L"icon"));

    ProgramRun show = Dress(L"show " + root + L" --json");
    ASSERT_EQ(0u, show.exitCode) << show.err;
    EXPECT_TRUE(Contains(show.out, L"\"kind\":\"drive\"")) << show.out;
    EXPECT_TRUE(Contains(show.out, L"\"driveLabel\":\"" + kUnicodeTip + L"\"")) << show.out;
    EXPECT_TRUE(Contains(show.out, L"\"driveIcon\":{\"file\":\"" + Json(icon) + L"\",\"index\":0}")) << show.out;
    EXPECT_TRUE(Contains(show.out, L"\"diskLabel\":\"Backup\"")) << show.out;
    EXPECT_TRUE(Contains(show.out, L"\"diskIcon\":{\"file\":\"" + Json(icon) + L"\",\"index\":0}")) << show.out;

    ASSERT_EQ(0u, Dress(L"reset " + root).exitCode);
    EXPECT_FALSE(LetterKeyExists(drive.Letter()));
    EXPECT_EQ(L"<missing>", ReadProfile(drive.AutoRun(), L"autorun", L"label"));
    DeleteLetterKey(drive.Letter());
}

TEST(DressRecursive, SetsEveryFolderBelowAndDryRunWritesNothing)
{
    TempDir dir;
    std::vector<std::wstring> folders = {dir.MakeDir(L"top"), dir.MakeDir(L"top\\a"), dir.MakeDir(L"top\\a\\b"),
                                         dir.MakeDir(L"top\\c")};
    ASSERT_TRUE(Touch(dir.Child(L"top\\a\\file.txt")));

    ProgramRun dry = Dress(L"set " + Quote(folders[0]) + L" --recursive --dry-run --infotip Archive");
    ASSERT_EQ(0u, dry.exitCode) << dry.err;
    for (const std::wstring& folder : folders) {
        EXPECT_FALSE(FileExists(folder + L"\\Desktop.ini")) << folder;
        EXPECT_TRUE(Contains(dry.out, L"would write " + folder + L"\n")) << dry.out;
        EXPECT_FALSE(Attributes(folder) & FILE_ATTRIBUTE_READONLY) << folder;
    }

    ProgramRun set = Dress(L"set " + Quote(folders[0]) + L" --recursive --infotip Archive");
    ASSERT_EQ(0u, set.exitCode) << set.err;
    for (const std::wstring& folder : folders)
        EXPECT_EQ(L"Archive", ReadProfile(folder + L"\\Desktop.ini", kShellClassInfo, L"InfoTip")) << folder;

    ProgramRun show = Dress(L"show " + Quote(folders[0]) + L" --recursive --json");
    for (const std::wstring& folder : folders)
        EXPECT_TRUE(Contains(show.out, L"\"path\":\"" + Json(folder) + L"\"")) << show.out;

    // A problem two levels down is found from the top.
    SetFileAttributesW((folders[2] + L"\\Desktop.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
    ProgramRun check = Dress(L"check " + Quote(folders[0]) + L" --recursive");
    EXPECT_TRUE(Contains(check.out, folders[2] + L": " + folders[2] + L"\\Desktop.ini is not hidden and system"))
        << check.out;

    ASSERT_EQ(0u, Dress(L"reset " + Quote(folders[0]) + L" --recursive --infotip").exitCode);
    for (const std::wstring& folder : folders)
        EXPECT_EQ(L"<missing>", ReadProfile(folder + L"\\Desktop.ini", kShellClassInfo, L"InfoTip")) << folder;
}

// Bad input: a message, exit code 2, and the folder as it was.
struct BadInput {
    const wchar_t* name;
    const wchar_t* arguments;   // {dir}: the folder, {file}: a file in it, {ico}: an icon file
    const wchar_t* message;
};

const BadInput kBadInputs[] = {
    {L"missing path", L"set {dir}\\missing --infotip x", L"no such file, folder or drive"},
    {L"missing icon file", L"set {dir} --icon {dir}\\none.ico", L"the icon file does not exist"},
    {L"icon index the file lacks", L"set {dir} --icon {ico},5", L"has no icon at index 5"},
    {L"text too long", L"set {dir} --label {long}", L"at most 259 fit"},
    {L"unknown option", L"set {dir} --colour red", L"--colour: unknown option"},
    {L"unknown command", L"paint {dir}", L"paint: unknown command"},
    {L"indirect string naming nothing", L"set {dir} --infotip @{dir}\\none.dll,-5", L"names no string"},
    {L"drive options on a folder", L"set {dir} --drive-label x", L"need a drive root"},
    {L"value missing", L"set {dir} --infotip", L"--infotip needs a value"},
    {L"nothing to set", L"set {dir}", L"name at least one setting"},
    {L"bad switch value", L"type .txt --icons maybe", L"must be on or off"},
    // The second item is bad: the first is not written either.
    {L"second path missing", L"reset {dir} {dir}\\gone", L"no such file, folder or drive"},
    {L"file where a folder is needed", L"set {ico} --recursive --infotip x", L"--recursive needs a folder"},
};

TEST(DressBadInput, GivesItsMessageExitCodeTwoAndWritesNothing)
{
    for (const BadInput& c : kBadInputs) {
        TempDir dir;
        std::wstring ico = dir.Child(L"one.ico");
        ASSERT_TRUE(WriteIconFile(ico));
        std::wstring arguments = Replace(c.arguments, L"{dir}", dir.Path());
        arguments = Replace(arguments, L"{ico}", ico);
        arguments = Replace(arguments, L"{long}", std::wstring(260, L'x'));
        ProgramRun run = Dress(arguments);
        EXPECT_EQ(2u, run.exitCode) << c.name;
        EXPECT_TRUE(Contains(run.err, c.message)) << c.name << ": " << run.err;
        EXPECT_TRUE(run.out.empty()) << c.name << ": " << run.out;
        EXPECT_FALSE(FileExists(dir.Child(L"Desktop.ini"))) << c.name;
        EXPECT_FALSE(Attributes(dir.Path()) & FILE_ATTRIBUTE_READONLY) << c.name;
    }
}

TEST(DressHelp, ForTheProgramAndEachCommand)
{
    ProgramRun help = Dress(L"--help");
    EXPECT_EQ(0u, help.exitCode);
    EXPECT_TRUE(Contains(help.out, L"Usage: dress COMMAND")) << help.out;
    for (const wchar_t* command : {L"show", L"set", L"reset", L"type", L"check"}) {
        ProgramRun run = Dress(std::wstring(command) + L" --help");
        EXPECT_EQ(0u, run.exitCode) << command;
        EXPECT_TRUE(Contains(run.out, std::wstring(L"Usage: dress ") + command)) << run.out;
    }
    EXPECT_EQ(2u, Dress(L"").exitCode);
}

// An item whose settings file cannot take a write without loss fails on its
// own (named, exit code 1, the file as it was); the other items are written.
TEST(DressItemFailure, NamesTheItemAndWritesTheOthers)
{
    TempDir dir;
    std::wstring good = dir.MakeDir(L"good");
    std::wstring noMark = dir.MakeDir(L"nomark");
    std::wstring bytes = L"[.ShellClassInfo]\r\nInfoTip=Kept\r\n";
    ASSERT_TRUE(WriteUnicodeFile(good + L"\\Desktop.ini", bytes));
    ASSERT_TRUE(WriteBytes(noMark + L"\\Desktop.ini", UnicodeBytes(bytes, false)));
    std::wstring directory = dir.MakeDir(L"dironly\\Desktop.ini");

    ProgramRun run = Dress(L"reset " + Quote(good) + L" " + Quote(noMark) + L" " + Quote(FolderOf(directory)) +
                           L" --infotip");
    EXPECT_EQ(1u, run.exitCode) << run.out << run.err;
    EXPECT_TRUE(Contains(run.err, noMark + L": " + noMark + L"\\Desktop.ini is UTF-16 without a byte-order mark"))
        << run.err;
    EXPECT_TRUE(Contains(run.err, FolderOf(directory) + L": ")) << run.err;
    EXPECT_TRUE(Contains(run.out, good + L"\n")) << run.out;
    EXPECT_EQ(UnicodeBytes(bytes, false), ReadBytes(noMark + L"\\Desktop.ini"));
    EXPECT_EQ(L"<missing>", ReadProfile(good + L"\\Desktop.ini", kShellClassInfo, L"InfoTip"));
}

// On a console the text goes through WriteConsoleW: read back from the
// console's screen buffer, characters outside every ANSI code page included.
TEST(DressConsole, WritesUnicodeToTheConsole)
{
    TempDir dir;
    ASSERT_EQ(0u, Dress(L"set " + Quote(dir.Path()) + L" --infotip " + Quote(kUnicodeTip)).exitCode);

    FreeConsole();
    ASSERT_TRUE(AllocConsole());
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, screen);
    std::wstring command = L"\"" + ProgramFile(L"dress.exe") + L"\" show " + Quote(dir.Path());
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    WaitForSingleObject(process.hProcess, 60000);
    DWORD exitCode = 99;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    CONSOLE_SCREEN_BUFFER_INFO info = {};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(screen, &info));
    DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwCursorPosition.Y + 1);
    std::wstring text(cells, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(screen, &text[0], cells, {0, 0}, &read);
    CloseHandle(screen);
    FreeConsole();
    EXPECT_EQ(0u, exitCode);
    EXPECT_TRUE(Contains(text, L"infoTip:     " + kUnicodeTip)) << text;
}

// One "check" finding made in a prepared folder: what the check says, and
// whether --fix mends it (then `mended` holds afterwards).
struct CheckCase {
    const wchar_t* name;
    std::function<void(const TempDir&)> prepare;
    const wchar_t* finding;
    bool mendable;
    std::function<bool(const TempDir&)> mended;
};

std::wstring Ini(const TempDir& dir)
{
    return dir.Child(L"Desktop.ini");
}

// A folder that shows its settings: system (read-only does not stay on a
// folder under Wine), Desktop.ini hidden and system.
void Dressed(const TempDir& dir, const std::wstring& text)
{
    WriteUnicodeFile(Ini(dir), text);
    SetFileAttributesW(Ini(dir).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesW(dir.Path().c_str(), FILE_ATTRIBUTE_SYSTEM);
}

const std::vector<CheckCase>& CheckCases()
{
    static const std::vector<CheckCase> cases = {
        {L"folder without read-only or system",
         [](const TempDir& dir) {
             Dressed(dir, L"[.ShellClassInfo]\r\nInfoTip=Tip\r\n");
             SetFileAttributesW(dir.Path().c_str(), FILE_ATTRIBUTE_NORMAL);
         },
         L"neither read-only nor system", true,
         // Read-only does not stay on a folder under Wine: then system.
         [](const TempDir& dir) {
             return (Attributes(dir.Path()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)) != 0;
         }},
        {L"Desktop.ini not hidden and system",
         [](const TempDir& dir) {
             Dressed(dir, L"[.ShellClassInfo]\r\nInfoTip=Tip\r\n");
             SetFileAttributesW(Ini(dir).c_str(), FILE_ATTRIBUTE_NORMAL);
         },
         L"is not hidden and system", true,
         [](const TempDir& dir) {
             DWORD wanted = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
             return (Attributes(Ini(dir)) & wanted) == wanted;
         }},
        {L"UTF-16 without byte-order mark",
         [](const TempDir& dir) {
             Dressed(dir, L"");
             SetFileAttributesW(Ini(dir).c_str(), FILE_ATTRIBUTE_NORMAL);
             WriteBytes(Ini(dir), UnicodeBytes(L"[.ShellClassInfo]\r\nInfoTip=Tip\r\n", false));
             SetFileAttributesW(Ini(dir).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
         },
         L"UTF-16 without a byte-order mark", true,
         [](const TempDir& dir) {
             return ReadBytes(Ini(dir)).compare(0, 2, "\xFF\xFE") == 0 &&
                    ReadProfile(Ini(dir), kShellClassInfo, L"InfoTip") == L"Tip";
         }},
        {L"icon file missing",
         [](const TempDir& dir) { Dressed(dir, L"[.ShellClassInfo]\r\nIconFile=gone.ico\r\nIconIndex=0\r\n"); },
         L"gone.ico does not exist", false, nullptr},
        {L"icon index beyond the file's icons",
         [](const TempDir& dir) {
             WriteIconFile(dir.Child(L"one.ico"));
             Dressed(dir, L"[.ShellClassInfo]\r\nIconFile=one.ico\r\nIconIndex=3\r\n");
         },
         L"has no icon at index 3", false, nullptr},
        {L"indirect string naming nothing",
         [](const TempDir& dir) { Dressed(dir, L"[.ShellClassInfo]\r\nInfoTip=@" + dir.Child(L"no.dll") + L",-4\r\n"); },
         L"names no string", false, nullptr},
        {L"IconResource naming another icon",
         [](const TempDir& dir) {
             WriteIconFile(dir.Child(L"one.ico"));
             WriteIconFile(dir.Child(L"two.ico"));
             Dressed(dir, L"[.ShellClassInfo]\r\nIconFile=one.ico\r\nIconIndex=0\r\nIconResource=two.ico,0\r\n");
         },
         L"names another icon than IconFile", false, nullptr},
        {L"per-file entries while the type's handler is off",
         [](const TempDir& dir) {
             DeleteRegTree(HKEY_CLASSES_ROOT, L".dresschk");
             Touch(dir.Child(L"a.dresschk"));
             Dressed(dir, L"[a.dresschk]\r\nInfoTip=Own tip\r\n");
         },
         L"its type's InfoTip handler is off", false, nullptr},
        {L"entries for a name the format cannot hold",
         [](const TempDir& dir) {
             Touch(dir.Child(L"a=b.txt"));
             Dressed(dir, L"[a=b.txt]\r\nInfoTip=Own tip\r\n");
         },
         L"a file name the format cannot hold", false, nullptr},
        {L"question mark in an ANSI file",
         [](const TempDir& dir) {
             WriteBytes(Ini(dir), "[.ShellClassInfo]\r\nInfoTip=Ferien ??\r\n");
             SetFileAttributesW(Ini(dir).c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
             SetFileAttributesW(dir.Path().c_str(), FILE_ATTRIBUTE_SYSTEM);
         },
         L"holds \"?\" in an ANSI Desktop.ini", false,
         // The file is re-encoded as Unicode with the same content.
         [](const TempDir& dir) {
             return ReadBytes(Ini(dir)).compare(0, 2, "\xFF\xFE") == 0 &&
                    ReadProfile(Ini(dir), kShellClassInfo, L"InfoTip") == L"Ferien ??";
         }},
    };
    return cases;
}

TEST(DressCheck, FindsEachReasonAndFixMendsTheMendable)
{
    for (const CheckCase& c : CheckCases()) {
        TempDir dir;
        c.prepare(dir);
        std::string before = ReadBytes(Ini(dir));

        ProgramRun check = Dress(L"check " + Quote(dir.Path()));
        EXPECT_EQ(1u, check.exitCode) << c.name << ": " << check.out << check.err;
        EXPECT_TRUE(Contains(check.out, c.finding)) << c.name << ": " << check.out;
        EXPECT_EQ(before, ReadBytes(Ini(dir))) << c.name << ": check without --fix changed Desktop.ini";

        ProgramRun dry = Dress(L"check " + Quote(dir.Path()) + L" --fix --dry-run");
        EXPECT_EQ(before, ReadBytes(Ini(dir))) << c.name << ": --dry-run changed Desktop.ini";

        ProgramRun fix = Dress(L"check " + Quote(dir.Path()) + L" --fix");
        EXPECT_EQ(c.mendable ? 0u : 1u, fix.exitCode) << c.name << ": " << fix.out;
        if (c.mended) {
            EXPECT_TRUE(c.mended(dir)) << c.name << ": " << fix.out;
        }
        SetFileAttributesW(dir.Path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    DeleteRegTree(HKEY_CLASSES_ROOT, L".dresschk");
}

TEST(DressCheck, CleanFolderPasses)
{
    TempDir dir;
    WriteIconFile(dir.Child(L"one.ico"));
    ASSERT_EQ(0u, Dress(L"set " + Quote(dir.Path()) + L" --icon " + Quote(dir.Child(L"one.ico")) +
                        L" --infotip Tip").exitCode);
    // The read-only bit the program sets does not stay on a folder under Wine.
    SetFileAttributesW(dir.Path().c_str(), FILE_ATTRIBUTE_SYSTEM);
    ProgramRun check = Dress(L"check " + Quote(dir.Path()) + L" --recursive");
    EXPECT_EQ(0u, check.exitCode) << check.out;
    EXPECT_TRUE(Contains(check.out, L"No problems found.")) << check.out;
    SetFileAttributesW(dir.Path().c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
