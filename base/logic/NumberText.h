// Numbers as text in the C locale's form, whatever locale the host set for
// the C runtime it shares with us (hosts commonly call setlocale(LC_ALL, "")
// and get a decimal comma). Every reader and writer of numbers goes through
// here: INI load and save, labels, edit and read-back boxes, tips, the
// bench's journal. Nothing here consults the process locale.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

// The C library's isspace in the "C" locale, as atoi and atof skip it.
inline bool IsCBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// atoi without its overflow: leading blanks, optional sign, digits; saturates.
int32_t ParseLeadingInt(const char* text);
// atof narrowed to float, reading only its plain decimal form (blanks, sign,
// digits, point, exponent: no hex, "inf" or "nan"). Beyond float's range it
// gives the largest finite float of the sign; below it, zero.
float ParseLeadingFloat(const char* text);

// "%d".
std::string FormatInt(int32_t v);
// The shortest text that reads back as v (plain or exponent form, C form).
std::string FormatShortest(float v);
// "%.<decimals>lf" (decimals 0..9) as the C runtime writes it in the "C"
// locale: fixed notation, the exact binary value rounded half to even.
std::string FormatFixed(double v, int decimals);

// A time of day, in seconds since midnight, as "HH:MM:SS" (outside the day: "00:00:00").
std::string FormatClock(int32_t secondsOfDay);

}  // namespace kelvane
