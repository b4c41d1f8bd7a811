#include "drive_support.h"

#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Wine's mount manager extension that defines a drive letter for a Unix
// folder (or removes one, with type DRIVE_NO_ROOT_DIR).
const DWORD kDefineUnixDrive = CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct UnixDriveRequest {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

bool DefineUnixDrive(wchar_t letter, const char* unixPath, ULONG type)
{
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE)
        return false;
    size_t pathBytes = unixPath ? strlen(unixPath) + 1 : 0;
    std::vector<char> buffer(sizeof(UnixDriveRequest) + pathBytes);
    auto* request = reinterpret_cast<UnixDriveRequest*>(buffer.data());
    request->size = static_cast<ULONG>(buffer.size());
    request->type = type;
    request->letter = static_cast<WCHAR>(towlower(letter));
    if (unixPath) {
        request->mountPointOffset = sizeof(UnixDriveRequest);
        memcpy(buffer.data() + sizeof(UnixDriveRequest), unixPath, pathBytes);
    }
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(manager, kDefineUnixDrive, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                              0, &returned, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

std::string UnixPathOf(const std::wstring& path)
{
    typedef char*(CDECL * ToUnix)(LPCWSTR);
    auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return std::string();
    char* unixPath = toUnix(path.c_str());
    if (!unixPath)
        return std::string();
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

const int kIconSize = 32;

// The image of a 32 x 32, 32-bit icon: header, colour pixels, mask.
std::string IconImage()
{
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = kIconSize;
    header.biHeight = kIconSize * 2;  // colour and mask
    header.biPlanes = 1;
    header.biBitCount = 32;
    std::string image(reinterpret_cast<const char*>(&header), sizeof(header));
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            // A blue disk on an opaque orange square.
            bool inside = (x - 16) * (x - 16) + (y - 16) * (y - 16) < 144;
            unsigned char pixel[4] = {static_cast<unsigned char>(inside ? 0xD0 : 0x20),
                                      static_cast<unsigned char>(inside ? 0x60 : 0x90),
                                      static_cast<unsigned char>(inside ? 0x10 : 0xF0), 0xFF};
            image.append(reinterpret_cast<const char*>(pixel), 4);
        }
    }
    image.append(static_cast<size_t>(kIconSize * kIconSize / 8), '\0');  // mask: all opaque
    return image;
}

#pragma pack(push, 2)
struct IconDirEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    DWORD imageOffset;
};
struct GroupIconEntry {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
struct IconDir {
    WORD reserved, type, count;
};
#pragma pack(pop)

}  // namespace

// ---------------------------------------------------------------------------
// TempDrive

TempDrive::TempDrive()
{
    std::string unixPath = UnixPathOf(dir_.Path());
    if (unixPath.empty()) {
        ADD_FAILURE() << "no Unix path for " << std::string(dir_.Path().begin(), dir_.Path().end());
        return;
    }
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
        WCHAR root[] = {letter, L':', L'\\', 0};
        if (GetDriveTypeW(root) != DRIVE_NO_ROOT_DIR)
            continue;
        if (DefineUnixDrive(letter, unixPath.c_str(), DRIVE_FIXED) && GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES) {
            letter_ = letter;
            DeleteLetterKey(letter_);
            return;
        }
    }
    ADD_FAILURE() << "could not give the temporary folder a drive letter";
}

TempDrive::~TempDrive()
{
    if (!letter_)
        return;
    DeleteLetterKey(letter_);
    DefineUnixDrive(letter_, nullptr, DRIVE_NO_ROOT_DIR);
}

std::wstring TempDrive::Root() const
{
    return std::wstring(1, letter_) + L":\\";
}

std::wstring TempDrive::Path(const std::wstring& relative) const
{
    return Root() + relative;
}

// ---------------------------------------------------------------------------
// Registry

std::wstring DriveIconsKey(wchar_t letter)
{
    return std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\") + letter;
}

std::ostream& operator<<(std::ostream& out, const LetterValue& value)
{
    if (!value.exists)
        return out << "<missing>";
    out << "type " << value.type << ", " << value.bytes.size() << " bytes:";
    for (size_t i = 0; i < value.bytes.size() && i < 24; ++i)
        out << ' ' << std::hex << static_cast<unsigned>(static_cast<unsigned char>(value.bytes[i])) << std::dec;
    return out << (value.bytes.size() > 24 ? " ..." : "");
}

LetterValue ReadLetterRaw(wchar_t letter, const wchar_t* subkey)
{
    LetterValue value;
    HKEY key = nullptr;
    std::wstring name = DriveIconsKey(letter) + L"\\" + subkey;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return value;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &value.type, nullptr, &bytes) == ERROR_SUCCESS) {
        value.bytes.resize(bytes);
        if (RegQueryValueExW(key, nullptr, nullptr, &value.type, reinterpret_cast<BYTE*>(&value.bytes[0]), &bytes) ==
            ERROR_SUCCESS) {
            value.exists = true;
            value.bytes.resize(bytes);
        }
    }
    RegCloseKey(key);
    return value;
}

void SetLetterRaw(wchar_t letter, const wchar_t* subkey, DWORD type, const std::string& bytes)
{
    HKEY key = nullptr;
    std::wstring name = DriveIconsKey(letter) + L"\\" + subkey;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot create the letter's subkey";
        return;
    }
    // The registry counts a terminator that follows a text value's bytes
    // as part of it; what follows here is not one.
    std::string data = bytes + "xx";
    RegSetValueExW(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

std::string RegSzBytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

std::wstring ReadLetterValue(wchar_t letter, const wchar_t* subkey)
{
    LetterValue value = ReadLetterRaw(letter, subkey);
    if (!value.exists || (value.type != REG_SZ && value.type != REG_EXPAND_SZ))
        return L"<missing>";
    std::wstring text(value.bytes.size() / sizeof(wchar_t), L'\0');
    memcpy(&text[0], value.bytes.data(), text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

void SetLetterValue(wchar_t letter, const wchar_t* subkey, const std::wstring& value)
{
    SetLetterRaw(letter, subkey, REG_SZ, RegSzBytes(value));
}

bool LetterKeyExists(wchar_t letter)
{
    return RegKeyExists(HKEY_LOCAL_MACHINE, DriveIconsKey(letter), KEY_WOW64_64KEY);
}

bool LetterSubkeyExists(wchar_t letter, const wchar_t* subkey)
{
    return RegKeyExists(HKEY_LOCAL_MACHINE, DriveIconsKey(letter) + L"\\" + subkey, KEY_WOW64_64KEY);
}

void DeleteLetterKey(wchar_t letter)
{
    std::wstring name = DriveIconsKey(letter);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
        RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), KEY_WOW64_64KEY, 0);
    }
    // The view of this process: the 32-bit one for the x86 tests.
    DeleteRegTree(HKEY_LOCAL_MACHINE, name);
}

bool LetterKeyInWow64Node(wchar_t letter)
{
    std::wstring key = std::wstring(L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\") +
                       letter;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// ---------------------------------------------------------------------------
// Redirected DriveIcons

namespace {

const wchar_t kWow64DriveIcons[] = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons";
const wchar_t kDriveIconsTarget[] = L"\\Registry\\Machine\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons";

// Whether the 32-bit view's DriveIcons is a link; with `remove`, deletes it.
bool FindDriveIconsLink(bool remove)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWow64DriveIcons, REG_OPTION_OPEN_LINK,
                      KEY_QUERY_VALUE | DELETE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    bool link = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
                type == REG_LINK;
    if (link && remove) {
        typedef LONG(WINAPI * DeleteKey)(HANDLE);
        auto deleteKey = reinterpret_cast<DeleteKey>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
        link = !(deleteKey && deleteKey(key) == 0);
    }
    RegCloseKey(key);
    return link;
}

}  // namespace

RedirectedDriveIcons::RedirectedDriveIcons()
{
    wasLink_ = FindDriveIconsLink(false);
    if (wasLink_ && FindDriveIconsLink(true)) {
        ADD_FAILURE() << "could not remove the DriveIcons link";
        return;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kWow64DriveIcons, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        ADD_FAILURE() << "could not create the 32-bit view's DriveIcons";
        return;
    }
    RegCloseKey(key);
    ready_ = !FindDriveIconsLink(false);
}

RedirectedDriveIcons::~RedirectedDriveIcons()
{
    HKEY key = nullptr;
    if (!FindDriveIconsLink(false) &&
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWow64DriveIcons, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) ==
            ERROR_SUCCESS) {
        RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kWow64DriveIcons, KEY_WOW64_64KEY, 0);
    }
    if (!wasLink_)
        return;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kWow64DriveIcons, 0, nullptr, REG_OPTION_CREATE_LINK,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK | KEY_WOW64_64KEY, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        ADD_FAILURE() << "could not put the DriveIcons link back";
        return;
    }
    RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(kDriveIconsTarget),
                   static_cast<DWORD>(wcslen(kDriveIconsTarget) * sizeof(wchar_t)));
    RegCloseKey(key);
    EXPECT_TRUE(FindDriveIconsLink(false)) << "the DriveIcons link was not put back";
}

// ---------------------------------------------------------------------------
// Icon files

bool WriteIconFile(const std::wstring& path)
{
    std::string image = IconImage();
    IconDir dir = {0, 1, 1};
    IconDirEntry entry = {kIconSize, kIconSize, 0, 0, 1, 32, static_cast<DWORD>(image.size()),
                          static_cast<DWORD>(sizeof(IconDir) + sizeof(IconDirEntry))};
    std::string bytes(reinterpret_cast<const char*>(&dir), sizeof(dir));
    bytes.append(reinterpret_cast<const char*>(&entry), sizeof(entry));
    bytes += image;
    return WriteBytes(path, bytes);
}

bool WriteIconLibrary(const std::wstring& source, const std::wstring& path, WORD groupId)
{
    if (!CopyFileW(source.c_str(), path.c_str(), FALSE))
        return false;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::string image = IconImage();
    const WORD kImageId = 1;
    IconDir dir = {0, 1, 1};
    GroupIconEntry entry = {kIconSize, kIconSize, 0, 0, 1, 32, static_cast<DWORD>(image.size()), kImageId};
    std::string group(reinterpret_cast<const char*>(&dir), sizeof(dir));
    group.append(reinterpret_cast<const char*>(&entry), sizeof(entry));

    HANDLE update = BeginUpdateResourceW(path.c_str(), FALSE);
    if (!update)
        return false;
    bool ok = UpdateResourceW(update, RT_ICON, MAKEINTRESOURCEW(kImageId), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                              &image[0], static_cast<DWORD>(image.size())) &&
              UpdateResourceW(update, RT_GROUP_ICON, MAKEINTRESOURCEW(groupId),
                              MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), &group[0],
                              static_cast<DWORD>(group.size()));
    return EndUpdateResourceW(update, !ok) && ok;
}
