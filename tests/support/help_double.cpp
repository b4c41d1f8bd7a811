#include "help_double.h"

#include <gtest/gtest.h>

#include <vector>

#include "host.h"

const wchar_t kHtmlHelpServerKey[] = L"CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

namespace {

const UINT kHelpCommandWmHelp = 0x11;  // HH_TP_HELP_WM_HELP

std::wstring DoublePath()
{
    return ProgramFile(L"HtmlHelpDouble.dll");
}

}  // namespace

HelpDoubleRegistration::HelpDoubleRegistration(const std::wstring& library, DWORD type)
{
    HKEY key = nullptr;
    keyExisted_ = RegOpenKeyExW(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (keyExisted_) {
        std::vector<WCHAR> value(4096);
        DWORD bytes = static_cast<DWORD>(value.size() * sizeof(WCHAR));
        valueExisted_ = RegQueryValueExW(key, nullptr, nullptr, &type_, reinterpret_cast<BYTE*>(value.data()),
                                         &bytes) == ERROR_SUCCESS;
        saved_.assign(value.data(), bytes / sizeof(WCHAR));
        RegCloseKey(key);
    }
    std::wstring path = library.empty() ? DoublePath() : library;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

HelpDoubleRegistration::~HelpDoubleRegistration()
{
    if (!keyExisted_) {
        DeleteRegTree(HKEY_CLASSES_ROOT, kHtmlHelpServerKey);
        return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    if (valueExisted_)
        RegSetValueExW(key, nullptr, 0, type_, reinterpret_cast<const BYTE*>(saved_.data()),
                       static_cast<DWORD>(saved_.size() * sizeof(WCHAR)));
    else
        RegDeleteValueW(key, nullptr);
    RegCloseKey(key);
}

void RegisterHelpDoubleForTheRun()
{
    class Environment : public testing::Environment {
    public:
        void SetUp() override
        {
            registration_ = new HelpDoubleRegistration;
            ASSERT_NE(HelpDoubleLog(), nullptr) << "HtmlHelpDouble.dll is not beside the test";
        }
        void TearDown() override { delete registration_; }

    private:
        HelpDoubleRegistration* registration_ = nullptr;
    };
    testing::AddGlobalTestEnvironment(new Environment);
}

HelpCallLog* HelpDoubleLog()
{
    static HelpCallLog* log = [] {
        HMODULE module = LoadLibraryW(DoublePath().c_str());
        auto get = module ? reinterpret_cast<HelpDoubleLogFn>(
                                reinterpret_cast<void*>(GetProcAddress(module, "HelpDoubleLog")))
                          : nullptr;
        return get ? get() : nullptr;
    }();
    return log;
}

void SendHelp(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    HELPINFO info = {};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = controlId;
    info.hItemHandle = control;
    RECT rect = {};
    GetWindowRect(control, &rect);
    info.MousePos = POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    SendMessageW(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
}

void ExpectHelpCall(const RecordedHelpCall& call, HWND caller, const std::wstring& file, const DWORD* table)
{
    EXPECT_EQ(call.caller, caller);
    EXPECT_EQ(std::wstring(call.file), file);
    EXPECT_EQ(call.command, kHelpCommandWmHelp) << "HH_TP_HELP_WM_HELP";
    std::vector<DWORD> expected;
    for (const DWORD* pair = table;; pair += 2) {
        expected.push_back(pair[0]);
        expected.push_back(pair[1]);
        if (pair[0] == 0)
            break;
    }
    std::vector<DWORD> received(call.pairs, call.pairs + 2 * call.pairCount);
    EXPECT_EQ(received, expected) << "the table handed to HtmlHelpW";
}
