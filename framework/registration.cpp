// Self-registration: the class with its server path, the class's entry in
// the handler list of the deliverable's kind of item, and its entry in the
// approved list. Machine-wide through DllRegisterServer and
// DllUnregisterServer; for the current user alone through DllInstall with
// the command line "user" (regsvr32 /n /i:user, and /u /n /i:user).
#include <windows.h>
#include <shlobj.h>
#include <strsafe.h>

#include "deliverable.h"
#include "handle.h"
#include "module.h"
#include "registry_text.h"

namespace {

// Where an entry is written.
enum class Place {
    // A key of the class's own below the classes root: HKEY_CLASSES_ROOT for
    // a machine-wide registration, HKEY_CURRENT_USER\Software\Classes for a
    // per-user one. Unregistration deletes the key.
    Class,
    // The class's subkey of the shell's handler list, below the same classes
    // root. Machine-wide the list is opened, never created: it belongs to
    // the shell. The per-user classes hold no list until something is
    // registered there, so per-user the list is created. Unregistration
    // deletes the subkey and leaves the list.
    HandlerList,
    // A value in a key of HKEY_LOCAL_MACHINE that other programs share.
    // Written by the machine-wide registration only: the approved list is a
    // machine policy that a user may not extend. Unregistration deletes the
    // value and leaves the key.
    MachineValue,
};

// Every registry entry of a deliverable, in the order it is written; they
// are removed in the reverse order. In the texts, {clsid} is the class id
// string (with braces), {handlers} the handler-list key of the deliverable,
// {name} its display name and {path} the full path of the library. Every
// value is a REG_SZ; an entry without data is a key alone.
struct RegistryEntry {
    Place place;
    PCWSTR key;
    PCWSTR valueName;  // null: the key's default value
    PCWSTR data;       // null: no value, the key alone
};

const RegistryEntry kRegistryEntries[] = {
    // place             key                                 value name          data
    {Place::Class,       L"CLSID\\{clsid}",                  nullptr,            L"{name}"},
    {Place::Class,       L"CLSID\\{clsid}\\InProcServer32",  nullptr,            L"{path}"},
    {Place::Class,       L"CLSID\\{clsid}\\InProcServer32",  L"ThreadingModel",  L"Apartment"},
    {Place::HandlerList, L"{handlers}\\{clsid}",             nullptr,            nullptr},
    {Place::MachineValue,
     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", L"{clsid}", L"{name}"},
};

enum class Scope { Machine, User };

const WCHAR kUserClassesKey[] = L"Software\\Classes";
const WCHAR kUserCommandLine[] = L"user";

// SHCNF_FLUSHNOWAIT as the shell headers of the XP era define it.
const UINT kAssocChangedFlags = SHCNF_IDLIST | 0x2000;

// Replaces the placeholders of an entry's text; false when the result does
// not fit (a cut key name or path would name something else).
bool ExpandEntryText(PCWSTR pattern, PCWSTR modulePath, PWSTR out, size_t capacity)
{
    struct Placeholder {
        PCWSTR name;
        PCWSTR value;
    };
    const Placeholder placeholders[] = {
        {L"{clsid}", ThisDeliverable.clsidString},
        {L"{handlers}", ThisDeliverable.handlerListKey},
        {L"{name}", ThisDeliverable.displayName},
        {L"{path}", modulePath},
    };
    out[0] = L'\0';
    for (PCWSTR p = pattern; *p;) {
        const Placeholder* found = nullptr;
        for (const Placeholder& placeholder : placeholders) {
            size_t length = static_cast<size_t>(lstrlenW(placeholder.name));
            if (wcsncmp(p, placeholder.name, length) == 0) {
                found = &placeholder;
                p += length;
                break;
            }
        }
        HRESULT hr = found ? StringCchCatW(out, capacity, found->value) : StringCchCatNW(out, capacity, p++, 1);
        if (FAILED(hr))
            return false;
    }
    return true;
}

// The entry's key name and value name, expanded.
struct EntryNames {
    WCHAR key[MAX_PATH];
    WCHAR value[64];
};

bool ExpandEntryNames(const RegistryEntry& entry, EntryNames* names)
{
    names->value[0] = L'\0';
    return ExpandEntryText(entry.key, L"", names->key, ARRAYSIZE(names->key)) &&
           (!entry.valueName || ExpandEntryText(entry.valueName, L"", names->value, ARRAYSIZE(names->value)));
}

// Whether a registration of this scope writes entries of this place.
bool ScopeWrites(Scope scope, Place place)
{
    return scope == Scope::Machine || place != Place::MachineValue;
}

// The key below which an entry of this scope lives: a predefined key, or
// the per-user classes key, which is created when `create` is set.
LONG OpenEntryRoot(Scope scope, Place place, bool create, AutoRegKey* root, HKEY* base)
{
    if (place == Place::MachineValue || scope == Scope::Machine) {
        *base = place == Place::MachineValue ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
        return ERROR_SUCCESS;
    }
    LONG result = create ? RegCreateKeyExW(HKEY_CURRENT_USER, kUserClassesKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_WRITE, nullptr, root->Receive(), nullptr)
                         : RegOpenKeyExW(HKEY_CURRENT_USER, kUserClassesKey, 0, KEY_READ | KEY_WRITE,
                                         root->Receive());
    *base = root->Get();
    return result;
}

bool SetStringValue(HKEY key, PCWSTR name, PCWSTR value)
{
    return WriteRegistryString(key, name, value) == ERROR_SUCCESS;
}

bool CreateKey(HKEY base, PCWSTR name, AutoRegKey* key)
{
    return RegCreateKeyExW(base, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key->Receive(),
                           nullptr) == ERROR_SUCCESS;
}

// Writes one entry; false when any of its keys or its value could not be
// written.
bool WriteEntry(Scope scope, const RegistryEntry& entry, PCWSTR modulePath)
{
    EntryNames names;
    if (!ExpandEntryNames(entry, &names))
        return false;
    WCHAR data[MAX_PATH] = L"";
    if (entry.data && !ExpandEntryText(entry.data, modulePath, data, ARRAYSIZE(data)))
        return false;

    if (!ScopeWrites(scope, entry.place))
        return true;
    AutoRegKey root;
    HKEY base = nullptr;
    if (OpenEntryRoot(scope, entry.place, true, &root, &base) != ERROR_SUCCESS)
        return false;

    AutoRegKey key;
    if (entry.place == Place::HandlerList && scope == Scope::Machine) {
        // The shell's list: its key is everything before the last backslash.
        PWSTR last = wcsrchr(names.key, L'\\');
        if (!last)
            return false;
        *last = L'\0';
        AutoRegKey list;
        if (RegOpenKeyExW(base, names.key, 0, KEY_WRITE, list.Receive()) != ERROR_SUCCESS ||
            !CreateKey(list.Get(), last + 1, &key))
            return false;
    } else if (!CreateKey(base, names.key, &key)) {
        return false;
    }
    return !entry.data || SetStringValue(key.Get(), entry.valueName ? names.value : nullptr, data);
}

// Removes one entry (the key of a Class or HandlerList entry, the value of a
// MachineValue entry). Returns whether it is gone afterwards; an entry that
// was never there counts as removed.
bool RemoveEntry(Scope scope, const RegistryEntry& entry)
{
    EntryNames names;
    if (!ExpandEntryNames(entry, &names))
        return false;
    if (!ScopeWrites(scope, entry.place))
        return true;
    AutoRegKey root;
    HKEY base = nullptr;
    LONG opened = OpenEntryRoot(scope, entry.place, false, &root, &base);
    if (opened == ERROR_FILE_NOT_FOUND)
        return true;
    if (opened != ERROR_SUCCESS)
        return false;

    if (entry.place != Place::MachineValue) {
        LONG result = RegDeleteKeyW(base, names.key);
        if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
            return true;
        AutoRegKey left;
        return RegOpenKeyExW(base, names.key, 0, KEY_READ, left.Receive()) == ERROR_FILE_NOT_FOUND;
    }
    AutoRegKey key;
    opened = RegOpenKeyExW(base, names.key, 0, KEY_READ | KEY_WRITE, key.Receive());
    if (opened == ERROR_FILE_NOT_FOUND)
        return true;
    if (opened != ERROR_SUCCESS)
        return false;
    LONG result = RegDeleteValueW(key.Get(), names.value);
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND)
        return true;
    return RegQueryValueExW(key.Get(), names.value, nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND;
}

HRESULT RegisterIn(Scope scope)
{
    // A path cut to fit would register a library that does not exist.
    WCHAR modulePath[MAX_PATH] = L"";
    DWORD length = GetModuleFileNameW(ModuleInstance, modulePath, ARRAYSIZE(modulePath));
    if (length == 0 || length >= ARRAYSIZE(modulePath))
        return E_FAIL;

    for (const RegistryEntry& entry : kRegistryEntries) {
        if (!WriteEntry(scope, entry, modulePath))
            return E_FAIL;
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, kAssocChangedFlags, nullptr, nullptr);
    return S_OK;
}

HRESULT UnregisterIn(Scope scope)
{
    // Settings outside the class's own keys that name the class: once the
    // class is gone they would send Explorer to a class that does not exist.
    if (ThisDeliverable.dropClassReferences)
        ThisDeliverable.dropClassReferences(ThisDeliverable.clsidString);

    // Every entry is tried, so that an entry already gone (the handler-list
    // entry that two builds of a library share) does not keep the others.
    bool allGone = true;
    for (size_t i = ARRAYSIZE(kRegistryEntries); i-- > 0;) {
        if (!RemoveEntry(scope, kRegistryEntries[i]))
            allGone = false;
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, kAssocChangedFlags, nullptr, nullptr);
    return allGone ? S_OK : E_FAIL;
}

}  // namespace

STDAPI DllRegisterServer()
{
    return RegisterIn(Scope::Machine);
}

STDAPI DllUnregisterServer()
{
    return UnregisterIn(Scope::Machine);
}

// "user" is the only command line: the per-user registration (bInstall
// nonzero) or its removal.
STDAPI DllInstall(BOOL install, PCWSTR commandLine)
{
    if (!commandLine || lstrcmpiW(commandLine, kUserCommandLine) != 0)
        return E_INVALIDARG;
    return install ? RegisterIn(Scope::User) : UnregisterIn(Scope::User);
}
