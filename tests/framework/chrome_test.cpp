// The page chrome: the banner and "What's This?"/F1 help, through DirDress's
// real pages in a property sheet, plus the drawing and help routines on their
// own (framework/chrome.cpp is also compiled into this program, with this
// program as its module).
//
// Help: Wine's HtmlHelpW does not carry out HH_TP_HELP_WM_HELP, so the HTML
// Help library is replaced, where the deliverables look for it in the
// registry, by a double that records each call (tests/support/
// help_double.h). Menus: the DLL's import of TrackPopupMenu is patched
// where a test needs the exact arguments (flags, position, owner, the menu's
// item) or a scripted answer; one test drives the real menu as a user would.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "chrome.h"
#include "clsids.h"
#include "help_double.h"
#include "help_ids.h"
#include "host.h"
#include "import_spy.h"

// The compiled-in chrome's module is this program.
HINSTANCE ModuleInstance = GetModuleHandleW(nullptr);

namespace {

const COLORREF kMagenta = RGB(255, 0, 255);
const WORD kDirDressBannerId = 102;
const int kStaticId = 65535;

const Deliverable& DirDress()
{
    static Deliverable dll = Deliverable::Load(L"DirDress.dll");
    return dll;
}

// For the whole run the deliverables find the double; this process reads the
// registry view of its own architecture, and so does the deliverable.
const bool kHelpDoubleRegistered = (RegisterHelpDoubleForTheRun(), true);

// ---------------------------------------------------------------------------
// Pixels

// The header of a 32-bit top-down DIB.
BITMAPINFO TopDown32(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    return info;
}

// A 32-bit top-down DIB section selected into a memory DC.
class Surface {
public:
    Surface(int width, int height) : width_(width), height_(height)
    {
        BITMAPINFO info = TopDown32(width, height);
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~Surface()
    {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    HDC Dc() const { return dc_; }
    COLORREF Pixel(int x, int y) const
    {
        GdiFlush();
        DWORD value = bits_[y * width_ + x];
        return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
    }
    void SetPixelColour(int x, int y, COLORREF colour)
    {
        GdiFlush();
        bits_[y * width_ + x] = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    }

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    DWORD* bits_ = nullptr;
};

// The banner as stored in a module's resources.
struct BannerImage {
    LONG width = 0;
    LONG height = 0;
    WORD bitCount = 0;
    DWORD compression = 0xFFFFFFFF;
    std::vector<COLORREF> palette;
    std::vector<BYTE> indices;  // top row first

    bool Valid() const { return !indices.empty(); }
    COLORREF Colour(int x, int y) const { return palette[indices[y * width + x]]; }
    bool IsKey(int x, int y) const { return Colour(x, y) == kMagenta; }
};

BannerImage ReadBanner(HMODULE module, WORD id)
{
    BannerImage image;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    if (!resource)
        return image;
    auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, resource)));
    DWORD size = SizeofResource(module, resource);
    if (!header || size < sizeof(BITMAPINFOHEADER))
        return image;
    image.width = header->biWidth;
    image.height = header->biHeight;
    image.bitCount = header->biBitCount;
    image.compression = header->biCompression;
    if (image.bitCount != 4 || image.compression != BI_RGB || image.width <= 0 || image.height == 0)
        return image;
    DWORD colours = header->biClrUsed ? header->biClrUsed : 16;
    auto* quads = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + header->biSize);
    for (DWORD i = 0; i < colours; ++i)
        image.palette.push_back(RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue));
    const BYTE* bits = reinterpret_cast<const BYTE*>(quads + colours);
    LONG rows = image.height < 0 ? -image.height : image.height;
    DWORD stride = ((static_cast<DWORD>(image.width) * 4 + 31) / 32) * 4;
    if (bits + stride * rows > reinterpret_cast<const BYTE*>(header) + size)
        return image;
    for (LONG y = 0; y < rows; ++y) {
        const BYTE* row = bits + stride * (image.height > 0 ? rows - 1 - y : y);
        for (LONG x = 0; x < image.width; ++x) {
            BYTE pair = row[x / 2];
            BYTE index = (x % 2) ? (pair & 0x0F) : (pair >> 4);
            if (index >= colours)
                return BannerImage();
            image.indices.push_back(index);
        }
    }
    image.height = rows;
    return image;
}

// A test pattern with a different colour at nearly every pixel, none of them
// magenta.
COLORREF Pattern(int x, int y)
{
    COLORREF colour = RGB((x * 7 + y) & 0xFF, (y * 29 + x * 3) & 0xFF, (x * y + 40) & 0xFF);
    return colour == kMagenta ? RGB(1, 2, 3) : colour;
}

// The 32-bit pixels of a bitmap, as GetDIBits gives them.
std::vector<DWORD> BitmapPixels(HBITMAP bitmap, int width, int height)
{
    BITMAPINFO info = TopDown32(width, height);
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// What the screen shows in a window's client area.
class ClientCapture {
public:
    explicit ClientCapture(HWND window)
    {
        GetClientRect(window, &client_);
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        surface_ = new Surface(client_.right, client_.bottom);
        HDC screen = GetDC(nullptr);
        BitBlt(surface_->Dc(), 0, 0, client_.right, client_.bottom, screen, origin.x, origin.y, SRCCOPY);
        ReleaseDC(nullptr, screen);
    }
    ~ClientCapture() { delete surface_; }
    ClientCapture(const ClientCapture&) = delete;
    ClientCapture& operator=(const ClientCapture&) = delete;

    const RECT& Client() const { return client_; }
    COLORREF Pixel(int x, int y) const { return surface_->Pixel(x, y); }

private:
    RECT client_ = {};
    Surface* surface_ = nullptr;
};

// ---------------------------------------------------------------------------
// DirDress pages

// A page of a deliverable for one folder, shown in a modeless sheet.
class FolderPageHost {
public:
    FolderPageHost(const Deliverable& dll, const std::wstring& folder)
    {
        page_ = sheet_.ShowExtension(dll, CLSID_DirDress, CreateDropDataObject({folder}));
        PumpMessages(30);
    }

    HWND Sheet() const { return sheet_.Sheet(); }
    HWND Page() const { return page_; }
    HWND Control(int id) const { return GetDlgItem(page_, id); }

    // The centre of a rectangle given in dialog units, in screen coordinates.
    POINT ScreenPointOfDialogUnits(int x, int y, int width, int height) const
    {
        RECT rect = {x, y, x + width, y + height};
        MapDialogRect(page_, &rect);
        POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        ClientToScreen(page_, &point);
        return point;
    }

    void Repaint() const
    {
        RedrawWindow(sheet_.Sheet(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        PumpMessages(30);
    }

private:
    PropertySheetHost sheet_;
    HWND page_ = nullptr;
};

POINT CentreOf(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

LPARAM ScreenLParam(POINT point)
{
    return MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y));
}

std::wstring DirDressHelpFile(const Deliverable& dll)
{
    return FolderOf(dll.Path()) + L"\\QLNHELP.chm::/DirDress.txt";
}

// TrackPopupMenu, as the page calls it, recorded and answered by the test.
struct MenuCall {
    UINT flags = 0;
    int x = 0;
    int y = 0;
    int reserved = -1;
    HWND owner = nullptr;
    bool noRectangle = false;
    int itemCount = 0;
    UINT itemId = 0;
    UINT itemType = 0xFFFF;
    std::wstring itemText;
    HMENU menu = nullptr;
};
std::vector<MenuCall> MenuCalls;
BOOL MenuAnswer = 0;

BOOL WINAPI RecordTrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect)
{
    MenuCall call;
    call.menu = menu;
    call.flags = flags;
    call.x = x;
    call.y = y;
    call.reserved = reserved;
    call.owner = owner;
    call.noRectangle = rect == nullptr;
    call.itemCount = GetMenuItemCount(menu);
    call.itemId = GetMenuItemID(menu, 0);
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE;
    if (GetMenuItemInfoW(menu, 0, TRUE, &item))
        call.itemType = item.fType;
    WCHAR text[64] = L"";
    GetMenuStringW(menu, 0, text, ARRAYSIZE(text), MF_BYPOSITION);
    call.itemText = text;
    MenuCalls.push_back(call);
    return MenuAnswer;
}

class ScriptedMenu {
public:
    ScriptedMenu(HMODULE module, BOOL answer)
        : patch_(module, "user32.dll", "TrackPopupMenu", reinterpret_cast<void*>(&RecordTrackPopupMenu))
    {
        EXPECT_TRUE(patch_.Installed()) << "no import of TrackPopupMenu";
        MenuCalls.clear();
        MenuAnswer = answer;
    }

private:
    ImportPatch patch_;
};

class DirDressChrome : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(DirDress().module, nullptr);
        ASSERT_NE(HelpDoubleLog(), nullptr);
        callsBefore_ = HelpDoubleLog()->calls;
    }
    LONG NewHelpCalls() const { return HelpDoubleLog()->calls - callsBefore_; }
    const RecordedHelpCall& HelpCall(LONG n) const { return HelpDoubleLog()->call[callsBefore_ + n]; }

    TempDir temp_;

private:
    LONG callsBefore_ = 0;
};

// The folder page of a plain folder, open for the test.
class FolderPageChrome : public DirDressChrome {
protected:
    void SetUp() override
    {
        DirDressChrome::SetUp();
        host.reset(new FolderPageHost(DirDress(), temp_.Path()));
        ASSERT_NE(host->Page(), nullptr);
    }

    std::unique_ptr<FolderPageHost> host;
};

// ---------------------------------------------------------------------------
// Banner

TEST(Banner, ResourceIs150By16WithSixteenColoursOneOfThemExactMagenta)
{
    BannerImage banner = ReadBanner(DirDress().module, kDirDressBannerId);
    ASSERT_TRUE(banner.Valid()) << "bit count " << banner.bitCount << ", compression " << banner.compression;
    EXPECT_EQ(banner.width, 150);
    EXPECT_EQ(banner.height, 16);
    EXPECT_EQ(banner.bitCount, 4);
    EXPECT_EQ(banner.compression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(banner.palette.size(), 16u);
    int magentaEntries = 0;
    for (COLORREF colour : banner.palette)
        magentaEntries += colour == kMagenta;
    EXPECT_EQ(magentaEntries, 1);

    // A logo and lettering that the key surrounds: all four corners are key,
    // and a good part of the picture is not.
    int logo = 0;
    for (int y = 0; y < banner.height; ++y)
        for (int x = 0; x < banner.width; ++x)
            logo += !banner.IsKey(x, y);
    EXPECT_GT(logo, 300);
    EXPECT_LT(logo, 150 * 16 / 2);
    EXPECT_TRUE(banner.IsKey(0, 0) && banner.IsKey(149, 0) && banner.IsKey(0, 15) && banner.IsKey(149, 15));
}

TEST(DrawKeyedBitmap, KeyPixelsLeaveTheSurfaceAndLogoPixelsAreDrawnUnchanged)
{
    BannerImage banner = ReadBanner(DirDress().module, kDirDressBannerId);
    ASSERT_TRUE(banner.Valid());
    HBITMAP bitmap = LoadBitmapW(DirDress().module, MAKEINTRESOURCEW(kDirDressBannerId));
    ASSERT_NE(bitmap, nullptr);
    std::vector<DWORD> before = BitmapPixels(bitmap, 150, 16);

    const int width = 230, height = 50, left = 37, top = 21;
    Surface surface(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            surface.SetPixelColour(x, y, Pattern(x, y));

    DrawKeyedBitmap(surface.Dc(), bitmap, left, top, kMagenta);

    int wrong = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool inside = x >= left && x < left + 150 && y >= top && y < top + 16;
            COLORREF expected =
                inside && !banner.IsKey(x - left, y - top) ? banner.Colour(x - left, y - top) : Pattern(x, y);
            COLORREF actual = surface.Pixel(x, y);
            if (actual != expected && wrong++ < 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << actual << ", expected "
                              << expected << (inside ? " (banner)" : " (outside)");
        }
    }
    EXPECT_EQ(wrong, 0);

    // The caller's bitmap comes back as it was.
    EXPECT_EQ(BitmapPixels(bitmap, 150, 16), before);
    DeleteObject(bitmap);
}

TEST_F(FolderPageChrome, PagePaintsTheBannerTenPixelsInFromItsLowerRightCorner)
{
    BannerImage banner = ReadBanner(DirDress().module, kDirDressBannerId);
    ASSERT_TRUE(banner.Valid());
    SavePicture(host->Sheet(), L"folder_page_banner");
    host->Repaint();

    ClientCapture capture(host->Page());
    const RECT& rc = capture.Client();
    ASSERT_GT(rc.right, 170);
    ASSERT_GT(rc.bottom, 40);
    const int left = rc.right - 160, top = rc.bottom - 26;
    // The page's own background, below and right of the banner.
    const COLORREF background = capture.Pixel(rc.right - 4, rc.bottom - 4);
    EXPECT_NE(background, kMagenta);

    int wrongLogo = 0, wrongKey = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 150; ++x) {
            COLORREF actual = capture.Pixel(left + x, top + y);
            if (banner.IsKey(x, y))
                wrongKey += actual != background;
            else
                wrongLogo += actual != banner.Colour(x, y);
        }
    }
    EXPECT_EQ(wrongLogo, 0) << "logo pixels not drawn as they are";
    EXPECT_EQ(wrongKey, 0) << "key pixels not left as the page's background";
    // The margins right of and below the banner stay empty.
    for (int x = left + 150; x < rc.right; ++x)
        EXPECT_EQ(capture.Pixel(x, top + 8), background) << "x " << x;
    for (int y = top + 16; y < rc.bottom; ++y)
        EXPECT_EQ(capture.Pixel(left + 75, y), background) << "y " << y;
    // No magenta anywhere on the page.
    int magenta = 0;
    for (int y = 0; y < rc.bottom; ++y)
        for (int x = 0; x < rc.right; ++x)
            magenta += capture.Pixel(x, y) == kMagenta;
    EXPECT_EQ(magenta, 0);
}

// Handle counts: each paint loads, draws with five DCs and four bitmaps, and
// frees everything again.
TEST_F(FolderPageChrome, EveryPaintLoadsDrawsAndFreesTheBanner)
{
    ImportSpy spy(DirDress().module);
    for (const char* name : {"LoadBitmapW", "CreateCompatibleDC", "CreateBitmap", "CreateCompatibleBitmap", "DeleteDC",
                             "DeleteObject"})
        ASSERT_TRUE(spy.Imports(name)) << name;
    PumpMessages(20);
    spy.bitmapNames.clear();
    spy.bitmaps = spy.dcs = ImportSpy::Handles();

    const size_t paints = 25;
    for (size_t i = 0; i < paints; ++i) {
        InvalidateRect(host->Page(), nullptr, TRUE);
        UpdateWindow(host->Page());
    }

    EXPECT_EQ(spy.bitmapNames, std::vector<ULONG_PTR>(paints, kDirDressBannerId));
    EXPECT_EQ(spy.dcs.made, 5 * paints);
    EXPECT_EQ(spy.dcs.destroyed, 5 * paints);
    EXPECT_EQ(spy.bitmaps.made, 5 * paints) << "the banner and its two mask and two colour bitmaps";
    EXPECT_EQ(spy.bitmaps.destroyed, 5 * paints);
    EXPECT_TRUE(spy.bitmaps.live.empty() && spy.dcs.live.empty()) << spy.DescribeLive();
}

// ---------------------------------------------------------------------------
// F1 and WM_HELP

TEST_F(FolderPageChrome, HelpForEveryControlOfTheTableReachesHtmlHelp)
{
    LONG n = 0;
    for (const DWORD* pair = FolderPageHelpIds; pair[0] != 0; pair += 2, ++n) {
        int id = static_cast<int>(pair[0]);
        ASSERT_NE(host->Control(id), nullptr) << "control " << id;
        SendHelp(host->Page(), id);
        ASSERT_EQ(NewHelpCalls(), n + 1) << "control " << id;
        ExpectHelpCall(HelpCall(n), host->Control(id), DirDressHelpFile(DirDress()), FolderPageHelpIds);
    }
    EXPECT_EQ(HelpDoubleLog()->callsByName, 0) << "HtmlHelpW must be bound by its ordinal, 15";
}

TEST_F(FolderPageChrome, F1OnAControlAsksForItsHelpOnce)
{
    HWND button = host->Control(1003);
    // What the F1 key makes of itself in the control: WM_HELP for the
    // control, passed on to the page by the control's default handling.
    SendMessageW(button, 0x004D /* WM_KEYF1 */, 0, 0);
    ASSERT_EQ(NewHelpCalls(), 1);
    ExpectHelpCall(HelpCall(0), button, DirDressHelpFile(DirDress()), FolderPageHelpIds);
}

TEST_F(FolderPageChrome, HelpForMenusAndWindowsWithoutAnIdIsIgnored)
{
    HELPINFO info = {};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_MENUITEM;
    info.iCtrlId = 1001;
    info.hItemHandle = host->Control(1001);
    SendMessageW(host->Page(), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(NewHelpCalls(), 0);

    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = -1;
    SendMessageW(host->Page(), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(NewHelpCalls(), 0);
}

// ---------------------------------------------------------------------------
// "What's This?"

TEST_F(FolderPageChrome, RightClickOnATableControlOffersWhatsThisAndShowsItsHelp)
{
    ScriptedMenu menu(DirDress().module, 1);
    HWND button = host->Control(1001);
    POINT point = CentreOf(button);
    // The right click reaches the button first, whose default handling hands
    // WM_CONTEXTMENU on to the page.
    SendMessageW(button, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(button), ScreenLParam(point));

    ASSERT_EQ(MenuCalls.size(), 1u);
    const MenuCall& call = MenuCalls[0];
    EXPECT_EQ(call.flags, 0x180u) << "TPM_RETURNCMD | TPM_NONOTIFY";
    EXPECT_EQ(call.x, point.x);
    EXPECT_EQ(call.y, point.y);
    EXPECT_EQ(call.reserved, 0);
    EXPECT_EQ(call.owner, host->Page());
    EXPECT_TRUE(call.noRectangle);
    EXPECT_EQ(call.itemCount, 1);
    EXPECT_EQ(call.itemId, 1u);
    EXPECT_EQ(call.itemType, static_cast<UINT>(MFT_STRING));
    EXPECT_EQ(call.itemText, L"What's This?");
    EXPECT_FALSE(IsMenu(call.menu)) << "the menu is destroyed after use";

    ASSERT_EQ(NewHelpCalls(), 1);
    ExpectHelpCall(HelpCall(0), button, DirDressHelpFile(DirDress()), FolderPageHelpIds);
}

TEST_F(FolderPageChrome, DisabledTableControlStillOffersWhatsThis)
{
    HWND button = host->Control(1007);  // "&Change..." of the InfoTip, disabled while the box is off
    ASSERT_FALSE(IsWindowEnabled(button));
    ScriptedMenu menu(DirDress().module, 1);
    SendMessageW(host->Page(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(host->Page()), ScreenLParam(CentreOf(button)));
    ASSERT_EQ(MenuCalls.size(), 1u);
    ASSERT_EQ(NewHelpCalls(), 1);
    EXPECT_EQ(HelpCall(0).caller, button);
}

TEST_F(FolderPageChrome, DismissedMenuShowsNoHelp)
{
    ScriptedMenu menu(DirDress().module, 0);
    HWND edit = host->Control(1004);
    SendMessageW(host->Page(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), ScreenLParam(CentreOf(edit)));
    ASSERT_EQ(MenuCalls.size(), 1u);
    EXPECT_FALSE(IsMenu(MenuCalls[0].menu));
    EXPECT_EQ(NewHelpCalls(), 0);
}

TEST_F(FolderPageChrome, NoMenuOverTextsGroupBoxesEmptySpaceOrFromTheKeyboard)
{
    ScriptedMenu menu(DirDress().module, 1);
    HWND page = host->Page();
    // "For all views except Thumbnails, ..." (65535 at 15, 22, 225, 18).
    POINT text = host->ScreenPointOfDialogUnits(15, 22, 225, 18);
    POINT client = text;
    ScreenToClient(page, &client);
    EXPECT_EQ(GetDlgCtrlID(ChildWindowFromPoint(page, client)), kStaticId);
    SendMessageW(page, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(page), ScreenLParam(text));
    // Inside group box "Folder icon" (5, 10, 245, 70), beside its controls.
    SendMessageW(page, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(page),
                 ScreenLParam(host->ScreenPointOfDialogUnits(7, 40, 4, 4)));
    // Below the last group box.
    SendMessageW(page, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(page),
                 ScreenLParam(host->ScreenPointOfDialogUnits(100, 205, 4, 4)));
    // Shift+F10 or the menu key: no position.
    SendMessageW(page, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(host->Control(1001)), static_cast<LPARAM>(-1));
    EXPECT_EQ(MenuCalls.size(), 0u);
    EXPECT_EQ(NewHelpCalls(), 0);
}

TEST_F(FolderPageChrome, WhatsThisWorksOnAMonitorLeftOfAndAboveThePrimary)
{
    SetWindowPos(host->Sheet(), nullptr, -900, -700, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessages(20);
    HWND button = host->Control(1005);
    POINT point = CentreOf(button);
    ASSERT_LT(point.x, 0);
    ASSERT_LT(point.y, 0);
    ScriptedMenu menu(DirDress().module, 1);
    SendMessageW(host->Page(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(button), ScreenLParam(point));
    ASSERT_EQ(MenuCalls.size(), 1u);
    EXPECT_EQ(MenuCalls[0].x, point.x);
    EXPECT_EQ(MenuCalls[0].y, point.y);
    ASSERT_EQ(NewHelpCalls(), 1);
    EXPECT_EQ(HelpCall(0).caller, button);
}

// The real menu, chosen from the keyboard by a "user" on a second thread.
TEST_F(FolderPageChrome, ChoosingWhatsThisInTheRealMenuShowsTheHelp)
{
    HWND box = host->Control(1009);
    std::atomic<bool> menuSeen{false};
    std::thread user([&] {
        auto start = std::chrono::steady_clock::now();
        HWND menu = nullptr;
        while (!menu && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
            menu = FindProcessWindow(L"", L"#32768");
            if (!menu)
                Sleep(20);
        }
        if (!menu)
            return;
        menuSeen = true;
        Sleep(100);
        SaveScreenshot(GetDesktopWindow(), L"whats_this_menu");
        PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
        // A menu that would not close must not hang the run.
        for (int i = 0; i < 100 && IsWindowVisible(menu); ++i)
            Sleep(30);
        if (IsWindowVisible(menu))
            PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    SendMessageW(host->Page(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(box), ScreenLParam(CentreOf(box)));
    user.join();
    EXPECT_TRUE(menuSeen);
    ASSERT_EQ(NewHelpCalls(), 1);
    ExpectHelpCall(HelpCall(0), box, DirDressHelpFile(DirDress()), FolderPageHelpIds);
}

TEST_F(DirDressChrome, RedirectedPageOffersTopic9OnTheTargetShortcutButton)
{
    std::wstring netHood = NetworkShortcutsFolder();
    ASSERT_FALSE(netHood.empty());
    std::wstring folder = netHood + L"\\Dress chrome test share";
    CreateDirectoryW(folder.c_str(), nullptr);
    {
        FolderPageHost host(DirDress(), folder);
        ASSERT_NE(host.Page(), nullptr);
        HWND button = host.Control(1011);
        ASSERT_NE(button, nullptr) << "not the redirected-folder page";
        SavePicture(host.Sheet(), L"redirected_page_banner");
        ScriptedMenu menu(DirDress().module, 1);
        SendMessageW(host.Page(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(button), ScreenLParam(CentreOf(button)));
        ASSERT_EQ(MenuCalls.size(), 1u);
        EXPECT_EQ(MenuCalls[0].owner, host.Page());
        ASSERT_EQ(NewHelpCalls(), 1);
        ExpectHelpCall(HelpCall(0), button, DirDressHelpFile(DirDress()), RedirectedPageHelpIds);

        // The folder page's icon controls are not on this page.
        EXPECT_EQ(host.Control(1001), nullptr);
    }
    RemoveTree(folder);
}

// ---------------------------------------------------------------------------
// The routines on a dialog of this program: a table with controls marked as
// having no help, and the HELPINFO that "What's This?" sends.

struct RecordedHelp {
    UINT cbSize;
    int contextType;
    int controlId;
    HANDLE item;
    DWORD_PTR contextId;
    POINT mouse;
};
std::vector<RecordedHelp> HelpMessages;
const DWORD* DialogTable = FilePageHelpIds;

INT_PTR CALLBACK TableDialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_CONTEXTMENU)
        ShowWhatsThisMenu(dialog, lParam, DialogTable);
    if (message == WM_HELP) {
        auto* info = reinterpret_cast<const HELPINFO*>(lParam);
        HelpMessages.push_back(
            {info->cbSize, info->iContextType, info->iCtrlId, info->hItemHandle, info->dwContextId, info->MousePos});
    }
    return FALSE;
}

// A modeless dialog with a check box 1012 (topic 1), a group box 1015 and a
// text 1010 (both marked 0xFFFFFFFF) and a text 65535.
HWND CreateTableDialog()
{
    struct Item {
        DWORD style;
        short x, y, cx, cy;
        WORD id;
        WORD classAtom;
        const wchar_t* text;
    };
    const Item items[] = {
        {WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX | WS_TABSTOP, 10, 10, 90, 10, 1012, 0x0080, L"&Enable custom icons"},
        {WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 10, 30, 120, 40, 1015, 0x0080, L"File icon"},
        {WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 80, 120, 10, 1010, 0x0082, L"For all views"},
        {WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 95, 120, 10, kStaticId, 0x0082, L"Other text"},
    };
    std::vector<WORD> buffer;
    auto align = [&buffer] {
        if (buffer.size() % 2)
            buffer.push_back(0);
    };
    auto push32 = [&buffer](DWORD value) {
        buffer.push_back(LOWORD(value));
        buffer.push_back(HIWORD(value));
    };
    auto pushText = [&buffer](const wchar_t* text) {
        for (; *text; ++text)
            buffer.push_back(*text);
        buffer.push_back(0);
    };
    push32(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT);
    push32(0);
    buffer.push_back(ARRAYSIZE(items));
    buffer.push_back(0);
    buffer.push_back(0);
    buffer.push_back(150);
    buffer.push_back(120);
    buffer.push_back(0);  // no menu
    buffer.push_back(0);  // default class
    pushText(L"Help table");
    buffer.push_back(8);
    pushText(L"MS Shell Dlg");
    for (const Item& item : items) {
        align();
        push32(item.style);
        push32(0);
        buffer.push_back(static_cast<WORD>(item.x));
        buffer.push_back(static_cast<WORD>(item.y));
        buffer.push_back(static_cast<WORD>(item.cx));
        buffer.push_back(static_cast<WORD>(item.cy));
        buffer.push_back(item.id);
        buffer.push_back(0xFFFF);
        buffer.push_back(item.classAtom);
        pushText(item.text);
        buffer.push_back(0);  // no creation data
    }
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<DLGTEMPLATE*>(buffer.data()),
                                      nullptr, TableDialogProc, 0);
}

class TableDialog : public testing::Test {
protected:
    void SetUp() override
    {
        HelpMessages.clear();
        DialogTable = FilePageHelpIds;
        dialog_ = CreateTableDialog();
        ASSERT_NE(dialog_, nullptr);
        PumpMessages(20);
    }
    void TearDown() override { DestroyWindow(dialog_); }
    void RightClick(int id) { SendMessageW(dialog_, WM_CONTEXTMENU, 0, ScreenLParam(CentreOf(GetDlgItem(dialog_, id)))); }

    HWND dialog_ = nullptr;
};

TEST_F(TableDialog, ControlsMarkedWithoutHelpAndPlainTextsOfferNoMenu)
{
    ScriptedMenu menu(GetModuleHandleW(nullptr), 1);
    RightClick(1015);
    RightClick(1010);
    RightClick(kStaticId);
    EXPECT_EQ(MenuCalls.size(), 0u);
    EXPECT_TRUE(HelpMessages.empty());
}

TEST_F(TableDialog, WhatsThisSendsHelpForTheControlFoundUnderThePointer)
{
    ScriptedMenu menu(GetModuleHandleW(nullptr), 1);
    RightClick(1012);
    ASSERT_EQ(MenuCalls.size(), 1u);
    EXPECT_EQ(MenuCalls[0].owner, dialog_);
    ASSERT_EQ(HelpMessages.size(), 1u);
    const RecordedHelp& help = HelpMessages[0];
    EXPECT_EQ(help.cbSize, sizeof(HELPINFO));
    EXPECT_EQ(help.contextType, HELPINFO_WINDOW);
    EXPECT_EQ(help.controlId, 1012);
    EXPECT_EQ(help.item, GetDlgItem(dialog_, 1012));
    EXPECT_EQ(help.contextId, 0u);
    EXPECT_EQ(help.mouse.x, 0);
    EXPECT_EQ(help.mouse.y, 0);
}

TEST_F(TableDialog, EmptyOrMissingTableOffersNoMenu)
{
    static const DWORD empty[] = {0, 0};
    ScriptedMenu menu(GetModuleHandleW(nullptr), 1);
    DialogTable = empty;
    RightClick(1012);
    DialogTable = nullptr;
    RightClick(1012);
    EXPECT_EQ(MenuCalls.size(), 0u);
    EXPECT_TRUE(HelpMessages.empty());
}

// ---------------------------------------------------------------------------
// Help path and the HTML Help binding

TEST(BuildHelpPath, NamesTheHelpFileBesideTheModuleAndRefusesACutPath)
{
    WCHAR path[kHelpPathCapacity];
    ASSERT_TRUE(BuildHelpPath(kPickStringTopicFile, path, ARRAYSIZE(path)));
    EXPECT_EQ(std::wstring(path), ProgramFile(L"QLNHELP.chm::/PickString.txt"));

    // Room for the module path but not for the help file and topic.
    WCHAR self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    size_t tight = wcslen(self) + 4;
    path[0] = L'x';
    EXPECT_FALSE(BuildHelpPath(kPickStringTopicFile, path, tight));
    EXPECT_EQ(path[0], L'\0');
    // Not even room for the module path.
    path[0] = L'x';
    EXPECT_FALSE(BuildHelpPath(kPickStringTopicFile, path, 8));
    EXPECT_EQ(path[0], L'\0');
}

// This program's own copy of the chrome has not looked for HTML Help yet:
// no other test asks it for help.
TEST(HtmlHelpBinding, FallsBackToTheLibraryByNameAndLooksOnlyOnce)
{
    ASSERT_NE(HelpDoubleLog(), nullptr);
    ASSERT_EQ(GetModuleHandleW(L"hhctrl.ocx"), nullptr);
    HWND window = CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HELPINFO info = {};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = 1012;
    info.hItemHandle = window;
    {
        HelpDoubleRegistration missing(L"C:\\no such folder\\hhctrl.ocx");
        ShowContextHelp(window, &info, FilePageHelpIds, kDocDressTopicFile);
    }
    EXPECT_NE(GetModuleHandleW(L"hhctrl.ocx"), nullptr) << "the library was not loaded by name";

    // The double is registered again now, but the choice is kept.
    LONG before = HelpDoubleLog()->calls;
    ShowContextHelp(window, &info, FilePageHelpIds, kDocDressTopicFile);
    EXPECT_EQ(HelpDoubleLog()->calls, before);
    DestroyWindow(window);
}

// A second copy of DirDress (its own module, its own one-time lookup) finds
// the double through a REG_EXPAND_SZ path, and names the help file beside
// itself.
TEST_F(DirDressChrome, RegisteredPathWithEnvironmentVariablesIsExpanded)
{
    TempDir copyDir;
    std::wstring copy = copyDir.Child(L"DirDressCopy.dll");
    ASSERT_TRUE(CopyFileW(DirDress().Path().c_str(), copy.c_str(), FALSE));
    SetEnvironmentVariableW(L"DRESS_TEST_DOUBLE_DIR", ProgramFolder().c_str());
    {
        HelpDoubleRegistration expandable(L"%DRESS_TEST_DOUBLE_DIR%\\HtmlHelpDouble.dll", REG_EXPAND_SZ);
        Deliverable second = Deliverable::Load(copy.c_str());
        ASSERT_NE(second.module, nullptr);
        ASSERT_NE(second.module, DirDress().module);
        {
            FolderPageHost host(second, temp_.Path());
            ASSERT_NE(host.Page(), nullptr);
            HWND edit = host.Control(1000);
            SendHelp(host.Page(), 1000);
            ASSERT_EQ(NewHelpCalls(), 1);
            ExpectHelpCall(HelpCall(0), edit, copyDir.Path() + L"\\QLNHELP.chm::/DirDress.txt", FolderPageHelpIds);
        }
        PumpMessages(20);
        FreeLibrary(second.module);
    }
    SetEnvironmentVariableW(L"DRESS_TEST_DOUBLE_DIR", nullptr);
}

}  // namespace
