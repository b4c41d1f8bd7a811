// DirDress's extension object as Explorer drives it: Initialize with the
// selection, AddPages, and the page's hold on the object and the module.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deliverables.h"
#include "host.h"

namespace {

const int kFolderPageControl = 1001;      // "Change Icon...", only on the folder page
const int kRedirectedPageControl = 1011;  // "Target Shortcut Properties"

const Deliverable& Dll()
{
    static Deliverable dll = Deliverable::Load(kDirDress.dll);
    return dll;
}

struct Extension {
    IShellExtInit* init = nullptr;
    IShellPropSheetExt* sheet = nullptr;

    Extension()
    {
        EXPECT_EQ(Dll().Create(*kDirDress.clsid, IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
        if (init)
            init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheet));
    }
    ~Extension()
    {
        if (sheet)
            sheet->Release();
        if (init)
            init->Release();
    }
    HRESULT Initialize(const std::vector<std::wstring>& paths)
    {
        IDataObject* data = CreateDropDataObject(paths);
        HRESULT hr = init->Initialize(nullptr, data, nullptr);
        data->Release();
        return hr;
    }
};

// Which page the object adds for a selection: 0 for none, else the id of a
// control that only that page has.
int PageFor(const std::vector<std::wstring>& selection)
{
    Extension extension;
    EXPECT_EQ(extension.Initialize(selection), S_OK);
    PropertySheetHost host;
    EXPECT_EQ(extension.sheet->AddPages(PropertySheetHost::AddPage, reinterpret_cast<LPARAM>(&host)), S_OK);
    if (host.PageCount() == 0)
        return 0;
    EXPECT_EQ(host.PageCount(), 1u);
    EXPECT_TRUE(host.Show());
    HWND page = host.CurrentPage();
    int found = 0;
    if (GetDlgItem(page, kFolderPageControl))
        found = kFolderPageControl;
    if (GetDlgItem(page, kRedirectedPageControl))
        found = kRedirectedPageControl;
    EXPECT_EQ(host.TabCaption(), L"Customize Ex");
    host.PressCancel();
    return found;
}

BOOL CALLBACK CountPage(HPROPSHEETPAGE page, LPARAM lParam)
{
    ++*reinterpret_cast<int*>(lParam);
    DestroyPropertySheetPage(page);
    return TRUE;
}

BOOL CALLBACK RefusePage(HPROPSHEETPAGE, LPARAM)
{
    return FALSE;
}

TEST(Initialize, UnusableSelectionsAddNoPage)
{
    Extension extension;
    ASSERT_TRUE(extension.sheet);
    int pages = 0;
    auto count = CountPage;

    EXPECT_EQ(extension.init->Initialize(nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(extension.sheet->AddPages(count, reinterpret_cast<LPARAM>(&pages)), S_OK);

    IDataObject* empty = CreateEmptyDataObject();
    EXPECT_EQ(extension.init->Initialize(nullptr, empty, nullptr), S_OK);
    empty->Release();
    EXPECT_EQ(extension.sheet->AddPages(count, reinterpret_cast<LPARAM>(&pages)), S_OK);

    // A drive root reached as a folder belongs to the drive extension.
    EXPECT_EQ(extension.Initialize({L"C:\\"}), S_OK);
    EXPECT_EQ(extension.sheet->AddPages(count, reinterpret_cast<LPARAM>(&pages)), S_OK);

    EXPECT_EQ(extension.Initialize({}), S_OK);
    EXPECT_EQ(extension.sheet->AddPages(count, reinterpret_cast<LPARAM>(&pages)), S_OK);
    EXPECT_EQ(pages, 0);

    // A later Initialize starts again from an empty path.
    EXPECT_EQ(extension.Initialize({L"C:\\windows"}), S_OK);
    IDataObject* failing = CreateEmptyDataObject();
    EXPECT_EQ(extension.init->Initialize(nullptr, failing, nullptr), S_OK);
    failing->Release();
    EXPECT_EQ(extension.sheet->AddPages(count, reinterpret_cast<LPARAM>(&pages)), S_OK);
    EXPECT_EQ(pages, 0);
}

TEST(Initialize, PathThatDoesNotFitIsNoItemRatherThanAnotherFolder)
{
    // "C:\" + 256 characters is 259 characters: it fits with its terminator.
    std::wstring fits = L"C:\\" + std::wstring(256, L'a');
    std::wstring tooLong = fits + L"b";
    EXPECT_EQ(PageFor({fits}), kFolderPageControl);
    // Cut at 259 it would name the folder above; the object takes no item.
    EXPECT_EQ(PageFor({tooLong}), 0);
    EXPECT_EQ(PageFor({tooLong + L"\\deeper\\still"}), 0);
}

TEST(AddPages, NetworkShortcutsGetTheRedirectedPageByPrefix)
{
    std::wstring netHood = NetworkShortcutsFolder();
    ASSERT_FALSE(netHood.empty());
    TempDir temp;

    EXPECT_EQ(PageFor({temp.Path()}), kFolderPageControl);
    EXPECT_EQ(PageFor({netHood + L"\\Team share"}), kRedirectedPageControl);
    EXPECT_EQ(PageFor({netHood + L"\\Team share\\below"}), kRedirectedPageControl);
    // The Network Shortcuts folder itself, with or without a trailing
    // backslash (which Initialize removes).
    EXPECT_EQ(PageFor({netHood}), kRedirectedPageControl);
    EXPECT_EQ(PageFor({netHood + L"\\"}), kRedirectedPageControl);

    // The comparison is case-sensitive.
    std::wstring upper = netHood;
    CharUpperW(&upper[0]);
    ASSERT_NE(upper, netHood);
    EXPECT_EQ(PageFor({upper + L"\\Team share"}), kFolderPageControl);

    // A multiple selection is its first item.
    EXPECT_EQ(PageFor({netHood + L"\\Team share", temp.Path()}), kRedirectedPageControl);
    EXPECT_EQ(PageFor({temp.Path(), netHood + L"\\Team share"}), kFolderPageControl);
}

// SHGetSpecialFolderPathW replacements for the DLL's import.
BOOL WINAPI NoSpecialFolder(HWND, LPWSTR path, int, BOOL)
{
    path[0] = L'\0';
    return FALSE;
}
BOOL WINAPI EmptySpecialFolder(HWND, LPWSTR path, int, BOOL)
{
    path[0] = L'\0';
    return TRUE;
}

TEST(AddPages, WithoutNetworkShortcutsPathEveryFolderGetsTheFolderPage)
{
    std::wstring netHood = NetworkShortcutsFolder();
    TempDir temp;
    for (auto replacement : {&NoSpecialFolder, &EmptySpecialFolder}) {
        void* real = PatchImport(Dll().module, "shell32.dll", "SHGetSpecialFolderPathW",
                                 reinterpret_cast<void*>(replacement));
        ASSERT_NE(real, nullptr) << "DirDress does not import SHGetSpecialFolderPathW";
        EXPECT_EQ(PageFor({temp.Path()}), kFolderPageControl);
        EXPECT_EQ(PageFor({netHood + L"\\Team share"}), kFolderPageControl);
        PatchImport(Dll().module, "shell32.dll", "SHGetSpecialFolderPathW", real);
    }
}

TEST(AddPages, RefusedPageGivesItsReferenceBack)
{
    TempDir temp;
    Extension extension;
    ASSERT_EQ(extension.Initialize({temp.Path()}), S_OK);
    ULONG before = RefCount(extension.init);
    EXPECT_EQ(extension.sheet->AddPages(RefusePage, 0), E_FAIL);
    EXPECT_EQ(RefCount(extension.init), before);
    extension.sheet->Release();
    extension.sheet = nullptr;
    extension.init->Release();
    extension.init = nullptr;
    // The refused page is destroyed, so nothing holds the module.
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);
}

TEST(AddPages, PageKeepsObjectAndModuleUntilTheSheetCloses)
{
    TempDir temp;
    PropertySheetHost host;
    {
        Extension extension;
        ASSERT_EQ(extension.Initialize({temp.Path()}), S_OK);
        ULONG before = RefCount(extension.init);
        ASSERT_EQ(extension.sheet->AddPages(PropertySheetHost::AddPage, reinterpret_cast<LPARAM>(&host)), S_OK);
        EXPECT_EQ(host.PageCount(), 1u);
        EXPECT_EQ(RefCount(extension.init), before + 1);
    }
    // The shell has let go; the page still holds the object and the module.
    EXPECT_EQ(Dll().canUnloadNow(), S_FALSE);
    ASSERT_TRUE(host.Show());
    EXPECT_NE(host.CurrentPage(), nullptr);
    EXPECT_EQ(Dll().canUnloadNow(), S_FALSE);
    host.PressOk();
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);

    // A page that never reaches a sheet is released by its destruction.
    PropertySheetHost unshown;
    {
        Extension extension;
        ASSERT_EQ(extension.Initialize({temp.Path()}), S_OK);
        ASSERT_EQ(extension.sheet->AddPages(PropertySheetHost::AddPage, reinterpret_cast<LPARAM>(&unshown)), S_OK);
    }
    EXPECT_EQ(Dll().canUnloadNow(), S_FALSE);
    unshown.Destroy();
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);
}

}  // namespace
