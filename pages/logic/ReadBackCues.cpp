#include "pages/logic/ReadBackCues.h"

#include "base/logic/NumberText.h"
#include "base/logic/Saturate.h"
#include "pages/logic/GainRules.h"

namespace kelvane {

uint32_t ReadBackCues::Update(const int32_t* reported, const int32_t* setting, int channels, bool manualGain) {
    if (!reported || !setting) return 0;
    if (channels > kMaxCueChannels) channels = kMaxCueChannels;
    uint32_t changed = 0;
    for (int ch = 0; ch < channels; ++ch) {
        const bool before = Warning(ch);
        if (m_seen[ch] && setting[ch] != m_setting[ch]) m_run[ch] = 0;
        if (!manualGain || reported[ch] == setting[ch]) m_run[ch] = 0;
        else if (m_run[ch] < kMismatchNotices) ++m_run[ch];
        m_reported[ch] = reported[ch];
        m_setting[ch] = setting[ch];
        m_seen[ch] = true;
        if (Warning(ch) != before) changed |= 1u << ch;
    }
    return changed;
}

uint32_t ReadBackCues::Reset() {
    uint32_t changed = 0;
    for (int ch = 0; ch < kMaxCueChannels; ++ch) {
        if (Warning(ch)) changed |= 1u << ch;
        m_run[ch] = 0;
        m_seen[ch] = false;
    }
    return changed;
}

std::string MismatchTip(int32_t reported, int32_t setting) {
    return "Tool reports " + FormatInt(reported) + " dB, set to " + FormatInt(setting) + " dB";
}

std::string GainRangeTip(int32_t step) {
    return FormatInt(GAIN_MIN_DB) + " to " + FormatInt(GAIN_MAX_DB) + " dB in steps of " + FormatInt(step) + " dB";
}

std::string RangeTip(int32_t lo, int32_t hi, const char* unit) {
    std::string tip = FormatInt(lo) + " to " + FormatInt(hi);
    if (unit && *unit) tip += std::string(" ") + unit;
    return tip;
}

std::string AnyIntegerTip(const char* unit) {
    std::string tip = "any integer";
    if (unit && *unit) tip += std::string(", ") + unit;
    return tip;
}

std::string LimitedTip(int32_t from, int32_t sent, const char* unit) {
    return FormatInt(from) + " " + unit + " is outside the range; " + FormatInt(sent) + " " + unit + " was sent";
}

std::string WindowEndTip(int32_t lowerBound, int32_t sampleInterval) {
    const int32_t upper = MulSat(360, sampleInterval);
    const std::string why = " (360 x " + FormatInt(sampleInterval) + " us)";
    if (upper < lowerBound) return FormatInt(upper) + " us" + why;
    return RangeTip(lowerBound, upper, "us") + why;
}

}  // namespace kelvane
