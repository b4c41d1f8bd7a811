#include "page_spy.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>

#include "import_spy.h"

struct PageSpy::Patch {
    ImportPatch patch;
    template <typename... Args>
    explicit Patch(Args... args) : patch(args...)
    {
    }
};

namespace {

PageSpy* g_spy = nullptr;

// The real functions behind the patched entries (the first patched target;
// the same for every DLL that imports them).
decltype(&SetFileAttributesW) RealSetFileAttributes = nullptr;
decltype(&SHChangeNotify) RealChangeNotify = nullptr;
decltype(&WritePrivateProfileStringW) RealWriteProfile = nullptr;
decltype(&ExtractIconW) RealExtractIcon = nullptr;
decltype(&DestroyIcon) RealDestroyIcon = nullptr;
decltype(&LoadBitmapW) RealLoadBitmap = nullptr;
decltype(&LoadImageW) RealLoadImage = nullptr;
decltype(&CreateBitmap) RealCreateBitmap = nullptr;
decltype(&CreateCompatibleBitmap) RealCreateCompatibleBitmap = nullptr;
decltype(&DeleteObject) RealDeleteObject = nullptr;
decltype(&CreateCompatibleDC) RealCreateCompatibleDC = nullptr;
decltype(&DeleteDC) RealDeleteDC = nullptr;
decltype(&CreatePopupMenu) RealCreatePopupMenu = nullptr;
decltype(&DestroyMenu) RealDestroyMenu = nullptr;
decltype(&LoadLibraryW) RealLoadLibrary = nullptr;
decltype(&LoadLibraryExW) RealLoadLibraryEx = nullptr;
decltype(&FreeLibrary) RealFreeLibrary = nullptr;
decltype(&ShellExecuteW) RealShellExecute = nullptr;

std::wstring Hex(DWORD value)
{
    wchar_t text[16];
    swprintf(text, 16, L"%lx", static_cast<unsigned long>(value));
    return text;
}

std::wstring Text(const wchar_t* text)
{
    return text ? text : L"<null>";
}

BOOL WINAPI SpySetFileAttributes(LPCWSTR path, DWORD attributes)
{
    g_spy->calls.push_back(L"attributes " + Text(path) + L" " + Hex(attributes));
    return RealSetFileAttributes(path, attributes);
}

void WINAPI SpyChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2)
{
    g_spy->calls.push_back(L"notify " + Hex(static_cast<DWORD>(event)) + L" " + Hex(flags) + L" " +
                           Text(static_cast<const wchar_t*>(item1)) + L" " +
                           Text(static_cast<const wchar_t*>(item2)));
    RealChangeNotify(event, flags, item1, item2);
}

BOOL WINAPI SpyWriteProfile(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file)
{
    g_spy->calls.push_back(L"write " + Text(key) + L"=" + Text(value));
    return RealWriteProfile(section, key, value, file);
}

int WINAPI SpyPickIconDlg(HWND owner, PWSTR path, UINT capacity, int* index)
{
    g_spy->pickOwner = owner;
    g_spy->calls.push_back(L"pickicon " + Text(path) + L" " + std::to_wstring(*index));
    if (g_spy->pickResult != 0) {
        if (g_spy->pickPath.size() >= capacity)
            return 0;
        wcscpy(path, g_spy->pickPath.c_str());
        *index = g_spy->pickIndex;
    }
    return g_spy->pickResult;
}

HINSTANCE WINAPI SpyShellExecute(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                 INT show)
{
    g_spy->executeOwner = owner;
    g_spy->calls.push_back(L"execute " + Text(verb) + L" " + Text(file) + L" " + Text(parameters) + L" " +
                           Text(directory) + L" " + std::to_wstring(show));
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

template <typename T>
T Created(std::set<void*>& live, T handle)
{
    if (handle) {
        live.insert(reinterpret_cast<void*>(handle));
        ++g_spy->resources.created;
    }
    return handle;
}

void Destroyed(std::set<void*>& live, void* handle)
{
    live.erase(handle);
}

HICON WINAPI SpyExtractIcon(HINSTANCE instance, LPCWSTR file, UINT index)
{
    HICON icon = RealExtractIcon(instance, file, index);
    // 1 is "not an icon file", no handle.
    if (icon == reinterpret_cast<HICON>(1))
        return icon;
    return Created(g_spy->resources.icons, icon);
}

BOOL WINAPI SpyDestroyIcon(HICON icon)
{
    Destroyed(g_spy->resources.icons, icon);
    return RealDestroyIcon(icon);
}

HBITMAP WINAPI SpyLoadBitmap(HINSTANCE instance, LPCWSTR name)
{
    return Created(g_spy->resources.bitmaps, RealLoadBitmap(instance, name));
}

HANDLE WINAPI SpyLoadImage(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags)
{
    HANDLE image = RealLoadImage(instance, name, type, cx, cy, flags);
    if (flags & LR_SHARED)
        return image;
    if (type == IMAGE_BITMAP)
        return Created(g_spy->resources.bitmaps, image);
    return Created(g_spy->resources.icons, image);
}

HBITMAP WINAPI SpyCreateBitmap(int width, int height, UINT planes, UINT bits, const void* data)
{
    return Created(g_spy->resources.bitmaps, RealCreateBitmap(width, height, planes, bits, data));
}

HBITMAP WINAPI SpyCreateCompatibleBitmap(HDC dc, int width, int height)
{
    return Created(g_spy->resources.bitmaps, RealCreateCompatibleBitmap(dc, width, height));
}

BOOL WINAPI SpyDeleteObject(HGDIOBJ object)
{
    Destroyed(g_spy->resources.bitmaps, object);
    return RealDeleteObject(object);
}

HDC WINAPI SpyCreateCompatibleDC(HDC dc)
{
    return Created(g_spy->resources.dcs, RealCreateCompatibleDC(dc));
}

BOOL WINAPI SpyDeleteDC(HDC dc)
{
    Destroyed(g_spy->resources.dcs, dc);
    return RealDeleteDC(dc);
}

HMENU WINAPI SpyCreatePopupMenu()
{
    return Created(g_spy->resources.menus, RealCreatePopupMenu());
}

BOOL WINAPI SpyDestroyMenu(HMENU menu)
{
    Destroyed(g_spy->resources.menus, menu);
    return RealDestroyMenu(menu);
}

// Modules: counted per load, since a module loaded twice is freed twice.
std::multiset<void*> g_modules;

HMODULE WINAPI SpyLoadLibrary(LPCWSTR name)
{
    HMODULE module = RealLoadLibrary(name);
    if (module) {
        g_spy->resources.modules.insert(module);
        g_modules.insert(module);
        ++g_spy->resources.created;
    }
    return module;
}

HMODULE WINAPI SpyLoadLibraryEx(LPCWSTR name, HANDLE file, DWORD flags)
{
    HMODULE module = RealLoadLibraryEx(name, file, flags);
    if (module) {
        g_spy->resources.modules.insert(module);
        g_modules.insert(module);
        ++g_spy->resources.created;
    }
    return module;
}

BOOL WINAPI SpyFreeLibrary(HMODULE module)
{
    auto found = g_modules.find(module);
    if (found != g_modules.end()) {
        g_modules.erase(found);
        if (g_modules.find(module) == g_modules.end())
            g_spy->resources.modules.erase(module);
    }
    return RealFreeLibrary(module);
}

template <typename F>
void Remember(F* real, void* previous)
{
    if (previous && !*real)
        *real = reinterpret_cast<F>(previous);
}

}  // namespace

PageSpy::PageSpy(HMODULE module)
{
    g_spy = this;
    g_modules.clear();
    auto patch = [&](const char* dll, const char* function, void* replacement, auto* real, bool counted) {
        auto entry = std::make_unique<Patch>(module, dll, function, replacement);
        if (!entry->patch.Installed())
            return;
        Remember(real, entry->patch.Original<void*>());
        if (counted)
            countedImports.push_back(function);
        patches_.push_back(std::move(entry));
    };
    patch("kernel32.dll", "SetFileAttributesW", reinterpret_cast<void*>(SpySetFileAttributes),
          &RealSetFileAttributes, false);
    patch("shell32.dll", "SHChangeNotify", reinterpret_cast<void*>(SpyChangeNotify), &RealChangeNotify, false);
    patch("kernel32.dll", "WritePrivateProfileStringW", reinterpret_cast<void*>(SpyWriteProfile),
          &RealWriteProfile, false);
    // Answered here: the shortcut's Properties dialog is the platform's.
    patch("shell32.dll", "ShellExecuteW", reinterpret_cast<void*>(SpyShellExecute), &RealShellExecute, false);

    patch("shell32.dll", "ExtractIconW", reinterpret_cast<void*>(SpyExtractIcon), &RealExtractIcon, true);
    patch("user32.dll", "DestroyIcon", reinterpret_cast<void*>(SpyDestroyIcon), &RealDestroyIcon, true);
    patch("user32.dll", "LoadBitmapW", reinterpret_cast<void*>(SpyLoadBitmap), &RealLoadBitmap, true);
    patch("user32.dll", "LoadImageW", reinterpret_cast<void*>(SpyLoadImage), &RealLoadImage, true);
    patch("gdi32.dll", "CreateBitmap", reinterpret_cast<void*>(SpyCreateBitmap), &RealCreateBitmap, true);
    patch("gdi32.dll", "CreateCompatibleBitmap", reinterpret_cast<void*>(SpyCreateCompatibleBitmap),
          &RealCreateCompatibleBitmap, true);
    patch("gdi32.dll", "DeleteObject", reinterpret_cast<void*>(SpyDeleteObject), &RealDeleteObject, true);
    patch("gdi32.dll", "CreateCompatibleDC", reinterpret_cast<void*>(SpyCreateCompatibleDC),
          &RealCreateCompatibleDC, true);
    patch("gdi32.dll", "DeleteDC", reinterpret_cast<void*>(SpyDeleteDC), &RealDeleteDC, true);
    patch("user32.dll", "CreatePopupMenu", reinterpret_cast<void*>(SpyCreatePopupMenu), &RealCreatePopupMenu,
          true);
    patch("user32.dll", "DestroyMenu", reinterpret_cast<void*>(SpyDestroyMenu), &RealDestroyMenu, true);
    patch("kernel32.dll", "LoadLibraryW", reinterpret_cast<void*>(SpyLoadLibrary), &RealLoadLibrary, true);
    patch("kernel32.dll", "LoadLibraryExW", reinterpret_cast<void*>(SpyLoadLibraryEx), &RealLoadLibraryEx, true);
    patch("kernel32.dll", "FreeLibrary", reinterpret_cast<void*>(SpyFreeLibrary), &RealFreeLibrary, true);

    auto pickIcon = std::make_unique<Patch>(module, "shell32.dll", static_cast<WORD>(62),
                                            reinterpret_cast<void*>(SpyPickIconDlg));
    pickIconPatched = pickIcon->patch.Installed();
    if (pickIconPatched)
        patches_.push_back(std::move(pickIcon));
}

PageSpy::~PageSpy()
{
    while (!patches_.empty())
        patches_.pop_back();
    g_spy = nullptr;
}

std::vector<std::wstring> PageSpy::CallsOf(const std::wstring& prefix) const
{
    std::vector<std::wstring> found;
    for (const auto& call : calls)
        if (call.compare(0, prefix.size(), prefix) == 0)
            found.push_back(call);
    return found;
}
