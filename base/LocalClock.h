// The local wall clock, read in one place: the status strip's times and the
// field trace's stamps agree because both come from here.
#pragma once

#include <windows.h>

#include <cstdint>

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

}  // namespace kelvane

// The local time of day, in seconds since midnight: the strip's clock.
inline int32_t LocalSecondsOfDay() { return kelvane::ReadLocalClock().msOfDay / 1000; }
