// What the operator sees beyond the values, through the real DLL: a
// read-back that keeps disagreeing with its setting or has gone old, the
// page-list mark of a page that warns, the tint of typed but uncommitted
// numbers, and the range tips of the numeric controls.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "HostHarness.h"
#include "Operator.h"
#include "resource.h"
#include "framework/logic/CueColours.h"
#include "bench/logic/ToolSim.h"
#include "shell/logic/Health.h"
#include "DialogDriver.h"
#include "TestSupport.h"

using namespace kelvane;
using harness::HostHarness;
using harness::Operator;
using harness::PumpFor;

using namespace kelvane::testsupport;

namespace {

bool Same(const harness::DrawColours& got, const ColourPair& want) {
    return got.text == want.text && got.back == want.back;
}
// A read-back box as the dialog draws any static: window text on the dialog face.
bool Plain(const harness::DrawColours& got) {
    return got.text == GetSysColor(COLOR_WINDOWTEXT) && got.back == GetSysColor(COLOR_3DFACE);
}
bool Warned(HWND box) { return Same(harness::ColoursOf(box), WarningColours(harness::CurrentScheme())); }
bool Stale(HWND box) { return Same(harness::ColoursOf(box), StaleColours(harness::CurrentScheme())); }

bool Tinted(HWND edit) { return Same(harness::ColoursOf(edit), TintColours(harness::CurrentScheme())); }
// An enabled edit drawn as usual.
bool PlainEdit(HWND edit) {
    const harness::DrawColours c = harness::ColoursOf(edit);
    return c.text == GetSysColor(COLOR_WINDOWTEXT) && c.back == GetSysColor(COLOR_WINDOW);
}

// The three gain pages: where their read-back words sit in a frame.
struct GainPage {
    const char* name;
    int page;
    int firstWord;
    int channels;
};
const GainPage kGainPages[] = {
    {"DT", harness::kDtGain, READBACK_DT_WORD, 4},
    {"Monopole", harness::kMonopole, READBACK_MONO_WORD, 8},
    {"Dipole", harness::kDipole, READBACK_DIPOLE_WORD, 8},
};
constexpr int kReadBack1 = 1074;  // CH1# read-back box on every gain page

// Every channel set to 0 except CH2# at 12; "IsAuto" of each gain section as given.
std::string CueIni(int dtAuto = 0, int monoAuto = 0, int dipoleAuto = 0) {
    const std::string channels = "Ch1Gain=0\r\nCh2Gain=12\r\nCh3Gain=0\r\nCh4Gain=0\r\n";
    const std::string more = "Ch5Gain=0\r\nCh6Gain=0\r\nCh7Gain=0\r\nCh8Gain=0\r\nAllGain=0\r\nWindowsEnd=800\r\n";
    auto isAuto = [](int v) { return "IsAuto=" + std::to_string(v) + "\r\n"; };
    return "[GENERAL CONTROL]\r\nGain Step=3\r\nMono SAMPLERATE=24\r\nDipole SAMPLERATE=36\r\n"
           "DT DELAY=100\r\nDT DELAY STEP=10\r\nMono DELAY=100\r\nMono DELAY STEP=10\r\n"
           "Dipole DELAY=300\r\nDipole DELAY STEP=10\r\n"
           "[DT GAIN CONTROL]\r\n" +
           isAuto(dtAuto) + channels + "[MONOPOLE CONTROL]\r\n" + isAuto(monoAuto) + channels + more +
           "[DIPOLE CONTROL]\r\n" + isAuto(dipoleAuto) + channels + more;
}

struct OperatorCues : ::testing::Test {
    HostHarness host;
    std::vector<int16_t> frame = std::vector<int16_t>(FRAME_MIN_WORDS, 0);

    void SetUp() override { host.PrepareWorkFolder(TestFolder()); }
    void TearDown() override { host.SetFrame(nullptr); }

    Operator Open(int page, const std::string& ini = CueIni()) { return harness::OpenOnPage(host, page, ini); }
    // CH2# of every gain page reports value in one frame; one frame, one notice.
    void FeedChannel2(int16_t value) {
        for (const GainPage& g : kGainPages) frame[g.firstWord + 1] = value;
        host.SetFrame(frame.data());
        host.Process();
        HostHarness::Pump();
    }
};

TEST_F(OperatorCues, MismatchShowsFromTheThirdDisagreeingFrameAndClearsOnAgreement) {
    Operator op = Open(harness::kMonopole);
    for (int frameNo = 1; frameNo <= 4; ++frameNo) {
        FeedChannel2(5);
        for (const GainPage& g : kGainPages) {
            HWND box = op.Control(g.page, kReadBack1 + 1);
            EXPECT_EQ(frameNo >= 3, Warned(box)) << g.name << ", frame " << frameNo;
            EXPECT_EQ(frameNo >= 3 ? "Tool reports 5 dB, set to 12 dB" : "Gain the tool reports, -31 to 80 dB",
                      harness::TipText(box))
                << g.name << ", frame " << frameNo;
            // The channels that agree stay plain.
            for (int ch : {0, g.channels - 1})
                EXPECT_TRUE(Plain(harness::ColoursOf(op.Control(g.page, kReadBack1 + ch)))) << g.name << " ch " << ch;
        }
    }
    FeedChannel2(12);
    for (const GainPage& g : kGainPages) {
        HWND box = op.Control(g.page, kReadBack1 + 1);
        EXPECT_TRUE(Plain(harness::ColoursOf(box))) << g.name;
        EXPECT_EQ("Gain the tool reports, -31 to 80 dB", harness::TipText(box)) << g.name;
    }
    // Agreement also restarts the count.
    FeedChannel2(5);
    FeedChannel2(5);
    for (const GainPage& g : kGainPages) EXPECT_FALSE(Warned(op.Control(g.page, kReadBack1 + 1))) << g.name;
}

TEST_F(OperatorCues, NoMismatchWhileTheToolChoosesItsGains) {
    // Auto gain on for DT and Monopole; a Dipole "IsAuto" of 2 is not off either.
    Operator op = Open(harness::kDtGain, CueIni(1, 1, 2));
    HWND dtBox = op.Control(harness::kDtGain, kReadBack1 + 1);
    for (int frameNo = 1; frameNo <= 5; ++frameNo) {
        FeedChannel2(5);
        for (const GainPage& g : kGainPages)
            EXPECT_TRUE(Plain(harness::ColoursOf(op.Control(g.page, kReadBack1 + 1))))
                << g.name << ", frame " << frameNo;
    }

    // Manual gain: the count starts with it.
    op.Click(harness::kDtGain, IDC_DT_AUTO_OFF);
    FeedChannel2(5);
    FeedChannel2(5);
    EXPECT_FALSE(Warned(dtBox));
    FeedChannel2(5);
    EXPECT_TRUE(Warned(dtBox));
    // Back to auto gain: the warning goes at once, before the next frame.
    op.Click(harness::kDtGain, IDC_DT_AUTO_ON);
    EXPECT_TRUE(Plain(harness::ColoursOf(dtBox)));
    EXPECT_EQ("Gain the tool reports, -31 to 80 dB", harness::TipText(dtBox));
}

// A setting the tool has not followed yet gets its own three frames.
TEST_F(OperatorCues, NewSettingRestartsTheCount) {
    Operator op = Open(harness::kDtGain);
    HWND box = op.Control(harness::kDtGain, kReadBack1 + 1);
    for (int i = 0; i < 3; ++i) FeedChannel2(5);
    ASSERT_TRUE(Warned(box));
    op.TypeAndEnter(harness::kDtGain, IDC_DT_CH2, "30");
    FeedChannel2(5);
    FeedChannel2(5);
    EXPECT_FALSE(Warned(box));
    FeedChannel2(5);
    EXPECT_TRUE(Warned(box));
    EXPECT_EQ("Tool reports 5 dB, set to 30 dB", harness::TipText(box));
}

// Read-back boxes are written for every frame; a number that stays is not
// written again.
int g_boxWrites = 0;
LRESULT CALLBACK CountWrites(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (msg == WM_SETTEXT) ++g_boxWrites;
    return DefSubclassProc(w, msg, wp, lp);
}

TEST_F(OperatorCues, ReadBackBoxIsWrittenOnlyWhenItsNumberChanges) {
    Operator op = Open(harness::kDtGain);
    HWND box = op.Control(harness::kDtGain, kReadBack1 + 1);
    ASSERT_TRUE(SetWindowSubclass(box, &CountWrites, 1, 0));
    g_boxWrites = 0;
    struct Step {
        int16_t value;
        int writes;
    } steps[] = {{7, 1}, {7, 1}, {7, 1}, {-5, 2}, {-5, 2}, {7, 3}};
    for (const Step& s : steps) {
        FeedChannel2(s.value);
        EXPECT_EQ(s.writes, g_boxWrites) << s.value;
        EXPECT_EQ(std::to_string(s.value), op.Text(harness::kDtGain, kReadBack1 + 1));
    }
    RemoveWindowSubclass(box, &CountWrites, 1);

    // A new window starts with empty boxes: the same number is shown again.
    SendMessageA(op.Frame(), WM_CLOSE, 0, 0);
    HostHarness::Pump();
    Operator again(host.Show());
    FeedChannel2(7);
    EXPECT_EQ("7", again.Text(harness::kDtGain, kReadBack1 + 1));
}

// One numeric edit of each page that has them.
struct EditCase {
    const char* name;
    int page;
    int id;
};
const EditCase kEdits[] = {
    {"DT CH1#", harness::kDtGain, IDC_DT_CH1},
    {"Monopole ALL", harness::kMonopole, IDC_MONO_ALL},
    {"Dipole window end", harness::kDipole, IDC_DIP_WIN_END},
    {"Acoustic DtMin", harness::kAcoustic, IDC_AP_DT_MIN},
};

TEST_F(OperatorCues, TypedTextIsTintedUntilEnterCommitsIt) {
    Operator op = Open(harness::kGeneral);
    // A window end looks apart until it is first sent: send it as it stands.
    op.ClickPageItem(harness::kDipole);
    op.TypeAndEnter(harness::kDipole, IDC_DIP_WIN_END, op.Text(harness::kDipole, IDC_DIP_WIN_END));
    for (const EditCase& e : kEdits) {
        op.ClickPageItem(e.page);
        HWND edit = op.Control(e.page, e.id);
        const std::string committed = op.Text(e.page, e.id);
        EXPECT_TRUE(PlainEdit(edit)) << e.name << " on opening";

        harness::TypeChars(edit, "42");
        EXPECT_TRUE(Tinted(edit)) << e.name << " after typing";
        // Leaving the box keeps it: the number is still unsent.
        SetFocus(op.PageList());
        EXPECT_TRUE(Tinted(edit)) << e.name << " after leaving";
        // Typing back what was committed is no change.
        harness::TypeChars(edit, committed);
        EXPECT_TRUE(PlainEdit(edit)) << e.name << " with the committed text again";

        harness::TypeChars(edit, "4");
        harness::TypeChars(edit, "\b", false);
        EXPECT_EQ("", op.Text(e.page, e.id));
        EXPECT_TRUE(Tinted(edit)) << e.name << " emptied";
        harness::TypeChars(edit, "24", false);
        harness::PressEnter(edit);
        EXPECT_TRUE(PlainEdit(edit)) << e.name << " after Enter";
        EXPECT_NE(committed, op.Text(e.page, e.id)) << e.name << ": Enter committed a new value";
    }
}

TEST_F(OperatorCues, PageRewritingAnEditClearsItsTint) {
    Operator op = Open(harness::kDtGain);
    const int dt = harness::kDtGain;
    HWND ch1 = op.Control(dt, IDC_DT_CH1);
    HWND ch2 = op.Control(dt, IDC_DT_CH2);
    HWND ch3 = op.Control(dt, IDC_DT_CH3);
    harness::TypeChars(ch1, "33");
    harness::TypeChars(ch2, "44");
    ASSERT_TRUE(Tinted(ch1) && Tinted(ch2));
    // ALL writes its gain into the four channels.
    harness::TypeChars(op.Control(dt, IDC_DT_ALL), "20");
    harness::PressEnter(op.Control(dt, IDC_DT_ALL));
    EXPECT_EQ("18", op.Text(dt, IDC_DT_CH1));
    for (HWND edit : {ch1, ch2, op.Control(dt, IDC_DT_ALL)}) EXPECT_TRUE(PlainEdit(edit));
    // An arrow click steps from the typed text and writes the result.
    harness::TypeChars(ch3, "9");
    ASSERT_TRUE(Tinted(ch3));
    op.Arrow(dt, IDC_DT_SPIN_CH3, true);
    EXPECT_EQ("12", op.Text(dt, IDC_DT_CH3));
    EXPECT_TRUE(PlainEdit(ch3));
    // A disabled edit keeps the tint of its unsent text.
    harness::TypeChars(ch3, "5");
    op.Click(dt, IDC_DT_AUTO_ON);
    ASSERT_FALSE(op.Enabled(dt, IDC_DT_CH3));
    EXPECT_TRUE(Tinted(ch3));
}

TEST_F(OperatorCues, GainTipsFollowTheGainStep) {
    Operator op = Open(harness::kGeneral);
    const struct {
        int page, id;
    } edits[] = {
        {harness::kDtGain, IDC_DT_CH1},
        {harness::kDtGain, IDC_DT_ALL},
        {harness::kMonopole, IDC_MONO_CH3},
        {harness::kDipole, IDC_DIP_ALL},
    };
    const struct {
        int radio;
        const char* tip;
    } steps[] = {
        {0, "-31 to 80 dB in steps of 3 dB"},
        {IDC_GEN_STEP1, "-31 to 80 dB in steps of 1 dB"},
        {IDC_GEN_STEP2, "-31 to 80 dB in steps of 2 dB"},
        {IDC_GEN_STEP3, "-31 to 80 dB in steps of 3 dB"},
    };
    for (const auto& s : steps) {
        if (s.radio) op.Click(harness::kGeneral, s.radio);
        for (const auto& e : edits) EXPECT_EQ(s.tip, harness::TipText(op.Control(e.page, e.id))) << e.id;
    }
}

TEST_F(OperatorCues, NumericControlsTellTheirRangeAndUnit) {
    Operator op = Open(harness::kGeneral);
    const struct {
        int page, id;
        const char* tip;
    } cases[] = {
        {harness::kGeneral, IDC_GEN_DT_DELAY, "80 to 400 us; Download sends at most 200 us"},
        {harness::kGeneral, IDC_GEN_DT_DELAY_STEP, "0 to 125 us"},
        {harness::kGeneral, IDC_GEN_DT_SAMPLERATE, "any integer, us"},
        {harness::kGeneral, IDC_GEN_MONO_DELAY, "80 to 400 us"},
        {harness::kGeneral, IDC_GEN_MONO_DELAY_STEP, "0 to 125 us"},
        {harness::kGeneral, IDC_GEN_DIP_DELAY, "240 to 800 us"},
        {harness::kGeneral, IDC_GEN_DIP_DELAY_STEP, "0 to 300 us"},
        {harness::kDtGain, IDC_DT_START_TIME, "80 to 2000 us"},
        {harness::kDtGain, IDC_DT_WIN_LENGTH, "200 to 1200 us"},
        {harness::kDtGain, IDC_DT_OFFSET, "0 to 100 us"},
        {harness::kDtGain, IDC_DT_READBACK4, "Gain the tool reports, -31 to 80 dB"},
        {harness::kMonopole, IDC_MONO_WIN_END, "80 to 8640 us (360 x 24 us); not sent since start; tool: not known"},
        {harness::kMonopole, IDC_MONO_READBACK8, "Gain the tool reports, -31 to 80 dB"},
        {harness::kDipole, IDC_DIP_WIN_END, "240 to 12960 us (360 x 36 us); not sent since start; tool: not known"},
        {harness::kAcoustic, IDC_AP_LOW_CUT, "-99999999 to 999999999"},
        {harness::kAcoustic, IDC_AP_HIGH_CUT, "-99999999 to 999999999"},
        {harness::kAcoustic, IDC_AP_DT_MIN, "-99999999 to 999999999 us/ft"},
        {harness::kAcoustic, IDC_AP_DT_MAX, "-99999999 to 999999999 us/ft"},
        {harness::kAcoustic, IDC_AP_COR_WIN, "-99999999 to 999999999 us"},
        {harness::kAcoustic, IDC_AP_COEFF, "0.1 to 5.0"},
        {harness::kAcoustic, IDC_AP_THRES_FACTOR, "0.20 to 1.00"},
        {harness::kAcoustic, IDC_AP_SEARCH_WIN, "120 to 2000 us"},
        {harness::kAcoustic, IDC_AP_START4, "120 to 2000 us"},
        {harness::kAcoustic, IDC_AP_MIN1, "0.1 to 10.0"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.tip, harness::TipText(op.Control(c.page, c.id))) << c.page << "/" << c.id;

    // The window end follows the sample interval that Download stores.
    op.SelectCombo(harness::kGeneral, IDC_GEN_MONO_SAMPLERATE, 2);
    op.SelectCombo(harness::kGeneral, IDC_GEN_DIP_SAMPLERATE, 2);
    EXPECT_EQ("", op.AnswerMessageBox(
                      [](void* o) { static_cast<Operator*>(o)->Click(harness::kGeneral, IDC_GEN_DOWNLOAD); }, &op))
        << "Download refused a field";
    EXPECT_EQ("80 to 12960 us (360 x 36 us); not sent since start; tool: not known",
              harness::TipText(op.Control(harness::kMonopole, IDC_MONO_WIN_END)));
    op.TypeAndEnter(harness::kDipole, IDC_DIP_WIN_END, "9000");
    EXPECT_EQ("240 to 17280 us (360 x 48 us)", harness::TipText(op.Control(harness::kDipole, IDC_DIP_WIN_END)))
        << "sent: the tool holds it";
}

// Hovering shows the tip, also over a control the page has disabled and over
// a read-back box (a static, which lets the mouse through to the page).
TEST_F(OperatorCues, TipShowsOnHoverAlsoOverDisabledControlsAndStatics) {
    Operator op = Open(harness::kDtGain);
    const struct {
        int id;
        bool enabled;
    } cases[] = {{IDC_DT_START_TIME, false}, {IDC_DT_CH1, true}, {IDC_DT_READBACK2, true}};
    for (const auto& c : cases) {
        HWND control = op.Control(harness::kDtGain, c.id);
        ASSERT_EQ(c.enabled, IsWindowEnabled(control) != FALSE) << c.id;
        // A read-back tip changes once, when no frame has come for 2 s: on a
        // loaded machine that may fall between the hover and the look, so a
        // second hover is allowed.
        for (int attempt = 0; attempt < 2; ++attempt) {
            HWND tip = harness::HoverUntilTip(control);
            ASSERT_NE(nullptr, tip) << c.id;
            char shown[128] = {};
            GetWindowTextA(tip, shown, sizeof shown);
            const std::string now = harness::TipText(control);
            SendMessageA(tip, TTM_POP, 0, 0);
            SetCursorPos(0, 0);
            if (now == shown) break;
            if (attempt == 1) {
                EXPECT_EQ(now, shown) << c.id;
            }
        }
    }
}

// A page makes its tooltip when the mouse first points at something with a
// tip, also where the page hears the mouse for a control (one disabled, a
// static); not for a window opening under a resting pointer, nor for the
// pointer over a place without a tip.
TEST_F(OperatorCues, TooltipComesWhenThePointerFirstPointsAtATip) {
    const struct {
        int id;
        bool tip;
        const char* what;
    } cases[] = {{IDC_DT_START_TIME, true, "a disabled control"},
                 {IDC_DT_CH1, true, "an edit"},
                 {IDC_DT_READBACK2, true, "a read-back static"},
                 {0, false, "the page's corner"}};
    for (const auto& c : cases) {
        SetCursorPos(1279, 1023);  // away from where the window opens
        Operator op = Open(harness::kDtGain);
        const HWND probe = op.Control(harness::kDtGain, IDC_DT_CH1);
        ASSERT_EQ(nullptr, harness::ExistingTooltipOf(probe)) << c.what << ": before the pointer came";
        RECT rc{};
        GetWindowRect(c.id ? op.Control(harness::kDtGain, c.id) : op.PageWindow(harness::kDtGain), &rc);
        harness::MovePointerTo(c.id ? POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}
                                    : POINT{rc.left + 2, rc.top + 2});
        for (int i = 0; i < 10; ++i) {
            Operator::Pump();
            Sleep(10);
        }
        EXPECT_EQ(c.tip, harness::ExistingTooltipOf(probe) != nullptr) << c.what;
        SendMessageA(op.Frame(), WM_CLOSE, 0, 0);
        Operator::Pump();
    }
}

// Frames stop (or only dropped ones come): within about two seconds every
// read-back box of the three gain pages looks old, its tip says since when,
// the pages are marked in the list, and the mismatch count stands still; the
// first good frame clears it all at once.
TEST_F(OperatorCues, ReadBackGoesStaleWhenFramesStopAndTheFirstGoodFrameClearsIt) {
    struct Case {
        const char* name;
        bool droppedFrames;  // null frames keep coming, or none at all
    } cases[] = {{"frames stop", false}, {"only dropped frames", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Operator op = Open(harness::kGeneral);
        FeedChannel2(5);
        FeedChannel2(5);  // two disagreeing frames: one more would warn
        for (const GainPage& g : kGainPages) {
            EXPECT_FALSE(Stale(op.Control(g.page, kReadBack1))) << g.name;
            EXPECT_FALSE(op.PageMarked(g.page)) << g.name;
        }
        const DWORD stopped = GetTickCount();
        while (GetTickCount() - stopped < 3000 && !op.PageMarked(harness::kDipole)) {
            if (c.droppedFrames) {
                host.SetFrame(nullptr);
                host.Process();
            }
            PumpFor(50);
        }
        for (const GainPage& g : kGainPages) {
            for (int ch = 0; ch < g.channels; ++ch)
                EXPECT_TRUE(Stale(op.Control(g.page, kReadBack1 + ch))) << g.name << " ch " << ch;
            const std::string tip = harness::TipText(op.Control(g.page, kReadBack1 + 1));
            EXPECT_EQ(0u, tip.find("No report from the tool since ")) << tip;
            EXPECT_EQ(tip.size() - 18, tip.find("; last report 5 dB")) << tip;
            EXPECT_TRUE(op.PageMarked(g.page)) << g.name;
        }
        EXPECT_FALSE(op.PageMarked(harness::kGeneral));
        EXPECT_FALSE(op.PageMarked(harness::kAcoustic));

        // The first good frame: fresh at once, and the count went on from two.
        FeedChannel2(5);
        for (const GainPage& g : kGainPages) {
            EXPECT_FALSE(Stale(op.Control(g.page, kReadBack1))) << g.name;
            EXPECT_TRUE(Warned(op.Control(g.page, kReadBack1 + 1))) << g.name << ": the third disagreeing frame";
            EXPECT_TRUE(op.PageMarked(g.page)) << g.name << ": the mismatch marks it";
        }
        FeedChannel2(12);
        for (const GainPage& g : kGainPages) EXPECT_FALSE(op.PageMarked(g.page)) << g.name;
        host.Unload();
    }
}

// A stuck dipole channel is seen from any page: the Dipole item carries the
// mark, drawn over its icon, while the operator works on another page.
TEST_F(OperatorCues, StuckDipoleChannelIsMarkedInThePageList) {
    Operator op = Open(harness::kDtGain);
    for (int i = 0; i < 3; ++i) {
        for (const GainPage& g : kGainPages) frame[g.firstWord + 1] = 12;
        frame[READBACK_DIPOLE_WORD + 1] = 5;
        host.SetFrame(frame.data());
        host.Process();
        HostHarness::Pump();
    }
    EXPECT_EQ(harness::kDtGain, op.ShownPage());
    EXPECT_TRUE(op.PageMarked(harness::kDipole));
    for (int page : {harness::kGeneral, harness::kDtGain, harness::kMonopole, harness::kAcoustic})
        EXPECT_FALSE(op.PageMarked(page)) << page;

    // Drawn: the icon's lower right corner shows the warning colour, the
    // same corner of an unmarked icon does not.
    HWND list = op.PageList();
    auto cornerHasWarning = [&](int item) {
        RECT icon{};
        icon.left = LVIR_ICON;
        SendMessageA(list, LVM_GETITEMRECT, item, reinterpret_cast<LPARAM>(&icon));
        UpdateWindow(list);
        HDC dc = GetDC(list);
        const COLORREF want = WarningColours(harness::CurrentScheme()).back;
        bool found = false;
        for (int y = (icon.top + icon.bottom) / 2; y < icon.bottom && !found; ++y)
            for (int x = (icon.left + icon.right) / 2; x < icon.right && !found; ++x)
                found = GetPixel(dc, x, y) == want;
        ReleaseDC(list, dc);
        return found;
    };
    EXPECT_TRUE(cornerHasWarning(harness::kDipole));
    EXPECT_FALSE(cornerHasWarning(harness::kMonopole));

    // The tool follows again: the mark goes.
    frame[READBACK_DIPOLE_WORD + 1] = 12;
    host.SetFrame(frame.data());
    host.Process();
    HostHarness::Pump();
    EXPECT_FALSE(op.PageMarked(harness::kDipole));
}

// Screenshots of the three cues for the documentation:
//   --gtest_also_run_disabled_tests --gtest_filter=OperatorCues.DISABLED_Screenshots
// They go to %KELVANE_SHOTS% (default D:\screenshots).
TEST_F(OperatorCues, DISABLED_Screenshots) {
    const char* env = std::getenv("KELVANE_SHOTS");
    const std::string dir = env && *env ? env : "D:\\screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    auto shoot = [&](HWND frameWnd, HWND tip, const char* name) {
        RECT area{};
        GetWindowRect(frameWnd, &area);
        if (tip && IsWindowVisible(tip)) {
            RECT t{};
            GetWindowRect(tip, &t);
            UnionRect(&area, &area, &t);
        }
        EXPECT_TRUE(harness::SaveScreenPng(area, dir + "\\" + name)) << name;
    };

    // A stuck CH3# on the Monopole page, its tip shown.
    Operator op = Open(harness::kMonopole);
    SetWindowPos(op.Frame(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    for (int i = 0; i < 3; ++i) {
        for (const GainPage& g : kGainPages)
            for (int ch = 0; ch < g.channels; ++ch) frame[g.firstWord + ch] = static_cast<int16_t>(ch == 1 ? 12 : 0);
        frame[READBACK_MONO_WORD + 2] = -7;
        host.SetFrame(frame.data());
        host.Process();
        HostHarness::Pump();
    }
    HWND box = op.Control(harness::kMonopole, IDC_MONO_READBACK3);
    ASSERT_TRUE(Warned(box));
    shoot(op.Frame(), harness::HoverUntilTip(box), "cue-mismatch.png");
    SetCursorPos(0, 0);

    // DT: CH2# typed, not sent.
    op.ClickPageItem(harness::kDtGain);
    harness::TypeChars(op.Control(harness::kDtGain, IDC_DT_CH2), "45");
    SetFocus(op.PageList());
    HostHarness::Pump();
    shoot(op.Frame(), nullptr, "cue-tint.png");

    // DT: the tip of a gain entry.
    shoot(op.Frame(), harness::HoverUntilTip(op.Control(harness::kDtGain, IDC_DT_CH1)), "cue-tooltip.png");
    SetCursorPos(0, 0);

    // Frames stopped: the read-back looks old, the gain pages are marked.
    harness::TypeChars(op.Control(harness::kDtGain, IDC_DT_CH2), "12");
    harness::PressEnter(op.Control(harness::kDtGain, IDC_DT_CH2));
    PumpFor(2600);
    box = op.Control(harness::kDtGain, IDC_DT_READBACK2);
    ASSERT_TRUE(Stale(box));
    shoot(op.Frame(), harness::HoverUntilTip(box), "cue-stale.png");
    SetCursorPos(0, 0);

    // The strip's tip with what was absorbed since start: commands no host
    // window took, a frame that could not be read.
    host.InitWith(nullptr);
    op.TypeAndEnter(harness::kDtGain, IDC_DT_CH1, "20");
    host.SetFrame(reinterpret_cast<const int16_t*>(uintptr_t{16}));
    host.Process();
    PumpFor(600);
    shoot(op.Frame(), harness::HoverUntilTip(op.StatusStrip()), "strip-absorbed.png");
    SetCursorPos(0, 0);
}

}  // namespace

namespace {
int g_ncActivates = 0;
LRESULT CALLBACK CountNcActivate(HWND w, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    // FlashWindowEx toggles the caption through WM_NCACTIVATE.
    if (msg == WM_NCACTIVATE) ++g_ncActivates;
    return DefSubclassProc(w, msg, wp, lp);
}
}  // namespace

// Every section in auto gain, the tool hunting as the bench's does, and
// monopole CH3 at the top of the range: flagged after the settling and the
// rule's time in its box, the page list, the strip and the record; a click
// on the strip's part acknowledges (the box keeps its mark until healthy).
// Raised while the window is active, nothing flashes; raised while another
// window is in front, the window asks for attention once and the focus
// stays where it was.
TEST_F(OperatorCues, HealthFlagIsShownAcknowledgedAndFlashesOnlyWhenNotActive) {
    Operator op = Open(harness::kMonopole, CueIni(1, 1, 1));
    HWND box = op.Control(harness::kMonopole, kReadBack1 + 2);
    int64_t n = 0;
    // Ten frames a second for ms of real time: the rules' times are the clock's.
    auto stream = [&](DWORD ms, bool pinned) {
        for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; ++n) {
            for (int s = 0; s < 3; ++s)
                for (int c = 0; c < kGainPages[s].channels; ++c)
                    frame[kGainPages[s].firstWord + c] = static_cast<int16_t>(
                        ToolSim::AutoGainFor(n, static_cast<Section>(s), c, 3));
            if (pinned) frame[READBACK_MONO_WORD + 2] = static_cast<int16_t>(GAIN_MAX_DB);
            host.SetFrame(frame.data());
            host.Process();
            PumpFor(100);
        }
    };
    const auto flagged = [&] { return Same(harness::ColoursOf(box), HealthColours(harness::CurrentScheme())); };
    SetForegroundWindow(op.Frame());
    ASSERT_TRUE(SetWindowSubclass(op.Frame(), &CountNcActivate, 1, 0));
    g_ncActivates = 0;

    stream(kHealthSettleMs + kHealthPinnedMs - 1500, true);
    EXPECT_FALSE(flagged());
    EXPECT_FALSE(op.PageMarked(harness::kMonopole));
    stream(3000, true);
    EXPECT_TRUE(flagged());
    EXPECT_TRUE(op.PageMarked(harness::kMonopole));
    EXPECT_FALSE(op.PageMarked(harness::kDipole));
    ASSERT_EQ(op.StripParts(), 4);
    EXPECT_EQ(op.StripText(2).rfind("Monopole CH3 at the maximum gain (no signal) for ", 0), 0u) << op.StripText(2);
    EXPECT_EQ(g_ncActivates, 0);  // the operator is looking

    // A click on the strip's part: acknowledged, the strip quiet, the mark kept.
    RECT part{};
    SendMessageA(op.StatusStrip(), SB_GETRECT, 2, reinterpret_cast<LPARAM>(&part));
    const LPARAM at = MAKELPARAM((part.left + part.right) / 2, (part.top + part.bottom) / 2);
    SendMessageA(op.StatusStrip(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(op.StatusStrip(), WM_LBUTTONUP, 0, at);
    HostHarness::Pump();
    EXPECT_EQ(op.StripParts(), 3);
    EXPECT_TRUE(flagged());
    EXPECT_TRUE(op.PageMarked(harness::kMonopole));

    // Healthy: the mark goes a few seconds later.
    stream(kHealthClearMs + 1000, false);
    EXPECT_FALSE(flagged());
    EXPECT_FALSE(op.PageMarked(harness::kMonopole));

    // The host's display in front: the new flag flashes the window once, and
    // the display keeps the focus.
    HWND display = CreateWindowExA(0, "STATIC", "host display", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                   nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(display);
    SetForegroundWindow(display);
    HostHarness::Pump();
    ASSERT_EQ(GetForegroundWindow(), display);
    g_ncActivates = 0;
    stream(kHealthPinnedMs + 1500, true);
    EXPECT_TRUE(flagged());
    EXPECT_EQ(op.StripParts(), 4);  // a flag that comes back is new
    EXPECT_GE(g_ncActivates, 1);
    const int asked = g_ncActivates;
    stream(2000, true);
    EXPECT_EQ(g_ncActivates, asked);
    EXPECT_EQ(GetForegroundWindow(), display);

    // Both flags and the healthy spell between are in the record's events.
    const std::string record = TestFolder() + "\\health-record.txt";
    DeleteFileA(record.c_str());
    DeleteFileA((TestFolder() + "\\health-record.csv").c_str());
    EXPECT_TRUE(harness::SaveJobRecord(op.Frame(), record).messages.empty());
    const std::string text = ReadRaw(record);
    EXPECT_NE(text.find("Health: Monopole CH3 at the maximum gain (no signal)"), std::string::npos) << text;
    EXPECT_NE(text.find("Health: Monopole CH3 healthy again (was pinned)"), std::string::npos);
    RemoveWindowSubclass(op.Frame(), &CountNcActivate, 1);
    DestroyWindow(display);
}
