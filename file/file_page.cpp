// The "Customize" page of a file's Properties dialog: the switches that make
// the file's type use DocDress as icon and InfoTip handler, and the file's
// own icon, InfoTip and localized label. Everything is read when the page is
// created and written when the sheet applies it.
#include "file_page.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <strsafe.h>

#include "chrome.h"
#include "clsids.h"
#include "desktop_ini.h"
#include "extension.h"
#include "file_store.h"
#include "help_ids.h"
#include "icon_chooser.h"
#include "module.h"
#include "page_strings.h"
#include "resource.h"
#include "type_handler.h"

namespace {

const PageChrome kFilePageChrome = {IDB_BANNER, FilePageHelpIds, kDocDressTopicFile};
const InfoTipControls kInfoTipControls = {IDC_INFOTIP_EDIT, IDC_INFOTIP_RESOURCE, IDC_CHANGE_INFOTIP};

void EnableControl(HWND dialog, int id, BOOL enable)
{
    EnableWindow(GetDlgItem(dialog, id), enable);
}

bool IsControlEnabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

void EnableInfoTipGroup(HWND dialog, BOOL enable)
{
    EnableControls(dialog,
                   {IDC_INFOTIP_GROUP, IDC_INFOTIP_TEXT, IDC_INFOTIP_RESOURCE, IDC_INFOTIP_EDIT, IDC_CHANGE_INFOTIP},
                   enable);
}

void EnableIconGroup(HWND dialog, BOOL enable)
{
    EnableControls(dialog, {IDC_ICON_GROUP, IDC_ICON_TEXT, IDC_CHANGE_ICON, IDC_DEFAULT_ICON}, enable);
}

BOOL CALLBACK DisableChild(HWND child, LPARAM)
{
    EnableWindow(child, FALSE);
    return TRUE;
}

// The page can only work on a file named by its full path; without one
// there is no settings file and no file type.
bool HasFile(const PageContext& context)
{
    return IsFullFilePath(context.itemPath);
}

// Whether the file's own icon, InfoTip and label can be kept: the profile
// format cannot hold every file name.
bool HasFileEntries(const PageContext& context)
{
    return HasFile(context) && CanHoldFileEntries(context.itemPath);
}

// Applies a handler state to its switch and, when the switch cannot be
// used, to the group of controls that depends on it.
void ShowHandlerState(HWND dialog, HandlerState state, int switchId, void (*enableGroup)(HWND, BOOL))
{
    if (state == RegisteredHere) {
        CheckDlgButton(dialog, switchId, BST_CHECKED);
    } else if (state == Unavailable) {
        EnableControl(dialog, switchId, FALSE);
        enableGroup(dialog, FALSE);
    }
}

void ShowTypeIcon(HWND dialog, PageContext& context)
{
    WCHAR location[MAX_PATH];
    int index = 0;
    if (FAILED(GetTypeDefaultIcon(context.itemPath, location, ARRAYSIZE(location), &index)))
        return;
    HICON icon = ExtractIconW(ModuleInstance, location, static_cast<UINT>(index));
    // 1: the file holds no icons at all.
    if (icon == reinterpret_cast<HICON>(1))
        icon = nullptr;
    context.typeIcon = icon;
    SendDlgItemMessageW(dialog, IDC_TYPE_ICON, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
}

void OnInitDialog(HWND dialog, PageContext& context)
{
    if (!HasFile(context)) {
        EnumChildWindows(dialog, DisableChild, 0);
        return;
    }

    SHFILEINFOW info = {};
    if (SHGetFileInfoW(context.itemPath, 0, &info, sizeof(info), SHGFI_TYPENAME) && info.szTypeName[0])
        SetDlgItemTextW(dialog, IDC_TYPE_GROUP, info.szTypeName);
    ShowTypeIcon(dialog, context);

    PCWSTR extension = GetFileExtension(context.itemPath);
    ShowHandlerState(dialog, QueryTypeHandler(extension, kInfoTipHandlerKey, DOCDRESS_CLSID_STRING),
                     IDC_ENABLE_INFOTIPS, EnableInfoTipGroup);
    ShowHandlerState(dialog, QueryTypeHandler(extension, kIconHandlerKey, DOCDRESS_CLSID_STRING), IDC_ENABLE_ICONS,
                     EnableIconGroup);
    if (!IsControlEnabled(dialog, IDC_ENABLE_INFOTIPS) && !IsControlEnabled(dialog, IDC_ENABLE_ICONS))
        EnableControls(dialog, {IDC_TYPE_GROUP, IDC_SWITCH_TEXT}, FALSE);
    if (!CanWriteTypeKey(extension)) {
        EnableControls(dialog, {IDC_TYPE_GROUP, IDC_SWITCH_TEXT, IDC_ENABLE_INFOTIPS, IDC_ENABLE_ICONS}, FALSE);
        ShowWindow(GetDlgItem(dialog, IDC_ADMIN_NOTICE), SW_SHOW);
    }

    // The file's own settings; none are read for a name the settings file
    // cannot hold, since they would be another file's.
    // An icon file too long to read whole is not shown: cut, it names
    // another file.
    bool iconWhole = ReadFileIconForPage(context.itemPath, context.iconFile, &context.iconIndex);
    if (iconWhole && context.iconFile[0] != L'\0')
        UpdateIconPreview(dialog, context.iconFile, context.iconIndex, &context.previewIcon, IDC_ICON_PREVIEW);

    ReadFileSetting(context.itemPath, L"InfoTip", L"", context.infoTip, ARRAYSIZE(context.infoTip));
    ShowInfoTip(dialog, context.infoTip, kInfoTipControls);

    context.label[0] = L'\0';
    ReadFileLabel(context.itemPath, context.label);
    ShowStoredString(dialog, IDC_LABEL_EDIT, context.label);

    WCHAR settingsPath[MAX_PATH];
    if (!GetFileSettingsPath(context.itemPath, settingsPath) || !ProbeDesktopIni(settingsPath)) {
        EnableControls(dialog, {IDC_ENABLE_INFOTIPS, IDC_ENABLE_ICONS}, FALSE);
        EnableInfoTipGroup(dialog, FALSE);
        EnableIconGroup(dialog, FALSE);
    }

    if (!HasFileEntries(context)) {
        EnableInfoTipGroup(dialog, FALSE);
        EnableIconGroup(dialog, FALSE);
        EnableControls(dialog, {IDC_LABEL_EDIT, IDC_CHANGE_LABEL}, FALSE);
    }
}

void OnCommand(HWND dialog, PageContext& context, WORD id)
{
    if (!HasFileEntries(context))
        return;
    switch (id) {
    case IDC_CHANGE_ICON:
        if (ChooseIcon(dialog, context.iconFile, &context.iconIndex, &context.previewIcon, IDC_ICON_PREVIEW))
            context.iconChanged = true;
        break;
    case IDC_DEFAULT_ICON:
        ResetIcon(dialog, context.iconFile, &context.iconIndex, &context.previewIcon, IDC_ICON_PREVIEW);
        context.iconChanged = true;
        break;
    case IDC_CHANGE_LABEL:
        ChangeStringValue(dialog, context.label, IDC_LABEL_EDIT);
        break;
    case IDC_CHANGE_INFOTIP:
        ChangeStringValue(dialog, context.infoTip, IDC_INFOTIP_EDIT);
        break;
    case IDC_INFOTIP_RESOURCE:
        SwitchInfoTipMode(dialog, context.infoTip, kInfoTipControls);
        break;
    }
}

// Switches a type's handler of one kind, if its switch may be used.
void ApplySwitch(HWND dialog, int switchId, PCWSTR extension, PCWSTR handlerKeyName)
{
    if (!IsControlEnabled(dialog, switchId))
        return;
    bool on = IsDlgButtonChecked(dialog, switchId) == BST_CHECKED;
    SetTypeHandler(extension, handlerKeyName, on ? DOCDRESS_CLSID_STRING : nullptr);
}

void WriteFileEntries(HWND dialog, PageContext& context)
{
    WCHAR settingsPath[MAX_PATH];
    if (!GetFileSettingsPath(context.itemPath, settingsPath))
        return;
    DWORD savedAttributes = BeginDesktopIniUpdate(settingsPath);
    WriteFileIcon(context.itemPath, context.iconFile, context.iconIndex, context.iconChanged);
    if (TakeChangedInfoTip(dialog, context.infoTip, kInfoTipControls))
        WriteFileSetting(context.itemPath, L"InfoTip", context.infoTip);
    if (IsEditModified(dialog, IDC_LABEL_EDIT))
        WriteFileLabel(context.itemPath, context.label);
    EndFileSettingsUpdate(settingsPath, savedAttributes);
}

// Makes the shell show the change: the file's image in the system image
// list, the file in the views that show it (renamed to itself, and updated,
// on which today's Explorer refreshes its icon), and the type registrations.
void RefreshShell(const PageContext& context)
{
    SHFILEINFOW info = {};
    SHGetFileInfoW(context.itemPath, 0, &info, sizeof(info), SHGFI_SYSICONINDEX);
    SHUpdateImageW(context.iconFile, context.iconIndex, GIL_DONTCACHE, info.iIcon);
    SHChangeNotify(SHCNE_RENAMEITEM, SHCNF_PATHW | SHCNF_FLUSH, context.itemPath, context.itemPath);
    SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW, context.itemPath, nullptr);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST | SHCNF_FLUSH, nullptr, nullptr);
}

void OnApply(HWND dialog, PageContext& context)
{
    if (!HasFile(context))
        return;
    PCWSTR extension = GetFileExtension(context.itemPath);
    ApplySwitch(dialog, IDC_ENABLE_INFOTIPS, extension, kInfoTipHandlerKey);
    ApplySwitch(dialog, IDC_ENABLE_ICONS, extension, kIconHandlerKey);
    if (HasFileEntries(context))
        WriteFileEntries(dialog, context);
    RefreshShell(context);
}

}  // namespace

INT_PTR CALLBACK FilePageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    PageContext* context = GetPageContext(dialog, message, lParam);
    if (!context)
        return FALSE;
    if (HandleChromeMessage(dialog, message, wParam, lParam, kFilePageChrome))
        return FALSE;

    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, *context);
        break;
    case WM_COMMAND:
        OnCommand(dialog, *context, LOWORD(wParam));
        break;
    case WM_NOTIFY:
        if (IsApplyNotification(lParam))
            OnApply(dialog, *context);
        break;
    case WM_DESTROY:
        DestroyPageIcon(&context->typeIcon);
        DestroyPageIcon(&context->previewIcon);
        break;
    }
    return FALSE;
}
