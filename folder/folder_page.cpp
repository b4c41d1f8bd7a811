// The "Customize Ex" page of an ordinary folder: the folder's icon, InfoTip
// and localized label, read from Desktop.ini when the page opens and written
// back when the Properties dialog applies it.
#include "folder_pages.h"

#include <commctrl.h>
#include <prsht.h>
#include <strsafe.h>

#include "chrome.h"
#include "desktop_ini.h"
#include "extension.h"
#include "help_ids.h"
#include "icon_chooser.h"
#include "item_apply.h"
#include "page_strings.h"
#include "resource.h"

namespace {

const PageChrome kFolderPageChrome = {IDB_BANNER, FolderPageHelpIds, kDirDressTopicFile};
const InfoTipControls kInfoTipControls = {IDC_INFOTIP_EDIT, IDC_INFOTIP_RESOURCE, IDC_CHANGE_INFOTIP};

const WCHAR kInfoTipKey[] = L"InfoTip";
const WCHAR kLabelKey[] = L"LocalizedResourceName";

void OnInitDialog(HWND dialog, FolderPageContext* context)
{
    WCHAR settingsPath[MAX_PATH];
    GetDesktopIniPath(context->itemPath, settingsPath);

    if (ReadFolderIcon(settingsPath, context->itemPath, context->iconFile, &context->iconIndex))
        UpdateIconPreview(dialog, context->iconFile, context->iconIndex, &context->iconPreview, IDC_ICON_PREVIEW);

    ReadFolderSetting(settingsPath, kInfoTipKey, L"", context->infoTip, ARRAYSIZE(context->infoTip));
    ShowInfoTip(dialog, context->infoTip, kInfoTipControls);

    context->label[0] = L'\0';
    ReadFolderSetting(settingsPath, kLabelKey, L"", context->label, ARRAYSIZE(context->label));
    ShowStoredString(dialog, IDC_LABEL_EDIT, context->label);

    // The check box and the InfoTip's "Change..." keep their state: they
    // only switch what the edit shows.
    if (!ProbeDesktopIni(settingsPath))
        EnableControls(dialog, {IDC_INFOTIP_EDIT, IDC_CHANGE_ICON, IDC_DEFAULT_ICON, IDC_CHANGE_LABEL}, FALSE);
}

void OnCommand(HWND dialog, FolderPageContext* context, int id)
{
    switch (id) {
    case IDC_CHANGE_ICON:
        if (ChooseIcon(dialog, context->iconFile, &context->iconIndex, &context->iconPreview, IDC_ICON_PREVIEW))
            context->iconChanged = true;
        break;
    case IDC_DEFAULT_ICON:
        ResetIcon(dialog, context->iconFile, &context->iconIndex, &context->iconPreview, IDC_ICON_PREVIEW);
        context->iconChanged = true;
        break;
    case IDC_CHANGE_LABEL:
        ChangeStringValue(dialog, context->label, IDC_LABEL_EDIT);
        break;
    case IDC_CHANGE_INFOTIP:
        ChangeStringValue(dialog, context->infoTip, IDC_INFOTIP_EDIT);
        break;
    case IDC_INFOTIP_RESOURCE:
        SwitchInfoTipMode(dialog, context->infoTip, kInfoTipControls);
        break;
    default:
        break;
    }
}

void OnApply(HWND dialog, FolderPageContext* context)
{
    // The icon keys are written at every apply, except stored values the
    // page could not read whole while the icon is unchanged; the page keeps
    // the stored form of the icon file from now on.
    FolderEdit edit = {};
    edit.icon = context->iconChanged ? IconChanged : IconWrittenBack;
    edit.iconFile = context->iconFile;
    edit.iconIndex = context->iconIndex;
    if (TakeChangedInfoTip(dialog, context->infoTip, kInfoTipControls))
        edit.infoTip = context->infoTip;
    if (IsEditModified(dialog, IDC_LABEL_EDIT))
        edit.label = context->label;
    ApplyFolderSettings(context->itemPath, edit);
}

}  // namespace

INT_PTR CALLBACK FolderPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    FolderPageContext* context = GetPageContext(dialog, message, lParam);
    if (!context)
        return FALSE;

    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, context);
        break;
    case WM_COMMAND:
        OnCommand(dialog, context, LOWORD(wParam));
        break;
    case WM_NOTIFY:
        if (IsApplyNotification(lParam))
            OnApply(dialog, context);
        break;
    case WM_DESTROY:
        DestroyPageIcon(&context->iconPreview);
        break;
    default:
        HandleChromeMessage(dialog, message, wParam, lParam, kFolderPageChrome);
        break;
    }
    return FALSE;
}
