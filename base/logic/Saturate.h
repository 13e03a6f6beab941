// Conversions that never overflow: values come from files, typing and the host.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace kelvane {

constexpr int32_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();

inline int32_t SaturateInt64(int64_t v) {
    if (v > kInt32Max) return kInt32Max;
    if (v < kInt32Min) return kInt32Min;
    return static_cast<int32_t>(v);
}

// Truncates toward zero; saturates to the int32 range; NaN gives 0.
inline int32_t TruncToInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483648.0) return kInt32Max;
    if (v <= -2147483649.0) return kInt32Min;
    return static_cast<int32_t>(v);
}

// Rounds half away from zero; saturates; NaN gives 0.
inline int32_t RoundToInt32(double v) {
    if (std::isnan(v)) return 0;
    return TruncToInt32(v < 0 ? v - 0.5 : v + 0.5);
}

inline int32_t AddSat(int32_t a, int32_t b) { return SaturateInt64(int64_t{a} + b); }
inline int32_t MulSat(int32_t a, int32_t b) { return SaturateInt64(int64_t{a} * b); }

}  // namespace kelvane
