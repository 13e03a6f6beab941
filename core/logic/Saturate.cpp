#include "core/logic/Saturate.h"

#include <cstdlib>
#include <string>

namespace kelvane {

int32_t ParseLeadingInt(const char* text) {
    if (!text) return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (IsCBlank(static_cast<char>(*p))) ++p;
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
    // Only atof's plain decimal form counts: blanks, sign, digits, point,
    // exponent. The runtime's strtod also takes hex, "inf" and "nan", which
    // would let "0x20" type a 32 dB gain; the prefix is cut to the plain form.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (IsCBlank(static_cast<char>(*p))) ++p;
    const unsigned char* start = p;
    if (*p == '+' || *p == '-') ++p;
    size_t digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p) ++digits;
    if (*p == '.')
        for (++p; *p >= '0' && *p <= '9'; ++p) ++digits;
    if (digits == 0) return 0.0f;
    if (*p == 'e' || *p == 'E') {
        const unsigned char* e = p + 1;
        if (*e == '+' || *e == '-') ++e;
        if (*e >= '0' && *e <= '9') {
            p = e;
            while (*p >= '0' && *p <= '9') ++p;
        }
    }
    const std::string plain(reinterpret_cast<const char*>(start), static_cast<size_t>(p - start));
    double d = std::strtod(plain.c_str(), nullptr);
    // Narrowing a double outside float's range is undefined; clamp to infinity.
    if (d > 3.4028234663852886e38) return std::numeric_limits<float>::infinity();
    if (d < -3.4028234663852886e38) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

}  // namespace kelvane
