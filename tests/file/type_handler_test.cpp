// The file-type handler entries below HKEY_CLASSES_ROOT, compiled straight
// into the test and run against the test prefix's registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "clsids.h"
#include "file_types.h"
#include "host.h"
#include "type_handler.h"

namespace {

const wchar_t kClsid[] = DOCDRESS_CLSID_STRING;
const wchar_t kOtherClsid[] = L"{0D2E74C4-3C34-11D2-A27E-00C04FC30871}";

// Types of the test's own, removed again at the end of each test.
class TypeRegistry : public testing::Test {
protected:
    std::wstring Name(const std::wstring& base) { return types_.Name(base); }
    // A type: "." + ext names progId.
    std::wstring MakeType(const std::wstring& base, std::wstring* progId = nullptr)
    {
        return types_.Make(base, progId);
    }

private:
    ScratchTypes types_;
};

std::wstring HandlerKey(const std::wstring& progId, const wchar_t* shellex, const wchar_t* kind)
{
    return progId + L"\\" + shellex + L"\\" + kind;
}

TEST_F(TypeRegistry, QueryMapsEveryEntryToItsState)
{
    std::wstring progId;
    std::wstring extension = MakeType(L"q", &progId);

    EXPECT_EQ(QueryTypeHandler(nullptr, kIconHandlerKey, kClsid), Unavailable);
    EXPECT_EQ(QueryTypeHandler(Name(L".ddmissing").c_str(), kIconHandlerKey, kClsid), NoProgId);

    // No shellex key, then one without the handler key.
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), NotRegistered);
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kInfoTipHandlerKey, kClsid), NotRegistered);
    SetRegString(HKEY_CLASSES_ROOT, progId + L"\\shellex", nullptr, L"");
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), NotRegistered);

    // The key's name is matched without case, the value with case.
    SetRegString(HKEY_CLASSES_ROOT, HandlerKey(progId, L"shellex", L"iconhandler"), nullptr, L"");
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), NotRegistered);
    SetRegString(HKEY_CLASSES_ROOT, HandlerKey(progId, L"shellex", L"iconhandler"), nullptr, kClsid);
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), RegisteredHere);
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kInfoTipHandlerKey, kClsid), NotRegistered);
    std::wstring lower = kClsid;
    for (auto& c : lower)
        c = towlower(c);
    SetRegString(HKEY_CLASSES_ROOT, HandlerKey(progId, L"shellex", L"iconhandler"), nullptr, lower);
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), Unavailable);
    SetRegString(HKEY_CLASSES_ROOT, HandlerKey(progId, L"shellex", L"iconhandler"), nullptr, kOtherClsid);
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), Unavailable);

    // Values of 39 and 40 characters: both are another program's handler,
    // the second because it does not fit the 40-character buffer.
    SetRegString(HKEY_CLASSES_ROOT, HandlerKey(progId, L"shellex", kInfoTipHandlerKey), nullptr,
                 std::wstring(39, L'x'));
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kInfoTipHandlerKey, kClsid), Unavailable);
    SetRegString(HKEY_CLASSES_ROOT, HandlerKey(progId, L"shellex", kInfoTipHandlerKey), nullptr,
                 std::wstring(kClsid) + L"x");
    EXPECT_EQ(wcslen(kClsid) + 1, 39u);
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kInfoTipHandlerKey, kClsid), Unavailable);
    SetRegString(HKEY_CLASSES_ROOT, HandlerKey(progId, L"shellex", kInfoTipHandlerKey), nullptr,
                 std::wstring(kClsid) + L"xy");
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kInfoTipHandlerKey, kClsid), Unavailable);
}

TEST_F(TypeRegistry, AnExtensionWithoutProgIdHasNoType)
{
    std::wstring empty = Name(L".ddempty");
    SetRegString(HKEY_CLASSES_ROOT, empty, nullptr, L"");
    std::wstring unset = Name(L".ddunset");
    SetRegString(HKEY_CLASSES_ROOT, unset, L"Content Type", L"text/plain");
    for (const std::wstring& extension : {empty, unset}) {
        EXPECT_EQ(QueryTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), NoProgId) << extension;
        EXPECT_TRUE(CanWriteTypeKey(extension.c_str()));
    }
}

TEST_F(TypeRegistry, SwitchingOnAndOffKeepsTheShellExKey)
{
    std::wstring progId;
    std::wstring extension = MakeType(L"s", &progId);

    ASSERT_EQ(SetTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), S_OK);
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, HandlerKey(progId, L"ShellEx", L"IconHandler"), nullptr), kClsid);
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), RegisteredHere);
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kInfoTipHandlerKey, kClsid), NotRegistered);

    // The value is a REG_SZ of (characters + 1) * 2 bytes.
    DWORD type = 0, bytes = 0;
    ASSERT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, HandlerKey(progId, L"ShellEx", L"IconHandler").c_str(), nullptr,
                           RRF_RT_ANY, &type, nullptr, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bytes, (wcslen(kClsid) + 1) * sizeof(wchar_t));

    ASSERT_EQ(SetTypeHandler(extension.c_str(), kInfoTipHandlerKey, kClsid), S_OK);
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kInfoTipHandlerKey, kClsid), RegisteredHere);

    ASSERT_EQ(SetTypeHandler(extension.c_str(), kIconHandlerKey, nullptr), S_OK);
    ASSERT_EQ(SetTypeHandler(extension.c_str(), kInfoTipHandlerKey, L""), S_OK);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, HandlerKey(progId, L"ShellEx", L"IconHandler")));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, HandlerKey(progId, L"ShellEx", kInfoTipHandlerKey)));
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, progId + L"\\ShellEx"));
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), NotRegistered);

    // Switching off what is not there changes nothing and succeeds.
    EXPECT_EQ(SetTypeHandler(extension.c_str(), kIconHandlerKey, nullptr), S_OK);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, progId + L"\\ShellEx"));
}

TEST_F(TypeRegistry, SwitchingOffRemovesAnEmptyHandlerEntryAndUsesTheExistingShellexKey)
{
    std::wstring progId;
    std::wstring extension = MakeType(L"e", &progId);
    SetRegString(HKEY_CLASSES_ROOT, HandlerKey(progId, L"shellex", L"IconHandler"), nullptr, L"");
    SetRegString(HKEY_CLASSES_ROOT, HandlerKey(progId, L"shellex", L"ContextMenuHandlers\\Other"), nullptr,
                 kOtherClsid);
    ASSERT_EQ(QueryTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), NotRegistered);

    ASSERT_EQ(SetTypeHandler(extension.c_str(), kIconHandlerKey, nullptr), S_OK);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, HandlerKey(progId, L"shellex", L"IconHandler")));
    // Nothing else below shellex is touched.
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, HandlerKey(progId, L"shellex", L"ContextMenuHandlers\\Other"),
                            nullptr),
              kOtherClsid);

    // Switching on writes below the existing key (names match without case):
    // the ProgID keeps a single shellex key.
    ASSERT_EQ(SetTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), S_OK);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, progId.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD subkeys = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    EXPECT_EQ(subkeys, 1u);
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kIconHandlerKey, kClsid), RegisteredHere);
}

TEST_F(TypeRegistry, AMissingExtensionKeyIsCreatedWithItsOwnType)
{
    std::wstring extension = Name(L".ddnew");
    std::wstring progId = extension.substr(1) + L"file";
    Name(progId);  // cleaned up with the rest
    ASSERT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, extension));
    EXPECT_FALSE(CanWriteTypeKey(extension.c_str()));

    ASSERT_EQ(SetTypeHandler(extension.c_str(), kInfoTipHandlerKey, kClsid), S_OK);
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, extension, nullptr), progId);
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, HandlerKey(progId, L"ShellEx", kInfoTipHandlerKey), nullptr), kClsid);
    EXPECT_EQ(QueryTypeHandler(extension.c_str(), kInfoTipHandlerKey, kClsid), RegisteredHere);
    EXPECT_TRUE(CanWriteTypeKey(extension.c_str()));

    // Without a value only the type comes into being.
    std::wstring bare = Name(L".ddbare");
    std::wstring bareProgId = bare.substr(1) + L"file";
    Name(bareProgId);
    ASSERT_EQ(SetTypeHandler(bare.c_str(), kIconHandlerKey, nullptr), S_OK);
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, bare, nullptr), bareProgId);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, bareProgId));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, bareProgId + L"\\ShellEx\\IconHandler"));
}

TEST_F(TypeRegistry, AnExtensionWithoutProgIdIsNotWrittenBelow)
{
    // Without a ProgID there is no type key: nothing may land at the root of
    // HKEY_CLASSES_ROOT or anywhere else.
    ASSERT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"ShellEx"));
    std::wstring empty = Name(L".ddnoprog");
    SetRegString(HKEY_CLASSES_ROOT, empty, nullptr, L"");
    std::wstring unset = Name(L".ddnovalue");
    SetRegString(HKEY_CLASSES_ROOT, unset, L"PerceivedType", L"text");
    for (const std::wstring& extension : {empty, unset}) {
        for (const wchar_t* value : {kClsid, static_cast<const wchar_t*>(nullptr)}) {
            EXPECT_EQ(SetTypeHandler(extension.c_str(), kIconHandlerKey, value), E_FAIL) << extension;
            EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"ShellEx"));
            EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, extension + L"\\ShellEx"));
        }
    }
    EXPECT_EQ(ReadRegString(HKEY_CLASSES_ROOT, unset, nullptr, L"<unset>"), L"<unset>");

    // A ProgID whose key does not exist has nothing to write below either.
    std::wstring dangling = Name(L".dddangling");
    std::wstring missingProgId = Name(L"ddtest.missing");
    SetRegString(HKEY_CLASSES_ROOT, dangling, nullptr, missingProgId);
    EXPECT_EQ(SetTypeHandler(dangling.c_str(), kIconHandlerKey, kClsid), E_FAIL);
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, missingProgId));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, L"ShellEx"));
}

TEST_F(TypeRegistry, ExtensionsSharingAProgIdAreSwitchedTogether)
{
    std::wstring progId;
    std::wstring first = MakeType(L"shared", &progId);
    std::wstring second = Name(L".ddshared2");
    SetRegString(HKEY_CLASSES_ROOT, second, nullptr, progId);

    ASSERT_EQ(SetTypeHandler(first.c_str(), kIconHandlerKey, kClsid), S_OK);
    EXPECT_EQ(QueryTypeHandler(second.c_str(), kIconHandlerKey, kClsid), RegisteredHere);
    ASSERT_EQ(SetTypeHandler(second.c_str(), kIconHandlerKey, nullptr), S_OK);
    EXPECT_EQ(QueryTypeHandler(first.c_str(), kIconHandlerKey, kClsid), NotRegistered);
}

TEST_F(TypeRegistry, CanWriteTypeKeyNeedsTheExtensionKey)
{
    std::wstring extension = MakeType(L"w");
    EXPECT_TRUE(CanWriteTypeKey(extension.c_str()));
    EXPECT_FALSE(CanWriteTypeKey(Name(L".ddabsent").c_str()));
    // No extension: HKEY_CLASSES_ROOT itself, writable for Wine's user.
    EXPECT_TRUE(CanWriteTypeKey(nullptr));
}

TEST(FileExtension, IsTheFileNamesLastDotOnwards)
{
    PCWSTR path = L"C:\\Docs\\report.final.TXT";
    EXPECT_EQ(GetFileExtension(path), path + 20);
    EXPECT_STREQ(GetFileExtension(L"C:\\Docs\\.profile"), L".profile");
    EXPECT_STREQ(GetFileExtension(L"C:\\Docs\\name."), L".");
    EXPECT_EQ(GetFileExtension(L"C:\\Docs\\README"), nullptr);
    // A "." in a folder name is not the file's extension.
    EXPECT_EQ(GetFileExtension(L"C:\\My.Docs\\README"), nullptr);
    EXPECT_EQ(GetFileExtension(nullptr), nullptr);
}

// GetTypeDefaultIcon on a type whose "DefaultIcon" is `value`.
class DefaultIcon : public TypeRegistry {
protected:
    void SetUp() override
    {
        extension_ = MakeType(L"icon", &progId_);
        path_ = L"C:\\Apps\\tool" + extension_;
    }
    void SetValue(const std::wstring& value)
    {
        SetRegString(HKEY_CLASSES_ROOT, progId_ + L"\\DefaultIcon", nullptr, value);
    }
    // Location and index, or "<failed>" with the outputs checked untouched.
    std::wstring Get(int* index, UINT capacity = MAX_PATH, const std::wstring& path = L"")
    {
        WCHAR location[MAX_PATH];
        wcscpy(location, L"untouched");
        *index = -777;
        HRESULT hr = GetTypeDefaultIcon(path.empty() ? path_.c_str() : path.c_str(), location, capacity, index);
        if (FAILED(hr)) {
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_STREQ(location, L"untouched");
            EXPECT_EQ(*index, -777);
            return L"<failed>";
        }
        return location;
    }
    std::wstring extension_, progId_, path_;
};

TEST_F(DefaultIcon, SplitsAtTheLastCommaAndInsertsOnlyTheFilesPath)
{
    // Any program can write this value: inserts that would read arguments
    // the lookup never gives must neither crash nor expand.
    const struct {
        std::wstring value;
        std::wstring location;
        int index;
    } cases[] = {
        // The index after the last comma; no digits give 0, a magnitude
        // beyond 32 bits the nearest bound.
        {L"C:\\Icons\\set.dll,-12", L"C:\\Icons\\set.dll", -12},
        {L"a.dll,1,2", L"a.dll,1", 2},
        {L"a.ico", L"a.ico", 0},
        {L"a.dll, +7x", L"a.dll", 7},
        {L"a.dll,abc", L"a.dll", 0},
        {L"a.dll,99999999999", L"a.dll", INT_MAX},
        {L"a.dll,-99999999999", L"a.dll", INT_MIN},
        {L"a.dll,-2147483648", L"a.dll", INT_MIN},
        // "%1" is the file's own path.
        {L"%1", path_, 0},
        {L"%1!s!,5", path_, 5},
        // Other inserts stay as they stand.
        {L"%2", L"%2", 0},
        {L"C:\\x%3!s!y.dll,4", L"C:\\x%3!s!y.dll", 4},
        {L"%1 %2 %99!s! %10", path_ + L" %2 %99!s! %10", 0},
        // %1 asked for as anything but a string would print the pointer.
        {L"%1!d!|%1!*s!|%2!*.*s!", L"%1!d!|%1!*s!|%2!*.*s!", 0},
        // An insert whose format is never closed.
        {L"a%4!s", L"a%4!s", 0},
        // FormatMessageW's own escapes keep their meaning.
        {L"100%%.dll,1", L"100%.dll", 1},
        {L"%%1.ico", L"%1.ico", 0},
        {L"line%nbreak%ttab%rend% %.%!", L"line\r\nbreak\ttab\rend .!", 0},
        // Before any other character FormatMessageW would drop the "%": an
        // environment variable must come out whole, not expanded.
        {L"%SystemRoot%\\system32\\shell32.dll,3", L"%SystemRoot%\\system32\\shell32.dll", 3},
        {L"%ProgramFiles%\\%APP%\\a.ico", L"%ProgramFiles%\\%APP%\\a.ico", 0},
        {L"100%", L"100%", 0},
        {L"cut%0here,9", L"cut", 0},
    };
    for (const auto& c : cases) {
        SetValue(c.value);
        int index = 0;
        EXPECT_EQ(Get(&index), c.location) << testing::PrintToString(c.value);
        EXPECT_EQ(index, c.index) << testing::PrintToString(c.value);
    }
}

TEST_F(DefaultIcon, FailsWithoutAUsableValueAndLeavesTheOutputs)
{
    int index = 0;
    // No DefaultIcon key yet.
    EXPECT_EQ(Get(&index), L"<failed>");
    // No extension (a "." in the folder name does not give one).
    SetValue(L"a.ico");
    EXPECT_EQ(Get(&index, MAX_PATH, L"C:\\My.Apps\\README"), L"<failed>");
    // An extension without a type.
    EXPECT_EQ(Get(&index, MAX_PATH, L"C:\\Apps\\x" + Name(L".ddnotype")), L"<failed>");
}

TEST_F(DefaultIcon, ALocationMustFitTheCallersBuffer)
{
    int index = 0;
    SetValue(L"0123456789,3");
    EXPECT_EQ(Get(&index, 10), L"<failed>");
    EXPECT_EQ(Get(&index, 11), L"0123456789");
    EXPECT_EQ(index, 3);
    // An expansion beyond 260 characters fails as a whole.
    SetValue(L"%1");
    std::wstring longPath = L"C:\\" + std::wstring(250, L'd') + L"\\f" + extension_;
    EXPECT_EQ(Get(&index, MAX_PATH, longPath), L"<failed>");
}

}  // namespace
