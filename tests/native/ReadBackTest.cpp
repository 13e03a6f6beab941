#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/ReadBack.h"
#include "core/logic/Saturate.h"

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
    const struct {
        const char* text;
        int32_t want;
    } ints[] = {{"  -12abc", -12}, {"+7", 7}, {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1},
                {"x1", 0},         {"", 0}};
    for (const auto& c : ints) EXPECT_EQ(c.want, ParseLeadingInt(c.text)) << c.text;
    EXPECT_TRUE(std::isinf(ParseLeadingFloat("1e300")));
    EXPECT_EQ(12.0f, ParseLeadingFloat("12abc"));
}

// atof's plain decimal form only: the runtime's strtod would also read hex,
// "inf" and "nan", so "0x20" typed in a gain box would send 32 dB.
TEST(Saturate, FloatTextReadsOnlyThePlainDecimalForm) {
    const struct {
        const char* text;
        float want;
    } cases[] = {{"0x20", 0.0f},    {"-0x1p3", -0.0f},  {"inf", 0.0f},     {"-Infinity", 0.0f}, {"nan", 0.0f},
                 {"NAN(1)", 0.0f},  {" \t12.9dB", 12.9f}, {"-4.5", -4.5f},  {"+.5", 0.5f},      {"7.", 7.0f},
                 {".", 0.0f},       {"-", 0.0f},       {"", 0.0f},        {"1e2", 100.0f},     {"1E+2x", 100.0f},
                 {"25e", 25.0f},    {"25e+", 25.0f},   {"2.5e-1", 0.25f}, {"3e1.5", 30.0f},    {"1 2", 1.0f}};
    for (const auto& c : cases) {
        const float got = ParseLeadingFloat(c.text);
        EXPECT_FALSE(std::isnan(got)) << c.text;
        EXPECT_EQ(c.want, got) << c.text;
    }
    EXPECT_TRUE(std::isinf(ParseLeadingFloat("-1e999")));
    EXPECT_EQ(1.0f, ParseLeadingFloat(std::string(70000, '0').append("1").c_str()));
}
