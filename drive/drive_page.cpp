// The drive page: the drive letter's label and icon, and the label and icon
// of the disk currently in the drive. Both stores are read when the page is
// created and written at every apply.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>
#include <strsafe.h>

#include "chrome.h"
#include "drive_page.h"
#include "drive_store.h"
#include "extension.h"
#include "help_ids.h"
#include "icon_chooser.h"
#include "module.h"
#include "resource.h"

namespace {

const PageChrome DrivePageChrome = {IDB_BANNER, DrivePageHelpIds, kVolDressTopicFile};

// The shell hands the page a root path such as C:\ ; without one (no
// selection, or something that is not a drive root) there is nothing the
// stores could write without writing somewhere else.
bool HasDrive(const PageContext& context)
{
    return IsDriveRoot(context.itemPath);
}

// The drive icon file as a file to open (MAX_PATH): its environment
// variables expanded, or the empty text when that does not fit.
void ExpandDriveIconFile(PCWSTR iconFile, PWSTR expanded)
{
    DWORD needed = ExpandEnvironmentStringsW(iconFile, expanded, MAX_PATH);
    if (needed == 0 || needed > MAX_PATH)
        expanded[0] = L'\0';
}

// The drive icon's preview. The icon picker hands back paths such as
// "%SystemRoot%\system32\SHELL32.dll": they are shown expanded, and the
// working value keeps them as chosen. The preview decides at apply whether
// the icon is kept, so an icon that shows is an icon that stays.
void UpdateDriveIconPreview(HWND page, PageContext& context)
{
    WCHAR expanded[MAX_PATH];
    ExpandDriveIconFile(context.driveIconFile, expanded);
    UpdateIconPreview(page, expanded, context.driveIconIndex, &context.driveIconPreview, IDC_DRIVE_ICON_PREVIEW);
}

// The disk icon's preview (WM_USER): the working path with its environment
// variables expanded; after an apply the path is root-relative and is looked
// up on the disk, not in the current directory.
void UpdateDiskIconPreview(HWND page, PageContext& context)
{
    WCHAR resolved[MAX_PATH] = L"";
    ResolveDiskIconPath(context.itemPath, context.diskIconFile, resolved);
    UpdateIconPreview(page, resolved, context.diskIconIndex, &context.diskIconPreview, IDC_DISK_ICON_PREVIEW);
}

void OnInitDialog(HWND page, PageContext& context)
{
    context.driveLabel[0] = L'\0';
    context.driveIconFile[0] = L'\0';
    context.driveIconIndex = 0;
    context.diskLabel[0] = L'\0';
    context.diskIconFile[0] = L'\0';
    context.diskIconIndex = 0;
    DestroyPageIcon(&context.driveIconPreview);
    DestroyPageIcon(&context.diskIconPreview);

    // Without a drive to work on, every control that edits something is
    // disabled.
    if (!HasDrive(context)) {
        EnableControls(page,
                       {IDC_DRIVE_LABEL, IDC_CHANGE_DRIVE_ICON, IDC_DEFAULT_DRIVE_ICON, IDC_DISK_LABEL,
                        IDC_CHANGE_DISK_ICON, IDC_DEFAULT_DISK_ICON},
                       FALSE);
        return;
    }

    DriveSettings drive = {};
    ReadDriveSettings(context.itemPath, &drive);
    if (drive.labelFound) {
        StringCchCopyW(context.driveLabel, ARRAYSIZE(context.driveLabel), drive.label);
        SetDlgItemTextW(page, IDC_DRIVE_LABEL, context.driveLabel);
    }
    if (drive.iconFound) {
        StringCchCopyW(context.driveIconFile, ARRAYSIZE(context.driveIconFile), drive.iconFile);
        context.driveIconIndex = drive.iconIndex;
        UpdateDriveIconPreview(page, context);
    }

    ReadDiskSettings(context.itemPath, context.diskLabel, context.diskIconFile, &context.diskIconIndex);
    SetDlgItemTextW(page, IDC_DISK_LABEL, context.diskLabel);
    UpdateDiskIconPreview(page, context);
}

void ChooseDriveIcon(HWND page, PageContext& context)
{
    if (!ChooseIcon(page, context.driveIconFile, &context.driveIconIndex, &context.driveIconPreview,
                    IDC_DRIVE_ICON_PREVIEW))
        return;
    // The chooser previews the path as it is; a path with environment
    // variables needs them expanded to show.
    WCHAR expanded[MAX_PATH];
    ExpandDriveIconFile(context.driveIconFile, expanded);
    if (wcscmp(expanded, context.driveIconFile) != 0)
        UpdateDriveIconPreview(page, context);
}

void ChooseDiskIcon(HWND page, PageContext& context)
{
    if (!PickIcon(page, context.diskIconFile, &context.diskIconIndex))
        return;
    SendMessageW(page, WM_USER, 0, 0);
    MarkPageChanged(page);
}

void OnCommand(HWND page, PageContext& context, int id)
{
    if (!HasDrive(context))
        return;
    switch (id) {
    case IDC_CHANGE_DRIVE_ICON:
        ChooseDriveIcon(page, context);
        break;
    case IDC_DEFAULT_DRIVE_ICON:
        ResetIcon(page, context.driveIconFile, &context.driveIconIndex, &context.driveIconPreview,
                  IDC_DRIVE_ICON_PREVIEW);
        break;
    case IDC_CHANGE_DISK_ICON:
        ChooseDiskIcon(page, context);
        break;
    case IDC_DEFAULT_DISK_ICON:
        ResetIcon(page, context.diskIconFile, &context.diskIconIndex, &context.diskIconPreview,
                  IDC_DISK_ICON_PREVIEW);
        break;
    }
}

// Both stores, at every apply, whether or not anything changed. The labels
// are taken from their edits here: typing does not mark the page changed.
void OnApply(HWND page, PageContext& context)
{
    if (!HasDrive(context))
        return;
    GetDlgItemTextW(page, IDC_DRIVE_LABEL, context.driveLabel, ARRAYSIZE(context.driveLabel));
    WriteDriveSettings(context.itemPath, context.driveLabel, context.driveIconFile, context.driveIconIndex,
                       context.driveIconPreview != nullptr);
    GetDlgItemTextW(page, IDC_DISK_LABEL, context.diskLabel, ARRAYSIZE(context.diskLabel));
    WriteDiskSettings(context.itemPath, context.diskLabel, context.diskIconFile, context.diskIconIndex,
                      context.diskIconPreview != nullptr);
}

}  // namespace

INT_PTR CALLBACK DrivePageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    PageContext* context = GetPageContext(dialog, message, lParam);
    if (!context)
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
    case WM_USER:
        UpdateDiskIconPreview(dialog, *context);
        break;
    case WM_DESTROY:
        DestroyPageIcon(&context->driveIconPreview);
        DestroyPageIcon(&context->diskIconPreview);
        break;
    default:
        HandleChromeMessage(dialog, message, wParam, lParam, DrivePageChrome);
        break;
    }
    return FALSE;
}
