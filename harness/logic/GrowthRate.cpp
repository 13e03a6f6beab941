#include "harness/logic/GrowthRate.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

namespace kelvane {

double MedianSlope(const std::vector<double>& x, const std::vector<double>& y) {
    std::vector<double> slopes;
    const size_t n = std::min(x.size(), y.size());
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            if (x[j] != x[i]) slopes.push_back((y[j] - y[i]) / (x[j] - x[i]));
    if (slopes.empty()) return 0;
    const size_t mid = slopes.size() / 2;
    std::nth_element(slopes.begin(), slopes.begin() + static_cast<std::ptrdiff_t>(mid), slopes.end());
    const double upper = slopes[mid];
    if (slopes.size() % 2 == 1) return upper;
    const double lower = *std::max_element(slopes.begin(), slopes.begin() + static_cast<std::ptrdiff_t>(mid));
    return (lower + upper) / 2;
}

GrowthVerdict JudgeGrowth(const std::vector<UsageSample>& samples, const GrowthBounds& bounds) {
    std::vector<double> cycle, bytes, gdi, user, kernel;
    for (const UsageSample& s : samples) {
        cycle.push_back(s.cycle);
        bytes.push_back(s.privateBytes);
        gdi.push_back(static_cast<double>(s.gdi));
        user.push_back(static_cast<double>(s.user));
        kernel.push_back(static_cast<double>(s.kernel));
    }
    GrowthVerdict v;
    v.bytesPerCycle = MedianSlope(cycle, bytes);
    v.gdiPerCycle = MedianSlope(cycle, gdi);
    v.userPerCycle = MedianSlope(cycle, user);
    v.kernelPerCycle = MedianSlope(cycle, kernel);
    const struct {
        const char* what;
        double rate, bound;
    } checks[] = {{"private bytes", v.bytesPerCycle, bounds.bytesPerCycle},
                  {"GDI objects", v.gdiPerCycle, bounds.handlesPerCycle},
                  {"USER objects", v.userPerCycle, bounds.handlesPerCycle},
                  {"kernel handles", v.kernelPerCycle, bounds.handlesPerCycle}};
    for (const auto& c : checks) {
        if (c.rate <= c.bound) continue;
        char line[96];
        std::snprintf(line, sizeof line, "%s%s grow %.3g per cycle (bound %.3g)", v.why.empty() ? "" : "; ", c.what,
                      c.rate, c.bound);
        v.why += line;
        v.ok = false;
    }
    return v;
}

std::string DescribeGrowth(const GrowthVerdict& v, const GrowthBounds& bounds) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "per cycle: private %+.0f B (bound %.0f), GDI %+.3f, USER %+.3f, kernel %+.3f (bound %.2f)",
                  v.bytesPerCycle, bounds.bytesPerCycle, v.gdiPerCycle, v.userPerCycle, v.kernelPerCycle,
                  bounds.handlesPerCycle);
    return line;
}

}  // namespace kelvane
