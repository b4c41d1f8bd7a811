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
