// The "Acoustic Process" page driven like an operator through the real DLL;
// every change is checked where the host sees it: the VarroProcessPara block
// read by name, the page's controls, and the INI written at unload.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "HostHarness.h"
#include "Operator.h"
#include "resource.h"
#include "TestSupport.h"

using namespace kelvane;
using harness::HostHarness;
using harness::kAcoustic;
using harness::Operator;

using namespace kelvane::testsupport;

namespace {

// The four bytes of a ProcessPara field, compared bit for bit.
::testing::AssertionResult FieldIs(const ProcessPara& pp, size_t offset, const void* want) {
    const unsigned char* got = reinterpret_cast<const unsigned char*>(&pp) + offset;
    if (std::memcmp(got, want, 4) == 0) return ::testing::AssertionSuccess();
    float gf, wf;
    int32_t gi, wi;
    std::memcpy(&gf, got, 4);
    std::memcpy(&wf, want, 4);
    std::memcpy(&gi, got, 4);
    std::memcpy(&wi, want, 4);
    return ::testing::AssertionFailure() << "field at " << offset << ": got " << gi << " / " << gf << "f, want " << wi
                                         << " / " << wf << "f";
}
::testing::AssertionResult FloatIs(const ProcessPara& pp, size_t offset, float want) {
    return FieldIs(pp, offset, &want);
}
::testing::AssertionResult IntIs(const ProcessPara& pp, size_t offset, int32_t want) {
    return FieldIs(pp, offset, &want);
}

size_t StartAt(int k) { return offsetof(ProcessPara, T01RStart) + 4 * static_cast<size_t>(k); }
size_t MinAt(int k) { return offsetof(ProcessPara, ThresholdMin) + 4 * static_cast<size_t>(k); }

const int kStartSlider[4] = {IDC_AP_START1, IDC_AP_START2, IDC_AP_START3, IDC_AP_START4};
const int kStartLabel[4] = {IDC_AP_START1_VALUE, IDC_AP_START2_VALUE, IDC_AP_START3_VALUE, IDC_AP_START4_VALUE};
const int kMinSlider[4] = {IDC_AP_MIN1, IDC_AP_MIN2, IDC_AP_MIN3, IDC_AP_MIN4};
const int kMinLabel[4] = {IDC_AP_MIN1_VALUE, IDC_AP_MIN2_VALUE, IDC_AP_MIN3_VALUE, IDC_AP_MIN4_VALUE};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct AcousticPage : ::testing::Test {
    HostHarness host;
    std::unique_ptr<Operator> op;

    void SetUp() override { host.PrepareWorkFolder(TestFolder()); }
    void TearDown() override {
        // The page publishes; it never sends a tool command.
        EXPECT_TRUE(host.Commands().empty()) << host.Commands().size() << " command(s) sent";
    }

    // Loads the plug-in (with this INI text, if any), opens the window and
    // shows the acoustic page by clicking its icon.
    void Open(const std::string& ini = std::string()) {
        std::vector<harness::CodeValue> otherPages;  // what they send as the window opens
        op = std::make_unique<Operator>(harness::OpenOnPage(host, kAcoustic, ini, &otherPages));
        ASSERT_NE(nullptr, op->Frame());
        ASSERT_EQ(kAcoustic, op->ShownPage());
    }
    void Close() {
        op.reset();
        host.Unload();
    }

    ProcessPara Block() const {
        ProcessPara pp{};
        EXPECT_TRUE(host.ReadProcess(&pp));
        return pp;
    }
    std::string Text(int id) const { return op->Text(kAcoustic, id); }
    int Pos(int id) const { return op->SliderPos(kAcoustic, id); }
    LRESULT Ask(int id, UINT msg) const { return SendMessageA(op->Control(kAcoustic, id), msg, 0, 0); }
};

TEST_F(AcousticPage, OpensWithTheDefaults) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const std::vector<std::string> curve{"First Wave Pick", "Correlation"};
    const std::vector<std::string> filter{"No Filter", "Dt FIR Filter(3K-20KHz)", "ButWorth Bandpass Filter"};
    const std::vector<std::string> thresholdType{"Manual Threshold", "Auto Threshold"};
    EXPECT_EQ(curve, op->ComboItems(kAcoustic, IDC_AP_CURVE));
    EXPECT_EQ(filter, op->ComboItems(kAcoustic, IDC_AP_FILTER_TYPE));
    EXPECT_EQ(thresholdType, op->ComboItems(kAcoustic, IDC_AP_THRES_TYPE));
    for (int id : {IDC_AP_CURVE, IDC_AP_FILTER_TYPE, IDC_AP_THRES_TYPE})
        EXPECT_EQ(0, op->ComboSel(kAcoustic, id)) << id;
    EXPECT_TRUE(op->Enabled(kAcoustic, IDC_AP_CURVE));
    EXPECT_FALSE(op->Enabled(kAcoustic, IDC_AP_FILTER_TYPE));
    EXPECT_FALSE(op->Enabled(kAcoustic, IDC_AP_THRES_TYPE));
    for (int id : {IDC_AP_LOW_CUT, IDC_AP_HIGH_CUT}) {
        EXPECT_FALSE(op->Enabled(kAcoustic, id)) << id;
        EXPECT_EQ("", Text(id)) << id;
    }
    EXPECT_EQ("40", Text(IDC_AP_DT_MIN));
    EXPECT_EQ("180", Text(IDC_AP_DT_MAX));
    EXPECT_EQ("200", Text(IDC_AP_COR_WIN));
    for (int id : {IDC_AP_START_LINK1, IDC_AP_START_LINK2, IDC_AP_START_LINK3, IDC_AP_START_LINK4, IDC_AP_MIN_LINK1,
                   IDC_AP_MIN_LINK2, IDC_AP_MIN_LINK3, IDC_AP_MIN_LINK4})
        EXPECT_FALSE(op->Checked(kAcoustic, id)) << id;

    struct Slider {
        int id, label, lo, hi, line, page, pos;
        const char* text;
    } sliders[] = {
        {IDC_AP_START1, IDC_AP_START1_VALUE, 120, 2000, 8, 80, 160, "160"},
        {IDC_AP_START2, IDC_AP_START2_VALUE, 120, 2000, 8, 80, 160, "160"},
        {IDC_AP_START3, IDC_AP_START3_VALUE, 120, 2000, 8, 80, 160, "160"},
        {IDC_AP_START4, IDC_AP_START4_VALUE, 120, 2000, 8, 80, 160, "160"},
        {IDC_AP_MIN1, IDC_AP_MIN1_VALUE, 1, 100, 1, 10, 3, "0.30"},
        {IDC_AP_MIN2, IDC_AP_MIN2_VALUE, 1, 100, 1, 10, 3, "0.30"},
        {IDC_AP_MIN3, IDC_AP_MIN3_VALUE, 1, 100, 1, 10, 3, "0.30"},
        {IDC_AP_MIN4, IDC_AP_MIN4_VALUE, 1, 100, 1, 10, 3, "0.30"},
        {IDC_AP_COEFF, IDC_AP_COEFF_VALUE, 1, 50, 1, 10, 10, "1.00"},
        {IDC_AP_THRES_FACTOR, IDC_AP_THRES_FACTOR_VALUE, 2, 10, 0, 0, 2, "0.20"},
        {IDC_AP_SEARCH_WIN, IDC_AP_SEARCH_WIN_VALUE, 120, 2000, 8, 80, 800, "800"},
    };
    for (const Slider& s : sliders) {
        EXPECT_EQ(s.lo, Ask(s.id, TBM_GETRANGEMIN)) << s.id;
        EXPECT_EQ(s.hi, Ask(s.id, TBM_GETRANGEMAX)) << s.id;
        if (s.line) {
            EXPECT_EQ(s.line, Ask(s.id, TBM_GETLINESIZE)) << s.id;
        }
        if (s.page) {
            EXPECT_EQ(s.page, Ask(s.id, TBM_GETPAGESIZE)) << s.id;
        }
        EXPECT_EQ(s.pos, Pos(s.id)) << s.id;
        EXPECT_EQ(s.text, Text(s.label)) << s.id;
    }
}

// Stored values the controls cannot show: clamped sliders beside unclamped
// labels, the rounding of tenth-scaled values, and filter types.
TEST_F(AcousticPage, OpensWithStoredValuesFromTheIni) {
    ASSERT_NO_FATAL_FAILURE(
        Open("[ACOUSTIC PROCESS]\r\nT01R1Start=5000\r\nT01R3Start=50\r\nThresholdMin1=0.7\r\nThresholdMin4=12.5\r\n"
             "Coefficient=0.7\r\nThresholdFactor=0.7\r\nFilterType=2\r\nLowCut=3500.7\r\nHighCut=-20\r\n"
             "DtMin=-5\r\n"));
    struct Slider {
        int id, label, pos;
        const char* text;
    } sliders[] = {
        {IDC_AP_START1, IDC_AP_START1_VALUE, 2000, "5000"},
        {IDC_AP_START2, IDC_AP_START2_VALUE, 120, "120"},  // missing key: the fallback
        {IDC_AP_START3, IDC_AP_START3_VALUE, 120, "50"},
        {IDC_AP_MIN1, IDC_AP_MIN1_VALUE, 7, "0.70"},  // 0.7f is just below 0.7: rounded, not cut to 6
        {IDC_AP_MIN2, IDC_AP_MIN2_VALUE, 1, "0.00"},
        {IDC_AP_MIN4, IDC_AP_MIN4_VALUE, 100, "12.50"},
        {IDC_AP_COEFF, IDC_AP_COEFF_VALUE, 7, "0.70"},
        {IDC_AP_THRES_FACTOR, IDC_AP_THRES_FACTOR_VALUE, 7, "0.70"},
        {IDC_AP_SEARCH_WIN, IDC_AP_SEARCH_WIN_VALUE, 120, "120"},
    };
    for (const Slider& s : sliders) {
        EXPECT_EQ(s.pos, Pos(s.id)) << s.id;
        EXPECT_EQ(s.text, Text(s.label)) << s.id;
    }
    // A band-pass filter from the file shows its cut-offs; the edits stay as
    // the template made them until the filter list changes.
    EXPECT_EQ(2, op->ComboSel(kAcoustic, IDC_AP_FILTER_TYPE));
    EXPECT_EQ("3500", Text(IDC_AP_LOW_CUT));
    EXPECT_EQ("-20", Text(IDC_AP_HIGH_CUT));
    EXPECT_EQ("-5", Text(IDC_AP_DT_MIN));
}

TEST_F(AcousticPage, FilterTypeFromTheIniSelectsItsEntry) {
    struct Case {
        const char* value;
        int selection;
    } cases[] = {
        {"0", 0},
        {"1", 1},
        {"5", -1},
        {"-1", -1},
    };
    for (const Case& c : cases) {
        host.PrepareWorkFolder(TestFolder() + "_" + c.value);
        ASSERT_NO_FATAL_FAILURE(
            Open(std::string("[ACOUSTIC PROCESS]\r\nFilterType=") + c.value + "\r\nLowCut=300\r\nHighCut=900\r\n"));
        EXPECT_EQ(c.selection, op->ComboSel(kAcoustic, IDC_AP_FILTER_TYPE)) << c.value;
        for (int id : {IDC_AP_LOW_CUT, IDC_AP_HIGH_CUT}) {
            EXPECT_FALSE(op->Enabled(kAcoustic, id)) << c.value;
            EXPECT_EQ("", Text(id)) << c.value;
        }
        Close();
    }
}

// Only whole numbers are taken, kept within nine characters so the settings
// file gives each back unchanged at the next start; other text, and a DtMin
// above DtMax, is refused at the box: the block keeps the value in force.
TEST_F(AcousticPage, TypedValuesAreCheckedAndLimited) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const size_t dtMin = offsetof(ProcessPara, DtMin), dtMax = offsetof(ProcessPara, DtMax),
                 corWin = offsetof(ProcessPara, CorWinLength);
    struct Case {
        int id;
        const char* typed;
        const char* shown;
        size_t field;
        int32_t value;
        const char* note;
    } cases[] = {
        {IDC_AP_DT_MIN, "12", "12", dtMin, 12, ""},
        {IDC_AP_DT_MIN, "-3", "-3", dtMin, -3, ""},
        {IDC_AP_DT_MIN, "-3.99", "-3", dtMin, -3, "Not taken: \"-3.99\""},
        {IDC_AP_DT_MIN, "1e10", "-3", dtMin, -3, "Not taken: \"1e10\""},
        {IDC_AP_DT_MIN, "-1234567890", "-99999999", dtMin, -99999999, "Sent -99999999, not -1234567890"},
        {IDC_AP_COR_WIN, "2147483647", "999999999", corWin, 999999999, "Sent 999999999"},
        {IDC_AP_DT_MIN, "nan", "-99999999", dtMin, -99999999, "Not taken: \"nan\""},
        {IDC_AP_DT_MIN, "abc", "-99999999", dtMin, -99999999, "Not taken"},
        {IDC_AP_DT_MIN, "0x40", "-99999999", dtMin, -99999999, "Not taken"},
        {IDC_AP_DT_MIN, "", "-99999999", dtMin, -99999999, "Not taken: an empty box"},
        {IDC_AP_DT_MAX, "250", "250", dtMax, 250, ""},
        {IDC_AP_DT_MIN, "251", "-99999999", dtMin, -99999999, "Not taken: DtMin 251 would be above DtMax 250"},
        {IDC_AP_DT_MIN, "12", "12", dtMin, 12, ""},
        {IDC_AP_DT_MAX, "-7", "250", dtMax, 250, "Not taken: DtMin 12 would be above DtMax -7"},
        {IDC_AP_DT_MAX, "12", "12", dtMax, 12, ""},
        {IDC_AP_COR_WIN, " 640us", "999999999", corWin, 999999999, "Not taken"},
        {IDC_AP_COR_WIN, " 640 ", "640", corWin, 640, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        op->TypeAndEnter(kAcoustic, c.id, c.typed);
        EXPECT_EQ(c.shown, Text(c.id));
        EXPECT_TRUE(IntIs(Block(), c.field, c.value));
        const std::string note = NoteAt(op->Control(kAcoustic, c.id));
        EXPECT_EQ(0u, note.find(c.note)) << note;
        EXPECT_EQ(*c.note == '\0', note.empty()) << note;
    }
    // The keyboard's own path: Enter through the message loop.
    op->TypeAndEnterViaLoop(kAcoustic, IDC_AP_DT_MIN, "12.9");
    EXPECT_EQ("12", Text(IDC_AP_DT_MIN));
    EXPECT_TRUE(IntIs(Block(), dtMin, 12));
    Close();
    const std::string ini = host.ReadIni();
    EXPECT_TRUE(Contains(ini, "DtMin=12\r\n")) << ini;
    EXPECT_TRUE(Contains(ini, "DtMax=12\r\n")) << ini;
    EXPECT_TRUE(Contains(ini, "CorWinLength=640\r\n")) << ini;
}

// Type, restart, read the block: the value the operator saw is the one the
// host's processing gets after the next start.
TEST_F(AcousticPage, TypedExtremesComeBackAfterARestart) {
    ASSERT_NO_FATAL_FAILURE(Open());
    op->TypeAndEnter(kAcoustic, IDC_AP_DT_MAX, "2147483647");
    op->TypeAndEnter(kAcoustic, IDC_AP_DT_MIN, "-1234567890");
    op->SelectCombo(kAcoustic, IDC_AP_FILTER_TYPE, 2);
    op->TypeAndEnter(kAcoustic, IDC_AP_HIGH_CUT, "1234567890");
    const ProcessPara before = Block();
    Close();
    ASSERT_TRUE(host.Load());
    const ProcessPara after = Block();
    EXPECT_TRUE(IntIs(after, offsetof(ProcessPara, DtMax), 999999999));
    EXPECT_TRUE(IntIs(after, offsetof(ProcessPara, DtMin), -99999999));
    EXPECT_TRUE(FloatIs(after, offsetof(ProcessPara, HighCut), 999999999.0f));
    for (size_t field : {offsetof(ProcessPara, DtMax), offsetof(ProcessPara, DtMin), offsetof(ProcessPara, HighCut)})
        EXPECT_TRUE(FieldIs(after, field, reinterpret_cast<const unsigned char*>(&before) + field));
    host.Unload();
}

TEST_F(AcousticPage, BandPassFilterEnablesTheCutOffs) {
    ASSERT_NO_FATAL_FAILURE(Open());
    op->SelectCombo(kAcoustic, IDC_AP_FILTER_TYPE, 2);
    EXPECT_TRUE(IntIs(Block(), offsetof(ProcessPara, FilterType), 2));
    ASSERT_TRUE(op->Enabled(kAcoustic, IDC_AP_LOW_CUT));
    ASSERT_TRUE(op->Enabled(kAcoustic, IDC_AP_HIGH_CUT));

    // The band's low end stays below its high end: from 0 and 0, the high
    // end first. A refused cut-off leaves the block's pair as it was.
    struct Cut {
        int id;
        const char* typed;
        float low, high;
        const char* note;
    } cuts[] = {
        {IDC_AP_LOW_CUT, "3500", 0.0f, 0.0f, "Not taken: Low Freq Cutoff 3500 would not be below High Freq Cutoff 0"},
        {IDC_AP_HIGH_CUT, "2147483647", 0.0f, 999999999.0f, "Sent 999999999"},
        {IDC_AP_LOW_CUT, "3500", 3500.0f, 999999999.0f, ""},
        {IDC_AP_HIGH_CUT, "3500", 3500.0f, 999999999.0f, "Not taken: Low Freq Cutoff 3500 would not be below"},
        {IDC_AP_HIGH_CUT, "-12.5", 3500.0f, 999999999.0f, "Not taken: \"-12.5\""},
        {IDC_AP_HIGH_CUT, "18000", 3500.0f, 18000.0f, ""},
    };
    for (const Cut& c : cuts) {
        SCOPED_TRACE(c.typed);
        op->TypeAndEnter(kAcoustic, c.id, c.typed);
        EXPECT_TRUE(FloatIs(Block(), offsetof(ProcessPara, LowCut), c.low));
        EXPECT_TRUE(FloatIs(Block(), offsetof(ProcessPara, HighCut), c.high));
        const std::string note = NoteAt(op->Control(kAcoustic, c.id));
        EXPECT_EQ(0u, note.find(c.note)) << note;
    }

    struct Step {
        int index;
        bool enabled;
    } steps[] = {{0, false}, {2, true}, {1, false}};
    for (const Step& s : steps) {
        op->SelectCombo(kAcoustic, IDC_AP_FILTER_TYPE, s.index);
        EXPECT_TRUE(IntIs(Block(), offsetof(ProcessPara, FilterType), s.index)) << s.index;
        EXPECT_EQ(s.enabled, op->Enabled(kAcoustic, IDC_AP_LOW_CUT)) << s.index;
        EXPECT_EQ(s.enabled, op->Enabled(kAcoustic, IDC_AP_HIGH_CUT)) << s.index;
    }
    // Switching the filter off keeps what the cut-offs hold.
    EXPECT_EQ("3500", Text(IDC_AP_LOW_CUT));
    EXPECT_TRUE(FloatIs(Block(), offsetof(ProcessPara, LowCut), 3500.0f));
    Close();
    const std::string ini = host.ReadIni();
    EXPECT_TRUE(Contains(ini, "FilterType=1\r\nHighCut=18000\r\nLowCut=3500\r\n")) << ini;
}

TEST_F(AcousticPage, CurveAndThresholdTypeListsWriteTheBlock) {
    ASSERT_NO_FATAL_FAILURE(Open());
    struct Step {
        int id;
        int index;
        size_t field;
    } steps[] = {
        {IDC_AP_CURVE, 1, offsetof(ProcessPara, CurveSelect)},
        {IDC_AP_THRES_TYPE, 1, offsetof(ProcessPara, ThresholdType)},
        {IDC_AP_CURVE, 0, offsetof(ProcessPara, CurveSelect)},
        {IDC_AP_CURVE, 1, offsetof(ProcessPara, CurveSelect)},
        {IDC_AP_THRES_TYPE, 0, offsetof(ProcessPara, ThresholdType)},
    };
    for (const Step& s : steps) {
        op->SelectCombo(kAcoustic, s.id, s.index);
        EXPECT_TRUE(IntIs(Block(), s.field, s.index)) << s.id << " -> " << s.index;
    }
    const ProcessPara pp = Block();
    EXPECT_EQ(1, pp.CurveSelect);
    EXPECT_EQ(0, pp.ThresholdType);
    EXPECT_EQ(0, pp.FilterType) << "the other lists stay as they were";
    Close();
    EXPECT_FALSE(Contains(host.ReadIni(), "Curve")) << "not a saved setting";
}

// The curve choice outlives the window: a reopened page shows the curve the
// host still works with, not the first entry.
TEST_F(AcousticPage, ReopenedPageShowsTheStoredCurve) {
    ASSERT_NO_FATAL_FAILURE(Open());
    op->SelectCombo(kAcoustic, IDC_AP_CURVE, 1);
    HWND old = op->Frame();
    SendMessageA(old, WM_CLOSE, 0, 0);
    HostHarness::Pump();
    ASSERT_FALSE(IsWindow(old));

    HWND frame = host.Show();
    ASSERT_NE(nullptr, frame);
    op = std::make_unique<Operator>(frame);
    op->ClickPageItem(kAcoustic);
    EXPECT_EQ(1, op->ComboSel(kAcoustic, IDC_AP_CURVE));
    EXPECT_EQ(0, op->ComboSel(kAcoustic, IDC_AP_THRES_TYPE));
    EXPECT_TRUE(IntIs(Block(), offsetof(ProcessPara, CurveSelect), 1));
    op->SelectCombo(kAcoustic, IDC_AP_CURVE, 0);
    EXPECT_TRUE(IntIs(Block(), offsetof(ProcessPara, CurveSelect), 0));
    host.ClearCommands();  // the DT page's auto-gain command on reopening
    Close();
}

// One arrow key on each kind of slider: its value, the label's format after
// a move, and the block field bit for bit.
TEST_F(AcousticPage, ArrowKeyStepsEachSlider) {
    ASSERT_NO_FATAL_FAILURE(Open());
    struct Case {
        int slider, label;
        bool right;
        int pos;
        const char* text;
        size_t field;
        bool isFloat;
        float f;
        int32_t i;
    } cases[] = {
        {IDC_AP_COEFF, IDC_AP_COEFF_VALUE, true, 11, "1.1", offsetof(ProcessPara, Coefficient), true, 1.1f, 0},
        {IDC_AP_COEFF, IDC_AP_COEFF_VALUE, false, 10, "1.0", offsetof(ProcessPara, Coefficient), true, 1.0f, 0},
        {IDC_AP_COEFF, IDC_AP_COEFF_VALUE, false, 9, "0.9", offsetof(ProcessPara, Coefficient), true, 0.9f, 0},
        {IDC_AP_THRES_FACTOR, IDC_AP_THRES_FACTOR_VALUE, true, 3, "0.3", offsetof(ProcessPara, ThresholdFactor), true,
         0.3f, 0},
        {IDC_AP_MIN3, IDC_AP_MIN3_VALUE, true, 4, "0.4", MinAt(2), true, 0.4f, 0},
        {IDC_AP_SEARCH_WIN, IDC_AP_SEARCH_WIN_VALUE, true, 808, "808", offsetof(ProcessPara, SearchWinLength), false, 0,
         808},
        {IDC_AP_START2, IDC_AP_START2_VALUE, false, 152, "152", StartAt(1), false, 0, 152},
    };
    for (const Case& c : cases) {
        op->SliderKey(kAcoustic, c.slider, c.right);
        EXPECT_EQ(c.pos, Pos(c.slider)) << c.slider;
        EXPECT_EQ(c.text, Text(c.label)) << c.slider;
        if (c.isFloat) EXPECT_TRUE(FloatIs(Block(), c.field, c.f)) << c.slider;
        else EXPECT_TRUE(IntIs(Block(), c.field, c.i)) << c.slider;
    }
    Close();
    const std::string ini = host.ReadIni();
    EXPECT_TRUE(Contains(ini, "Coefficient=0.9\r\nThresholdFactor=0.3\r\nSearchWinLength=808\r\n")) << ini;
    EXPECT_TRUE(Contains(ini, "T01R2Start=152\r\n")) << ini;
}

// Whatever the scroll code, the handler reads the slider's position.
TEST_F(AcousticPage, EveryScrollCodeTakesTheSliderPosition) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const int codes[] = {TB_LINEUP,     TB_LINEDOWN, TB_PAGEUP, TB_PAGEDOWN, TB_THUMBPOSITION,
                         TB_THUMBTRACK, TB_TOP,      TB_BOTTOM, TB_ENDTRACK};
    int32_t pos = 200;
    for (int code : codes) {
        pos += 40;
        SendMessageA(op->Control(kAcoustic, IDC_AP_SEARCH_WIN), TBM_SETPOS, TRUE, pos);  // raises no notice
        op->SliderNotify(kAcoustic, IDC_AP_SEARCH_WIN, code);
        EXPECT_TRUE(IntIs(Block(), offsetof(ProcessPara, SearchWinLength), pos)) << code;
        EXPECT_EQ(std::to_string(pos), Text(IDC_AP_SEARCH_WIN_VALUE)) << code;
    }
}

TEST_F(AcousticPage, LinkedStartSkipsAReceiverPushedBeyond2000) {
    ASSERT_NO_FATAL_FAILURE(Open("[ACOUSTIC PROCESS]\r\nT01R1Start=1990\r\nT01R2Start=600\r\n"));
    op->Click(kAcoustic, IDC_AP_START_LINK1);
    op->Click(kAcoustic, IDC_AP_START_LINK2);
    ASSERT_TRUE(op->Checked(kAcoustic, IDC_AP_START_LINK1));
    ASSERT_TRUE(op->Checked(kAcoustic, IDC_AP_START_LINK2));
    op->DragSlider(kAcoustic, IDC_AP_START2, {640, 680});
    const ProcessPara pp = Block();
    const int32_t want[4] = {1990, 680, 120, 120};
    for (int k = 0; k < 4; ++k) {
        EXPECT_TRUE(IntIs(pp, StartAt(k), want[k])) << k;
        EXPECT_EQ(want[k], Pos(kStartSlider[k])) << k;
        EXPECT_EQ(std::to_string(want[k]), Text(kStartLabel[k])) << k;
    }
}

// d is taken against the stored 50, not the slider's clamped 120.
TEST_F(AcousticPage, StoredStartBelowTheRangeShiftsLinkedReceiversByTheWholeGap) {
    ASSERT_NO_FATAL_FAILURE(
        Open("[ACOUSTIC PROCESS]\r\nT01R1Start=500\r\nT01R2Start=700\r\nT01R3Start=50\r\nT01R4Start=1000\r\n"));
    EXPECT_EQ(120, Pos(IDC_AP_START3));
    EXPECT_EQ("50", Text(IDC_AP_START3_VALUE));
    for (int id : {IDC_AP_START_LINK1, IDC_AP_START_LINK3, IDC_AP_START_LINK4}) op->Click(kAcoustic, id);
    op->DragSlider(kAcoustic, IDC_AP_START3, {128});
    const ProcessPara pp = Block();
    const int32_t want[4] = {578, 700, 128, 1078};  // receiver 2 is not linked
    for (int k = 0; k < 4; ++k) {
        EXPECT_TRUE(IntIs(pp, StartAt(k), want[k])) << k;
        EXPECT_EQ(want[k], Pos(kStartSlider[k])) << k;
        EXPECT_EQ(std::to_string(want[k]), Text(kStartLabel[k])) << k;
    }
    Close();
    EXPECT_TRUE(Contains(host.ReadIni(), "T01R1Start=578\r\nT01R2Start=700\r\nT01R3Start=128\r\nT01R4Start=1078\r\n"));
}

// A shift needs two linked receivers of the same kind, and the boxes can be
// cleared again.
TEST_F(AcousticPage, LinksOnOneReceiverShiftNothing) {
    ASSERT_NO_FATAL_FAILURE(Open());
    struct Step {
        int click;  // 0: none
        int slider;
        int to;
        int32_t starts[4];
        int mins[4];
    } steps[] = {
        {0, IDC_AP_START1, 200, {200, 160, 160, 160}, {3, 3, 3, 3}},
        {IDC_AP_START_LINK1, IDC_AP_START1, 240, {240, 160, 160, 160}, {3, 3, 3, 3}},
        {IDC_AP_START_LINK2, IDC_AP_START1, 320, {320, 240, 160, 160}, {3, 3, 3, 3}},
        {IDC_AP_START_LINK2, IDC_AP_START1, 400, {400, 240, 160, 160}, {3, 3, 3, 3}},  // cleared again
        {IDC_AP_MIN_LINK1, IDC_AP_MIN1, 8, {400, 240, 160, 160}, {8, 3, 3, 3}},        // start links do not count
    };
    for (const Step& s : steps) {
        if (s.click) op->Click(kAcoustic, s.click);
        op->DragSlider(kAcoustic, s.slider, {s.to});
        const ProcessPara pp = Block();
        for (int k = 0; k < 4; ++k) {
            EXPECT_TRUE(IntIs(pp, StartAt(k), s.starts[k])) << s.to << " receiver " << k;
            EXPECT_EQ(s.starts[k], Pos(kStartSlider[k])) << s.to << " receiver " << k;
            EXPECT_TRUE(FloatIs(pp, MinAt(k), static_cast<float>(s.mins[k] / 10.0))) << s.to << " receiver " << k;
            EXPECT_EQ(s.mins[k], Pos(kMinSlider[k])) << s.to << " receiver " << k;
        }
    }
    EXPECT_FALSE(op->Checked(kAcoustic, IDC_AP_START_LINK2));
}

// Threshold minimums of 0.0 beside sliders that cannot go below 1: a click
// on the thumb sets the value to 0.1 and shifts the linked one by a step.
TEST_F(AcousticPage, ThumbClickOnZeroMinimumShiftsTheLinkedOne) {
    ASSERT_NO_FATAL_FAILURE(Open("[ACOUSTIC PROCESS]\r\nDtMin=40\r\n"));
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(1, Pos(kMinSlider[k])) << k;
        EXPECT_EQ("0.00", Text(kMinLabel[k])) << k;
    }
    op->Click(kAcoustic, IDC_AP_MIN_LINK1);
    op->Click(kAcoustic, IDC_AP_MIN_LINK2);
    op->ClickSliderThumb(kAcoustic, IDC_AP_MIN1);
    const ProcessPara pp = Block();
    struct Want {
        int pos;
        const char* text;
        float value;
    } want[4] = {
        {1, "0.1", 0.1f},
        {2, "0.2", 0.2f},
        {1, "0.00", 0.0f},
        {1, "0.00", 0.0f},
    };
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(want[k].pos, Pos(kMinSlider[k])) << k;
        EXPECT_EQ(want[k].text, Text(kMinLabel[k])) << k;
        EXPECT_TRUE(FloatIs(pp, MinAt(k), want[k].value)) << k;
    }
}

// A stored 0.7f starts at 7, so moving to 7 is no move for the linked ones.
TEST_F(AcousticPage, RoundedStartPositionShiftsNothingWhenMovedToItself) {
    ASSERT_NO_FATAL_FAILURE(Open("[ACOUSTIC PROCESS]\r\nThresholdMin1=0.7\r\nThresholdMin2=3.0\r\n"));
    ASSERT_EQ(7, Pos(IDC_AP_MIN1));
    EXPECT_EQ("0.70", Text(IDC_AP_MIN1_VALUE));
    op->Click(kAcoustic, IDC_AP_MIN_LINK1);
    op->Click(kAcoustic, IDC_AP_MIN_LINK2);
    op->DragSlider(kAcoustic, IDC_AP_MIN1, {7});
    const ProcessPara pp = Block();
    EXPECT_TRUE(FloatIs(pp, MinAt(0), 0.7f));
    EXPECT_TRUE(FloatIs(pp, MinAt(1), 3.0f));
    EXPECT_EQ(30, Pos(IDC_AP_MIN2));
    EXPECT_EQ("0.7", Text(IDC_AP_MIN1_VALUE));
}

// A linked minimum whose target leaves 1..100 stays where it is, as the
// start offsets do beyond 120..2000.
TEST_F(AcousticPage, LinkedMinimumSkipsATargetOutsideTheSlider) {
    ASSERT_NO_FATAL_FAILURE(Open(
        "[ACOUSTIC PROCESS]\r\nThresholdMin1=1.0\r\nThresholdMin2=9.6\r\nThresholdMin3=0.5\r\nThresholdMin4=5.0\r\n"));
    for (int id : {IDC_AP_MIN_LINK1, IDC_AP_MIN_LINK2, IDC_AP_MIN_LINK3}) op->Click(kAcoustic, id);
    struct Step {
        int to;
        int pos[4];
        float value[4];
        const char* text[4];
    } steps[] = {
        // d = +5: receiver 2 would reach 101. The drag's later notices find
        // d = 0 and rewrite it in place, hence its label's one decimal.
        {15, {15, 96, 10, 50}, {1.5f, 9.6f, 1.0f, 5.0f}, {"1.5", "9.6", "1.0", "5.00"}},
        // d = -14: receiver 3 would reach -4
        {1, {1, 82, 10, 50}, {0.1f, 8.2f, 1.0f, 5.0f}, {"0.1", "8.2", "1.0", "5.00"}},
    };
    for (const Step& s : steps) {
        op->DragSlider(kAcoustic, IDC_AP_MIN1, {s.to});
        const ProcessPara pp = Block();
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(s.pos[k], Pos(kMinSlider[k])) << s.to << " receiver " << k;
            EXPECT_TRUE(FloatIs(pp, MinAt(k), s.value[k])) << s.to << " receiver " << k;
            EXPECT_EQ(s.text[k], Text(kMinLabel[k])) << s.to << " receiver " << k;
        }
    }
    Close();
    EXPECT_TRUE(Contains(host.ReadIni(),
                         "ThresholdMin1=0.1\r\nThresholdMin2=8.2\r\nThresholdMin3=1.0\r\nThresholdMin4=5.0\r\n"));
}

}  // namespace
