// The test host: plays Explorer towards a deliverable. It loads the real DLL,
// uses its exports, hands it CF_HDROP selections and shows its pages in a
// real property sheet.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "screenshot.h"

// The five exports of a loaded deliverable.
struct Deliverable {
    HMODULE module = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* install)(BOOL, PCWSTR) = nullptr;

    // Loads the DLL from the test's own folder; fails the test when an
    // export is missing. The module stays loaded for the whole process.
    static Deliverable Load(const wchar_t* fileName);

    // Class factory -> CreateInstance -> the interface asked for.
    HRESULT Create(REFCLSID clsid, REFIID riid, void** ppv) const;
    // Full path of the loaded DLL.
    std::wstring Path() const;
};

// A data object that offers exactly one format, CF_HDROP, like the shell's
// selection handed to IShellExtInit::Initialize. Created with count 1.
IDataObject* CreateDropDataObject(const std::vector<std::wstring>& paths);
// A data object whose GetData always fails.
IDataObject* CreateEmptyDataObject();

// Current reference count of a COM object (AddRef followed by Release).
ULONG RefCount(IUnknown* object);

// A fresh folder under the temporary folder, removed with everything in it
// (attributes cleared first) when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& Path() const { return path_; }
    // Path of a child: Path() + "\" + name.
    std::wstring Child(const std::wstring& name) const;
    // Creates a subfolder (and its parents) and returns its path.
    std::wstring MakeDir(const std::wstring& name) const;

private:
    std::wstring path_;
};

void RemoveTree(const std::wstring& path);

// A path without its last backslash and what follows it.
std::wstring FolderOf(const std::wstring& path);
// The folder of the test program, where the deliverables and the test
// libraries lie, and a file in it.
std::wstring ProgramFolder();
std::wstring ProgramFile(const std::wstring& name);
// A file of the system folder ("...\system32\name").
std::wstring SystemFile(const std::wstring& name);
// The user's Network Shortcuts folder, created when missing.
std::wstring NetworkShortcutsFolder();

// Files written and read as raw bytes or UTF-16 text.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
// Writes text as UTF-16LE with its byte-order mark.
bool WriteUnicodeFile(const std::wstring& path, const std::wstring& text);
// Text as the bytes of such a file: the mark, then UTF-16LE (no mark when
// withMark is false).
std::string UnicodeBytes(const std::wstring& text, bool withMark = true);
// The text of a UTF-16LE file after its byte-order mark; empty when the
// file does not begin with one.
std::wstring ReadUnicodeFile(const std::wstring& path);
bool FileExists(const std::wstring& path);
// Creates (or empties) a file.
bool Touch(const std::wstring& path);
// A path of exactly `length` characters below root (ending in a backslash,
// such as "Q:\") that ends in `fileName`, its folders created.
std::wstring MakeLongPath(const std::wstring& root, size_t length, const std::wstring& fileName);
DWORD Attributes(const std::wstring& path);

// Reads one key of a profile file through the platform; `missing` when absent.
std::wstring ReadProfile(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                         const wchar_t* missing = L"<missing>");

// Registry: the default or named string value of a key, `missing` when absent.
// `view` (KEY_WOW64_32KEY or KEY_WOW64_64KEY) picks a registry view other
// than the program's own.
std::wstring ReadRegString(HKEY root, const std::wstring& key, const wchar_t* name,
                           const wchar_t* missing = L"<missing>", REGSAM view = 0);
bool RegKeyExists(HKEY root, const std::wstring& key, REGSAM view = 0);
void SetRegString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value);
void DeleteRegTree(HKEY root, const std::wstring& key);

// Replaces the entry of module's import address table for a function of
// `dll` (matched without case; every descriptor of that DLL is searched).
// Returns the previous target, or null when the import was not found.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);
void* PatchImportOrdinal(HMODULE module, const char* dll, WORD ordinal, void* replacement);

// An import patch undone at the end of its scope; by name, or by ordinal
// (shell32 62 is PickIconDlg, 192 SHUpdateImageW).
class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement);
    ImportPatch(HMODULE module, const char* dll, WORD ordinal, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    // Whether the module imports the function (and so was patched).
    bool Installed() const { return original_ != nullptr; }
    // The target the entry had before: the real function.
    template <typename F>
    F Original() const
    {
        return reinterpret_cast<F>(original_);
    }

private:
    HMODULE module_;
    const char* dll_;
    const char* function_;
    WORD ordinal_;
    void* original_;
};

// Runs regsvr32 with the arguments; its exit code.
DWORD RunRegsvr32(const std::wstring& arguments);

// A console program run to its end with its output and errors redirected
// into files (so neither can block the other), both read back as UTF-8.
struct ProgramRun {
    DWORD exitCode = 0;
    std::wstring out;
    std::wstring err;
};
ProgramRun RunProgram(const std::wstring& commandLine, DWORD timeoutMs = 60000);

// Dispatches pending messages of this thread, for up to `milliseconds`
// or until idle after at least one pass.
void PumpMessages(DWORD milliseconds = 50);

// Waits (pumping this thread's messages) until predicate holds or the
// timeout passes; returns whether it held.
bool WaitFor(const std::function<bool()>& predicate, DWORD timeoutMs = 5000);

// A top-level window of this process with the given title (and class when
// given), or null.
HWND FindProcessWindow(const wchar_t* title, const wchar_t* className = nullptr);

// A modeless property sheet showing the pages an extension adds, as the
// shell's Properties dialog does.
class PropertySheetHost {
public:
    PropertySheetHost() = default;
    ~PropertySheetHost();
    PropertySheetHost(const PropertySheetHost&) = delete;
    PropertySheetHost& operator=(const PropertySheetHost&) = delete;

    // The callback handed to IShellPropSheetExt::AddPages (lParam = this).
    static BOOL CALLBACK AddPage(HPROPSHEETPAGE page, LPARAM lParam);
    // Shows the sheet with every page added so far; false on failure.
    bool Show(const wchar_t* caption = L"Properties");

    // Plays the shell towards one extension: creates the object, hands it
    // `data` (taking over that reference; null: Initialize without a data
    // object), lets it add its pages and shows them. Returns the current
    // page; every step that fails is recorded as a test failure.
    HWND ShowExtension(const Deliverable& dll, REFCLSID clsid, IDataObject* data);

    HWND Sheet() const { return sheet_; }
    HWND CurrentPage() const;
    // The caption of the tab at `index`.
    std::wstring TabCaption(int index = 0) const;
    size_t PageCount() const { return pages_.size(); }
    bool ApplyEnabled() const;

    // Sends PSN_APPLY through the sheet's buttons.
    void PressApply();
    // OK: applies and ends the sheet; Cancel: ends it. Both destroy the
    // sheet window, which destroys the pages.
    void PressOk();
    void PressCancel();
    void Destroy();

private:
    std::vector<HPROPSHEETPAGE> pages_;
    HWND sheet_ = nullptr;
};

// Control helpers on a page.
HWND Item(HWND page, int id);
std::wstring WindowText(HWND window);
void TypeText(HWND edit, const std::wstring& text);   // WM_CHAR per character
void Click(HWND page, int id);                        // BM_CLICK
bool IsChecked(HWND page, int id);
bool IsEnabled(HWND page, int id);
bool IsReadOnlyEdit(HWND page, int id);
bool IsModified(HWND page, int id);                   // EM_GETMODIFY
HICON ShownIcon(HWND page, int id);                   // STM_GETIMAGE of a static icon

// A picture of a window just shown (a sheet, a dialog) for people to look at
// (SaveScreenshot). Wine paints a new window's controls a little after it
// is shown, so the picture first waits 300 ms, pumping this thread's
// messages (from a thread without windows, a plain wait).
void SavePicture(HWND window, const std::wstring& name);

// Runs `answer` on a second thread as soon as a window titled `title`
// appears (within timeoutMs), while `action` runs (and blocks in a modal
// loop) on this thread. Returns whether the window was found.
bool AnswerModal(const wchar_t* title, const std::function<void(HWND)>& answer,
                 const std::function<void()>& action, DWORD timeoutMs = 10000);

// The string picker ("Change string") that clicking `button` of `page`
// opens, answered from a second thread as a user would: it loads `module`
// first when one is given (typed into its path field, then Enter), selects
// the string `id` (kFirstString: the first listed) and presses
// `pickerButton` (IDOK, IDCANCEL or IDC_PICKER_DEFAULT). A picker left open
// is cancelled, with a failure, so that the test ends.
const UINT kFirstString = 0xFFFFFFFF;
struct PickerAnswer {
    bool shown = false;
    std::wstring file;  // the module path the picker opened with
};
PickerAnswer AnswerStringPicker(HWND page, int button, UINT id, int pickerButton = IDOK,
                                const std::wstring& module = std::wstring());
