// What the drive tests need beyond the common host: a drive letter of their
// own, the registry key of a letter, and icon files to point at.
#pragma once

#include <windows.h>

#include <ostream>
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

// The letter key's settings, always in the 64-bit registry view, where the
// drive page keeps them whatever the bitness of the process.
//
// The default value of a subkey of the letter key ("DefaultLabel",
// "DefaultIcon", or another) as it is stored: type and bytes.
struct LetterValue {
    bool exists = false;
    DWORD type = REG_NONE;
    std::string bytes;
    bool operator==(const LetterValue& other) const
    {
        return exists == other.exists && type == other.type && bytes == other.bytes;
    }
};
std::ostream& operator<<(std::ostream& out, const LetterValue& value);
LetterValue ReadLetterRaw(wchar_t letter, const wchar_t* subkey);
void SetLetterRaw(wchar_t letter, const wchar_t* subkey, DWORD type, const std::string& bytes);
// The bytes of a REG_SZ value: the text and its terminator.
std::string RegSzBytes(const std::wstring& text);
// The value as text (REG_SZ or REG_EXPAND_SZ); "<missing>" otherwise.
std::wstring ReadLetterValue(wchar_t letter, const wchar_t* subkey);
void SetLetterValue(wchar_t letter, const wchar_t* subkey, const std::wstring& value);
bool LetterKeyExists(wchar_t letter);
bool LetterSubkeyExists(wchar_t letter, const wchar_t* subkey);
// Removes the letter key with everything in it, from both registry views.
void DeleteLetterKey(wchar_t letter);
// Whether the letter key lies in the 32-bit registry view (Wow6432Node of
// the 64-bit view), which the 64-bit Explorer does not read.
bool LetterKeyInWow64Node(wchar_t letter);

// The 32-bit view's DriveIcons made a key of its own, as on the systems that
// redirect it (XP x64, Vista), for as long as the object lives. Wine, like
// Windows 7 and later, shares the key: Wow6432Node's DriveIcons is a
// registry link to the 64-bit key, so that both views are one. The link is
// put back at the end.
class RedirectedDriveIcons {
public:
    RedirectedDriveIcons();
    ~RedirectedDriveIcons();
    RedirectedDriveIcons(const RedirectedDriveIcons&) = delete;
    RedirectedDriveIcons& operator=(const RedirectedDriveIcons&) = delete;
    bool Ready() const { return ready_; }

private:
    bool wasLink_ = false;
    bool ready_ = false;
};

// Writes a 32 x 32 icon file that ExtractIconW can read.
bool WriteIconFile(const std::wstring& path);
// Copies `source` to `path` and adds one icon to it as icon group resource
// `groupId`, so that the negative index -groupId names it.
bool WriteIconLibrary(const std::wstring& source, const std::wstring& path, WORD groupId);
