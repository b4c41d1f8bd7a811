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
#include "picker.h"
#include "resource.h"

namespace {

const PageChrome kFolderPageChrome = {IDB_BANNER, FolderPageHelpIds, kDirDressTopicFile};

const WCHAR kInfoTipKey[] = L"InfoTip";
const WCHAR kLabelKey[] = L"LocalizedResourceName";

void SetModified(HWND dialog, int editId, BOOL modified)
{
    SendDlgItemMessageW(dialog, editId, EM_SETMODIFY, modified, 0);
}

bool IsModified(HWND dialog, int editId)
{
    return SendDlgItemMessageW(dialog, editId, EM_GETMODIFY, 0, 0) != 0;
}

// The InfoTip as typed: at most 259 characters of edit 1000.
void TakeTypedInfoTip(HWND dialog, PageContext* context)
{
    GetDlgItemTextW(dialog, IDC_INFOTIP_EDIT, context->infoTip, ARRAYSIZE(context->infoTip));
}

// Shows a text value in an edit: an indirect string resolved, or nothing.
void ShowValue(HWND dialog, int editId, PCWSTR value)
{
    HWND edit = GetDlgItem(dialog, editId);
    if (value[0])
        ShowIndirectString(edit, value);
    else
        SetWindowTextW(edit, L"");
}

// "Change..." of the InfoTip or the label: the string picker seeded with the
// current value. An accepted choice (or "Default") becomes the value.
void PickValue(HWND dialog, PWSTR value, int editId)
{
    WCHAR work[MAX_PATH];
    StringCchCopyW(work, ARRAYSIZE(work), value);
    if (PickStringResource(dialog, work, ARRAYSIZE(work)) == 0)
        return;
    StringCchCopyW(value, MAX_PATH, work);
    ShowValue(dialog, editId, value);
    SetModified(dialog, editId, TRUE);
    MarkPageChanged(dialog);
}

// Switches edit 1000 between the typed text and the resolved string
// resource, following the check box.
void OnInfoTipModeChanged(HWND dialog, PageContext* context)
{
    HWND edit = GetDlgItem(dialog, IDC_INFOTIP_EDIT);
    if (IsDlgButtonChecked(dialog, IDC_INFOTIP_RESOURCE) == BST_CHECKED) {
        TakeTypedInfoTip(dialog, context);
        SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
        ShowIndirectString(edit, context->infoTip);
        EnableWindow(GetDlgItem(dialog, IDC_CHANGE_INFOTIP), TRUE);
    } else {
        SendMessageW(edit, EM_SETREADONLY, FALSE, 0);
        SetWindowTextW(edit, context->infoTip);
        EnableWindow(GetDlgItem(dialog, IDC_CHANGE_INFOTIP), FALSE);
    }
    // Either way the InfoTip is written at the next apply.
    SetModified(dialog, IDC_INFOTIP_EDIT, TRUE);
}

void OnInitDialog(HWND dialog, PageContext* context)
{
    WCHAR settingsPath[MAX_PATH];
    GetDesktopIniPath(context->itemPath, settingsPath);

    if (ReadFolderIcon(settingsPath, context->itemPath, context->iconFile, &context->iconIndex))
        UpdateIconPreview(dialog, context->iconFile, context->iconIndex, &context->iconPreview, IDC_ICON_PREVIEW);

    ReadFolderSetting(settingsPath, kInfoTipKey, L"", context->infoTip, ARRAYSIZE(context->infoTip));
    HWND infoTipEdit = GetDlgItem(dialog, IDC_INFOTIP_EDIT);
    if (context->infoTip[0] == L'@') {
        SendMessageW(infoTipEdit, EM_SETREADONLY, TRUE, 0);
        ShowIndirectString(infoTipEdit, context->infoTip);
        CheckDlgButton(dialog, IDC_INFOTIP_RESOURCE, BST_CHECKED);
        EnableWindow(GetDlgItem(dialog, IDC_CHANGE_INFOTIP), TRUE);
    } else {
        SetWindowTextW(infoTipEdit, context->infoTip);
    }
    SetModified(dialog, IDC_INFOTIP_EDIT, FALSE);

    context->label[0] = L'\0';
    ReadFolderSetting(settingsPath, kLabelKey, L"", context->label, ARRAYSIZE(context->label));
    if (context->label[0])
        ShowIndirectString(GetDlgItem(dialog, IDC_LABEL_EDIT), context->label);
    SetModified(dialog, IDC_LABEL_EDIT, FALSE);

    if (!ProbeDesktopIni(settingsPath)) {
        // The check box and the InfoTip's "Change..." keep their state: they
        // only switch what the edit shows.
        static const int kEditingControls[] = {IDC_INFOTIP_EDIT, IDC_CHANGE_ICON, IDC_DEFAULT_ICON, IDC_CHANGE_LABEL};
        for (int id : kEditingControls)
            EnableWindow(GetDlgItem(dialog, id), FALSE);
    }
}

void OnCommand(HWND dialog, PageContext* context, int id)
{
    switch (id) {
    case IDC_CHANGE_ICON:
        ChooseIcon(dialog, context->iconFile, &context->iconIndex, &context->iconPreview, IDC_ICON_PREVIEW);
        break;
    case IDC_DEFAULT_ICON:
        ResetIcon(dialog, context->iconFile, &context->iconIndex, &context->iconPreview, IDC_ICON_PREVIEW);
        break;
    case IDC_CHANGE_LABEL:
        PickValue(dialog, context->label, IDC_LABEL_EDIT);
        break;
    case IDC_CHANGE_INFOTIP:
        PickValue(dialog, context->infoTip, IDC_INFOTIP_EDIT);
        break;
    case IDC_INFOTIP_RESOURCE:
        OnInfoTipModeChanged(dialog, context);
        break;
    default:
        break;
    }
}

void OnApply(HWND dialog, PageContext* context)
{
    WCHAR settingsPath[MAX_PATH];
    GetDesktopIniPath(context->itemPath, settingsPath);
    DWORD savedAttributes = BeginDesktopIniUpdate(settingsPath);

    // The icon keys are written at every apply; the page keeps the stored
    // form of the icon file from now on.
    WriteFolderIcon(settingsPath, context->itemPath, context->iconFile, context->iconIndex);

    if (IsModified(dialog, IDC_INFOTIP_EDIT)) {
        if (IsDlgButtonChecked(dialog, IDC_INFOTIP_RESOURCE) != BST_CHECKED)
            TakeTypedInfoTip(dialog, context);
        WriteFolderSetting(settingsPath, kInfoTipKey, context->infoTip);
    }
    if (IsModified(dialog, IDC_LABEL_EDIT))
        WriteFolderSetting(settingsPath, kLabelKey, context->label);

    EndDesktopIniUpdate(settingsPath, savedAttributes, context->itemPath);
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, PSNRET_NOERROR);
}

void OnDestroy(PageContext* context)
{
    if (context->iconPreview) {
        DestroyIcon(context->iconPreview);
        context->iconPreview = nullptr;
    }
}

}  // namespace

INT_PTR CALLBACK FolderPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    PageContext* context = GetPageContext(dialog, message, lParam);
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
        if (reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(PSN_APPLY))
            OnApply(dialog, context);
        break;
    case WM_DESTROY:
        OnDestroy(context);
        break;
    default:
        HandleChromeMessage(dialog, message, wParam, lParam, kFolderPageChrome);
        break;
    }
    return FALSE;
}
