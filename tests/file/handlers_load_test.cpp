// DocDress's handlers under load, as Explorer uses them: eight threads, each
// in its own apartment with its own objects, ask for icon locations and tips
// of many files while the same Desktop.ini is rewritten through the store.
// Every answer must be the old or the new value of its file, every object
// must be released and every tip freed by the caller exactly once.
#include <windows.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
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

TEST(HandlersUnderLoad, EveryAnswerIsOldOrNewAndNothingLeaks)
{
    ScratchTypes types;
    std::wstring extension = types.Make(L"load", nullptr, L"C:\\Icons\\set.dll,3");
    TempDir dir;
    std::vector<Expected> files;
    for (int i = 0; i < kFiles; ++i) {
        Expected file;
        file.path = dir.Child(L"file" + std::to_wstring(i) + extension);
        HANDLE handle = CreateFileW(file.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        CloseHandle(handle);
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

    AllocatorSpy spy(Dll().module);
    Failures failures;
    std::atomic<long> tips{0}, icons{0}, fresh{0};
    std::atomic<bool> readersDone{false};

    std::thread writer([&] {
        bool next = true;
        int passes = 0;
        while (!readersDone || passes < 2) {
            for (const Expected& file : files)
                WriteValues(file, next);
            next = !next;
            ++passes;
        }
    });

    std::vector<std::thread> readers;
    for (int t = 0; t < kThreads; ++t) {
        readers.emplace_back([&, t] {
            if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
                failures.Add(L"CoInitializeEx failed");
                return;
            }
            for (int round = 0; round < kRounds; ++round) {
                for (int n = 0; n < kFiles; ++n) {
                    const Expected& file = files[(n + t * 5) % kFiles];
                    IPersistFile* persist = nullptr;
                    if (FAILED(Dll().Create(CLSID_DocDress, IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
                        failures.Add(L"CreateInstance failed");
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
                    if (hr != S_OK || (location != file.oldIcon && location != file.newIcon) ||
                        index != file.index || flags != GIL_DONTCACHE)
                        failures.Add(L"icon of " + file.path + L": " + location + L"," + std::to_wstring(index));
                    ++icons;
                    if (location == file.newIcon)
                        ++fresh;

                    LPWSTR tip = nullptr;
                    hr = query->GetInfoTip(QITIPF_DEFAULT, &tip);
                    if (hr != S_OK || !tip) {
                        failures.Add(L"no tip for " + file.path);
                    } else {
                        std::wstring text = tip;
                        if (text != file.oldTip + L"\r\n" + file.nameAndType &&
                            text != file.newTip + L"\r\n" + file.nameAndType)
                            failures.Add(L"tip of " + file.path + L": " + text);
                        spy.spy.Free(tip);
                        ++tips;
                    }
                    query->Release();
                    extract->Release();
                    persist->Release();
                }
            }
            CoUninitialize();
        });
    }
    for (auto& reader : readers)
        reader.join();
    readersDone = true;
    writer.join();

    EXPECT_EQ(failures.Count(), 0) << "first: " << testing::PrintToString(failures.First());
    EXPECT_EQ(icons, kThreads * kRounds * kFiles);
    EXPECT_EQ(tips, kThreads * kRounds * kFiles);
    // The readers really met the writer's changes.
    EXPECT_GT(fresh, 0);
    EXPECT_LT(fresh, icons);
    // Every tip allocated was freed by its caller exactly once.
    EXPECT_EQ(spy.spy.allocations, tips);
    EXPECT_EQ(spy.spy.frees, tips);
    EXPECT_EQ(spy.spy.strayFrees, 0);
    EXPECT_EQ(spy.spy.LiveBlocks(), 0u);
    EXPECT_EQ(spy.spy.references, 0);
    EXPECT_EQ(spy.coTaskMemAllocCalls, 0);
    // Every object was released.
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);
}

}  // namespace
