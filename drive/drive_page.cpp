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
#include "item_apply.h"
#include "module.h"
#include "resource.h"

namespace {

const PageChrome DrivePageChrome = {IDB_BANNER, DrivePageHelpIds, kVolDressTopicFile};

// The shell hands the page a root path such as C:\ ; without one (no
// selection, or something that is not a drive root) there is nothing the
// stores could write without writing somewhere else.
bool HasDrive(const DrivePageContext& context)
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
void UpdateDriveIconPreview(HWND page, DrivePageContext& context)
{
    WCHAR expanded[MAX_PATH];
    ExpandDriveIconFile(context.driveIconFile, expanded);
    UpdateIconPreview(page, expanded, context.driveIconIndex, &context.driveIconPreview, IDC_DRIVE_ICON_PREVIEW);
}

// The disk icon's preview (WM_USER): the working path with its environment
// variables expanded; after an apply the path is root-relative and is looked
// up on the disk, not in the current directory.
void UpdateDiskIconPreview(HWND page, DrivePageContext& context)
{
    WCHAR resolved[MAX_PATH] = L"";
    ResolveDiskIconPath(context.itemPath, context.diskIconFile, resolved);
    UpdateIconPreview(page, resolved, context.diskIconIndex, &context.diskIconPreview, IDC_DISK_ICON_PREVIEW);
}

const std::initializer_list<int> kDriveControls = {IDC_DRIVE_LABEL, IDC_CHANGE_DRIVE_ICON, IDC_DEFAULT_DRIVE_ICON};
const std::initializer_list<int> kDiskControls = {IDC_DISK_LABEL, IDC_CHANGE_DISK_ICON, IDC_DEFAULT_DISK_ICON};

void OnInitDialog(HWND page, DrivePageContext& context)
{
    context.driveLabel[0] = L'\0';
    context.driveIconFile[0] = L'\0';
    context.driveIconIndex = 0;
    context.diskLabel[0] = L'\0';
    context.diskIconFile[0] = L'\0';
    context.diskIconIndex = 0;
    context.driveIconChanged = false;
    context.diskIconChanged = false;
    DestroyPageIcon(&context.driveIconPreview);
    DestroyPageIcon(&context.diskIconPreview);

    // Without a drive to work on, every control that edits something is
    // disabled.
    context.driveWritable = HasDrive(context) && CanWriteDriveSettings(context.itemPath);
    context.diskWritable = HasDrive(context) && CanWriteDiskSettings(context.itemPath);
    if (!HasDrive(context)) {
        EnableControls(page, kDriveControls, FALSE);
        EnableControls(page, kDiskControls, FALSE);
        return;
    }

    DriveSettings drive = {};
    ReadDriveSettings(context.itemPath, &drive);
    context.driveLabelWhole = drive.labelWhole;
    context.driveIconStored = drive.iconFound;
    context.driveIconWhole = drive.iconWhole;
    if (drive.labelFound) {
        StringCchCopyW(context.driveLabel, ARRAYSIZE(context.driveLabel), drive.label);
        SetDlgItemTextW(page, IDC_DRIVE_LABEL, context.driveLabel);
    }
    if (drive.iconFound) {
        StringCchCopyW(context.driveIconFile, ARRAYSIZE(context.driveIconFile), drive.iconFile);
        context.driveIconIndex = drive.iconIndex;
        UpdateDriveIconPreview(page, context);
    }
    // Without write access to the machine's keys (a user who is not an
    // administrator) what the person typed or chose for the drive letter
    // would be dropped at the apply without a word.
    if (!context.driveWritable)
        EnableControls(page, kDriveControls, FALSE);

    // An AutoRun.inf the profile functions would damage (UTF-16 without a
    // byte-order mark) or a directory in its place is read as nothing and
    // never written.
    DiskSettings disk = {};
    ReadDiskSettings(context.itemPath, &disk);
    StringCchCopyW(context.diskLabel, ARRAYSIZE(context.diskLabel), disk.label);
    StringCchCopyW(context.diskIconFile, ARRAYSIZE(context.diskIconFile), disk.iconFile);
    context.diskIconIndex = disk.iconIndex;
    context.diskLabelWhole = disk.labelWhole;
    context.diskIconStored = disk.iconFound;
    context.diskIconWhole = disk.iconWhole;
    SetDlgItemTextW(page, IDC_DISK_LABEL, context.diskLabel);
    UpdateDiskIconPreview(page, context);
    if (!context.diskWritable)
        EnableControls(page, kDiskControls, FALSE);
}

void ChooseDriveIcon(HWND page, DrivePageContext& context)
{
    if (!ChooseIcon(page, context.driveIconFile, &context.driveIconIndex, &context.driveIconPreview,
                    IDC_DRIVE_ICON_PREVIEW))
        return;
    context.driveIconChanged = true;
    // The chooser previews the path as it is; a path with environment
    // variables needs them expanded to show.
    WCHAR expanded[MAX_PATH];
    ExpandDriveIconFile(context.driveIconFile, expanded);
    if (wcscmp(expanded, context.driveIconFile) != 0)
        UpdateDriveIconPreview(page, context);
}

void ChooseDiskIcon(HWND page, DrivePageContext& context)
{
    if (!PickIcon(page, context.diskIconFile, &context.diskIconIndex))
        return;
    context.diskIconChanged = true;
    SendMessageW(page, WM_USER, 0, 0);
    MarkPageChanged(page);
}

void OnCommand(HWND page, DrivePageContext& context, int id)
{
    if (!HasDrive(context))
        return;
    switch (id) {
    case IDC_CHANGE_DRIVE_ICON:
        if (context.driveWritable)
            ChooseDriveIcon(page, context);
        break;
    case IDC_DEFAULT_DRIVE_ICON:
        if (!context.driveWritable)
            break;
        ResetIcon(page, context.driveIconFile, &context.driveIconIndex, &context.driveIconPreview,
                  IDC_DRIVE_ICON_PREVIEW);
        context.driveIconChanged = true;
        break;
    case IDC_CHANGE_DISK_ICON:
        if (context.diskWritable)
            ChooseDiskIcon(page, context);
        break;
    case IDC_DEFAULT_DISK_ICON:
        if (!context.diskWritable)
            break;
        ResetIcon(page, context.diskIconFile, &context.diskIconIndex, &context.diskIconPreview,
                  IDC_DISK_ICON_PREVIEW);
        context.diskIconChanged = true;
        break;
    }
}

// The label to write from an edit (MAX_PATH buffer): its text when the label
// was read whole or the person edited it; otherwise null, which keeps what
// is stored.
PCWSTR TakeLabel(HWND page, int editId, bool whole, PWSTR label)
{
    if (!whole && !IsEditModified(page, editId))
        return nullptr;
    GetDlgItemTextW(page, editId, label, MAX_PATH);
    return label;
}

// The icon to write: null keeps what is stored. A changed icon is kept only
// while it shows a preview; one stored and not changed stays as it was,
// rewritten when it was read whole and untouched otherwise.
PCWSTR TakeIcon(bool changed, bool stored, bool whole, HICON preview, PCWSTR iconFile, bool* present)
{
    *present = changed ? preview != nullptr : stored;
    if (!changed && stored && !whole)
        return nullptr;
    return iconFile;
}

// Both stores at every apply, whether or not anything changed, except for
// what the page could not read whole and the person left alone. The labels
// are taken from their edits here: typing does not mark the page changed.
void OnApply(HWND page, DrivePageContext& context)
{
    if (!HasDrive(context))
        return;
    DriveEdit edit = {};
    if (context.driveWritable) {
        edit.driveLabel = TakeLabel(page, IDC_DRIVE_LABEL, context.driveLabelWhole, context.driveLabel);
        edit.driveIconFile = TakeIcon(context.driveIconChanged, context.driveIconStored, context.driveIconWhole,
                                      context.driveIconPreview, context.driveIconFile, &edit.driveIconPresent);
        edit.driveIconIndex = context.driveIconIndex;
    }
    if (context.diskWritable) {
        edit.diskLabel = TakeLabel(page, IDC_DISK_LABEL, context.diskLabelWhole, context.diskLabel);
        if (TakeIcon(context.diskIconChanged, context.diskIconStored, context.diskIconWhole,
                     context.diskIconPreview, context.diskIconFile, &edit.diskIconPresent))
            edit.diskIconFile = context.diskIconFile;
        edit.diskIconIndex = context.diskIconIndex;
    }
    ApplyDriveSettings(context.itemPath, edit);
}

}  // namespace

INT_PTR CALLBACK DrivePageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    DrivePageContext* context = GetPageContext(dialog, message, lParam);
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
