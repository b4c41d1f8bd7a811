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

// The icon the handler is to give for a file, worked out from the
// platform's two key reads of its section: "IconFile" read with room for one
// character more than a location may have (a value that fills it was cut,
// and is refused), "IconIndex" as an unsigned 32-bit decimal that a "-"
// negates, a relative file joined to the folder; without an "IconFile" the
// type's own icon.
FileHandler::Icon IconFromKeyReads(const std::wstring& ini, const std::wstring& section, const std::wstring& folder)
{
    WCHAR file[MAX_PATH + 1], index[256];
    GetPrivateProfileStringW(section.c_str(), L"IconFile", L"", file, ARRAYSIZE(file), ini.c_str());
    GetPrivateProfileStringW(section.c_str(), L"IconIndex", L"0", index, ARRAYSIZE(index), ini.c_str());
    const FileHandler::Icon refused = {E_FAIL, L"", -777, 0xBAD};
    std::wstring value = file;
    if (value.empty())
        return {S_OK, L"C:\\Icons\\set.dll", 3, 0};
    if (value.size() >= MAX_PATH)
        return refused;
    bool standsAlone = (value.size() >= 3 && value[2] == L'\\') || value[0] == L'%';
    std::wstring location = standsAlone ? value : folder + L"\\" + value;
    if (location.size() >= MAX_PATH)
        return refused;
    return {S_OK, location, static_cast<int>(wcstoul(index, nullptr, 10)), static_cast<UINT>(GIL_DONTCACHE)};
}

TEST_F(Handlers, TheIconIsWhatTheKeyReadsGiveFromOneReadOfTheSection)
{
    // "[F]" stands for the file's own section. Sections the handler answers
    // from their one read are marked; the others leave it in doubt of what
    // the key reads would give (quotes, which they take off; a key without
    // "="; a name whose case the platform folds; a section larger than the
    // read), and may be read key by key.
    const std::wstring longTip = L"InfoTip=" + std::wstring(1500, L'x') + L"\r\n";
    const std::wstring icon259 = L"C:\\" + std::wstring(252, L'a') + L".ico";
    const std::wstring icon260 = L"C:\\" + std::wstring(253, L'a') + L".ico";
    ASSERT_EQ(icon259.size(), 259u);
    ASSERT_EQ(icon260.size(), 260u);
    struct Case {
        const char* what;
        std::wstring ini;
        bool oneRead;
    } cases[] = {
        {"plain", L"[F]\r\nIconFile=C:\\Icons\\a.ico\r\nIconIndex=2\r\n", true},
        {"spaces around =", L"[F]\r\n  IconFile  =  C:\\Icons\\b c.ico  \r\n\tIconIndex\t=\t5 \r\n", true},
        {"duplicate keys", L"[F]\r\nIconFile=C:\\Icons\\first.ico\r\nIconIndex=1\r\nIconFile=C:\\Icons\\second.ico\r\nIconIndex=9\r\n",
         true},
        {"keys in another case", L"[F]\r\niconfile=C:\\Icons\\case.ico\r\nICONINDEX=4\r\n", true},
        {"an empty value first", L"[F]\r\nIconFile=\r\nIconFile=C:\\Icons\\later.ico\r\nIconIndex=5\r\n", true},
        {"an empty index", L"[F]\r\nIconFile=C:\\Icons\\x.ico\r\nIconIndex=\r\n", true},
        {"only an index", L"[F]\r\nIconIndex=6\r\n", true},
        {"a comment, a relative file", L"[F]\r\n;IconFile=C:\\Icons\\no.ico\r\nIconFile = icons\\in folder.ico\r\nIconIndex = -12\r\n",
         true},
        {"= in the values", L"[F]\r\nIconFile=C:\\Icons\\a=b.ico\r\nIconIndex=1=2\r\n", true},
        {"names that only begin like the keys", L"[F]\r\nIconFileX=C:\\no.ico\r\nIconFil=C:\\no.ico\r\nIconIndexes=5\r\n",
         true},
        {"an empty section", L"[F]\r\n", true},
        {"another file's section", L"[other]\r\nIconFile=C:\\Icons\\other.ico\r\n", true},
        {"the section twice", L"[F]\r\nInfoTip=first\r\n[F]\r\nIconFile=C:\\Icons\\twice.ico\r\n", true},
        {"a variable, an index past 2^31", L"[F]\r\nIconFile=%SystemRoot%\\system32\\shell32.dll\r\nIconIndex=4294967061\r\n",
         true},
        {"an index longer than its read", L"[F]\r\nIconFile=C:\\i.ico\r\nIconIndex=" + std::wstring(300, L'0') + L"7\r\n",
         true},
        {"an icon file of 259 characters", L"[F]\r\nIconFile=" + icon259 + L"\r\n", true},
        {"an icon file of 260 characters", L"[F]\r\nIconFile=" + icon260 + L"\r\nIconIndex=1\r\n", true},
        {"quotes", L"[F]\r\nIconFile=\"C:\\Icons\\quoted.ico\"\r\nIconIndex='7'\r\n", false},
        {"empty quotes", L"[F]\r\nIconFile=\"\"\r\nIconIndex=3\r\n", false},
        {"quotes that do not pair", L"[F]\r\nIconFile='C:\\Icons\\half.ico\"\r\nIconIndex=\"-3\"\r\n", false},
        {"a lone quote", L"[F]\r\nIconFile=\"\r\n", false},
        {"a key without =", L"[F]\r\nIconFile\r\nIconFile=C:\\Icons\\bare.ico\r\n", false},
        {"a name beyond ASCII", L"[F]\r\n\u0130conFile=C:\\Icons\\dotted.ico\r\nIconIndex=2\r\n", false},
        {"a section larger than the read", L"[F]\r\nIconFile=C:\\Icons\\big.ico\r\nIconIndex=8\r\n" + longTip, false},
        {"260 characters in a large section", L"[F]\r\n" + longTip + L"IconFile=" + icon260 + L"\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A folder of its own for each case: the platform's cached copy of
        // a settings file rewritten within the same tick could be stale.
        TempDir folder;
        std::wstring caseFile = folder.Child(section);
        ASSERT_TRUE(Touch(caseFile));
        std::wstring text = c.ini;
        for (size_t at = text.find(L"[F]"); at != std::wstring::npos; at = text.find(L"[F]", at))
            text.replace(at, 3, L"[" + section + L"]");
        std::wstring caseIni = folder.Child(L"Desktop.ini");
        ASSERT_TRUE(WriteUnicodeFile(caseIni, text));

        FileHandler handler(Dll(), caseFile);
        FileHandler::Icon icon = {};
        long sectionReads = 0, keyReads = 0;
        {
            ProfileReadSpy reads(Dll().module);
            icon = handler.IconLocation();
            sectionReads = reads.sectionReads;
            keyReads = reads.keyReads;
        }
        FileHandler::Icon expected = IconFromKeyReads(caseIni, section, folder.Path());
        EXPECT_EQ(icon.hr, expected.hr);
        EXPECT_EQ(icon.location, expected.location);
        EXPECT_EQ(icon.index, expected.index);
        EXPECT_EQ(icon.flags, expected.flags);
        if (c.oneRead) {
            EXPECT_EQ(sectionReads, 1);
            EXPECT_EQ(keyReads, 0);
        }
    }
}

TEST_F(Handlers, ATipCutByItsReadKeepsWholeCharacters)
{
    // A character beyond the Basic Multilingual Plane is a pair of UTF-16
    // units; the read takes 259 units.
    const std::wstring pair = L"\U0001F600";
    ASSERT_EQ(pair.size(), 2u);
    struct Case {
        size_t letters;
        std::wstring tip;
    } cases[] = {
        {257, std::wstring(257, L'a') + pair},  // 259 units: whole
        {258, std::wstring(258, L'a')},         // the pair cut in two: it goes
        {259, std::wstring(259, L'a')},         // the cut falls before the pair
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.letters);
        // Written as the Unicode file the page makes: an ANSI file could not
        // hold the pair.
        TempDir folder;
        std::wstring caseFile = folder.Child(section);
        ASSERT_TRUE(Touch(caseFile));
        ASSERT_TRUE(WriteUnicodeFile(folder.Child(L"Desktop.ini"), L"[" + section + L"]\r\nInfoTip=" +
                                                                        std::wstring(c.letters, L'a') + pair +
                                                                        L"\r\n"));
        FileHandler handler(Dll(), caseFile);
        EXPECT_EQ(handler.InfoTip(), c.tip + L"\r\n" + NameAndType(caseFile));
    }
}

// Calls of the DLL's GetPrivateProfileStringW import.
std::atomic<long> profileReads{0};
DWORD WINAPI CountingGetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                                              DWORD size, LPCWSTR file)
{
    ++profileReads;
    return GetPrivateProfileStringW(section, key, defaultValue, buffer, size, file);
}
DWORD WINAPI CountingGetPrivateProfileSectionW(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR file)
{
    ++profileReads;
    return GetPrivateProfileSectionW(section, buffer, size, file);
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
    ImportPatch sectionReads(Dll().module, "kernel32.dll", "GetPrivateProfileSectionW",
                             reinterpret_cast<void*>(CountingGetPrivateProfileSectionW));
    ASSERT_TRUE(sectionReads.Installed());

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
