// The activation context of a deliverable: its manifest binds version 6 of
// the common controls, which the deliverable loads by name inside its own
// context, so that its page and the page's controls come from the
// side-by-side copy even in a process that never asked for it.
//
// This program links neither the common controls nor the test host (which
// does), only the host's data object and import patching: the first
// common-controls module in the process is the one that DirDress loads. A Wine process that already holds the system copy gets
// that same module back from an activated load, which would hide the point.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clsids.h"
#include "host.h"

namespace {

const int kPageTemplate = 101;

std::wstring ModulePath(HMODULE module)
{
    WCHAR path[MAX_PATH] = L"";
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

std::wstring Lower(std::wstring text)
{
    for (auto& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

HMODULE ModuleOfAddress(const void* address)
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(address), &module);
    return module;
}

HMODULE WindowProcModule(HWND window)
{
    return ModuleOfAddress(reinterpret_cast<const void*>(GetWindowLongPtrW(window, GWLP_WNDPROC)));
}

// The context that the loader made from a module's manifest.
HANDLE ContextOf(HMODULE module)
{
    ACTIVATION_CONTEXT_BASIC_INFORMATION info = {};
    if (!QueryActCtxW(QUERY_ACTCTX_FLAG_ACTCTX_IS_HMODULE | QUERY_ACTCTX_FLAG_NO_ADDREF, module, nullptr,
                      ActivationContextBasicInformation, &info, sizeof(info), nullptr))
        return nullptr;
    return info.hActCtx;
}

HANDLE ActiveContext()
{
    HANDLE context = nullptr;
    GetCurrentActCtx(&context);
    if (context)
        ReleaseActCtx(context);  // only compared, never used
    return context;
}

// What the deliverable hands the common controls, seen through its imports
// of LoadLibraryW and GetProcAddress.
struct Observed {
    HANDLE contextAtComctlLoad = INVALID_HANDLE_VALUE;
    int createCalls = 0;
    DWORD pageSize = 0;
    DWORD pageFlags = 0;
    HANDLE pageContext = nullptr;
    HANDLE contextAtCreate = INVALID_HANDLE_VALUE;
    int destroyCalls = 0;
    HANDLE contextAtDestroy = INVALID_HANDLE_VALUE;
};
Observed Seen;

decltype(&LoadLibraryW) RealLoadLibraryW;
decltype(&GetProcAddress) RealGetProcAddress;
decltype(&CreatePropertySheetPageW) RealCreatePage;
decltype(&DestroyPropertySheetPage) RealDestroyPage;

HMODULE WINAPI WatchLoadLibraryW(LPCWSTR name)
{
    if (name && Lower(name) == L"comctl32.dll")
        Seen.contextAtComctlLoad = ActiveContext();
    return RealLoadLibraryW(name);
}

HPROPSHEETPAGE WINAPI WatchCreatePage(LPCPROPSHEETPAGEW page)
{
    ++Seen.createCalls;
    Seen.pageSize = page->dwSize;
    Seen.pageFlags = page->dwFlags;
    Seen.pageContext = page->hActCtx;
    Seen.contextAtCreate = ActiveContext();
    return RealCreatePage(page);
}

BOOL WINAPI WatchDestroyPage(HPROPSHEETPAGE page)
{
    ++Seen.destroyCalls;
    Seen.contextAtDestroy = ActiveContext();
    return RealDestroyPage(page);
}

FARPROC WINAPI WatchGetProcAddress(HMODULE module, LPCSTR name)
{
    FARPROC found = RealGetProcAddress(module, name);
    if (!found || IS_INTRESOURCE(name))
        return found;
    if (strcmp(name, "CreatePropertySheetPageW") == 0) {
        RealCreatePage = reinterpret_cast<decltype(RealCreatePage)>(reinterpret_cast<void*>(found));
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&WatchCreatePage));
    }
    if (strcmp(name, "DestroyPropertySheetPage") == 0) {
        RealDestroyPage = reinterpret_cast<decltype(RealDestroyPage)>(reinterpret_cast<void*>(found));
        return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&WatchDestroyPage));
    }
    return found;
}

struct PageList {
    std::vector<HPROPSHEETPAGE> pages;
    BOOL accept = TRUE;
};

BOOL CALLBACK AddPage(HPROPSHEETPAGE page, LPARAM lParam)
{
    auto* list = reinterpret_cast<PageList*>(lParam);
    if (list->accept)
        list->pages.push_back(page);
    return list->accept;
}

HRESULT AddFolderPages(HMODULE dll, const std::wstring& folder, PageList* list)
{
    auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    if (!getClassObject)
        return E_FAIL;
    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(CLSID_DirDress, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    IShellExtInit* init = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init));
    factory->Release();
    if (FAILED(hr))
        return hr;
    IDataObject* data = CreateDropDataObject({folder});
    init->Initialize(nullptr, data, nullptr);
    data->Release();
    IShellPropSheetExt* extension = nullptr;
    hr = init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&extension));
    init->Release();
    if (FAILED(hr))
        return hr;
    hr = extension->AddPages(AddPage, reinterpret_cast<LPARAM>(list));
    extension->Release();
    return hr;
}

class TempFolder {
public:
    TempFolder()
    {
        WCHAR base[MAX_PATH] = L"";
        GetTempPathW(MAX_PATH, base);
        path_ = std::wstring(base) + L"dress-actctx-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() { RemoveDirectoryW(path_.c_str()); }
    const std::wstring& Path() const { return path_; }

private:
    std::wstring path_;
};

TEST(ActivationContext, ManifestResourceAsksForCommonControlsVersion6)
{
    HMODULE dll = LoadLibraryExW(L"DirDress.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(dll, nullptr);
    HRSRC resource = FindResourceExW(dll, MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(2),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(resource, nullptr) << "no RT_MANIFEST 2 in language 1033";
    const char* text = static_cast<const char*>(LockResource(LoadResource(dll, resource)));
    std::string manifest(text, SizeofResource(dll, resource));
    FreeLibrary(dll);

#ifdef _WIN64
    const std::string architecture = "processorArchitecture=\"amd64\"";
#else
    const std::string architecture = "processorArchitecture=\"x86\"";
#endif
    EXPECT_NE(manifest.find("urn:schemas-microsoft-com:asm.v1"), std::string::npos);
    EXPECT_NE(manifest.find("manifestVersion=\"1.0\""), std::string::npos);
    size_t dependency = manifest.find("<dependency>");
    ASSERT_NE(dependency, std::string::npos);
    EXPECT_EQ(manifest.find("<dependency>", dependency + 1), std::string::npos) << "exactly one dependency";
    std::string dependent = manifest.substr(dependency);
    for (const std::string& part :
         {std::string("type=\"win32\""), std::string("name=\"Microsoft.Windows.Common-Controls\""),
          std::string("version=\"6.0.0.0\""), architecture, std::string("publicKeyToken=\"6595b64144ccf1df\""),
          std::string("language=\"*\"")})
        EXPECT_NE(dependent.find(part), std::string::npos) << "missing " << part;
    // The deliverable's own identity, of the same architecture.
    std::string own = manifest.substr(0, dependency);
    EXPECT_NE(own.find("<assemblyIdentity"), std::string::npos);
    EXPECT_NE(own.find(architecture), std::string::npos);
}

TEST(ActivationContext, PageIsCreatedInsideTheContextThatBindsTheSideBySideCommonControls)
{
    ASSERT_EQ(GetModuleHandleW(L"comctl32.dll"), nullptr) << "the common controls were loaded before DirDress";
    HMODULE dll = LoadLibraryW(L"DirDress.dll");
    ASSERT_NE(dll, nullptr);
    HANDLE context = ContextOf(dll);
    ASSERT_NE(context, nullptr) << "the loader made no context from DirDress's manifest";

    RealLoadLibraryW = reinterpret_cast<decltype(RealLoadLibraryW)>(
        PatchImport(dll, "kernel32.dll", "LoadLibraryW", reinterpret_cast<void*>(&WatchLoadLibraryW)));
    RealGetProcAddress = reinterpret_cast<decltype(RealGetProcAddress)>(
        PatchImport(dll, "kernel32.dll", "GetProcAddress", reinterpret_cast<void*>(&WatchGetProcAddress)));
    ASSERT_NE(RealLoadLibraryW, nullptr);
    ASSERT_NE(RealGetProcAddress, nullptr);

    TempFolder folder;
    PageList list;
    ASSERT_EQ(AddFolderPages(dll, folder.Path(), &list), S_OK);
    ASSERT_EQ(list.pages.size(), 1u);

    // "Comctl32.dll" was loaded by DirDress, by name, inside its context, and
    // the side-by-side copy came back.
    EXPECT_EQ(Seen.contextAtComctlLoad, context);
    HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    std::wstring comctlPath = Lower(ModulePath(comctl));
    EXPECT_NE(comctlPath.find(L"\\winsxs\\"), std::wstring::npos) << std::string(comctlPath.begin(), comctlPath.end());

    // The page descriptor carries the context, and the call ran inside it.
    EXPECT_EQ(Seen.createCalls, 1);
    EXPECT_GE(Seen.pageSize, sizeof(PROPSHEETPAGEW_V3));
    EXPECT_TRUE(Seen.pageFlags & PSP_USEFUSIONCONTEXT);
    EXPECT_EQ(Seen.pageContext, context);
    EXPECT_EQ(Seen.contextAtCreate, context);
    EXPECT_EQ(ActiveContext(), nullptr) << "the context stays active after the call";

    // The context handed over binds version 6: a control created while it is
    // active (as the property sheet creates the page's controls for a page
    // with PSP_USEFUSIONCONTEXT) has its window procedure in the
    // side-by-side module; one created outside any context has user32's.
    // Wine's property sheet does not activate a page's context itself, so
    // this is shown with the context that DirDress put in the descriptor.
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(Seen.pageContext, &cookie));
    HWND themed = CreateWindowW(L"BUTTON", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND edit = CreateWindowW(L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DeactivateActCtx(0, cookie);
    HWND plain = CreateWindowW(L"BUTTON", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(themed && edit && plain);
    EXPECT_EQ(WindowProcModule(themed), comctl);
    EXPECT_EQ(WindowProcModule(edit), comctl);
    EXPECT_EQ(WindowProcModule(plain), GetModuleHandleW(L"user32.dll"));
    DestroyWindow(themed);
    DestroyWindow(edit);
    DestroyWindow(plain);

    // The page was never shown: its owner destroys it, which DirDress's
    // release callback answers.
    auto destroyPage = reinterpret_cast<decltype(&DestroyPropertySheetPage)>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "DestroyPropertySheetPage")));
    ASSERT_NE(destroyPage, nullptr);
    EXPECT_TRUE(destroyPage(list.pages[0]));
}

TEST(ActivationContext, PageRefusedByTheSheetIsDestroyedInsideTheContext)
{
    HMODULE dll = GetModuleHandleW(L"DirDress.dll");
    ASSERT_NE(dll, nullptr) << "runs after the page test";
    TempFolder folder;
    PageList list;
    list.accept = FALSE;
    Seen.destroyCalls = 0;
    EXPECT_EQ(AddFolderPages(dll, folder.Path(), &list), E_FAIL);
    EXPECT_EQ(Seen.destroyCalls, 1);
    EXPECT_EQ(Seen.contextAtDestroy, ContextOf(dll));
}

}  // namespace
