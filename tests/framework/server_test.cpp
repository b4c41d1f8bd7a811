// The COM server of one deliverable (DRESS_UNDER_TEST names it): exports,
// class factory, module count and self-registration, through the real DLL.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

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
}

void ExpectUnregistered()
{
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, ClsidKey()));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, HandlerEntryKey()));
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
    // The handler entry is gone, so a second unregistration fails.
    EXPECT_EQ(Dll().unregisterServer(), E_FAIL);
    ExpectUnregistered();
}

TEST(Registration, FailsWithoutTheShellsHandlerListButKeepsTheClass)
{
    // The handler list is the shell's: registration opens it and never
    // creates it.
    std::wstring list = Info().handlerList;
    DeleteRegTree(HKEY_CLASSES_ROOT, list);
    EXPECT_EQ(Dll().registerServer(), E_FAIL);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, list));
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, ClsidKey(), nullptr), Info().displayName);

    // Unregistration fails at the same step and leaves the class alone.
    EXPECT_EQ(Dll().unregisterServer(), E_FAIL);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, ClsidKey()));

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
