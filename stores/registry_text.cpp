#include "registry_text.h"

#include <strsafe.h>

LONG WriteRegistryString(HKEY key, PCWSTR name, PCWSTR value)
{
    size_t length = 0;
    if (FAILED(StringCchLengthW(value, STRSAFE_MAX_CCH, &length)))
        return ERROR_INVALID_PARAMETER;
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>((length + 1) * sizeof(WCHAR)));
}

RegistryText ReadRegistryText(HKEY key, PCWSTR name, PWSTR buffer, DWORD capacity)
{
    RegistryText found = {ERROR_INVALID_PARAMETER, REG_NONE, 0};
    if (!buffer || capacity == 0)
        return found;
    buffer[0] = L'\0';
    // Room for a terminator of our own after the longest value taken.
    found.bytes = (capacity - 1) * sizeof(WCHAR);
    found.status = RegQueryValueExW(key, name, nullptr, &found.type, reinterpret_cast<BYTE*>(buffer), &found.bytes);
    if (found.status == ERROR_FILE_NOT_FOUND)
        found.bytes = 0;
    if (found.status != ERROR_SUCCESS || (found.type != REG_SZ && found.type != REG_EXPAND_SZ)) {
        buffer[0] = L'\0';
        return found;
    }
    buffer[found.bytes / sizeof(WCHAR)] = L'\0';
    return found;
}
