// Leak detection by growth rate: what a process holds, sampled along a run of
// cycles, and the rate at which each count grows. A robust slope (the median
// of the slopes between every two samples) ignores the one-off steps of
// caches the system fills once and the page-sized steps of the heap, and
// still sees a leak of one handle per cycle after a few dozen cycles.
#pragma once

#include <string>
#include <vector>

namespace kelvane {

// What the process holds after `cycle` cycles, in `state`: a run whose
// windows come and go (the soak) tells which are open, since each holds its
// own handles and memory; samples are compared only with others in the same
// state.
struct UsageSample {
    int cycle;
    double privateBytes;
    long gdi, user, kernel;
    int state = 0;
};

// The growth each count may show per cycle.
struct GrowthBounds {
    double bytesPerCycle;
    double handlesPerCycle;  // each of GDI, USER and kernel
};

// The bounds of the cycle tests (tests/wine/CyclesTest.cpp), measured under
// Wine. A window open and close leaves about 0.5 KB of heap bookkeeping;
// 1.5 KB still catches a lost view with its pages (several KB) or image list
// (about 20 KB). A load and unload gives back every handle (the runtime's own
// leftovers are released, see core/RuntimeUnload.cpp) and leaves about 2 KB;
// without that release a load kept two handles and 4 to 10 KB, and anything
// larger kept per load (a page object, an image list, a settings cache)
// exceeds 4 KB. A leak of one handle per cycle grows by 1.
constexpr GrowthBounds kWindowCycleBounds{1.5 * 1024, 0.05};
constexpr GrowthBounds kLoadCycleBounds{4 * 1024, 0.08};

struct GrowthVerdict {
    double bytesPerCycle = 0, gdiPerCycle = 0, userPerCycle = 0, kernelPerCycle = 0;
    bool ok = true;
    std::string why;  // every count over its bound, "" when none
};

// The median of the slopes between every two samples (Theil-Sen); 0 for
// fewer than two samples or samples all at one cycle.
double MedianSlope(const std::vector<double>& x, const std::vector<double>& y);

// Each count's rate is the median slope within one state, the least over the
// states whose samples span at least half the run (or the one spanning most):
// a leak grows in every state, while a window's own handles only differ
// between states.
GrowthVerdict JudgeGrowth(const std::vector<UsageSample>& samples, const GrowthBounds& bounds);

// One line with the rates and the bounds, for the log.
std::string DescribeGrowth(const GrowthVerdict& v, const GrowthBounds& bounds);

}  // namespace kelvane
