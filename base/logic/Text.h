// Small text rules the settings file, the set-ups and the typed boxes share:
// ASCII only, whatever locale the host set (see NumberText.h).
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

// The C locale's blanks, as isspace gives them there.
constexpr const char* kCBlanks = " \t\n\v\f\r";

// s without the given blanks at either end.
std::string Trimmed(const std::string& s, const char* blanks = kCBlanks);

// A-Z to a-z; every other byte as it is.
inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
std::string Lower(std::string s);

// Profile names (sections, keys, file name parts) compare without ASCII case.
bool SameName(const std::string& a, const std::string& b);

// The platform's integer-field rule: optional blanks around an optional sign
// and at least one digit, nothing else, and the value must fit in int32.
bool ParseStrictInt(const std::string& text, int32_t* out);

// A command code's low 16 bits as "0x822a", or "0x822A" with upperCase.
std::string CodeHex(int32_t code, bool upperCase);

}  // namespace kelvane
