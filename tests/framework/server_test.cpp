// The COM server of one deliverable (DRESS_UNDER_TEST names it): exports,
// class factory, module count and self-registration, through the real DLL.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "deliverables.h"
#include "host.h"

namespace {

const DeliverableInfo& Info()
{
    return DRESS_UNDER_TEST;
}

const Deliverable& Dll()
{
    static Deliverable dll = Deliverable::Load(Info().dll);
    return dll;
}

std::wstring ClsidKey()
{
    return std::wstring(L"CLSID\\") + Info().clsidString;
}

std::wstring HandlerEntryKey()
{
    return std::wstring(Info().handlerList) + L"\\" + Info().clsidString;
}

const wchar_t kApprovedKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const wchar_t kUserClasses[] = L"Software\\Classes\\";
const wchar_t kMachineClasses[] = L"SOFTWARE\\Classes\\";

std::wstring ApprovedEntry(REGSAM view = 0)
{
    return ReadRegString(HKEY_LOCAL_MACHINE, kApprovedKey, Info().clsidString, L"<missing>", view);
}

std::wstring Quoted(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}

// {6E1C1E44-0000-4000-8000-00000000D0D0}: a class no deliverable serves.
const CLSID kOtherClsid = {0x6E1C1E44, 0x0000, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD0, 0xD0}};

void ExpectRegistered()
{
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, ClsidKey(), nullptr), Info().displayName);
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, ClsidKey() + L"\\InProcServer32", nullptr), Dll().Path());
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, ClsidKey() + L"\\InProcServer32", L"ThreadingModel"),
              L"Apartment");
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, HandlerEntryKey()));
    // The key name alone is what Explorer reads: no value is written.
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, HandlerEntryKey(), nullptr), L"<missing>");
    EXPECT_EQ(ApprovedEntry(), Info().displayName);
}

void ExpectUnregistered()
{
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, ClsidKey()));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, HandlerEntryKey()));
    EXPECT_EQ(ApprovedEntry(), L"<missing>");
    // The approved list is shared with every other extension.
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kApprovedKey));
    // The shell's own handler list stays.
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, Info().handlerList));
}

TEST(ClassFactory, ServesOnlyItsOwnClassAndFactoryInterfaces)
{
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(Dll().getClassObject(kOtherClsid, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);

    for (REFIID riid : {IID_IUnknown, IID_IClassFactory}) {
        IUnknown* factory = nullptr;
        ASSERT_EQ(Dll().getClassObject(*Info().clsid, riid, reinterpret_cast<void**>(&factory)), S_OK);
        ASSERT_NE(factory, nullptr);
        // The caller holds the only reference, and a factory does not hold
        // the module.
        EXPECT_EQ(RefCount(factory), 1u);
        EXPECT_EQ(Dll().canUnloadNow(), S_OK);
        factory->Release();
    }

    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(Dll().getClassObject(*Info().clsid, IID_IShellExtInit, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);
}

TEST(ClassFactory, RefusesAggregationAndForeignInterfacesWithoutCreating)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(Dll().getClassObject(*Info().clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);

    int outer = 0;  // never called: the factory must refuse before using it
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(&outer), IID_IUnknown, &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);

    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDataObject, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);

    // The handler interfaces belong to the file extension alone.
    for (REFIID riid : {IID_IPersistFile, IID_IQueryInfo, IID_IExtractIconW}) {
        object = nullptr;
        HRESULT hr = factory->CreateInstance(nullptr, riid, &object);
        if (Info().fileHandlers) {
            EXPECT_EQ(hr, S_OK);
            ASSERT_NE(object, nullptr);
            static_cast<IUnknown*>(object)->Release();
        } else {
            EXPECT_EQ(hr, E_NOINTERFACE);
            EXPECT_EQ(object, nullptr);
        }
    }
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);
    factory->Release();
}

TEST(ClassFactory, LockServerHoldsTheModule)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(Dll().getClassObject(*Info().clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory->Release();
    EXPECT_EQ(Dll().canUnloadNow(), S_FALSE);

    ASSERT_EQ(Dll().getClassObject(*Info().clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(Dll().canUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);
    factory->Release();
}

TEST(ExtensionObject, InterfacesShareOneIdentityAndOneCount)
{
    IShellPropSheetExt* sheetExt = nullptr;
    ASSERT_EQ(Dll().Create(*Info().clsid, IID_IShellPropSheetExt, reinterpret_cast<void**>(&sheetExt)), S_OK);
    EXPECT_EQ(RefCount(sheetExt), 1u);
    EXPECT_EQ(Dll().canUnloadNow(), S_FALSE);

    IShellExtInit* init = nullptr;
    ASSERT_EQ(sheetExt->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
    IUnknown* unknownFromInit = nullptr;
    IUnknown* unknownFromSheet = nullptr;
    ASSERT_EQ(init->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknownFromInit)), S_OK);
    ASSERT_EQ(sheetExt->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknownFromSheet)), S_OK);
    // IUnknown is the first interface, IShellExtInit.
    EXPECT_EQ(unknownFromInit, unknownFromSheet);
    EXPECT_EQ(static_cast<void*>(unknownFromInit), static_cast<void*>(init));
    EXPECT_NE(static_cast<void*>(init), static_cast<void*>(sheetExt));
    EXPECT_EQ(RefCount(sheetExt), 4u);

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(sheetExt->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(sheetExt->ReplacePage(0, nullptr, 0), E_NOTIMPL);

    if (Info().fileHandlers) {
        for (REFIID riid : {IID_IPersistFile, IID_IQueryInfo, IID_IExtractIconW}) {
            IUnknown* other = nullptr;
            ASSERT_EQ(sheetExt->QueryInterface(riid, reinterpret_cast<void**>(&other)), S_OK);
            IUnknown* back = nullptr;
            ASSERT_EQ(other->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
            EXPECT_EQ(back, unknownFromInit);
            back->Release();
            other->Release();
        }
    }

    unknownFromSheet->Release();
    unknownFromInit->Release();
    init->Release();
    EXPECT_EQ(sheetExt->Release(), 0u);
    EXPECT_EQ(Dll().canUnloadNow(), S_OK);
}

TEST(Registration, WritesExactlyItsEntriesAndRemovesThemAgain)
{
    ASSERT_EQ(Dll().registerServer(), S_OK);
    ExpectRegistered();

    // Registering again overwrites with the current values.
    SetRegString(HKEY_CLASSES_ROOT, ClsidKey(), nullptr, L"stale name");
    SetRegString(HKEY_CLASSES_ROOT, ClsidKey() + L"\\InProcServer32", nullptr, L"C:\\old\\place.dll");
    ASSERT_EQ(Dll().registerServer(), S_OK);
    ExpectRegistered();

    ASSERT_EQ(Dll().unregisterServer(), S_OK);
    ExpectUnregistered();
    // Nothing is left to remove: a second unregistration succeeds as well.
    EXPECT_EQ(Dll().unregisterServer(), S_OK);
    ExpectUnregistered();
}

TEST(Registration, FailsWithoutTheShellsHandlerListButUnregistersWithout)
{
    // The handler list is the shell's: registration opens it and never
    // creates it.
    std::wstring list = Info().handlerList;
    DeleteRegTree(HKEY_CLASSES_ROOT, list);
    EXPECT_EQ(Dll().registerServer(), E_FAIL);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, list));
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, ClsidKey(), nullptr), Info().displayName);

    // Without the list there is no handler entry to remove; the class goes.
    EXPECT_EQ(Dll().unregisterServer(), S_OK);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, ClsidKey()));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, list));

    HKEY restored = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, list.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &restored,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(restored);
    ASSERT_EQ(Dll().registerServer(), S_OK);
    ASSERT_EQ(Dll().unregisterServer(), S_OK);
    ExpectUnregistered();
}

TEST(Registration, Regsvr32RegistersAndUnregisters)
{
    std::wstring quoted = L"\"" + Dll().Path() + L"\"";
    ASSERT_EQ(RunRegsvr32(L"/s " + quoted), 0u);
    ExpectRegistered();
    ASSERT_EQ(RunRegsvr32(L"/s /u " + quoted), 0u);
    ExpectUnregistered();
}

// The deliverable's registry calls as a test sees them: each call of a
// watched function is counted, the one numbered refuseAt (from 0) fails
// with ERROR_ACCESS_DENIED without reaching the platform, and the
// predefined keys the calls start from are recorded.
struct RegistryWatch {
    int calls = 0;
    int refuseAt = -1;
    std::vector<HKEY> roots;

    bool Refuse(HKEY key)
    {
        for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS}) {
            if (key == root)
                roots.push_back(key);
        }
        return calls++ == refuseAt;
    }
};
RegistryWatch g_watch;
decltype(&RegCreateKeyExW) RealCreateKey = nullptr;
decltype(&RegOpenKeyExW) RealOpenKey = nullptr;
decltype(&RegSetValueExW) RealSetValue = nullptr;

LONG WINAPI WatchedCreateKey(HKEY key, LPCWSTR subkey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                             LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition)
{
    if (g_watch.Refuse(key))
        return ERROR_ACCESS_DENIED;
    return RealCreateKey(key, subkey, reserved, keyClass, options, access, security, result, disposition);
}

LONG WINAPI WatchedOpenKey(HKEY key, LPCWSTR subkey, DWORD options, REGSAM access, PHKEY result)
{
    if (g_watch.Refuse(key))
        return ERROR_ACCESS_DENIED;
    return RealOpenKey(key, subkey, options, access, result);
}

LONG WINAPI WatchedSetValue(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD bytes)
{
    if (g_watch.Refuse(key))
        return ERROR_ACCESS_DENIED;
    return RealSetValue(key, name, reserved, type, data, bytes);
}

struct WatchedFunction {
    const char* name;
    void* replacement;
    void** real;
};
const WatchedFunction kWatchedFunctions[] = {
    {"RegCreateKeyExW", reinterpret_cast<void*>(&WatchedCreateKey), reinterpret_cast<void**>(&RealCreateKey)},
    {"RegOpenKeyExW", reinterpret_cast<void*>(&WatchedOpenKey), reinterpret_cast<void**>(&RealOpenKey)},
    {"RegSetValueExW", reinterpret_cast<void*>(&WatchedSetValue), reinterpret_cast<void**>(&RealSetValue)},
};

// GetModuleFileNameW as it answers for a path longer than the buffer.
DWORD WINAPI CutModuleFileName(HMODULE, LPWSTR buffer, DWORD capacity)
{
    for (DWORD i = 0; i + 1 < capacity; ++i)
        buffer[i] = L'a';
    buffer[capacity - 1] = L'\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return capacity;
}

// The two ways to register: machine-wide, and for the current user alone.
struct RegistrationWay {
    const char* name;
    HRESULT (*doRegister)();
    HRESULT (*undo)();
    std::wstring (*classKey)();  // the class key, below HKEY_CURRENT_USER for a per-user registration
    HKEY classRoot;
};
const RegistrationWay kRegistrationWays[] = {
    {"DllRegisterServer", [] { return Dll().registerServer(); }, [] { return Dll().unregisterServer(); },
     [] { return ClsidKey(); }, HKEY_CLASSES_ROOT},
    {"DllInstall(user)", [] { return Dll().install(TRUE, L"user"); }, [] { return Dll().install(FALSE, L"user"); },
     [] { return kUserClasses + ClsidKey(); }, HKEY_CURRENT_USER},
};

TEST(Registration, FailsWhenAnyKeyOrValueIsRefusedOrThePathWasCut)
{
    for (const RegistrationWay& way : kRegistrationWays) {
        for (const WatchedFunction& function : kWatchedFunctions) {
            ImportPatch patch(Dll().module, "advapi32.dll", function.name, function.replacement);
            ASSERT_TRUE(patch.Installed()) << function.name;
            *function.real = patch.Original<void*>();

            g_watch = RegistryWatch();
            ASSERT_EQ(way.doRegister(), S_OK) << way.name;
            int calls = g_watch.calls;
            ASSERT_EQ(way.undo(), S_OK) << way.name;
            // Every call that registration makes is needed.
            for (int refused = 0; refused < calls; ++refused) {
                g_watch = RegistryWatch();
                g_watch.refuseAt = refused;
                EXPECT_EQ(way.doRegister(), E_FAIL)
                    << way.name << " with call " << refused << " of " << calls << " to " << function.name
                    << " refused";
                g_watch.refuseAt = -1;
                EXPECT_EQ(way.undo(), S_OK) << way.name;
            }
        }

        // A cut path would name another file: nothing is written.
        {
            ImportPatch patch(Dll().module, "kernel32.dll", "GetModuleFileNameW",
                              reinterpret_cast<void*>(&CutModuleFileName));
            ASSERT_TRUE(patch.Installed());
            EXPECT_EQ(way.doRegister(), E_FAIL) << way.name;
        }
        EXPECT_FALSE(RegKeyExists(way.classRoot, way.classKey())) << way.name;
        EXPECT_FALSE(RegKeyExists(way.classRoot, way.classKey() + L"\\InProcServer32")) << way.name;
    }
    ExpectUnregistered();
}

TEST(Registration, PerUserRegistrationWritesOnlyBelowTheCurrentUser)
{
    std::wstring userClass = kUserClasses + ClsidKey();
    std::wstring userEntry = kUserClasses + HandlerEntryKey();
    {
        ImportPatch create(Dll().module, "advapi32.dll", "RegCreateKeyExW",
                           reinterpret_cast<void*>(&WatchedCreateKey));
        ImportPatch open(Dll().module, "advapi32.dll", "RegOpenKeyExW", reinterpret_cast<void*>(&WatchedOpenKey));
        ASSERT_TRUE(create.Installed());
        RealCreateKey = create.Original<decltype(RealCreateKey)>();
        RealOpenKey = open.Original<decltype(RealOpenKey)>();
        g_watch = RegistryWatch();
        ASSERT_EQ(Dll().install(TRUE, L"user"), S_OK);
    }
    ASSERT_FALSE(g_watch.roots.empty());
    for (HKEY root : g_watch.roots)
        EXPECT_EQ(root, HKEY_CURRENT_USER);

    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, userClass, nullptr), Info().displayName);
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, userClass + L"\\InProcServer32", nullptr), Dll().Path());
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, userClass + L"\\InProcServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, userEntry));
    // Nothing machine-wide: no class, no handler entry, no approval.
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kMachineClasses + ClsidKey()));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kMachineClasses + HandlerEntryKey()));
    EXPECT_EQ(ApprovedEntry(), L"<missing>");

    // regsvr32 /u /n /i:user removes it, and /n /i:user makes it again.
    std::wstring quoted = Quoted(Dll().Path());
    ASSERT_EQ(RunRegsvr32(L"/s /u /n /i:user " + quoted), 0u);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, userClass));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, userEntry));
    ASSERT_EQ(RunRegsvr32(L"/s /n /i:user " + quoted), 0u);
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, userClass + L"\\InProcServer32", nullptr), Dll().Path());
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, userEntry));
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kMachineClasses + ClsidKey()));
    ASSERT_EQ(RunRegsvr32(L"/s /u /n /i:user " + quoted), 0u);
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, userClass));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, userEntry));

    // "user" is the only command line; any other writes nothing.
    for (BOOL install : {TRUE, FALSE}) {
        for (const wchar_t* line : {L"", L"machine", L"user ", L"users"})
            EXPECT_EQ(Dll().install(install, line), E_INVALIDARG) << "\"" << testing::PrintToString(line) << "\"";
        EXPECT_EQ(Dll().install(install, nullptr), E_INVALIDARG);
    }
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, userClass));
    ExpectUnregistered();
}

// The other architecture's build of the library under test, as a Windows
// path; empty when it has not been built.
std::wstring OtherBuildPath()
{
    using ToDosName = WCHAR*(CDECL*)(const char*);
    auto toDos = reinterpret_cast<ToDosName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (!toDos)
        return std::wstring();
    std::string unixPath = DRESS_OTHER_ARCH_BIN "/";
    for (const wchar_t* c = Info().dll; *c; ++c)
        unixPath += static_cast<char>(*c);
    WCHAR* dosPath = toDos(unixPath.c_str());
    if (!dosPath)
        return std::wstring();
    std::wstring path = dosPath;
    HeapFree(GetProcessHeap(), 0, dosPath);
    return FileExists(path) ? path : std::wstring();
}

// Whether this host runs 32-bit programs (some cannot, and then no x86
// library can be registered).
bool HostRuns32BitPrograms()
{
#ifndef _WIN64
    return true;
#else
    WCHAR folder[MAX_PATH];
    if (!GetSystemWow64DirectoryW(folder, MAX_PATH))
        return false;
    std::wstring command = std::wstring(folder) + L"\\cmd.exe /c exit 7";
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 30000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 7;
#endif
}

TEST(Registration, BothBuildsRegisteredThenBothUnregisteredLeaveNoKey)
{
    std::wstring other = OtherBuildPath();
    if (other.empty())
        GTEST_SKIP() << "the other architecture's " << testing::PrintToString(Info().dll) << " is not built in "
                     << DRESS_OTHER_ARCH_BIN;
    if (!HostRuns32BitPrograms())
        GTEST_SKIP() << "this host does not run 32-bit programs";

    // Each build's class lies in its own registry view; the handler list is
    // shared.
    const REGSAM ownView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
    const REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    ASSERT_EQ(RunRegsvr32(L"/s " + Quoted(Dll().Path())), 0u);
    ASSERT_EQ(RunRegsvr32(L"/s " + Quoted(other)), 0u);
    std::wstring server = ClsidKey() + L"\\InProcServer32";
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, server, nullptr, L"<missing>", ownView), Dll().Path());
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, server, nullptr, L"<missing>", otherView), other);
    for (REGSAM view : {ownView, otherView})
        EXPECT_EQ(ApprovedEntry(view), Info().displayName) << "view " << std::hex << view;
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, HandlerEntryKey()));

    // The first unregistration removes the shared entry; the second finds
    // it gone and still removes its own class.
    EXPECT_EQ(RunRegsvr32(L"/s /u " + Quoted(Dll().Path())), 0u);
    EXPECT_EQ(RunRegsvr32(L"/s /u " + Quoted(other)), 0u);
    for (REGSAM view : {ownView, otherView}) {
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, ClsidKey(), view)) << "view " << std::hex << view;
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, HandlerEntryKey(), view)) << "view " << std::hex << view;
        EXPECT_EQ(ApprovedEntry(view), L"<missing>") << "view " << std::hex << view;
    }
    ExpectUnregistered();
}

TEST(Registration, UnregistrationSwitchesOffExactlyTheFileTypesNamingTheClass)
{
    const std::wstring infoTipHandler = L"shellex\\{00021500-0000-0000-C000-000000000046}";
    const std::wstring iconHandler = L"shellex\\IconHandler";
    std::wstring otherCase = Info().clsidString;
    CharLowerW(&otherCase[0]);
    const std::wstring otherClass = L"{6E1C1E44-0000-4000-8000-00000000D0D0}";
    struct TypeCase {
        const wchar_t* extension;
        const wchar_t* progId;
        std::wstring infoTip;  // empty: no handler key
        std::wstring icon;
        bool infoTipGoes;  // for the library that serves file types
        bool iconGoes;
    };
    const TypeCase types[] = {
        {L".dressreg1", L"dressreg1file", Info().clsidString, Info().clsidString, true, true},
        {L".dressreg2", L"dressreg2file", Info().clsidString, otherClass, true, false},
        // Another text is another handler, whatever the registry's own
        // comparison of names.
        {L".dressreg3", L"dressreg3file", otherCase, std::wstring(), false, false},
    };
    for (const TypeCase& type : types) {
        SetRegString(HKEY_CLASSES_ROOT, type.extension, nullptr, type.progId);
        if (!type.infoTip.empty())
            SetRegString(HKEY_CLASSES_ROOT, std::wstring(type.progId) + L"\\" + infoTipHandler, nullptr,
                         type.infoTip);
        if (!type.icon.empty())
            SetRegString(HKEY_CLASSES_ROOT, std::wstring(type.progId) + L"\\" + iconHandler, nullptr, type.icon);
    }

    ASSERT_EQ(Dll().registerServer(), S_OK);
    ASSERT_EQ(Dll().unregisterServer(), S_OK);
    ExpectUnregistered();
    for (const TypeCase& type : types) {
        std::wstring progId = type.progId;
        struct {
            const std::wstring& key;
            const std::wstring& value;
            bool goes;
        } handlers[] = {{infoTipHandler, type.infoTip, type.infoTipGoes}, {iconHandler, type.icon, type.iconGoes}};
        for (const auto& handler : handlers) {
            std::wstring expected = handler.value.empty() || (handler.goes && Info().fileHandlers)
                                        ? L"<missing>"
                                        : handler.value;
            EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, progId + L"\\" + handler.key, nullptr), expected)
                << testing::PrintToString(progId + L"\\" + handler.key);
        }
        // As the page's switch does, the shellex key stays.
        EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, progId + L"\\shellex"));
        DeleteRegTree(HKEY_CLASSES_ROOT, type.extension);
        DeleteRegTree(HKEY_CLASSES_ROOT, progId);
    }
}

TEST(Layout, PlatformStructuresHaveTheirDocumentedSizes)
{
#ifndef _WIN64
    EXPECT_EQ(sizeof(PROPSHEETPAGEW_V3), 52u);
    EXPECT_EQ(sizeof(OPENFILENAMEW), 88u);
    EXPECT_EQ(sizeof(HELPINFO), 28u);
    EXPECT_EQ(sizeof(SHFILEINFOW), 692u);
#else
    GTEST_SKIP() << "the documented sizes are those of the 32-bit build";
#endif
}

}  // namespace
