#include "icon_chooser.h"

#include <shellapi.h>
#include <shlobj.h>
#include <strsafe.h>

#include "extension.h"
#include "module.h"

void UpdateIconPreview(HWND page, PCWSTR iconFile, int iconIndex, HICON* preview, int previewId)
{
    DestroyPageIcon(preview);
    if (iconFile[0]) {
        HICON icon = ExtractIconW(ModuleInstance, iconFile, static_cast<UINT>(iconIndex));
        // 1 means the file is no program, library or icon file.
        if (icon != reinterpret_cast<HICON>(1))
            *preview = icon;
    }
    SendDlgItemMessageW(page, previewId, STM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(*preview));
}

bool PickIcon(HWND page, PWSTR iconFile, int* iconIndex)
{
    WCHAR work[MAX_PATH];
    StringCchCopyW(work, ARRAYSIZE(work), iconFile);
    int workIndex = *iconIndex;
    if (PickIconDlg(page, work, ARRAYSIZE(work), &workIndex) == 0)
        return false;
    // The picker need not terminate what it hands back.
    work[ARRAYSIZE(work) - 1] = L'\0';
    StringCchCopyW(iconFile, MAX_PATH, work);
    *iconIndex = workIndex;
    return true;
}

bool ChooseIcon(HWND page, PWSTR iconFile, int* iconIndex, HICON* preview, int previewId)
{
    if (!PickIcon(page, iconFile, iconIndex))
        return false;
    UpdateIconPreview(page, iconFile, *iconIndex, preview, previewId);
    MarkPageChanged(page);
    return true;
}

void ResetIcon(HWND page, PWSTR iconFile, int* iconIndex, HICON* preview, int previewId)
{
    iconFile[0] = L'\0';
    *iconIndex = 0;
    UpdateIconPreview(page, iconFile, *iconIndex, preview, previewId);
    MarkPageChanged(page);
}
