// What the drive tests need beyond the common host: a drive letter of their
// own, the registry key of a letter, and icon files to point at.
#pragma once

#include <windows.h>

#include <string>

#include "host.h"

// A temporary folder given a free drive letter of its own, as a disk in a
// drive. Wine keeps drive letters as links in the prefix's dosdevices
// folder; its mount manager makes and removes them on request
// (IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE, the call its own configuration tool
// uses). The letter and its DriveIcons key are removed again at the end.
class TempDrive {
public:
    TempDrive();
    ~TempDrive();
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    bool Ready() const { return letter_ != 0; }
    wchar_t Letter() const { return letter_; }
    // "Q:\"
    std::wstring Root() const;
    // Root() + relative
    std::wstring Path(const std::wstring& relative) const;
    std::wstring AutoRun() const { return Path(L"AutoRun.inf"); }
    // The folder behind the letter, as Windows paths see it.
    const std::wstring& Folder() const { return dir_.Path(); }

private:
    TempDir dir_;
    wchar_t letter_ = 0;
};

// "SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\DriveIcons\<letter>"
std::wstring DriveIconsKey(wchar_t letter);
// The default value of the letter key's subkey ("DefaultLabel",
// "DefaultIcon"), in the registry view of this process.
std::wstring ReadLetterValue(wchar_t letter, const wchar_t* subkey);
void SetLetterValue(wchar_t letter, const wchar_t* subkey, const std::wstring& value);
bool LetterKeyExists(wchar_t letter);
// Whether the letter key lies in the 32-bit registry view (Wow6432Node of
// the 64-bit view), where an x86 Explorer reads it.
bool LetterKeyInWow64Node(wchar_t letter);

// Writes a 32 x 32 icon file that ExtractIconW can read.
bool WriteIconFile(const std::wstring& path);
// Copies `source` to `path` and adds one icon to it as icon group resource
// `groupId`, so that the negative index -groupId names it.
bool WriteIconLibrary(const std::wstring& source, const std::wstring& path, WORD groupId);
