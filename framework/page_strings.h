// A page's text values that may be indirect strings ("@module,-id"): the
// label and InfoTip edits with their "Change..." buttons, and the InfoTip's
// switch between typed text and a string resource. The folder page and the
// file page share them, each with its own control ids; every value is a
// buffer of MAX_PATH characters.
#pragma once

#include <windows.h>

// WM_INITDIALOG: a stored value shown resolved (nothing for none), the edit
// not modified.
void ShowStoredString(HWND page, int editId, PCWSTR value);

// "Change..." beside a string edit: the string picker on a copy of the
// value. An accepted choice or "Default" becomes the value, is shown
// (resolved, or nothing), marks the edit modified and the page changed; a
// cancelled picker changes nothing.
void ChangeStringValue(HWND page, PWSTR value, int editId);

// The InfoTip edit, its check box "Use localizable string resource for the
// InfoTip" and its "Change..." button.
struct InfoTipControls {
    int edit;
    int resourceBox;
    int changeButton;
};

// WM_INITDIALOG: an indirect string opens in resource mode (the edit
// read-only showing the resolved text, the box checked, "Change..."
// enabled), anything else as typed text; the edit starts not modified.
void ShowInfoTip(HWND page, PCWSTR infoTip, const InfoTipControls& controls);

// The check box was clicked: switches the edit between the typed text and
// the resolved string resource. Entering resource mode takes the typed text
// as the value. Either way the InfoTip is written at the next apply.
void SwitchInfoTipMode(HWND page, PWSTR infoTip, const InfoTipControls& controls);

// At the apply: whether the InfoTip is to be written. In text mode the
// edit's text (at most 259 characters) becomes the value first.
bool TakeChangedInfoTip(HWND page, PWSTR infoTip, const InfoTipControls& controls);
