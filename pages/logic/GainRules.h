// Gain and window arithmetic shared by the DT, Monopole and Dipole pages.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

constexpr int32_t kGainMin = -31;
constexpr int32_t kGainMax = 80;
constexpr int32_t kMonoWindowEndMin = 80;
constexpr int32_t kDipoleWindowEndMin = 240;

// Limits v to -31..80 dB, then truncates toward zero to a multiple of step.
int32_t QuantiseGain(int32_t v, int32_t step);

// A number typed into a gain edit: truncated (saturating, NaN gives 0), then quantised.
int32_t GainFromTyped(float typed, int32_t step);

// One click of a channel's up-down arrows (delta -1 upper, +1 lower).
struct ArrowResult {
    bool acted;        // false: the delta is not a step, nothing changes
    int32_t value;     // the gain to store and send
    std::string text;  // the edit's new text; empty clears it
};
ArrowResult StepGainArrow(const std::string& editText, int delta, int32_t step);

// The DT "ALL" arrows: every channel moves by one step, each limited on its own.
// Returns false only when there is nothing to step (null or empty array).
bool StepAllRelative(int32_t* gains, int n, int delta, int32_t step);

// Auto-gain window end: at least lowerBound, then at most 360 x sample interval.
int32_t WindowEndFromTyped(float typed, int32_t lowerBound, int32_t sampleInterval);

}  // namespace kelvane
