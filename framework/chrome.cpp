#include "chrome.h"

#include <windowsx.h>
#include <htmlhelp.h>
#include <strsafe.h>

#include "handle.h"
#include "module.h"
#include "registry_text.h"

namespace {

const COLORREF kBannerKeyColour = RGB(255, 0, 255);
// The banner sits 10 pixels in from the right and bottom edges of the page:
// 150 x 16 pixels placed 160 and 26 pixels before them.
const int kBannerRightOffset = 160;
const int kBannerBottomOffset = 26;

const WCHAR kHelpFileName[] = L"QLNHELP.chm";

const UINT kWhatsThisCommand = 1;

// HtmlHelpW lives in the HTML Help control library, which the deliverables
// do not link: it is loaded at the first help request, from the path its COM
// class is registered with or else by name, and kept for the library's life.
typedef HWND(WINAPI* HtmlHelpWFn)(HWND, LPCWSTR, UINT, DWORD_PTR);

const WCHAR kHtmlHelpServerKey[] = L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
const WCHAR kHtmlHelpLibraryName[] = L"hhctrl.ocx";
const WORD kHtmlHelpWOrdinal = 15;

// One-time lookup. Two threads that race here compute and store the same
// values, so no lock is needed.
struct HtmlHelpBinding {
    bool looked;
    HMODULE library;
    HtmlHelpWFn function;
};
HtmlHelpBinding HtmlHelpLibrary;

// The registered path of the HTML Help control library (environment
// variables expanded when the value is REG_EXPAND_SZ); false when there is no
// usable value.
bool ReadHtmlHelpLibraryPath(PWSTR path, DWORD capacity)
{
    AutoRegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
        return false;
    WCHAR value[MAX_PATH];
    // A stored string need not carry a terminator: the read adds one.
    RegistryText read = ReadRegistryText(key.Get(), nullptr, value, ARRAYSIZE(value));
    DWORD type = read.type;
    if (read.status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    if (value[0] == L'\0')
        return false;
    if (type == REG_EXPAND_SZ) {
        DWORD needed = ExpandEnvironmentStringsW(value, path, capacity);
        return needed != 0 && needed <= capacity;
    }
    return SUCCEEDED(StringCchCopyW(path, capacity, value));
}

void BindHtmlHelp()
{
    HMODULE library = nullptr;
    WCHAR path[MAX_PATH];
    if (ReadHtmlHelpLibraryPath(path, ARRAYSIZE(path)))
        library = LoadLibraryW(path);
    if (!library)
        library = LoadLibraryW(kHtmlHelpLibraryName);
    HtmlHelpWFn function = nullptr;
    if (library) {
        function = reinterpret_cast<HtmlHelpWFn>(
            reinterpret_cast<void*>(GetProcAddress(library, MAKEINTRESOURCEA(kHtmlHelpWOrdinal))));
        if (!function) {
            FreeLibrary(library);
            library = nullptr;
        }
    }
    HtmlHelpLibrary.library = library;
    HtmlHelpLibrary.function = function;
    HtmlHelpLibrary.looked = true;
}

// HtmlHelpW, or nothing (null) when the library or its function cannot be
// had; that is decided once.
HWND CallHtmlHelp(HWND caller, PCWSTR file, UINT command, DWORD_PTR data)
{
    if (!HtmlHelpLibrary.looked)
        BindHtmlHelp();
    if (!HtmlHelpLibrary.function)
        return nullptr;
    return HtmlHelpLibrary.function(caller, file, command, data);
}

}  // namespace

void DrawKeyedBitmap(HDC hdc, HBITMAP bitmap, short x, short y, COLORREF keyColour)
{
    // The picture in a DC of its own; its size in the logical units of the
    // default mapping mode that this DC still has.
    AutoMemoryDc source(CreateCompatibleDC(hdc));
    if (!source)
        return;
    ScopedSelectObject sourceSelection(source.Get(), bitmap);
    BITMAP info = {};
    if (!GetObjectW(bitmap, sizeof(info), &info))
        return;
    POINT size = {info.bmWidth, info.bmHeight};
    DPtoLP(source.Get(), &size, 1);

    // Declared so that the DCs go in the order memory, back, object, save,
    // after their bitmaps have been selected out and deleted.
    AutoMemoryDc save;
    AutoMemoryDc object;
    AutoMemoryDc back;
    AutoMemoryDc memory;
    back.Reset(CreateCompatibleDC(hdc));
    object.Reset(CreateCompatibleDC(hdc));
    memory.Reset(CreateCompatibleDC(hdc));
    save.Reset(CreateCompatibleDC(hdc));
    if (!back || !object || !memory || !save)
        return;
    // Masks are monochrome; the working copies have the destination's format.
    AutoGdiObject backBitmap(CreateBitmap(size.x, size.y, 1, 1, nullptr));
    AutoGdiObject objectBitmap(CreateBitmap(size.x, size.y, 1, 1, nullptr));
    AutoGdiObject memoryBitmap(CreateCompatibleBitmap(hdc, size.x, size.y));
    AutoGdiObject saveBitmap(CreateCompatibleBitmap(hdc, size.x, size.y));
    if (!backBitmap || !objectBitmap || !memoryBitmap || !saveBitmap)
        return;
    ScopedSelectObject backSelection(back.Get(), backBitmap.Get());
    ScopedSelectObject objectSelection(object.Get(), objectBitmap.Get());
    ScopedSelectObject memorySelection(memory.Get(), memoryBitmap.Get());
    ScopedSelectObject saveSelection(save.Get(), saveBitmap.Get());

    SetMapMode(source.Get(), GetMapMode(hdc));
    const int cx = size.x;
    const int cy = size.y;

    // Keep the picture: its key-coloured pixels are blackened below.
    BitBlt(save.Get(), 0, 0, cx, cy, source.Get(), 0, 0, SRCCOPY);

    // Colour to monochrome: pixels of the background colour become 1 (the
    // key), all others 0 (the logo).
    COLORREF previousBackground = SetBkColor(source.Get(), keyColour);
    BitBlt(object.Get(), 0, 0, cx, cy, source.Get(), 0, 0, SRCCOPY);
    SetBkColor(source.Get(), previousBackground);
    BitBlt(back.Get(), 0, 0, cx, cy, object.Get(), 0, 0, NOTSRCCOPY);

    // Destination pixels with the logo's place blackened, the logo with its
    // key blackened, merged, and put back in one blit.
    BitBlt(memory.Get(), 0, 0, cx, cy, hdc, x, y, SRCCOPY);
    BitBlt(memory.Get(), 0, 0, cx, cy, object.Get(), 0, 0, SRCAND);
    BitBlt(source.Get(), 0, 0, cx, cy, back.Get(), 0, 0, SRCAND);
    BitBlt(memory.Get(), 0, 0, cx, cy, source.Get(), 0, 0, SRCPAINT);
    BitBlt(hdc, x, y, cx, cy, memory.Get(), 0, 0, SRCCOPY);

    // The caller's bitmap as it came.
    BitBlt(source.Get(), 0, 0, cx, cy, save.Get(), 0, 0, SRCCOPY);
}

void PaintPageBanner(HWND dialog, WORD bannerId)
{
    PAINTSTRUCT paint;
    HDC hdc = BeginPaint(dialog, &paint);
    if (hdc) {
        RECT rc;
        GetClientRect(dialog, &rc);
        // Loaded and freed on every paint: nothing is held between paints.
        AutoGdiObject banner(LoadBitmapW(ModuleInstance, MAKEINTRESOURCEW(bannerId)));
        if (banner)
            DrawKeyedBitmap(hdc, static_cast<HBITMAP>(banner.Get()), static_cast<short>(rc.right - kBannerRightOffset),
                            static_cast<short>(rc.bottom - kBannerBottomOffset), kBannerKeyColour);
    }
    EndPaint(dialog, &paint);
}

bool BuildHelpPath(PCWSTR topicFile, PWSTR buffer, size_t capacity)
{
    if (capacity == 0)
        return false;
    DWORD length = GetModuleFileNameW(ModuleInstance, buffer, static_cast<DWORD>(capacity));
    PWSTR slash = length != 0 && length < capacity ? wcsrchr(buffer, L'\\') : nullptr;
    if (slash) {
        slash[1] = L'\0';
        if (SUCCEEDED(StringCchCatW(buffer, capacity, kHelpFileName)) &&
            SUCCEEDED(StringCchCatW(buffer, capacity, topicFile)))
            return true;
    }
    buffer[0] = L'\0';
    return false;
}

void ShowContextHelp(HWND, const HELPINFO* info, const DWORD* helpIds, PCWSTR topicFile)
{
    // Only help for a control (F1 on it, or "What's This?"); menu help and
    // windows without an id are not ours.
    if (!info || info->iContextType != HELPINFO_WINDOW || info->iCtrlId == -1)
        return;
    WCHAR helpPath[kHelpPathCapacity];
    if (!BuildHelpPath(topicFile, helpPath, ARRAYSIZE(helpPath)))
        return;
    // The help system finds the control's topic in the table and shows its
    // popup beside the control; its result is of no use to the page.
    CallHtmlHelp(static_cast<HWND>(info->hItemHandle), helpPath, HH_TP_HELP_WM_HELP,
                 reinterpret_cast<DWORD_PTR>(helpIds));
}

void ShowWhatsThisMenu(HWND dialog, LPARAM lParam, const DWORD* helpIds)
{
    // A menu asked for from the keyboard carries no position, so no control
    // is under it.
    if (static_cast<DWORD>(lParam) == 0xFFFFFFFF)
        return;
    // Signed words: on a monitor left of or above the primary one the
    // coordinates are negative.
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    POINT point = {x, y};
    ScreenToClient(dialog, &point);
    // By position, so disabled controls are found as well.
    HWND control = ChildWindowFromPoint(dialog, point);
    if (!control || control == dialog || !helpIds || helpIds[0] == 0)
        return;
    const DWORD id = static_cast<DWORD>(GetDlgCtrlID(control));

    for (const DWORD* pair = helpIds; pair[0] != 0; pair += 2) {
        if (pair[0] != id || pair[1] == kNoHelp)
            continue;
        AutoMenu menu(CreatePopupMenu());
        if (!menu)
            return;
        AppendMenuW(menu.Get(), MF_STRING, kWhatsThisCommand, L"What's This?");
        BOOL chosen = TrackPopupMenu(menu.Get(), TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, dialog, nullptr);
        if (chosen == static_cast<BOOL>(kWhatsThisCommand)) {
            HELPINFO info = {};
            info.cbSize = sizeof(info);
            info.iContextType = HELPINFO_WINDOW;
            info.iCtrlId = static_cast<int>(id);
            info.hItemHandle = control;
            info.dwContextId = 0;
            info.MousePos.x = 0;
            info.MousePos.y = 0;
            SendMessageW(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        }
    }
}

bool HandleChromeMessage(HWND dialog, UINT message, WPARAM, LPARAM lParam, const PageChrome& chrome)
{
    switch (message) {
    case WM_PAINT:
        // A dialog without a banner paints as the dialog manager does.
        if (!chrome.bannerId)
            return false;
        PaintPageBanner(dialog, chrome.bannerId);
        return true;
    case WM_HELP:
        ShowContextHelp(dialog, reinterpret_cast<const HELPINFO*>(lParam), chrome.helpIds, chrome.topicFile);
        return true;
    case WM_CONTEXTMENU:
        ShowWhatsThisMenu(dialog, lParam, chrome.helpIds);
        return true;
    default:
        return false;
    }
}
