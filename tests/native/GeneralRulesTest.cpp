#include "pages/logic/GeneralRules.h"

#include "base/logic/Saturate.h"

#include <gtest/gtest.h>
#include "KelvaneHost.h"

#include <utility>
#include <vector>

#include <string>

namespace kelvane {
namespace {

TEST(GeneralRules, SampleIntervalChoices) {
    struct Case {
        int32_t us;
        int mono, dipole;
    } cases[] = {
        {12, 0, 2}, {24, 1, 0}, {36, 2, 1}, {48, 2, 2}, {0, 2, 2}, {-12, 2, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MonoIntervalIndex(c.us), c.mono) << c.us;
        EXPECT_EQ(DipoleIntervalIndex(c.us), c.dipole) << c.us;
    }
    const int32_t mono[] = {12, 24, 36}, dipole[] = {24, 36, 48};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(MonoIntervalFromIndex(i), mono[i]);
        EXPECT_EQ(DipoleIntervalFromIndex(i), dipole[i]);
        EXPECT_EQ(MonoIntervalIndex(MonoIntervalFromIndex(i)), i);
        EXPECT_EQ(DipoleIntervalIndex(DipoleIntervalFromIndex(i)), i);
    }
    EXPECT_EQ(MonoIntervalFromIndex(kInt32Max), kInt32Max);  // no overflow on a bad index
}

TEST(GeneralRules, StrictIntegerField) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"240", true, 240},
        {"  -12 ", true, -12},
        {"+7", true, 7},
        {"\t5\t", true, 5},
        {"2147483647", true, kInt32Max},
        {"-2147483648", true, kInt32Min},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999999", false, 0},  // must not wrap to a small number
        {"", false, 0},
        {"   ", false, 0},
        {"-", false, 0},
        {"+", false, 0},
        {"12a", false, 0},
        {"1 2", false, 0},
        {"- 5", false, 0},
        {"1.5", false, 0},
        {"0x10", false, 0},
        {"--5", false, 0},
        {"abc", false, 0},
        {"4o", false, 0},
        {"1e", false, 0},
        {"1e3", false, 0},  // what a typed box refuses
    };
    for (const auto& c : cases) {
        int32_t v = 12345;
        EXPECT_EQ(ParseStrictInt(c.text, &v), c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(GeneralRules, RangeMessages) {
    const char* want[kDownloadFieldCount] = {
        "Dipole RxDelay(us): enter an integer from 240 to 800.",
        "Dipole RxDelay step(us): enter an integer from 0 to 300.",
        "Delta-T RxDelay(us): enter an integer from 80 to 400 (Download sends at most 200).",
        "Delta-T RxDelay step(us): enter an integer from 0 to 125.",
        "Monopole RxDelay(us): enter an integer from 80 to 400.",
        "Monopole RxDelay step(us): enter an integer from 0 to 125.",
        "Delta-T Samplerate(us): enter an integer.",
    };
    for (int f = 0; f < kDownloadFieldCount; ++f) {
        EXPECT_EQ(RangeMessage(kDownloadFieldRules[f]), want[f]);
    }
}

// A Download that lowers a sample interval brings the window ends over the
// new cap (360 x interval) down to it; ends within it are not sent again.
TEST(GeneralRules, WindowEndsOverTheNewCapAreLimitedToIt) {
    struct Case {
        int32_t monoInterval, dipoleInterval, monoEnd, dipoleEnd;
        std::vector<std::pair<int32_t, int32_t>> want;
    } cases[] = {
        {12, 36, 8640, 8880, {{CMD_MONO_WIN_END, 4320}}},
        {24, 24, 8640, 12960, {{CMD_DIPOLE_WIN_END, 8640}}},
        {12, 24, 12960, 17280, {{CMD_MONO_WIN_END, 4320}, {CMD_DIPOLE_WIN_END, 8640}}},
        {24, 36, 8640, 8880, {}},  // at or under the cap: nothing more to send
        {36, 48, 2960, 8880, {}},
        {0, 0, 20000, 20000, {{CMD_MONO_WIN_END, 12960}, {CMD_DIPOLE_WIN_END, 17280}}},  // unlisted: the last entry
        {12, 24, 50, 100, {}},  // below the lower bound is no cap's business
    };
    for (const auto& c : cases) {
        ParameterSet p{};
        p.MonoSampleRate = c.monoInterval;
        p.DipoleSampleRate = c.dipoleInterval;
        p.MonoWindowsEnd = c.monoEnd;
        p.DipoleWindowsEnd = c.dipoleEnd;
        CappedWindowEnd out[2] = {};
        const int n = WindowEndsOverCap(p, out);
        std::vector<std::pair<int32_t, int32_t>> got;
        for (int i = 0; i < n; ++i) got.push_back({out[i].code, out[i].value});
        EXPECT_EQ(c.want, got) << c.monoInterval << "/" << c.dipoleInterval;
    }
}

// The strip tells of a DSP error until an all-OK report.
TEST(GeneralRules, DspErrorTextUntilAnAllOkReport) {
    int32_t flags[kDspLineCount];
    DspFlagsFromWord(0, flags);
    EXPECT_EQ("", DspErrorText(true, flags, 3661));
    EXPECT_EQ("", DspErrorText(false, flags, 3661));
    DspFlagsFromWord(0x2100, flags);
    EXPECT_EQ("DSP error reported 01:01:01", DspErrorText(true, flags, 3661));
    EXPECT_EQ("", DspErrorText(false, flags, 3661)) << "no report: nothing known, nothing told";
}

TEST(GeneralRules, DownloadStopsAtFirstBadFieldInOrder) {
    // dipole delay, dipole step, DT delay, DT step, mono delay, mono step, DT sample interval
    const std::string good[kDownloadFieldCount] = {"400", "100", "300", "50", "120", "10", "-7"};
    struct Case {
        int field;
        const char* text;
        int want;
    } cases[] = {
        {-1, "", -1},
        {kDipoleDelay, "800", -1},
        {kDipoleDelay, "801", kDipoleDelay},
        {kDipoleDelay, "239", kDipoleDelay},
        {kDipoleDelayStep, "300", -1},
        {kDipoleDelayStep, "301", kDipoleDelayStep},
        {kDipoleDelayStep, "-1", kDipoleDelayStep},
        {kDtDelay, "50", kDtDelay},
        {kDtDelay, "400", -1},
        {kDtDelay, "401", kDtDelay},
        {kDtDelayStep, "126", kDtDelayStep},
        {kMonoDelay, "79", kMonoDelay},
        {kMonoDelay, "80", -1},
        {kMonoDelayStep, "0", -1},
        {kMonoDelayStep, "x", kMonoDelayStep},
        {kDtSampleInterval, "-2147483648", -1},
        {kDtSampleInterval, "", kDtSampleInterval},
    };
    for (const auto& c : cases) {
        std::string texts[kDownloadFieldCount];
        for (int f = 0; f < kDownloadFieldCount; ++f) texts[f] = good[f];
        if (c.field >= 0) texts[c.field] = c.text;
        int32_t values[kDownloadFieldCount] = {};
        EXPECT_EQ(ValidateDownloadFields(texts, values), c.want) << c.field << " " << c.text;
    }

    // Two bad fields: the one validated first is reported, whatever its place on the page.
    std::string texts[kDownloadFieldCount];
    for (int f = 0; f < kDownloadFieldCount; ++f) texts[f] = good[f];
    texts[kMonoDelay] = "1";
    texts[kDipoleDelayStep] = "999";
    int32_t values[kDownloadFieldCount] = {};
    EXPECT_EQ(ValidateDownloadFields(texts, values), kDipoleDelayStep);

    const int32_t want[kDownloadFieldCount] = {400, 100, 300, 50, 120, 10, -7};
    for (int f = 0; f < kDownloadFieldCount; ++f) texts[f] = good[f];
    ASSERT_EQ(ValidateDownloadFields(texts, values), -1);
    for (int f = 0; f < kDownloadFieldCount; ++f) EXPECT_EQ(values[f], want[f]) << f;
}

TEST(GeneralRules, DtDelayLoweredTo200) {
    struct Case {
        int32_t in, want;
    } cases[] = {{80, 80}, {200, 200}, {201, 200}, {400, 200}, {kInt32Max, 200}, {-5, -5}};
    for (const auto& c : cases) EXPECT_EQ(ClampDtDelay(c.in), c.want) << c.in;
}

TEST(GeneralRules, DspStatusWordToLines) {
    struct Case {
        uint16_t word;
        uint32_t errorLines;
    } cases[] = {
        {0x0000, 0x0000}, {0xFFFF, 0xFFFF}, {0x0001, 0x0001}, {0x0100, 0x0100}, {0x8000, 0x8000}, {0x2010, 0x2010},
    };
    for (const auto& c : cases) {
        int32_t flags[kDspLineCount];
        DspFlagsFromWord(c.word, flags);
        for (int i = 0; i < kDspLineCount; ++i) {
            EXPECT_EQ(flags[i], ((c.errorLines >> i) & 1) ? 0 : 1) << std::hex << c.word << " line " << i;
        }
    }
}

TEST(GeneralRules, DspStatusLineText) {
    struct Case {
        int line, flag;
        const char* want;
    } cases[] = {
        {0, 1, "MASTER PANEL DSP#1: OK."},     {3, 1, "MASTER PANEL DSP#4: OK."},
        {4, 1, "SLAVE  PANEL DSP#1: OK."},     {7, 0, "SLAVE  PANEL DSP#4: ERROR."},
        {8, 0, "MASTER PANEL DSP#1: ERROR."},  // right list starts with the master panel again
        {11, 1, "MASTER PANEL DSP#4: OK."},    {13, 0, "SLAVE  PANEL DSP#2: ERROR."},
        {15, 1, "SLAVE  PANEL DSP#4: OK."},    {2, 2, "MASTER PANEL DSP#3: ERROR."},  // only 1 reads as OK
        {2, -1, "MASTER PANEL DSP#3: ERROR."},
    };
    for (const auto& c : cases) EXPECT_EQ(DspStatusLine(c.line, c.flag), c.want) << c.line;
}

// A line is drawn as an error exactly when its text says "ERROR.", once a report came.
TEST(GeneralRules, DspStatusLookFollowsTheTextAfterAReport) {
    struct Case {
        bool reported;
        int flag;
        DspLineLook want;
    } cases[] = {
        {false, 0, DspLineLook::NoData}, {false, 1, DspLineLook::NoData}, {true, 1, DspLineLook::Ok},
        {true, 0, DspLineLook::Error},   {true, 2, DspLineLook::Error},
    };
    for (const auto& c : cases) EXPECT_EQ(DspStatusLook(c.reported, c.flag), c.want) << c.reported << "/" << c.flag;
}

TEST(GeneralRules, LastReportTextIsTwoDigitsEach) {
    struct Case {
        bool reported;
        int32_t at;
        const char* want;
    } cases[] = {
        {false, 12 * 3600 + 34 * 60 + 56, "No report yet"},
        {true, 0, "Last report 00:00:00"},
        {true, 7 * 3600 + 5 * 60 + 9, "Last report 07:05:09"},
        {true, 86399, "Last report 23:59:59"},
    };
    for (const auto& c : cases) EXPECT_EQ(LastReportText(c.reported, c.at), c.want);
}

TEST(GeneralRules, StatusCheckFollowsHostState) {
    struct Case {
        int32_t state;
        bool enabled;
    } cases[] = {
        {0, false}, {1, true}, {2, true}, {3, false}, {-1, false}, {kInt32Min, false},
    };
    for (const auto& c : cases) EXPECT_EQ(StatusCheckEnabled(c.state), c.enabled) << c.state;
}

}  // namespace
}  // namespace kelvane
