// The General control page driven like an operator through the real DLL:
// gain step, resets, Download of delays and sample intervals, the status
// check and the sixteen DSP status lines.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "HostHarness.h"
#include "Operator.h"
#include "resource.h"
#include "framework/logic/CueColours.h"
#include "TestSupport.h"

using namespace kelvane;
using harness::HostHarness;
using harness::kGeneral;
using harness::Operator;

using namespace kelvane::testsupport;

namespace {

bool IniHas(const std::string& ini, const std::string& line) { return ini.find(line + "\r\n") != std::string::npos; }

// A whole "GENERAL CONTROL" section of valid values (a missing key loads as 0),
// with the given keys replaced.
std::string GeneralIni(const std::vector<std::pair<std::string, int>>& changes) {
    std::vector<std::pair<std::string, int>> keys = {
        {"Gain Step", 3},         {"DT DELAY", 80},          {"DT DELAY STEP", 0},    {"DT SAMPLERATE", 8},
        {"Mono DELAY", 80},       {"Mono DELAY STEP", 0},    {"Mono SAMPLERATE", 24}, {"Dipole DELAY", 240},
        {"Dipole DELAY STEP", 0}, {"Dipole SAMPLERATE", 36},
    };
    for (const auto& c : changes)
        for (auto& k : keys)
            if (k.first == c.first) k.second = c.second;
    std::string text = "[GENERAL CONTROL]\r\n";
    for (const auto& k : keys) text += k.first + "=" + std::to_string(k.second) + "\r\n";
    return text;
}

struct GeneralPage : ::testing::Test {
    HostHarness host;
    HWND frame = nullptr;
    std::vector<int32_t> opening;  // codes sent while the window opened

    void SetUp() override { host.PrepareWorkFolder(TestFolder()); }

    // The window on the General page; opening holds the codes its opening sent.
    Operator Open(const std::string& ini = std::string()) {
        std::vector<harness::CodeValue> sent;
        Operator op = harness::OpenOnPage(host, kGeneral, ini, &sent);
        frame = op.Frame();
        EXPECT_NE(nullptr, frame);
        EXPECT_EQ(kGeneral, op.ShownPage());
        opening.clear();
        for (const auto& c : sent) opening.push_back(c.code);
        return op;
    }

    // Clicks Download; returns the text of the message box it raised, if any.
    static std::string Download(Operator& op) {
        return op.AnswerMessageBox([](void* p) { static_cast<Operator*>(p)->Click(kGeneral, IDC_GEN_DOWNLOAD); }, &op);
    }

    void SendStatus(uint16_t word) {
        DspStatusReport report{};
        report.Reserved[0] = report.Reserved[1] = -1;  // only the word at byte 8 counts
        report.StatusWord = word;
        report.Reserved2 = 0xFFFF;
        SendMessageA(frame, WM_DSPSTATUS, reinterpret_cast<WPARAM>(&report), 0);
    }

    // Both lists' lines, left then right.
    static std::vector<std::string> StatusLines(const Operator& op) {
        std::vector<std::string> lines = op.ListLines(kGeneral, IDC_GEN_LIST_LEFT);
        for (const std::string& s : op.ListLines(kGeneral, IDC_GEN_LIST_RIGHT)) lines.push_back(s);
        return lines;
    }
};

// The sixteen lines the operator must read for errorBits (bit i = line i in error).
std::vector<std::string> ExpectedLines(uint32_t errorBits) {
    const char* const names[8] = {
        "MASTER PANEL DSP#1: ", "MASTER PANEL DSP#2: ", "MASTER PANEL DSP#3: ", "MASTER PANEL DSP#4: ",
        "SLAVE  PANEL DSP#1: ", "SLAVE  PANEL DSP#2: ", "SLAVE  PANEL DSP#3: ", "SLAVE  PANEL DSP#4: ",
    };
    std::vector<std::string> lines;
    for (int i = 0; i < 16; ++i) lines.push_back(std::string(names[i % 8]) + ((errorBits >> i) & 1 ? "ERROR." : "OK."));
    return lines;
}

// A status line as it is drawn on the screen: the colour of its background
// (the row's right end, past the text) and every colour in the row.
struct DrawnLine {
    COLORREF back;
    std::set<COLORREF> colours;
};
DrawnLine Drawn(HWND list, int item) {
    SetWindowPos(GetAncestor(list, GA_ROOT), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HostHarness::Pump();
    RECT row{};
    SendMessageA(list, LB_GETITEMRECT, item, reinterpret_cast<LPARAM>(&row));
    const int w = row.right - row.left, h = row.bottom - row.top;
    HDC screen = GetDC(list);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, row.left, row.top, SRCCOPY);
    DrawnLine line{GetPixel(mem, w - 3, h / 2), {}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) line.colours.insert(GetPixel(mem, x, y));
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(list, screen);
    return line;
}

// One line of the window's font, in pixels.
int LineHeight(HWND control) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return tm.tmHeight;
}

TEST_F(GeneralPage, GainStepRadioFollowsTheLoadedStep) {
    struct Case {
        std::string ini;
        bool step1, step2, step3;
    } cases[] = {
        {"", false, false, true},  // no INI: the default step 3
        {GeneralIni({{"Gain Step", 2}}), false, true, false},
        {GeneralIni({{"Gain Step", 5}}), false, false, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        NextCase(host, "c" + std::to_string(n++));
        Operator op = Open(c.ini);
        EXPECT_EQ(c.step1, op.Checked(kGeneral, IDC_GEN_STEP1));
        EXPECT_EQ(c.step2, op.Checked(kGeneral, IDC_GEN_STEP2));
        EXPECT_EQ(c.step3, op.Checked(kGeneral, IDC_GEN_STEP3));
        for (int32_t code : opening) EXPECT_TRUE(code < CMD_GAIN_STEP_1DB || code > CMD_TOOL_RESET) << code;
    }
}

// Loaded intervals choose the list entry; Download stores and sends the entry shown.
TEST_F(GeneralPage, SampleIntervalListsFollowTheLoadedValues) {
    struct Case {
        int mono, dipole;
        const char* monoText;
        const char* dipoleText;
        int32_t monoSent, dipoleSent;
    } cases[] = {
        {12, 24, "12", "24", 12, 24}, {24, 36, "24", "36", 24, 36}, {36, 48, "36", "48", 36, 48},
        {0, 12, "36", "48", 36, 48},  {48, 0, "36", "48", 36, 48},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.mono) + "/" + std::to_string(c.dipole));
        NextCase(host, "c" + std::to_string(n++));
        Operator op = Open(GeneralIni({{"Mono SAMPLERATE", c.mono}, {"Dipole SAMPLERATE", c.dipole}}));
        EXPECT_EQ(c.monoText, op.Text(kGeneral, IDC_GEN_MONO_SAMPLERATE));
        EXPECT_EQ(c.dipoleText, op.Text(kGeneral, IDC_GEN_DIP_SAMPLERATE));
        EXPECT_EQ("", Download(op));
        ASSERT_EQ(8u, host.Commands().size());
        EXPECT_EQ(CMD_MONO_SAMPLERATE, host.Commands()[4].Code());
        EXPECT_EQ(c.monoSent, host.Commands()[4].Value());
        EXPECT_EQ(CMD_DIPOLE_SAMPLERATE, host.Commands()[7].Code());
        EXPECT_EQ(c.dipoleSent, host.Commands()[7].Value());
        host.Unload();
        const std::string ini = host.ReadIni();
        EXPECT_TRUE(IniHas(ini, "Mono SAMPLERATE=" + std::to_string(c.monoSent))) << ini;
        EXPECT_TRUE(IniHas(ini, "Dipole SAMPLERATE=" + std::to_string(c.dipoleSent))) << ini;
    }
}

// A list emptied of its selection (only a program can do that) keeps the
// page's interval rather than sending an impossible one.
TEST_F(GeneralPage, ListWithoutSelectionKeepsTheLastInterval) {
    Operator op = Open(GeneralIni({{"Mono SAMPLERATE", 12}, {"Dipole SAMPLERATE", 48}}));
    op.SelectCombo(kGeneral, IDC_GEN_MONO_SAMPLERATE, -1);
    op.SelectCombo(kGeneral, IDC_GEN_DIP_SAMPLERATE, -1);
    EXPECT_EQ("", Download(op));
    ASSERT_EQ(8u, host.Commands().size());
    EXPECT_EQ(12, host.Commands()[4].Value());
    EXPECT_EQ(48, host.Commands()[7].Value());
    EXPECT_EQ("12", op.Text(kGeneral, IDC_GEN_MONO_SAMPLERATE)) << "shown again";
}

TEST_F(GeneralPage, DownloadSendsEightCommandsInTableOrder) {
    Operator op = Open(
        "[GENERAL CONTROL]\r\nDT DELAY=100\r\nDT DELAY STEP=7\r\nDT SAMPLERATE=9\r\nMono DELAY=90\r\n"
        "Mono DELAY STEP=3\r\nMono SAMPLERATE=12\r\nDipole DELAY=250\r\nDipole DELAY STEP=5\r\nDipole SAMPLERATE=24\r\n");
    EXPECT_EQ("100", op.Text(kGeneral, IDC_GEN_DT_DELAY));
    EXPECT_EQ("7", op.Text(kGeneral, IDC_GEN_DT_DELAY_STEP));
    EXPECT_EQ("9", op.Text(kGeneral, IDC_GEN_DT_SAMPLERATE));
    EXPECT_FALSE(op.Enabled(kGeneral, IDC_GEN_DT_DELAY_STEP));
    EXPECT_FALSE(op.Enabled(kGeneral, IDC_GEN_DT_SAMPLERATE));

    op.SetText(kGeneral, IDC_GEN_DT_DELAY, "150");
    op.SetText(kGeneral, IDC_GEN_MONO_DELAY, " 120 ");
    op.SetText(kGeneral, IDC_GEN_MONO_DELAY_STEP, "11");
    op.SelectCombo(kGeneral, IDC_GEN_MONO_SAMPLERATE, 1);
    op.SetText(kGeneral, IDC_GEN_DIP_DELAY, "640");
    op.SetText(kGeneral, IDC_GEN_DIP_DELAY_STEP, "13");
    op.SelectCombo(kGeneral, IDC_GEN_DIP_SAMPLERATE, 2);
    EXPECT_TRUE(host.Commands().empty()) << "edits wait for Download";
    EXPECT_EQ("", Download(op));

    const struct {
        int32_t code, value;
    } want[] = {
        {CMD_DT_RXDELAY, 150},         {CMD_DT_RXDELAY_STEP, 7},    {CMD_MONO_RXDELAY, 120},
        {CMD_MONO_RXDELAY_STEP, 11},   {CMD_MONO_SAMPLERATE, 24},   {CMD_DIPOLE_RXDELAY, 640},
        {CMD_DIPOLE_RXDELAY_STEP, 13}, {CMD_DIPOLE_SAMPLERATE, 48},
    };
    ASSERT_EQ(8u, host.Commands().size());
    for (size_t i = 0; i < 8; ++i) {
        const auto& c = host.Commands()[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(want[i].code, c.Code());
        EXPECT_EQ(ARG_VALUE, c.block.ArgWord);
        EXPECT_EQ(want[i].value, c.Value());
        EXPECT_EQ(frame, c.controlWindow);
        for (int w = 1; w < 128; ++w) ASSERT_EQ(0, c.block.Payload[w]) << "word " << w + 2;
    }
    EXPECT_EQ("120", op.Text(kGeneral, IDC_GEN_MONO_DELAY)) << "fields are shown again";

    host.Unload();
    const std::string ini = host.ReadIni();
    for (const char* line :
         {"DT DELAY=150", "DT DELAY STEP=7", "DT SAMPLERATE=9", "Mono DELAY=120", "Mono DELAY STEP=11",
          "Mono SAMPLERATE=24", "Dipole DELAY=640", "Dipole DELAY STEP=13", "Dipole SAMPLERATE=48"})
        EXPECT_TRUE(IniHas(ini, line)) << line << "\n" << ini;
}

TEST_F(GeneralPage, DtDelayAbove200IsLoweredWithoutAMessage) {
    Operator op = Open();
    op.SetText(kGeneral, IDC_GEN_DT_DELAY, "300");
    EXPECT_EQ("", Download(op));
    EXPECT_EQ("200", op.Text(kGeneral, IDC_GEN_DT_DELAY));
    ASSERT_FALSE(host.Commands().empty());
    EXPECT_EQ(CMD_DT_RXDELAY, host.Commands()[0].Code());
    EXPECT_EQ(200, host.Commands()[0].Value());
    host.Unload();
    EXPECT_TRUE(IniHas(host.ReadIni(), "DT DELAY=200"));
}

// Each row sets one field (two for the order row) on a page loaded with valid
// values; a refusal names the first field in validation order, focuses it,
// and nothing is sent or stored.
TEST_F(GeneralPage, DownloadValidatesEachFieldInOrder) {
    struct Case {
        int id;
        const char* text;
        int id2;
        const char* text2;
        const char* message;
        int focus;
    } cases[] = {
        {IDC_GEN_DT_DELAY, "50", 0, nullptr,
         "Delta-T RxDelay(us): enter an integer from 80 to 400 (Download sends at most 200).", IDC_GEN_DT_DELAY},
        {IDC_GEN_DT_DELAY, "401", 0, nullptr,
         "Delta-T RxDelay(us): enter an integer from 80 to 400 (Download sends at most 200).", IDC_GEN_DT_DELAY},
        {IDC_GEN_DT_DELAY, "80", 0, nullptr, "", 0},
        {IDC_GEN_DIP_DELAY, "800", 0, nullptr, "", 0},
        {IDC_GEN_DIP_DELAY, "801", 0, nullptr, "Dipole RxDelay(us): enter an integer from 240 to 800.",
         IDC_GEN_DIP_DELAY},
        {IDC_GEN_DIP_DELAY_STEP, "300", 0, nullptr, "", 0},
        {IDC_GEN_DIP_DELAY_STEP, "301", 0, nullptr, "Dipole RxDelay step(us): enter an integer from 0 to 300.",
         IDC_GEN_DIP_DELAY_STEP},
        {IDC_GEN_MONO_DELAY, "79", 0, nullptr, "Monopole RxDelay(us): enter an integer from 80 to 400.",
         IDC_GEN_MONO_DELAY},
        {IDC_GEN_MONO_DELAY_STEP, "12x", 0, nullptr, "Monopole RxDelay step(us): enter an integer from 0 to 125.",
         IDC_GEN_MONO_DELAY_STEP},
        {IDC_GEN_MONO_DELAY_STEP, "", 0, nullptr, "Monopole RxDelay step(us): enter an integer from 0 to 125.",
         IDC_GEN_MONO_DELAY_STEP},
        // Both bad: the dipole step is checked before the Delta-T delay above it.
        {IDC_GEN_DT_DELAY, "10", IDC_GEN_DIP_DELAY_STEP, "-1",
         "Dipole RxDelay step(us): enter an integer from 0 to 300.", IDC_GEN_DIP_DELAY_STEP},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + "=" + c.text);
        NextCase(host, "c" + std::to_string(n++));
        Operator op = Open();                             // defaults: DT 80, mono 80, dipole 240, steps 0
        op.SetText(kGeneral, IDC_GEN_MONO_DELAY, "111");  // a valid change that must not be stored on refusal
        op.SetText(kGeneral, c.id, c.text);
        if (c.text2) op.SetText(kGeneral, c.id2, c.text2);
        EXPECT_EQ(c.message, Download(op));
        if (*c.message) {
            EXPECT_TRUE(host.Commands().empty());
            EXPECT_EQ(op.Control(kGeneral, c.focus), GetFocus());
            EXPECT_EQ(c.text, op.Text(kGeneral, c.id)) << "the refused text stays for correction";
        } else {
            EXPECT_EQ(8u, host.Commands().size());
        }
        host.Unload();
        EXPECT_EQ(*c.message == 0, IniHas(host.ReadIni(), "Mono DELAY=111"));
    }
}

// The operator cannot edit the display-only step, so a loaded value outside
// its range is shown and sent limited: Download is never locked on it.
TEST_F(GeneralPage, OutOfRangeDisplayOnlyStepIsShownAndSentLimited) {
    Operator op = Open(GeneralIni({{"DT DELAY STEP", 126}}));
    EXPECT_EQ("125", op.Text(kGeneral, IDC_GEN_DT_DELAY_STEP));
    EXPECT_EQ("", Download(op));
    ASSERT_EQ(8u, host.Commands().size());
    EXPECT_EQ(CMD_DT_RXDELAY_STEP, host.Commands()[1].Code());
    EXPECT_EQ(125, host.Commands()[1].Value());
    host.Unload();
    EXPECT_TRUE(IniHas(host.ReadIni(), "DT DELAY STEP=125"));
}

TEST_F(GeneralPage, GainStepClicksSetTheStepAndSendEveryTime) {
    Operator op = Open();  // step 3 checked
    struct Click {
        int id;
        int32_t code;
        int checked;
    } clicks[] = {
        {IDC_GEN_STEP3, CMD_GAIN_STEP_3DB, IDC_GEN_STEP3},  // already checked: sends all the same
        {IDC_GEN_STEP1, CMD_GAIN_STEP_1DB, IDC_GEN_STEP1},
        {IDC_GEN_STEP1, CMD_GAIN_STEP_1DB, IDC_GEN_STEP1},
        {IDC_GEN_STEP2, CMD_GAIN_STEP_2DB, IDC_GEN_STEP2},
    };
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.id);
        host.ClearCommands();
        op.Click(kGeneral, c.id);
        ASSERT_EQ(1u, host.Commands().size());
        EXPECT_EQ(c.code, host.Commands()[0].Code());
        EXPECT_EQ(0, host.Commands()[0].block.ArgWord);
        for (int id : {IDC_GEN_STEP1, IDC_GEN_STEP2, IDC_GEN_STEP3})
            EXPECT_EQ(id == c.checked, op.Checked(kGeneral, id)) << id;
    }
    host.Unload();
    EXPECT_TRUE(IniHas(host.ReadIni(), "Gain Step=2"));
}

// Resets and the status check use the page's block: code and second word
// only, whatever Download sent before.
TEST_F(GeneralPage, ResetsAndCheckSendCodeAndSecondWordOnly) {
    Operator op = Open();
    EXPECT_EQ("", Download(op));
    struct Case {
        int id;
        int32_t code, arg;
    } cases[] = {
        {IDC_GEN_DSP_RESET, CMD_DSP_RESET, 0},
        {IDC_GEN_TOOL_RESET, CMD_TOOL_RESET, 0},
        {IDC_GEN_CHECK, CMD_STATUS_CHECK, ARG_STATUS_CHECK},
        {IDC_GEN_DSP_RESET, CMD_DSP_RESET, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        host.ClearCommands();
        op.Click(kGeneral, c.id);
        ASSERT_EQ(1u, host.Commands().size());
        const auto& cmd = host.Commands()[0];
        EXPECT_EQ(c.code, cmd.Code());
        EXPECT_EQ(c.arg, cmd.block.ArgWord);
        for (int w = 0; w < 128; ++w) ASSERT_EQ(0, cmd.block.Payload[w]) << "word " << w + 2;
    }
    host.Unload();
    EXPECT_TRUE(IniHas(host.ReadIni(), "Gain Step=3")) << "a reset changes no value";
}

TEST_F(GeneralPage, StatusLinesFollowTheReportedWord) {
    Operator op = Open();
    EXPECT_EQ(ExpectedLines(0xFFFF), StatusLines(op)) << "every line is an error before any report";
    const uint16_t words[] = {0x0000, 0xFFFF, 0x0001, 0x0100, 0x2010, 0x8000};
    for (uint16_t w : words) {
        SCOPED_TRACE(w);
        SendStatus(w);
        EXPECT_EQ(ExpectedLines(w), StatusLines(op));
    }
    // The page need not be on display.
    op.ClickPageItem(harness::kDipole);
    SendStatus(0x0002);
    op.ClickPageItem(kGeneral);
    EXPECT_EQ(ExpectedLines(0x0002), StatusLines(op));
    EXPECT_TRUE(host.Commands().empty());
}

// What the lines look like, in real pixels: before the tool's first report
// the sixteen "ERROR." lines mean nothing yet and are drawn as no data (grey
// text); after it an error stands out in the warning colours the other cues
// use, an OK line is drawn as usual. Lines are one line of the list's font
// high, whatever the DPI.
TEST_F(GeneralPage, StatusLinesAreDrawnByWhatTheToolReported) {
    Operator op = Open();
    const ColourPair warning = WarningColours(harness::CurrentScheme());
    const COLORREF window = GetSysColor(COLOR_WINDOW), text = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
    HWND lists[2] = {op.Control(kGeneral, IDC_GEN_LIST_LEFT), op.Control(kGeneral, IDC_GEN_LIST_RIGHT)};
    for (HWND list : lists) {
        EXPECT_EQ(LineHeight(list), SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
        for (int item : {0, 7}) {
            SCOPED_TRACE("before any report, item " + std::to_string(item));
            const DrawnLine line = Drawn(list, item);
            EXPECT_EQ(window, line.back);
            EXPECT_TRUE(line.colours.count(grey)) << "no grey text";
            EXPECT_FALSE(line.colours.count(warning.back)) << "an alarm the tool never raised";
        }
    }
    SendStatus(0x0101);  // master DSP#1 in error in both lists
    const struct {
        int list, item;
        bool error;
    } cases[] = {{0, 0, true}, {0, 1, false}, {1, 0, true}, {1, 7, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.list) + "/" + std::to_string(c.item));
        const DrawnLine line = Drawn(lists[c.list], c.item);
        EXPECT_EQ(c.error ? warning.back : window, line.back);
        EXPECT_TRUE(line.colours.count(c.error ? warning.text : text)) << "no text in the line's colour";
        EXPECT_FALSE(line.colours.count(grey));
    }
    EXPECT_EQ(ExpectedLines(0x0101), StatusLines(op)) << "the texts are the list's own";
}

// Beside "Check", inside its group, the time of the last status report
// (also one that came while the page was hidden), or that none came yet.
TEST_F(GeneralPage, StatusLinesShowTheTimeOfTheLastReport) {
    Operator op = Open();
    HWND label = op.Control(kGeneral, IDC_GEN_LAST_REPORT);
    ASSERT_NE(nullptr, label);
    EXPECT_EQ("No report yet", op.Text(kGeneral, IDC_GEN_LAST_REPORT));

    HWND page = op.PageWindow(kGeneral);
    RECT group{7, 183, 7 + 316, 183 + 120};
    MapDialogRect(page, &group);
    RECT at{}, check{};
    GetWindowRect(label, &at);
    GetWindowRect(op.Control(kGeneral, IDC_GEN_CHECK), &check);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&at), 2);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&check), 2);
    EXPECT_GE(at.left, check.right);
    EXPECT_LT(at.right, group.right);
    EXPECT_TRUE(at.top >= check.top && at.bottom <= check.bottom);
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
    SIZE widest{};
    GetTextExtentPoint32A(dc, "Last report 00:00:00", 20, &widest);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    EXPECT_LE(widest.cx, at.right - at.left) << "the time is cut";

    auto clock = [] {
        SYSTEMTIME t{};
        GetLocalTime(&t);
        char text[32];
        wsprintfA(text, "Last report %02d:%02d:%02d", t.wHour, t.wMinute, t.wSecond);
        return std::string(text);
    };
    for (bool shown : {true, false}) {
        op.ClickPageItem(shown ? kGeneral : harness::kDipole);
        const std::string before = clock();
        SendStatus(0x0000);
        const std::string after = clock();
        const std::string text = op.Text(kGeneral, IDC_GEN_LAST_REPORT);
        EXPECT_TRUE(text == before || text == after) << text << " (" << before << ")";
    }
}

TEST_F(GeneralPage, NullOrUnreadableReportLeavesTheLinesAlone) {
    Operator op = Open();
    SendMessageA(frame, WM_DSPSTATUS, 0, 0);
    EXPECT_EQ("No report yet", op.Text(kGeneral, IDC_GEN_LAST_REPORT)) << "a null report is no report";
    SendStatus(0x0004);
    SendMessageA(frame, WM_DSPSTATUS, 0, 0);
    void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_READWRITE);  // not committed
    SendMessageA(frame, WM_DSPSTATUS, reinterpret_cast<WPARAM>(reserved), 0);
    VirtualFree(reserved, 0, MEM_RELEASE);
    EXPECT_TRUE(IsWindow(frame));
    EXPECT_EQ(ExpectedLines(0x0004), StatusLines(op));
}

TEST_F(GeneralPage, CheckFollowsTheLastHostState) {
    Operator op = Open();
    EXPECT_TRUE(op.Enabled(kGeneral, IDC_GEN_CHECK)) << "enabled before any host state";
    struct Case {
        int32_t state;
        bool enabled;
    } cases[] = {
        {0, false}, {1, true}, {3, false}, {2, true}, {-1, false}, {1, true},
    };
    for (const auto& c : cases) {
        SendMessageA(frame, WM_HOSTSTATE, static_cast<WPARAM>(c.state), 0);
        EXPECT_EQ(c.enabled, op.Enabled(kGeneral, IDC_GEN_CHECK)) << c.state;
    }
}

// Closing the window ends the page object with it: a reopened window starts
// over with every line in error and "Check" enabled; messages to the old
// frame go nowhere.
TEST_F(GeneralPage, ReopenedWindowStartsWithANewPage) {
    Operator op = Open();
    SendStatus(0x0000);
    SendMessageA(frame, WM_HOSTSTATE, 0, 0);
    op.SetText(kGeneral, IDC_GEN_DT_DELAY, "123");  // not downloaded: lost with the window
    HWND old = frame;
    SendMessageA(old, WM_CLOSE, 0, 0);
    HostHarness::Pump();
    ASSERT_FALSE(IsWindow(old));
    SendStatus(0x0000);  // to the closed frame

    frame = host.Show();
    ASSERT_NE(nullptr, frame);
    Operator again(frame);
    EXPECT_EQ(ExpectedLines(0xFFFF), StatusLines(again));
    EXPECT_EQ("No report yet", again.Text(kGeneral, IDC_GEN_LAST_REPORT));
    EXPECT_TRUE(again.Enabled(kGeneral, IDC_GEN_CHECK));
    EXPECT_EQ("80", again.Text(kGeneral, IDC_GEN_DT_DELAY));
    SendStatus(0x0010);
    EXPECT_EQ(ExpectedLines(0x0010), StatusLines(again));
}

// A DSP error reported while another page is shown is seen from there: the
// General page is marked in the page list and the strip says since when,
// until an all-OK report.
TEST_F(GeneralPage, DspErrorIsMarkedAndInTheStripFromAnyPage) {
    Operator op = Open();
    op.ClickPageItem(harness::kDipole);
    EXPECT_FALSE(op.PageMarked(kGeneral));
    SendStatus(0x2100);
    EXPECT_EQ(harness::kDipole, op.ShownPage());
    EXPECT_TRUE(op.PageMarked(kGeneral));
    EXPECT_EQ(0u, op.StripText(2).find("DSP error reported ")) << op.StripText(2);
    ASSERT_EQ(4, op.StripParts());
    EXPECT_NE(std::string::npos, op.StripText(3).find("sent DT auto gain")) << "what was sent last stays in sight";
    for (int part = 0; part < 4; ++part) EXPECT_TRUE(op.StripPartShowsAll(part)) << op.StripText(part);
    op.ClickPageItem(harness::kDtGain);
    EXPECT_TRUE(op.PageMarked(kGeneral)) << "until an all-OK report";
    SendStatus(0);
    EXPECT_FALSE(op.PageMarked(kGeneral));
    EXPECT_EQ(3, op.StripParts());
    EXPECT_EQ(std::string::npos, op.StripText(2).find("DSP error"));
}

// A Download that lowers a sample interval brings the window end over the
// new cap down to it, after its eight commands: the tool, the block, the
// Monopole page's box and the file all hold the limited end.
TEST_F(GeneralPage, LoweredSampleIntervalLimitsTheWindowEndEverywhere) {
    Operator op = Open();  // monopole 24 us, dipole 36 us
    op.ClickPageItem(harness::kMonopole);
    op.TypeAndEnter(harness::kMonopole, IDC_MONO_WIN_END, "8640");
    op.ClickPageItem(kGeneral);
    op.SelectCombo(kGeneral, IDC_GEN_MONO_SAMPLERATE, 0);  // 12 us: at most 4320
    host.ClearCommands();
    EXPECT_EQ("", Download(op));
    const std::vector<int32_t> codes = host.Codes();
    ASSERT_EQ(9u, codes.size());
    EXPECT_EQ(CMD_MONO_WIN_END, codes[8]);
    EXPECT_EQ(4320, host.Commands()[8].Value());
    EXPECT_EQ("4320", op.Text(harness::kMonopole, IDC_MONO_WIN_END));
    ToolControlPara tc{};
    ASSERT_TRUE(host.ReadToolControl(&tc));
    EXPECT_EQ(4320, tc.MonoWinEnd);
    EXPECT_EQ(8880, tc.DipoleWinEnd) << "within its own cap: not sent";

    // Raising the interval again leaves the end alone: nothing is over a cap.
    op.SelectCombo(kGeneral, IDC_GEN_MONO_SAMPLERATE, 2);
    host.ClearCommands();
    EXPECT_EQ("", Download(op));
    EXPECT_EQ(8u, host.Codes().size());
    host.Unload();
    EXPECT_TRUE(IniHas(host.ReadIni(), "WindowsEnd=4320"));
}

}  // namespace
