// What the gain pages tell the operator beyond the values themselves: a
// read-back that keeps disagreeing with its setting, and the range and unit
// of each numeric control.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

// Consecutive disagreeing notices before a channel is shown as a mismatch:
// one or two are the tool still settling after a new gain.
constexpr int32_t kMismatchNotices = 3;
constexpr int kMaxCueChannels = 8;

// Per channel, counts the read-back notices in a row in which the reported
// gain differed from the gain set for it.
class ReadBackCues {
public:
    // One handled notice. manualGain: the section's auto gain is off; with auto
    // gain the tool picks its gains, so nothing counts. A new setting starts
    // the count afresh, giving the tool its notices to follow it.
    // Returns a bit (1 << channel) for each channel whose warning changed.
    uint32_t Update(const int32_t* reported, const int32_t* setting, int channels, bool manualGain);
    // Forgets every count (a new page window, auto gain switched on).
    uint32_t Reset();

    bool Warning(int ch) const { return InRange(ch) && m_run[ch] >= kMismatchNotices; }
    int32_t Reported(int ch) const { return InRange(ch) ? m_reported[ch] : 0; }
    int32_t Setting(int ch) const { return InRange(ch) ? m_setting[ch] : 0; }

private:
    static bool InRange(int ch) { return ch >= 0 && ch < kMaxCueChannels; }
    int32_t m_run[kMaxCueChannels] = {};  // saturates at kMismatchNotices
    int32_t m_reported[kMaxCueChannels] = {};
    int32_t m_setting[kMaxCueChannels] = {};
    bool m_seen[kMaxCueChannels] = {};
};

// "Tool reports 5 dB, set to 12 dB"
std::string MismatchTip(int32_t reported, int32_t setting);
// "-31 to 80 dB in steps of 3 dB"
std::string GainRangeTip(int32_t step);
// "80 to 2000 us"; an empty unit leaves it off.
std::string RangeTip(int32_t lo, int32_t hi, const char* unit);
// "any integer, us/ft"
std::string AnyIntegerTip(const char* unit);
// The auto-gain window end as Enter limits it: "80 to 8640 us (360 x 24 us)".
// When 360 x interval is below the lower bound every entry becomes that product.
std::string WindowEndTip(int32_t lowerBound, int32_t sampleInterval);

// A value outside its drive range that went out limited: "500 dB is outside
// the range; 80 dB was sent".
std::string LimitedTip(int32_t from, int32_t sent, const char* unit);

}  // namespace kelvane
