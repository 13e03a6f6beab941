// The twin full-wave pages, "Monopole Control/Full wave" and "Dipole
// Control/Full wave", driven like an operator through the real DLL. Every
// test runs on both pages from one table of their ids and codes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostHarness.h"
#include "Operator.h"
#include "resource.h"
#include "TestSupport.h"
#include "framework/logic/CueColours.h"

using namespace kelvane;
using harness::HostHarness;
using harness::IniValue;
using harness::Operator;

using namespace kelvane::testsupport;

namespace {

using Cmd = harness::CodeValue;

struct WindowCase {
    int interval;
    const char* typed;
    int32_t want;
};

struct FullWave {
    const char* name;
    int page;
    const char* section;
    const char* intervalKey;
    int edits[9];  // CH1#..CH8#, ALL
    int arrows[9];
    int autoOn, autoOff, stack, windowEnd, filter;
    // Codes as the tool knows them, written out so the table pins them.
    int32_t ch1Code, allCode, stackCode, autoCode, windowEndCode, filterCode;
    size_t windowWord;
    int initialStack;    // every start selects this stack item
    bool autoRadioFor2;  // "IsAuto" 2 on opening checks "Auto Gain On"
    WindowCase windows[6];
};

const FullWave kMonopole = {
    "Monopole",
    harness::kMonopole,
    "MONOPOLE CONTROL",
    "Mono SAMPLERATE",
    {IDC_MONO_CH1, IDC_MONO_CH2, IDC_MONO_CH3, IDC_MONO_CH4, IDC_MONO_CH5, IDC_MONO_CH6, IDC_MONO_CH7, IDC_MONO_CH8,
     IDC_MONO_ALL},
    {IDC_MONO_SPIN_CH1, IDC_MONO_SPIN_CH2, IDC_MONO_SPIN_CH3, IDC_MONO_SPIN_CH4, IDC_MONO_SPIN_CH5, IDC_MONO_SPIN_CH6,
     IDC_MONO_SPIN_CH7, IDC_MONO_SPIN_CH8, IDC_MONO_SPIN_ALL},
    IDC_MONO_AUTO_ON,
    IDC_MONO_AUTO_OFF,
    IDC_MONO_STACK,
    IDC_MONO_WIN_END,
    IDC_MONO_FILTER,
    0x8221,
    0x8229,
    0x822A,
    0x822B,
    0x822C,
    0x822D,
    4,
    0,
    false,
    // interval 0: the key is missing; the General page shows 36
    {{24, "50", 80},
     {24, "10000", 8640},
     {24, "2147483647", 8640},
     {0, "20000", 12960},
     {12, "10000", 4320},
     {36, "20000", 12960}},
};

const FullWave kDipole = {
    "Dipole",
    harness::kDipole,
    "DIPOLE CONTROL",
    "Dipole SAMPLERATE",
    {IDC_DIP_CH1, IDC_DIP_CH2, IDC_DIP_CH3, IDC_DIP_CH4, IDC_DIP_CH5, IDC_DIP_CH6, IDC_DIP_CH7, IDC_DIP_CH8,
     IDC_DIP_ALL},
    {IDC_DIP_SPIN_CH1, IDC_DIP_SPIN_CH2, IDC_DIP_SPIN_CH3, IDC_DIP_SPIN_CH4, IDC_DIP_SPIN_CH5, IDC_DIP_SPIN_CH6,
     IDC_DIP_SPIN_CH7, IDC_DIP_SPIN_CH8, IDC_DIP_SPIN_ALL},
    IDC_DIP_AUTO_ON,
    IDC_DIP_AUTO_OFF,
    IDC_DIP_STACK,
    IDC_DIP_WIN_END,
    IDC_DIP_FILTER,
    0x8231,
    0x8239,
    0x823A,
    0x823B,
    0x823D,
    0x823C,  // filter before window end here
    12,
    3,
    true,
    {{36, "100", 240},
     {36, "20000", 12960},
     {36, "2147483647", 12960},
     {0, "100", 240},
     {24, "20000", 8640},
     {48, "20000", 17280}},
};

// General values that pass Download's validation, so Send all goes through.
const char* const kSendableGeneral =
    "Gain Step=3\r\nDT DELAY=80\r\nMono DELAY=80\r\nDipole DELAY=240\r\nMono SAMPLERATE=24\r\nDipole SAMPLERATE=36\r\n";

struct FullWavePage : ::testing::TestWithParam<const FullWave*> {
    HostHarness host;
    const FullWave& P = *GetParam();
    std::vector<Cmd> opening;

    void SetUp() override { host.PrepareWorkFolder(TestFolder()); }

    // ini holds the lines of this page's section (and may add others).
    Operator Open(const std::string& sectionLines = std::string(),
                  const std::string& generalLines = "Gain Step=3\r\n") {
        const std::string ini = "[GENERAL CONTROL]\r\n" + generalLines + "[" + P.section + "]\r\n" + sectionLines;
        return harness::OpenOnPage(host, P.page, ini, &opening);
    }
    std::vector<Cmd> Sent() { return harness::TakeCommands(host); }
    std::string Saved(const std::string& key) const { return IniValue(host.ReadIni(), P.section, key); }
    std::string Text(const Operator& op, int id) const { return op.Text(P.page, id); }
};

// Only a whole number goes out, limited to -31..80 and cut to the step, the
// box saying so; any other text is refused: nothing sent, the box back to the
// gain in force and a note at it that says why.
TEST_P(FullWavePage, TypedGainsFollowTheGainRule) {
    Operator op = Open("Ch3Gain=12\r\n");
    struct Case {
        int ch;
        const char* typed;
        const char* shown;
        bool sent;
        const char* note;
    } cases[] = {
        {2, "abc", "12", false, "Not taken: \"abc\" is not a whole number"},
        {2, "4o", "12", false, "Not taken: \"4o\""},
        {2, "", "12", false, "Not taken: an empty box"},
        {2, "-", "12", false, "Not taken: \"-\""},
        {2, "12.9", "12", false, "Not taken: \"12.9\""},
        {2, "1e10", "12", false, "Not taken: \"1e10\""},
        {2, "100", "78", true, "Sent 78 dB, not 100 dB"},
        {0, "-31", "-30", true, "Sent -30 dB, not -31 dB"},
        {5, "-4", "-3", true, "Sent -3 dB, not -4 dB"},
        {7, " 9 ", "9", true, ""},
        {7, "99999999999", "9", false, "Not taken"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        op.TypeAndEnter(P.page, P.edits[c.ch], c.typed);
        EXPECT_EQ(c.shown, Text(op, P.edits[c.ch]));
        EXPECT_EQ(c.sent ? std::vector<Cmd>({{P.ch1Code + c.ch, std::stoi(c.shown)}}) : std::vector<Cmd>(), Sent());
        const std::string note = NoteAt(op.Control(P.page, P.edits[c.ch]));
        EXPECT_EQ(0u, note.find(c.note)) << note;
        EXPECT_EQ(*c.note == '\0', note.empty()) << note;
    }
    op.TypeAndEnter(P.page, P.edits[2], "x");
    op.ClickPageItem(harness::kGeneral);
    harness::PumpFor(600);
    EXPECT_EQ("", NoteAt(op.Control(P.page, P.edits[2]))) << "the note goes with its page";
    host.Unload();
    EXPECT_EQ("78", Saved("Ch3Gain"));
    EXPECT_EQ("-30", Saved("Ch1Gain"));
    EXPECT_EQ("-3", Saved("Ch6Gain"));
}

// Escape takes typed, unsent text back to the value in force; text set from
// outside the page (WM_SETTEXT, as automation and dictation enter it) counts
// as typed: tinted, and taken by Send all as keys are.
TEST_P(FullWavePage, EscapeAndTextSetFromOutside) {
    Operator op = Open("IsAuto=0\r\nCh1Gain=12\r\nCh2Gain=6\r\n", kSendableGeneral);
    HWND ch1 = op.Control(P.page, P.edits[0]);
    harness::TypeChars(ch1, "45");
    harness::PressViaLoop(ch1, VK_ESCAPE);
    EXPECT_EQ("12", Text(op, P.edits[0]));
    HWND ch2 = op.Control(P.page, P.edits[1]);
    SendMessageA(ch2, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("33"));
    harness::Operator::Pump();
    EXPECT_TRUE(harness::ColoursOf(ch2).back == kelvane::TintColours(harness::CurrentScheme()).back);
    EXPECT_TRUE(Sent().empty());
    op.SendAllSettings();
    const std::vector<Cmd> sent = Sent();
    for (const Cmd& c : sent) {
        if (c.code == P.ch1Code) {
            EXPECT_EQ(12, c.value);
        }
        if (c.code == P.ch1Code + 1) {
            EXPECT_EQ(33, c.value);
        }
    }
    host.Unload();
    EXPECT_EQ("12", Saved("Ch1Gain"));
    EXPECT_EQ("33", Saved("Ch2Gain"));
}

TEST_P(FullWavePage, AllEntrySetsAllNineGains) {
    Operator op = Open("AllGain=5\r\n");
    EXPECT_EQ("5", Text(op, P.edits[8]));
    op.TypeAndEnter(P.page, P.edits[8], "20");
    for (int id : P.edits) EXPECT_EQ("18", Text(op, id)) << id;
    EXPECT_EQ(std::vector<Cmd>({{P.allCode, 18}}), Sent());
    if (P.page == harness::kMonopole) {
        op.Click(P.page, IDC_MONO_DOWNLOAD_ALL);
        const std::vector<Cmd> sent = Sent();
        ASSERT_EQ(11u, sent.size());
        for (int ch = 0; ch < 8; ++ch) EXPECT_EQ((Cmd{P.ch1Code + ch, 18}), sent[ch]);
    }
    host.Unload();
    for (const char* key :
         {"Ch1Gain", "Ch2Gain", "Ch3Gain", "Ch4Gain", "Ch5Gain", "Ch6Gain", "Ch7Gain", "Ch8Gain", "AllGain"})
        EXPECT_EQ("18", Saved(key)) << key;
}

TEST_P(FullWavePage, ChannelArrowsCycleThroughAnEmptyEdit) {
    Operator op = Open("Ch1Gain=-30\r\nCh3Gain=78\r\n");
    op.SetText(P.page, P.edits[1], "");
    struct Case {
        int ch;
        bool up;
        const char* text;
        int32_t value;
    } cases[] = {
        {0, false, "", -30},   {0, false, "80", 80}, {0, false, "75", 75},  {1, true, "-31", -31},
        {1, true, "-27", -27}, {2, true, "", 78},    {2, true, "-31", -31},
    };
    for (const auto& c : cases) {
        op.Arrow(P.page, P.arrows[c.ch], c.up);
        EXPECT_EQ(c.text, Text(op, P.edits[c.ch])) << "CH" << c.ch + 1;
        EXPECT_EQ(std::vector<Cmd>({{P.ch1Code + c.ch, c.value}}), Sent()) << "CH" << c.ch + 1;
    }
    host.Unload();
    EXPECT_EQ("75", Saved("Ch1Gain"));
    EXPECT_EQ("-27", Saved("Ch2Gain"));
}

// Nothing outside -31..80 dB leaves the page: a number typed without Enter
// steps from its limit (channels and ALL), and Download sends a gain the
// file held limited; the box, the parameter and the file take the value sent.
TEST_P(FullWavePage, GainsOutsideTheRangeGoOutLimited) {
    Operator op = Open("Ch1Gain=500\r\nCh2Gain=-100\r\n");
    struct Case {
        int index;
        const char* typed;
        bool up;
        const char* text;
        int32_t code, value;
    } cases[] = {
        {2, "99999", false, "75", P.ch1Code + 2, 75},
        {3, "81", true, "78", P.ch1Code + 3, 78},
        {8, "-500", true, "-27", P.allCode, -27},  // last: ALL sets every channel
    };
    for (const auto& c : cases) {
        if (c.index == 8 && P.page == harness::kMonopole) {
            op.Click(P.page, IDC_MONO_DOWNLOAD_ALL);
            const std::vector<Cmd> sent = Sent();
            ASSERT_EQ(11u, sent.size());
            EXPECT_EQ((Cmd{P.ch1Code, 80}), sent[0]);
            EXPECT_EQ((Cmd{P.ch1Code + 1, -31}), sent[1]);
            EXPECT_EQ("80", Text(op, P.edits[0]));
            EXPECT_EQ("-31", Text(op, P.edits[1]));
        }
        op.SetText(P.page, P.edits[c.index], c.typed);
        op.Arrow(P.page, P.arrows[c.index], c.up);
        EXPECT_EQ(c.text, Text(op, P.edits[c.index])) << c.typed;
        EXPECT_EQ(std::vector<Cmd>({{c.code, c.value}}), Sent()) << c.typed;
    }
    host.Unload();
    EXPECT_EQ("-27", Saved("Ch1Gain"));
    EXPECT_EQ("-27", Saved("AllGain"));
}

// ALL steps from its own text and hands the new text, empty included, to
// every channel; all nine gains take the value.
TEST_P(FullWavePage, AllArrowsSetAllNineGains) {
    Operator op = Open("AllGain=78\r\nCh4Gain=-20\r\n");
    struct Case {
        bool up;
        const char* text;
        int32_t value;
    } cases[] = {
        {true, "", 78}, {true, "-31", -31}, {true, "-27", -27}, {false, "-30", -30}, {false, "", -30},
    };
    for (const auto& c : cases) {
        op.Arrow(P.page, P.arrows[8], c.up);
        for (int id : P.edits) EXPECT_EQ(c.text, Text(op, id)) << id;
        EXPECT_EQ(std::vector<Cmd>({{P.allCode, c.value}}), Sent());
    }
    host.Unload();
    EXPECT_EQ("-30", Saved("AllGain"));
    EXPECT_EQ("-30", Saved("Ch4Gain"));
}

TEST_P(FullWavePage, WindowEndIsLimitedByTheSampleInterval) {
    int interval = 0;
    Operator op(nullptr);
    for (const WindowCase& c : P.windows) {
        SCOPED_TRACE(std::to_string(c.interval) + " " + c.typed);
        if (c.interval != interval) {
            interval = c.interval;
            NextCase(host, "i" + std::to_string(interval));
            op = Open("", std::string("Gain Step=3\r\n") + P.intervalKey + "=" + std::to_string(interval) + "\r\n");
        }
        op.TypeAndEnter(P.page, P.windowEnd, c.typed);
        EXPECT_EQ(std::to_string(c.want), Text(op, P.windowEnd));
        EXPECT_EQ(std::vector<Cmd>({{P.windowEndCode, c.want}}), Sent());
        int32_t words[12] = {};
        ASSERT_TRUE(harness::ReadBlock(TOOL_CONTROL_BLOCK_NAME, words, sizeof words));
        EXPECT_EQ(c.want, words[P.windowWord / 4]);
    }
    // Not a whole number: nothing sent, the end in force stays and is shown.
    op.TypeAndEnter(P.page, P.windowEnd, "1e10");
    EXPECT_EQ(std::to_string(P.windows[5].want), Text(op, P.windowEnd));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(0u, NoteAt(op.Control(P.page, P.windowEnd)).find("Not taken: \"1e10\""));
    host.Unload();
    EXPECT_EQ(std::to_string(P.windows[5].want), Saved("WindowsEnd"));
}

TEST_P(FullWavePage, StackValueSelectionIsStoredAndSent) {
    Operator op = Open("StackValue=2\r\n");  // every start selects the same item
    EXPECT_EQ(std::vector<std::string>({"1", "2", "3", "4"}), op.ComboItems(P.page, P.stack));
    EXPECT_EQ(P.initialStack, op.ComboSel(P.page, P.stack));
    for (int index : {2, 0}) {
        op.SelectCombo(P.page, P.stack, index);
        EXPECT_EQ(std::vector<Cmd>({{P.stackCode, index + 1}}), Sent());
    }
    // The closed list: arrow keys move the shown choice only; Enter or the
    // focus leaving sends the choice, once.
    HWND list = op.Control(P.page, P.stack);
    SetFocus(list);
    harness::PressViaLoop(list, VK_DOWN, false, false, 2);
    EXPECT_EQ(2, op.ComboSel(P.page, P.stack));
    EXPECT_TRUE(Sent().empty()) << "a move is not a choice";
    harness::PressViaLoop(list, VK_RETURN);
    EXPECT_EQ(std::vector<Cmd>({{P.stackCode, 3}}), Sent());
    harness::PressViaLoop(list, VK_RETURN);
    EXPECT_TRUE(Sent().empty()) << "the stack in force again";
    harness::PressViaLoop(list, VK_UP);
    EXPECT_TRUE(Sent().empty());
    SetFocus(op.Control(P.page, P.edits[0]));
    harness::Operator::Pump();
    EXPECT_EQ(std::vector<Cmd>({{P.stackCode, 2}}), Sent());
    host.Unload();
    EXPECT_EQ("2", Saved("StackValue"));
}

// Auto and manual gain are independent here: nothing is ever disabled.
TEST_P(FullWavePage, AutoGainRadiosAndFilterSendTheirCodes) {
    Operator op = Open("IsAuto=1\r\n");
    struct Case {
        int id;
        std::vector<Cmd> sent;
    } cases[] = {
        {P.autoOff, {{P.autoCode, VALUE_OFF}}},  {P.autoOff, {{P.autoCode, VALUE_OFF}}},
        {P.autoOn, {{P.autoCode, VALUE_ON}}},    {P.filter, {{P.filterCode, VALUE_ON}}},
        {P.filter, {{P.filterCode, VALUE_OFF}}}, {P.autoOff, {{P.autoCode, VALUE_OFF}}},
    };
    for (const auto& c : cases) {
        op.Click(P.page, c.id);
        EXPECT_EQ(c.sent, Sent()) << c.id;
        for (int i = 0; i < 9; ++i) {
            EXPECT_TRUE(op.Enabled(P.page, P.edits[i]));
            EXPECT_TRUE(op.Enabled(P.page, P.arrows[i]));
        }
    }
    host.Unload();
    EXPECT_EQ("0", Saved("IsAuto"));
}

TEST_P(FullWavePage, OpeningShowsTheParametersAndSendsNothing) {
    struct Case {
        const char* isAuto;
        bool on, off;
    } cases[] = {
        {"0", false, true},
        {"1", true, false},
        {"2", P.autoRadioFor2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.isAuto);
        NextCase(host, std::string("a") + c.isAuto);
        Operator op = Open(std::string("IsAuto=") + c.isAuto +
                           "\r\nCh1Gain=6\r\nCh2Gain=-7\r\nCh8Gain=100\r\nAllGain=9\r\nWindowsEnd=5000\r\n");
        EXPECT_EQ(P.page, op.ShownPage());
        for (const Cmd& cmd : opening) EXPECT_EQ(CMD_DT_AUTO_GAIN, cmd.code) << "only the DT page sends";
        EXPECT_EQ(c.on, op.Checked(P.page, P.autoOn));
        EXPECT_EQ(c.off, op.Checked(P.page, P.autoOff));
        EXPECT_EQ("6", Text(op, P.edits[0]));
        EXPECT_EQ("-7", Text(op, P.edits[1]));
        EXPECT_EQ("100", Text(op, P.edits[7])) << "loaded values are shown as they are";
        EXPECT_EQ("9", Text(op, P.edits[8]));
        // Every start begins with the window end the shared block publishes.
        EXPECT_EQ(P.page == harness::kMonopole ? "2960" : "8880", Text(op, P.windowEnd));
        EXPECT_FALSE(op.Checked(P.page, P.filter));
    }
}

TEST_P(FullWavePage, ReadBackReachesThePageWhileAnotherIsShown) {
    Operator op = Open();
    op.ClickPageItem(harness::kGeneral);
    std::vector<int16_t> frame(FRAME_MIN_WORDS, 0);
    const int first = P.page == harness::kMonopole ? READBACK_MONO_WORD : READBACK_DIPOLE_WORD;
    for (int ch = 0; ch < 8; ++ch) frame[first + ch] = static_cast<int16_t>(ch * 11 - 31);
    frame[first + 3] = -5;
    host.SetFrame(frame.data());
    host.Process();
    HostHarness::Pump();
    EXPECT_EQ(harness::kGeneral, op.ShownPage());
    for (int ch = 0; ch < 8; ++ch) EXPECT_EQ(std::to_string(frame[first + ch]), Text(op, 1074 + ch)) << ch;
}

// Typed, not entered, then Send all: what the boxes show is what goes out,
// each setting once, and the boxes no longer look uncommitted.
TEST_P(FullWavePage, TypedButNotEnteredGoesOutWithSendAll) {
    Operator op = Open("IsAuto=0\r\n", kSendableGeneral);
    harness::TypeChars(op.Control(P.page, P.edits[0]), "51");
    harness::TypeChars(op.Control(P.page, P.windowEnd), "2000");
    op.SendAllSettings();
    const std::vector<Cmd> sent = Sent();
    int gains = 0, ends = 0;
    for (const Cmd& c : sent) {
        if (c.code == P.ch1Code) {
            EXPECT_EQ(51, c.value);
        }
        if (c.code == P.windowEndCode) {
            EXPECT_EQ(2000, c.value);
        }
        gains += c.code == P.ch1Code;
        ends += c.code == P.windowEndCode;
    }
    EXPECT_EQ(1, gains) << "CH1# once";
    EXPECT_EQ(1, ends) << "the window end once";
    EXPECT_EQ("51", Text(op, P.edits[0]));
    EXPECT_EQ("2000", Text(op, P.windowEnd));
    EXPECT_FALSE(harness::ColoursOf(op.Control(P.page, P.edits[0])).back ==
                 kelvane::TintColours(harness::CurrentScheme()).back);
    ToolControlPara tc{};
    ASSERT_TRUE(host.ReadToolControl(&tc));
    EXPECT_EQ(2000, P.page == harness::kMonopole ? tc.MonoWinEnd : tc.DipoleWinEnd);
    host.Unload();
    EXPECT_EQ("51", Saved("Ch1Gain"));
    EXPECT_EQ("2000", Saved("WindowsEnd"));
}

// Auto gain off with fresh read-back: the manual gains take what the tool
// runs at (cut to the step), sent right after the auto-gain command. Without
// read-back, or with the File menu's option off, only the auto-gain command.
TEST_P(FullWavePage, AutoGainOffIsBumplessWithFreshReadBack) {
    std::vector<int16_t> frame(FRAME_MIN_WORDS, 0);
    const int first = P.page == harness::kMonopole ? READBACK_MONO_WORD : READBACK_DIPOLE_WORD;
    const int16_t running[8] = {39, 41, 44, 47, 50, 54, -5, 100};  // 100: a word past the drive range
    for (int ch = 0; ch < 8; ++ch) frame[first + ch] = running[ch];
    const int32_t manual[8] = {39, 39, 42, 45, 48, 54, -3, 78};
    host.SetFrame(frame.data());

    Operator op = Open("IsAuto=1\r\n");
    host.Process();
    HostHarness::Pump();
    Sent();
    op.Click(P.page, P.autoOff);
    std::vector<Cmd> want = {{P.autoCode, VALUE_OFF}};
    for (int ch = 0; ch < 8; ++ch) want.push_back({P.ch1Code + ch, manual[ch]});
    EXPECT_EQ(want, Sent());
    for (int ch = 0; ch < 8; ++ch) EXPECT_EQ(std::to_string(manual[ch]), Text(op, P.edits[ch])) << ch;
    op.Click(P.page, P.autoOff);
    EXPECT_EQ(std::vector<Cmd>({{P.autoCode, VALUE_OFF}}), Sent()) << "already off: the gains stay the operator's";

    // No read-back since the window opened: the stored gains stay, and the strip says so.
    NextCase(host, "stale");
    op = Open("IsAuto=1\r\nCh1Gain=6\r\n");
    op.Click(P.page, P.autoOff);
    EXPECT_EQ(std::vector<Cmd>({{P.autoCode, VALUE_OFF}}), Sent());
    EXPECT_EQ("6", Text(op, P.edits[0]));
    for (int i = 0; i < 20 && op.StripText(2).find("no fresh read-back") == std::string::npos; ++i) {
        Sleep(50);
        HostHarness::Pump();
    }
    EXPECT_NE(std::string::npos, op.StripText(2).find("no fresh read-back")) << op.StripText(2);

    // The option off (File menu): the plain switch, kept in the settings file.
    op.Click(P.page, P.autoOn);
    host.Process();
    HostHarness::Pump();
    SendMessageA(op.Frame(), WM_COMMAND, ID_FILE_BUMPLESS, 0);
    EXPECT_EQ(static_cast<UINT>(MF_UNCHECKED),
              GetMenuState(GetMenu(op.Frame()), ID_FILE_BUMPLESS, MF_BYCOMMAND) & MF_CHECKED);
    Sent();
    op.Click(P.page, P.autoOff);
    EXPECT_EQ(std::vector<Cmd>({{P.autoCode, VALUE_OFF}}), Sent());
    host.Unload();
    EXPECT_EQ("0", IniValue(host.ReadIni(), "OPTIONS", "BumplessAutoGainOff"));
}

// Stack, window end, filter and auto-gain radios start from fixed values and
// nothing is sent then: each looks apart, with a tip saying so, until it is
// sent by its own action or with the others by Send all.
TEST_P(FullWavePage, ValuesNotSentSinceStartLookApartUntilSent) {
    Operator op = Open("IsAuto=0\r\n", kSendableGeneral);
    const SchemeColours scheme = harness::CurrentScheme();
    struct Control {
        int id;
        uint32_t back;
    } controls[] = {
        {P.stack, scheme.window}, {P.windowEnd, scheme.window}, {P.filter, scheme.face},
        {P.autoOn, scheme.face},  {P.autoOff, scheme.face},
    };
    auto unknown = [&](const Control& c) {
        const harness::DrawColours now = harness::ColoursOf(op.Control(P.page, c.id));
        const ColourPair look = UnknownColours(scheme, c.back);
        return now.text == look.text && now.back == look.back;
    };
    auto tipSaysSo = [&](int id) {
        const std::string tip = harness::TipText(op.Control(P.page, id));
        return tip.find("Not sent since start") != std::string::npos ||
               tip.find("; not sent since start") != std::string::npos;
    };
    for (const Control& c : controls) {
        EXPECT_TRUE(unknown(c)) << c.id;
        EXPECT_TRUE(tipSaysSo(c.id)) << c.id << ": " << harness::TipText(op.Control(P.page, c.id));
    }
    EXPECT_FALSE(unknown({P.edits[0], scheme.window})) << "a gain is sent by its own action only";

    op.SelectCombo(P.page, P.stack, 1);
    EXPECT_FALSE(unknown(controls[0]));
    EXPECT_FALSE(tipSaysSo(P.stack));
    EXPECT_TRUE(unknown(controls[1])) << "another value's send tells nothing of this one";
    op.SendAllSettings();
    for (const Control& c : controls) {
        EXPECT_FALSE(unknown(c)) << c.id;
        EXPECT_FALSE(tipSaysSo(c.id)) << c.id;
    }
    NextCase(host, "again");  // a new start knows nothing again
    op = Open();
    EXPECT_TRUE(unknown(controls[0]));
}

INSTANTIATE_TEST_SUITE_P(, FullWavePage, ::testing::Values(&kMonopole, &kDipole),
                         [](const ::testing::TestParamInfo<const FullWave*>& p) { return p.param->name; });

// Download all commands, on the monopole page only: eleven commands, and the
// auto-gain state the radios show.
TEST(FullWavePageMonopole, DownloadAllSendsElevenCommandsInOrder) {
    struct Case {
        const char* isAuto;
        int click;
        bool filter;
        int stack;
        int32_t autoValue;
        const char* saved;
    } cases[] = {
        {"0", 0, false, 0, VALUE_OFF, "0"},  // no radio clicked: the latch starts from "IsAuto"
        {"1", 0, true, 3, VALUE_ON, "1"},
        {"2", 0, false, 1, VALUE_ON, "1"},
        {"1", IDC_MONO_AUTO_OFF, false, 0, VALUE_OFF, "0"},
        {"0", IDC_MONO_AUTO_ON, true, 2, VALUE_ON, "1"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        HostHarness host;
        host.PrepareWorkFolder("D:\\work\\MonopoleDownload" + std::to_string(n++));
        Operator op = harness::OpenOnPage(
            host, harness::kMonopole,
            std::string("[GENERAL CONTROL]\r\nGain Step=3\r\n[MONOPOLE CONTROL]\r\nIsAuto=") + c.isAuto +
                "\r\nCh1Gain=1\r\nCh2Gain=2\r\nCh3Gain=3\r\nCh4Gain=4\r\nCh5Gain=5\r\nCh6Gain=6\r\nCh7Gain=7\r\n"
                "Ch8Gain=8\r\n");
        if (c.click) op.Click(harness::kMonopole, c.click);
        if (c.filter) op.Click(harness::kMonopole, IDC_MONO_FILTER);
        op.SelectCombo(harness::kMonopole, IDC_MONO_STACK, c.stack);
        host.ClearCommands();
        op.Click(harness::kMonopole, IDC_MONO_DOWNLOAD_ALL);
        std::vector<Cmd> want;
        for (int ch = 0; ch < 8; ++ch) want.push_back({CMD_MONO_CH1_GAIN + ch, ch + 1});
        want.push_back({CMD_MONO_DOWNHOLE_FILTER, c.filter ? VALUE_ON : VALUE_OFF});
        want.push_back({CMD_MONO_STACK, c.stack + 1});
        want.push_back({CMD_MONO_AUTO_GAIN, c.autoValue});
        EXPECT_EQ(want, harness::TakeCommands(host));
        host.Unload();
        EXPECT_EQ(c.saved, IniValue(host.ReadIni(), "MONOPOLE CONTROL", "IsAuto"));
    }
}

}  // namespace
