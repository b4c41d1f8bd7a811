// Text values in the registry, read and written one way for every store and
// for registration.
#pragma once

#include <windows.h>

// Writes `value` as a REG_SZ holding the text and its terminator under
// `name` (null: the key's default value). Returns the registry's result.
LONG WriteRegistryString(HKEY key, PCWSTR name, PCWSTR value);

// What ReadRegistryText found.
struct RegistryText {
    LONG status;  // RegQueryValueExW's result: ERROR_MORE_DATA when the value did not fit
    DWORD type;   // the value's type (REG_NONE when there is none)
    DWORD bytes;  // the value's size in bytes, also when it did not fit
};

// Reads value `name` (null: the default value) into `buffer`, which holds
// `capacity` characters: always terminated, also when the stored value
// carries no terminator of its own. The buffer gets the text only for a
// REG_SZ or REG_EXPAND_SZ value that fits; otherwise it is empty.
RegistryText ReadRegistryText(HKEY key, PCWSTR name, PWSTR buffer, DWORD capacity);
