#include "harness/logic/GrowthRate.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <map>

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

namespace {

struct Rates {
    double bytes = 0, gdi = 0, user = 0, kernel = 0;
};

Rates RatesOf(const std::vector<UsageSample>& samples) {
    std::vector<double> cycle, bytes, gdi, user, kernel;
    for (const UsageSample& s : samples) {
        cycle.push_back(s.cycle);
        bytes.push_back(s.privateBytes);
        gdi.push_back(static_cast<double>(s.gdi));
        user.push_back(static_cast<double>(s.user));
        kernel.push_back(static_cast<double>(s.kernel));
    }
    return Rates{MedianSlope(cycle, bytes), MedianSlope(cycle, gdi), MedianSlope(cycle, user),
                 MedianSlope(cycle, kernel)};
}

int Span(const std::vector<UsageSample>& samples) {
    int lo = samples.front().cycle, hi = lo;
    for (const UsageSample& s : samples) {
        lo = std::min(lo, s.cycle);
        hi = std::max(hi, s.cycle);
    }
    return hi - lo;
}

}  // namespace

GrowthVerdict JudgeGrowth(const std::vector<UsageSample>& samples, const GrowthBounds& bounds) {
    std::map<int, std::vector<UsageSample>> byState;
    for (const UsageSample& s : samples) byState[s.state].push_back(s);
    const int whole = samples.empty() ? 0 : Span(samples);
    int widest = 0;
    for (const auto& group : byState) widest = std::max(widest, Span(group.second));
    GrowthVerdict v;
    bool first = true;
    for (const auto& group : byState) {
        const int span = Span(group.second);
        if (span == 0 || (2 * span < whole && span < widest)) continue;
        const Rates r = RatesOf(group.second);
        v.bytesPerCycle = first ? r.bytes : std::min(v.bytesPerCycle, r.bytes);
        v.gdiPerCycle = first ? r.gdi : std::min(v.gdiPerCycle, r.gdi);
        v.userPerCycle = first ? r.user : std::min(v.userPerCycle, r.user);
        v.kernelPerCycle = first ? r.kernel : std::min(v.kernelPerCycle, r.kernel);
        first = false;
    }
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
    std::snprintf(
        line, sizeof line, "per cycle: private %+.0f B (bound %.0f), GDI %+.3f, USER %+.3f, kernel %+.3f (bound %.2f)",
        v.bytesPerCycle, bounds.bytesPerCycle, v.gdiPerCycle, v.userPerCycle, v.kernelPerCycle, bounds.handlesPerCycle);
    return line;
}

}  // namespace kelvane
