#include "pages/logic/AcousticRules.h"

#include "base/logic/Saturate.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>

namespace kelvane {
namespace {

std::string Describe(const std::vector<SliderShift>& shifts) {
    std::ostringstream s;
    for (const auto& x : shifts) s << x.receiver << "->" << x.position << ' ';
    return s.str();
}

TEST(AcousticRules, TenthScaling) {
    struct Case {
        int pos;
        float value;
    } cases[] = {
        {1, 0.1f}, {7, 0.7f}, {10, 1.0f}, {11, 1.1f}, {50, 5.0f}, {100, 10.0f}, {0, 0.0f},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TenthValue(c.pos), c.value) << c.pos;               // nearest float of the double quotient
        EXPECT_EQ(TenthPosition(TenthValue(c.pos)), c.pos) << c.pos;  // and back without drift
    }
}

TEST(AcousticRules, TenthPositionRounds) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float stored;
        int pos;
    } cases[] = {
        {0.7f, 7},  // slightly below 0.7: truncation would give 6
        {0.3f, 3},   {0.29f, 3}, {0.24f, 2},       {0.25f, 3},        {0.0f, 0},
        {-0.7f, -7}, {nan, 0},   {inf, kInt32Max}, {-inf, kInt32Min}, {1e30f, kInt32Max},
    };
    for (const auto& c : cases) EXPECT_EQ(TenthPosition(c.stored), c.pos) << c.stored;
}

TEST(AcousticRules, LinkedStartShifts) {
    struct Case {
        const char* name;
        int k;
        int32_t p, stored;
        int32_t positions[4], links[4];
        std::string want;
    } cases[] = {
        {"beyond 2000 is skipped", 1, 680, 600, {1990, 680, 300, 300}, {1, 1, 0, 0}, ""},
        {"shift by the same difference", 1, 680, 600, {1900, 680, 300, 300}, {1, 1, 0, 1}, "0->1980 3->380 "},
        {"stored outside range: d against stored", 2, 128, 50, {500, 500, 128, 500}, {1, 0, 1, 0}, "0->578 "},
        {"bounds inclusive", 0, 200, 100, {200, 1900, 20, 120}, {1, 1, 1, 1}, "1->2000 2->120 3->220 "},
        {"below 120 is skipped", 0, 120, 200, {120, 199, 200, 2000}, {1, 1, 1, 1}, "2->120 3->1920 "},
        {"only one linked", 0, 500, 400, {500, 600, 700, 800}, {1, 0, 0, 0}, ""},
        {"mover not linked", 0, 500, 400, {500, 600, 700, 800}, {0, 1, 1, 1}, ""},
        {"no links", 3, 500, 400, {500, 600, 700, 800}, {0, 0, 0, 0}, ""},
        {"zero difference still rewrites", 0, 400, 400, {400, 600, 700, 800}, {1, 1, 0, 0}, "1->600 "},
        {"huge difference saturates", 0, kInt32Max, kInt32Min, {500, 600, 700, 800}, {1, 1, 1, 1}, ""},
        {"receiver out of range", 4, 500, 400, {500, 600, 700, 800}, {1, 1, 1, 1}, ""},
        {"negative receiver", -1, 500, 400, {500, 600, 700, 800}, {1, 1, 1, 1}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Describe(LinkedStartShifts(c.k, c.p, c.stored, c.positions, c.links)), c.want) << c.name;
    }
}

TEST(AcousticRules, LinkedMinShifts) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        int k;
        int32_t p;
        float stored;
        int32_t positions[4], links[4];
        std::string want;
    } cases[] = {
        {"0.0 beside position 1: d = 1", 0, 1, 0.0f, {1, 1, 5, 5}, {1, 1, 0, 0}, "1->2 "},
        {"0.7f moved to 7: d = 0", 0, 7, 0.7f, {7, 30, 5, 5}, {1, 1, 0, 0}, "1->30 "},
        {"plain step", 2, 12, 1.0f, {20, 40, 12, 100}, {1, 0, 1, 1}, "0->22 "},
        {"beyond 100 skipped", 0, 15, 1.0f, {15, 96, 95, 50}, {1, 1, 1, 0}, "2->100 "},
        {"below 1 skipped", 0, 1, 0.5f, {1, 5, 4, 1}, {1, 1, 1, 1}, "1->1 "},
        {"only one linked", 1, 50, 2.0f, {10, 50, 30, 40}, {0, 1, 0, 0}, ""},
        {"NaN stored reads as 0", 0, 3, nan, {3, 10, 1, 1}, {1, 1, 0, 0}, "1->13 "},
        {"huge stored saturates", 0, 1, 1e30f, {1, 10, 1, 1}, {1, 1, 1, 1}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Describe(LinkedMinShifts(c.k, c.p, c.stored, c.positions, c.links)), c.want) << c.name;
    }
}

// Equal bounds: a DT range of one value is a range, a band of no width is not.
TEST(AcousticRules, PairsOutOfOrderAreRefusedAndNamed) {
    struct Case {
        bool dt;
        int32_t lo, hi;
        const char* want;
    } cases[] = {
        {true, 40, 30, "Not taken: DtMin 40 would be above DtMax 30"},
        {true, 30, 30, ""},
        {true, -5, 30, ""},
        {true, 2147483647, -2147483647 - 1, "Not taken: DtMin 2147483647 would be above DtMax -2147483648"},
        {false, 3000, 3000, "Not taken: Low Freq Cutoff 3000 would not be below High Freq Cutoff 3000"},
        {false, 5000, 3000, "Not taken: Low Freq Cutoff 5000 would not be below High Freq Cutoff 3000"},
        {false, 2999, 3000, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.want, c.dt ? DtPairRefusal(c.lo, c.hi) : CutPairRefusal(c.lo, c.hi)) << c.lo << " " << c.hi;
}

}  // namespace
}  // namespace kelvane
