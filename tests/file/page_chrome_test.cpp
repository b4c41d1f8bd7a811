// The file page's chrome: its banner (bitmap 101) and its context help from
// "::/DocDress.txt" with the page's own table. The HTML Help library is a
// recording double registered where the DLL looks for it (Wine's HtmlHelpW
// does not carry out HH_TP_HELP_WM_HELP).
#include <windows.h>
#include <shlguid.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "file_types.h"
#include "help_ids.h"
#include "host.h"
#include "htmlhelp_double.h"
#include "page_support.h"
#include "resource.h"

namespace {

const wchar_t kHtmlHelpServerKey[] = L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

const Deliverable& Dll()
{
    static Deliverable dll = Deliverable::Load(L"DocDress.dll");
    return dll;
}

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.rfind(L'\\'));
}

std::wstring DoublePath()
{
    WCHAR path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return FolderOf(path) + L"\\HtmlHelpDouble.dll";
}

HelpCallLog* DoubleLog()
{
    static HelpCallLog* log = [] {
        HMODULE module = LoadLibraryW(DoublePath().c_str());
        auto get = module ? reinterpret_cast<HelpDoubleLogFn>(
                                reinterpret_cast<void*>(GetProcAddress(module, "HelpDoubleLog")))
                          : nullptr;
        return get ? get() : nullptr;
    }();
    return log;
}

// The double is registered for the whole run (before the DLL first looks
// for the library) and the registration is removed at the end.
class HelpDoubleEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        existed_ = RegKeyExists(HKEY_CLASSES_ROOT, kHtmlHelpServerKey);
        previous_ = ReadRegString(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, nullptr);
        SetRegString(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, nullptr, DoublePath());
        ASSERT_NE(DoubleLog(), nullptr) << "HtmlHelpDouble.dll is not beside the test";
    }
    void TearDown() override
    {
        if (!existed_)
            DeleteRegTree(HKEY_CLASSES_ROOT, L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}");
        else if (previous_ != L"<missing>")
            SetRegString(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, nullptr, previous_);
    }

private:
    bool existed_ = false;
    std::wstring previous_;
};

testing::Environment* const kHelpDouble = testing::AddGlobalTestEnvironment(new HelpDoubleEnvironment);

class FilePageChrome : public testing::Test {
protected:
    void SetUp() override
    {
        extension_ = types_.Make(L"chrome");
        file_ = dir_.Child(L"plan" + extension_);
        HANDLE handle = CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        CloseHandle(handle);
        std::vector<std::wstring> selection = {file_};
        host_ = std::make_unique<FilePageHost>(Dll(), &selection);
        ASSERT_NE(host_->Page(), nullptr);
    }
    void TearDown() override
    {
        host_.reset();
        PumpMessages(20);
        EXPECT_EQ(Dll().canUnloadNow(), S_OK);
    }

    ScratchTypes types_;
    TempDir dir_;
    std::wstring extension_, file_;
    std::unique_ptr<FilePageHost> host_;
};

TEST_F(FilePageChrome, HelpForEveryControlComesFromTheFilePagesTopics)
{
    HWND page = host_->Page();
    std::wstring helpFile = FolderOf(Dll().Path()) + L"\\QLNHELP.chm::/DocDress.txt";
    std::vector<DWORD> expected;
    for (const DWORD* pair = FilePageHelpIds;; pair += 2) {
        expected.push_back(pair[0]);
        expected.push_back(pair[1]);
        if (pair[0] == 0)
            break;
    }
    LONG before = DoubleLog()->calls;
    LONG n = 0;
    for (const DWORD* pair = FilePageHelpIds; pair[0] != 0; pair += 2, ++n) {
        HWND control = GetDlgItem(page, static_cast<int>(pair[0]));
        ASSERT_NE(control, nullptr) << "control " << pair[0];
        HELPINFO info = {};
        info.cbSize = sizeof(info);
        info.iContextType = HELPINFO_WINDOW;
        info.iCtrlId = static_cast<int>(pair[0]);
        info.hItemHandle = control;
        SendMessageW(page, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
        ASSERT_EQ(DoubleLog()->calls - before, n + 1) << "control " << pair[0];
        const RecordedHelpCall& call = DoubleLog()->call[before + n];
        EXPECT_EQ(call.caller, control);
        EXPECT_EQ(std::wstring(call.file), helpFile);
        EXPECT_EQ(call.command, 0x11u) << "HH_TP_HELP_WM_HELP";
        EXPECT_EQ(std::vector<DWORD>(call.pairs, call.pairs + 2 * call.pairCount), expected);
    }
    EXPECT_EQ(DoubleLog()->callsByName, 0);
}

// The DLL's LoadBitmapW import, recording what the page paints.
std::vector<ULONG_PTR> bitmapsAskedFor;
int bitmapsLoaded = 0;
HBITMAP WINAPI RecordLoadBitmapW(HINSTANCE instance, LPCWSTR name)
{
    bitmapsAskedFor.push_back(reinterpret_cast<ULONG_PTR>(name));
    HBITMAP bitmap = LoadBitmapW(instance, name);
    bitmapsLoaded += bitmap != nullptr;
    return bitmap;
}

TEST_F(FilePageChrome, EveryPaintDrawsBanner101)
{
    HRSRC banner = FindResourceW(Dll().module, MAKEINTRESOURCEW(IDB_BANNER), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    EXPECT_NE(banner, nullptr) << "no bitmap 101 in DocDress.dll";
    EXPECT_EQ(IDB_BANNER, 101);
    void* previous = PatchImport(Dll().module, "user32.dll", "LoadBitmapW", reinterpret_cast<void*>(RecordLoadBitmapW));
    ASSERT_NE(previous, nullptr);
    PumpMessages(20);
    bitmapsAskedFor.clear();
    bitmapsLoaded = 0;
    for (int i = 0; i < 3; ++i) {
        InvalidateRect(host_->Page(), nullptr, TRUE);
        UpdateWindow(host_->Page());
    }
    PatchImport(Dll().module, "user32.dll", "LoadBitmapW", previous);
    EXPECT_EQ(bitmapsAskedFor, std::vector<ULONG_PTR>(3, 101));
    EXPECT_EQ(bitmapsLoaded, 3);
}

}  // namespace
