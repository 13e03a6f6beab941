// The local wall clock, read in one place: the status strip's times and the
// field trace's stamps agree because both come from here.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/logic/CivilDays.h"

namespace kelvane {

struct LocalClockReading {
    int32_t date;     // yyyymmdd
    int32_t msOfDay;  // milliseconds since local midnight
};

inline LocalClockReading ReadLocalClock() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear * 10000 + t.wMonth * 100 + t.wDay,
            ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds};
}

// Local wall time in milliseconds since 1970-01-01 (local midnight based):
// the trend's clock that survives a reload and a host restart, as ticks do not.
inline int64_t LocalWallMs() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    const int64_t days = DaysSince1970(t.wYear, t.wMonth, t.wDay);
    return ((days * 24 + t.wHour) * 60 + t.wMinute) * 60000 + t.wSecond * 1000 + t.wMilliseconds;
}

}  // namespace kelvane

// The local time of day, in seconds since midnight: the strip's clock.
inline int32_t LocalSecondsOfDay() { return kelvane::ReadLocalClock().msOfDay / 1000; }
