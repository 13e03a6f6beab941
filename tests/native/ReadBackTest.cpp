#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/ReadBack.h"
#include "base/logic/Saturate.h"

using namespace kelvane;

TEST(ReadBack, WordsAreSignExtendedFromTheirRuns) {
    std::vector<int16_t> frame(FRAME_MIN_WORDS + 1, 0);
    const struct {
        int word;
        int16_t raw;
        int32_t* (*slot)(ReadBackWords&);
        int32_t want;
    } cases[] = {
        {READBACK_MONO_WORD, static_cast<int16_t>(0xFFE1), [](ReadBackWords& w) { return &w.Monopole[0]; }, -31},
        {READBACK_MONO_WORD + 7, 0x0050, [](ReadBackWords& w) { return &w.Monopole[7]; }, 80},
        {READBACK_DT_WORD, -32768, [](ReadBackWords& w) { return &w.Dt[0]; }, -32768},
        {READBACK_DT_WORD + 3, 32767, [](ReadBackWords& w) { return &w.Dt[3]; }, 32767},
        {READBACK_DIPOLE_WORD + 7, -5, [](ReadBackWords& w) { return &w.Dipole[7]; }, -5},
    };
    for (const auto& c : cases) frame[c.word] = c.raw;
    ToolStatusSnapshot snap{};
    CopyStatusWords(snap, frame.data());
    ReadBackWords w = LoadReadBack(snap);
    for (const auto& c : cases) EXPECT_EQ(c.want, *c.slot(w)) << "word " << c.word;

    CopyStatusWords(snap, nullptr);  // a dropped frame changes nothing
    w = LoadReadBack(snap);
    EXPECT_EQ(-31, w.Monopole[0]);
}

TEST(Saturate, ConversionsNeverOverflow) {
    const struct {
        double in;
        int32_t trunc;
    } cases[] = {{12.9, 12},          {-4.5, -4},          {1e10, 2147483647},  {-1e10, -2147483647 - 1},
                 {2147483647.9, 2147483647}, {-2147483648.9, -2147483647 - 1}, {0.0 / 1.0, 0}};
    for (const auto& c : cases) EXPECT_EQ(c.trunc, TruncToInt32(c.in)) << c.in;
    EXPECT_EQ(0, TruncToInt32(std::nan("")));
}
