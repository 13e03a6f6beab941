// Days since 1970-01-01 of a civil date, for clocks that must run on across
// midnight, reloads and restarts (the journal's and the trend's wall time).
#pragma once

#include <cstdint>

namespace kelvane {

inline int64_t DaysSince1970(int64_t year, int64_t month, int64_t day) {
    // March-based years, so the leap day ends a year.
    const int64_t y = year - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

}  // namespace kelvane
