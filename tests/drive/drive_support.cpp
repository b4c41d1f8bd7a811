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
            DeleteRegTree(HKEY_LOCAL_MACHINE, DriveIconsKey(letter_));
            return;
        }
    }
    ADD_FAILURE() << "could not give the temporary folder a drive letter";
}

TempDrive::~TempDrive()
{
    if (!letter_)
        return;
    DeleteRegTree(HKEY_LOCAL_MACHINE, DriveIconsKey(letter_));
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

std::wstring ReadLetterValue(wchar_t letter, const wchar_t* subkey)
{
    return ReadRegString(HKEY_LOCAL_MACHINE, DriveIconsKey(letter) + L"\\" + subkey, nullptr);
}

void SetLetterValue(wchar_t letter, const wchar_t* subkey, const std::wstring& value)
{
    SetRegString(HKEY_LOCAL_MACHINE, DriveIconsKey(letter) + L"\\" + subkey, nullptr, value);
}

bool LetterKeyExists(wchar_t letter)
{
    return RegKeyExists(HKEY_LOCAL_MACHINE, DriveIconsKey(letter));
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
