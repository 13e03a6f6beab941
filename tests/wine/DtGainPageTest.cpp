// The "DT Gain Control" page driven like an operator through the real DLL:
// gain entries and arrows, auto gain, the window sliders and the shared
// block, Download, read-back and the command sent on opening.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostHarness.h"
#include "Operator.h"
#include "resource.h"
#include "TestSupport.h"

using namespace kelvane;
using harness::HostHarness;
using harness::IniValue;
using harness::kDtGain;
using harness::Operator;

using namespace kelvane::testsupport;

namespace {

using Cmd = harness::CodeValue;

const int kGainEdits[5] = {IDC_DT_CH1, IDC_DT_CH2, IDC_DT_CH3, IDC_DT_CH4, IDC_DT_ALL};
const int kArrows[5] = {IDC_DT_SPIN_CH1, IDC_DT_SPIN_CH2, IDC_DT_SPIN_CH3, IDC_DT_SPIN_CH4, IDC_DT_SPIN_ALL};
const int kSliders[3] = {IDC_DT_START_TIME, IDC_DT_WIN_LENGTH, IDC_DT_OFFSET};

struct DtGainPage : ::testing::Test {
    HostHarness host;
    std::vector<Cmd> opening;  // what opening the window sent

    void SetUp() override { host.PrepareWorkFolder(TestFolder()); }

    Operator Open(const std::string& ini = std::string()) { return harness::OpenOnPage(host, kDtGain, ini, &opening); }
    // The commands sent since the last look, then forgets them.
    std::vector<Cmd> Sent() { return harness::TakeCommands(host); }
    std::vector<Cmd> Download(Operator& op) {
        op.Click(kDtGain, IDC_DT_DOWNLOAD_ALL);
        return Sent();
    }
    ToolControlPara Block() const {
        ToolControlPara tc{};
        EXPECT_TRUE(host.ReadToolControl(&tc));
        return tc;
    }
    std::string SavedDt(const char* key) {
        host.Unload();
        return IniValue(host.ReadIni(), "DT GAIN CONTROL", key);
    }
};

std::vector<Cmd> GainCommands(const int32_t (&g)[4]) {
    return {{CMD_DT_CH1_GAIN, g[0]}, {CMD_DT_CH2_GAIN, g[1]}, {CMD_DT_CH3_GAIN, g[2]}, {CMD_DT_CH4_GAIN, g[3]}};
}

// A whole number is limited and cut to the step; other text is refused, the
// box showing the gain in force (0 here), and nothing goes out.
TEST_F(DtGainPage, TypedGainsAreLimitedAndCutToTheStep) {
    struct Case {
        const char* typed;
        const char* shown;
        bool sent;
    };
    struct Step {
        int step;
        Case ch[4];
    } steps[] = {
        {3, {{"100", "78", true}, {"-31", "-30", true}, {"-4", "-3", true}, {"1e10", "0", false}}},
        {1, {{"-31", "-31", true}, {"95", "80", true}, {"12.9", "0", false}, {"-100", "-31", true}}},
        {2, {{"79", "78", true}, {"-31", "-30", true}, {"-3", "-2", true}, {"abc", "0", false}}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        NextCase(host, "step" + std::to_string(s.step));
        Operator op = Open("[GENERAL CONTROL]\r\nGain Step=" + std::to_string(s.step) +
                           "\r\n[DT GAIN CONTROL]\r\nIsAuto=0\r\n");
        int32_t want[4];
        for (int ch = 0; ch < 4; ++ch) {
            op.TypeAndEnter(kDtGain, kGainEdits[ch], s.ch[ch].typed);
            want[ch] = std::stoi(s.ch[ch].shown);
            EXPECT_EQ(s.ch[ch].shown, op.Text(kDtGain, kGainEdits[ch])) << s.ch[ch].typed;
            EXPECT_EQ(s.ch[ch].sent ? std::vector<Cmd>({{CMD_DT_CH1_GAIN + ch, want[ch]}}) : std::vector<Cmd>(), Sent())
                << s.ch[ch].typed;
        }
        // Download sends the parameters: the entries were stored.
        const std::vector<Cmd> sent = Download(op);
        ASSERT_EQ(6u, sent.size());
        EXPECT_EQ(GainCommands(want), std::vector<Cmd>(sent.begin(), sent.begin() + 4));
    }
}

// A gain typed but not entered goes out with Download as its box shows it,
// once; ALL typed beside it gives the other channels its value.
TEST_F(DtGainPage, TypedButNotEnteredGoesOutWithDownload) {
    Operator op = Open("[GENERAL CONTROL]\r\nGain Step=3\r\n[DT GAIN CONTROL]\r\nIsAuto=0\r\n");
    harness::TypeChars(op.Control(kDtGain, IDC_DT_ALL), "20");
    harness::TypeChars(op.Control(kDtGain, IDC_DT_CH2), "51");
    const std::vector<Cmd> sent = Download(op);
    ASSERT_EQ(6u, sent.size()) << "no setting twice, no ALL command";
    EXPECT_EQ(GainCommands({18, 51, 18, 18}), std::vector<Cmd>(sent.begin(), sent.begin() + 4));
    EXPECT_EQ("51", op.Text(kDtGain, IDC_DT_CH2));
    EXPECT_EQ("18", op.Text(kDtGain, IDC_DT_CH1));
    EXPECT_EQ("18", op.Text(kDtGain, IDC_DT_ALL));
    EXPECT_TRUE(Download(op) == sent) << "nothing left uncommitted";
    EXPECT_EQ("51", SavedDt("Ch2Gain"));
}

// The General page's step applies from the next entry on.
TEST_F(DtGainPage, GainStepChosenOnTheGeneralPageAppliesAtOnce) {
    Operator op = Open("[GENERAL CONTROL]\r\nGain Step=3\r\n[DT GAIN CONTROL]\r\nIsAuto=0\r\n");
    struct Case {
        int radio;
        const char* typed;
        const char* shown;
    } cases[] = {
        {IDC_GEN_STEP1, "-31", "-31"},
        {IDC_GEN_STEP2, "79", "78"},
        {IDC_GEN_STEP3, "-31", "-30"},
    };
    for (const auto& c : cases) {
        op.ClickPageItem(harness::kGeneral);
        op.Click(harness::kGeneral, c.radio);
        op.ClickPageItem(kDtGain);
        Sent();
        op.TypeAndEnter(kDtGain, IDC_DT_CH1, c.typed);
        EXPECT_EQ(c.shown, op.Text(kDtGain, IDC_DT_CH1)) << c.radio;
        EXPECT_EQ(std::vector<Cmd>({{CMD_DT_CH1_GAIN, std::stoi(c.shown)}}), Sent()) << c.radio;
    }
}

TEST_F(DtGainPage, EnterReachesTheEditThroughTheMessageLoop) {
    Operator op = Open("[GENERAL CONTROL]\r\nGain Step=3\r\n[DT GAIN CONTROL]\r\nIsAuto=0\r\n");
    op.TypeAndEnterViaLoop(kDtGain, IDC_DT_CH3, "31");
    EXPECT_EQ("30", op.Text(kDtGain, IDC_DT_CH3));
    EXPECT_EQ(std::vector<Cmd>({{CMD_DT_CH3_GAIN, 30}}), Sent());
    EXPECT_EQ(kDtGain, op.ShownPage()) << "Enter must not close or switch the page";
}

TEST_F(DtGainPage, AllEntrySetsTheFourChannelsButNotAllGain) {
    Operator op = Open("[GENERAL CONTROL]\r\nGain Step=3\r\n[DT GAIN CONTROL]\r\nIsAuto=0\r\nAllGain=12\r\n");
    EXPECT_EQ("12", op.Text(kDtGain, IDC_DT_ALL));
    op.TypeAndEnter(kDtGain, IDC_DT_ALL, "20");
    for (int id : kGainEdits) EXPECT_EQ("18", op.Text(kDtGain, id)) << id;
    EXPECT_EQ(std::vector<Cmd>({{CMD_DT_ALL_GAIN, 18}}), Sent());
    const std::vector<Cmd> sent = Download(op);
    ASSERT_EQ(6u, sent.size());
    EXPECT_EQ(GainCommands({18, 18, 18, 18}), std::vector<Cmd>(sent.begin(), sent.begin() + 4));

    // A new window shows the parameters: the channels took 18, "AllGain" kept 12.
    SendMessageA(op.Frame(), WM_CLOSE, 0, 0);
    Operator again = Open();
    EXPECT_EQ("18", again.Text(kDtGain, IDC_DT_CH4));
    EXPECT_EQ("12", again.Text(kDtGain, IDC_DT_ALL));
}

TEST_F(DtGainPage, AllArrowsMoveEachChannelFromItsOwnGain) {
    Operator op = Open(
        "[GENERAL CONTROL]\r\nGain Step=3\r\n[DT GAIN CONTROL]\r\nIsAuto=0\r\n"
        "Ch1Gain=79\r\nCh2Gain=10\r\nCh3Gain=-31\r\nCh4Gain=0\r\nAllGain=5\r\n");
    struct Case {
        bool up;
        int32_t want[4];
    } cases[] = {
        {true, {80, 13, -28, 3}},  // not cut to the step; 79 stops at 80
        {false, {77, 10, -31, 0}},
        {false, {74, 7, -31, -3}},  // -31 holds while the others move on
    };
    for (const auto& c : cases) {
        op.Arrow(kDtGain, IDC_DT_SPIN_ALL, c.up);
        for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(std::to_string(c.want[ch]), op.Text(kDtGain, kGainEdits[ch]));
        EXPECT_EQ("5", op.Text(kDtGain, IDC_DT_ALL));
        EXPECT_EQ(GainCommands(c.want), Sent()) << (c.up ? "upper" : "lower");
    }
}

// Stepping past one end passes through an empty edit to the other end.
TEST_F(DtGainPage, ChannelArrowsCycleThroughAnEmptyEdit) {
    Operator op = Open(
        "[GENERAL CONTROL]\r\nGain Step=3\r\n[DT GAIN CONTROL]\r\nIsAuto=0\r\n"
        "Ch1Gain=-30\r\nCh3Gain=78\r\n");
    op.SetText(kDtGain, IDC_DT_CH2, "");
    struct Case {
        int ch;
        bool up;
        const char* text;
        int32_t value;
    } cases[] = {
        {0, false, "", -30},                          // no step below -31: cleared, gain kept
        {0, false, "80", 80},  {0, false, "75", 75},  // 80 is cut to 78 before the step
        {1, true, "-31", -31},                        // empty: the far end, not cut to the step
        {1, true, "-27", -27}, {2, true, "", 78},    {2, true, "-31", -31},
    };
    for (const auto& c : cases) {
        op.Arrow(kDtGain, kArrows[c.ch], c.up);
        EXPECT_EQ(c.text, op.Text(kDtGain, kGainEdits[c.ch])) << "CH" << c.ch + 1;
        EXPECT_EQ(std::vector<Cmd>({{CMD_DT_CH1_GAIN + c.ch, c.value}}), Sent()) << "CH" << c.ch + 1;
    }
    const std::vector<Cmd> sent = Download(op);
    ASSERT_EQ(6u, sent.size());
    EXPECT_EQ(GainCommands({75, -27, -31, 0}), std::vector<Cmd>(sent.begin(), sent.begin() + 4));
}

// Nothing outside -31..80 dB leaves the page: a number typed without Enter
// steps from its limit, and a gain the file held goes out limited; the box,
// the parameter and the file take the value sent.
TEST_F(DtGainPage, GainsOutsideTheRangeGoOutLimited) {
    Operator op = Open(
        "[GENERAL CONTROL]\r\nGain Step=3\r\n[DT GAIN CONTROL]\r\nIsAuto=0\r\n"
        "Ch1Gain=500\r\nCh2Gain=-100\r\n");
    EXPECT_EQ("500", op.Text(kDtGain, IDC_DT_CH1)) << "loaded values are shown as they are";
    struct Case {
        int ch;
        const char* typed;
        bool up;
        const char* text;
        int32_t value;
    } cases[] = {
        {2, "99999", false, "75", 75},
        {2, "99999", true, "78", 78},
        {3, "-500", true, "-27", -27},
        {3, "81", true, "78", 78},
    };
    for (const auto& c : cases) {
        op.SetText(kDtGain, kGainEdits[c.ch], c.typed);
        op.Arrow(kDtGain, kArrows[c.ch], c.up);
        EXPECT_EQ(c.text, op.Text(kDtGain, kGainEdits[c.ch])) << c.typed;
        EXPECT_EQ(std::vector<Cmd>({{CMD_DT_CH1_GAIN + c.ch, c.value}}), Sent()) << c.typed;
    }
    const std::vector<Cmd> sent = Download(op);
    ASSERT_EQ(6u, sent.size());
    EXPECT_EQ(GainCommands({80, -31, 78, 78}), std::vector<Cmd>(sent.begin(), sent.begin() + 4));
    EXPECT_EQ("80", op.Text(kDtGain, IDC_DT_CH1));
    EXPECT_EQ("-31", op.Text(kDtGain, IDC_DT_CH2));
    EXPECT_EQ("-31 to 80 dB in steps of 3 dB; 500 dB is outside the range; 80 dB was sent",
              harness::TipText(op.Control(kDtGain, IDC_DT_CH1)));
    EXPECT_EQ("80", SavedDt("Ch1Gain"));
    EXPECT_EQ("-31", IniValue(host.ReadIni(), "DT GAIN CONTROL", "Ch2Gain"));
}

TEST_F(DtGainPage, AutoGainSwapsTheGainEntriesForTheSliders) {
    Operator op = Open();  // no INI: auto gain on
    struct Case {
        int radio;
        bool on;
    } cases[] = {
        {0, true},
        {IDC_DT_AUTO_OFF, false},
        {IDC_DT_AUTO_OFF, false},
        {IDC_DT_AUTO_ON, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.radio);
        if (c.radio) {
            op.Click(kDtGain, c.radio);
            EXPECT_EQ(std::vector<Cmd>({{CMD_DT_AUTO_GAIN, c.on ? VALUE_ON : VALUE_OFF}}), Sent());
        }
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(!c.on, op.Enabled(kDtGain, kGainEdits[i])) << kGainEdits[i];
            EXPECT_EQ(!c.on, op.Enabled(kDtGain, kArrows[i])) << kArrows[i];
        }
        for (int id : kSliders) EXPECT_EQ(c.on, op.Enabled(kDtGain, id)) << id;
        for (int id : {IDC_DT_READBACK1, IDC_DT_FILTER, IDC_DT_DOWNLOAD_ALL}) EXPECT_TRUE(op.Enabled(kDtGain, id));
        EXPECT_EQ(c.on, op.Checked(kDtGain, IDC_DT_AUTO_ON));
    }
    EXPECT_EQ("1", SavedDt("IsAuto"));
}

TEST_F(DtGainPage, OpeningSendsTheAutoGainStateOnly) {
    struct Case {
        const char* isAuto;
        int32_t value;
        int radio;
        const char* saved;
    } cases[] = {
        {"2", VALUE_ON, IDC_DT_AUTO_ON, "1"},
        {"1", VALUE_ON, IDC_DT_AUTO_ON, "1"},
        {"0", VALUE_OFF, IDC_DT_AUTO_OFF, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.isAuto);
        NextCase(host, std::string("isauto") + c.isAuto);
        Operator op = Open(std::string("[DT GAIN CONTROL]\r\nIsAuto=") + c.isAuto + "\r\n");
        EXPECT_EQ(std::vector<Cmd>({{CMD_DT_AUTO_GAIN, c.value}}), opening);
        EXPECT_TRUE(op.Checked(kDtGain, c.radio));
        EXPECT_EQ(c.saved, SavedDt("IsAuto"));
    }
}

TEST_F(DtGainPage, StartTimeDragSendsTheWindowOnRelease) {
    Operator op = Open(
        "[DT GAIN CONTROL]\r\nIsAuto=1\r\nFirstStartTime=80\r\nFirstWinLength=600\r\n"
        "Total Offset=24\r\n");
    for (int pos : {200, 400}) {
        op.TrackSlider(kDtGain, IDC_DT_START_TIME, pos);
        EXPECT_EQ(std::to_string(pos), op.Text(kDtGain, IDC_DT_START_TIME_VALUE));
        const ToolControlPara tc = Block();
        EXPECT_EQ(pos, tc.DtWinStart[0]);
        EXPECT_EQ(pos + 3 * 24, tc.DtWinStart[3]);
        EXPECT_EQ(pos + 600, tc.DtWinEnd[0]);
        EXPECT_TRUE(Sent().empty()) << "no command while the thumb moves";
    }
    op.SliderNotify(kDtGain, IDC_DT_START_TIME, TB_THUMBPOSITION);
    EXPECT_TRUE(Sent().empty());
    op.SliderNotify(kDtGain, IDC_DT_START_TIME, TB_ENDTRACK);
    EXPECT_EQ(std::vector<Cmd>({{CMD_DT_WIN_START, 400}, {CMD_DT_WIN_END, 1000}}), Sent());
    EXPECT_EQ("400", op.Text(kDtGain, IDC_DT_START_TIME_VALUE));
    EXPECT_EQ("400", SavedDt("FirstStartTime"));
}

// The shared block is rewritten from the page's S, L, O on every notice, so
// what the host scribbled there is gone after any move.
TEST_F(DtGainPage, EverySliderMoveRewritesTheEightWindowWords) {
    Operator op = Open(
        "[DT GAIN CONTROL]\r\nIsAuto=1\r\nFirstStartTime=100\r\nFirstWinLength=300\r\n"
        "Total Offset=20\r\n");
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, TOOL_CONTROL_BLOCK_NAME);
    ASSERT_NE(nullptr, mapping);
    auto* view = static_cast<ToolControlPara*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(nullptr, view);
    struct Case {
        int slider;
        bool right;
        int32_t starts[4], ends[4];
        std::vector<Cmd> sent;
    } cases[] = {
        {IDC_DT_WIN_LENGTH, true, {100, 120, 140, 160}, {408, 428, 448, 468}, {{CMD_DT_WIN_END, 408}}},
        {IDC_DT_WIN_LENGTH, false, {100, 120, 140, 160}, {400, 420, 440, 460}, {{CMD_DT_WIN_END, 400}}},
        {IDC_DT_OFFSET, true, {100, 121, 142, 163}, {400, 421, 442, 463}, {{CMD_DT_TOTAL_OFFSET, 21}}},
        {IDC_DT_START_TIME,
         true,
         {108, 129, 150, 171},
         {408, 429, 450, 471},
         {{CMD_DT_WIN_START, 108}, {CMD_DT_WIN_END, 408}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slider);
        for (int k = 0; k < 4; ++k) view->DtWinStart[k] = view->DtWinEnd[k] = -1;
        op.SliderKey(kDtGain, c.slider, c.right);
        const ToolControlPara tc = Block();
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(c.starts[k], tc.DtWinStart[k]) << k;
            EXPECT_EQ(c.ends[k], tc.DtWinEnd[k]) << k;
        }
        EXPECT_EQ(c.sent, Sent());
    }
    UnmapViewOfFile(view);
    CloseHandle(mapping);
}

// A start time below the slider's range rests the thumb at 80; the file keeps
// 50 until the StartTime slider itself moves, while the label, the block and
// the window end sent show and count from the 80 the tool can take.
TEST_F(DtGainPage, LoadedStartTimeBelowTheRangeIsKeptUntilItsSliderMoves) {
    const std::string ini =
        "[DT GAIN CONTROL]\r\nIsAuto=1\r\nFirstStartTime=50\r\nFirstWinLength=300\r\n"
        "Total Offset=20\r\n";
    Operator op = Open(ini);
    EXPECT_EQ(80, op.SliderPos(kDtGain, IDC_DT_START_TIME));
    EXPECT_EQ("80", op.Text(kDtGain, IDC_DT_START_TIME_VALUE));
    EXPECT_EQ(80, Block().DtWinStart[0]);
    op.SliderKey(kDtGain, IDC_DT_WIN_LENGTH, true);
    EXPECT_EQ(std::vector<Cmd>({{CMD_DT_WIN_END, 388}}), Sent());
    const int32_t starts[4] = {80, 100, 120, 140};
    const ToolControlPara tc = Block();
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(starts[k], tc.DtWinStart[k]);
        EXPECT_EQ(starts[k] + 308, tc.DtWinEnd[k]);
    }
    EXPECT_EQ("50", SavedDt("FirstStartTime"));

    op = Open();  // the saved file: 50 again
    op.SliderKey(kDtGain, IDC_DT_START_TIME, true);
    EXPECT_EQ("88", op.Text(kDtGain, IDC_DT_START_TIME_VALUE));
    EXPECT_EQ(88, Block().DtWinStart[0]);
    EXPECT_EQ(std::vector<Cmd>({{CMD_DT_WIN_START, 88}, {CMD_DT_WIN_END, 396}}), Sent());
    EXPECT_EQ("88", SavedDt("FirstStartTime"));
}

// A stored window length past its slider: the end sent is the one the block
// holds, and an end past its own range shortens the length everywhere.
TEST_F(DtGainPage, StoredLengthBeyondItsSliderGivesTheEndTheBlockHolds) {
    struct Case {
        int32_t start, sentStart, sentEnd;
        const char* length;
    } cases[] = {
        {400, 408, 1908, "1500"},
        {1990, 1998, 3200, "1202"},
    };
    int n = 0;
    for (const auto& c : cases) {
        NextCase(host, "c" + std::to_string(n++));
        Operator op = Open("[DT GAIN CONTROL]\r\nIsAuto=1\r\nFirstStartTime=" + std::to_string(c.start) +
                           "\r\nFirstWinLength=1500\r\nTotal Offset=0\r\n");
        op.SliderKey(kDtGain, IDC_DT_START_TIME, true);
        EXPECT_EQ(std::vector<Cmd>({{CMD_DT_WIN_START, c.sentStart}, {CMD_DT_WIN_END, c.sentEnd}}), Sent());
        EXPECT_EQ(c.sentEnd, Block().DtWinEnd[0]);
        EXPECT_EQ(c.sentEnd, Block().DtWinEnd[3]);
        EXPECT_EQ(c.length, op.Text(kDtGain, IDC_DT_WIN_LENGTH_VALUE));
        EXPECT_EQ(c.length, SavedDt("FirstWinLength"));
    }
}

TEST_F(DtGainPage, DownloadSendsGainsFilterAndAutoStateInOrder) {
    Operator op = Open(
        "[GENERAL CONTROL]\r\nGain Step=3\r\n[DT GAIN CONTROL]\r\nIsAuto=0\r\n"
        "Ch1Gain=3\r\nCh2Gain=6\r\nCh3Gain=-9\r\nCh4Gain=12\r\n");
    std::vector<Cmd> want = GainCommands({3, 6, -9, 12});
    want.push_back({CMD_DT_DOWNHOLE_FILTER, VALUE_OFF});
    want.push_back({CMD_DT_AUTO_GAIN, VALUE_OFF});
    EXPECT_EQ(want, Download(op));

    op.Click(kDtGain, IDC_DT_FILTER);
    EXPECT_EQ(std::vector<Cmd>({{CMD_DT_DOWNHOLE_FILTER, VALUE_ON}}), Sent());
    op.Click(kDtGain, IDC_DT_AUTO_ON);
    Sent();
    want[4].value = VALUE_ON;
    want[5].value = VALUE_ON;
    EXPECT_EQ(want, Download(op));
    // Download only sends: the window sliders stay the usable controls.
    EXPECT_TRUE(op.Enabled(kDtGain, IDC_DT_START_TIME));
    EXPECT_FALSE(op.Enabled(kDtGain, IDC_DT_CH1));
}

TEST_F(DtGainPage, ReadBackReachesThePageWhileAnotherIsShown) {
    Operator op = Open();
    op.ClickPageItem(harness::kGeneral);
    std::vector<int16_t> frame(FRAME_MIN_WORDS, 0);
    const int16_t words[4] = {7, -5, 0, 80};
    for (int ch = 0; ch < 4; ++ch) frame[READBACK_DT_WORD + ch] = words[ch];
    host.SetFrame(frame.data());
    host.Process();
    HostHarness::Pump();
    EXPECT_EQ(harness::kGeneral, op.ShownPage());
    const int boxes[4] = {IDC_DT_READBACK1, IDC_DT_READBACK2, IDC_DT_READBACK3, IDC_DT_READBACK4};
    for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(std::to_string(words[ch]), op.Text(kDtGain, boxes[ch]));
}

}  // namespace
