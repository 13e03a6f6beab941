#include "base/logic/NumberText.h"

#include <charconv>
#include <limits>
#include <system_error>

#include "base/logic/Saturate.h"

namespace kelvane {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

constexpr float kFloatMax = std::numeric_limits<float>::max();

// Where a text's plain decimal number lies, sign excluded.
struct PlainDecimal {
    const char* begin = nullptr;  // first digit or the point
    const char* end = nullptr;    // one past the mantissa, or past the exponent when it has digits
    int64_t magnitude = 0;        // decimal exponent of the first significant digit (saturated)
    bool hasDigits = false;
};

// Past atoi's and atof's leading blanks and optional sign.
const char* SkipBlanksAndSign(const char* p, bool* negative) {
    while (IsCBlank(*p)) ++p;
    *negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    return p;
}

PlainDecimal ScanPlainDecimal(const char* p) {
    PlainDecimal d;
    d.begin = p;
    int64_t leading = 0;  // digits before the point, from the first significant one
    int64_t zeros = 0;    // zeros after the point before the first significant digit
    bool significant = false;
    for (; IsDigit(*p); ++p) {
        d.hasDigits = true;
        significant = significant || *p != '0';
        if (significant && leading < kInt32Max) ++leading;
    }
    if (*p == '.') {
        for (++p; IsDigit(*p); ++p) {
            d.hasDigits = true;
            if (!significant && *p == '0' && zeros < kInt32Max) ++zeros;
            significant = significant || *p != '0';
        }
    }
    d.end = p;
    int64_t exponent = 0;
    if (d.hasDigits && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        const bool negative = *e == '-';
        if (*e == '+' || *e == '-') ++e;
        if (IsDigit(*e)) {
            for (; IsDigit(*e); ++e)
                if (exponent < kInt32Max) exponent = exponent * 10 + (*e - '0');
            if (negative) exponent = -exponent;
            d.end = e;
        }
    }
    d.magnitude = exponent + (leading > 0 ? leading - 1 : -(zeros + 1));
    return d;
}

}  // namespace

int32_t ParseLeadingInt(const char* text) {
    if (!text) return 0;
    bool negative = false;
    const char* p = SkipBlanksAndSign(text, &negative);
    int64_t v = 0;
    for (; IsDigit(*p); ++p) {
        v = v * 10 + (*p - '0');
        if (v > int64_t{kInt32Max} + 1) v = int64_t{kInt32Max} + 1;  // keep saturated, stop growing
    }
    return SaturateInt64(negative ? -v : v);
}

float ParseLeadingFloat(const char* text) {
    if (!text) return 0.0f;
    bool negative = false;
    const PlainDecimal plain = ScanPlainDecimal(SkipBlanksAndSign(text, &negative));
    if (!plain.hasDigits) return 0.0f;
    // from_chars reads the C form without looking at the locale; it is
    // given only the plain part, so hex, "inf" and "nan" never reach it.
    double d = 0.0;
    const std::from_chars_result r = std::from_chars(plain.begin, plain.end, d, std::chars_format::general);
    float f;
    if (r.ec == std::errc::result_out_of_range) {
        f = plain.magnitude > 0 ? kFloatMax : 0.0f;  // beyond double either way
    } else if (d > kFloatMax) {
        // Narrowing beyond float's range is undefined (and raises overflow in
        // hosts that unmask it); the value stays finite for every reader.
        f = kFloatMax;
    } else {
        f = static_cast<float>(d);
    }
    return negative ? -f : f;
}

std::string FormatInt(int32_t v) {
    char buf[16];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string FormatShortest(float v) {
    char buf[32];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string FormatFixed(double v, int decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > 9) decimals = 9;
    // The widest double in fixed notation: sign, 309 digits, point, decimals.
    char buf[330];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

std::string FormatClock(int32_t secondsOfDay) {
    if (secondsOfDay < 0 || secondsOfDay >= 24 * 3600) secondsOfDay = 0;
    const auto two = [](int32_t v) {
        return std::string{static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
    };
    return two(secondsOfDay / 3600) + ":" + two(secondsOfDay / 60 % 60) + ":" + two(secondsOfDay % 60);
}

}  // namespace kelvane
