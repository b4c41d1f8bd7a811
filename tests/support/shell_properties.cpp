#include "shell_properties.h"

#include <commctrl.h>
#include <shlobj.h>

namespace {

struct FindSheet {
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK FindSheetProc(HWND window, LPARAM lParam)
{
    auto* data = reinterpret_cast<FindSheet*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(window) || !PropSheet_GetTabControl(window))
        return TRUE;
    WCHAR text[512] = L"";
    GetWindowTextW(window, text, ARRAYSIZE(text));
    if (std::wstring(text).find(*data->title) == std::wstring::npos)
        return TRUE;
    data->found = window;
    return FALSE;
}

}  // namespace

HRESULT InvokeShellProperties(const std::wstring& path)
{
    PIDLIST_ABSOLUTE item = nullptr;
    HRESULT hr = SHParseDisplayName(path.c_str(), nullptr, &item, 0, nullptr);
    if (FAILED(hr))
        return hr;
    IShellFolder* parent = nullptr;
    PCUITEMID_CHILD child = nullptr;
    IContextMenu* menu = nullptr;
    hr = SHBindToParent(item, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child);
    if (SUCCEEDED(hr))
        hr = parent->GetUIObjectOf(nullptr, 1, &child, IID_IContextMenu, nullptr, reinterpret_cast<void**>(&menu));
    if (SUCCEEDED(hr)) {
        CMINVOKECOMMANDINFO invoke = {};
        invoke.cbSize = sizeof(invoke);
        invoke.lpVerb = "properties";
        invoke.nShow = SW_SHOWNORMAL;
        hr = menu->InvokeCommand(&invoke);
        menu->Release();
    }
    if (parent)
        parent->Release();
    CoTaskMemFree(item);
    return hr;
}

HWND WaitForPropertiesDialog(const std::wstring& title, DWORD timeoutMs)
{
    FindSheet data = {&title, nullptr};
    DWORD start = GetTickCount();
    while (!data.found && GetTickCount() - start < timeoutMs) {
        Sleep(25);
        EnumWindows(FindSheetProc, reinterpret_cast<LPARAM>(&data));
    }
    if (data.found)
        Sleep(300);
    return data.found;
}

HWND SelectSheetTab(HWND sheet, const std::wstring& caption, std::wstring* captions)
{
    HWND tabs = PropSheet_GetTabControl(sheet);
    int count = TabCtrl_GetItemCount(tabs);
    for (int i = 0; i < count; ++i) {
        WCHAR text[128] = L"";
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = ARRAYSIZE(text);
        SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        if (captions)
            *captions += std::wstring(L"[") + text + L"]";
        if (caption != text)
            continue;
        PropSheet_SetCurSel(sheet, nullptr, i);
        // Wine paints the new page's controls a little after it is shown.
        Sleep(300);
        return PropSheet_GetCurrentPageHwnd(sheet);
    }
    return nullptr;
}
