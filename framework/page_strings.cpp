#include "page_strings.h"

#include <strsafe.h>

#include "extension.h"
#include "picker.h"

namespace {

// Shows a value in an edit: an indirect string resolved, or nothing.
void ShowStringValue(HWND edit, PCWSTR value)
{
    if (value[0])
        ShowIndirectString(edit, value);
    else
        SetWindowTextW(edit, L"");
}

bool IsResourceMode(HWND page, const InfoTipControls& controls)
{
    return IsDlgButtonChecked(page, controls.resourceBox) == BST_CHECKED;
}

// The InfoTip as typed: at most 259 characters of the edit.
void TakeTypedInfoTip(HWND page, PWSTR infoTip, const InfoTipControls& controls)
{
    GetDlgItemTextW(page, controls.edit, infoTip, MAX_PATH);
}

}  // namespace

void ShowStoredString(HWND page, int editId, PCWSTR value)
{
    if (value[0])
        ShowIndirectString(GetDlgItem(page, editId), value);
    SetEditModified(page, editId, FALSE);
}

void ChangeStringValue(HWND page, PWSTR value, int editId)
{
    WCHAR work[MAX_PATH];
    StringCchCopyW(work, ARRAYSIZE(work), value);
    if (PickStringResource(page, work, ARRAYSIZE(work)) == 0)
        return;
    StringCchCopyW(value, MAX_PATH, work);
    ShowStringValue(GetDlgItem(page, editId), value);
    SetEditModified(page, editId, TRUE);
    MarkPageChanged(page);
}

void ShowInfoTip(HWND page, PCWSTR infoTip, const InfoTipControls& controls)
{
    HWND edit = GetDlgItem(page, controls.edit);
    if (infoTip[0] == L'@') {
        SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
        ShowIndirectString(edit, infoTip);
        CheckDlgButton(page, controls.resourceBox, BST_CHECKED);
        EnableWindow(GetDlgItem(page, controls.changeButton), TRUE);
    } else {
        SetWindowTextW(edit, infoTip);
    }
    SetEditModified(page, controls.edit, FALSE);
}

void SwitchInfoTipMode(HWND page, PWSTR infoTip, const InfoTipControls& controls)
{
    HWND edit = GetDlgItem(page, controls.edit);
    if (IsResourceMode(page, controls)) {
        TakeTypedInfoTip(page, infoTip, controls);
        SendMessageW(edit, EM_SETREADONLY, TRUE, 0);
        ShowIndirectString(edit, infoTip);
        EnableWindow(GetDlgItem(page, controls.changeButton), TRUE);
    } else {
        SendMessageW(edit, EM_SETREADONLY, FALSE, 0);
        SetWindowTextW(edit, infoTip);
        EnableWindow(GetDlgItem(page, controls.changeButton), FALSE);
    }
    SetEditModified(page, controls.edit, TRUE);
}

bool TakeChangedInfoTip(HWND page, PWSTR infoTip, const InfoTipControls& controls)
{
    if (!IsEditModified(page, controls.edit))
        return false;
    if (!IsResourceMode(page, controls))
        TakeTypedInfoTip(page, infoTip, controls);
    return true;
}
