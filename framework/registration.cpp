// Self-registration below HKEY_CLASSES_ROOT: the CLSID with its server path,
// and the CLSID's entry in the handler list of the deliverable's kind of item.
#include <windows.h>
#include <shlobj.h>
#include <strsafe.h>

#include "deliverable.h"
#include "handle.h"
#include "module.h"

namespace {

// SHCNF_FLUSHNOWAIT as the shell headers of the XP era define it.
const UINT kAssocChangedFlags = SHCNF_IDLIST | 0x2000;

void SetStringValue(HKEY key, PCWSTR name, PCWSTR value)
{
    DWORD bytes = static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(WCHAR));
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes);
}

}  // namespace

STDAPI DllRegisterServer()
{
    WCHAR keyName[MAX_PATH];
    if (FAILED(StringCchPrintfW(keyName, ARRAYSIZE(keyName), L"CLSID\\%s", ThisDeliverable.clsidString)))
        return E_FAIL;

    AutoRegKey clsidKey;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, keyName, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, clsidKey.Receive(), nullptr) != ERROR_SUCCESS)
        return E_FAIL;
    SetStringValue(clsidKey.Get(), nullptr, ThisDeliverable.displayName);

    WCHAR modulePath[MAX_PATH] = L"";
    GetModuleFileNameW(ModuleInstance, modulePath, ARRAYSIZE(modulePath));

    AutoRegKey serverKey;
    if (RegCreateKeyExW(clsidKey.Get(), L"InProcServer32", 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, serverKey.Receive(), nullptr) == ERROR_SUCCESS) {
        SetStringValue(serverKey.Get(), nullptr, modulePath);
        SetStringValue(serverKey.Get(), L"ThreadingModel", L"Apartment");
    }
    serverKey.Reset();
    clsidKey.Reset();

    // The handler list is opened, never created: it belongs to the shell.
    AutoRegKey listKey;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, ThisDeliverable.handlerListKey, 0, KEY_WRITE, listKey.Receive()) !=
        ERROR_SUCCESS)
        return E_FAIL;
    AutoRegKey entryKey;
    if (RegCreateKeyExW(listKey.Get(), ThisDeliverable.clsidString, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, entryKey.Receive(), nullptr) != ERROR_SUCCESS)
        return E_FAIL;
    entryKey.Reset();
    listKey.Reset();

    SHChangeNotify(SHCNE_ASSOCCHANGED, kAssocChangedFlags, nullptr, nullptr);
    return S_OK;
}

STDAPI DllUnregisterServer()
{
    AutoRegKey listKey;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, ThisDeliverable.handlerListKey, 0, KEY_WRITE, listKey.Receive()) !=
        ERROR_SUCCESS)
        return E_FAIL;
    if (RegDeleteKeyW(listKey.Get(), ThisDeliverable.clsidString) != ERROR_SUCCESS)
        return E_FAIL;
    listKey.Reset();

    SHChangeNotify(SHCNE_ASSOCCHANGED, kAssocChangedFlags, nullptr, nullptr);

    AutoRegKey classesKey;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_ALL_ACCESS, classesKey.Receive()) != ERROR_SUCCESS)
        return E_FAIL;
    WCHAR serverKeyName[MAX_PATH];
    if (FAILED(StringCchPrintfW(serverKeyName, ARRAYSIZE(serverKeyName), L"%s\\%s",
                                ThisDeliverable.clsidString, L"InProcServer32")))
        return E_FAIL;
    if (RegDeleteKeyW(classesKey.Get(), serverKeyName) != ERROR_SUCCESS)
        return E_FAIL;
    if (RegDeleteKeyW(classesKey.Get(), ThisDeliverable.clsidString) != ERROR_SUCCESS)
        return E_FAIL;
    return S_OK;
}
