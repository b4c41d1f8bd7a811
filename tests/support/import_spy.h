// Watches and answers what a loaded module asks of the platform, through its
// import table, so that the module keeps calling the real platform while the
// test sees each call: the shell's icon picker and SHUpdateImageW (stubs
// under Wine, answered here), attribute changes (a folder's read-only bit
// does not stick under Wine), profile writes, shell notifications,
// ShellExecuteW, and every call that creates or destroys an icon, bitmap, DC,
// menu or module (GetGuiResources cannot count them under Wine). Only the
// imports the module has are patched; one spy at a time.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

// A value as the spy's lines show it: lower-case hexadecimal.
std::wstring Hex(DWORD value);

class ImportSpy {
public:
    // With watchFileOpens, CreateFileW and DeleteFileW are logged too.
    explicit ImportSpy(HMODULE module, bool watchFileOpens = false);
    ~ImportSpy();
    ImportSpy(const ImportSpy&) = delete;
    ImportSpy& operator=(const ImportSpy&) = delete;

    // One line per watched call, in order:
    //   "write <key>=<value>"                      value "<null>" for a deletion
    //   "attributes <path> <hex>"
    //   "notify <event hex> <flags hex> <item1> <item2>"
    //                                              items as paths for SHCNF_PATHW, else "<item>"; "<null>" for none
    //   "pickicon <seed path> <seed index>"        answered with the pick* fields below
    //   "updateimage <file> <index> <flags hex> <image index>"   not passed on
    //   "execute <verb> <file> <parameters> <directory> <show>"  answered, not passed on
    //   "create <disposition> <path>", "delete <path>"           with watchFileOpens
    std::vector<std::wstring> calls;
    // The lines of calls that begin with prefix.
    std::vector<std::wstring> CallsOf(const std::wstring& prefix) const;
    // Whether the module imports the function (by its name; "PickIconDlg"
    // and "SHUpdateImageW" for the shell32 ordinals).
    bool Imports(const char* function) const;

    // The answer of the next PickIconDlg calls: the result (0: cancelled)
    // and, unless pickKeepsSeed, the path and index written back. A path
    // longer than the caller's buffer is refused (result 0).
    int pickResult = 0;
    std::wstring pickPath;
    int pickIndex = 0;
    bool pickKeepsSeed = false;
    // Windows the icon picker and ShellExecuteW were called with.
    HWND pickOwner = nullptr;
    HWND executeOwner = nullptr;

    // Handles of one kind the module made: those not destroyed yet, and
    // counts of makings and of destroying calls (of any handle, failed ones
    // included).
    struct Handles {
        std::set<void*> live;
        size_t made = 0;
        size_t destroyed = 0;
    };
    Handles icons, bitmaps, dcs, menus, modules;
    // Resource names LoadBitmapW was asked for, in order.
    std::vector<ULONG_PTR> bitmapNames;
    size_t LiveHandles() const;
    size_t HandlesMade() const;
    // "icons 1, bitmaps 0, ...": the live handles, for messages.
    std::string DescribeLive() const;

    // Internal: adds a line to calls from any thread.
    void Log(const std::wstring& line);

private:
    struct Patch;
    std::vector<std::unique_ptr<Patch>> patches_;
    std::vector<std::string> imports_;
    mutable std::mutex mutex_;
};
