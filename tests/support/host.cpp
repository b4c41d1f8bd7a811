#include "host.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "picker_ids.h"

// ---------------------------------------------------------------------------
// Deliverable

Deliverable Deliverable::Load(const wchar_t* fileName)
{
    Deliverable d;
    d.module = LoadLibraryW(fileName);
    EXPECT_NE(d.module, nullptr) << "LoadLibraryW failed, error " << GetLastError();
    if (!d.module)
        return d;
    d.getClassObject = reinterpret_cast<decltype(d.getClassObject)>(
        reinterpret_cast<void*>(GetProcAddress(d.module, "DllGetClassObject")));
    d.canUnloadNow = reinterpret_cast<decltype(d.canUnloadNow)>(
        reinterpret_cast<void*>(GetProcAddress(d.module, "DllCanUnloadNow")));
    d.registerServer = reinterpret_cast<decltype(d.registerServer)>(
        reinterpret_cast<void*>(GetProcAddress(d.module, "DllRegisterServer")));
    d.unregisterServer = reinterpret_cast<decltype(d.unregisterServer)>(
        reinterpret_cast<void*>(GetProcAddress(d.module, "DllUnregisterServer")));
    d.install = reinterpret_cast<decltype(d.install)>(reinterpret_cast<void*>(GetProcAddress(d.module, "DllInstall")));
    EXPECT_NE(d.getClassObject, nullptr);
    EXPECT_NE(d.canUnloadNow, nullptr);
    EXPECT_NE(d.registerServer, nullptr);
    EXPECT_NE(d.unregisterServer, nullptr);
    EXPECT_NE(d.install, nullptr);
    return d;
}

HRESULT Deliverable::Create(REFCLSID clsid, REFIID riid, void** ppv) const
{
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    hr = factory->CreateInstance(nullptr, riid, ppv);
    factory->Release();
    return hr;
}

std::wstring Deliverable::Path() const
{
    WCHAR path[MAX_PATH] = L"";
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

ULONG RefCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

// ---------------------------------------------------------------------------
// Files

TempDir::TempDir()
{
    WCHAR base[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, base);
    static std::atomic<unsigned> counter{0};
    for (;;) {
        WCHAR name[MAX_PATH];
        swprintf(name, MAX_PATH, L"%lsdress-%lu-%u", base, GetCurrentProcessId(), counter++);
        if (CreateDirectoryW(name, nullptr)) {
            path_ = name;
            break;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create a temporary folder";
            break;
        }
    }
}

TempDir::~TempDir()
{
    if (!path_.empty())
        RemoveTree(path_);
}

std::wstring TempDir::Child(const std::wstring& name) const
{
    return path_ + L"\\" + name;
}

std::wstring TempDir::MakeDir(const std::wstring& name) const
{
    std::wstring full = Child(name);
    SHCreateDirectoryExW(nullptr, full.c_str(), nullptr);
    return full;
}

void RemoveTree(const std::wstring& path)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring ProgramFolder()
{
    WCHAR path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return FolderOf(path);
}

std::wstring ProgramFile(const std::wstring& name)
{
    return ProgramFolder() + L"\\" + name;
}

std::wstring SystemFile(const std::wstring& name)
{
    WCHAR path[MAX_PATH] = L"";
    GetSystemDirectoryW(path, MAX_PATH);
    return std::wstring(path) + L"\\" + name;
}

std::wstring NetworkShortcutsFolder()
{
    WCHAR path[MAX_PATH] = L"";
    SHGetSpecialFolderPathW(nullptr, path, CSIDL_NETHOOD, TRUE);
    return path;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

bool WriteUnicodeFile(const std::wstring& path, const std::wstring& text)
{
    return WriteBytes(path, UnicodeBytes(text));
}

std::string UnicodeBytes(const std::wstring& text, bool withMark)
{
    std::string bytes = withMark ? std::string("\xFF\xFE", 2) : std::string();
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

std::wstring ReadUnicodeFile(const std::wstring& path)
{
    std::string bytes = ReadBytes(path);
    if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE", 2) != 0)
        return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / sizeof(wchar_t));
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Touch(const std::wstring& path)
{
    return WriteBytes(path, std::string());
}

std::wstring MakeLongPath(const std::wstring& root, size_t length, const std::wstring& fileName)
{
    // Folders of at most 100 characters (a name may not pass 255), then the
    // file name padded to make up the length.
    std::wstring path = root;
    wchar_t folder = L'a';
    while (length - path.size() > fileName.size() + 120) {
        path += std::wstring(100, folder++) + L"\\";
        CreateDirectoryW(path.c_str(), nullptr);
    }
    size_t padding = length - path.size() - fileName.size();
    return path + std::wstring(padding, L'x') + fileName;
}

DWORD Attributes(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str());
}

std::wstring ReadProfile(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                         const wchar_t* missing)
{
    std::vector<WCHAR> buffer(4096);
    GetPrivateProfileStringW(section, key, missing, buffer.data(), static_cast<DWORD>(buffer.size()),
                             file.c_str());
    return buffer.data();
}

// ---------------------------------------------------------------------------
// Registry

std::wstring ReadRegString(HKEY root, const std::wstring& key, const wchar_t* name, const wchar_t* missing,
                           REGSAM view)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS)
        return missing;
    std::vector<WCHAR> buffer(4096);
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(WCHAR));
    LONG result = RegGetValueW(handle, nullptr, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                               buffer.data(), &bytes);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS)
        return missing;
    return buffer.data();
}

bool RegKeyExists(HKEY root, const std::wstring& key, REGSAM view)
{
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

void SetRegString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value)
{
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(handle);
}

void DeleteRegTree(HKEY root, const std::wstring& key)
{
    SHDeleteKeyW(root, key.c_str());
}

DWORD RunRegsvr32(const std::wstring& arguments)
{
    std::wstring command = L"regsvr32.exe " + arguments;
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError() | 0x80000000u;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

namespace {

HANDLE CreateInheritableFile(const std::wstring& path)
{
    SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &security,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

std::wstring FromUtf8(const std::string& bytes)
{
    if (bytes.empty())
        return std::wstring();
    int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], length);
    return text;
}

}  // namespace

ProgramRun RunProgram(const std::wstring& commandLine, DWORD timeoutMs)
{
    ProgramRun run;
    TempDir outputs;
    std::wstring outPath = outputs.Child(L"out.txt");
    std::wstring errPath = outputs.Child(L"err.txt");
    HANDLE out = CreateInheritableFile(outPath);
    HANDLE err = CreateInheritableFile(errPath);
    std::wstring command = commandLine;
    STARTUPINFOW startup = {sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process)) {
        run.exitCode = GetLastError() | 0x80000000u;
    } else {
        if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 0xDEAD);
            WaitForSingleObject(process.hProcess, 5000);
        }
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    run.out = FromUtf8(ReadBytes(outPath));
    run.err = FromUtf8(ReadBytes(errPath));
    return run;
}

// ---------------------------------------------------------------------------
// Messages and windows

void PumpMessages(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetTickCount() - start >= milliseconds)
            break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

bool WaitFor(const std::function<bool()>& predicate, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (predicate())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        PumpMessages(10);
    }
}

namespace {

struct FindWindowData {
    const wchar_t* title;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindWindowProc(HWND window, LPARAM lParam)
{
    auto* data = reinterpret_cast<FindWindowData*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(window))
        return TRUE;
    WCHAR text[512] = L"";
    GetWindowTextW(window, text, ARRAYSIZE(text));
    if (wcscmp(text, data->title) != 0)
        return TRUE;
    if (data->className) {
        WCHAR cls[256] = L"";
        GetClassNameW(window, cls, ARRAYSIZE(cls));
        if (wcscmp(cls, data->className) != 0)
            return TRUE;
    }
    data->found = window;
    return FALSE;
}

}  // namespace

HWND FindProcessWindow(const wchar_t* title, const wchar_t* className)
{
    FindWindowData data = {title, className, nullptr};
    EnumWindows(FindWindowProc, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

// ---------------------------------------------------------------------------
// Property sheet

PropertySheetHost::~PropertySheetHost()
{
    Destroy();
}

BOOL CALLBACK PropertySheetHost::AddPage(HPROPSHEETPAGE page, LPARAM lParam)
{
    reinterpret_cast<PropertySheetHost*>(lParam)->pages_.push_back(page);
    return TRUE;
}

bool PropertySheetHost::Show(const wchar_t* caption)
{
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_MODELESS | PSH_NOCONTEXTHELP;
    header.hwndParent = nullptr;
    header.pszCaption = caption;
    header.nPages = static_cast<UINT>(pages_.size());
    header.phpage = pages_.data();
    sheet_ = reinterpret_cast<HWND>(PropertySheetW(&header));
    if (!sheet_ || sheet_ == reinterpret_cast<HWND>(-1)) {
        sheet_ = nullptr;
        return false;
    }
    PumpMessages(20);
    return true;
}

HWND PropertySheetHost::ShowExtension(const Deliverable& dll, REFCLSID clsid, IDataObject* data)
{
    IShellExtInit* init = nullptr;
    EXPECT_EQ(dll.Create(clsid, IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
    if (init) {
        EXPECT_EQ(init->Initialize(nullptr, data, nullptr), S_OK);
    }
    if (data)
        data->Release();
    if (!init)
        return nullptr;
    IShellPropSheetExt* extension = nullptr;
    EXPECT_EQ(init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&extension)), S_OK);
    init->Release();
    if (!extension)
        return nullptr;
    EXPECT_EQ(extension->AddPages(AddPage, reinterpret_cast<LPARAM>(this)), S_OK);
    extension->Release();
    EXPECT_EQ(PageCount(), 1u);
    EXPECT_TRUE(Show());
    HWND page = CurrentPage();
    EXPECT_NE(page, nullptr);
    return page;
}

HWND PropertySheetHost::CurrentPage() const
{
    return sheet_ ? PropSheet_GetCurrentPageHwnd(sheet_) : nullptr;
}

std::wstring PropertySheetHost::TabCaption(int index) const
{
    WCHAR caption[128] = L"";
    TCITEMW tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = caption;
    tab.cchTextMax = ARRAYSIZE(caption);
    SendMessageW(PropSheet_GetTabControl(sheet_), TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&tab));
    return caption;
}

bool PropertySheetHost::ApplyEnabled() const
{
    const int kApplyButton = 0x3021;
    HWND apply = GetDlgItem(sheet_, kApplyButton);
    return apply && IsWindowEnabled(apply);
}

void PropertySheetHost::PressApply()
{
    PropSheet_PressButton(sheet_, PSBTN_APPLYNOW);
    PumpMessages(20);
}

void PropertySheetHost::PressOk()
{
    PropSheet_PressButton(sheet_, PSBTN_OK);
    PumpMessages(20);
    Destroy();
}

void PropertySheetHost::PressCancel()
{
    PropSheet_PressButton(sheet_, PSBTN_CANCEL);
    PumpMessages(20);
    Destroy();
}

void PropertySheetHost::Destroy()
{
    if (sheet_) {
        DestroyWindow(sheet_);
        sheet_ = nullptr;
        PumpMessages(10);
    } else {
        // Pages that never reached a sheet are destroyed by their owner.
        for (HPROPSHEETPAGE page : pages_)
            DestroyPropertySheetPage(page);
    }
    pages_.clear();
}

HWND Item(HWND page, int id)
{
    return GetDlgItem(page, id);
}

std::wstring WindowText(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window, &text[0], length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

void TypeText(HWND edit, const std::wstring& text)
{
    for (wchar_t c : text)
        SendMessageW(edit, WM_CHAR, c, 1);
}

void Click(HWND page, int id)
{
    SendMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0);
}

bool IsChecked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

bool IsEnabled(HWND page, int id)
{
    return IsWindowEnabled(GetDlgItem(page, id)) != FALSE;
}

bool IsReadOnlyEdit(HWND page, int id)
{
    return (GetWindowLongW(GetDlgItem(page, id), GWL_STYLE) & ES_READONLY) != 0;
}

bool IsModified(HWND page, int id)
{
    return SendMessageW(GetDlgItem(page, id), EM_GETMODIFY, 0, 0) != 0;
}

void SavePicture(HWND window, const std::wstring& name)
{
    PumpMessages(300);
    SaveScreenshot(window, name);
}

HICON ShownIcon(HWND page, int id)
{
    return reinterpret_cast<HICON>(SendDlgItemMessageW(page, id, STM_GETIMAGE, IMAGE_ICON, 0));
}

bool AnswerModal(const wchar_t* title, const std::function<void(HWND)>& answer,
                 const std::function<void()>& action, DWORD timeoutMs)
{
    std::atomic<bool> found{false};
    std::wstring wanted = title;
    std::thread helper([&] {
        auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(timeoutMs)) {
            HWND window = FindProcessWindow(wanted.c_str());
            if (window) {
                Sleep(50);  // let the dialog finish WM_INITDIALOG
                found = true;
                answer(window);
                return;
            }
            Sleep(20);
        }
    });
    action();
    helper.join();
    return found;
}

PickerAnswer AnswerStringPicker(HWND page, int button, UINT id, int pickerButton, const std::wstring& module)
{
    PickerAnswer answer;
    answer.shown = AnswerModal(
        L"Change string",
        [&](HWND picker) {
            answer.file = WindowText(GetDlgItem(picker, IDC_PICKER_FILE));
            HWND list = GetDlgItem(picker, IDC_PICKER_LIST);
            auto findString = [&] {
                LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
                for (LRESULT i = 0; i < count; ++i)
                    if (id == kFirstString ? i == 0 : static_cast<UINT>(SendMessageW(list, LB_GETITEMDATA, i, 0)) == id)
                        return static_cast<int>(i);
                return -1;
            };
            if (!module.empty()) {
                HWND path = GetDlgItem(picker, IDC_PICKER_FILE);
                SendMessageW(path, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(module.c_str()));
                SendMessageW(picker, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(path), TRUE);
                PostMessageW(path, WM_KEYDOWN, VK_RETURN, 0x001C0001);
                PostMessageW(path, WM_KEYUP, VK_RETURN, 0xC01C0001);
                for (int wait = 0; wait < 200; ++wait) {
                    Sleep(25);  // the reload runs on the picker's thread
                    if (findString() >= 0)
                        break;
                }
            }
            int index = findString();
            if (index >= 0)
                SendMessageW(list, LB_SETCURSEL, index, 0);
            SendMessageW(GetDlgItem(picker, pickerButton), BM_CLICK, 0, 0);
            for (int i = 0; i < 150 && IsWindow(picker); ++i)
                Sleep(20);
            if (IsWindow(picker)) {
                ADD_FAILURE() << "the picker stayed open";
                PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
            }
        },
        [&] { Click(page, button); });
    return answer;
}
