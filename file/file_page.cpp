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
#include "item_apply.h"
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
bool HasFile(const FilePageContext& context)
{
    return IsFullFilePath(context.itemPath);
}

// Whether the file's own icon, InfoTip and label can be kept: the profile
// format cannot hold every file name.
bool HasFileEntries(const FilePageContext& context)
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

void ShowTypeIcon(HWND dialog, FilePageContext& context)
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

void OnInitDialog(HWND dialog, FilePageContext& context)
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

void OnCommand(HWND dialog, FilePageContext& context, WORD id)
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

// A handler switch as the apply takes it: untouched when it may not be used.
TypeSwitch TakeSwitch(HWND dialog, int switchId)
{
    if (!IsControlEnabled(dialog, switchId))
        return SwitchUntouched;
    return IsDlgButtonChecked(dialog, switchId) == BST_CHECKED ? SwitchOn : SwitchOff;
}

// The switches, the file's own entries (when its name can hold them) and
// the shell's refresh, as one store operation.
void OnApply(HWND dialog, FilePageContext& context)
{
    if (!HasFile(context))
        return;
    FileEdit edit = {};
    edit.infoTips = TakeSwitch(dialog, IDC_ENABLE_INFOTIPS);
    edit.icons = TakeSwitch(dialog, IDC_ENABLE_ICONS);
    edit.icon = IconUntouched;
    edit.iconFile = context.iconFile;
    edit.iconIndex = context.iconIndex;
    if (HasFileEntries(context)) {
        edit.icon = context.iconChanged ? IconChanged : IconWrittenBack;
        if (TakeChangedInfoTip(dialog, context.infoTip, kInfoTipControls))
            edit.infoTip = context.infoTip;
        if (IsEditModified(dialog, IDC_LABEL_EDIT))
            edit.label = context.label;
    }
    ApplyFileSettings(context.itemPath, edit);
}

}  // namespace

INT_PTR CALLBACK FilePageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    FilePageContext* context = GetPageContext(dialog, message, lParam);
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
