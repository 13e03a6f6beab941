#include "base/logic/Text.h"

#include "base/logic/NumberText.h"
#include "base/logic/Saturate.h"

namespace kelvane {

std::string Trimmed(const std::string& s, const char* blanks) {
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

std::string Lower(std::string s) {
    for (char& c : s) c = LowerAscii(c);
    return s;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

bool ParseStrictInt(const std::string& text, int32_t* out) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && IsCBlank(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const size_t firstDigit = i;
    int64_t v = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > int64_t{2147483648}) return false;  // beyond int32 either way; stop before int64 overflows
    }
    if (i == firstDigit) return false;
    while (i < n && IsCBlank(text[i])) ++i;
    if (i != n) return false;
    if (negative) v = -v;
    if (v > kInt32Max || v < kInt32Min) return false;
    if (out) *out = static_cast<int32_t>(v);
    return true;
}

std::string CodeHex(int32_t code, bool upperCase) {
    const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(static_cast<uint32_t>(code) >> shift) & 0xF];
    return text;
}

}  // namespace kelvane
