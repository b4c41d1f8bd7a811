// What the deliverables cost a program that loads them, measured from the
// folder that holds the built DLLs:
// - each library's size, and the time LoadLibraryW + FreeLibrary takes next
//   to the same for a library of a few lines, in a process that already has
//   the system DLLs of any program with a file dialog loaded;
// - DocDress's handlers per file next to the bare profile reads they must
//   make, for folders of 10, 1,000 and 10,000 customized files.
// Not a test: run it with scripts/bench (each architecture under Wine).
#include <windows.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "clsids.h"

namespace {

typedef HRESULT(STDAPICALLTYPE* GetClassObjectFunction)(REFCLSID, REFIID, void**);

double Now()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring TempFolder(int files)
{
    WCHAR base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    std::wstring folder = std::wstring(base) + L"docdress-bench-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(files);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void RemoveFolder(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") {
                SetFileAttributesW((folder + L"\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW((folder + L"\\" + name).c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// A folder of `count` files, each with an icon, an index and an InfoTip in
// the folder's Desktop.ini, and a label; written in one piece as UTF-16.
std::vector<std::wstring> MakeFolder(const std::wstring& folder, int count, const std::wstring& extension)
{
    std::vector<std::wstring> paths;
    std::wstring ini = L"\xFEFF";
    std::wstring labels = L"[LocalizedFileNames]\r\n";
    for (int i = 0; i < count; ++i) {
        std::wstring name = L"file" + std::to_wstring(i) + extension;
        paths.push_back(folder + L"\\" + name);
        HANDLE file = CreateFileW(paths.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
        ini += L"[" + name + L"]\r\nIconFile=icons\\" + std::to_wstring(i % 50) + L".ico\r\nIconIndex=" +
               std::to_wstring(i % 7) + L"\r\nInfoTip=Tip of file " + std::to_wstring(i) + L"\r\n";
        labels += name + L"=@C:\\Labels\\labels.dll,-" + std::to_wstring(i + 1) + L"\r\n";
    }
    ini += labels;
    HANDLE file = CreateFileW((folder + L"\\Desktop.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, nullptr);
    DWORD written = 0;
    WriteFile(file, ini.data(), static_cast<DWORD>(ini.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return paths;
}

// Seconds per file of `work` over the sample: passes over the whole sample
// are repeated for at least a quarter of a second, and the fastest pass
// counts, so that a pass the machine's other work interrupted does not.
template <typename Work>
double PerFile(const std::vector<size_t>& sample, Work work)
{
    double start = Now();
    double fastest = 1e9;
    do {
        double passStart = Now();
        for (size_t i : sample)
            work(i);
        fastest = std::min(fastest, Now() - passStart);
    } while (Now() - start < 0.25);
    return fastest / static_cast<double>(sample.size());
}

// Seconds per file of two kinds of work done file by file in the same
// passes, so that both meet the same conditions on a busy machine; the
// fastest pass of each counts.
template <typename First, typename Second>
void PairedPerFile(const std::vector<size_t>& sample, First first, Second second, double* firstTime,
                   double* secondTime)
{
    double start = Now();
    do {
        double firstPass = 0, secondPass = 0;
        for (size_t i : sample) {
            double before = Now();
            first(i);
            double between = Now();
            second(i);
            firstPass += between - before;
            secondPass += Now() - between;
        }
        *firstTime = std::min(*firstTime, firstPass / static_cast<double>(sample.size()));
        *secondTime = std::min(*secondTime, secondPass / static_cast<double>(sample.size()));
    } while (Now() - start < 0.25);
}

// The libraries compared, after two yardsticks of a few lines: one bare,
// one with the manifest the deliverables carry (the loader builds an
// activation context from it at every load).
const wchar_t* const kLibraries[] = {L"bench_trivial.dll", L"bench_trivial_manifest.dll", L"DirDress.dll",
                                     L"DocDress.dll", L"VolDress.dll"};
const int kLoadRounds = 200;

// Size and LoadLibraryW + FreeLibrary time of each library, the libraries
// taken in turn in every round so that all see the same conditions. Runs
// before anything else loads them: a library that stays loaded would only
// have its count raised.
bool MeasureLoading()
{
    // What a program with a file dialog has loaded before it shows a file.
    for (const wchar_t* system : {L"user32.dll", L"gdi32.dll", L"advapi32.dll", L"shlwapi.dll", L"shell32.dll",
                                  L"comctl32.dll", L"ole32.dll", L"oleaut32.dll", L"comdlg32.dll"})
        LoadLibraryW(system);

    const size_t count = ARRAYSIZE(kLibraries);
    std::vector<std::vector<double>> times(count);
    std::vector<bool> stays(count, false);
    for (size_t i = 0; i < count; ++i) {
        if (GetModuleHandleW(kLibraries[i])) {
            std::printf("%ls is already loaded: no load can be measured\n", kLibraries[i]);
            return false;
        }
    }
    for (int round = -1; round < kLoadRounds; ++round) {  // round -1 warms the file cache
        for (size_t i = 0; i < count; ++i) {
            double start = Now();
            HMODULE module = LoadLibraryW(kLibraries[i]);
            if (!module) {
                std::printf("%ls cannot be loaded from the current folder\n", kLibraries[i]);
                return false;
            }
            FreeLibrary(module);
            double elapsed = Now() - start;
            if (GetModuleHandleW(kLibraries[i]))
                stays[i] = true;
            if (round >= 0)
                times[i].push_back(elapsed);
        }
    }

    std::printf("%s, LoadLibraryW + FreeLibrary, %d rounds\n", sizeof(void*) == 8 ? "x64" : "x86", kLoadRounds);
    std::printf("%-26s %7s %9s %9s %8s %9s\n", "library", "bytes", "best ms", "median ms", "/trivial",
                "/manifest");
    for (auto& sample : times)
        std::sort(sample.begin(), sample.end());
    double trivialBest = times[0].front(), manifestBest = times[1].front();
    for (size_t i = 0; i < count; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExW(kLibraries[i], GetFileExInfoStandard, &data);
        double best = times[i].front(), median = times[i][times[i].size() / 2];
        std::printf("%-26ls %7lu %9.3f %9.3f %8.2f %9.2f%s\n", kLibraries[i], data.nFileSizeLow, best * 1e3,
                    median * 1e3, best / trivialBest, best / manifestBest,
                    stays[i] ? "  (stays loaded after FreeLibrary)" : "");
    }
    std::printf("\n");
    return true;
}

}  // namespace

int main()
{
    if (!MeasureLoading())
        return 1;

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HMODULE dll = LoadLibraryW(L"DocDress.dll");
    auto getClassObject =
        dll ? reinterpret_cast<GetClassObjectFunction>(reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")))
            : nullptr;
    IClassFactory* factory = nullptr;
    if (!getClassObject ||
        FAILED(getClassObject(CLSID_DocDress, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
        std::printf("DocDress.dll cannot be loaded from the current folder\n");
        return 1;
    }

    // A file type of the benchmark's own with a default icon.
    std::wstring extension = L".ddbench" + std::to_wstring(GetCurrentProcessId());
    std::wstring progId = L"ddbench.type" + std::to_wstring(GetCurrentProcessId());
    RegSetValueW(HKEY_CLASSES_ROOT, extension.c_str(), REG_SZ, progId.c_str(), 0);
    RegSetValueW(HKEY_CLASSES_ROOT, (progId + L"\\DefaultIcon").c_str(), REG_SZ, L"C:\\Icons\\set.dll,3", 0);

    // GetIconLocation's floor is one read of the file's section, into a
    // buffer of the size the handler uses; the two key reads it once made
    // are shown next to it.
    std::printf("%s, microseconds per file\n", sizeof(void*) == 8 ? "x64" : "x86");
    std::printf("%8s %12s %12s %7s %12s %12s %12s %14s\n", "files", "GetIconLoc.", "section read", "ratio",
                "2 key reads", "GetInfoTip", "1 key read", "SHGetFileInfo");
    for (int count : {10, 1000, 10000}) {
        std::wstring folder = TempFolder(count);
        std::vector<std::wstring> paths = MakeFolder(folder, count, extension);
        std::wstring ini = folder + L"\\Desktop.ini";
        // Every file of the small folder; 100 spread over the larger ones.
        std::vector<size_t> sample;
        size_t step = count > 100 ? static_cast<size_t>(count) / 100 : 1;
        for (size_t i = 0; i < paths.size(); i += step)
            sample.push_back(i);
        std::vector<std::wstring> names;
        for (const auto& path : paths)
            names.push_back(path.substr(path.rfind(L'\\') + 1));

        IPersistFile* persist = nullptr;
        factory->CreateInstance(nullptr, IID_IPersistFile, reinterpret_cast<void**>(&persist));
        IExtractIconW* extract = nullptr;
        IQueryInfo* query = nullptr;
        persist->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
        persist->QueryInterface(IID_IQueryInfo, reinterpret_cast<void**>(&query));
        IMalloc* shell = nullptr;
        SHGetMalloc(&shell);

        WCHAR buffer[MAX_PATH];
        WCHAR section[1024];
        long failures = 0;
        // Warm the profile cache and the shell's type lookup first.
        for (size_t i : sample)
            GetPrivateProfileStringW(names[i].c_str(), L"IconFile", L"", buffer, MAX_PATH, ini.c_str());

        // Each measure three times, interleaved, keeping the fastest: the
        // first pass over a folder pays for warming caches.
        double sectionRead = 1e9, bareIcon = 1e9, icon = 1e9, bareTip = 1e9, tip = 1e9, fileInfo = 1e9;
        for (int round = 0; round < 3; ++round) {
            // GetIconLocation and its floor side by side, file by file.
            PairedPerFile(
                sample,
                [&](size_t i) {
                    int index = 0;
                    UINT flags = 0;
                    persist->Load(paths[i].c_str(), STGM_READ);
                    if (extract->GetIconLocation(0, buffer, MAX_PATH, &index, &flags) != S_OK)
                        ++failures;
                },
                [&](size_t i) {
                    GetPrivateProfileSectionW(names[i].c_str(), section, ARRAYSIZE(section), ini.c_str());
                },
                &icon, &sectionRead);
            bareIcon = std::min(bareIcon, PerFile(sample, [&](size_t i) {
                GetPrivateProfileStringW(names[i].c_str(), L"IconFile", L"", buffer, MAX_PATH, ini.c_str());
                GetPrivateProfileStringW(names[i].c_str(), L"IconIndex", L"0", buffer, 256, ini.c_str());
            }));
            bareTip = std::min(bareTip, PerFile(sample, [&](size_t i) {
                GetPrivateProfileStringW(names[i].c_str(), L"InfoTip", L"", buffer, MAX_PATH, ini.c_str());
            }));
            tip = std::min(tip, PerFile(sample, [&](size_t i) {
                LPWSTR text = nullptr;
                persist->Load(paths[i].c_str(), STGM_READ);
                if (query->GetInfoTip(0, &text) != S_OK)
                    ++failures;
                shell->Free(text);
            }));
            fileInfo = std::min(fileInfo, PerFile(sample, [&](size_t i) {
                SHFILEINFOW info;
                SHGetFileInfoW(paths[i].c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME | SHGFI_TYPENAME);
            }));
        }
        std::printf("%8d %12.1f %12.1f %7.2f %12.1f %12.1f %12.1f %14.1f%s\n", count, icon * 1e6, sectionRead * 1e6,
                    icon / sectionRead, bareIcon * 1e6, tip * 1e6, bareTip * 1e6, fileInfo * 1e6,
                    failures ? "  (requests failed)" : "");

        shell->Release();
        query->Release();
        extract->Release();
        persist->Release();
        RemoveFolder(folder);
    }

    SHDeleteKeyW(HKEY_CLASSES_ROOT, extension.c_str());
    SHDeleteKeyW(HKEY_CLASSES_ROOT, progId.c_str());
    factory->Release();
    CoUninitialize();
    return 0;
}
