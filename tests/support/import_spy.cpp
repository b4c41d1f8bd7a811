#include "import_spy.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>

#include "host.h"

struct ImportSpy::Patch {
    ImportPatch patch;
    template <typename... Args>
    explicit Patch(Args... args) : patch(args...)
    {
    }
};

std::wstring Hex(DWORD value)
{
    wchar_t text[16];
    swprintf(text, 16, L"%lx", static_cast<unsigned long>(value));
    return text;
}

namespace {

ImportSpy* g_spy = nullptr;

// The real functions behind the patched entries: the first target found,
// the same for every module that imports them. A spy may also watch this
// program's own imports, so it never calls the platform through them.
decltype(&SetFileAttributesW) RealSetFileAttributes = nullptr;
decltype(&SHChangeNotify) RealChangeNotify = nullptr;
decltype(&WritePrivateProfileStringW) RealWriteProfile = nullptr;
decltype(&CreateFileW) RealCreateFile = nullptr;
decltype(&DeleteFileW) RealDeleteFile = nullptr;
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

std::wstring Text(const wchar_t* text)
{
    return text ? text : L"<null>";
}

BOOL WINAPI SpySetFileAttributes(LPCWSTR path, DWORD attributes)
{
    g_spy->Log(L"attributes " + Text(path) + L" " + Hex(attributes));
    return RealSetFileAttributes(path, attributes);
}

void WINAPI SpyChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2)
{
    auto item = [flags](LPCVOID value) -> std::wstring {
        if (!value)
            return L"<null>";
        return (flags & SHCNF_TYPE) == SHCNF_PATHW ? static_cast<const wchar_t*>(value) : L"<item>";
    };
    g_spy->Log(L"notify " + Hex(static_cast<DWORD>(event)) + L" " + Hex(flags) + L" " + item(item1) + L" " +
               item(item2));
    RealChangeNotify(event, flags, item1, item2);
}

BOOL WINAPI SpyWriteProfile(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file)
{
    g_spy->Log(L"write " + Text(key) + L"=" + Text(value));
    return RealWriteProfile(section, key, value, file);
}

HANDLE WINAPI SpyCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                            DWORD disposition, DWORD flags, HANDLE templateFile)
{
    g_spy->Log(L"create " + std::to_wstring(disposition) + L" " + Text(name));
    return RealCreateFile(name, access, share, security, disposition, flags, templateFile);
}

BOOL WINAPI SpyDeleteFile(LPCWSTR name)
{
    g_spy->Log(L"delete " + Text(name));
    return RealDeleteFile(name);
}

int WINAPI SpyPickIconDlg(HWND owner, PWSTR path, UINT capacity, int* index)
{
    g_spy->pickOwner = owner;
    g_spy->Log(L"pickicon " + Text(path) + L" " + std::to_wstring(*index));
    if (g_spy->pickResult != 0 && !g_spy->pickKeepsSeed) {
        if (g_spy->pickPath.size() >= capacity)
            return 0;
        wcscpy(path, g_spy->pickPath.c_str());
        *index = g_spy->pickIndex;
    }
    return g_spy->pickResult;
}

void WINAPI SpyUpdateImage(LPCWSTR iconFile, int iconIndex, UINT flags, int imageIndex)
{
    g_spy->Log(L"updateimage " + Text(iconFile) + L" " + std::to_wstring(iconIndex) + L" " + Hex(flags) + L" " +
               std::to_wstring(imageIndex));
}

HINSTANCE WINAPI SpyShellExecute(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                                 INT show)
{
    g_spy->executeOwner = owner;
    g_spy->Log(L"execute " + Text(verb) + L" " + Text(file) + L" " + Text(parameters) + L" " + Text(directory) +
               L" " + std::to_wstring(show));
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

template <typename T>
T Made(ImportSpy::Handles& kind, T handle)
{
    if (handle) {
        kind.live.insert(reinterpret_cast<void*>(handle));
        ++kind.made;
    }
    return handle;
}

// Every destroying call counts, failed ones too: destroying a handle twice
// shows as more destructions than makings.
BOOL Destroyed(ImportSpy::Handles& kind, void* handle, BOOL result)
{
    kind.live.erase(handle);
    ++kind.destroyed;
    return result;
}

HICON WINAPI SpyExtractIcon(HINSTANCE instance, LPCWSTR file, UINT index)
{
    HICON icon = RealExtractIcon(instance, file, index);
    // 1 is "not an icon file", no handle.
    if (icon == reinterpret_cast<HICON>(1))
        return icon;
    return Made(g_spy->icons, icon);
}

BOOL WINAPI SpyDestroyIcon(HICON icon)
{
    return Destroyed(g_spy->icons, icon, RealDestroyIcon(icon));
}

HBITMAP WINAPI SpyLoadBitmap(HINSTANCE instance, LPCWSTR name)
{
    g_spy->bitmapNames.push_back(reinterpret_cast<ULONG_PTR>(name));
    return Made(g_spy->bitmaps, RealLoadBitmap(instance, name));
}

HANDLE WINAPI SpyLoadImage(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags)
{
    HANDLE image = RealLoadImage(instance, name, type, cx, cy, flags);
    if (flags & LR_SHARED)
        return image;
    return Made(type == IMAGE_BITMAP ? g_spy->bitmaps : g_spy->icons, image);
}

HBITMAP WINAPI SpyCreateBitmap(int width, int height, UINT planes, UINT bits, const void* data)
{
    return Made(g_spy->bitmaps, RealCreateBitmap(width, height, planes, bits, data));
}

HBITMAP WINAPI SpyCreateCompatibleBitmap(HDC dc, int width, int height)
{
    return Made(g_spy->bitmaps, RealCreateCompatibleBitmap(dc, width, height));
}

BOOL WINAPI SpyDeleteObject(HGDIOBJ object)
{
    return Destroyed(g_spy->bitmaps, object, RealDeleteObject(object));
}

HDC WINAPI SpyCreateCompatibleDC(HDC dc)
{
    return Made(g_spy->dcs, RealCreateCompatibleDC(dc));
}

BOOL WINAPI SpyDeleteDC(HDC dc)
{
    return Destroyed(g_spy->dcs, dc, RealDeleteDC(dc));
}

HMENU WINAPI SpyCreatePopupMenu()
{
    return Made(g_spy->menus, RealCreatePopupMenu());
}

BOOL WINAPI SpyDestroyMenu(HMENU menu)
{
    return Destroyed(g_spy->menus, menu, RealDestroyMenu(menu));
}

// Modules: counted per load, since a module loaded twice is freed twice.
std::multiset<void*> g_modules;

HMODULE LoadedModule(HMODULE module)
{
    if (module)
        g_modules.insert(module);
    return Made(g_spy->modules, module);
}

HMODULE WINAPI SpyLoadLibrary(LPCWSTR name)
{
    return LoadedModule(RealLoadLibrary(name));
}

HMODULE WINAPI SpyLoadLibraryEx(LPCWSTR name, HANDLE file, DWORD flags)
{
    return LoadedModule(RealLoadLibraryEx(name, file, flags));
}

BOOL WINAPI SpyFreeLibrary(HMODULE module)
{
    auto found = g_modules.find(module);
    if (found != g_modules.end()) {
        g_modules.erase(found);
        if (g_modules.find(module) == g_modules.end())
            g_spy->modules.live.erase(module);
    }
    ++g_spy->modules.destroyed;
    return RealFreeLibrary(module);
}

template <typename F>
void Remember(F* real, void* previous)
{
    if (previous && !*real)
        *real = reinterpret_cast<F>(previous);
}

}  // namespace

ImportSpy::ImportSpy(HMODULE module, bool watchFileOpens)
{
    g_spy = this;
    g_modules.clear();
    auto patch = [&](const char* dll, const char* function, void* replacement, auto* real) {
        auto entry = std::make_unique<Patch>(module, dll, function, replacement);
        if (!entry->patch.Installed())
            return;
        Remember(real, entry->patch.Original<void*>());
        imports_.push_back(function);
        patches_.push_back(std::move(entry));
    };
    patch("kernel32.dll", "SetFileAttributesW", reinterpret_cast<void*>(SpySetFileAttributes),
          &RealSetFileAttributes);
    patch("shell32.dll", "SHChangeNotify", reinterpret_cast<void*>(SpyChangeNotify), &RealChangeNotify);
    patch("kernel32.dll", "WritePrivateProfileStringW", reinterpret_cast<void*>(SpyWriteProfile), &RealWriteProfile);
    if (watchFileOpens) {
        patch("kernel32.dll", "CreateFileW", reinterpret_cast<void*>(SpyCreateFile), &RealCreateFile);
        patch("kernel32.dll", "DeleteFileW", reinterpret_cast<void*>(SpyDeleteFile), &RealDeleteFile);
    }
    // Answered here: the Properties dialog it opens is the platform's.
    void* noReal = nullptr;
    patch("shell32.dll", "ShellExecuteW", reinterpret_cast<void*>(SpyShellExecute), &noReal);

    patch("shell32.dll", "ExtractIconW", reinterpret_cast<void*>(SpyExtractIcon), &RealExtractIcon);
    patch("user32.dll", "DestroyIcon", reinterpret_cast<void*>(SpyDestroyIcon), &RealDestroyIcon);
    patch("user32.dll", "LoadBitmapW", reinterpret_cast<void*>(SpyLoadBitmap), &RealLoadBitmap);
    patch("user32.dll", "LoadImageW", reinterpret_cast<void*>(SpyLoadImage), &RealLoadImage);
    patch("gdi32.dll", "CreateBitmap", reinterpret_cast<void*>(SpyCreateBitmap), &RealCreateBitmap);
    patch("gdi32.dll", "CreateCompatibleBitmap", reinterpret_cast<void*>(SpyCreateCompatibleBitmap),
          &RealCreateCompatibleBitmap);
    patch("gdi32.dll", "DeleteObject", reinterpret_cast<void*>(SpyDeleteObject), &RealDeleteObject);
    patch("gdi32.dll", "CreateCompatibleDC", reinterpret_cast<void*>(SpyCreateCompatibleDC), &RealCreateCompatibleDC);
    patch("gdi32.dll", "DeleteDC", reinterpret_cast<void*>(SpyDeleteDC), &RealDeleteDC);
    patch("user32.dll", "CreatePopupMenu", reinterpret_cast<void*>(SpyCreatePopupMenu), &RealCreatePopupMenu);
    patch("user32.dll", "DestroyMenu", reinterpret_cast<void*>(SpyDestroyMenu), &RealDestroyMenu);
    patch("kernel32.dll", "LoadLibraryW", reinterpret_cast<void*>(SpyLoadLibrary), &RealLoadLibrary);
    patch("kernel32.dll", "LoadLibraryExW", reinterpret_cast<void*>(SpyLoadLibraryEx), &RealLoadLibraryEx);
    patch("kernel32.dll", "FreeLibrary", reinterpret_cast<void*>(SpyFreeLibrary), &RealFreeLibrary);

    // The shell32 exports the deliverables import by ordinal.
    const struct {
        WORD ordinal;
        const char* name;
        void* replacement;
    } ordinals[] = {{62, "PickIconDlg", reinterpret_cast<void*>(SpyPickIconDlg)},
                    {192, "SHUpdateImageW", reinterpret_cast<void*>(SpyUpdateImage)}};
    for (const auto& ordinal : ordinals) {
        auto entry = std::make_unique<Patch>(module, "shell32.dll", ordinal.ordinal, ordinal.replacement);
        if (!entry->patch.Installed())
            continue;
        imports_.push_back(ordinal.name);
        patches_.push_back(std::move(entry));
    }
}

ImportSpy::~ImportSpy()
{
    while (!patches_.empty())
        patches_.pop_back();
    g_spy = nullptr;
}

void ImportSpy::Log(const std::wstring& line)
{
    std::lock_guard<std::mutex> lock(mutex_);
    calls.push_back(line);
}

std::vector<std::wstring> ImportSpy::CallsOf(const std::wstring& prefix) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::wstring> found;
    for (const auto& call : calls)
        if (call.compare(0, prefix.size(), prefix) == 0)
            found.push_back(call);
    return found;
}

bool ImportSpy::Imports(const char* function) const
{
    for (const auto& name : imports_)
        if (name == function)
            return true;
    return false;
}

size_t ImportSpy::LiveHandles() const
{
    return icons.live.size() + bitmaps.live.size() + dcs.live.size() + menus.live.size() + modules.live.size();
}

size_t ImportSpy::HandlesMade() const
{
    return icons.made + bitmaps.made + dcs.made + menus.made + modules.made;
}

std::string ImportSpy::DescribeLive() const
{
    return "icons " + std::to_string(icons.live.size()) + ", bitmaps " + std::to_string(bitmaps.live.size()) +
           ", DCs " + std::to_string(dcs.live.size()) + ", menus " + std::to_string(menus.live.size()) +
           ", modules " + std::to_string(modules.live.size());
}
