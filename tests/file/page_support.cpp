#include "page_support.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include "clsids.h"

namespace {

ShellCalls* active = nullptr;

int WINAPI FakePickIconDlg(HWND, LPWSTR path, UINT capacity, int* index)
{
    ++active->pickIconCalls;
    active->pickSeed = path;
    active->pickSeedIndex = *index;
    if (active->pickResult) {
        lstrcpynW(path, active->pickPath.c_str(), static_cast<int>(capacity));
        *index = active->pickIndex;
    }
    return active->pickResult;
}

void WINAPI RecordSHUpdateImageW(LPCWSTR iconFile, int iconIndex, UINT flags, int imageIndex)
{
    active->imageUpdates.push_back({iconFile ? iconFile : L"<null>", iconIndex, flags, imageIndex});
}

void WINAPI RecordSHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2)
{
    auto text = [flags](LPCVOID item) -> std::wstring {
        if (!item)
            return L"<null>";
        if ((flags & SHCNF_TYPE) == SHCNF_PATHW)
            return static_cast<LPCWSTR>(item);
        return L"<item>";
    };
    active->notifications.push_back({event, flags, text(item1), text(item2)});
}

HICON WINAPI CountingExtractIconW(HINSTANCE instance, LPCWSTR file, UINT index)
{
    HICON icon = ExtractIconW(instance, file, index);
    if (icon && icon != reinterpret_cast<HICON>(1))
        ++active->iconsExtracted;
    return icon;
}

BOOL WINAPI CountingDestroyIcon(HICON icon)
{
    ++active->iconsDestroyed;
    return DestroyIcon(icon);
}

}  // namespace

ShellDoubles::ShellDoubles(HMODULE dll) : dll_(dll)
{
    active = &calls;
    pickIcon_ = PatchImportOrdinal(dll, "shell32.dll", 62, reinterpret_cast<void*>(FakePickIconDlg));
    EXPECT_NE(pickIcon_, nullptr) << "PickIconDlg is not imported by ordinal 62";
    updateImage_ = PatchImportOrdinal(dll, "shell32.dll", 192, reinterpret_cast<void*>(RecordSHUpdateImageW));
    EXPECT_NE(updateImage_, nullptr) << "SHUpdateImageW is not imported by ordinal 192";
    changeNotify_ = PatchImport(dll, "shell32.dll", "SHChangeNotify", reinterpret_cast<void*>(RecordSHChangeNotify));
    EXPECT_NE(changeNotify_, nullptr);
    extractIcon_ = PatchImport(dll, "shell32.dll", "ExtractIconW", reinterpret_cast<void*>(CountingExtractIconW));
    EXPECT_NE(extractIcon_, nullptr);
    destroyIcon_ = PatchImport(dll, "user32.dll", "DestroyIcon", reinterpret_cast<void*>(CountingDestroyIcon));
    EXPECT_NE(destroyIcon_, nullptr);
}

ShellDoubles::~ShellDoubles()
{
    if (pickIcon_)
        PatchImportOrdinal(dll_, "shell32.dll", 62, pickIcon_);
    if (updateImage_)
        PatchImportOrdinal(dll_, "shell32.dll", 192, updateImage_);
    if (changeNotify_)
        PatchImport(dll_, "shell32.dll", "SHChangeNotify", changeNotify_);
    if (extractIcon_)
        PatchImport(dll_, "shell32.dll", "ExtractIconW", extractIcon_);
    if (destroyIcon_)
        PatchImport(dll_, "user32.dll", "DestroyIcon", destroyIcon_);
    active = nullptr;
}

FilePageHost::FilePageHost(const Deliverable& dll, const std::vector<std::wstring>* selection)
{
    IShellExtInit* init = nullptr;
    EXPECT_EQ(dll.Create(CLSID_DocDress, IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
    if (!init)
        return;
    if (selection) {
        IDataObject* data = CreateDropDataObject(*selection);
        EXPECT_EQ(init->Initialize(nullptr, data, nullptr), S_OK);
        data->Release();
    } else {
        EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);
    }
    IShellPropSheetExt* sheet = nullptr;
    init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheet));
    EXPECT_EQ(sheet->AddPages(PropertySheetHost::AddPage, reinterpret_cast<LPARAM>(&host_)), S_OK);
    sheet->Release();
    init->Release();
    EXPECT_EQ(host_.PageCount(), 1u);
    EXPECT_TRUE(host_.Show());
    page_ = host_.CurrentPage();
    EXPECT_NE(page_, nullptr);
}

std::wstring FilePageHost::TabCaption() const
{
    WCHAR caption[64] = L"";
    TCITEMW tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = caption;
    tab.cchTextMax = ARRAYSIZE(caption);
    SendMessageW(PropSheet_GetTabControl(host_.Sheet()), TCM_GETITEMW, 0,
                 reinterpret_cast<LPARAM>(&tab));
    return caption;
}

bool IsShown(HWND page, int id)
{
    return (GetWindowLongW(GetDlgItem(page, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

HICON ShownIcon(HWND page, int id)
{
    return reinterpret_cast<HICON>(SendDlgItemMessageW(page, id, STM_GETIMAGE, IMAGE_ICON, 0));
}
