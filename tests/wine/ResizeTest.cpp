// The dialog-resize layout engine on a real dialog: a page of the test's own,
// built from a template in memory, that declares a resize map. Sizes are in
// pixels; the page is a borderless child, so its client is its window.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <initializer_list>
#include <memory>
#include <string>
#include <stdexcept>
#include <new>
#include <vector>

#include "framework/DialogResize.h"
#include "framework/Wnd.h"

using namespace kelvane;

namespace {

constexpr int kPageW = 400, kPageH = 300;

struct Ctl {
    int id;
    RECT px;  // in page client pixels
};

// The page's template: a borderless child with one bordered static per
// control. Item positions are in dialog units, which depend on the font, so
// the page puts each control at its pixel rectangle when it opens.
std::vector<WORD> BuildTemplate(const std::vector<Ctl>& ctls) {
    std::vector<WORD> t;
    const auto dword = [&t](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    dword(WS_CHILD | WS_VISIBLE);
    dword(0);
    t.push_back(static_cast<WORD>(ctls.size()));
    for (WORD v : std::initializer_list<WORD>{0, 0, 200, 150}) t.push_back(v);
    t.push_back(0);  // no menu
    t.push_back(0);  // the dialog class
    t.push_back(0);  // no title
    for (const Ctl& c : ctls) {
        if (t.size() % 2) t.push_back(0);  // items start on a DWORD
        dword(WS_CHILD | WS_VISIBLE | WS_BORDER | SS_CENTER);
        dword(0);
        for (WORD v : std::initializer_list<WORD>{0, 0, 10, 10}) t.push_back(v);
        t.push_back(static_cast<WORD>(c.id));
        t.push_back(0xFFFF);
        t.push_back(0x0082);  // static
        for (char ch : std::to_string(c.id)) t.push_back(static_cast<WORD>(ch));
        t.push_back(0);
        t.push_back(0);  // no creation data
    }
    return t;
}

struct Options {
    bool gripper = false;
    bool minTrack = false;
    DWORD forcedStyle = 0;
};

class TestPage : public CResizePage {
public:
    TestPage(std::vector<Ctl> ctls, std::vector<ResizeMapEntry> map, Options options)
        : CResizePage(0, nullptr), m_ctls(std::move(ctls)), m_map(std::move(map)), m_options(options) {}

    bool initResult = false;
    size_t EntryCount() const { return m_entries.size(); }
    bool InitAgain() { return InitResize(m_options.gripper, m_options.minTrack, m_options.forcedStyle); }

protected:
    const ResizeMapEntry* GetResizeMap() const override { return m_map.data(); }
    BOOL OnInitDialog() override {
        SetWindowPos(m_hWnd, nullptr, 0, 0, kPageW, kPageH, SWP_NOZORDER | SWP_NOACTIVATE);
        for (const Ctl& c : m_ctls)
            MoveWindow(Item(c.id), c.px.left, c.px.top, c.px.right - c.px.left, c.px.bottom - c.px.top, FALSE);
        initResult = InitResize(m_options.gripper, m_options.minTrack, m_options.forcedStyle);
        return TRUE;
    }

private:
    std::vector<Ctl> m_ctls;
    std::vector<ResizeMapEntry> m_map;
    Options m_options;
};

const char kHostClass[] = "KelvaneResizeTestHost";

struct ResizeEngine : ::testing::Test {
    HWND host = nullptr;
    std::unique_ptr<TestPage> page;

    static void SetUpTestSuite() {
        AfxSetResourceHandle(GetModuleHandleA(nullptr));
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kHostClass;
        RegisterClassA(&wc);
    }
    void SetUp() override {
        host = CreateWindowExA(0, kHostClass, "Resize", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 640, 480, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, host);
    }
    void TearDown() override {
        page.reset();
        DestroyWindow(host);
    }

    TestPage& Open(const std::vector<Ctl>& ctls, const std::vector<ResizeMapEntry>& map, Options options = {}) {
        page = std::make_unique<TestPage>(ctls, map, options);
        const std::vector<WORD> tmpl = BuildTemplate(ctls);
        EXPECT_TRUE(page->CreateIndirect(reinterpret_cast<const DLGTEMPLATE*>(tmpl.data()), host));
        return *page;
    }
    // A real size change: the page gets WM_SIZE with the new client size.
    void Resize(int cx, int cy) const {
        SetWindowPos(page->m_hWnd, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
    RECT RectOf(int id) const {
        RECT rc{};
        GetWindowRect(GetDlgItem(page->m_hWnd, id), &rc);
        MapWindowPoints(nullptr, page->m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    }
};

std::string Str(const RECT& r) {
    return "{" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + "}";
}

constexpr ResizeMapEntry kEnd{-1, 0};
constexpr ResizeMapEntry kBegin{-1, RSZ_BEGIN_GROUP};
constexpr ResizeMapEntry kEndGroup{-1, RSZ_END_GROUP};

TEST_F(ResizeEngine, PlacesControlsToThePixel) {
    struct Want {
        int id;
        RECT rect;
    };
    struct Case {
        const char* name;
        std::vector<Ctl> ctls;
        std::vector<ResizeMapEntry> map;
        std::vector<SIZE> sizes;  // applied in turn; checked after the last
        std::vector<Want> want;
    } cases[] = {
        {"moves with both edges, size kept",
         {{1, {250, 150, 300, 200}}},
         {{1, RSZ_MOVE_X | RSZ_MOVE_Y}, kEnd},
         {{450, 330}},
         {{1, {300, 180, 350, 230}}}},
        {"offsets count from the first size, not the last",
         {{1, {250, 150, 300, 200}}},
         {{1, RSZ_MOVE_X | RSZ_MOVE_Y}, kEnd},
         {{450, 330}, {380, 290}},
         {{1, {230, 140, 280, 190}}}},
        {"stretch alone keeps its left edge",
         {{1, {10, 20, 110, 40}}},
         {{1, RSZ_SIZE_X}, kEnd},
         {{450, 330}},
         {{1, {10, 20, 160, 40}}}},
        {"stretch both ways",
         {{1, {10, 20, 110, 40}}},
         {{1, RSZ_SIZE_X | RSZ_SIZE_Y}, kEnd},
         {{450, 330}},
         {{1, {10, 20, 160, 70}}}},
        // Group 10..220 wide 210 grows by 50: the first ends 10 before the
        // second's scaled start (10 + 110 * 260 / 210 = 146).
        {"side by side in a group: gap kept, widths scale",
         {{1, {10, 10, 110, 30}}, {2, {120, 10, 220, 30}}},
         {kBegin, {1, RSZ_SIZE_X}, {2, RSZ_SIZE_X}, kEndGroup, kEnd},
         {{450, 330}},
         {{1, {10, 10, 136, 30}}, {2, {146, 10, 270, 30}}}},
        {"grouped movers keep their fraction of the group",
         {{1, {0, 100, 50, 120}}, {2, {150, 100, 200, 120}}},
         {kBegin, {1, RSZ_MOVE_X}, {2, RSZ_MOVE_X}, kEndGroup, kEnd},
         {{600, 300}},
         {{1, {0, 100, 50, 120}}, {2, {300, 100, 350, 120}}}},
        {"named twice: the second placement starts from the first",
         {{1, {10, 20, 110, 40}}},
         {{1, RSZ_SIZE_X}, {1, RSZ_MOVE_Y}, kEnd},
         {{450, 330}},
         {{1, {10, 50, 160, 70}}}},
        {"unlisted and flagless controls stay, a missing one is skipped",
         {{1, {10, 20, 110, 40}}, {2, {10, 60, 110, 80}}, {3, {250, 150, 300, 200}}},
         {{2, 0}, {999, RSZ_MOVE_X}, {3, RSZ_MOVE_X | RSZ_MOVE_Y}, kEnd},
         {{450, 330}},
         {{1, {10, 20, 110, 40}}, {2, {10, 60, 110, 80}}, {3, {300, 180, 350, 230}}}},
    };
    for (const auto& c : cases) {
        TestPage& p = Open(c.ctls, c.map);
        ASSERT_TRUE(p.initResult) << c.name;
        for (const SIZE& s : c.sizes) Resize(s.cx, s.cy);
        for (const Want& w : c.want) EXPECT_EQ(Str(w.rect), Str(RectOf(w.id))) << c.name << ", control " << w.id;
    }
}

TEST_F(ResizeEngine, GripperKeepsTheCornerHidesOnMaximiseShowsOnRestore) {
    TestPage& p = Open({{1, {250, 150, 300, 200}}}, {{1, RSZ_MOVE_X | RSZ_MOVE_Y}, kEnd}, Options{true});
    ASSERT_TRUE(p.initResult);
    HWND grip = GetDlgItem(p.m_hWnd, kGripperId);
    ASSERT_NE(nullptr, grip);
    char cls[32] = {};
    GetClassNameA(grip, cls, sizeof cls);
    EXPECT_STRCASEEQ("SCROLLBAR", cls);
    EXPECT_EQ(0x5400001Cu, static_cast<DWORD>(GetWindowLongA(grip, GWL_STYLE)));
    EXPECT_EQ(2u, p.EntryCount()) << "the gripper's entry and the control's";
    const auto corner = [&] {
        const RECT r = RectOf(kGripperId);
        return std::to_string(r.right) + "x" + std::to_string(r.bottom);
    };
    const auto visible = [&] { return (GetWindowLongA(grip, GWL_STYLE) & WS_VISIBLE) != 0; };
    EXPECT_EQ("400x300", corner());

    struct Step {
        WPARAM type;
        int cx, cy;
        bool visible;
        const char* corner;
    } steps[] = {
        {SIZE_MAXIMIZED, 450, 330, false, "450x330"},
        {SIZE_MINIMIZED, 0, 0, false, "450x330"},  // minimising lays out nothing
        {SIZE_RESTORED, 420, 310, true, "420x310"},
        {SIZE_MAXSHOW, 400, 300, true, "400x300"},  // other types leave it as it is
        {SIZE_MAXIMIZED, 500, 400, false, "500x400"},
        {SIZE_RESTORED, 400, 300, true, "400x300"},
    };
    for (const Step& s : steps) {
        SendMessageA(p.m_hWnd, WM_SIZE, s.type, MAKELPARAM(s.cx, s.cy));
        EXPECT_EQ(s.visible, visible()) << "WM_SIZE type " << s.type;
        EXPECT_EQ(s.corner, corner()) << "WM_SIZE type " << s.type;
    }
    Resize(450, 330);
    EXPECT_EQ("450x330", corner());
    EXPECT_EQ("{300,180,350,230}", Str(RectOf(1)));
}

TEST_F(ResizeEngine, MinimumTrackSizeAndForcedStyle) {
    struct Case {
        Options options;
        POINT want;
    } cases[] = {
        {Options{false, true, WS_CLIPCHILDREN}, {kPageW, kPageH}},
        {Options{false, false, WS_CLIPCHILDREN}, {11, 22}},  // none: the query passes unchanged
    };
    for (const auto& c : cases) {
        TestPage& p = Open({{1, {10, 10, 50, 30}}}, {kEnd}, c.options);
        EXPECT_TRUE(GetWindowLongA(p.m_hWnd, GWL_STYLE) & WS_CLIPCHILDREN);
        MINMAXINFO mmi{};
        mmi.ptMinTrackSize = POINT{11, 22};
        mmi.ptMaxTrackSize = POINT{900, 800};
        SendMessageA(p.m_hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        EXPECT_EQ(c.want.x, mmi.ptMinTrackSize.x) << c.options.minTrack;
        EXPECT_EQ(c.want.y, mmi.ptMinTrackSize.y) << c.options.minTrack;
        EXPECT_EQ(900, mmi.ptMaxTrackSize.x);
    }
}

// Records the flags of every SetWindowPos a control receives.
std::vector<std::pair<HWND, UINT>> g_moves;
LRESULT CALLBACK RecordMoves(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_WINDOWPOSCHANGING) g_moves.emplace_back(hwnd, reinterpret_cast<WINDOWPOS*>(lParam)->flags);
    const auto old = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return CallWindowProcA(old, hwnd, msg, wParam, lParam);
}

TEST_F(ResizeEngine, MovesOnlyControlsWithLayoutBitsKeepingZOrderAndActivation) {
    TestPage& p = Open({{1, {10, 10, 60, 30}}, {2, {10, 40, 60, 60}}, {3, {10, 70, 60, 90}}},
                       {{1, 0}, {2, RSZ_REPAINT}, {3, RSZ_SIZE_X}, kEnd});
    ASSERT_TRUE(p.initResult);
    for (int id : {1, 2, 3}) {
        HWND h = GetDlgItem(p.m_hWnd, id);
        SetWindowLongPtrA(h, GWLP_USERDATA,
                          SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordMoves)));
    }
    g_moves.clear();
    Resize(450, 330);
    int count[4] = {};
    for (const auto& m : g_moves) {
        const int id = GetDlgCtrlID(m.first);
        ++count[id];
        EXPECT_EQ(static_cast<UINT>(SWP_NOZORDER | SWP_NOACTIVATE), m.second & (SWP_NOZORDER | SWP_NOACTIVATE))
            << "control " << id;
    }
    EXPECT_EQ(0, count[1]) << "no layout bits: not moved";
    EXPECT_EQ(1, count[2]) << "repaint alone still places it where it is";
    EXPECT_EQ(1, count[3]);
    EXPECT_EQ("{10,40,60,60}", Str(RectOf(2)));
    EXPECT_EQ("{10,70,110,90}", Str(RectOf(3)));
}

TEST_F(ResizeEngine, MalformedMapLaysOutNothing) {
#ifndef NDEBUG
    GTEST_SKIP() << "debug builds assert on a malformed map";
#endif
    const ResizeMapEntry mover{1, RSZ_MOVE_X | RSZ_MOVE_Y};
    std::vector<ResizeMapEntry> tooMany{kBegin};
    tooMany.insert(tooMany.end(), 256, ResizeMapEntry{2, RSZ_SIZE_X});  // one control named 256 times
    tooMany.push_back(kEndGroup);
    tooMany.push_back(mover);
    tooMany.push_back(kEnd);
    struct Case {
        const char* name;
        std::vector<ResizeMapEntry> map;
        bool gripper;
    } cases[] = {
        {"nested group", {kBegin, mover, kBegin, {2, RSZ_SIZE_X}, kEndGroup, kEndGroup, kEnd}, false},
        {"end without begin", {mover, kEndGroup, kEnd}, false},
        {"unknown marker", {mover, {-1, RSZ_REPAINT}, kEnd}, false},
        {"group count over 255", tooMany, false},
        {"group of missing controls", {mover, kBegin, {999, RSZ_SIZE_X}, kEndGroup, kEnd}, false},
        {"row naming the gripper", {mover, {kGripperId, RSZ_MOVE_X}, kEnd}, true},
        {"group left open", {kBegin, mover, {2, RSZ_SIZE_X}, kEnd}, false},
    };
    for (const auto& c : cases) {
        TestPage& p = Open({{1, {250, 150, 300, 200}}, {2, {10, 10, 110, 30}}}, c.map, Options{c.gripper});
        EXPECT_FALSE(p.initResult) << c.name;
        EXPECT_EQ(0u, p.EntryCount()) << c.name;
        Resize(450, 330);
        EXPECT_EQ("{250,150,300,200}", Str(RectOf(1))) << c.name;
        EXPECT_EQ("{10,10,110,30}", Str(RectOf(2))) << c.name;
    }
}

TEST_F(ResizeEngine, SecondInitResizeLeavesTheOldGripperOut) {
#ifndef NDEBUG
    GTEST_SKIP() << "debug builds assert on a second gripper";
#endif
    TestPage& p = Open({{1, {250, 150, 300, 200}}}, {{1, RSZ_MOVE_X}, kEnd}, Options{true});
    Resize(450, 330);
    EXPECT_TRUE(p.InitAgain());  // now at 450 x 330
    EXPECT_EQ(1u, p.EntryCount());
    HWND grip = GetDlgItem(p.m_hWnd, kGripperId);
    SendMessageA(p.m_hWnd, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(500, 330));
    EXPECT_TRUE(GetWindowLongA(grip, GWL_STYLE) & WS_VISIBLE) << "no longer hidden on maximise";
    EXPECT_EQ("{350,150,400,200}", Str(RectOf(1)));
}

// Our MulDiv against the platform's. The documented rules: nearest integer,
// halves away from zero, -1 on a zero divisor or a result outside 32 bits
// (-2^31 included, as the platform counts it).
// A C++ exception in a handler stops at the procedure: the caller (here the
// test, as the host's USER32 frames would be) gets the failure value, and
// the same window goes on handling messages.
class ThrowingPage : public TestPage {
public:
    using TestPage::TestPage;
    int handled = 0;

protected:
    bool OnCommand(int id, int) override {
        if (id == 1) throw std::bad_alloc();
        ++handled;
        return true;
    }
};

class ThrowingWindow : public CWnd {
public:
    int handled = 0;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_USER) throw std::runtime_error("injected");
        if (msg == WM_USER + 1) return ++handled;
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

TEST_F(ResizeEngine, ExceptionsStopAtTheWindowProcedure) {
    const std::vector<Ctl> ctls = {{100, {10, 10, 60, 30}}};
    auto throwing = std::make_unique<ThrowingPage>(ctls, std::vector<ResizeMapEntry>{{-1, 0}}, Options{});
    const std::vector<WORD> tmpl = BuildTemplate(ctls);
    ASSERT_TRUE(throwing->CreateIndirect(reinterpret_cast<const DLGTEMPLATE*>(tmpl.data()), host));
    SendMessageA(throwing->m_hWnd, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), 0);  // throws inside
    EXPECT_EQ(0, throwing->handled);
    SendMessageA(throwing->m_hWnd, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED), 0);
    EXPECT_EQ(1, throwing->handled);
    throwing.reset();

    ThrowingWindow window;
    ASSERT_NE(nullptr,
              CWnd::RegisterOwnClass("KelvaneThrowingWindow", "KelvaneThrowingWindow2", 0, nullptr, nullptr, 0));
    ASSERT_TRUE(window.CreateEx(0, "KelvaneThrowingWindow", "throws", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr));
    EXPECT_EQ(0, SendMessageA(window.m_hWnd, WM_USER, 0, 0));
    EXPECT_EQ(1, SendMessageA(window.m_hWnd, WM_USER + 1, 0, 0));
    DestroyWindow(window.m_hWnd);
}

TEST_F(ResizeEngine, MulDivAgreesWithThePlatform) {
    struct Case {
        int a, b, c, want;
    } cases[] = {
        {5, 1, 2, 3},
        {-5, 1, 2, -3},
        {5, -1, 2, -3},
        {5, 1, -2, -3},
        {-5, -1, -2, -3},
        {-5, 1, -2, 3},
        {1, 1, 2, 1},
        {-1, 1, 2, -1},
        {3, 1, 2, 2},
        {-3, 1, 2, -2},
        {7, 1, 3, 2},
        {8, 1, 3, 3},
        {-7, 1, 3, -2},
        {-8, 1, 3, -3},
        {1, 1, 3, 0},
        {-1, 1, 3, 0},
        {300, 450, 400, 338},
        {110, 260, 210, 136},
        {0, 5, 7, 0},
        {0, 0, 1, 0},
        {0, 0, -1, 0},
        {1, 1, 0, -1},
        {0, 0, 0, -1},
        {-7, 3, 0, -1},
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
        {INT_MAX, 2, 1, -1},
        {1073741823, 2, 1, 2147483646},
        {1073741824, 2, 1, -1},
        {-1073741824, 2, 1, -1},
        {INT_MAX, -1, 1, -INT_MAX},
        {INT_MAX, INT_MAX, 2, -1},
        {INT_MAX, INT_MAX, -INT_MAX, -INT_MAX},
        {INT_MIN, 1, 2, -1073741824},
        {INT_MIN, -1, 2, 1073741824},
        {INT_MIN, 1, 1, -1},
        {INT_MIN, -1, 1, -1},
        {INT_MIN, INT_MIN, INT_MAX, -1},
        {-1, 1, INT_MIN, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.want, MulDivPlatform(c.a, c.b, c.c)) << c.a << " * " << c.b << " / " << c.c << " (ours)";
        EXPECT_EQ(c.want, MulDiv(c.a, c.b, c.c)) << c.a << " * " << c.b << " / " << c.c << " (platform)";
    }

    // Where the platform has to negate -2^31 (a divisor of -2^31, or -2^31
    // times a negative divisor) its results are artefacts, and Wine's differ
    // from Windows' (which historically gives 2 for 1 * -2^31 / -2^31). Ours
    // keep to the documented rule there; the engine never gets near these.
    const Case quirks[] = {
        {1, INT_MIN, INT_MIN, 1},                  // Wine 0, Windows 2
        {INT_MIN, 1, -2, 1073741824},              // Wine -1073741824
        {INT_MAX, INT_MAX, INT_MIN, -2147483646},  // Wine 2147483645
        {INT_MIN, INT_MIN, INT_MIN, -1},           // -2^31 exactly; Wine -2147483647
    };
    for (const auto& c : quirks)
        EXPECT_EQ(c.want, MulDivPlatform(c.a, c.b, c.c)) << c.a << " * " << c.b << " / " << c.c;
}

}  // namespace
