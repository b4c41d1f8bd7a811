// "dress check": every reason a folder's or file's customization would not
// show, and with --fix the mending of what can be mended without loss.
#include <windows.h>
#include <strsafe.h>

#include <string>
#include <vector>

#include "clsids.h"
#include "console.h"
#include "desktop_ini.h"
#include "file_store.h"
#include "handle.h"
#include "items.h"
#include "profile.h"
#include "type_handler.h"

namespace {

const WCHAR kShellClassInfo[] = L".ShellClassInfo";
const WCHAR kLabelSection[] = L"LocalizedFileNames";

// The findings of one run, printed as they come.
class Findings {
public:
    Findings(bool fix, bool dryRun) : fix_(fix), dryRun_(dryRun) {}

    // A finding that cannot be mended: what is wrong and what to do.
    void Report(PCWSTR item, const std::wstring& what, const std::wstring& todo)
    {
        WriteOut(Format(L"%ls: %ls; %ls\n", item, what.c_str(), todo.c_str()));
        ++left_;
    }

    // A finding that --fix mends by `mend` (returning whether it worked).
    template <typename Mend>
    void Mendable(PCWSTR item, const std::wstring& what, Mend mend)
    {
        if (!fix_) {
            WriteOut(Format(L"%ls: %ls; dress check --fix mends it\n", item, what.c_str()));
            ++left_;
        } else if (dryRun_) {
            WriteOut(Format(L"%ls: %ls; would be mended\n", item, what.c_str()));
        } else if (mend()) {
            WriteOut(Format(L"%ls: %ls; mended\n", item, what.c_str()));
        } else {
            WriteOut(Format(L"%ls: %ls; could not be mended\n", item, what.c_str()));
            ++failed_;
        }
    }

    // Values with "?" found in ANSI files so far.
    int questionMarks = 0;
    int Left() const { return left_; }
    int Failed() const { return failed_; }

private:
    bool fix_;
    bool dryRun_;
    int left_ = 0;
    int failed_ = 0;
};

bool AddAttributes(PCWSTR path, DWORD added)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && SetFileAttributesW(path, (attributes & ~FILE_ATTRIBUTE_NORMAL) | added);
}

// Makes the folder read-only, as the stores do. Where the bit does not stay
// on a folder (some file systems drop it) the folder is made system
// instead, which Explorer takes as well.
bool MarkFolder(PCWSTR folderPath)
{
    AddAttributes(folderPath, FILE_ATTRIBUTE_READONLY);
    if (GetFileAttributesW(folderPath) & FILE_ATTRIBUTE_READONLY)
        return true;
    AddAttributes(folderPath, FILE_ATTRIBUTE_SYSTEM);
    return (GetFileAttributesW(folderPath) & FILE_ATTRIBUTE_SYSTEM) != 0;
}

// An icon location's problems: the file missing, or without that icon.
void CheckIcon(Findings* findings, PCWSTR item, PCWSTR what, PCWSTR workingFile, int index)
{
    if (!workingFile[0])
        return;
    WCHAR expanded[MAX_PATH];
    DWORD needed = ExpandEnvironmentStringsW(workingFile, expanded, MAX_PATH);
    DWORD attributes = needed && needed <= MAX_PATH ? GetFileAttributesW(expanded) : INVALID_FILE_ATTRIBUTES;
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        findings->Report(item, Format(L"%ls file %ls does not exist", what, workingFile),
                         L"set another with dress set --icon, or put the file back");
    else if (!IconExists(workingFile, index))
        findings->Report(item, Format(L"%ls file %ls has no icon at index %d", what, workingFile, index),
                         L"set another index with dress set --icon FILE,INDEX");
}

void CheckText(Findings* findings, PCWSTR item, PCWSTR what, PCWSTR value, bool ansi)
{
    WCHAR resolved[MAX_PATH];
    if (value[0] == L'@' && !ResolveText(value, resolved))
        findings->Report(item, Format(L"%ls %ls names no string", what, value),
                         L"set the text again with dress set");
    if (ansi && wcschr(value, L'?')) {
        findings->Report(item, Format(L"%ls \"%ls\" holds \"?\" in an ANSI Desktop.ini: characters the code page "
                                      L"lacks may have been lost", what, value),
                         L"set the text again (the file is then written as Unicode)");
        ++findings->questionMarks;
    }
}

// The entries of one file (its section and its "LocalizedFileNames" entry).
void CheckFileEntries(Findings* findings, PCWSTR filePath, bool ansi)
{
    if (!CanHoldFileEntries(filePath)) {
        WCHAR settingsPath[MAX_PATH];
        if (GetFileSettingsPath(filePath, settingsPath)) {
            // Room for a line or two: any entry at all is a finding.
            WCHAR sections[256];
            PCWSTR name = wcsrchr(filePath, L'\\') + 1;
            if (GetPrivateProfileSectionW(name, sections, ARRAYSIZE(sections), settingsPath) > 0)
                findings->Report(filePath, L"Desktop.ini holds entries for a file name the format cannot hold "
                                           L"(\"=\", \"]\", a leading \"[\" or \";\", or white space at either end)",
                                 L"rename the file; its entries are never read");
        }
        return;
    }
    WCHAR stored[MAX_PATH] = L"";
    int index = 0;
    ReadFileIconForPage(filePath, stored, &index);
    WCHAR infoTip[MAX_PATH];
    ReadFileSetting(filePath, L"InfoTip", L"", infoTip, ARRAYSIZE(infoTip));
    WCHAR label[MAX_PATH];
    ReadFileLabel(filePath, label);

    PCWSTR extension = GetFileExtension(filePath);
    if (stored[0]) {
        WCHAR folderPath[MAX_PATH];
        WCHAR working[MAX_PATH] = L"";
        if (GetFileFolderPath(filePath, folderPath) && ExpandIconFile(folderPath, stored, working))
            CheckIcon(findings, filePath, L"icon", working, index);
        if (QueryTypeHandler(extension, kIconHandlerKey, DOCDRESS_CLSID_STRING) != RegisteredHere)
            findings->Report(filePath, L"the file has its own icon but its type's icon handler is off",
                             Format(L"dress type %ls --icons on", extension ? extension : L"(none)"));
        CheckText(findings, filePath, L"IconFile", stored, ansi);
    }
    if (infoTip[0]) {
        CheckText(findings, filePath, L"InfoTip", infoTip, ansi);
        if (QueryTypeHandler(extension, kInfoTipHandlerKey, DOCDRESS_CLSID_STRING) != RegisteredHere)
            findings->Report(filePath, L"the file has its own InfoTip but its type's InfoTip handler is off",
                             Format(L"dress type %ls --infotips on", extension ? extension : L"(none)"));
    }
    if (label[0])
        CheckText(findings, filePath, L"label", label, ansi);
}

// The settings file itself: it exists as a file, is readable and hidden and
// system. Returns its encoding after any mending.
ProfileEncoding CheckSettingsFile(Findings* findings, PCWSTR item, PCWSTR settingsPath)
{
    ProfileEncoding encoding = ExamineProfile(settingsPath);
    if (encoding == ProfileUnreadable) {
        findings->Report(item, Format(L"%ls is not a file that can be read", settingsPath),
                         L"remove or rename what stands in its place");
        return encoding;
    }
    if (encoding == ProfileAbsent)
        return encoding;
    if (encoding == ProfileUtf16NoBom) {
        findings->Mendable(item, Format(L"%ls is UTF-16 without a byte-order mark, read as nothing", settingsPath),
                           [&] { return AddUtf16ByteOrderMark(settingsPath); });
        encoding = ExamineProfile(settingsPath);
        if (encoding == ProfileUtf16NoBom)
            return encoding;
    }
    DWORD attributes = GetFileAttributesW(settingsPath);
    const DWORD hiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if ((attributes & hiddenSystem) != hiddenSystem)
        findings->Mendable(item, Format(L"%ls is not hidden and system", settingsPath),
                           [&] {
                               MarkDesktopIni(settingsPath, attributes & ~FILE_ATTRIBUTE_NORMAL);
                               return (GetFileAttributesW(settingsPath) & hiddenSystem) == hiddenSystem;
                           });
    return encoding;
}

// The values' '?' can only be mended by setting them again; re-encoding the
// file as Unicode keeps any later value whole.
void OfferUnicode(Findings* findings, PCWSTR item, PCWSTR settingsPath, int questionMarksBefore)
{
    if (findings->questionMarks == questionMarksBefore)
        return;
    findings->Mendable(item, Format(L"%ls is ANSI text: values outside its code page turn into \"?\"", settingsPath),
                       [&] { return ConvertProfileToUnicode(settingsPath); });
}

void CheckFolder(Findings* findings, PCWSTR folderPath)
{
    WCHAR settingsPath[MAX_PATH];
    if (!GetDesktopIniPath(folderPath, settingsPath))
        return;
    ProfileEncoding encoding = CheckSettingsFile(findings, folderPath, settingsPath);
    if (encoding == ProfileAbsent || encoding == ProfileUnreadable || encoding == ProfileUtf16NoBom)
        return;

    DWORD attributes = GetFileAttributesW(folderPath);
    if (!(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)))
        findings->Mendable(folderPath, L"the folder is neither read-only nor system, so Explorer does not read its "
                                       L"Desktop.ini",
                           [&] { return MarkFolder(folderPath); });

    bool ansi = encoding == ProfileAnsi || encoding == ProfileAnsiLossy;
    int questionMarksBefore = findings->questionMarks;
    // The folder's own icon: "IconFile" and "IconIndex", and "IconResource".
    WCHAR stored[MAX_PATH] = L"";
    int index = 0;
    WCHAR iconFile[MAX_PATH] = L"";
    ReadIconEntries(settingsPath, kShellClassInfo, stored, &index);
    if (stored[0] && ExpandIconFile(folderPath, stored, iconFile)) {
        CheckIcon(findings, folderPath, L"IconFile", iconFile, index);
        CheckText(findings, folderPath, L"IconFile", stored, ansi);
    }
    WCHAR resourceFile[MAX_PATH] = L"";
    int resourceIndex = 0;
    IconResourceState resource = ReadIconResource(settingsPath, folderPath, resourceFile, &resourceIndex);
    if (resource == IconResourceParsed) {
        CheckIcon(findings, folderPath, L"IconResource", resourceFile, resourceIndex);
        if (iconFile[0] && (lstrcmpiW(iconFile, resourceFile) != 0 || index != resourceIndex))
            findings->Report(folderPath,
                             Format(L"IconResource (%ls,%d) names another icon than IconFile (%ls,%d); Explorer "
                                    L"shows IconResource", resourceFile, resourceIndex, iconFile, index),
                             L"set the icon again with dress set --icon");
    }
    WCHAR value[MAX_PATH];
    ReadFolderSetting(settingsPath, L"InfoTip", L"", value, ARRAYSIZE(value));
    CheckText(findings, folderPath, L"InfoTip", value, ansi);
    ReadFolderSetting(settingsPath, L"LocalizedResourceName", L"", value, ARRAYSIZE(value));
    CheckText(findings, folderPath, L"label", value, ansi);

    // Every file that has entries: a section named after it, or a label.
    std::vector<WCHAR> names(32768);
    DWORD length = GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()), settingsPath);
    std::vector<std::wstring> files;
    for (PCWSTR name = names.data(); name < names.data() + length && *name; name += wcslen(name) + 1) {
        if (lstrcmpiW(name, kShellClassInfo) != 0 && lstrcmpiW(name, kLabelSection) != 0)
            files.push_back(name);
    }
    length = GetPrivateProfileSectionW(kLabelSection, names.data(), static_cast<DWORD>(names.size()), settingsPath);
    for (PCWSTR line = names.data(); line < names.data() + length && *line; line += wcslen(line) + 1) {
        PCWSTR equals = wcschr(line, L'=');
        if (equals)
            files.push_back(std::wstring(line, equals));
    }
    std::vector<std::wstring> checked;
    for (const std::wstring& name : files) {
        std::wstring path = std::wstring(folderPath) + L"\\" + name;
        DWORD fileAttributes = GetFileAttributesW(path.c_str());
        if (path.size() >= MAX_PATH || fileAttributes == INVALID_FILE_ATTRIBUTES ||
            (fileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        bool seen = false;
        for (const std::wstring& done : checked)
            seen = seen || lstrcmpiW(done.c_str(), path.c_str()) == 0;
        if (seen)
            continue;
        checked.push_back(path);
        CheckFileEntries(findings, path.c_str(), ansi);
    }
    if (encoding == ProfileAnsi)
        OfferUnicode(findings, folderPath, settingsPath, questionMarksBefore);
}

void CheckFile(Findings* findings, PCWSTR filePath)
{
    WCHAR settingsPath[MAX_PATH];
    if (!GetFileSettingsPath(filePath, settingsPath))
        return;
    ProfileEncoding encoding = CheckSettingsFile(findings, filePath, settingsPath);
    if (encoding == ProfileAbsent || encoding == ProfileUnreadable || encoding == ProfileUtf16NoBom)
        return;
    int questionMarksBefore = findings->questionMarks;
    CheckFileEntries(findings, filePath, encoding == ProfileAnsi || encoding == ProfileAnsiLossy);
    if (encoding == ProfileAnsi)
        OfferUnicode(findings, filePath, settingsPath, questionMarksBefore);
}

}  // namespace

int RunCheck(const std::vector<Item>& items, bool /*recursive*/, bool fix, bool dryRun)
{
    Findings findings(fix, dryRun);
    for (const Item& item : items) {
        if (item.kind == KindFolder)
            CheckFolder(&findings, item.path);
        else if (item.kind == KindFile)
            CheckFile(&findings, item.path);
        else
            WriteErr(Format(L"dress: %ls: check looks at folders and files\n", item.path));
    }
    if (findings.Left() == 0 && findings.Failed() == 0)
        WriteOut(L"No problems found.\n");
    // Problems left (or mending that failed) make the check fail.
    return findings.Left() > 0 || findings.Failed() > 0 ? 1 : 0;
}
