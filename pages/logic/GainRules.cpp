#include "pages/logic/GainRules.h"

#include "core/logic/NumberText.h"
#include "core/logic/Saturate.h"

namespace kelvane {

namespace {

// The step is 1, 2 or 3 once loaded; a damaged value must still not divide by
// zero or overflow, so 0 counts as 1 and a negative step by its size.
int64_t SafeStep(int32_t step) {
    int64_t s = step;
    if (s < 0) s = -s;
    return s == 0 ? 1 : s;
}

int64_t TruncToStep(int64_t v, int64_t s) { return (v / s) * s; }

int32_t LimitGain(int64_t v) {
    if (v < kGainMin) return kGainMin;
    if (v > kGainMax) return kGainMax;
    return static_cast<int32_t>(v);
}

}  // namespace

int32_t QuantiseGain(int32_t v, int32_t step) {
    return static_cast<int32_t>(TruncToStep(LimitGain(v), SafeStep(step)));
}

int32_t GainFromTyped(float typed, int32_t step) {
    return QuantiseGain(TruncToInt32(typed), step);
}

ArrowResult StepGainArrow(const std::string& editText, int delta, int32_t step) {
    const bool lower = delta == 1;
    if (!lower && delta != -1) return {false, 0, editText};

    // An empty edit starts from the far end of the range, unquantised, so
    // stepping past one bound wraps to the other through an empty edit.
    if (editText.empty()) {
        return lower ? ArrowResult{true, kGainMax, "80"} : ArrowResult{true, kGainMin, "-31"};
    }

    // Only the bound in the step's direction is checked: a typed 95 steps down from 93.
    const int64_t s = SafeStep(step);
    int64_t c = TruncToStep(ParseLeadingInt(editText.c_str()), s);
    bool stepped = false;
    if (lower && c - s >= kGainMin) {
        c -= s;
        stepped = true;
    } else if (!lower && c + s <= kGainMax) {
        c += s;
        stepped = true;
    }
    const int32_t value = SaturateInt64(c);
    return {true, value, stepped ? std::to_string(value) : std::string()};
}

bool StepAllRelative(int32_t* gains, int n, int delta, int32_t step) {
    if (!gains || n <= 0) return false;
    // The platform's arrows go by sign: negative is the upper arrow. A zero
    // delta falls under "otherwise" and steps down like the lower arrow.
    const int64_t s = delta < 0 ? SafeStep(step) : -SafeStep(step);
    for (int i = 0; i < n; ++i) gains[i] = LimitGain(int64_t{gains[i]} + s);
    return true;
}

int32_t WindowEndFromTyped(float typed, int32_t lowerBound, int32_t sampleInterval) {
    int32_t w = TruncToInt32(typed);
    if (w <= lowerBound) w = lowerBound;
    // Lower bound first: when 360 x interval is below it, the upper limit wins.
    const int32_t m = MulSat(360, sampleInterval);
    if (w >= m) w = m;
    return w;
}

}  // namespace kelvane
