// DocDress's handlers under load, as Explorer uses them: eight threads, each
// in its own apartment with its own objects, ask for icon locations and tips
// of many files while the same Desktop.ini is rewritten through the store,
// and then through the file page.
// Every answer must be the old or the new value of its file, every object
// must be released and every tip freed by the caller exactly once.
#include <windows.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "clsids.h"
#include "desktop_ini.h"
#include "file_store.h"
#include "file_types.h"
#include "handler_support.h"
#include "host.h"
#include "import_spy.h"
#include "resource.h"

namespace {

const int kFiles = 40;
const int kThreads = 8;
const int kRounds = 8;

const Deliverable& Dll()
{
    static Deliverable dll = Deliverable::Load(L"DocDress.dll");
    return dll;
}

struct Expected {
    std::wstring path;
    std::wstring nameAndType;
    std::wstring oldIcon, newIcon;
    std::wstring oldTip, newTip;
    int index;
};

// The first failure of any thread, reported by the main thread.
class Failures {
public:
    void Add(const std::wstring& what)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (count_++ == 0)
            first_ = what;
    }
    int Count() const { return count_; }
    std::wstring First() const { return first_; }

private:
    std::mutex mutex_;
    std::atomic<int> count_{0};
    std::wstring first_;
};

void WriteValues(const Expected& file, bool fresh)
{
    WCHAR settingsPath[MAX_PATH];
    GetFileSettingsPath(file.path.c_str(), settingsPath);
    DWORD saved = BeginDesktopIniUpdate(settingsPath);
    WriteFileIcon(file.path.c_str(), (fresh ? file.newIcon : file.oldIcon).c_str(), file.index);
    WriteFileSetting(file.path.c_str(), L"InfoTip", (fresh ? file.newTip : file.oldTip).c_str());
    EndFileSettingsUpdate(settingsPath, saved);
}

// A folder of files of a scratch type, each with its old values written.
class LoadFolder {
public:
    LoadFolder()
    {
        extension_ = types_.Make(L"load", nullptr, L"C:\\Icons\\set.dll,3");
        for (int i = 0; i < kFiles; ++i) {
            Expected file;
            file.path = dir_.Child(L"file" + std::to_wstring(i) + extension_);
            EXPECT_TRUE(Touch(file.path));
            SHFILEINFOW info = {};
            SHGetFileInfoW(file.path.c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME | SHGFI_TYPENAME);
            file.nameAndType = std::wstring(info.szDisplayName) + L"\r\nType: " + info.szTypeName;
            file.oldIcon = L"C:\\Old icons\\" + std::to_wstring(i) + L".ico";
            file.newIcon = L"C:\\New icons\\" + std::to_wstring(i) + L".ico";
            file.oldTip = L"Old tip of file " + std::to_wstring(i);
            file.newTip = L"New tip of file " + std::to_wstring(i);
            file.index = i - 20;
            WriteValues(file, false);
            files.push_back(file);
        }
    }
    std::vector<Expected> files;

private:
    ScratchTypes types_;
    TempDir dir_;
    std::wstring extension_;
};

// What the readers saw.
struct Tally {
    Failures failures;
    std::atomic<long> tips{0}, icons{0}, fresh{0};
    std::atomic<int> readersDone{0};
};

// One reader: its own apartment, its own object per request, as Explorer's
// background threads do; every tip freed through the spy.
void ReadEverything(int thread, const std::vector<Expected>& files, SpyMalloc* allocator, Tally* tally)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        tally->failures.Add(L"CoInitializeEx failed");
        ++tally->readersDone;
        return;
    }
    for (int round = 0; round < kRounds; ++round) {
        for (int n = 0; n < kFiles; ++n) {
            const Expected& file = files[(n + thread * 5) % kFiles];
            IPersistFile* persist = nullptr;
            if (FAILED(Dll().Create(CLSID_DocDress, IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
                tally->failures.Add(L"CreateInstance failed");
                continue;
            }
            persist->Load(file.path.c_str(), STGM_READ);
            IExtractIconW* extract = nullptr;
            IQueryInfo* query = nullptr;
            persist->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
            persist->QueryInterface(IID_IQueryInfo, reinterpret_cast<void**>(&query));

            WCHAR location[MAX_PATH] = L"";
            int index = 0;
            UINT flags = 0;
            HRESULT hr = extract->GetIconLocation(GIL_FORSHELL, location, MAX_PATH, &index, &flags);
            if (hr != S_OK || (location != file.oldIcon && location != file.newIcon) || index != file.index ||
                flags != GIL_DONTCACHE)
                tally->failures.Add(L"icon of " + file.path + L": " + location + L"," + std::to_wstring(index));
            ++tally->icons;
            if (location == file.newIcon)
                ++tally->fresh;

            LPWSTR tip = nullptr;
            hr = query->GetInfoTip(QITIPF_DEFAULT, &tip);
            if (hr != S_OK || !tip) {
                tally->failures.Add(L"no tip for " + file.path);
            } else {
                std::wstring text = tip;
                if (text != file.oldTip + L"\r\n" + file.nameAndType && text != file.newTip + L"\r\n" + file.nameAndType)
                    tally->failures.Add(L"tip of " + file.path + L": " + text);
                allocator->Free(tip);
                ++tally->tips;
            }
            query->Release();
            extract->Release();
            persist->Release();
        }
    }
    CoUninitialize();
    ++tally->readersDone;
}

void ExpectClean(const Tally& tally, AllocatorSpy& spy, bool expectFresh)
{
    EXPECT_EQ(tally.failures.Count(), 0) << "first: " << testing::PrintToString(const_cast<Failures&>(tally.failures).First());
    EXPECT_EQ(tally.icons, kThreads * kRounds * kFiles);
    EXPECT_EQ(tally.tips, kThreads * kRounds * kFiles);
    if (expectFresh) {
        // The readers really met the writer's changes.
        EXPECT_GT(tally.fresh, 0);
        EXPECT_LT(tally.fresh, tally.icons);
    }
    // Every tip allocated was freed by its caller exactly once.
    EXPECT_EQ(spy.spy.allocations, tally.tips);
    EXPECT_EQ(spy.spy.frees, tally.tips);
    EXPECT_EQ(spy.spy.strayFrees, 0);
    EXPECT_EQ(spy.spy.LiveBlocks(), 0u);
    EXPECT_EQ(spy.spy.references, 0);
    EXPECT_EQ(spy.coTaskMemAllocCalls, 0);
}

TEST(HandlersUnderLoad, WhileTheStoreRewritesTheFile)
{
    LoadFolder folder;
    AllocatorSpy spy(Dll().module);
    Tally tally;

    std::thread writer([&] {
        bool next = true;
        int passes = 0;
        while (tally.readersDone < kThreads || passes < 2) {
            for (const Expected& file : folder.files)
                WriteValues(file, next);
            next = !next;
            ++passes;
        }
    });
    std::vector<std::thread> readers;
    for (int t = 0; t < kThreads; ++t)
        readers.emplace_back(ReadEverything, t, std::cref(folder.files), &spy.spy, &tally);
    for (auto& reader : readers)
        reader.join();
    writer.join();

    ExpectClean(tally, spy, true);
    // Every object was released.
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);
}

TEST(HandlersUnderLoad, WhileThePageApplies)
{
    LoadFolder folder;
    AllocatorSpy spy(Dll().module);
    ImportSpy shell(Dll().module);
    Tally tally;

    // This thread is the Properties dialogs': while the readers run, the
    // pages of eight files are opened (each opening probes Desktop.ini for
    // writing), applied with the other icon and tip, and opened anew.
    std::vector<std::thread> readers;
    for (int t = 0; t < kThreads; ++t)
        readers.emplace_back(ReadEverything, t, std::cref(folder.files), &spy.spy, &tally);
    const size_t kPages = 8;
    std::vector<std::unique_ptr<PropertySheetHost>> pages(kPages);
    std::vector<HWND> pageWindows(kPages);
    int applies = 0;
    int openings = 0;
    bool next = true;
    while (tally.readersDone < kThreads || applies < 2 * static_cast<int>(kPages)) {
        size_t i = static_cast<size_t>(applies) % kPages;
        const Expected& file = folder.files[i];
        if (!pages[i] || applies % 3 == 0) {
            if (pages[i])
                pages[i]->PressCancel();
            pages[i] = std::make_unique<PropertySheetHost>();
            pageWindows[i] = pages[i]->ShowExtension(Dll(), CLSID_DocDress, CreateDropDataObject({file.path}));
            ASSERT_NE(pageWindows[i], nullptr);
            ++openings;
        }
        HWND page = pageWindows[i];
        shell.pickResult = 1;
        shell.pickPath = next ? file.newIcon : file.oldIcon;
        shell.pickIndex = file.index;
        SendMessageW(GetDlgItem(page, IDC_CHANGE_ICON), BM_CLICK, 0, 0);
        HWND edit = GetDlgItem(page, IDC_INFOTIP_EDIT);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        SendMessageW(edit, WM_CLEAR, 0, 0);
        TypeText(edit, next ? file.newTip : file.oldTip);
        pages[i]->PressApply();
        ++applies;
        if (i == kPages - 1)
            next = !next;
    }
    for (auto& reader : readers)
        reader.join();
    for (auto& page : pages)
        if (page)
            page->PressCancel();
    pages.clear();

    EXPECT_GT(openings, static_cast<int>(kPages));
    EXPECT_GE(applies, 2 * static_cast<int>(kPages));
    ExpectClean(tally, spy, true);
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);
}

}  // namespace
