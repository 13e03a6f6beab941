#include "pages/logic/GainRules.h"

#include "base/logic/Saturate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <limits>

namespace kelvane {
namespace {

TEST(GainRules, QuantiseLimitsThenTruncatesTowardZero) {
    struct Case {
        int32_t v, step, want;
    } cases[] = {
        {100, 3, 78},   // limited to 80 first, then cut to the step
        {-31, 3, -30},  // toward zero, not down to -33
        {-4, 3, -3},        {-31, 1, -31},       {95, 1, 80},        {80, 2, 80},
        {-31, 2, -30},      {kInt32Min, 3, -30}, {kInt32Max, 3, 78}, {50, 0, 50},  // damaged step: no division by zero
        {50, -3, 48},                                                              // negative step counts by its size
        {50, kInt32Min, 0}, {50, kInt32Max, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuantiseGain(c.v, c.step), c.want) << c.v << " step " << c.step;
    }
}

TEST(GainRules, TypedGainTruncatesAndSaturates) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float typed;
        int32_t want;
    } cases[] = {
        {100.0f, 78},  {-31.0f, -30}, {12.9f, 12}, {-4.5f, -3}, {1e10f, 78},
        {-1e10f, -30}, {nan, 0},      {inf, 78},   {-inf, -30}, {-0.9f, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(GainFromTyped(c.typed, 3), c.want) << c.typed;
}

TEST(GainRules, ChannelArrowCycle) {
    struct Case {
        const char* text;
        int delta;
        int32_t step;
        bool acted;
        int32_t value;
        const char* out;
    } cases[] = {
        {"", 1, 3, true, 80, "80"},        // lower arrow on an empty edit starts at the top
        {"", -1, 3, true, -31, "-31"},     // ... upper arrow at the bottom, unquantised
        {"-31", -1, 3, true, -27, "-27"},  // -31 cuts to -30 before stepping
        {"-30", 1, 3, true, -30, ""},      // past -31: edit cleared, value kept
        {"78", -1, 3, true, 78, ""},       // past 80
        {"80", -1, 1, true, 80, ""},
        {"79", -1, 1, true, 80, "80"},
        {"-30", 1, 1, true, -31, "-31"},
        {"12abc", 1, 2, true, 10, "10"},  // leading integer part
        {"abc", 1, 3, true, -3, "-3"},    // no number reads as 0
        // A number outside -31..80 typed without Enter steps from its limit,
        // and the box shows what was sent also where no step is left.
        {"95", 1, 3, true, 75, "75"},
        {"95", -1, 3, true, 78, "78"},
        {"99999", 1, 3, true, 75, "75"},
        {"99999", -1, 3, true, 78, "78"},
        {"81", -1, 1, true, 80, "80"},
        {"-500", -1, 3, true, -27, "-27"},
        {"-500", 1, 3, true, -30, "-30"},
        {"-50", -1, 3, true, -27, "-27"},
        {"99999999999", 1, 3, true, 75, "75"},
        {"-99999999999", -1, 1, true, -30, "-30"},
        {"10", 0, 3, false, 0, "10"},  // not a step
        {"10", 2, 3, false, 0, "10"},  // accelerated repeat is not acted on
        {"10", -2, 3, false, 0, "10"},
        {"10", 1, 0, true, 9, "9"},  // damaged step counts as 1
    };
    for (const auto& c : cases) {
        const ArrowResult r = StepGainArrow(c.text, c.delta, c.step);
        EXPECT_EQ(r.acted, c.acted) << c.text << " delta " << c.delta;
        if (!c.acted) continue;
        EXPECT_EQ(r.value, c.value) << c.text << " delta " << c.delta;
        EXPECT_EQ(r.text, c.out) << c.text << " delta " << c.delta;
    }
}

// The keys step as the arrows do but never wrap: a held Down ends at -31.
TEST(GainRules, UpDownKeysStopAtTheRangeEnds) {
    struct Case {
        const char* text;
        int delta;
        int32_t step, stored;
        bool acted;
        int32_t value;
    } cases[] = {
        {"-30", 1, 3, -30, true, -31},   // the arrow would clear the box: the key takes the end
        {"-31", 1, 3, -31, false, -31},  // at the end: nothing more, also held
        {"-31", 1, 1, -31, false, -31}, {"78", -1, 3, 78, true, 80},
        {"80", -1, 3, 80, false, 80},   {"80", 1, 3, 80, true, 75},  // cut to the step first, as the arrows do
        {"-31", -1, 3, -31, true, -27}, {"", 1, 3, -30, true, -31},  // the box an arrow emptied: from the gain it sent
        {"", -1, 3, 80, true, 80},                                   // ... shown again, never the far end
        {"", -1, 2, 10, true, 12},      {"99999", -1, 3, 0, true, 80},  // typed past the end: the end goes out
        {"-500", 1, 3, 0, true, -31},   {"10", 0, 3, 10, false, 10},    // not a step
        {"10", 2, 3, 10, false, 10},
    };
    for (const auto& c : cases) {
        const ArrowResult r = StepGainKey(c.text, c.delta, c.step, c.stored);
        EXPECT_EQ(r.acted, c.acted) << c.text << " delta " << c.delta;
        if (!c.acted) continue;
        EXPECT_EQ(r.value, c.value) << c.text << " delta " << c.delta;
        EXPECT_EQ(r.text, std::to_string(c.value)) << c.text << " delta " << c.delta;
    }
    // Held Down from the top with each step: every value in range, ends at -31.
    for (int32_t step = 1; step <= 3; ++step) {
        std::string text = "80";
        int presses = 0;
        for (ArrowResult r = StepGainKey(text, 1, step, 80); r.acted; r = StepGainKey(text, 1, step, 80)) {
            ASSERT_GE(r.value, GAIN_MIN_DB);
            text = r.text;
            ASSERT_LT(++presses, 200);
        }
        EXPECT_EQ(text, "-31") << "step " << step;
    }
}

// What the tool runs at becomes the manual gain: never a step away, never
// outside the drive range (a read-back word is whatever the frame held).
TEST(GainRules, BumplessGainsStayWithinAStepOfTheReport) {
    struct Case {
        int32_t step;
        int32_t reported[4];
        int32_t want[4];
    } cases[] = {
        {3, {39, 47, 54, -5}, {39, 45, 54, -3}}, {1, {39, 47, 54, -5}, {39, 47, 54, -5}},
        {2, {80, -31, 0, 1}, {80, -30, 0, 0}},   {3, {500, -500, kInt32Max, kInt32Min}, {78, -30, 78, -30}},
        {0, {7, 8, 9, 10}, {7, 8, 9, 10}},  // a damaged step counts as 1
    };
    for (const auto& c : cases) {
        int32_t out[4] = {};
        BumplessGains(c.reported, 4, c.step, out);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(out[i], c.want[i]) << "step " << c.step << " ch " << i;
            const int64_t within = c.reported[i] < GAIN_MIN_DB   ? GAIN_MIN_DB
                                   : c.reported[i] > GAIN_MAX_DB ? GAIN_MAX_DB
                                                                 : c.reported[i];
            EXPECT_LT(std::llabs(within - out[i]), c.step < 1 ? 1 : c.step) << "step " << c.step << " ch " << i;
        }
    }
}

TEST(GainRules, AllArrowsStepEachChannelOnItsOwn) {
    struct Case {
        int delta;
        int32_t step;
        int32_t in[4];
        int32_t want[4];
    } cases[] = {
        {-1, 3, {79, 10, -31, 0}, {80, 13, -28, 3}},  // upper adds, not quantised
        {1, 3, {79, 10, -31, 0}, {76, 7, -31, -3}},   // lower subtracts
        {-5, 2, {0, 0, 0, 0}, {2, 2, 2, 2}},          // by sign, not size
        {0, 1, {5, 5, 5, 5}, {4, 4, 4, 4}},           // zero is "otherwise": down
        {-1, 3, {kInt32Max, kInt32Min, 200, -200}, {80, -31, 80, -31}},
        {1, 3, {kInt32Min, kInt32Max, 1, 2}, {-31, 80, -2, -1}},
    };
    for (const auto& c : cases) {
        int32_t g[4] = {c.in[0], c.in[1], c.in[2], c.in[3]};
        EXPECT_TRUE(StepAllRelative(g, 4, c.delta, c.step));
        for (int i = 0; i < 4; ++i) EXPECT_EQ(g[i], c.want[i]) << "delta " << c.delta << " ch " << i;
    }
    EXPECT_FALSE(StepAllRelative(nullptr, 4, -1, 3));
    int32_t one = 5;
    EXPECT_FALSE(StepAllRelative(&one, 0, -1, 3));
    EXPECT_EQ(one, 5);
}

TEST(GainRules, WindowEndWithinLowerBoundAndShownInterval) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float typed;
        int32_t code, interval, want;
    } cases[] = {
        {50, CMD_MONO_WIN_END, 24, 80},
        {10000, CMD_MONO_WIN_END, 24, 8640},
        {1e10f, CMD_MONO_WIN_END, 24, 8640},
        {10000, CMD_MONO_WIN_END, 12, 4320},
        {20000, CMD_MONO_WIN_END, 36, 12960},
        {500.9f, CMD_MONO_WIN_END, 24, 500},
        {nan, CMD_MONO_WIN_END, 24, 80},
        {-3e9f, CMD_MONO_WIN_END, 24, 80},
        {100, CMD_DIPOLE_WIN_END, 36, 240},
        {20000, CMD_DIPOLE_WIN_END, 36, 12960},
        {20000, CMD_DIPOLE_WIN_END, 24, 8640},
        {20000, CMD_DIPOLE_WIN_END, 48, 17280},
        // An interval that is not a list entry counts as the one the list shows.
        {50, CMD_MONO_WIN_END, 0, 80},
        {20000, CMD_MONO_WIN_END, 0, 12960},
        {20000, CMD_MONO_WIN_END, 30, 12960},
        {3e9f, CMD_MONO_WIN_END, 2000000000, 12960},
        {100, CMD_DIPOLE_WIN_END, 0, 240},
        {20000, CMD_DIPOLE_WIN_END, 12, 17280},
        {-3e9f, CMD_DIPOLE_WIN_END, -2000000000, 240},
    };
    for (const auto& c : cases) {
        ParameterSet p{};
        p.MonoSampleRate = p.DipoleSampleRate = c.interval;
        EXPECT_EQ(WindowEndFromTyped(c.typed, c.code, p), c.want) << c.typed << " interval " << c.interval;
    }
}

TEST(GainRules, DtWindowEndSentIsTheBlocksWithinItsRange) {
    struct Case {
        int32_t start, length, end, lengthAfter;
    } cases[] = {
        {400, 600, 1000, 600},    {2000, 1200, 3200, 1200},
        {80, 200, 280, 200},      {1900, 1500, 3200, 1300},  // a stored length past its slider shortens to fit
        {50, 200, 280, 200},                                 // a stored start below its range goes out as 80
        {50, 308, 388, 308},      {kInt32Max, kInt32Max, 3200, 1200},
        {2000, -4000, 2200, 200},  // an end before its start: the shortest window
    };
    for (const auto& c : cases) {
        const DtWindowEnd w = FitDtWindowEnd(c.start, c.length);
        EXPECT_EQ(w.end, c.end) << c.start << "+" << c.length;
        EXPECT_EQ(w.length, c.lengthAfter) << c.start << "+" << c.length;
    }
}

// What the operator reads at a box: the text refused (long garbage cut, an
// empty or blank box named so) and both numbers of a limited value.
TEST(GainRules, EntryNotesNameTheTextAndBothValues) {
    const std::string range = "-31 to 80 dB in steps of 3 dB";
    struct Case {
        std::string got, want;
    } cases[] = {
        {RefusedEntryTip("4o", range), "Not taken: \"4o\" is not a whole number (" + range + ")"},
        {RefusedEntryTip("", range), "Not taken: an empty box is not a whole number (" + range + ")"},
        {RefusedEntryTip("  ", range), "Not taken: an empty box is not a whole number (" + range + ")"},
        {RefusedEntryTip(std::string(300, '9') + "x", range),
         "Not taken: \"" + std::string(16, '9') + "...\" is not a whole number (" + range + ")"},
        {LimitedEntryTip(90, 78, "dB", range), "Sent 78 dB, not 90 dB (" + range + ")"},
        {LimitedEntryTip(-5, 99, "", "any"), "Sent 99, not -5 (any)"},
        {LimitedEntryNote("Monopole CH3 gain", 4, 3, "dB"), "Monopole CH3 gain limited: 4 dB typed, 3 dB sent"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, c.got);
}

}  // namespace
}  // namespace kelvane
