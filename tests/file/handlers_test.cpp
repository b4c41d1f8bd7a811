// DocDress's icon and InfoTip handlers, called the way Explorer calls them
// (Wine's shell never does): class factory, IPersistFile::Load, then
// GetIconLocation and GetInfoTip, the tip freed with the shell's allocator.
#include <windows.h>
#include <shellapi.h>
#include <shlguid.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "clsids.h"
#include "file_types.h"
#include "handler_support.h"
#include "host.h"

namespace {

const Deliverable& Dll()
{
    static Deliverable dll = Deliverable::Load(L"DocDress.dll");
    return dll;
}

std::wstring StringsDll()
{
    return ProgramFile(L"docdress_strings.dll");
}

// The two last lines of every tip: the name as the shell shows it and
// "Type: " with the type's name, as the shell gives them for the file.
std::wstring NameAndType(const std::wstring& file)
{
    SHFILEINFOW info = {};
    SHGetFileInfoW(file.c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME | SHGFI_TYPENAME);
    return std::wstring(info.szDisplayName) + L"\r\nType: " + info.szTypeName;
}

// A folder with one file of a scratch type whose "DefaultIcon" is set.
class Handlers : public testing::Test {
protected:
    void SetUp() override
    {
        extension = types.Make(L"h", &progId, L"C:\\Icons\\set.dll,3");
        file = dir.Child(L"plan" + extension);
        ASSERT_TRUE(Touch(file));
        ini = dir.Child(L"Desktop.ini");
        section = L"plan" + extension;
    }
    void TearDown() override { EXPECT_EQ(Dll().canUnloadNow(), S_OK) << "an object was left alive"; }
    void SetEntry(const wchar_t* key, const std::wstring& value)
    {
        WritePrivateProfileStringW(section.c_str(), key, value.c_str(), ini.c_str());
    }
    void SetDefaultIcon(const std::wstring& value)
    {
        SetRegString(HKEY_CLASSES_ROOT, progId + L"\\DefaultIcon", nullptr, value);
    }

    ScratchTypes types;
    TempDir dir;
    std::wstring extension, progId, file, ini, section;
};

TEST_F(Handlers, PersistFileKeepsTheFileAndReportsOnlyWhatItHas)
{
    FileHandler handler(Dll());
    ASSERT_NE(handler.persist, nullptr);
    CLSID clsid = {};
    EXPECT_EQ(handler.persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_DocDress));
    EXPECT_EQ(handler.persist->IsDirty(), S_OK);
    EXPECT_EQ(handler.persist->Save(L"C:\\elsewhere.txt", TRUE), S_OK);
    EXPECT_EQ(handler.persist->SaveCompleted(L"C:\\elsewhere.txt"), S_OK);

    // No success without a name.
    LPOLESTR name = reinterpret_cast<LPOLESTR>(1);
    EXPECT_TRUE(FAILED(handler.persist->GetCurFile(&name)));
    EXPECT_EQ(name, nullptr);

    ASSERT_EQ(handler.Load(file, STGM_READ | STGM_SHARE_DENY_NONE), S_OK);
    ASSERT_EQ(handler.persist->GetCurFile(&name), S_OK);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(std::wstring(name), file);
    CoTaskMemFree(name);

    EXPECT_EQ(handler.extract->Extract(file.c_str(), 0, nullptr, nullptr, 0), S_FALSE);
    HICON large = reinterpret_cast<HICON>(7), small = reinterpret_cast<HICON>(9);
    EXPECT_EQ(handler.extract->Extract(L"C:\\Icons\\set.dll", 3, &large, &small, MAKELONG(32, 16)), S_FALSE);
    EXPECT_EQ(large, reinterpret_cast<HICON>(7));
    EXPECT_EQ(small, reinterpret_cast<HICON>(9));
    DWORD flags = 0x5A5A;
    EXPECT_EQ(handler.query->GetInfoFlags(&flags), E_NOTIMPL);
    EXPECT_EQ(flags, 0x5A5Au);
}

TEST_F(Handlers, WithoutEntriesTheTypesDefaultIconIsGiven)
{
    FileHandler handler(Dll(), file);
    FileHandler::Icon icon = handler.IconLocation();
    EXPECT_EQ(icon.hr, S_OK);
    EXPECT_EQ(icon.location, L"C:\\Icons\\set.dll");
    EXPECT_EQ(icon.index, 3);
    EXPECT_EQ(icon.flags, 0u);

    SetDefaultIcon(L"%1");
    icon = handler.IconLocation();
    EXPECT_EQ(icon.hr, S_OK);
    EXPECT_EQ(icon.location, file);
    EXPECT_EQ(icon.index, 0);
    SetDefaultIcon(L"C:\\Icons\\set.dll,-12");
    icon = handler.IconLocation();
    EXPECT_EQ(icon.location, L"C:\\Icons\\set.dll");
    EXPECT_EQ(icon.index, -12);
    SetDefaultIcon(L"a.dll,1,2");
    icon = handler.IconLocation();
    EXPECT_EQ(icon.location, L"a.dll,1");
    EXPECT_EQ(icon.index, 2);
    // Inserts the lookup gives no argument for stay as they stand.
    SetDefaultIcon(L"C:\\%2\\%3!s!.dll,1");
    icon = handler.IconLocation();
    EXPECT_EQ(icon.hr, S_OK);
    EXPECT_EQ(icon.location, L"C:\\%2\\%3!s!.dll");

    // Neither a custom icon nor a default one.
    DeleteRegTree(HKEY_CLASSES_ROOT, progId + L"\\DefaultIcon");
    icon = handler.IconLocation();
    EXPECT_EQ(icon.hr, E_FAIL);
    EXPECT_EQ(icon.location, L"");
    EXPECT_EQ(icon.index, -777);
}

TEST_F(Handlers, ACustomIconIsGivenUncachedAndUnexpanded)
{
    SetEntry(L"IconFile", L"%SystemRoot%\\system32\\shell32.dll");
    SetEntry(L"IconIndex", L"4");
    FileHandler handler(Dll(), file);
    FileHandler::Icon icon = handler.IconLocation();
    EXPECT_EQ(icon.hr, S_OK);
    EXPECT_EQ(icon.location, L"%SystemRoot%\\system32\\shell32.dll");
    EXPECT_EQ(icon.index, 4);
    EXPECT_EQ(icon.flags, static_cast<UINT>(GIL_DONTCACHE));

    // A relative file lies in the file's folder.
    SetEntry(L"IconFile", L"icons\\a.ico");
    SetEntry(L"IconIndex", L"4294967061");
    icon = handler.IconLocation();
    EXPECT_EQ(icon.hr, S_OK);
    EXPECT_EQ(icon.location, dir.Child(L"icons\\a.ico"));
    EXPECT_EQ(icon.index, -235);
    SetEntry(L"IconIndex", L"-235");
    EXPECT_EQ(handler.IconLocation().index, -235);

    // Nothing is cached: the next request sees the change.
    SetEntry(L"IconFile", L"C:\\Icons\\other.ico");
    EXPECT_EQ(handler.IconLocation().location, L"C:\\Icons\\other.ico");
}

TEST_F(Handlers, ALocationThatDoesNotFitFailsAndLeavesTheBuffer)
{
    // 200 characters against 100 and against 201.
    std::wstring absolute = L"C:\\" + std::wstring(193, L'a') + L".ico";
    ASSERT_EQ(absolute.size(), 200u);
    SetEntry(L"IconFile", absolute);
    FileHandler handler(Dll(), file);
    FileHandler::Icon icon = handler.IconLocation(100);
    EXPECT_EQ(icon.hr, E_FAIL);
    EXPECT_EQ(icon.location, L"");
    EXPECT_EQ(icon.index, -777);
    EXPECT_EQ(icon.flags, 0xBADu);
    EXPECT_EQ(handler.IconLocation(200).hr, E_FAIL);
    icon = handler.IconLocation(201);
    EXPECT_EQ(icon.hr, S_OK);
    EXPECT_EQ(icon.location, absolute);

    // A relative file of 250 characters joined to the folder: a location of
    // about 300 characters against the shell's buffer of 260.
    std::wstring relative = std::wstring(246, L'r') + L".ico";
    SetEntry(L"IconFile", relative);
    ASSERT_GE(dir.Path().size() + 1 + relative.size(), 280u);
    icon = handler.IconLocation(MAX_PATH);
    EXPECT_EQ(icon.hr, E_FAIL);
    EXPECT_EQ(icon.location, L"");
    EXPECT_EQ(icon.index, -777);
}

TEST_F(Handlers, TheTipIsTheFilesNameAndTypeAfterItsOwnLine)
{
    FileHandler handler(Dll(), file);
    std::wstring nameAndType = NameAndType(file);
    ASSERT_NE(nameAndType, L"\r\nType: ") << "the shell gives no name for the file";
    HRESULT hr = E_UNEXPECTED;
    EXPECT_EQ(handler.InfoTip(&hr), nameAndType);
    EXPECT_EQ(hr, S_OK);

    SetEntry(L"InfoTip", L"Quarterly figures");
    EXPECT_EQ(handler.InfoTip(), L"Quarterly figures\r\n" + nameAndType);

    // An indirect string is shown resolved.
    SetEntry(L"InfoTip", L"@" + StringsDll() + L",-101");
    EXPECT_EQ(handler.InfoTip(), L"Quarterly figures from the string table\r\n" + nameAndType);
    SetEntry(L"InfoTip", L"@" + StringsDll() + L",-103");
    EXPECT_EQ(handler.InfoTip(), L"\u0414\u0440\u0443\u0433\u043e\u0439 \u0442\u0435\u043a\u0441\u0442\r\n" +
                                     nameAndType);
    // One that names no string gives no line of its own, never the
    // indirect string itself.
    SetEntry(L"InfoTip", L"@" + StringsDll() + L",-999");
    EXPECT_EQ(handler.InfoTip(), nameAndType);
    SetEntry(L"InfoTip", L"@C:\\no\\such.dll,-1");
    EXPECT_EQ(handler.InfoTip(), nameAndType);
}

TEST_F(Handlers, TheTipIsAllocatedWithTheShellsAllocatorOnce)
{
    SetEntry(L"InfoTip", L"Quarterly figures");
    AllocatorSpy spy(Dll().module);
    {
        FileHandler handler(Dll(), file);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(handler.InfoTip(nullptr, &spy.spy), L"Quarterly figures\r\n" + NameAndType(file));
    }
    EXPECT_EQ(spy.spy.allocations, 3);
    EXPECT_EQ(spy.spy.frees, 3);
    EXPECT_EQ(spy.spy.strayFrees, 0);
    EXPECT_EQ(spy.spy.references, 0) << "the allocator's references are not all given back";
    EXPECT_EQ(spy.coTaskMemAllocCalls, 0);

    // The text fills its block exactly: three texts, two line breaks,
    // "Type: " and the terminator.
    FileHandler handler(Dll(), file);
    LPWSTR tip = nullptr;
    ASSERT_EQ(handler.query->GetInfoTip(0, &tip), S_OK);
    IMalloc* shell = nullptr;
    CoGetMalloc(MEMCTX_TASK, &shell);
    EXPECT_EQ(shell->GetSize(tip), (wcslen(tip) + 1) * sizeof(wchar_t));
    spy.spy.Free(tip);
    shell->Release();

    // An allocation that fails gives E_OUTOFMEMORY and no text.
    spy.spy.failAllocations = true;
    HRESULT hr = S_OK;
    EXPECT_EQ(handler.InfoTip(&hr, &spy.spy), L"<failed>");
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    spy.spy.failAllocations = false;
    EXPECT_EQ(spy.spy.LiveBlocks(), 0u);
}

TEST_F(Handlers, WithoutTheShellsAllocatorTheTaskAllocatorServes)
{
    AllocatorSpy spy(Dll().module);
    FileHandler handler(Dll(), file);
    for (ShellAllocator mode : {ShellAllocator::Fails, ShellAllocator::GivesNull}) {
        spy.mode = mode;
        long before = spy.coTaskMemAllocCalls;
        LPWSTR tip = nullptr;
        ASSERT_EQ(handler.query->GetInfoTip(0, &tip), S_OK);
        ASSERT_NE(tip, nullptr);
        EXPECT_EQ(std::wstring(tip), NameAndType(file));
        EXPECT_EQ(spy.coTaskMemAllocCalls, before + 1);
        // The shell frees it with its allocator, which is the task
        // allocator.
        IMalloc* shell = nullptr;
        CoGetMalloc(MEMCTX_TASK, &shell);
        EXPECT_EQ(shell->DidAlloc(tip), 1);
        shell->Free(tip);
        shell->Release();
    }
    EXPECT_EQ(spy.spy.allocations, 0);
}

// Calls of the DLL's GetPrivateProfileStringW import.
std::atomic<long> profileReads{0};
DWORD WINAPI CountingGetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                                              DWORD size, LPCWSTR file)
{
    ++profileReads;
    return GetPrivateProfileStringW(section, key, defaultValue, buffer, size, file);
}

TEST_F(Handlers, WithoutAFullPathNothingIsReadAndEveryRequestFails)
{
    // The current directory holds a Desktop.ini with entries for a file of
    // the same name: a handler without a usable file must never find them.
    TempDir current;
    WritePrivateProfileStringW(section.c_str(), L"IconFile", L"C:\\wrong.ico", current.Child(L"Desktop.ini").c_str());
    WritePrivateProfileStringW(section.c_str(), L"InfoTip", L"wrong", current.Child(L"Desktop.ini").c_str());
    WCHAR previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(current.Path().c_str());
    ImportPatch reads(Dll().module, "kernel32.dll", "GetPrivateProfileStringW",
                      reinterpret_cast<void*>(CountingGetPrivateProfileStringW));
    ASSERT_TRUE(reads.Installed());

    // Names of 260 and 259 characters, of the scratch type.
    std::wstring tooLong = dir.Child(std::wstring(MAX_PATH - dir.Path().size() - 1 - extension.size(), L'n') + extension);
    ASSERT_EQ(tooLong.size(), static_cast<size_t>(MAX_PATH));
    std::wstring justFits = dir.Child(std::wstring(MAX_PATH - dir.Path().size() - 2 - extension.size(), L'n') + extension);

    // Never loaded, refused names, relative names.
    FileHandler unloaded(Dll());
    FileHandler refused(Dll(), file);
    ASSERT_EQ(refused.loadResult, S_OK);
    EXPECT_TRUE(FAILED(refused.Load(tooLong)));
    FileHandler relative(Dll(), section);
    FileHandler relativeSub(Dll(), L"sub\\" + section);
    FileHandler empty(Dll(), L"");
    long readsBefore = profileReads;
    for (FileHandler* handler : {&unloaded, &refused, &relative, &relativeSub, &empty}) {
        FileHandler::Icon icon = handler->IconLocation();
        EXPECT_EQ(icon.hr, E_FAIL);
        EXPECT_EQ(icon.location, L"");
        HRESULT hr = S_OK;
        EXPECT_EQ(handler->InfoTip(&hr), L"<failed>");
        EXPECT_EQ(hr, E_FAIL);
    }
    EXPECT_EQ(profileReads, readsBefore) << "a handler without a file read a settings file";
    // A refused name leaves no file behind: the earlier one is forgotten.
    LPOLESTR name = reinterpret_cast<LPOLESTR>(1);
    EXPECT_TRUE(FAILED(refused.persist->GetCurFile(&name)));
    EXPECT_EQ(name, nullptr);

    // 259 characters are taken.
    FileHandler longest(Dll(), justFits);
    EXPECT_EQ(longest.loadResult, S_OK);
    EXPECT_EQ(longest.IconLocation().location, L"C:\\Icons\\set.dll");
    EXPECT_GT(profileReads, readsBefore);

    SetCurrentDirectoryW(previous);
}

TEST_F(Handlers, NamesTheSettingsFileCannotHoldGetTheTypesIcon)
{
    // "a=b<ext>" would read the label and section of "a".
    std::wstring odd = dir.Child(L"a=b" + extension);
    ASSERT_TRUE(Touch(odd));
    WritePrivateProfileStringW(L"a=b", L"IconFile", L"C:\\wrong.ico", ini.c_str());
    WritePrivateProfileStringW((L"a=b" + extension).c_str(), L"IconFile", L"C:\\wrong.ico", ini.c_str());
    WritePrivateProfileStringW((L"a=b" + extension).c_str(), L"InfoTip", L"wrong", ini.c_str());
    FileHandler handler(Dll(), odd);
    FileHandler::Icon icon = handler.IconLocation();
    EXPECT_EQ(icon.hr, S_OK);
    EXPECT_EQ(icon.location, L"C:\\Icons\\set.dll");
    EXPECT_EQ(handler.InfoTip(), NameAndType(odd));
}

TEST_F(Handlers, TheHandlerFileIsNotThePagesItem)
{
    // Initialize gives the page its item; the handlers answer for Load's.
    SetEntry(L"InfoTip", L"Loaded file");
    std::wstring other = dir.Child(L"other" + extension);
    ASSERT_TRUE(Touch(other));
    FileHandler handler(Dll());
    IShellExtInit* init = nullptr;
    ASSERT_EQ(handler.persist->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
    IDataObject* selection = CreateDropDataObject({other});
    EXPECT_EQ(init->Initialize(nullptr, selection, nullptr), S_OK);
    selection->Release();
    init->Release();
    EXPECT_EQ(handler.InfoTip(), L"<failed>");
    ASSERT_EQ(handler.Load(file), S_OK);
    EXPECT_EQ(handler.InfoTip(), L"Loaded file\r\n" + NameAndType(file));
}

}  // namespace
