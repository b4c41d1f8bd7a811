// Watches and answers what a loaded DirDress.dll asks of the platform, through
// its import table: the shell's icon picker (a stub under Wine), attribute
// changes (a folder's read-only bit does not stick under Wine), the shell
// notification, ShellExecuteW, the profile writes, and every call that
// creates or destroys an icon, bitmap, DC, menu or module.
#pragma once

#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

class PageSpy {
public:
    // Patches module's imports; one spy at a time.
    explicit PageSpy(HMODULE module);
    ~PageSpy();
    PageSpy(const PageSpy&) = delete;
    PageSpy& operator=(const PageSpy&) = delete;

    // One line per watched call, in order:
    //   "write <key>=<value>" (value "<null>" for a deletion)
    //   "attributes <path> <hex>"
    //   "notify <event hex> <flags hex> <item1> <item2>"
    //   "pickicon <seed path> <seed index>"
    //   "execute <verb> <file> <parameters> <directory> <show>"
    std::vector<std::wstring> calls;
    // Lines of calls that begin with prefix.
    std::vector<std::wstring> CallsOf(const std::wstring& prefix) const;

    // The answer of the next PickIconDlg calls: result, and path and index
    // written back when the result is not 0.
    int pickResult = 0;
    std::wstring pickPath;
    int pickIndex = 0;
    // Window the icon picker was called with.
    HWND pickOwner = nullptr;
    HWND executeOwner = nullptr;

    // Handles created by the DLL and not yet destroyed, by kind.
    struct Resources {
        std::set<void*> icons, bitmaps, dcs, menus, modules;
        size_t created = 0;
        size_t Live() const
        {
            return icons.size() + bitmaps.size() + dcs.size() + menus.size() + modules.size();
        }
    };
    Resources resources;
    bool pickIconPatched = false;
    // Names of the creating and destroying imports found in the DLL.
    std::vector<std::string> countedImports;

private:
    struct Patch;
    std::vector<std::unique_ptr<Patch>> patches_;
};
