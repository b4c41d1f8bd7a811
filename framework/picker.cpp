// Indirect strings ("@module,-id") and the "Change string" dialog.
//
// String modules are named by the user or by a Desktop.ini that may come
// from anywhere (a share, a USB stick), so they are only ever mapped as
// resource data: none of their code runs in the host process.
#include "picker.h"

#include <shlwapi.h>
#include <strsafe.h>

#include "actctx.h"
#include "chrome.h"
#include "handle.h"
#include "help_ids.h"
#include "indirect_string.h"
#include "module.h"
#include "picker_ids.h"

namespace {

const WCHAR kDefaultModule[] = L"%SystemRoot%\\system32\\SHELL32.dll";
const WCHAR kPickerCaption[] = L"Change string";
const WCHAR kIndirectFormat[] = L"@%s,-%u";

// The list reads each string into a buffer this long (a longer string is
// cut to one character less).
const int kListTextLength = 65500;

// String identifiers are 16-bit: block n holds (n-1)*16 to (n-1)*16+15, so
// blocks beyond this one would name identifiers LoadStringW cannot reach.
const UINT kLastStringBlock = 0x10000 / 16;

// State of one open picker, owned by PickStringResource's frame and kept in
// the dialog's DWLP_USER, so pickers open at once on several threads (one
// per Properties dialog) never share it.
struct PickerState {
    PWSTR resultText;             // the caller's buffer
    size_t capacity;              // its size in characters
    WCHAR modulePath[MAX_PATH];   // module the list shows, as typed (unexpanded)
};

// The block number an RT_STRING resource name stands for: an integer name,
// or a string name made of '#' and decimal digits. 0 for any other name.
UINT ReadBlockNumber(LPCWSTR name)
{
    if (IS_INTRESOURCE(name))
        return LOWORD(reinterpret_cast<ULONG_PTR>(name));
    if (name[0] != L'#' || name[1] == L'\0')
        return 0;
    UINT number = 0;
    for (PCWSTR digit = name + 1; *digit; ++digit) {
        if (*digit < L'0' || *digit > L'9')
            return 0;
        number = number * 10 + (*digit - L'0');
        if (number > kLastStringBlock)
            return 0;
    }
    return number;
}

// No banner; "What's This?" help from the picker's own topic file.
const PageChrome kPickerChrome = {0, StringPickerHelpIds, kPickStringTopicFile};

PickerState* GetPickerState(HWND dialog)
{
    return reinterpret_cast<PickerState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void OnInitDialog(HWND dialog, PickerState* state)
{
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    HWND edit = GetDlgItem(dialog, IDC_PICKER_FILE);
    SHAutoComplete(edit, SHACF_FILESYSTEM);
    // A typed path longer than this would be cut when it is read back.
    SendMessageW(edit, EM_LIMITTEXT, MAX_PATH - 1, 0);

    IndirectParts parts = {};
    int selected = -1;
    if (state->resultText[0] != L'\0' &&
        SplitIndirectString(state->resultText, state->capacity, &parts)) {
        StringCchCopyW(state->modulePath, MAX_PATH, parts.modulePath);
    } else {
        StringCchCopyW(state->modulePath, MAX_PATH, kDefaultModule);
        parts.identifier = 0;
        parts.hasIdentifier = true;
    }
    SetWindowTextW(edit, state->modulePath);

    // A module that cannot be loaded leaves the list empty, without a word:
    // the path stands in the field for the user to correct.
    HWND list = GetDlgItem(dialog, IDC_PICKER_LIST);
    FillStringList(list, state->modulePath);
    if (parts.hasIdentifier)
        selected = FindStringItem(list, parts.identifier);
    SendMessageW(list, LB_SETCURSEL, selected, 0);
}

// Enter in the path field: list the typed module's strings, or warn and go
// back to the default module. The dialog stays open either way.
void LoadTypedModule(HWND dialog, PickerState* state)
{
    HWND edit = GetDlgItem(dialog, IDC_PICKER_FILE);
    HWND list = GetDlgItem(dialog, IDC_PICKER_LIST);
    WCHAR typed[MAX_PATH] = L"";
    bool whole = GetWindowTextLengthW(edit) < MAX_PATH;
    GetWindowTextW(edit, typed, MAX_PATH);
    StringCchCopyW(state->modulePath, MAX_PATH, typed);
    if (whole && FillStringList(list, state->modulePath))
        return;

    // Room for the whole message around the longest path the field holds.
    WCHAR message[MAX_PATH + 64];
    StringCchPrintfW(message, ARRAYSIZE(message), L"Unable to open file %s.", typed);
    MessageBoxW(dialog, message, kPickerCaption, MB_OK | MB_ICONWARNING);

    StringCchCopyW(state->modulePath, MAX_PATH, kDefaultModule);
    SetWindowTextW(edit, state->modulePath);
    FillStringList(list, state->modulePath);
}

// "OK", Enter in the list or a double click: the selected string becomes
// the caller's text. Without a selection, or when "@path,-id" would not fit
// the caller's buffer, nothing is chosen and the dialog stays open.
void ChooseSelectedString(HWND dialog, PickerState* state)
{
    HWND list = GetDlgItem(dialog, IDC_PICKER_LIST);
    LRESULT selected = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) {
        MessageBeep(MB_OK);
        return;
    }
    UINT identifier = static_cast<UINT>(SendMessageW(list, LB_GETITEMDATA, selected, 0));
    WCHAR chosen[MAX_PATH + 16];
    size_t length = 0;
    if (FAILED(StringCchPrintfW(chosen, ARRAYSIZE(chosen), kIndirectFormat, state->modulePath, identifier)) ||
        FAILED(StringCchLengthW(chosen, ARRAYSIZE(chosen), &length)) || length >= state->capacity) {
        MessageBeep(MB_OK);
        return;
    }
    StringCchCopyW(state->resultText, state->capacity, chosen);
    EndDialog(dialog, 1);
}

// "Browse...": the file dialog starts at the current module path and, when
// the user picks a file, that file's strings are listed. A copy of the path
// is handed over so that a cancelled dialog cannot change it.
void BrowseForModule(HWND dialog, PickerState* state)
{
    WCHAR file[MAX_PATH];
    StringCchCopyW(file, ARRAYSIZE(file), state->modulePath);

    // The full structure of Windows 2000 and later (88 bytes on x86).
    static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEW) == 88, "OPENFILENAMEW layout");
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = L"Programs and libraries\0*.exe;*.dll\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = ARRAYSIZE(file);
    ofn.lpstrTitle = kPickerCaption;
    ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING;
    if (!GetOpenFileNameInContext(&ofn))
        return;

    StringCchCopyW(state->modulePath, MAX_PATH, file);
    SetDlgItemTextW(dialog, IDC_PICKER_FILE, state->modulePath);
    FillStringList(GetDlgItem(dialog, IDC_PICKER_LIST), state->modulePath);
}

void OnCommand(HWND dialog, PickerState* state, WORD id, WORD code)
{
    switch (id) {
    case IDOK:
        if (code != BN_CLICKED)
            break;
        if (GetFocus() == GetDlgItem(dialog, IDC_PICKER_FILE))
            LoadTypedModule(dialog, state);
        else
            ChooseSelectedString(dialog, state);
        break;
    case IDC_PICKER_LIST:
        if (code == LBN_DBLCLK)
            ChooseSelectedString(dialog, state);
        break;
    case IDC_PICKER_BROWSE:
        if (code == BN_CLICKED)
            BrowseForModule(dialog, state);
        break;
    case IDC_PICKER_DEFAULT:
        if (code == BN_CLICKED) {
            state->resultText[0] = L'\0';
            EndDialog(dialog, 1);
        }
        break;
    case IDCANCEL:
        if (code == BN_CLICKED)
            EndDialog(dialog, 0);
        break;
    }
}

INT_PTR CALLBACK StringPickerProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        OnInitDialog(dialog, reinterpret_cast<PickerState*>(lParam));
        return FALSE;
    }
    PickerState* state = GetPickerState(dialog);
    if (!state)
        return FALSE;
    if (message == WM_COMMAND) {
        OnCommand(dialog, state, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    }
    // Help handled here does not travel on to the page that owns the picker.
    return HandleChromeMessage(dialog, message, wParam, lParam, kPickerChrome) ? TRUE : FALSE;
}

}  // namespace

INT_PTR PickStringResource(HWND owner, PWSTR text, size_t capacity)
{
    if (!text || capacity == 0 || capacity > STRSAFE_MAX_CCH)
        return -1;
    PickerState state = {};
    state.resultText = text;
    state.capacity = capacity;
    return DialogBoxInContext(ModuleInstance, MAKEINTRESOURCEW(IDD_STRING_PICKER), owner, StringPickerProc,
                              reinterpret_cast<LPARAM>(&state));
}

BOOL FillStringList(HWND list, PCWSTR modulePath)
{
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    WCHAR expanded[MAX_PATH];
    if (!ExpandModulePath(modulePath, expanded))
        return FALSE;
    AutoLibrary module(LoadStringModuleInContext(expanded));
    if (!module)
        return FALSE;
    // One repaint for the whole table rather than one per string.
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    EnumResourceNamesW(module.Get(), RT_STRING, AddStringBlock, reinterpret_cast<LONG_PTR>(list));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    return TRUE;
}

BOOL CALLBACK AddStringBlock(HMODULE module, LPCWSTR, LPWSTR name, LONG_PTR listParam)
{
    HWND list = reinterpret_cast<HWND>(listParam);
    UINT block = ReadBlockNumber(name);
    if (block == 0)
        return TRUE;
    // LoadStringW finds only integer-named blocks. A module that carries a
    // block named "#n" beside the integer block n lists block n under that
    // integer entry; listing it again here would show every string twice.
    if (!IS_INTRESOURCE(name) && FindResourceW(module, MAKEINTRESOURCEW(block), RT_STRING))
        return TRUE;

    AutoCoTaskMem buffer(CoTaskMemAlloc(kListTextLength * sizeof(WCHAR)));
    if (!buffer)
        return TRUE;
    PWSTR text = static_cast<PWSTR>(buffer.Get());
    UINT first = (block - 1) * 16;
    for (UINT identifier = first; identifier < first + 16; ++identifier) {
        if (LoadStringW(module, identifier, text, kListTextLength) <= 0)
            continue;
        LRESULT item = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        if (item >= 0)
            SendMessageW(list, LB_SETITEMDATA, item, identifier);
    }
    return TRUE;
}

int FindStringItem(HWND list, UINT identifier)
{
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT item = 0; item < count; ++item) {
        if (static_cast<UINT>(SendMessageW(list, LB_GETITEMDATA, item, 0)) == identifier)
            return static_cast<int>(item);
    }
    return -1;
}

void ResolveIndirectString(PCWSTR indirect, PWSTR text)
{
    ResolveIndirectString(indirect, text, LoadStringModuleInContext);
}

void ShowIndirectString(HWND control, PCWSTR indirect)
{
    WCHAR text[MAX_PATH];
    ResolveIndirectString(indirect, text);
    SetWindowTextW(control, text);
}
