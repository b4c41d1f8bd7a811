#include "profile.h"

#include "handle.h"

void PrepareUnicodeProfile(PCWSTR path)
{
    AutoFile file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart != 0)
        return;
    static const BYTE kByteOrderMark[] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(file.Get(), kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr);
}

bool IsUtf16WithoutBom(LPCWSTR path)
{
    AutoFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    BYTE head[512];
    DWORD read = 0;
    if (!ReadFile(file.Get(), head, sizeof(head), &read, nullptr) || read == 0)
        return false;
    // UTF-16LE, UTF-16BE and UTF-8 byte-order marks.
    if (read >= 2 && ((head[0] == 0xFF && head[1] == 0xFE) || (head[0] == 0xFE && head[1] == 0xFF)))
        return false;
    if (read >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF)
        return false;
    for (DWORD i = 0; i < read; ++i) {
        if (head[i] == 0)
            return true;
        if (head[i] == '\n')
            return i + 1 < read && head[i + 1] == 0;
    }
    return false;
}

void WriteProfileValue(PCWSTR path, PCWSTR section, PCWSTR key, PCWSTR value)
{
    if (!value || !value[0]) {
        WritePrivateProfileStringW(section, key, nullptr, path);
        return;
    }
    // A file that the profile functions create themselves is written in
    // the ANSI code page, which turns every other character into '?'.
    PrepareUnicodeProfile(path);
    WritePrivateProfileStringW(section, key, value, path);
}
