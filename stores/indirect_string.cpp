#include "indirect_string.h"

#include <strsafe.h>

#include "handle.h"

namespace {

// A signed decimal as the stored form is read: leading white space, one
// sign, digits up to the first non-digit. Magnitudes past the identifier
// range stop growing; such a number names no string anyway.
long long ReadSignedDecimal(PCWSTR text)
{
    while (*text == L' ' || (*text >= L'\t' && *text <= L'\r'))
        ++text;
    bool negative = false;
    if (*text == L'+' || *text == L'-') {
        negative = *text == L'-';
        ++text;
    }
    long long value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        if (value <= 0xFFFF)
            value = value * 10 + (*text - L'0');
    }
    return negative ? -value : value;
}

}  // namespace

bool SplitIndirectString(PCWSTR indirect, size_t maxLength, IndirectParts* parts)
{
    size_t length = 0;
    if (!indirect || FAILED(StringCchLengthW(indirect, maxLength, &length)) || length == 0)
        return false;
    PCWSTR rest = indirect + 1;
    size_t pathLength = length - 1;
    PCWSTR comma = nullptr;
    for (size_t i = pathLength; i > 0; --i) {
        if (rest[i - 1] == L',') {
            comma = rest + i - 1;
            pathLength = i - 1;
            break;
        }
    }
    if (FAILED(StringCchCopyNW(parts->modulePath, MAX_PATH, rest, pathLength)))
        return false;
    long long identifier = comma ? -ReadSignedDecimal(comma + 1) : 0;
    parts->hasIdentifier = identifier >= 0 && identifier <= 0xFFFF;
    parts->identifier = parts->hasIdentifier ? static_cast<UINT>(identifier) : 0;
    return true;
}

bool ExpandModulePath(PCWSTR path, PWSTR expanded)
{
    DWORD needed = ExpandEnvironmentStringsW(path, expanded, MAX_PATH);
    return needed != 0 && needed <= MAX_PATH;
}

HMODULE LoadStringModuleAsData(PCWSTR path)
{
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
        module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return module;
}

bool ReadModuleString(HMODULE module, UINT identifier, PWSTR text, size_t capacity)
{
    if (!text || capacity == 0)
        return false;
    text[0] = L'\0';
    // Strings are kept in blocks of sixteen, block n holding identifiers
    // (n-1)*16 to (n-1)*16+15, each a length followed by its characters.
    HRSRC found = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(identifier / 16 + 1),
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    if (!found)
        return false;
    DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const WORD* block = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    if (!block)
        return false;
    const WORD* end = block + size / sizeof(WORD);
    const WORD* entry = block;
    for (UINT skip = identifier % 16; skip > 0; --skip) {
        if (entry >= end)
            return false;
        entry += 1 + *entry;
    }
    if (entry >= end || *entry == 0)
        return false;
    size_t length = *entry;
    const WCHAR* characters = reinterpret_cast<const WCHAR*>(entry + 1);
    if (characters + length > reinterpret_cast<const WCHAR*>(end))
        return false;
    if (length > capacity - 1)
        length = capacity - 1;
    StringCchCopyNW(text, capacity, characters, length);
    return text[0] != L'\0';
}

bool ResolveIndirectString(PCWSTR indirect, PWSTR text, StringModuleLoader load)
{
    if (!text)
        return false;
    text[0] = L'\0';
    IndirectParts parts;
    if (!SplitIndirectString(indirect, STRSAFE_MAX_CCH, &parts) || !parts.hasIdentifier)
        return false;
    WCHAR expanded[MAX_PATH];
    if (!ExpandModulePath(parts.modulePath, expanded))
        return false;
    AutoLibrary module(load(expanded));
    if (!module)
        return false;
    return ReadModuleString(module.Get(), parts.identifier, text, MAX_PATH);
}
