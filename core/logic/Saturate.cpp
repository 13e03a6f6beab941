#include "core/logic/Saturate.h"

#include <cctype>
#include <cstdlib>

namespace kelvane {

int32_t ParseLeadingInt(const char* text) {
    if (!text) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > int64_t{kInt32Max} + 1) v = int64_t{kInt32Max} + 1;  // keep saturated, stop growing
    }
    return SaturateInt64(negative ? -v : v);
}

float ParseLeadingFloat(const char* text) {
    if (!text) return 0.0f;
    double d = std::strtod(text, nullptr);
    // Narrowing a double outside float's range is undefined; clamp to infinity.
    if (d > 3.4028234663852886e38) return std::numeric_limits<float>::infinity();
    if (d < -3.4028234663852886e38) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

}  // namespace kelvane
