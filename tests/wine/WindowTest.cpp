// The control window as the operator meets it: frame, page list, switching,
// reopening (also after the thread that opened it ended), the File menu,
// numeric edits, and keyboard navigation that leaves the host its own keys.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "DialogDriver.h"
#include "HostHarness.h"
#include "framework/PrivateMessages.h"
#include "Operator.h"
#include "resource.h"
#include "shell/TrendWindow.h"

using namespace kelvane;
using harness::HoldModifiers;
using harness::HostHarness;
using harness::Operator;
using harness::PressViaLoop;
using harness::PumpFor;

namespace {

const char* const kCaptions[5] = {"General Control", "DT Gain Control", "Monopole Control/Full wave",
                                  "Dipole Control/Full wave", "Acoustic Process"};

struct WindowTest : ::testing::Test {
    HostHarness host;
    HWND frame = nullptr;
    void SetUp() override {
        host.PrepareWorkFolder(std::string("D:\\work\\") +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(host.Load());
        host.Init();
        frame = host.Show();
        ASSERT_NE(nullptr, frame);
    }
    std::string Caption(const Operator& op) const {
        char buf[64] = {};
        GetDlgItemTextA(op.View(), IDC_VIEW_CAPTION, buf, sizeof buf);
        return buf;
    }
};

TEST_F(WindowTest, FrameHasTitleMenuAndSizingBorderOnly) {
    char title[64];
    GetWindowTextA(frame, title, sizeof title);
    EXPECT_STREQ("Varro Control Window", title);
    const LONG style = GetWindowLongA(frame, GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    HMENU menu = GetMenu(frame);
    ASSERT_NE(nullptr, menu);
    char text[32];
    GetMenuStringA(menu, 0, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ("&File", text);
    GetMenuStringA(GetSubMenu(menu, 0), ID_FILE_EXIT, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ("&Exit", text);
    char sendAll[64];
    GetMenuStringA(GetSubMenu(menu, 0), ID_FILE_SEND_ALL, sendAll, sizeof sendAll, MF_BYCOMMAND);
    EXPECT_STREQ("&Send all settings to the tool\tCtrl+Shift+D", sendAll);
}

TEST_F(WindowTest, PageListHoldsTheFivePagesAndStartsOnGeneral) {
    Operator op(frame);
    HWND list = op.PageList();
    ASSERT_EQ(5, ListView_GetItemCount(list));
    for (int i = 0; i < 5; ++i) {
        char text[64] = {};
        ListView_GetItemText(list, i, 0, text, sizeof text);
        EXPECT_STREQ(kCaptions[i], text);
    }
    LVCOLUMNA col{};
    char colText[64] = {};
    col.mask = LVCF_TEXT;
    col.pszText = colText;
    col.cchTextMax = sizeof colText;
    SendMessageA(list, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&col));
    EXPECT_STREQ("Acoustic Control Page", colText);
    EXPECT_EQ(RGB(255, 255, 255), ListView_GetTextColor(list));
    EXPECT_EQ(RGB(128, 128, 128), ListView_GetBkColor(list));
    EXPECT_EQ(0, op.ShownPage());
    EXPECT_EQ("General Control", Caption(op));
    for (int i = 0; i < 5; ++i) EXPECT_NE(nullptr, op.PageWindow(i)) << i;
}

RECT ItemRect(HWND list, int item, int part) {
    RECT r{};
    r.left = part;
    SendMessageA(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r));
    return r;
}

// Pixel sizes follow the DPI (the matrix runs this at 144 too): the frame
// opens showing the whole form (at 96 DPI exactly the form, as always) and
// the status strip under it, the icons are drawn for the DPI, and every item
// shows its whole label in the list without scrolling, the selected one's
// too, clear of the next icon.
TEST_F(WindowTest, FrameShowsTheWholeFormAndThePageListCutsNothing) {
    Operator op(frame);
    RECT form{0, 0, 452, 373};
    MapDialogRect(op.View(), &form);
    RECT client{}, outer{};
    GetClientRect(frame, &client);
    GetWindowRect(frame, &outer);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(frame, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT& work = monitor.rcWork;
    ASSERT_LE(outer.right - outer.left, work.right - work.left) << "this screen is too small for the test";
    ASSERT_LE(outer.bottom - outer.top, work.bottom - work.top) << "this screen is too small for the test";
    RECT view{}, strip{};
    GetClientRect(op.View(), &view);
    EXPECT_EQ(form.right, view.right);
    EXPECT_EQ(form.bottom, view.bottom);
    // The strip fills the rest, below the form: it covers none of it.
    ASSERT_NE(nullptr, op.StatusStrip());
    EXPECT_TRUE(IsWindowVisible(op.StatusStrip()));
    GetWindowRect(op.StatusStrip(), &strip);
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&strip), 2);
    EXPECT_EQ(client.bottom, strip.bottom);
    EXPECT_EQ(form.bottom, strip.top);
    EXPECT_EQ(form.right, client.right);
    EXPECT_TRUE(outer.left >= work.left && outer.top >= work.top && outer.right <= work.right &&
                outer.bottom <= work.bottom);

    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    HWND list = op.PageList();
    int cx = 0, cy = 0;
    ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_NORMAL), &cx, &cy);
    EXPECT_EQ(dpi >= 192 ? 64 : dpi >= 144 ? 48 : 32, cx) << dpi << " DPI";
    EXPECT_EQ(cx, cy);

    RECT area{};
    GetClientRect(list, &area);
    HDC listDc = GetDC(list);
    HGDIOBJ oldFont = SelectObject(listDc, reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
    for (int selected : {0, 2, 3}) {
        op.ClickPageItem(selected);
        for (int i = 0; i < 5; ++i) {
            SCOPED_TRACE(std::string(kCaptions[i]) + ", " + kCaptions[selected] + " selected");
            const RECT bounds = ItemRect(list, i, LVIR_BOUNDS), label = ItemRect(list, i, LVIR_LABEL);
            EXPECT_TRUE(bounds.top >= 0 && bounds.bottom <= area.bottom && bounds.right <= area.right);
            if (i + 1 < 5) {
                EXPECT_LE(label.bottom, ItemRect(list, i + 1, LVIR_ICON).top);
            }
            RECT need{0, 0, label.right - label.left, 0};
            DrawTextA(listDc, kCaptions[i], -1, &need, DT_CALCRECT | DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
            EXPECT_GE(label.bottom - label.top, need.bottom) << "the label is cut";
        }
    }
    SelectObject(listDc, oldFont);
    ReleaseDC(list, listDc);
}

// The control window opens beside the host's window (the one given at
// start-up), not over its panels, where its monitor's work area has room;
// without room it opens where it always did, inside the work area.
TEST_F(WindowTest, FrameOpensBesideTheHostWindowWhereThereIsRoom) {
    // Its size as a window opened again in this load has it.
    SendMessageA(frame, WM_CLOSE, 0, 0);
    HostHarness::Pump();
    frame = host.Show();
    ASSERT_NE(nullptr, frame);
    RECT frameRect{};
    GetWindowRect(frame, &frameRect);
    const int width = frameRect.right - frameRect.left;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(frame, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT work = monitor.rcWork;
    // As wide as leaves the control window room beside it, or as narrow as
    // the system lets a captioned window be (at 144 DPI on this display
    // there is then no room on either side).
    const int hostWidth = std::max<int>(work.right - work.left - width, GetSystemMetrics(SM_CXMIN));
    const bool room = hostWidth + width <= work.right - work.left;
    const struct {
        const char* name;
        RECT host;
        int side;  // 1 right of the host, -1 left of it, 0 no room: anywhere in the work area
    } cases[] = {
        {"host at the left", {work.left, work.top, work.left + hostWidth, work.top + 200}, room ? 1 : 0},
        {"host at the right", {work.right - hostWidth, work.top + 30, work.right, work.top + 230}, room ? -1 : 0},
        {"host filling the work area", work, 0},
    };
    HWND hostWindow = host.HostWindow();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SendMessageA(frame, WM_CLOSE, 0, 0);
        HostHarness::Pump();
        SetWindowPos(hostWindow, nullptr, c.host.left, c.host.top, c.host.right - c.host.left,
                     c.host.bottom - c.host.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        frame = host.Show();
        ASSERT_NE(nullptr, frame);
        RECT placed{}, hostRect{}, overlap{};
        GetWindowRect(frame, &placed);
        GetWindowRect(hostWindow, &hostRect);
        EXPECT_TRUE(placed.left >= work.left && placed.top >= work.top && placed.right <= work.right &&
                    placed.bottom <= work.bottom)
            << placed.left << "," << placed.top << " " << placed.right << "," << placed.bottom;
        if (c.side == 0) continue;
        EXPECT_FALSE(IntersectRect(&overlap, &placed, &hostRect)) << "over the host's window";
        EXPECT_EQ(c.side > 0 ? hostRect.right : hostRect.left, c.side > 0 ? placed.left : placed.right);
        EXPECT_EQ(hostRect.top, placed.top) << "lined up with the host's top";
    }
    ShowWindow(hostWindow, SW_HIDE);
}

TEST_F(WindowTest, ClickingAnItemShowsOnePageAndHidesFour) {
    Operator op(frame);
    op.ClickPageItem(-1);  // empty area before any selection: nothing changes
    EXPECT_EQ(0, op.ShownPage());
    for (int k : {4, 1, 3, 2, 0, 2}) {
        op.ClickPageItem(k);
        EXPECT_EQ(k, op.ShownPage());
        EXPECT_EQ(kCaptions[k], Caption(op));
        int visible = 0;
        for (int i = 0; i < 5; ++i) visible += IsWindowVisible(op.PageWindow(i)) ? 1 : 0;
        EXPECT_EQ(1, visible);
    }
    // The shown item again: icon and caption reload, the page stays.
    SetDlgItemTextA(op.View(), IDC_VIEW_CAPTION, "x");
    op.ClickPageItem(2);
    EXPECT_EQ(2, op.ShownPage());
    EXPECT_EQ(kCaptions[2], Caption(op));
}

TEST_F(WindowTest, SecondShowRaisesTheSameWindowAndReopenStartsOnGeneral) {
    Operator op(frame);
    op.ClickPageItem(3);
    EXPECT_EQ(frame, host.Show());
    SendMessageA(frame, WM_CLOSE, 0, 0);
    HostHarness::Pump();
    EXPECT_FALSE(IsWindow(frame));
    HWND again = host.Show();
    ASSERT_NE(nullptr, again);
    EXPECT_TRUE(IsWindow(again));
    Operator op2(again);
    EXPECT_EQ(0, op2.ShownPage());
    EXPECT_EQ("General Control", Caption(op2));
}

TEST_F(WindowTest, FileExitClosesTheWindow) {
    SendMessageA(frame, WM_COMMAND, MAKEWPARAM(ID_FILE_EXIT, 0), 0);
    HostHarness::Pump();
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_NE(nullptr, host.Show());
}

TEST_F(WindowTest, ReadBackReachesHiddenPagesAndClosedWindowPostsNothing) {
    Operator op(frame);
    op.ClickPageItem(4);
    std::vector<int16_t> words(FRAME_MIN_WORDS, 0);
    for (int i = 0; i < 8; ++i) {
        words[READBACK_MONO_WORD + i] = static_cast<int16_t>(10 + i);
        words[READBACK_DIPOLE_WORD + i] = static_cast<int16_t>(-20 - i);
    }
    for (int i = 0; i < 4; ++i) words[READBACK_DT_WORD + i] = static_cast<int16_t>(-5 + i);
    host.SetFrame(words.data());
    host.Process();
    HostHarness::Pump();
    for (int i = 0; i < 4; ++i) EXPECT_EQ(std::to_string(-5 + i), op.Text(1, 1074 + i));
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(std::to_string(10 + i), op.Text(2, 1074 + i));
        EXPECT_EQ(std::to_string(-20 - i), op.Text(3, 1074 + i));
    }
    SendMessageA(frame, WM_CLOSE, 0, 0);
    HostHarness::Pump();
    host.Process();  // no window: snapshot only, nothing posted, no crash
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_READBACKNOTICE, WM_READBACKNOTICE, PM_NOREMOVE));
    host.SetFrame(nullptr);
}

// WM_EDITVALUE as the page receives it, recorded by subclassing the page.
struct EditValue {
    uint32_t bits;
    LPARAM id;
};
std::vector<EditValue> g_values;
LRESULT CALLBACK RecordEditValue(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_EDITVALUE) g_values.push_back({static_cast<uint32_t>(wp), lp});
    return DefSubclassProc(w, msg, wp, lp);
}

uint32_t FloatBits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

TEST_F(WindowTest, EnterCommitsTheTypedNumberAndNothingElseDoes) {
    Operator op(frame);
    op.ClickPageItem(4);
    HWND page = op.PageWindow(4);
    ASSERT_TRUE(SetWindowSubclass(page, &RecordEditValue, 1, 0));
    const struct {
        const char* text;
        float value;
    } cases[] = {{"-7.6", -7.6f}, {"", 0.0f},     {"12abc", 12.0f}, {"  3e2", 300.0f},
                 {"abc", 0.0f},   {"0x20", 0.0f}, {"inf", 0.0f},    {"nan", 0.0f}};  // atof's plain decimal form only
    for (const auto& c : cases) {
        g_values.clear();
        op.TypeAndEnter(4, IDC_AP_DT_MIN, c.text);
        ASSERT_EQ(1u, g_values.size()) << c.text;
        EXPECT_EQ(FloatBits(c.value), g_values[0].bits) << c.text;
        EXPECT_EQ(IDC_AP_DT_MIN, g_values[0].id);
    }
    // Through the host's plain message loop: the dialog manager must not eat Enter.
    g_values.clear();
    op.TypeAndEnterViaLoop(4, IDC_AP_DT_MAX, "-7.6");
    ASSERT_EQ(1u, g_values.size());
    EXPECT_EQ(FloatBits(-7.6f), g_values[0].bits);
    EXPECT_EQ(IDC_AP_DT_MAX, g_values[0].id);

    // Tab, other keys and leaving the box commit nothing.
    g_values.clear();
    HWND edit = op.Control(4, IDC_AP_DT_MAX);
    SetFocus(edit);
    PostMessageA(edit, WM_KEYDOWN, VK_TAB, 1);
    PostMessageA(edit, WM_KEYDOWN, '7', 1);
    PostMessageA(edit, WM_CHAR, '7', 1);
    HostHarness::Pump();
    SetFocus(op.Control(4, IDC_AP_DT_MIN));
    HostHarness::Pump();
    EXPECT_TRUE(g_values.empty());
    RemoveWindowSubclass(page, &RecordEditValue, 1);
}

TEST_F(WindowTest, TabMovesFocusThroughTheShownPageUnderAPlainLoop) {
    Operator op(frame);
    op.ClickPageItem(0);
    HWND first = op.Control(0, IDC_GEN_DT_DELAY);
    SetFocus(first);
    ASSERT_EQ(first, GetFocus());
    PostMessageA(first, WM_KEYDOWN, VK_TAB, 1);
    PostMessageA(first, WM_KEYUP, VK_TAB, 0xC0000001);
    HostHarness::Pump();
    HWND now = GetFocus();
    EXPECT_NE(first, now);
    EXPECT_TRUE(IsChild(op.PageWindow(0), now)) << "focus left the shown page";
    // Shift+Tab comes back.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    PostMessageA(now, WM_KEYDOWN, VK_TAB, 1);
    HostHarness::Pump();
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(first, GetFocus());
}

TEST_F(WindowTest, PageRepaintsOnResizeAndPassesMinMaxUnchanged) {
    Operator op(frame);
    HWND page = op.PageWindow(1);
    RECT before;
    GetWindowRect(GetDlgItem(page, IDC_DT_CH1), &before);
    SendMessageA(page, WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 400));
    RECT after;
    GetWindowRect(GetDlgItem(page, IDC_DT_CH1), &after);
    EXPECT_EQ(0, std::memcmp(&before, &after, sizeof before)) << "no control moves without a map";
    MINMAXINFO mmi{};
    mmi.ptMinTrackSize = POINT{11, 22};
    SendMessageA(page, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(11, mmi.ptMinTrackSize.x);
    EXPECT_EQ(22, mmi.ptMinTrackSize.y);
}

// The keyboard hook takes from the host's loop only the keys our dialogs
// need (Tab, arrows, Enter, Escape, Alt+mnemonic, Ctrl+A in an edit, the
// window's Ctrl shortcuts). Every other key aimed at our window reaches the
// host's loop as sent: a host's accelerators (F5, Ctrl+S here) keep working
// while the operator works in our window, and nothing aimed at the host's
// own windows is taken, our shortcuts included.
TEST_F(WindowTest, HostLoopKeepsTheKeysOurDialogsDoNotNeed) {
    Operator op(frame);
    HWND edit = op.Control(2, IDC_MONO_CH3);
    const struct {
        const char* what;
        UINT message;
        WPARAM key;
        bool ctrl, shift, toHost;
        bool taken;
    } keys[] = {
        {"F5", WM_KEYDOWN, VK_F5, false, false, false, false},
        {"F5 up", WM_KEYUP, VK_F5, false, false, false, false},
        {"Ctrl+S", WM_KEYDOWN, 'S', true, false, false, false},
        {"Ctrl+D", WM_KEYDOWN, 'D', true, false, false, false},
        {"Ctrl+Shift+A", WM_KEYDOWN, 'A', true, true, false, false},
        {"Ctrl+Shift+PageDown", WM_KEYDOWN, VK_NEXT, true, true, false, false},
        {"A pressed", WM_KEYDOWN, 'A', false, false, false, false},
        {"a typed", WM_CHAR, 'a', false, false, false, false},
        {"Alt+F (the menu)", WM_SYSKEYDOWN, 'F', false, false, false, false},
        {"Ctrl+Tab to the host's window", WM_KEYDOWN, VK_TAB, true, false, true, false},
        {"Ctrl+Shift+D to the host's window", WM_KEYDOWN, 'D', true, true, true, false},
        {"Ctrl+A to the host's window", WM_KEYDOWN, 'A', true, false, true, false},
        {"Tab", WM_KEYDOWN, VK_TAB, false, false, false, true},
        {"Down", WM_KEYDOWN, VK_DOWN, false, false, false, true},
        {"Escape", WM_KEYDOWN, VK_ESCAPE, false, false, false, true},
        {"Enter", WM_KEYDOWN, VK_RETURN, false, false, false, true},
        {"Ctrl+A", WM_KEYDOWN, 'A', true, false, false, true},
        {"Ctrl+Shift+D", WM_KEYDOWN, 'D', true, true, false, true},
        {"Ctrl+PageUp", WM_KEYDOWN, VK_PRIOR, true, false, false, true},
        {"Ctrl+Tab", WM_KEYDOWN, VK_TAB, true, false, false, true},
    };
    for (const auto& k : keys) {
        if (op.ShownPage() != 2) op.ClickPageItem(2);
        SetFocus(edit);
        HostHarness::Pump();
        HWND target = k.toHost ? host.HostWindow() : edit;
        HoldModifiers(k.ctrl, k.shift);
        PostMessageA(target, k.message, k.key, 1);
        // The host's loop: the message as GetMessage/PeekMessage hands it over.
        MSG msg{};
        const BOOL got = PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE);
        HoldModifiers(false, false);
        ASSERT_TRUE(got) << k.what;
        if (k.taken) {
            EXPECT_EQ(static_cast<UINT>(WM_NULL), msg.message) << k.what << " reached the host's loop too";
        } else {
            EXPECT_EQ(k.message, msg.message) << k.what;
            EXPECT_EQ(k.key, msg.wParam) << k.what;
            EXPECT_EQ(target, msg.hwnd) << k.what;
        }
        // Ctrl+Shift+D is Send all: its preview, when it comes, is cancelled.
        harness::AnswerSendAllPreview(
            [&] {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
                HostHarness::Pump();
            },
            false);
        if (k.key == VK_TAB && !k.toHost) {
            EXPECT_NE(edit, GetFocus()) << k.what << " moves on";
        }
        if (k.toHost) {
            EXPECT_EQ(2, op.ShownPage()) << k.what;
        }
    }
}

// Ctrl+Tab and Ctrl+PageDown go to the next page, Ctrl+Shift+Tab and
// Ctrl+PageUp to the previous, wrapping at both ends, wherever the focus is
// in the window: the page list follows as if the operator had picked the
// page there, and the focus never stays on a page just hidden.
// The key a label or button's text underlines ("&x"), upper case; 0 for none.
char MnemonicOf(const std::string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] != '&') return static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
        ++i;  // "&&" is a plain ampersand
    }
    return 0;
}

// Every control of every page that the operator can work is reached by an
// Alt key: its own text's mnemonic (buttons, check boxes, radios) or that of
// the label before it in tab order, which moves the focus to it through the
// host's loop. No key repeats on a page, and none is one of the frame's
// (Alt+F and Alt+V open its menus; T stays the trend's, Ctrl+T).
TEST_F(WindowTest, MnemonicsReachEveryPageControlAndNoneRepeats) {
    Operator op(frame);
    const std::string frameKeys = "FVT";
    // Never enabled by their pages; and the Acoustic page's receiver rows,
    // whose row label reaches the row's first box and Tab the rest.
    const std::set<std::pair<int, int>> unreached = {
        {harness::kGeneral, IDC_GEN_DT_DELAY_STEP}, {harness::kGeneral, IDC_GEN_DT_SAMPLERATE},
        {harness::kAcoustic, IDC_AP_FILTER_TYPE},   {harness::kAcoustic, IDC_AP_THRES_TYPE},
        {harness::kAcoustic, IDC_AP_START1},        {harness::kAcoustic, IDC_AP_START2},
        {harness::kAcoustic, IDC_AP_START3},        {harness::kAcoustic, IDC_AP_START4},
        {harness::kAcoustic, IDC_AP_MIN_LINK1},     {harness::kAcoustic, IDC_AP_MIN_LINK2},
        {harness::kAcoustic, IDC_AP_MIN_LINK3},     {harness::kAcoustic, IDC_AP_MIN_LINK4},
        {harness::kAcoustic, IDC_AP_MIN1},          {harness::kAcoustic, IDC_AP_MIN2},
        {harness::kAcoustic, IDC_AP_MIN3},          {harness::kAcoustic, IDC_AP_MIN4},
    };
    for (int page = 0; page < 5; ++page) {
        SCOPED_TRACE(kCaptions[page]);
        op.ClickPageItem(page);
        std::map<char, std::string> keys;  // each mnemonic of the page and whose it is
        std::vector<std::pair<HWND, char>> throughLabels;
        char label = 0;
        for (HWND c = GetWindow(op.PageWindow(page), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            char cls[32] = {};
            GetClassNameA(c, cls, sizeof cls);
            const LONG style = GetWindowLongA(c, GWL_STYLE);
            const bool isStatic = lstrcmpiA(cls, "Static") == 0;
            const bool isButton = lstrcmpiA(cls, "Button") == 0;
            const LONG kind = style & BS_TYPEMASK;
            char text[128] = {};
            GetWindowTextA(c, text, sizeof text);
            const char key = isStatic || isButton ? MnemonicOf(text) : 0;
            if (key) {
                EXPECT_EQ(0u, keys.count(key)) << "Alt+" << key << ": \"" << keys[key] << "\" and \"" << text << "\"";
                EXPECT_EQ(std::string::npos, frameKeys.find(key)) << "Alt+" << key << " is the frame's: " << text;
                keys[key] = text;
            }
            if (isStatic || (isButton && kind == BS_GROUPBOX)) {
                if (key) label = key;
                continue;
            }
            const bool radio = isButton && (kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON);
            if (!(style & WS_TABSTOP) && !radio) continue;  // arrows, read-back boxes
            const char own = isButton ? key : 0;
            const char reached = own ? own : label;
            label = 0;
            if (unreached.count({page, GetDlgCtrlID(c)})) continue;
            EXPECT_NE(0, reached) << "control " << GetDlgCtrlID(c) << " (" << cls << " \"" << text
                                  << "\") has no mnemonic";
            if (!own && reached && IsWindowEnabled(c)) throughLabels.emplace_back(c, reached);
        }
        // A label's key moves the focus to its control, through the host's loop.
        for (const auto& [control, key] : throughLabels) {
            SetFocus(op.PageList());
            HostHarness::Pump();
            PostMessageA(GetFocus(), WM_SYSCHAR, static_cast<WPARAM>(std::tolower(key)), 0x20000001);
            HostHarness::Pump();
            EXPECT_EQ(control, GetFocus()) << "Alt+" << key << " (control " << GetDlgCtrlID(control) << ")";
        }
    }
}

TEST_F(WindowTest, CtrlTabAndCtrlPageKeysStepThroughThePagesAndWrap) {
    Operator op(frame);
    enum Focus { kInPage, kInList, kOnFrame };
    const struct {
        int from;
        WPARAM key;
        bool shift;
        Focus focus;
        int to;
    } cases[] = {
        {4, VK_TAB, false, kInPage, 0},  {0, VK_PRIOR, false, kInList, 4}, {0, VK_TAB, true, kInPage, 4},
        {4, VK_NEXT, false, kInPage, 0}, {1, VK_NEXT, false, kInList, 2},  {3, VK_PRIOR, false, kInPage, 2},
        {2, VK_TAB, false, kOnFrame, 3}, {1, VK_TAB, true, kInList, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(kCaptions[c.from]) + " to " + kCaptions[c.to]);
        op.ClickPageItem(c.from);
        ASSERT_EQ(c.from, op.ShownPage());
        HWND start = c.focus == kInList ? op.PageList() : GetNextDlgTabItem(op.PageWindow(c.from), nullptr, FALSE);
        SetFocus(start);
        PressViaLoop(c.focus == kOnFrame ? frame : start, c.key, true, c.shift);
        EXPECT_EQ(c.to, op.ShownPage());
        EXPECT_EQ(kCaptions[c.to], Caption(op));
        EXPECT_EQ(c.to, ListView_GetNextItem(op.PageList(), -1, LVNI_SELECTED));
        HWND focus = GetFocus();
        EXPECT_TRUE(IsWindowVisible(focus));
        if (c.focus == kInPage) {
            EXPECT_TRUE(IsChild(op.PageWindow(c.to), focus)) << "the new page's first control has the focus";
        } else if (c.focus == kInList) {
            EXPECT_EQ(op.PageList(), focus);
        }
    }
}

// Ctrl+Shift+D, the File menu's "Send all settings to the tool", is the
// menu command posted to the frame, from anywhere in the window.
UINT g_frameCommands[4];
int g_frameCommandCount;
LRESULT CALLBACK RecordFrameCommand(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_COMMAND && g_frameCommandCount < 4) g_frameCommands[g_frameCommandCount++] = static_cast<UINT>(wp);
    return DefSubclassProc(w, msg, wp, lp);
}

TEST_F(WindowTest, CtrlShiftDPostsSendAllToTheFrame) {
    Operator op(frame);
    ASSERT_TRUE(SetWindowSubclass(frame, &RecordFrameCommand, 1, 0));
    const struct {
        int page;
        int id;  // 0: the page list
        bool shift;
        int commands;
    } cases[] = {
        {harness::kGeneral, IDC_GEN_DT_DELAY, true, 1},
        {harness::kDipole, IDC_DIP_CH5, true, 1},
        {harness::kAcoustic, 0, true, 1},
        {harness::kDipole, IDC_DIP_CH5, false, 0},  // Ctrl+D is no shortcut
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.page) + "/" + std::to_string(c.id));
        op.ClickPageItem(c.page);
        HWND target = c.id ? op.Control(c.page, c.id) : op.PageList();
        SetFocus(target);
        const std::string before = c.id ? op.Text(c.page, c.id) : std::string();
        g_frameCommandCount = 0;
        harness::AnswerSendAllPreview([&] { PressViaLoop(target, 'D', true, c.shift); }, false);
        ASSERT_EQ(c.commands, g_frameCommandCount);
        if (c.commands) {
            EXPECT_EQ(static_cast<UINT>(MAKEWPARAM(ID_FILE_SEND_ALL, 0)), g_frameCommands[0]);
        }
        if (c.id) {
            EXPECT_EQ(before, op.Text(c.page, c.id)) << "nothing typed";
        }
    }
    RemoveWindowSubclass(frame, &RecordFrameCommand, 1);
}

// Up and Down in a gain box are its arrows: each sends, block for block,
// what a click on the upper or lower arrow sends from the same state (the
// key and the click go in turns, each pair from one state), a held key
// steps once per repeat, and arrows the page disabled take no keys.
TEST_F(WindowTest, UpAndDownInAGainBoxActAsItsArrows) {
    Operator op(frame);
    const struct {
        int page;
        int autoOff;
        int edit;
        int arrows;
    } boxes[] = {
        {harness::kDtGain, IDC_DT_AUTO_OFF, IDC_DT_CH2, IDC_DT_SPIN_CH2},
        {harness::kDtGain, IDC_DT_AUTO_OFF, IDC_DT_ALL, IDC_DT_SPIN_ALL},
        {harness::kDipole, IDC_DIP_AUTO_OFF, IDC_DIP_CH5, IDC_DIP_SPIN_CH5},
        {harness::kDipole, IDC_DIP_AUTO_OFF, IDC_DIP_ALL, IDC_DIP_SPIN_ALL},
    };
    auto blocks = [&] {
        std::vector<ToolCommand> sent;
        for (const auto& c : host.Commands()) sent.push_back(c.block);
        host.ClearCommands();
        return sent;
    };
    auto same = [](const std::vector<ToolCommand>& a, const std::vector<ToolCommand>& b) {
        return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
    };
    for (const auto& b : boxes) {
        SCOPED_TRACE(std::to_string(b.page) + "/" + std::to_string(b.edit));
        op.ClickPageItem(b.page);
        op.Click(b.page, b.autoOff);
        op.TypeAndEnter(b.page, b.edit, "9");
        HWND edit = op.Control(b.page, b.edit);
        SetFocus(edit);
        host.ClearCommands();
        PressViaLoop(edit, VK_UP);
        const std::vector<ToolCommand> upKey = blocks();
        const std::string afterUp = op.Text(b.page, b.edit);
        op.Arrow(b.page, b.arrows, false);
        const std::vector<ToolCommand> downArrow = blocks();
        op.Arrow(b.page, b.arrows, true);
        const std::vector<ToolCommand> upArrow = blocks();
        EXPECT_EQ(afterUp, op.Text(b.page, b.edit));
        PressViaLoop(edit, VK_DOWN);
        const std::vector<ToolCommand> downKey = blocks();
        ASSERT_FALSE(upKey.empty()) << "Up sent nothing";
        EXPECT_EQ("9", op.Text(b.page, b.edit));
        EXPECT_TRUE(same(upArrow, upKey));
        EXPECT_TRUE(same(downArrow, downKey));
        EXPECT_NE(upKey[0].Payload[0], downKey[0].Payload[0]);

        PressViaLoop(edit, VK_DOWN, false, false, 3);
        EXPECT_EQ(3 * downKey.size(), blocks().size()) << "one step per repeat";
        EnableWindow(op.Control(b.page, b.arrows), FALSE);
        PressViaLoop(edit, VK_UP);
        EXPECT_TRUE(blocks().empty()) << "disabled arrows";
        EnableWindow(op.Control(b.page, b.arrows), TRUE);

        // Held at a range end, the keys stop there: never through the empty
        // box to the other end (the arrows keep that cycle).
        const struct {
            const char* from;
            UINT key;
            int32_t end;
        } ends[] = {{"-30", VK_DOWN, -31}, {"78", VK_UP, 80}};
        for (const auto& e : ends) {
            op.TypeAndEnter(b.page, b.edit, e.from);
            blocks();
            PressViaLoop(edit, e.key, false, false, 5);
            const std::vector<ToolCommand> held = blocks();
            ASSERT_FALSE(held.empty()) << e.from;
            for (const ToolCommand& c : held) EXPECT_EQ(e.end, c.Payload[0]) << e.from;
            const int shown = b.edit == IDC_DT_ALL ? IDC_DT_CH1 : b.edit;  // the DT ALL box keeps its own text
            EXPECT_EQ(std::to_string(e.end), op.Text(b.page, shown)) << e.from;
        }
    }
}

// Ctrl+A selects the whole text of any edit box in the window, numeric or
// not, and types nothing into it.
TEST_F(WindowTest, CtrlASelectsTheWholeBoxAndTypesNothing) {
    Operator op(frame);
    const struct {
        int page;
        int id;
    } boxes[] = {
        {harness::kGeneral, IDC_GEN_DT_DELAY},
        {harness::kDtGain, IDC_DT_CH1},
        {harness::kAcoustic, IDC_AP_DT_MIN},
    };
    for (const auto& b : boxes) {
        SCOPED_TRACE(std::to_string(b.page) + "/" + std::to_string(b.id));
        op.ClickPageItem(b.page);
        HWND edit = op.Control(b.page, b.id);
        EnableWindow(edit, TRUE);  // the DT boxes wait for manual gain
        SetWindowTextA(edit, "123");
        SetFocus(edit);
        SendMessageA(edit, EM_SETSEL, 1, 1);
        host.ClearCommands();
        PressViaLoop(edit, 'A', true);
        DWORD from = 0, to = 0;
        SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        EXPECT_EQ(0u, from);
        EXPECT_EQ(3u, to);
        EXPECT_EQ("123", op.Text(b.page, b.id));
        EXPECT_TRUE(host.Commands().empty());
    }
}

// A host that called ToolControlShow from a thread that has since ended
// (taking its windows with it) gets a new window from the next call, one
// that works like the first, keys included.
TEST_F(WindowTest, ShowAfterTheWindowsThreadEnded) {
    SendMessageA(frame, WM_CLOSE, 0, 0);
    HostHarness::Pump();
    HWND fromThread = nullptr;
    std::atomic<bool> ended{false};
    std::thread shower([&] {
        fromThread = host.Show();
        ended = true;
    });
    // Opening sends a command to the host window of this thread: keep its loop going.
    while (!ended) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        HostHarness::Pump(1);
    }
    shower.join();
    ASSERT_NE(nullptr, fromThread);
    EXPECT_FALSE(IsWindow(fromThread));

    HWND again = host.Show();
    ASSERT_NE(nullptr, again);
    EXPECT_NE(fromThread, again);
    EXPECT_TRUE(IsWindow(again));
    EXPECT_EQ(again, host.Show()) << "the new window is the one raised";
    Operator op(again);
    op.ClickPageItem(2);
    host.ClearCommands();
    op.TypeAndEnterViaLoop(2, IDC_MONO_CH4, "6");
    ASSERT_FALSE(host.Commands().empty()) << "Enter through the host's loop committed nothing";
    EXPECT_EQ(CMD_MONO_CH4_GAIN, host.Commands().back().Code());
    EXPECT_EQ(6, host.Commands().back().Value());
}

}  // namespace

namespace {
// The host's acquisition: frames with read-back words, some dropped (null).
void Frames(HostHarness& host, std::vector<int16_t>& frame, int good, int dropped) {
    for (int i = 0; i < good; ++i) {
        host.SetFrame(frame.data());
        host.Process();
    }
    for (int i = 0; i < dropped; ++i) {
        host.SetFrame(nullptr);
        host.Process();
    }
    HostHarness::Pump();
}
}  // namespace

// The strip says whether frames arrive, how many were dropped since the
// window opened, and what went out last: one command, or a Download's count.
TEST_F(WindowTest, StatusStripShowsFramesDropsAndTheLastCommand) {
    Operator op(frame);
    PumpFor(700);
    // "none yet", or "none since the window opened" once it has been open 2 s
    // (a loaded machine gets there before this line).
    EXPECT_EQ(0u, op.StripText(0).find("Frames: none ")) << op.StripText(0);
    EXPECT_EQ("Dropped: 0", op.StripText(1));

    std::vector<int16_t> words(FRAME_MIN_WORDS, 0);
    Frames(host, words, 5, 3);
    PumpFor(700);
    EXPECT_EQ(0u, op.StripText(0).find("Frames: ")) << op.StripText(0);
    EXPECT_NE(std::string::npos, op.StripText(0).find("/s, last ")) << op.StripText(0);
    EXPECT_EQ("Dropped: 3", op.StripText(1));

    struct Case {
        const char* name;
        void (*act)(Operator&);
        const char* says;  // after the time of day
    } cases[] = {
        {"a typed gain",
         [](Operator& o) {
             o.ClickPageItem(harness::kDtGain);
             o.TypeAndEnter(harness::kDtGain, IDC_DT_CH1, "12");
         },
         " sent DT CH1 gain 12 dB"},
        {"a limited typed gain", [](Operator& o) { o.TypeAndEnter(harness::kDtGain, IDC_DT_CH1, "100"); },
         " DT CH1 gain limited: 100 dB typed, 78 dB sent: 1 command sent"},
        {"an arrow",
         [](Operator& o) {
             o.ClickPageItem(harness::kMonopole);
             o.Arrow(harness::kMonopole, IDC_MONO_SPIN_CH8, true);
         },
         " sent Monopole CH8 gain "},
        {"DT Download", [](Operator& o) { o.Click(harness::kDtGain, IDC_DT_DOWNLOAD_ALL); },
         " DT Download: 6 commands sent"},
        {"Monopole Download", [](Operator& o) { o.Click(harness::kMonopole, IDC_MONO_DOWNLOAD_ALL); },
         " Monopole Download: 11 commands sent"},
        {"General Download", [](Operator& o) { o.Click(harness::kGeneral, IDC_GEN_DOWNLOAD); },
         " General Download: 8 commands sent"},
        {"a reset", [](Operator& o) { o.Click(harness::kGeneral, IDC_GEN_TOOL_RESET); }, " sent Tool reset"},
        {"send all", [](Operator& o) { o.SendAllSettings(); }, " Send all settings: 41 commands sent"},
    };
    for (const Case& c : cases) {
        c.act(op);
        PumpFor(600);
        const std::string line = op.StripText(2);
        ASSERT_GE(line.size(), 8u) << c.name;
        EXPECT_EQ(':', line[2]) << c.name << ": " << line;  // HH:MM:SS first
        EXPECT_EQ(8u, line.find(c.says, 8)) << c.name << ": " << line;
    }

    // A new window counts its own drops.
    SendMessageA(frame, WM_CLOSE, 0, 0);
    HostHarness::Pump();
    Operator again(host.Show());
    PumpFor(700);
    EXPECT_EQ("Dropped: 0", again.StripText(1));
}

// While the host's thread streams frames as fast as it can, every one with
// read-back words, a window opened at any moment, its counts read at any
// moment, shows no drop: the counts are read as one tally.
TEST_F(WindowTest, NoDropShownThatDidNotHappenWhileFramesStreamFlatOut) {
    SendMessageA(frame, WM_CLOSE, 0, 0);
    HostHarness::Pump();
    std::vector<int16_t> words(FRAME_MIN_WORDS, 0);
    host.SetFrame(words.data());
    std::atomic<bool> stop{false};
    std::thread stream([&] {
        while (!stop) host.Process();
    });
    constexpr WPARAM kStatusTimer = 3;  // the frame's half-second strip timer
    int shown = 0;
    std::string phantom;
    // The counts' own race is proven natively (ReadBack.CountsReadMidStream...);
    // here a few dozen windows open against a real stream.
    for (int i = 0; i < 25 && phantom.empty(); ++i) {
        Operator op(host.Show());
        for (int t = 0; t < 4; ++t, ++shown) {
            SendMessageA(op.Frame(), WM_TIMER, kStatusTimer, 0);
            if (op.StripText(1) != "Dropped: 0") phantom = op.StripText(1) + " in window " + std::to_string(i);
        }
        SendMessageA(op.Frame(), WM_CLOSE, 0, 0);
    }
    stop = true;
    stream.join();
    host.SetFrame(nullptr);
    HostHarness::Pump();
    EXPECT_EQ("", phantom) << shown << " readings";
}

// After a tool reset the tool is back at its own defaults: one action sends
// every page's settings, as the operator would page by page, in one order.
TEST_F(WindowTest, SendAllSettingsResendsEveryPageInOneOrder) {
    host.Unload();
    host.WriteIni(
        "[GENERAL CONTROL]\r\nGain Step=3\r\nMono SAMPLERATE=24\r\nDipole SAMPLERATE=24\r\n"
        "DT DELAY=150\r\nDT DELAY STEP=10\r\nDT SAMPLERATE=9\r\nMono DELAY=120\r\nMono DELAY STEP=11\r\n"
        "Dipole DELAY=300\r\nDipole DELAY STEP=12\r\n"
        "[DT GAIN CONTROL]\r\nIsAuto=0\r\nCh1Gain=3\r\nCh2Gain=6\r\nCh3Gain=9\r\nCh4Gain=500\r\n"
        "FirstStartTime=5000\r\nFirstWinLength=400\r\nTotal Offset=20\r\n"
        "[MONOPOLE CONTROL]\r\nIsAuto=1\r\nCh1Gain=1\r\nCh2Gain=2\r\nCh3Gain=3\r\nCh4Gain=4\r\nCh5Gain=5\r\n"
        "Ch6Gain=6\r\nCh7Gain=7\r\nCh8Gain=8\r\n"
        "[DIPOLE CONTROL]\r\nIsAuto=0\r\nCh1Gain=11\r\nCh2Gain=12\r\nCh3Gain=13\r\nCh4Gain=14\r\nCh5Gain=15\r\n"
        "Ch6Gain=16\r\nCh7Gain=17\r\nCh8Gain=-40\r\n");
    ASSERT_TRUE(host.Load());
    host.Init();
    Operator op(host.Show());
    op.ClickPageItem(harness::kDipole);
    op.Click(harness::kDipole, IDC_DIP_FILTER);  // the operator's own change on a page without a Download
    op.TypeAndEnter(harness::kDipole, IDC_DIP_WIN_END, "9000");
    harness::TakeCommands(host);

    op.SendAllSettings();
    const std::vector<harness::CodeValue> want = {
        // General "Download"
        {CMD_DT_RXDELAY, 150},
        {CMD_DT_RXDELAY_STEP, 10},
        {CMD_MONO_RXDELAY, 120},
        {CMD_MONO_RXDELAY_STEP, 11},
        {CMD_MONO_SAMPLERATE, 24},
        {CMD_DIPOLE_RXDELAY, 300},
        {CMD_DIPOLE_RXDELAY_STEP, 12},
        {CMD_DIPOLE_SAMPLERATE, 24},
        // DT "DownLoad all commands", then its window (start limited to its slider)
        {CMD_DT_CH1_GAIN, 3},
        {CMD_DT_CH2_GAIN, 6},
        {CMD_DT_CH3_GAIN, 9},
        {CMD_DT_CH4_GAIN, 80},
        {CMD_DT_DOWNHOLE_FILTER, VALUE_OFF},
        {CMD_DT_AUTO_GAIN, VALUE_OFF},
        {CMD_DT_WIN_START, 2000},
        {CMD_DT_WIN_END, 2400},
        {CMD_DT_TOTAL_OFFSET, 20},
        // Monopole "Download all commands", then its window end (as every start sets it)
        {CMD_MONO_CH1_GAIN, 1},
        {CMD_MONO_CH2_GAIN, 2},
        {CMD_MONO_CH3_GAIN, 3},
        {CMD_MONO_CH4_GAIN, 4},
        {CMD_MONO_CH5_GAIN, 5},
        {CMD_MONO_CH6_GAIN, 6},
        {CMD_MONO_CH7_GAIN, 7},
        {CMD_MONO_CH8_GAIN, 8},
        {CMD_MONO_DOWNHOLE_FILTER, VALUE_OFF},
        {CMD_MONO_STACK, 1},
        {CMD_MONO_AUTO_GAIN, VALUE_ON},
        {CMD_MONO_WIN_END, 2960},
        // Dipole, the same set
        {CMD_DIPOLE_CH1_GAIN, 11},
        {CMD_DIPOLE_CH2_GAIN, 12},
        {CMD_DIPOLE_CH3_GAIN, 13},
        {CMD_DIPOLE_CH4_GAIN, 14},
        {CMD_DIPOLE_CH5_GAIN, 15},
        {CMD_DIPOLE_CH6_GAIN, 16},
        {CMD_DIPOLE_CH7_GAIN, 17},
        {CMD_DIPOLE_CH8_GAIN, -31},
        {CMD_DIPOLE_DOWNHOLE_FILTER, VALUE_ON},
        {CMD_DIPOLE_STACK, 4},
        {CMD_DIPOLE_AUTO_GAIN, VALUE_OFF},
        {CMD_DIPOLE_WIN_END, 8640},
    };
    EXPECT_EQ(want, harness::TakeCommands(host));
    // What went out limited is what the pages, the set and the block now hold.
    EXPECT_EQ("80", op.Text(harness::kDtGain, IDC_DT_CH4));
    EXPECT_EQ("-31", op.Text(harness::kDipole, IDC_DIP_CH8));
    ToolControlPara block{};
    ASSERT_TRUE(host.ReadToolControl(&block));
    EXPECT_EQ(2000, block.DtWinStart[0]);
    EXPECT_EQ(2400, block.DtWinEnd[0]);
    EXPECT_EQ(2960, block.MonoWinEnd);
    EXPECT_EQ(8640, block.DipoleWinEnd);

    // A General field out of range: its message, the General page shown,
    // and nothing at all sent.
    op.ClickPageItem(harness::kAcoustic);
    op.SetText(harness::kGeneral, IDC_GEN_MONO_DELAY, "5000");
    const std::string message = op.AnswerMessageBox([](void* p) { static_cast<Operator*>(p)->SendAllSettings(); }, &op);
    EXPECT_NE("", message);
    EXPECT_EQ(harness::kGeneral, op.ShownPage());
    EXPECT_TRUE(harness::TakeCommands(host).empty());
    PumpFor(600);
    EXPECT_NE(std::string::npos, op.StripText(2).find(" Send all settings: nothing sent")) << op.StripText(2);
}

// ---- the read-back trend

namespace {

// A frame whose read-back words are base + channel in each section.
std::vector<int16_t> GainFrame(int dt, int mono, int dipole) {
    std::vector<int16_t> f(FRAME_MIN_WORDS, 0);
    for (int c = 0; c < 8; ++c) {
        if (c < 4) f[READBACK_DT_WORD + c] = static_cast<int16_t>(dt + 20 * c);
        f[READBACK_MONO_WORD + c] = static_cast<int16_t>(mono + c);
        f[READBACK_DIPOLE_WORD + c] = static_cast<int16_t>(dipole + c);
    }
    return f;
}

// Frames the window's timer can each sample (it takes at most ten a second).
void SampledFrames(HostHarness& host, const std::vector<int16_t>& frame, int n) {
    for (int i = 0; i < n; ++i) {
        host.SetFrame(frame.data());
        host.Process();
        PumpFor(150);
    }
}

std::vector<TrendSample> Probe(HWND trend, TrendProbe& probe) {
    std::vector<TrendSample> samples(64);
    probe = TrendProbe{};
    probe.samples = samples.data();
    probe.capacity = static_cast<uint32_t>(samples.size());
    SendMessageA(trend, WM_TRENDPROBE, 0, reinterpret_cast<LPARAM>(&probe));
    samples.resize(std::min(probe.count, probe.capacity));
    return samples;
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE h = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(h))) text = p;
        GlobalUnlock(h);
    }
    CloseClipboard();
    return text;
}

}  // namespace

// Known gains streamed, a stop of 2.6 s with a Tool Reset in it, known gains
// again: the chart holds exactly what the tool reported and what was set,
// the stop as a gap, the reset as a mark; Copy gives the period as CSV, and
// the gap is drawn as one (no channel's colour in it).
TEST_F(WindowTest, TrendChartsTheReportedGainsWithGapsAndMarks) {
    Operator op(frame);
    op.ClickPageItem(harness::kDtGain);
    op.Click(harness::kDtGain, IDC_DT_AUTO_OFF);
    op.TypeAndEnter(harness::kDtGain, IDC_DT_CH1, "24");
    op.ClickPageItem(harness::kMonopole);
    op.Click(harness::kMonopole, IDC_MONO_AUTO_ON);
    // Ctrl+T from a page opens the trend over the control window.
    PressViaLoop(op.Control(harness::kMonopole, IDC_MONO_CH1), 'T', true, false);
    HWND trend = op.TrendWindow();
    ASSERT_NE(nullptr, trend);
    EXPECT_EQ(frame, GetWindow(trend, GW_OWNER));
    op.SetTrendSpan(0);

    SampledFrames(host, GainFrame(10, 40, 50), 6);
    PumpFor(1300);
    op.ClickPageItem(harness::kGeneral);
    op.Click(harness::kGeneral, IDC_GEN_TOOL_RESET);
    PumpFor(1300);
    SampledFrames(host, GainFrame(15, 41, 51), 4);

    TrendProbe probe{};
    const std::vector<TrendSample> samples = Probe(trend, probe);
    EXPECT_EQ(60000u, probe.spanMs);
    EXPECT_EQ(1u, probe.marks) << "the Tool Reset";
    ASSERT_EQ(10u, samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE(i);
        const bool after = i >= 6;
        EXPECT_EQ(i == 0 || i == 6, samples[i].gapBefore != 0);
        EXPECT_EQ(after ? 15 : 10, samples[i].gain[0]);
        EXPECT_EQ(after ? 75 : 70, samples[i].gain[3]);
        EXPECT_EQ(after ? 48 : 47, samples[i].gain[4 + 7]);
        EXPECT_EQ(after ? 51 : 50, samples[i].gain[12]);
        EXPECT_EQ(24, samples[i].set[0]);
        EXPECT_EQ(2, samples[i].autoOn & 3) << "DT manual, monopole in auto gain";
        if (i) {
            EXPECT_GE(samples[i].tick - samples[i - 1].tick, kTrendMinSpacingMs);
        }
    }

    // The gap is a gap: where no frame came, no DT channel's colour; where
    // they came, CH1's line at its value.
    const RECT& plot = probe.plot[0];
    const TrendScale scale{plot.left, plot.top, plot.right, plot.bottom, probe.now, probe.spanMs};
    const int gapX = (TrendX(scale, samples[5].tick) + TrendX(scale, samples[6].tick)) / 2 - 3;
    const int lineX = (TrendX(scale, samples[2].tick) + TrendX(scale, samples[3].tick)) / 2;
    ASSERT_GT(TrendX(scale, samples[6].tick) - TrendX(scale, samples[5].tick), 20);
    const SchemeColours scheme = harness::CurrentScheme();
    HDC dc = GetDC(trend);
    EXPECT_EQ(TrendInkFor(scheme, 0).colour, GetPixel(dc, lineX, TrendY(scale, 10)) & 0xFFFFFF);
    for (int y = plot.top + 1; y < plot.bottom; ++y)
        for (int c = 0; c < 4; ++c)
            ASSERT_NE(TrendInkFor(scheme, c).colour, GetPixel(dc, gapX, y) & 0xFFFFFF)
                << "CH" << c + 1 << " at y " << y;
    ReleaseDC(trend, dc);

    // Copy: the shown period as CSV, with the gap and the mark.
    SendMessageA(FindWindowExA(trend, nullptr, "BUTTON", "&Copy"), BM_CLICK, 0, 0);
    const std::string csv = ClipboardText();
    EXPECT_EQ(0u, csv.find("Time,Event,DT CH1,DT CH2,")) << csv.substr(0, 80);
    EXPECT_EQ(13, std::count(csv.begin(), csv.end(), '\n')) << "a header, ten samples, a gap and a mark";
    EXPECT_NE(std::string::npos, csv.find(",no usable frames,"));
    EXPECT_NE(std::string::npos, csv.find(",Tool Reset,"));
    EXPECT_NE(std::string::npos, csv.find(",,15,35,55,75,41,42,")) << "the last sample's DT and monopole gains";

    // "Whole job": a job younger than the ring shows the ring's samples as
    // they are, the Tool Reset from the job's history (kept by wall time),
    // over at least a minute; Copy gives the same rows.
    HWND period = FindWindowExA(trend, nullptr, "COMBOBOX", nullptr);
    char name[32] = {};
    ASSERT_EQ(4, SendMessageA(period, CB_GETCOUNT, 0, 0));
    SendMessageA(period, CB_GETLBTEXT, CTrendWindow::kWholeJob, reinterpret_cast<LPARAM>(name));
    EXPECT_STREQ("Whole job", name);
    op.SetTrendSpan(CTrendWindow::kWholeJob);
    const std::vector<TrendSample> whole = Probe(trend, probe);
    EXPECT_EQ(60000u, probe.spanMs);
    EXPECT_EQ(1u, probe.marks) << "the Tool Reset";
    EXPECT_EQ(0u, probe.reduced);
    ASSERT_EQ(samples.size(), whole.size());
    for (size_t i = 0; i < whole.size(); ++i) {
        EXPECT_EQ(samples[i].tick, whole[i].tick) << i;
        EXPECT_EQ(samples[i].gain[0], whole[i].gain[0]) << i;
    }
    const TrendScale wholeScale{plot.left, plot.top, plot.right, plot.bottom, probe.now, probe.spanMs};
    const int wholeX = (TrendX(wholeScale, whole[2].tick) + TrendX(wholeScale, whole[3].tick)) / 2;
    dc = GetDC(trend);
    EXPECT_EQ(TrendInkFor(scheme, 0).colour, GetPixel(dc, wholeX, TrendY(wholeScale, 10)) & 0xFFFFFF)
        << "drawn as before";
    ReleaseDC(trend, dc);
    SendMessageA(FindWindowExA(trend, nullptr, "BUTTON", "&Copy"), BM_CLICK, 0, 0);
    EXPECT_EQ(csv, ClipboardText());
}

// The trend goes on while the control window is closed, and after a reload
// the whole-job view shows the job's history from its journal.
TEST_F(WindowTest, TrendGoesOnWithTheWindowClosedAndAcrossAReload) {
    SendMessageA(frame, WM_CLOSE, 0, 0);
    PumpFor(100);
    const std::vector<int16_t> gains = GainFrame(10, 40, 50);
    for (int i = 0; i < 60; ++i) {  // 12 s: at least one whole 10 s interval
        host.SetFrame(gains.data());
        host.Process();
        PumpFor(200);
    }
    host.SetFrame(nullptr);
    {
        Operator op(host.Show());
        HWND trend = op.OpenTrend();
        ASSERT_NE(nullptr, trend);
        op.SetTrendSpan(0);
        TrendProbe probe{};
        EXPECT_GE(Probe(trend, probe).size(), 40u) << "sampled while the window was closed";
    }
    host.Unload();
    ASSERT_TRUE(host.Load());
    host.Init();
    Operator op(host.Show());
    HWND trend = op.OpenTrend();
    ASSERT_NE(nullptr, trend);
    op.SetTrendSpan(CTrendWindow::kWholeJob);
    TrendProbe probe{};
    const std::vector<TrendSample> whole = Probe(trend, probe);
    EXPECT_GT(probe.reduced, 0u) << "intervals from the journal";
    ASSERT_FALSE(whole.empty());
    for (const TrendSample& s : whole) {
        EXPECT_EQ(10, s.gain[0]);
        EXPECT_EQ(50, s.gain[12]);
    }
}

// The trend opens inside the work area of its monitor, at any DPI, and every
// text of its charts (legend, axes, end labels, a mark made a moment ago at
// the right edge) lies inside its chart, also at the smallest size allowed.
TEST_F(WindowTest, TrendFitsTheWorkAreaAndItsTextsTheirCharts) {
    Operator op(frame);
    SampledFrames(host, GainFrame(10, 40, 50), 3);
    op.Click(harness::kGeneral, IDC_GEN_TOOL_RESET);
    HWND trend = op.OpenTrend();
    ASSERT_NE(nullptr, trend);
    op.SetTrendSpan(0);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(trend, MONITOR_DEFAULTTONEAREST), &monitor));
    RECT outer{}, inside{};
    GetWindowRect(trend, &outer);
    EXPECT_TRUE(IntersectRect(&inside, &outer, &monitor.rcWork) && EqualRect(&inside, &outer))
        << outer.left << "," << outer.top << " " << outer.right << "," << outer.bottom;

    for (const bool smallest : {false, true}) {
        SCOPED_TRACE(smallest ? "smallest" : "as opened");
        if (smallest) SetWindowPos(trend, nullptr, 0, 0, 1, 1, SWP_NOZORDER | SWP_NOMOVE);  // held to its least
        TrendProbe probe{};
        Probe(trend, probe);
        EXPECT_EQ(1u, probe.marks) << "the Tool Reset";
        for (int s = 0; s < kTrendSections; ++s) {
            const RECT& text = probe.text[s];
            const RECT& chart = probe.chart[s];
            EXPECT_FALSE(IsRectEmpty(&text)) << s;
            EXPECT_TRUE(text.left >= chart.left && text.top >= chart.top && text.right <= chart.right &&
                        text.bottom <= chart.bottom)
                << "chart " << s << ": texts " << text.left << ".." << text.right << " x " << text.top << ".."
                << text.bottom << ", chart " << chart.left << ".." << chart.right << " x " << chart.top << ".."
                << chart.bottom;
        }
    }
}

// The trend goes with the control window; reopened in the same session it
// comes back where the operator left it, with the period it showed.
TEST_F(WindowTest, TrendWindowGoesWithTheFrameAndKeepsItsPlace) {
    Operator op(frame);
    HWND trend = op.OpenTrend();
    ASSERT_NE(nullptr, trend);
    EXPECT_EQ(trend, op.OpenTrend()) << "a second View, Read-back trend raises the same window";
    op.SetTrendSpan(2);
    SetWindowPos(trend, nullptr, 30, 40, 700, 520, SWP_NOZORDER);
    HostHarness::Pump();
    RECT placed;
    GetWindowRect(trend, &placed);
    SendMessageA(frame, WM_CLOSE, 0, 0);
    HostHarness::Pump();
    EXPECT_FALSE(IsWindow(trend));

    Operator again(host.Show());
    trend = again.OpenTrend();
    ASSERT_NE(nullptr, trend);
    RECT rc;
    GetWindowRect(trend, &rc);
    EXPECT_TRUE(EqualRect(&placed, &rc));
    TrendProbe probe{};
    EXPECT_TRUE(Probe(trend, probe).empty()) << "a new window samples anew";
    EXPECT_EQ(1800000u, probe.spanMs);
    // Resized, the charts fill the window.
    SetWindowPos(trend, nullptr, 0, 0, 900, 800, SWP_NOZORDER | SWP_NOMOVE);
    Probe(trend, probe);
    RECT client;
    GetClientRect(trend, &client);
    EXPECT_GT(probe.plot[2].bottom, client.bottom * 9 / 10);
    EXPECT_GT(probe.plot[2].right, client.right * 9 / 10);
    EXPECT_GT(probe.plot[0].bottom - probe.plot[0].top, client.bottom / 6);

    // Unloaded with the trend open: both windows go, and no trend window
    // (nor its class) is left to call into the unloaded image.
    HINSTANCE dll = GetModuleHandleA("Kelvane.dll");
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    ASSERT_TRUE(GetClassInfoExA(dll, "KelvaneTrendWindow", &wc));
    host.Unload();
    HostHarness::Pump();
    EXPECT_FALSE(IsWindow(trend));
    EXPECT_FALSE(GetClassInfoExA(dll, "KelvaneTrendWindow", &wc));
    EXPECT_EQ(nullptr, FindWindowExA(nullptr, nullptr, "KelvaneTrendWindow", nullptr));
}
