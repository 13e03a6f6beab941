// The leak detector of the cycle tests and the soak, fed with counts
// recorded under Wine: the clean runs pass, and the same runs with one
// handle, one GDI object, one USER object or 4 KB more per cycle each fail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness/logic/GrowthRate.h"

using namespace kelvane;

namespace {

// Cycles.WindowOpenCloseCycles, 150 cycles, a sample every 10 (the first
// ten fill the heap's caches: +212 KB once).
const std::vector<UsageSample> kWindowRun = {
    {0, 34103296, 230, 23, 38},   {10, 34320384, 230, 23, 38},  {20, 34320384, 230, 23, 38},
    {30, 34324480, 230, 23, 38},  {40, 34332672, 230, 23, 38},  {50, 34336768, 230, 23, 38},
    {60, 34344960, 230, 23, 38},  {70, 34349056, 230, 23, 38},  {80, 34349056, 230, 23, 38},
    {90, 34361344, 230, 23, 38},  {100, 34365440, 230, 23, 38}, {110, 34373632, 230, 23, 38},
    {120, 34373632, 230, 23, 38}, {130, 34373632, 230, 23, 38}, {140, 34373632, 230, 23, 38},
    {150, 34373632, 230, 23, 38},
};
// Cycles.LoadUnloadCycles, 30 cycles, a sample every 2.
const std::vector<UsageSample> kLoadRun = {
    {0, 28839936, 226, 20, 36},  {2, 28864512, 226, 20, 36},  {4, 28864512, 226, 20, 36},  {6, 28864512, 226, 20, 36},
    {8, 28864512, 226, 20, 36},  {10, 28864512, 226, 20, 36}, {12, 28872704, 226, 20, 36}, {14, 28876800, 226, 20, 36},
    {16, 28876800, 226, 20, 36}, {18, 28893184, 226, 20, 36}, {20, 28897280, 226, 20, 36}, {22, 28897280, 226, 20, 36},
    {24, 28897280, 226, 20, 36}, {26, 28897280, 226, 20, 36}, {28, 28901376, 226, 20, 36}, {30, 28901376, 226, 20, 36},
};

struct Leak {
    const char* name;
    double bytes;
    long gdi, user, kernel;
    const char* reported;  // in the verdict's reason; nullptr: passes
};

const Leak kLeaks[] = {
    {"none", 0, 0, 0, 0, nullptr},
    {"one kernel handle per cycle", 0, 0, 0, 1, "kernel handles"},
    {"one GDI object per cycle", 0, 1, 0, 0, "GDI objects"},
    {"one USER object per cycle", 0, 0, 1, 0, "USER objects"},
    {"4 KB per cycle", 4096, 0, 0, 0, "private bytes"},
};

std::vector<UsageSample> Planted(const std::vector<UsageSample>& run, const Leak& leak) {
    std::vector<UsageSample> out = run;
    for (UsageSample& s : out) {
        s.privateBytes += leak.bytes * s.cycle;
        s.gdi += leak.gdi * s.cycle;
        s.user += leak.user * s.cycle;
        s.kernel += leak.kernel * s.cycle;
    }
    return out;
}

TEST(GrowthRate, RecordedRunsPassAndEachPlantedLeakFails) {
    const struct {
        const char* name;
        const std::vector<UsageSample>& run;
        GrowthBounds bounds;
    } runs[] = {{"window cycles", kWindowRun, kWindowCycleBounds}, {"load cycles", kLoadRun, kLoadCycleBounds}};
    for (const auto& r : runs) {
        for (const Leak& leak : kLeaks) {
            const GrowthVerdict v = JudgeGrowth(Planted(r.run, leak), r.bounds);
            EXPECT_EQ(leak.reported == nullptr, v.ok) << r.name << ", " << leak.name << ": " << v.why;
            if (leak.reported) EXPECT_NE(std::string::npos, v.why.find(leak.reported)) << r.name << ": " << v.why;
            else EXPECT_EQ("", v.why);
        }
    }
}

// The later half of a 30 s soak recorded in a clean-clone run, with the
// process's windows open at each sample (1: the bench alone, 2: with the
// control window): its GDI and USER counts swing with the window, by 21 and
// 335, and judged as one series they read as 0.275 GDI objects a step.
TEST(GrowthRate, WindowsComingAndGoingAreNoLeak) {
    const std::vector<UsageSample> soak = {
        {111, 18809216, 266, 388, 43, 2}, {142, 17858160, 245, 53, 41, 1}, {177, 18912688, 259, 56, 42, 1},
        {180, 17892256, 249, 54, 42, 1},  {193, 17922256, 259, 56, 41, 1}, {201, 18788384, 272, 390, 41, 2},
        {212, 18792240, 272, 390, 41, 2},
    };
    const GrowthBounds shortSoak{16 * 1024, 0.25};
    const Leak leaks[] = {
        {"none", 0, 0, 0, 0, nullptr},
        {"one GDI object per step", 0, 1, 0, 0, "GDI objects"},
        {"one USER object per step", 0, 0, 1, 0, "USER objects"},
        {"one kernel handle per step", 0, 0, 0, 1, "kernel handles"},
        {"32 KB per step", 32 * 1024, 0, 0, 0, "private bytes"},
    };
    for (const Leak& leak : leaks) {
        const GrowthVerdict v = JudgeGrowth(Planted(soak, leak), shortSoak);
        EXPECT_EQ(leak.reported == nullptr, v.ok) << leak.name << ": " << v.why;
        if (leak.reported) {
            EXPECT_NE(std::string::npos, v.why.find(leak.reported)) << v.why;
        }
    }
    // A state seen only briefly is not the one judged: a leak still shows.
    std::vector<UsageSample> brief = Planted(soak, leaks[1]);
    brief.push_back({150, 17858160, 245 + 150, 53, 41, 3});
    brief.push_back({152, 17858160, 245 + 150, 53, 41, 3});
    EXPECT_FALSE(JudgeGrowth(brief, shortSoak).ok);
}

// What the median slope passes over and what it does not.
TEST(GrowthRate, MedianSlope) {
    const struct {
        const char* name;
        std::vector<double> y;
        double slope;
    } cases[] = {
        {"flat", {5, 5, 5, 5, 5, 5}, 0},
        {"a line", {0, 2, 4, 6, 8, 10}, 2},
        {"a cache filled once", {0, 8, 8, 8, 8, 8, 8, 8}, 0},
        {"one outlier", {0, 1, 2, 40, 4, 5, 6}, 1},
        {"a leak every other cycle", {0, 0, 1, 1, 2, 2, 3, 3}, 0.5},
    };
    for (const auto& c : cases) {
        std::vector<double> x;
        for (size_t i = 0; i < c.y.size(); ++i) x.push_back(static_cast<double>(i));
        EXPECT_NEAR(c.slope, MedianSlope(x, c.y), 0.1) << c.name;
    }
    EXPECT_EQ(0, MedianSlope({}, {}));
    EXPECT_EQ(0, MedianSlope({3, 3}, {1, 9}));
}

}  // namespace
