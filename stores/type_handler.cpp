#include "type_handler.h"

#include <strsafe.h>

#include "handle.h"
#include "registry_text.h"

const WCHAR kInfoTipHandlerKey[] = L"{00021500-0000-0000-C000-000000000046}";
const WCHAR kIconHandlerKey[] = L"IconHandler";

namespace {

const DWORD kProgIdCapacity = MAX_PATH;        // QueryTypeHandler, SetTypeHandler
const DWORD kIconProgIdCapacity = 130;         // GetTypeDefaultIcon
const DWORD kHandlerValueCapacity = 40;        // a 38-character CLSID string
const DWORD kDefaultIconCapacity = 130;
const DWORD kExpandedIconCapacity = MAX_PATH;
const int kFormatArgumentCount = 99;           // inserts %1 to %99

// The default value of root\subkey (of root itself for a null subkey) through
// RegQueryValueW, which reads a key without a default value as the empty
// text. A value that does not fit capacity characters with its terminator
// gives ERROR_MORE_DATA; what is read is always terminated.
LONG ReadDefaultString(HKEY root, PCWSTR subkey, PWSTR buffer, DWORD capacity)
{
    LONG bytes = static_cast<LONG>(capacity * sizeof(WCHAR));
    LONG result = RegQueryValueW(root, subkey, buffer, &bytes);
    if (result != ERROR_SUCCESS)
        return result;
    DWORD chars = static_cast<DWORD>(bytes) / sizeof(WCHAR);
    if (chars >= capacity) {
        // Only a value stored with its terminator fits exactly.
        if (buffer[capacity - 1] != L'\0')
            return ERROR_MORE_DATA;
    } else {
        buffer[chars] = L'\0';
    }
    return ERROR_SUCCESS;
}

// Sets the key's default value to a REG_SZ of the text and its terminator.
void SetDefaultString(HKEY key, PCWSTR value)
{
    WriteRegistryString(key, nullptr, value);
}

// The ProgID that the extension's key names, or false when there is none: no
// key, no readable default value, or an empty one.
bool ReadProgId(PCWSTR extension, PWSTR progId, DWORD capacity)
{
    if (ReadDefaultString(HKEY_CLASSES_ROOT, extension, progId, capacity) != ERROR_SUCCESS)
        return false;
    return progId[0] != L'\0';
}

// The path of a key of the type that the extension names,
// "<ProgID>\<subkey>", for a subkey name of at most 15 characters; the
// ProgID is read with at most progIdCapacity (up to kProgIdCapacity)
// characters. False when the extension names no ProgID.
const DWORD kTypeKeyCapacity = kProgIdCapacity + 16;
bool GetTypeKeyPath(PCWSTR extension, DWORD progIdCapacity, PCWSTR subkey, PWSTR path)
{
    WCHAR progId[kProgIdCapacity];
    if (!ReadProgId(extension, progId, progIdCapacity))
        return false;
    return SUCCEEDED(StringCchPrintfW(path, kTypeKeyCapacity, L"%s\\%s", progId, subkey));
}

// The characters after a "%" that FormatMessageW gives a meaning of its own:
// "%%", "%n", "%r", "%t", "%0", "% ", "%." and "%!".
const WCHAR kFormatEscapes[] = L"%nrt0 .!";

// Copies a "DefaultIcon" value for FormatMessageW so that the only insert
// left is "%1" (alone or as "%1!s!"), which gets the file's path. Every other
// insert ("%2", "%3!s!", "%1!d!", ...) has its "%" escaped and so comes out
// as it stands; it is never handed an argument. FormatMessageW's escapes
// keep their meaning; a "%" before any other character (an environment
// variable such as "%SystemRoot%") also stays as it stands.
bool KeepOnlyPathInsert(PCWSTR value, PWSTR out, size_t capacity)
{
    size_t used = 0;
    auto put = [&](WCHAR c) {
        if (used + 1 >= capacity)
            return false;
        out[used++] = c;
        return true;
    };
    size_t i = 0;
    while (value[i] != L'\0') {
        if (value[i] != L'%') {
            if (!put(value[i++]))
                return false;
            continue;
        }
        WCHAR first = value[i + 1];
        if (first >= L'1' && first <= L'9') {
            // An insert: one or two digits, then an optional "!format!".
            size_t next = i + 2;
            unsigned number = static_cast<unsigned>(first - L'0');
            if (value[next] >= L'0' && value[next] <= L'9')
                number = number * 10 + static_cast<unsigned>(value[next++] - L'0');
            size_t end = next;
            bool plainString = true;
            if (value[next] == L'!') {
                const WCHAR* close = wcschr(value + next + 1, L'!');
                plainString = close && close == value + next + 2 && value[next + 1] == L's';
                end = close ? static_cast<size_t>(close - value) + 1 : next;
            }
            if (number == 1 && plainString) {
                if (!put(L'%') || !put(L'1'))
                    return false;
                i = end;
            } else {
                // "%%" prints one "%"; the digits and any format after it are
                // ordinary text.
                if (!put(L'%') || !put(L'%'))
                    return false;
                i += 1;
            }
            continue;
        }
        if (first != L'\0' && wcschr(kFormatEscapes, first)) {
            // An escape of FormatMessageW's ("%%", "%n", "%0", ...): kept.
            if (!put(value[i]) || !put(first))
                return false;
            i += 2;
            continue;
        }
        // Before any other character FormatMessageW would drop the "%",
        // turning "%SystemRoot%\..." into "SystemRoot\...": keep it.
        if (!put(L'%') || !put(L'%'))
            return false;
        i += 1;
    }
    out[used] = L'\0';
    return true;
}

// The index after the last "," of a default icon: leading white space, an
// optional sign, decimal digits up to the first other character; no digits
// give 0, a magnitude beyond 32 bits the nearest 32-bit bound.
int ParseSignedIndex(PCWSTR text)
{
    while (*text == L' ' || (*text >= L'\t' && *text <= L'\r'))
        ++text;
    bool negative = false;
    if (*text == L'+' || *text == L'-')
        negative = *text++ == L'-';
    long long magnitude = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        magnitude = magnitude * 10 + (*text - L'0');
        if (magnitude > 2147483648LL)
            magnitude = 2147483648LL;
    }
    if (negative)
        return magnitude >= 2147483648LL ? INT_MIN : -static_cast<int>(magnitude);
    return magnitude > 2147483647LL ? INT_MAX : static_cast<int>(magnitude);
}

}  // namespace

PCWSTR GetFileExtension(PCWSTR path)
{
    if (!path)
        return nullptr;
    PCWSTR dot = nullptr;
    for (PCWSTR p = path; *p; ++p) {
        if (*p == L'.')
            dot = p;
        else if (*p == L'\\')
            dot = nullptr;  // a "." in a folder name is not the file's
    }
    return dot;
}

HandlerState QueryTypeHandler(PCWSTR extension, PCWSTR handlerKeyName, PCWSTR clsidString)
{
    if (!extension || !extension[0])
        return Unavailable;

    WCHAR shellexPath[kTypeKeyCapacity];
    if (!GetTypeKeyPath(extension, kProgIdCapacity, L"shellex", shellexPath))
        return NoProgId;
    AutoRegKey shellex;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, shellexPath, 0, KEY_READ, shellex.Receive()) != ERROR_SUCCESS)
        return NotRegistered;

    WCHAR value[kHandlerValueCapacity];
    LONG result = ReadDefaultString(shellex.Get(), handlerKeyName, value, ARRAYSIZE(value));
    shellex.Reset();
    if (result == ERROR_MORE_DATA)
        return Unavailable;  // longer than any CLSID: another program's handler
    if (result != ERROR_SUCCESS || value[0] == L'\0')
        return NotRegistered;
    return wcscmp(value, clsidString) == 0 ? RegisteredHere : Unavailable;
}

HRESULT SetTypeHandler(PCWSTR extension, PCWSTR handlerKeyName, PCWSTR value)
{
    if (!extension || extension[0] != L'.')
        return E_FAIL;

    AutoRegKey extensionKey;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, extension, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        nullptr, extensionKey.Receive(), &disposition) != ERROR_SUCCESS)
        return E_FAIL;

    WCHAR progId[kProgIdCapacity] = L"";
    AutoRegKey progIdKey;
    if (disposition == REG_CREATED_NEW_KEY) {
        // A new type: ".abc" is named "abcfile".
        if (FAILED(StringCchPrintfW(progId, ARRAYSIZE(progId), L"%sfile", extension + 1)))
            return E_FAIL;
        SetDefaultString(extensionKey.Get(), progId);
        RegCreateKeyExW(HKEY_CLASSES_ROOT, progId, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        progIdKey.Receive(), nullptr);
    } else {
        // One character more than the ProgID holds: a stored value that
        // fills it only with its own terminator still fits.
        WCHAR stored[ARRAYSIZE(progId) + 1];
        RegistryText read = ReadRegistryText(extensionKey.Get(), nullptr, stored, ARRAYSIZE(stored));
        progId[0] = L'\0';
        if (read.status == ERROR_SUCCESS && lstrlenW(stored) < static_cast<int>(ARRAYSIZE(progId)))
            StringCchCopyW(progId, ARRAYSIZE(progId), stored);
        // Without a ProgID there is no type key to write below; opening ""
        // would give HKEY_CLASSES_ROOT itself.
        if (progId[0] != L'\0')
            RegOpenKeyExW(HKEY_CLASSES_ROOT, progId, 0, KEY_WRITE, progIdKey.Receive());
    }
    extensionKey.Reset();
    if (!progIdKey)
        return E_FAIL;

    WCHAR handlerPath[64];
    if (FAILED(StringCchPrintfW(handlerPath, ARRAYSIZE(handlerPath), L"ShellEx\\%s", handlerKeyName)))
        return E_FAIL;
    if (value && value[0]) {
        AutoRegKey handlerKey;
        if (RegCreateKeyExW(progIdKey.Get(), handlerPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, handlerKey.Receive(), nullptr) == ERROR_SUCCESS)
            SetDefaultString(handlerKey.Get(), value);
    } else {
        // Only the handler key goes; its ShellEx key stays.
        RegDeleteKeyW(progIdKey.Get(), handlerPath);
    }
    return S_OK;
}

void SwitchOffTypeHandlers(PCWSTR clsidString)
{
    const PCWSTR kinds[] = {kInfoTipHandlerKey, kIconHandlerKey};
    // Switching a handler off changes keys below a ProgID, never the list of
    // keys being walked.
    WCHAR name[256];  // the longest key name has 255 characters
    for (DWORD index = 0;; ++index) {
        DWORD length = ARRAYSIZE(name);
        LONG result = RegEnumKeyExW(HKEY_CLASSES_ROOT, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || name[0] != L'.')
            continue;
        for (PCWSTR kind : kinds) {
            if (QueryTypeHandler(name, kind, clsidString) == RegisteredHere)
                SetTypeHandler(name, kind, nullptr);
        }
    }
}

bool CanWriteTypeKey(PCWSTR extension)
{
    AutoRegKey key;
    PCWSTR subkey = extension && extension[0] ? extension : nullptr;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, subkey, 0, KEY_WRITE, key.Receive()) == ERROR_SUCCESS;
}

HRESULT GetTypeDefaultIcon(PCWSTR filePath, PWSTR location, UINT capacity, int* index)
{
    if (!location || !index || capacity == 0)
        return E_FAIL;
    PCWSTR extension = GetFileExtension(filePath);
    if (!extension)
        return E_FAIL;

    WCHAR iconKey[kTypeKeyCapacity];
    if (!GetTypeKeyPath(extension, kIconProgIdCapacity, L"DefaultIcon", iconKey))
        return E_FAIL;
    WCHAR value[kDefaultIconCapacity];
    if (ReadDefaultString(HKEY_CLASSES_ROOT, iconKey, value, ARRAYSIZE(value)) != ERROR_SUCCESS)
        return E_FAIL;

    // Any program can write this value: hand FormatMessageW a template whose
    // only insert is the file's path.
    WCHAR pattern[kDefaultIconCapacity * 2];
    if (!KeepOnlyPathInsert(value, pattern, ARRAYSIZE(pattern)))
        return E_FAIL;
    DWORD_PTR arguments[kFormatArgumentCount];
    arguments[0] = reinterpret_cast<DWORD_PTR>(filePath);
    for (int i = 1; i < kFormatArgumentCount; ++i)
        arguments[i] = reinterpret_cast<DWORD_PTR>(L"");
    WCHAR expanded[kExpandedIconCapacity];
    if (FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, pattern, 0, 0x400, expanded,
                       ARRAYSIZE(expanded), reinterpret_cast<va_list*>(arguments)) == 0)
        return E_FAIL;
    expanded[ARRAYSIZE(expanded) - 1] = L'\0';

    int iconIndex = 0;
    WCHAR* comma = wcsrchr(expanded, L',');
    if (comma) {
        *comma = L'\0';
        iconIndex = ParseSignedIndex(comma + 1);
    }
    size_t length = 0;
    if (FAILED(StringCchLengthW(expanded, ARRAYSIZE(expanded), &length)) || length >= capacity)
        return E_FAIL;
    StringCchCopyW(location, capacity, expanded);
    *index = iconIndex;
    return S_OK;
}
