// The "Customize Ex" page of a folder shortcut in the Network Shortcuts
// folder. Its icon and InfoTip belong to the "target.lnk" inside it, whose
// own Properties dialog the page opens; the page edits only the label.
#include "folder_pages.h"

#include <commctrl.h>
#include <prsht.h>
#include <shellapi.h>
#include <strsafe.h>

#include "chrome.h"
#include "desktop_ini.h"
#include "extension.h"
#include "help_ids.h"
#include "item_apply.h"
#include "page_strings.h"
#include "resource.h"

namespace {

const PageChrome kRedirectedPageChrome = {IDB_BANNER, RedirectedPageHelpIds, kDirDressTopicFile};

const WCHAR kLabelKey[] = L"LocalizedResourceName";

void OnInitDialog(HWND dialog, FolderPageContext* context)
{
    WCHAR settingsPath[MAX_PATH];
    GetDesktopIniPath(context->itemPath, settingsPath);

    context->label[0] = L'\0';
    ReadFolderSetting(settingsPath, kLabelKey, L"", context->label, ARRAYSIZE(context->label));
    ShowStoredString(dialog, IDC_LABEL_EDIT, context->label);

    if (!ProbeDesktopIni(settingsPath))
        EnableWindow(GetDlgItem(dialog, IDC_CHANGE_LABEL), FALSE);
}

// The shortcut's own Properties dialog, independent of this page.
void OpenTargetProperties(HWND dialog, FolderPageContext* context)
{
    WCHAR shortcut[MAX_PATH];
    // A cut path would open another file's Properties.
    if (FAILED(StringCchCopyW(shortcut, ARRAYSIZE(shortcut), context->itemPath)) ||
        FAILED(StringCchCatW(shortcut, ARRAYSIZE(shortcut), L"\\target.lnk")))
        return;
    ShellExecuteW(dialog, L"properties", shortcut, nullptr, context->itemPath, SW_SHOW);
}

void OnApply(HWND dialog, FolderPageContext* context)
{
    FolderEdit edit = {};
    edit.icon = IconUntouched;
    if (IsEditModified(dialog, IDC_LABEL_EDIT))
        edit.label = context->label;
    ApplyFolderSettings(context->itemPath, edit);
}

}  // namespace

INT_PTR CALLBACK RedirectedPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    FolderPageContext* context = GetPageContext(dialog, message, lParam);
    if (!context)
        return FALSE;

    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, context);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_CHANGE_LABEL:
            ChangeStringValue(dialog, context->label, IDC_LABEL_EDIT);
            break;
        case IDC_TARGET_PROPERTIES:
            OpenTargetProperties(dialog, context);
            break;
        default:
            break;
        }
        break;
    case WM_NOTIFY:
        if (IsApplyNotification(lParam))
            OnApply(dialog, context);
        break;
    default:
        HandleChromeMessage(dialog, message, wParam, lParam, kRedirectedPageChrome);
        break;
    }
    return FALSE;
}
