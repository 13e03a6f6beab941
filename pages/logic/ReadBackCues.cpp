#include "pages/logic/ReadBackCues.h"

#include <cstdio>

#include "core/logic/Saturate.h"
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

namespace {
template <typename... Args>
std::string Format(const char* format, Args... args) {
    char text[128];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}
}  // namespace

std::string MismatchTip(int32_t reported, int32_t setting) {
    return Format("Tool reports %d dB, set to %d dB", static_cast<int>(reported), static_cast<int>(setting));
}

std::string GainRangeTip(int32_t step) {
    return Format("%d to %d dB in steps of %d dB", static_cast<int>(GAIN_MIN_DB), static_cast<int>(GAIN_MAX_DB),
                  static_cast<int>(step));
}

std::string RangeTip(int32_t lo, int32_t hi, const char* unit) {
    std::string tip = Format("%d to %d", static_cast<int>(lo), static_cast<int>(hi));
    if (unit && *unit) tip += std::string(" ") + unit;
    return tip;
}

std::string AnyIntegerTip(const char* unit) {
    std::string tip = "any integer";
    if (unit && *unit) tip += std::string(", ") + unit;
    return tip;
}

std::string LimitedTip(int32_t from, int32_t sent, const char* unit) {
    return Format("%d %s is outside the range; %d %s was sent", static_cast<int>(from), unit, static_cast<int>(sent),
                  unit);
}

std::string WindowEndTip(int32_t lowerBound, int32_t sampleInterval) {
    const int32_t upper = MulSat(360, sampleInterval);
    const std::string why = Format(" (360 x %d us)", static_cast<int>(sampleInterval));
    if (upper < lowerBound) return Format("%d us", static_cast<int>(upper)) + why;
    return RangeTip(lowerBound, upper, "us") + why;
}

}  // namespace kelvane
