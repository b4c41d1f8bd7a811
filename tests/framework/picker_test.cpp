// The string picker driven as a user drives it: the dialog runs modally on
// the test thread while a second thread finds it, fills it and presses its
// buttons, and answers the windows it opens. Observations are collected on
// that thread and checked once the dialog has returned.
#include <windows.h>
#include <strsafe.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "help_double.h"
#include "help_ids.h"
#include "host.h"
#include "picker.h"
#include "picker_ids.h"

// The picker shows the template of the module it belongs to: here, the test
// program's own resources.
HINSTANCE ModuleInstance = GetModuleHandleW(nullptr);
LONG ModuleRefCount = 0;

namespace {

const wchar_t kCaption[] = L"Change string";
const wchar_t kDefaultModule[] = L"%SystemRoot%\\system32\\SHELL32.dll";
const DWORD kWait = 5000;

std::wstring StringsDll() { return ProgramFile(L"picker_strings.dll"); }
std::wstring HashBlockDll() { return ProgramFile(L"picker_hashblock.dll"); }
std::wstring MarkerDll() { return ProgramFile(L"picker_marker.dll"); }

std::wstring Indirect(const std::wstring& path, UINT id)
{
    return L"@" + path + L",-" + std::to_wstring(id);
}

std::wstring LongText()
{
    std::wstring text;
    for (int i = 0; i < 30; ++i)
        text += L"0123456789";
    return text;
}

struct Entry {
    std::wstring text;
    UINT id;
    bool operator==(const Entry& other) const { return text == other.text && id == other.id; }
};

std::ostream& operator<<(std::ostream& out, const Entry& item)
{
    std::string narrow;
    for (wchar_t c : item.text.substr(0, 40))
        narrow += c < 128 ? static_cast<char>(c) : '?';
    return out << "{\"" << narrow << (item.text.size() > 40 ? "..." : "") << "\", " << item.id << "}";
}

// What strings.rc lists, in enumeration order: no empty string, both twins.
std::vector<Entry> StringsItems()
{
    return {{L"Zero", 0},      {L"Alpha", 1},       {L"Twin", 3},   {L"Twin", 4},   {L"Beta", 5},
            {L"Block two", 21}, {L"Hundred", 100}, {LongText(), 500}, {L"Last", 65535}};
}

// What hashblock.rc lists: its integer blocks only, each once.
std::vector<Entry> HashBlockItems() { return {{L"Plain one", 1}, {L"Plain seventeen", 17}}; }

// ---------------------------------------------------------------------------
// Looking at the picker from the answering thread

HWND Child(HWND dialog, int id) { return GetDlgItem(dialog, id); }

std::vector<Entry> ListItems(HWND picker)
{
    HWND list = Child(picker, IDC_PICKER_LIST);
    std::vector<Entry> items;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
        std::wstring text(length > 0 ? length + 1 : 1, L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(wcslen(text.c_str()));
        items.push_back({text, static_cast<UINT>(SendMessageW(list, LB_GETITEMDATA, i, 0))});
    }
    return items;
}

int Selection(HWND picker)
{
    return static_cast<int>(SendMessageW(Child(picker, IDC_PICKER_LIST), LB_GETCURSEL, 0, 0));
}

int IndexOf(const std::vector<Entry>& items, UINT id)
{
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].id == id)
            return static_cast<int>(i);
    return -1;
}

std::wstring PathField(HWND picker) { return WindowText(Child(picker, IDC_PICKER_FILE)); }

struct CaptionSearch {
    std::vector<HWND> found;
};

BOOL CALLBACK CollectCaptionWindow(HWND window, LPARAM lParam)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && WindowText(window) == kCaption)
        reinterpret_cast<CaptionSearch*>(lParam)->found.push_back(window);
    return TRUE;
}

// Every visible window of this process titled "Change string": the picker,
// its message box and its file dialog all carry that caption.
std::vector<HWND> CaptionWindows()
{
    CaptionSearch search;
    EnumWindows(CollectCaptionWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindPicker(HWND except = nullptr)
{
    for (HWND window : CaptionWindows())
        if (window != except && Child(window, IDC_PICKER_LIST) && Child(window, IDC_PICKER_FILE))
            return window;
    return nullptr;
}

struct TextSearch {
    std::wstring text;
};

BOOL CALLBACK CollectStaticText(HWND window, LPARAM lParam)
{
    WCHAR cls[64] = L"";
    GetClassNameW(window, cls, ARRAYSIZE(cls));
    std::wstring text = WindowText(window);
    if (_wcsicmp(cls, L"Static") == 0 && !text.empty())
        reinterpret_cast<TextSearch*>(lParam)->text += text;
    return TRUE;
}

// The text a message box shows.
std::wstring MessageText(HWND box)
{
    TextSearch search;
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&search));
    return search.text;
}

HWND FindMessageBox()
{
    for (HWND window : CaptionWindows())
        if (!Child(window, IDC_PICKER_LIST) && MessageText(window).find(L"Unable to open file") == 0)
            return window;
    return nullptr;
}

// The file name box of the open dialog: an editable combo box (cmb13) or,
// in older layouts, an edit (edt1).
HWND FileNameBox(HWND dialog)
{
    HWND box = GetDlgItem(dialog, 0x47C);
    return box ? box : GetDlgItem(dialog, 0x480);
}

HWND FindFileDialog()
{
    for (HWND window : CaptionWindows())
        if (!Child(window, IDC_PICKER_LIST) && FileNameBox(window))
            return window;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Acting on the picker from the answering thread

// Presses a button whose handling opens no window (BM_CLICK moves the focus
// to the button, as a mouse click does).
void Press(HWND dialog, int id) { SendMessageW(Child(dialog, id), BM_CLICK, 0, 0); }

// Presses a button whose handling may open a modal window; returns at once.
void PressLater(HWND dialog, int id) { PostMessageW(Child(dialog, id), BM_CLICK, 0, 0); }

void Select(HWND picker, int index) { SendMessageW(Child(picker, IDC_PICKER_LIST), LB_SETCURSEL, index, 0); }

void SetPath(HWND picker, const std::wstring& path)
{
    SendMessageW(Child(picker, IDC_PICKER_FILE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
}

// Enter with the keyboard focus in a control: the key goes through the
// dialog's own message loop, which turns it into the default button's
// command. Returns at once; the handling may open a modal window.
void PressEnterIn(HWND dialog, int id)
{
    HWND control = Child(dialog, id);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    PostMessageW(control, WM_KEYDOWN, VK_RETURN, 0x001C0001);
    PostMessageW(control, WM_KEYUP, VK_RETURN, 0xC01C0001);
}

void DoubleClickItem(HWND picker, int index)
{
    HWND list = Child(picker, IDC_PICKER_LIST);
    RECT rect = {};
    SendMessageW(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
    LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageW(list, WM_LBUTTONUP, 0, point);
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    SendMessageW(list, WM_LBUTTONUP, 0, point);
}

bool IsOpen(HWND picker) { return IsWindow(picker) && IsWindowVisible(picker); }

// Gives the picker's thread time to act on what was sent or posted, then
// tells whether the picker is still showing.
bool StaysOpen(HWND picker)
{
    Sleep(300);
    return IsOpen(picker);
}

// ---------------------------------------------------------------------------
// Running the picker

struct PickerRun {
    INT_PTR result = -2;
    std::wstring text;
    bool shown = false;
};

// Runs PickStringResource on this thread over a buffer holding `initial`,
// while `answer` acts on the dialog from a second thread. A picker the
// answer leaves open is cancelled so that the test always ends.
PickerRun RunPicker(const std::wstring& initial, const std::function<void(HWND)>& answer,
                    size_t capacity = MAX_PATH)
{
    std::vector<wchar_t> buffer(capacity > initial.size() ? capacity : initial.size() + 1, L'\0');
    std::copy(initial.begin(), initial.end(), buffer.begin());
    PickerRun run;
    std::thread user([&] {
        HWND picker = nullptr;
        if (!WaitFor([&] { return (picker = FindPicker()) != nullptr; }, 10000))
            return;
        run.shown = true;
        answer(picker);
        if (!WaitFor([&] { return !IsWindow(picker); }, 3000)) {
            if (HWND box = FindMessageBox())
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
        }
    });
    run.result = PickStringResource(nullptr, buffer.data(), capacity);
    user.join();
    run.text = buffer.data();
    return run;
}

// What the answering thread saw of the picker at one moment.
struct PickerView {
    std::wstring path;
    std::vector<Entry> items;
    int selection = -2;
    int topIndex = -2;
};

PickerView Look(HWND picker)
{
    PickerView view;
    view.path = PathField(picker);
    view.items = ListItems(picker);
    view.selection = Selection(picker);
    view.topIndex = static_cast<int>(SendMessageW(Child(picker, IDC_PICKER_LIST), LB_GETTOPINDEX, 0, 0));
    return view;
}

// The picker as it opens over `initial`, cancelled at once; `run`, when
// given, receives how the call ended.
PickerView LookAndCancel(const std::wstring& initial, PickerRun* run = nullptr)
{
    PickerView view;
    PickerRun result = RunPicker(initial, [&](HWND picker) {
        view = Look(picker);
        Press(picker, IDCANCEL);
    });
    if (run)
        *run = result;
    return view;
}

class EnvironmentVariable {
public:
    EnvironmentVariable(const wchar_t* name, const std::wstring& value) : name_(name)
    {
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~EnvironmentVariable() { SetEnvironmentVariableW(name_, nullptr); }

private:
    const wchar_t* name_;
};

}  // namespace

// ---------------------------------------------------------------------------
// Opening

TEST(PickerOpening, EmptyTextShowsTheDefaultModuleWithoutSelection)
{
    PickerView view;
    PickerRun run = RunPicker(L"", [&](HWND picker) {
        view = Look(picker);
        SavePicture(picker, L"string_picker");
        Press(picker, IDCANCEL);
    });
    ASSERT_TRUE(run.shown);
    EXPECT_EQ(0, run.result);
    EXPECT_EQ(L"", run.text);
    EXPECT_EQ(kDefaultModule, view.path);
    // The system's shell library has a string table; it is listed, and an
    // item is selected only when one of its strings has identifier 0.
    EXPECT_GT(view.items.size(), 20u);
    EXPECT_EQ(IndexOf(view.items, 0), view.selection);
}

TEST(PickerOpening, StoredStringIsPreselectedAndPathShownAsStored)
{
    EnvironmentVariable dir(L"DRESS_PICKER_DIR", ProgramFolder());
    std::wstring stored = L"@%DRESS_PICKER_DIR%\\picker_strings.dll,-21";
    PickerRun run;
    PickerView view = LookAndCancel(stored, &run);
    EXPECT_EQ(0, run.result);
    EXPECT_EQ(stored, run.text);
    EXPECT_EQ(L"%DRESS_PICKER_DIR%\\picker_strings.dll", view.path);
    EXPECT_EQ(StringsItems(), view.items);
    EXPECT_EQ(IndexOf(StringsItems(), 21), view.selection);
}

TEST(PickerOpening, PreselectionScrollsToALateString)
{
    // The last string of the shell library sits far below the first page.
    PickerView first = LookAndCancel(L"");
    ASSERT_GT(first.items.size(), 40u);
    UINT lastId = first.items.back().id;

    PickerView view = LookAndCancel(Indirect(kDefaultModule, lastId));
    EXPECT_EQ(IndexOf(first.items, lastId), view.selection);
    EXPECT_GT(view.topIndex, 0);
}

TEST(PickerOpening, TextWithoutCommaMeansIdentifierZero)
{
    PickerView view = LookAndCancel(L"@" + StringsDll());
    EXPECT_EQ(StringsDll(), view.path);
    EXPECT_EQ(0, view.selection);
}

TEST(PickerOpening, UnknownIdentifierOrModuleLeavesNothingSelected)
{
    PickerView missingModule;
    PickerView missingString = LookAndCancel(Indirect(StringsDll(), 7));
    EXPECT_EQ(StringsItems(), missingString.items);
    EXPECT_EQ(-1, missingString.selection);

    // A number without the minus sign names no string.
    PickerView positive = LookAndCancel(L"@" + StringsDll() + L",5");
    EXPECT_EQ(-1, positive.selection);

    // A module that cannot be loaded: its path stands, the list is empty,
    // and no message is shown.
    bool message = false;
    PickerRun run = RunPicker(L"@C:\\nowhere\\missing.dll,-1", [&](HWND picker) {
        missingModule = Look(picker);
        message = FindMessageBox() != nullptr;
        Press(picker, IDCANCEL);
    });
    EXPECT_EQ(L"C:\\nowhere\\missing.dll", missingModule.path);
    EXPECT_TRUE(missingModule.items.empty());
    EXPECT_FALSE(message);
    EXPECT_EQ(0, run.result);
}

// ---------------------------------------------------------------------------
// Choosing

TEST(PickerChoosing, OkReturnsTheSelectedStringWithThePathUnexpanded)
{
    EnvironmentVariable dir(L"DRESS_PICKER_DIR", ProgramFolder());
    PickerRun run = RunPicker(L"@%DRESS_PICKER_DIR%\\picker_strings.dll,-1", [&](HWND picker) {
        Select(picker, IndexOf(StringsItems(), 4));  // the second "Twin"
        Press(picker, IDOK);
    });
    EXPECT_EQ(1, run.result);
    EXPECT_EQ(L"@%DRESS_PICKER_DIR%\\picker_strings.dll,-4", run.text);
}

TEST(PickerChoosing, DefaultModuleResultKeepsItsVariable)
{
    UINT chosenId = 0;
    PickerRun run = RunPicker(L"", [&](HWND picker) {
        std::vector<Entry> items = ListItems(picker);
        if (items.size() > 3) {
            chosenId = items[3].id;
            Select(picker, 3);
        }
        Press(picker, IDOK);
    });
    EXPECT_EQ(1, run.result);
    EXPECT_EQ(Indirect(kDefaultModule, chosenId), run.text);
}

TEST(PickerChoosing, EveryWayOfEndingTheDialogGivesItsResult)
{
    std::wstring stored = Indirect(StringsDll(), 1);
    const struct {
        const char* how;
        std::function<void(HWND)> answer;
        INT_PTR result;
        std::wstring text;
    } cases[] = {
        {"double click on the first \"Twin\"", [](HWND picker) { DoubleClickItem(picker, IndexOf(StringsItems(), 3)); },
         1, Indirect(StringsDll(), 3)},
        {"Enter in the list",
         [](HWND picker) {
             Select(picker, IndexOf(StringsItems(), 100));
             PressEnterIn(picker, IDC_PICKER_LIST);
         },
         1, Indirect(StringsDll(), 100)},
        {"Default", [](HWND picker) { Press(picker, IDC_PICKER_DEFAULT); }, 1, L""},
        {"Cancel",
         [](HWND picker) {
             Select(picker, 0);
             Press(picker, IDCANCEL);
         },
         0, stored},
        // The close box and Esc end the dialog as "Cancel" does.
        {"close box", [](HWND picker) { PostMessageW(picker, WM_CLOSE, 0, 0); }, 0, stored},
        {"Esc",
         [](HWND picker) {
             HWND list = Child(picker, IDC_PICKER_LIST);
             SendMessageW(picker, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
             PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
         },
         0, stored},
    };
    for (const auto& c : cases) {
        PickerRun run = RunPicker(stored, c.answer);
        EXPECT_EQ(c.result, run.result) << c.how;
        EXPECT_EQ(c.text, run.text) << c.how;
    }
}

TEST(PickerChoosing, OkWithoutASelectionChoosesNothing)
{
    bool openAfterOk = false, openAfterEnter = false;
    PickerRun run = RunPicker(Indirect(StringsDll(), 7), [&](HWND picker) {
        Press(picker, IDOK);
        openAfterOk = StaysOpen(picker);
        PressEnterIn(picker, IDC_PICKER_LIST);
        openAfterEnter = StaysOpen(picker);
        Press(picker, IDCANCEL);
    });
    EXPECT_TRUE(openAfterOk);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_EQ(0, run.result);
    EXPECT_EQ(Indirect(StringsDll(), 7), run.text);
}

TEST(PickerChoosing, ResultLongerThanTheCallersBufferIsRefused)
{
    // A copy of the string module under a path of 255 characters: "@", the
    // path, ",-1" fits 260 characters, ",-65535" does not.
    TempDir temp;
    std::wstring module = MakeLongPath(temp.Path() + L"\\", 255, L".dll");
    ASSERT_EQ(255u, module.size());
    ASSERT_TRUE(CopyFileW(StringsDll().c_str(), module.c_str(), FALSE)) << GetLastError();

    std::wstring stored = Indirect(module, 1);
    bool openAfterOk = false;
    PickerView view;
    PickerRun refused = RunPicker(stored, [&](HWND picker) {
        view = Look(picker);
        Select(picker, IndexOf(StringsItems(), 65535));
        Press(picker, IDOK);
        openAfterOk = StaysOpen(picker);
        Press(picker, IDCANCEL);
    });
    EXPECT_EQ(StringsItems(), view.items);
    EXPECT_TRUE(openAfterOk);
    EXPECT_EQ(0, refused.result);
    EXPECT_EQ(stored, refused.text);

    PickerRun accepted = RunPicker(stored, [&](HWND picker) {
        Select(picker, IndexOf(StringsItems(), 65535));
        Press(picker, IDOK);
        Select(picker, IndexOf(StringsItems(), 5));
        Press(picker, IDOK);
    });
    EXPECT_EQ(1, accepted.result);
    EXPECT_EQ(Indirect(module, 5), accepted.text);

    // A caller's buffer smaller than 260 characters is honoured the same way.
    PickerRun small = RunPicker(L"", [&](HWND picker) {
        Select(picker, 0);
        Press(picker, IDOK);
        Press(picker, IDCANCEL);
    }, 8);
    EXPECT_EQ(0, small.result);
    EXPECT_EQ(L"", small.text);
}

// ---------------------------------------------------------------------------
// Loading another module

TEST(PickerLoading, EnterInThePathFieldReloadsAndStaysOpen)
{
    PickerView after;
    bool message = true, open = false;
    PickerRun run = RunPicker(Indirect(StringsDll(), 1), [&](HWND picker) {
        SetPath(picker, HashBlockDll());
        PressEnterIn(picker, IDC_PICKER_FILE);
        WaitFor([&] { return ListItems(picker) == HashBlockItems(); }, kWait);
        open = StaysOpen(picker);
        message = FindMessageBox() != nullptr;
        after = Look(picker);
        // The chosen string now comes from the typed module.
        Select(picker, IndexOf(HashBlockItems(), 17));
        Press(picker, IDOK);
    });
    EXPECT_TRUE(open);
    EXPECT_FALSE(message);
    EXPECT_EQ(HashBlockItems(), after.items);
    EXPECT_EQ(-1, after.selection);
    EXPECT_EQ(HashBlockDll(), after.path);
    EXPECT_EQ(1, run.result);
    EXPECT_EQ(Indirect(HashBlockDll(), 17), run.text);
}

TEST(PickerLoading, ReloadOfTheSameModuleClearsTheSelection)
{
    PickerView before, after;
    RunPicker(Indirect(StringsDll(), 5), [&](HWND picker) {
        before = Look(picker);
        PressEnterIn(picker, IDC_PICKER_FILE);
        WaitFor([&] { return Selection(picker) == -1; }, kWait);
        after = Look(picker);
        Press(picker, IDOK);  // nothing selected: nothing chosen
        Press(picker, IDCANCEL);
    });
    EXPECT_EQ(IndexOf(StringsItems(), 5), before.selection);
    EXPECT_EQ(StringsItems(), after.items);
    EXPECT_EQ(-1, after.selection);
}

TEST(PickerLoading, UnloadableTypedPathWarnsAndFallsBackToTheDefault)
{
    size_t defaultCount = LookAndCancel(L"").items.size();
    // The field holds 259 characters; the whole path reaches the message.
    std::wstring longest = L"C:\\nowhere\\" + std::wstring(259 - 11 - 4, L'x') + L".dll";
    ASSERT_EQ(259u, longest.size());
    for (const std::wstring& typed : {std::wstring(L"C:\\nowhere\\missing.dll"), longest}) {
        SCOPED_TRACE(testing::Message() << typed.size() << " characters typed");
        std::wstring message;
        HWND boxOwner = nullptr;
        PickerView after;
        bool open = false;
        PickerRun run = RunPicker(Indirect(StringsDll(), 1), [&](HWND picker) {
            SetPath(picker, typed);
            PressEnterIn(picker, IDC_PICKER_FILE);
            HWND box = nullptr;
            if (WaitFor([&] { return (box = FindMessageBox()) != nullptr; }, kWait)) {
                message = MessageText(box);
                boxOwner = GetWindow(box, GW_OWNER);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
            WaitFor([&] { return !FindMessageBox() && PathField(picker) == kDefaultModule; }, kWait);
            open = StaysOpen(picker);
            after = Look(picker);
            Press(picker, IDCANCEL);
        });
        EXPECT_EQ(L"Unable to open file " + typed + L".", message);
        EXPECT_NE(nullptr, boxOwner);
        EXPECT_TRUE(open);
        EXPECT_EQ(kDefaultModule, after.path);
        EXPECT_EQ(defaultCount, after.items.size());
        EXPECT_GT(after.items.size(), 0u);
        EXPECT_EQ(-1, after.selection);
        EXPECT_EQ(0, run.result);
        EXPECT_EQ(Indirect(StringsDll(), 1), run.text);
    }
}

// "Browse...": types the path into the open dialog's file name box and
// presses "Open", as a user does; false when no file dialog came up.
bool BrowseTo(HWND picker, const std::wstring& path, std::wstring* seeded, const wchar_t* screenshot = nullptr)
{
    PressLater(picker, IDC_PICKER_BROWSE);
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = FindFileDialog()) != nullptr; }, kWait))
        return false;
    if (screenshot)
        SavePicture(dialog, screenshot);
    HWND name = FileNameBox(dialog);
    *seeded = WindowText(name);
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return WaitFor([&] { return !FindFileDialog(); }, kWait);
}

TEST(PickerLoading, BrowseListsTheChosenModule)
{
    std::wstring seeded;
    PickerView after;
    bool browsed = false;
    PickerRun run = RunPicker(Indirect(StringsDll(), 1), [&](HWND picker) {
        browsed = BrowseTo(picker, HashBlockDll(), &seeded, L"string_picker_browse");
        WaitFor([&] { return ListItems(picker) == HashBlockItems(); }, kWait);
        after = Look(picker);
        Select(picker, IndexOf(HashBlockItems(), 1));
        Press(picker, IDOK);
    });
    ASSERT_TRUE(browsed);
    // The dialog starts from the module the list shows.
    EXPECT_NE(std::wstring::npos, seeded.find(L"picker_strings.dll"));
    EXPECT_EQ(HashBlockDll(), after.path);
    EXPECT_EQ(HashBlockItems(), after.items);
    EXPECT_EQ(-1, after.selection);
    EXPECT_EQ(1, run.result);
    EXPECT_EQ(Indirect(HashBlockDll(), 1), run.text);

    // Seeded with the default module's unexpanded path, the dialog still
    // comes up and returns the chosen file.
    PickerView fromDefault;
    browsed = false;
    RunPicker(L"", [&](HWND picker) {
        browsed = BrowseTo(picker, StringsDll(), &seeded);
        WaitFor([&] { return ListItems(picker) == StringsItems(); }, kWait);
        fromDefault = Look(picker);
        Press(picker, IDCANCEL);
    });
    ASSERT_TRUE(browsed);
    EXPECT_EQ(StringsDll(), fromDefault.path);
    EXPECT_EQ(StringsItems(), fromDefault.items);
}

// ---------------------------------------------------------------------------
// Listing

TEST(PickerListing, BlocksUnderStringNames)
{
    // "#5" and "TEXTS" cannot be reached by an identifier, and "#2" stands
    // beside integer block 2: the list holds the integer blocks, once.
    PickerView view = LookAndCancel(Indirect(HashBlockDll(), 17));
    EXPECT_EQ(HashBlockItems(), view.items);
    EXPECT_EQ(1, view.selection);
}

TEST(PickerListing, FillStringListReportsWhetherTheModuleOpened)
{
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | LBS_NOTIFY, 0, 0, 200, 200, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(nullptr, list);
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"old"));
    EXPECT_FALSE(FillStringList(list, L"C:\\nowhere\\missing.dll"));
    EXPECT_EQ(0, SendMessageW(list, LB_GETCOUNT, 0, 0));

    // A module without a string table counts as opened: an empty list.
    WCHAR self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_TRUE(FillStringList(list, self));
    EXPECT_EQ(0, SendMessageW(list, LB_GETCOUNT, 0, 0));

    EXPECT_TRUE(FillStringList(list, StringsDll().c_str()));
    EXPECT_EQ(static_cast<LRESULT>(StringsItems().size()), SendMessageW(list, LB_GETCOUNT, 0, 0));
    EXPECT_EQ(4, FindStringItem(list, 5));
    EXPECT_EQ(2, FindStringItem(list, 3));
    EXPECT_EQ(-1, FindStringItem(list, 2));
    DestroyWindow(list);
}

// ---------------------------------------------------------------------------
// Resolution

TEST(IndirectStrings, ResolveToTheStringTextOrNothing)
{
    EnvironmentVariable dir(L"DRESS_PICKER_DIR", ProgramFolder());
    const struct {
        std::wstring indirect;
        std::wstring text;
    } cases[] = {
        {Indirect(StringsDll(), 1), L"Alpha"},
        {L"@%DRESS_PICKER_DIR%\\picker_strings.dll,-21", L"Block two"},
        {Indirect(StringsDll(), 65535), L"Last"},
        {L"@" + StringsDll() + L", -5", L"Beta"},     // white space may precede the sign
        {L"#" + StringsDll() + L",-100", L"Hundred"},  // the first character is dropped whatever it is
        {L"@" + StringsDll(), L"Zero"},                // without a comma the identifier is 0
        {Indirect(StringsDll(), 500), LongText().substr(0, 259)},
        {Indirect(HashBlockDll(), 17), L"Plain seventeen"},
        // Nothing to resolve: the empty text.
        {L"@C:\\nowhere\\missing.dll,-1", L""},
        {Indirect(StringsDll(), 2), L""},  // an empty string
        {Indirect(StringsDll(), 7), L""},  // no such string
        {L"@" + StringsDll() + L",1", L""},  // no minus sign
        {Indirect(StringsDll(), 65536 + 1), L""},
        {L"@%DRESS_NO_SUCH_VARIABLE%\\picker_strings.dll,-1", L""},
        {L"", L""},
        {L"@", L""},
        {Indirect(HashBlockDll(), 65), L""},  // string-named blocks are out of an identifier's reach
    };
    for (const auto& c : cases) {
        WCHAR text[MAX_PATH];
        StringCchCopyW(text, MAX_PATH, L"stale text");
        ResolveIndirectString(c.indirect.c_str(), text);
        EXPECT_EQ(c.text, std::wstring(text)) << testing::PrintToString(c.indirect);
    }
}

TEST(IndirectStrings, ShowIndirectStringSetsTheControlText)
{
    HWND edit = CreateWindowExW(0, L"EDIT", L"old", WS_POPUP, 0, 0, 200, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, edit);
    ShowIndirectString(edit, Indirect(StringsDll(), 5).c_str());
    EXPECT_EQ(L"Beta", WindowText(edit));
    ShowIndirectString(edit, L"@C:\\nowhere\\missing.dll,-5");
    EXPECT_EQ(L"", WindowText(edit));
    DestroyWindow(edit);
}

// ---------------------------------------------------------------------------
// Modules are read, never run

TEST(PickerSafety, StringModulesCodeNeverRuns)
{
    TempDir temp;
    std::wstring marker = temp.Child(L"marker.txt");
    EnvironmentVariable variable(L"DRESS_PICKER_MARKER", marker);

    PickerView view;
    PickerRun run = RunPicker(Indirect(MarkerDll(), 3), [&](HWND picker) {
        view = Look(picker);
        SetPath(picker, MarkerDll());
        PressEnterIn(picker, IDC_PICKER_FILE);
        WaitFor([&] { return Selection(picker) == -1; }, kWait);
        Select(picker, IndexOf(StringsItems(), 21));
        Press(picker, IDOK);
    });
    EXPECT_EQ(StringsItems(), view.items);
    EXPECT_EQ(IndexOf(StringsItems(), 3), view.selection);
    EXPECT_EQ(Indirect(MarkerDll(), 21), run.text);

    WCHAR text[MAX_PATH];
    ResolveIndirectString(Indirect(MarkerDll(), 21).c_str(), text);
    EXPECT_STREQ(L"Block two", text);
    EXPECT_FALSE(FileExists(marker));

    // The marker does appear when the module's code runs.
    HMODULE loaded = LoadLibraryW(MarkerDll().c_str());
    ASSERT_NE(nullptr, loaded);
    EXPECT_TRUE(FileExists(marker));
    FreeLibrary(loaded);
}

// ---------------------------------------------------------------------------
// Two pickers at once

TEST(PickerThreads, TwoOpenPickersKeepTheirOwnState)
{
    std::wstring storedA = Indirect(StringsDll(), 1), storedB = Indirect(HashBlockDll(), 17);
    WCHAR textA[MAX_PATH], textB[MAX_PATH];
    StringCchCopyW(textA, MAX_PATH, storedA.c_str());
    StringCchCopyW(textB, MAX_PATH, storedB.c_str());
    INT_PTR resultA = -2, resultB = -2;
    auto pick = [](WCHAR* text, INT_PTR* result) {
        OleInitialize(nullptr);
        *result = PickStringResource(nullptr, text, MAX_PATH);
        OleUninitialize();
    };

    std::thread threadA(pick, textA, &resultA);
    HWND pickerA = nullptr, pickerB = nullptr;
    bool shownA = WaitFor([&] { return (pickerA = FindPicker()) != nullptr; }, 10000);
    std::thread threadB(pick, textB, &resultB);
    bool shownB = WaitFor([&] { return (pickerB = FindPicker(pickerA)) != nullptr; }, 10000);

    std::wstring textBWhileOpen;
    PickerView viewA, viewB;
    if (shownA && shownB) {
        viewA = Look(pickerA);
        viewB = Look(pickerB);
        // B loads another module; A chooses from its own list.
        SetPath(pickerB, MarkerDll());
        PressEnterIn(pickerB, IDC_PICKER_FILE);
        WaitFor([&] { return ListItems(pickerB) == StringsItems(); }, kWait);
        Select(pickerA, IndexOf(StringsItems(), 5));
        Press(pickerA, IDOK);
        WaitFor([&] { return !IsWindow(pickerA); }, kWait);
        textBWhileOpen = textB;
        Select(pickerB, IndexOf(StringsItems(), 100));
        Press(pickerB, IDOK);
    } else {
        if (pickerA)
            PostMessageW(pickerA, WM_COMMAND, IDCANCEL, 0);
        if (pickerB)
            PostMessageW(pickerB, WM_COMMAND, IDCANCEL, 0);
    }
    threadA.join();
    threadB.join();

    ASSERT_TRUE(shownA);
    ASSERT_TRUE(shownB);
    EXPECT_EQ(StringsItems(), viewA.items);
    EXPECT_EQ(HashBlockItems(), viewB.items);
    EXPECT_EQ(1, resultA);
    EXPECT_EQ(Indirect(StringsDll(), 5), std::wstring(textA));
    EXPECT_EQ(storedB, textBWhileOpen);
    EXPECT_EQ(1, resultB);
    EXPECT_EQ(Indirect(MarkerDll(), 100), std::wstring(textB));
}

// ---------------------------------------------------------------------------
// Context help

TEST(PickerHelp, F1AndWhatsThisShowThePickersTopics)
{
    HelpDoubleRegistration registration;
    HelpCallLog* log = HelpDoubleLog();
    ASSERT_NE(nullptr, log);
    LONG before = log->calls;

    HWND list = nullptr, defaultButton = nullptr;
    bool menuSeen = false, open = false;
    RunPicker(Indirect(StringsDll(), 1), [&](HWND picker) {
        // F1 over the list.
        list = Child(picker, IDC_PICKER_LIST);
        SendHelp(picker, IDC_PICKER_LIST);

        // A right click on "Default", then "What's This?" from the keyboard.
        defaultButton = Child(picker, IDC_PICKER_DEFAULT);
        RECT rect = {};
        GetWindowRect(defaultButton, &rect);
        PostMessageW(picker, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(defaultButton),
                     MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2));
        HWND menu = nullptr;
        if (WaitFor([&] { return (menu = FindProcessWindow(L"", L"#32768")) != nullptr; }, kWait)) {
            menuSeen = true;
            Sleep(100);
            PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
            if (!WaitFor([&] { return !IsWindowVisible(menu); }, kWait))
                PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        }
        WaitFor([&] { return log->calls >= before + 2; }, kWait);
        open = IsOpen(picker);
        Press(picker, IDCANCEL);
    });
    EXPECT_TRUE(menuSeen);
    EXPECT_TRUE(open);
    ASSERT_EQ(before + 2, log->calls);

    const HWND callers[] = {list, defaultButton};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(testing::Message() << "call " << i);
        ExpectHelpCall(log->call[before + i], callers[i], ProgramFile(L"QLNHELP.chm::/PickString.txt"),
                       StringPickerHelpIds);
    }
}
