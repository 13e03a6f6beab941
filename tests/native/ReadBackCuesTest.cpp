#include "pages/logic/ReadBackCues.h"

#include "base/logic/Saturate.h"

#include <gtest/gtest.h>

#include <vector>

namespace kelvane {
namespace {

// One channel fed a sequence of notices: (reported, setting, manual gain),
// with the warning expected after each.
struct Notice {
    int32_t reported;
    int32_t setting;
    bool manual;
    bool warn;
};

TEST(ReadBackCues, MismatchCountsConsecutiveNotices) {
    struct Case {
        const char* name;
        std::vector<Notice> notices;
    } cases[] = {
        {"third disagreeing notice warns", {{5, 12, true, false}, {5, 12, true, false}, {5, 12, true, true}}},
        {"stays while it disagrees, even as the report moves",
         {{5, 12, true, false}, {6, 12, true, false}, {7, 12, true, true}, {8, 12, true, true}}},
        {"agreement clears at once and restarts the count",
         {{5, 12, true, false},
          {5, 12, true, false},
          {5, 12, true, true},
          {12, 12, true, false},
          {5, 12, true, false},
          {5, 12, true, false},
          {5, 12, true, true}}},
        {"an agreeing notice between breaks the run",
         {{5, 12, true, false},
          {5, 12, true, false},
          {12, 12, true, false},
          {5, 12, true, false},
          {5, 12, true, false},
          {5, 12, true, true}}},
        {"auto gain: never",
         {{5, 12, false, false}, {5, 12, false, false}, {5, 12, false, false}, {5, 12, false, false}}},
        {"auto gain on clears a warning and its count",
         {{5, 12, true, false},
          {5, 12, true, false},
          {5, 12, true, true},
          {5, 12, false, false},
          {5, 12, true, false},
          {5, 12, true, false},
          {5, 12, true, true}}},
        {"a new setting gets its own three notices",
         {{5, 12, true, false},
          {5, 12, true, false},
          {5, 12, true, true},
          {5, 18, true, false},
          {5, 18, true, false},
          {5, 18, true, true}}},
        {"extremes compare exactly",
         {{kInt32Min, kInt32Max, true, false},
          {kInt32Min, kInt32Max, true, false},
          {kInt32Min, kInt32Max, true, true},
          {kInt32Max, kInt32Max, true, false}}},
    };
    for (const auto& c : cases) {
        ReadBackCues cues;
        for (size_t i = 0; i < c.notices.size(); ++i) {
            const Notice& n = c.notices[i];
            const bool before = cues.Warning(0);
            const uint32_t changed = cues.Update(&n.reported, &n.setting, 1, n.manual);
            EXPECT_EQ(n.warn, cues.Warning(0)) << c.name << ", notice " << i + 1;
            EXPECT_EQ(before != n.warn ? 1u : 0u, changed) << c.name << ", notice " << i + 1;
        }
    }
}

TEST(ReadBackCues, ChannelsCountApartAndReportWhatChanged) {
    ReadBackCues cues;
    const int32_t setting[8] = {0, 10, 20, 30, 40, 50, 60, 70};
    int32_t reported[8] = {0, 10, 99, 30, 40, 50, 60, -5};  // channels 3 and 8 disagree
    EXPECT_EQ(0u, cues.Update(reported, setting, 8, true));
    EXPECT_EQ(0u, cues.Update(reported, setting, 8, true));
    EXPECT_EQ((1u << 2) | (1u << 7), cues.Update(reported, setting, 8, true));
    EXPECT_EQ(99, cues.Reported(2));
    EXPECT_EQ(20, cues.Setting(2));
    reported[7] = 70;  // channel 8 follows at last
    EXPECT_EQ(1u << 7, cues.Update(reported, setting, 8, true));
    EXPECT_TRUE(cues.Warning(2));
    EXPECT_FALSE(cues.Warning(7));
    EXPECT_EQ(1u << 2, cues.Reset());
    EXPECT_FALSE(cues.Warning(2));
    EXPECT_EQ(0u, cues.Reset());
}

TEST(ReadBackCues, BadArgumentsChangeNothing) {
    ReadBackCues cues;
    const int32_t words[12] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    const int32_t zeros[12] = {};
    EXPECT_EQ(0u, cues.Update(nullptr, zeros, 4, true));
    EXPECT_EQ(0u, cues.Update(words, nullptr, 4, true));
    // More channels than a page has: only the first eight count.
    for (int i = 0; i < 2; ++i) cues.Update(words, zeros, 12, true);
    EXPECT_EQ(0xFFu, cues.Update(words, zeros, 12, true));
    EXPECT_EQ(0u, cues.Update(words, zeros, -1, true));
    EXPECT_FALSE(cues.Warning(8));
    EXPECT_FALSE(cues.Warning(-1));
    EXPECT_EQ(0, cues.Reported(99));
}

TEST(ReadBackCues, TipTexts) {
    struct Case {
        std::string got, want;
    } cases[] = {
        {MismatchTip(5, 12), "Tool reports 5 dB, set to 12 dB"},
        {MismatchTip(-32768, -31), "Tool reports -32768 dB, set to -31 dB"},
        {GainRangeTip(3), "-31 to 80 dB in steps of 3 dB"},
        {GainRangeTip(1), "-31 to 80 dB in steps of 1 dB"},
        {RangeTip(80, 2000, "us"), "80 to 2000 us"},
        {RangeTip(1, 50, ""), "1 to 50"},
        {AnyIntegerTip("us/ft"), "any integer, us/ft"},
        {AnyIntegerTip(nullptr), "any integer"},
        // The window end follows "Mono SAMPLERATE" / "Dipole SAMPLERATE".
        {WindowEndTip(80, 24), "80 to 8640 us (360 x 24 us)"},
        {WindowEndTip(240, 48), "240 to 17280 us (360 x 48 us)"},
        // Below the lower bound every entry becomes 360 x interval.
        {WindowEndTip(240, 0), "0 us (360 x 0 us)"},
        {WindowEndTip(80, kInt32Max), "80 to 2147483647 us (360 x 2147483647 us)"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, c.got);
}

}  // namespace
}  // namespace kelvane
