// dress: the folder, file and drive settings of the Properties pages from
// the command line, through the same store operations the pages use.
#include <windows.h>
#include <strsafe.h>

#include <string>
#include <vector>

#include "clsids.h"
#include "console.h"
#include "desktop_ini.h"
#include "drive_store.h"
#include "file_store.h"
#include "item_apply.h"
#include "items.h"
#include "profile.h"
#include "type_handler.h"

namespace {

const int kExitSuccess = 0;
const int kExitItemFailed = 1;
const int kExitUsage = 2;

const WCHAR kUsage[] =
    L"Usage: dress COMMAND [OPTIONS]\n"
    L"\n"
    L"Shows and changes the icons, InfoTips and labels of folders, files and drives.\n"
    L"\n"
    L"Commands:\n"
    L"  show PATH... [--json] [--recursive]   what is stored for folders, files and drives\n"
    L"  set PATH [options]                     changes a folder's, file's or drive's settings\n"
    L"  reset PATH [options]                   removes settings (all when none is named)\n"
    L"  type .EXT [--icons on|off] [--infotips on|off]\n"
    L"                                         shows or switches a file type's handlers\n"
    L"  check PATH... [--recursive] [--fix]    finds why a customization does not show\n"
    L"\n"
    L"Run \"dress COMMAND --help\" for a command's options.\n"
    L"Exit codes: 0 success, 1 some item failed, 2 usage error (nothing written).\n";

const WCHAR kShowHelp[] =
    L"Usage: dress show PATH... [--json] [--recursive]\n"
    L"\n"
    L"Shows everything stored for each folder, file or drive root: icon, InfoTip and\n"
    L"label (indirect strings with the text they name), a file's type handlers, a\n"
    L"drive letter's and its disk's label and icon.\n"
    L"\n"
    L"  --json        one JSON array with an object per item\n"
    L"  --recursive   also every folder below each folder (links and junctions are not followed)\n";

const WCHAR kSetHelp[] =
    L"Usage: dress set PATH [--icon FILE[,INDEX]] [--infotip TEXT] [--label TEXT]\n"
    L"       dress set X:\\ [--drive-label TEXT] [--drive-icon FILE[,INDEX]]\n"
    L"                     [--disk-label TEXT] [--disk-icon FILE[,INDEX]]\n"
    L"\n"
    L"Writes only the named settings of a folder or file (in Desktop.ini) or of a\n"
    L"drive (the drive letter's in the registry, the disk's in AutoRun.inf), and\n"
    L"tells Explorer. A TEXT of the form @module,-id must name an existing string.\n"
    L"An empty TEXT removes the setting. Texts hold at most 259 characters.\n"
    L"\n"
    L"  --recursive   every folder below PATH too (links and junctions are not followed)\n"
    L"  --dry-run     prints what would be written and writes nothing\n";

const WCHAR kResetHelp[] =
    L"Usage: dress reset PATH [--icon] [--infotip] [--label]\n"
    L"       dress reset X:\\ [--drive-label] [--drive-icon] [--disk-label] [--disk-icon]\n"
    L"\n"
    L"Removes the named settings, or all of them when none is named.\n"
    L"\n"
    L"  --recursive   every folder below PATH too (links and junctions are not followed)\n"
    L"  --dry-run     prints what would be removed and writes nothing\n";

const WCHAR kTypeHelp[] =
    L"Usage: dress type .EXT [--icons on|off] [--infotips on|off] [--dry-run]\n"
    L"\n"
    L"Without options shows whether the file type's icons and InfoTips come from\n"
    L"each file's own settings; with them switches that on or off.\n";

const WCHAR kCheckHelp[] =
    L"Usage: dress check PATH... [--recursive] [--fix] [--dry-run]\n"
    L"\n"
    L"Lists every reason a folder's or file's customization would not show, one\n"
    L"line each with what to do: folder without read-only or system attribute,\n"
    L"Desktop.ini not hidden and system or UTF-16 without byte-order mark, icon\n"
    L"file missing or without the icon, an indirect string that names no string,\n"
    L"IconResource naming another icon than IconFile, per-file entries while the\n"
    L"type's handler is off or for a name the format cannot hold, \"?\" in an ANSI\n"
    L"Desktop.ini.\n"
    L"\n"
    L"  --fix         mends what can be mended without losing anything (attributes,\n"
    L"                the byte-order mark, re-encoding an ANSI file as Unicode)\n"
    L"  --recursive   every folder below PATH too (links and junctions are not followed)\n"
    L"  --dry-run     with --fix: says what would be mended and changes nothing\n"
    L"\n"
    L"Exit code 1 while problems are left, 0 when none are.\n";

// One optional setting as typed on the command line.
struct TextOption {
    bool given;
    PCWSTR text;
};
struct IconOption {
    bool given;
    WCHAR file[MAX_PATH];  // empty: remove the icon
    int index;
};

struct Options {
    std::vector<PCWSTR> paths;
    bool json;
    bool recursive;
    bool dryRun;
    bool fix;
    bool help;
    IconOption icon;
    TextOption infoTip;
    TextOption label;
    TextOption driveLabel;
    IconOption driveIcon;
    TextOption diskLabel;
    IconOption diskIcon;
    TypeSwitch icons;
    TypeSwitch infoTips;
};

int Usage(const std::wstring& message)
{
    WriteErr(L"dress: " + message + L"\nRun \"dress --help\" for the commands and their options.\n");
    return kExitUsage;
}

bool IsOption(PCWSTR argument, PCWSTR name)
{
    return wcscmp(argument, name) == 0;
}

// Reads the options of one command. Each command accepts the options named
// in `accepted` (a list of names separated and ended by spaces); settings
// take a value on "set" and none on "reset".
bool ParseOptions(int argc, wchar_t** argv, PCWSTR command, PCWSTR accepted, bool valued, Options* options,
                  std::wstring* message)
{
    for (int i = 2; i < argc; ++i) {
        PCWSTR argument = argv[i];
        if (argument[0] != L'-' || argument[1] != L'-') {
            options->paths.push_back(argument);
            continue;
        }
        if (IsOption(argument, L"--help")) {
            options->help = true;
            continue;
        }
        std::wstring key = std::wstring(L" ") + argument + L" ";
        if (std::wstring(L" ") .append(accepted).find(key) == std::wstring::npos) {
            *message = Format(L"%ls: unknown option for \"%ls\"", argument, command);
            return false;
        }
        if (IsOption(argument, L"--json")) {
            options->json = true;
        } else if (IsOption(argument, L"--recursive")) {
            options->recursive = true;
        } else if (IsOption(argument, L"--dry-run")) {
            options->dryRun = true;
        } else if (IsOption(argument, L"--fix")) {
            options->fix = true;
        } else if (IsOption(argument, L"--icons") || IsOption(argument, L"--infotips")) {
            if (i + 1 >= argc) {
                *message = Format(L"%ls needs on or off", argument);
                return false;
            }
            PCWSTR value = argv[++i];
            TypeSwitch state = SwitchUntouched;
            if (_wcsicmp(value, L"on") == 0)
                state = SwitchOn;
            else if (_wcsicmp(value, L"off") == 0)
                state = SwitchOff;
            else {
                *message = Format(L"%ls %ls: the value must be on or off", argument, value);
                return false;
            }
            (IsOption(argument, L"--icons") ? options->icons : options->infoTips) = state;
        } else {
            // The settings: a text or an icon on "set", a flag on "reset".
            PCWSTR value = L"";
            if (valued) {
                if (i + 1 >= argc) {
                    *message = Format(L"%ls needs a value", argument);
                    return false;
                }
                value = argv[++i];
            }
            TextOption* text = IsOption(argument, L"--infotip")       ? &options->infoTip
                               : IsOption(argument, L"--label")       ? &options->label
                               : IsOption(argument, L"--drive-label") ? &options->driveLabel
                               : IsOption(argument, L"--disk-label")  ? &options->diskLabel
                                                                      : nullptr;
            if (text) {
                if (valued && !CheckTextArgument(argument, value, message))
                    return false;
                text->given = true;
                text->text = value;
                continue;
            }
            IconOption* icon = IsOption(argument, L"--icon")         ? &options->icon
                               : IsOption(argument, L"--drive-icon") ? &options->driveIcon
                                                                     : &options->diskIcon;
            icon->given = true;
            icon->file[0] = L'\0';
            icon->index = 0;
            if (valued && value[0] && !ParseIconArgument(value, icon->file, &icon->index, message)) {
                *message = std::wstring(argument) + L" " + *message;
                return false;
            }
        }
    }
    return true;
}

// The items named on the command line, each resolved; with `recursive`
// every folder below a folder too. False, with a message, for a path that
// does not exist or does not fit.
bool CollectItems(const Options& options, std::vector<Item>* items, std::wstring* message)
{
    for (PCWSTR typed : options.paths) {
        Item item;
        if (!ResolveItem(typed, &item, message))
            return false;
        if (item.kind == KindMissing) {
            *message = Format(L"%ls: no such file, folder or drive", typed);
            return false;
        }
        if (options.recursive && item.kind != KindFolder) {
            *message = Format(L"%ls: --recursive needs a folder", item.path);
            return false;
        }
        if (options.recursive) {
            std::vector<std::wstring> folders;
            std::vector<std::wstring> skipped;
            CollectFolders(item.path, &folders, &skipped);
            for (const std::wstring& folder : skipped)
                WriteErr(Format(L"dress: %ls: skipped, the path is too long for a Desktop.ini\n", folder.c_str()));
            for (const std::wstring& folder : folders) {
                Item below = {KindFolder, L""};
                StringCchCopyW(below.path, ARRAYSIZE(below.path), folder.c_str());
                items->push_back(below);
            }
        } else {
            items->push_back(item);
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// show

std::wstring Resolved(PCWSTR value)
{
    WCHAR text[MAX_PATH];
    if (value[0] != L'@' || !ResolveText(value, text))
        return std::wstring();
    return text;
}

PCWSTR SwitchName(HandlerState state)
{
    switch (state) {
    case RegisteredHere:
        return L"on";
    case Unavailable:
        return L"unavailable";
    default:
        return L"off";
    }
}

PCWSTR EncodingName(ProfileEncoding encoding)
{
    switch (encoding) {
    case ProfileAbsent:
        return L"none";
    case ProfileAnsi:
    case ProfileAnsiLossy:
        return L"ansi";
    case ProfileUnicode:
        return L"unicode";
    case ProfileUtf16NoBom:
        return L"utf-16 without byte-order mark";
    default:
        return L"unreadable";
    }
}

// One shown value: JSON member or text line.
class Shown {
public:
    explicit Shown(bool json) : json_(json) {}

    void Begin(PCWSTR path, PCWSTR kind)
    {
        if (json_)
            out_ += Format(L"{\"path\":%ls,\"kind\":%ls", JsonString(path).c_str(), JsonString(kind).c_str());
        else
            out_ += Format(L"%ls (%ls)\n", path, kind);
    }
    void Text(PCWSTR name, PCWSTR value)
    {
        std::wstring resolved = Resolved(value);
        if (json_) {
            out_ += Format(L",%ls:%ls", JsonString(name).c_str(), JsonString(value).c_str());
            if (value[0] == L'@')
                out_ += Format(L",%ls:%ls", JsonString((std::wstring(name) + L"Text").c_str()).c_str(),
                               JsonString(resolved.c_str()).c_str());
        } else if (value[0] == L'@') {
            out_ += Format(L"  %-12ls %ls  (%ls)\n", (std::wstring(name) + L":").c_str(), value,
                           resolved.empty() ? L"names no string" : resolved.c_str());
        } else {
            out_ += Format(L"  %-12ls %ls\n", (std::wstring(name) + L":").c_str(), value);
        }
    }
    void Icon(PCWSTR name, PCWSTR file, int index)
    {
        if (json_) {
            if (file[0])
                out_ += Format(L",%ls:{\"file\":%ls,\"index\":%d}", JsonString(name).c_str(), JsonString(file).c_str(),
                               index);
            else
                out_ += Format(L",%ls:null", JsonString(name).c_str());
        } else {
            out_ += Format(L"  %-12ls %ls", (std::wstring(name) + L":").c_str(), file);
            if (file[0])
                out_ += Format(L",%d", index);
            out_ += L"\n";
        }
    }
    void Flag(PCWSTR name, bool value)
    {
        if (json_)
            out_ += Format(L",%ls:%ls", JsonString(name).c_str(), value ? L"true" : L"false");
        else
            out_ += Format(L"  %-12ls %ls\n", (std::wstring(name) + L":").c_str(), value ? L"yes" : L"no");
    }
    void End()
    {
        if (json_)
            out_ += L"}";
    }
    const std::wstring& Out() const { return out_; }

private:
    bool json_;
    std::wstring out_;
};

void ShowFolder(const Item& item, Shown* shown)
{
    WCHAR settingsPath[MAX_PATH];
    GetDesktopIniPath(item.path, settingsPath);
    shown->Begin(item.path, L"folder");
    WCHAR iconFile[MAX_PATH] = L"";
    int iconIndex = 0;
    ReadFolderIcon(settingsPath, item.path, iconFile, &iconIndex);
    shown->Icon(L"icon", iconFile, iconIndex);
    WCHAR value[MAX_PATH];
    ReadFolderSetting(settingsPath, L"InfoTip", L"", value, ARRAYSIZE(value));
    shown->Text(L"infoTip", value);
    ReadFolderSetting(settingsPath, L"LocalizedResourceName", L"", value, ARRAYSIZE(value));
    shown->Text(L"label", value);
    shown->Text(L"encoding", EncodingName(ExamineProfile(settingsPath)));
    shown->End();
}

void ShowFile(const Item& item, Shown* shown)
{
    shown->Begin(item.path, L"file");
    WCHAR stored[MAX_PATH] = L"";
    WCHAR iconFile[MAX_PATH] = L"";
    int iconIndex = 0;
    WCHAR folderPath[MAX_PATH];
    ReadFileIconForPage(item.path, stored, &iconIndex);
    if (stored[0] && GetFileFolderPath(item.path, folderPath))
        ExpandIconFile(folderPath, stored, iconFile);
    shown->Icon(L"icon", iconFile, iconIndex);
    WCHAR value[MAX_PATH];
    ReadFileSetting(item.path, L"InfoTip", L"", value, ARRAYSIZE(value));
    shown->Text(L"infoTip", value);
    ReadFileLabel(item.path, value);
    shown->Text(L"label", value);
    shown->Flag(L"entriesHeld", CanHoldFileEntries(item.path));
    PCWSTR extension = GetFileExtension(item.path);
    shown->Text(L"type", extension ? extension : L"");
    shown->Text(L"typeIcons", SwitchName(QueryTypeHandler(extension, kIconHandlerKey, DOCDRESS_CLSID_STRING)));
    shown->Text(L"typeInfoTips", SwitchName(QueryTypeHandler(extension, kInfoTipHandlerKey, DOCDRESS_CLSID_STRING)));
    shown->End();
}

void ShowDrive(const Item& item, Shown* shown)
{
    shown->Begin(item.path, L"drive");
    DriveSettings drive = {};
    ReadDriveSettings(item.path, &drive);
    shown->Text(L"driveLabel", drive.label);
    shown->Icon(L"driveIcon", drive.iconFile, drive.iconIndex);
    DiskSettings disk = {};
    ReadDiskSettings(item.path, &disk);
    shown->Text(L"diskLabel", disk.label);
    // Without an icon the working form is the root itself.
    shown->Icon(L"diskIcon", disk.iconFound ? disk.iconFile : L"", disk.iconIndex);
    shown->End();
}

int RunShow(const std::vector<Item>& items, bool json)
{
    Shown shown(json);
    std::wstring out = json ? L"[" : L"";
    for (size_t i = 0; i < items.size(); ++i) {
        Shown one(json);
        if (items[i].kind == KindFolder)
            ShowFolder(items[i], &one);
        else if (items[i].kind == KindFile)
            ShowFile(items[i], &one);
        else
            ShowDrive(items[i], &one);
        if (json && i > 0)
            out += L",\n";
        out += one.Out();
    }
    out += json ? L"]\n" : L"";
    WriteOut(out);
    return kExitSuccess;
}

// ---------------------------------------------------------------------------
// set and reset

PCWSTR Quoted(const TextOption& option, std::wstring* buffer)
{
    *buffer = option.text[0] ? Format(L"\"%ls\"", option.text) : std::wstring(L"(removed)");
    return buffer->c_str();
}

void DescribeIcon(PCWSTR name, const IconOption& icon, std::wstring* out)
{
    if (!icon.given)
        return;
    *out += icon.file[0] ? Format(L"  %ls: %ls,%d\n", name, icon.file, icon.index) : Format(L"  %ls: (removed)\n", name);
}

void DescribeText(PCWSTR name, const TextOption& text, std::wstring* out)
{
    std::wstring buffer;
    if (text.given)
        *out += Format(L"  %ls: %ls\n", name, Quoted(text, &buffer));
}

// Writes one folder or file; false, with the reason, when its settings file
// cannot take the write without loss.
bool WriteEntries(const Item& item, const Options& options, std::wstring* message)
{
    WCHAR settingsPath[MAX_PATH];
    bool pathFits = item.kind == KindFolder ? GetDesktopIniPath(item.path, settingsPath)
                                            : GetFileSettingsPath(item.path, settingsPath);
    if (!pathFits) {
        *message = L"the path of its Desktop.ini does not fit";
        return false;
    }
    if (item.kind == KindFile && !CanHoldFileEntries(item.path)) {
        *message = L"Desktop.ini cannot hold settings for this file name";
        return false;
    }
    *message = SettingsFileProblem(settingsPath);
    if (!message->empty())
        return false;
    if (options.dryRun)
        return true;

    WCHAR iconFile[MAX_PATH];
    StringCchCopyW(iconFile, ARRAYSIZE(iconFile), options.icon.file);
    IconChange icon = options.icon.given ? IconChanged : IconUntouched;
    PCWSTR infoTip = options.infoTip.given ? options.infoTip.text : nullptr;
    PCWSTR label = options.label.given ? options.label.text : nullptr;
    if (item.kind == KindFolder) {
        FolderEdit edit = {icon, iconFile, options.icon.index, infoTip, label};
        return ApplyFolderSettings(item.path, edit);
    }
    FileEdit edit = {SwitchUntouched, SwitchUntouched, icon, iconFile, options.icon.index, infoTip, label};
    return ApplyFileSettings(item.path, edit);
}

bool WriteDrive(const Item& item, const Options& options, std::wstring* message)
{
    if ((options.driveLabel.given || options.driveIcon.given) && !CanWriteDriveSettings(item.path)) {
        *message = L"the drive letter's settings cannot be written (they are the machine's: run as administrator)";
        return false;
    }
    if ((options.diskLabel.given || options.diskIcon.given) && !CanWriteDiskSettings(item.path)) {
        *message = L"AutoRun.inf cannot be written without loss";
        return false;
    }
    if (options.dryRun)
        return true;
    WCHAR diskIcon[MAX_PATH];
    StringCchCopyW(diskIcon, ARRAYSIZE(diskIcon), options.diskIcon.file);
    DriveEdit edit = {};
    edit.driveLabel = options.driveLabel.given ? options.driveLabel.text : nullptr;
    edit.driveIconFile = options.driveIcon.given ? options.driveIcon.file : nullptr;
    edit.driveIconIndex = options.driveIcon.index;
    edit.driveIconPresent = options.driveIcon.file[0] != L'\0';
    edit.diskLabel = options.diskLabel.given ? options.diskLabel.text : nullptr;
    edit.diskIconFile = options.diskIcon.given ? diskIcon : nullptr;
    edit.diskIconIndex = options.diskIcon.index;
    edit.diskIconPresent = options.diskIcon.file[0] != L'\0';
    return ApplyDriveSettings(item.path, edit);
}

int RunSet(const std::vector<Item>& items, const Options& options, bool reset)
{
    bool entryOptions = options.icon.given || options.infoTip.given || options.label.given;
    bool driveOptions = options.driveLabel.given || options.driveIcon.given || options.diskLabel.given ||
                        options.diskIcon.given;
    // Every item is checked against the options before the first write.
    for (const Item& item : items) {
        if (item.kind == KindDrive && entryOptions)
            return Usage(Format(L"%ls: a drive takes --drive-label, --drive-icon, --disk-label, --disk-icon",
                                item.path));
        if (item.kind != KindDrive && driveOptions)
            return Usage(Format(L"%ls: --drive-* and --disk-* options need a drive root such as C:\\", item.path));
    }
    if (!reset && !entryOptions && !driveOptions)
        return Usage(L"set: name at least one setting to change");

    int result = kExitSuccess;
    for (const Item& item : items) {
        std::wstring described;
        DescribeIcon(L"icon", options.icon, &described);
        DescribeText(L"InfoTip", options.infoTip, &described);
        DescribeText(L"label", options.label, &described);
        DescribeText(L"drive label", options.driveLabel, &described);
        DescribeIcon(L"drive icon", options.driveIcon, &described);
        DescribeText(L"disk label", options.diskLabel, &described);
        DescribeIcon(L"disk icon", options.diskIcon, &described);

        std::wstring message;
        bool written = item.kind == KindDrive ? WriteDrive(item, options, &message)
                                              : WriteEntries(item, options, &message);
        if (!written) {
            WriteErr(Format(L"dress: %ls: %ls\n", item.path, message.c_str()));
            result = kExitItemFailed;
            continue;
        }
        WriteOut(Format(L"%ls%ls\n%ls", options.dryRun ? L"would write " : L"", item.path, described.c_str()));
    }
    return result;
}

// "reset" with no setting named removes all of the item's kind.
void SelectAllForReset(const std::vector<Item>& items, Options* options)
{
    bool any = options->icon.given || options->infoTip.given || options->label.given ||
               options->driveLabel.given || options->driveIcon.given || options->diskLabel.given ||
               options->diskIcon.given;
    if (any)
        return;
    bool drive = !items.empty() && items[0].kind == KindDrive;
    for (const Item& item : items) {
        if ((item.kind == KindDrive) != drive) {
            drive = false;
            break;
        }
    }
    TextOption empty = {true, L""};
    if (drive) {
        options->driveLabel = empty;
        options->diskLabel = empty;
        options->driveIcon.given = true;
        options->diskIcon.given = true;
    } else {
        options->infoTip = empty;
        options->label = empty;
        options->icon.given = true;
    }
}

// ---------------------------------------------------------------------------
// type

int RunType(const Options& options)
{
    if (options.paths.size() != 1)
        return Usage(L"type: name one file type, such as .txt");
    PCWSTR extension = options.paths[0];
    if (extension[0] != L'.' || extension[1] == L'\0' || wcschr(extension, L'\\') || wcslen(extension) >= MAX_PATH)
        return Usage(Format(L"%ls: a file type is named by its extension, such as .txt", extension));
    if (options.icons != SwitchUntouched || options.infoTips != SwitchUntouched) {
        // A type without a key gets one: then HKEY_CLASSES_ROOT must take it.
        HKEY existing = nullptr;
        bool exists = RegOpenKeyExW(HKEY_CLASSES_ROOT, extension, 0, KEY_READ, &existing) == ERROR_SUCCESS;
        if (exists)
            RegCloseKey(existing);
        if (!CanWriteTypeKey(exists ? extension : nullptr)) {
            WriteErr(Format(L"dress: %ls: the file type's keys cannot be written\n", extension));
            return kExitItemFailed;
        }
        if (options.dryRun) {
            WriteOut(Format(L"would switch %ls:%ls%ls\n", extension,
                            options.icons == SwitchUntouched ? L"" : options.icons == SwitchOn ? L" icons on" : L" icons off",
                            options.infoTips == SwitchUntouched ? L""
                            : options.infoTips == SwitchOn      ? L" InfoTips on"
                                                                : L" InfoTips off"));
            return kExitSuccess;
        }
        if (!ApplyTypeSwitches(extension, options.icons, options.infoTips)) {
            WriteErr(Format(L"dress: %ls: the file type could not be switched\n", extension));
            return kExitItemFailed;
        }
    }
    HandlerState icons = QueryTypeHandler(extension, kIconHandlerKey, DOCDRESS_CLSID_STRING);
    HandlerState infoTips = QueryTypeHandler(extension, kInfoTipHandlerKey, DOCDRESS_CLSID_STRING);
    if (options.json)
        WriteOut(Format(L"{\"type\":%ls,\"icons\":\"%ls\",\"infoTips\":\"%ls\"}\n", JsonString(extension).c_str(),
                        SwitchName(icons), SwitchName(infoTips)));
    else
        WriteOut(Format(L"%ls\n  icons:    %ls\n  InfoTips: %ls\n", extension, SwitchName(icons),
                        SwitchName(infoTips)));
    return kExitSuccess;
}

struct Command {
    PCWSTR name;
    PCWSTR options;
    bool valued;
    PCWSTR help;
};

const Command kCommands[] = {
    {L"show", L"--json --recursive ", false, kShowHelp},
    {L"set", L"--icon --infotip --label --drive-label --drive-icon --disk-label --disk-icon --recursive --dry-run ",
     true, kSetHelp},
    {L"reset", L"--icon --infotip --label --drive-label --drive-icon --disk-label --disk-icon --recursive --dry-run ",
     false, kResetHelp},
    {L"type", L"--icons --infotips --json --dry-run ", false, kTypeHelp},
    {L"check", L"--recursive --fix --dry-run ", false, kCheckHelp},
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage(L"no command given");
    PCWSTR name = argv[1];
    if (IsOption(name, L"--help") || IsOption(name, L"-h") || IsOption(name, L"help") || IsOption(name, L"/?")) {
        WriteOut(kUsage);
        return kExitSuccess;
    }
    const Command* command = nullptr;
    for (const Command& candidate : kCommands) {
        if (wcscmp(candidate.name, name) == 0)
            command = &candidate;
    }
    if (!command)
        return Usage(Format(L"%ls: unknown command", name));

    Options options = {};
    std::wstring message;
    // Help comes before any check of the other arguments.
    for (int i = 2; i < argc; ++i) {
        if (IsOption(argv[i], L"--help")) {
            WriteOut(command->help);
            return kExitSuccess;
        }
    }
    if (!ParseOptions(argc, argv, command->name, command->options, command->valued, &options, &message))
        return Usage(message);
    if (wcscmp(command->name, L"type") == 0)
        return RunType(options);
    if (options.paths.empty())
        return Usage(Format(L"%ls: name a file, folder or drive", command->name));
    if (wcscmp(command->name, L"set") == 0 && options.paths.size() != 1)
        return Usage(L"set: name one file, folder or drive (with --recursive, the folders below it too)");

    std::vector<Item> items;
    if (!CollectItems(options, &items, &message))
        return Usage(message);

    if (wcscmp(command->name, L"show") == 0)
        return RunShow(items, options.json);
    if (wcscmp(command->name, L"check") == 0)
        return RunCheck(items, options.recursive, options.fix, options.dryRun);
    bool reset = wcscmp(command->name, L"reset") == 0;
    if (reset)
        SelectAllForReset(items, &options);
    return RunSet(items, options, reset);
}
