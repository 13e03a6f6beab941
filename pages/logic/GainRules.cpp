#include "pages/logic/GainRules.h"

#include "core/logic/DriveLimits.h"
#include "core/logic/IniRules.h"
#include "base/logic/NumberText.h"
#include "base/logic/Saturate.h"

namespace kelvane {

namespace {

// The step is 1, 2 or 3 once loaded; a damaged value must still not divide by
// zero or overflow, so 0 counts as 1 and a negative step by its size.
int64_t SafeStep(int32_t step) {
    int64_t s = step;
    if (s < 0) s = -s;
    return s == 0 ? 1 : s;
}

int64_t TruncToStep(int64_t v, int64_t s) { return (v / s) * s; }

int32_t LimitGain(int64_t v) {
    if (v < GAIN_MIN_DB) return GAIN_MIN_DB;
    if (v > GAIN_MAX_DB) return GAIN_MAX_DB;
    return static_cast<int32_t>(v);
}

}  // namespace

int32_t QuantiseGain(int32_t v, int32_t step) {
    return static_cast<int32_t>(TruncToStep(LimitGain(v), SafeStep(step)));
}

int32_t GainFromTyped(float typed, int32_t step) { return QuantiseGain(TruncToInt32(typed), step); }

ArrowResult StepGainArrow(const std::string& editText, int delta, int32_t step) {
    const bool lower = delta == 1;
    if (!lower && delta != -1) return {false, 0, editText, false};

    // An empty edit starts from the far end of the range, unquantised, so
    // stepping past one bound wraps to the other through an empty edit.
    if (editText.empty()) {
        return lower ? ArrowResult{true, GAIN_MAX_DB, "80", false} : ArrowResult{true, GAIN_MIN_DB, "-31", false};
    }

    // A number typed without Enter counts from its limit: "99999" steps down
    // from 80, never to 99996 dB.
    const int64_t s = SafeStep(step);
    const int32_t typed = ParseLeadingInt(editText.c_str());
    const bool limited = LimitGain(typed) != typed;
    int64_t c = TruncToStep(LimitGain(typed), s);
    bool stepped = false;
    if (lower && c - s >= GAIN_MIN_DB) {
        c -= s;
        stepped = true;
    } else if (!lower && c + s <= GAIN_MAX_DB) {
        c += s;
        stepped = true;
    }
    const int32_t value = SaturateInt64(c);
    // A limited number shows what was sent, also where no step was left.
    const bool showValue = stepped || limited;
    return {true, value, showValue ? std::to_string(value) : std::string(), limited};
}

ArrowResult StepGainKey(const std::string& editText, int delta, int32_t step, int32_t stored) {
    const bool lower = delta == 1;
    if (!lower && delta != -1) return {false, 0, editText, false};
    const int64_t s = SafeStep(step);
    const int32_t typed = editText.empty() ? stored : ParseLeadingInt(editText.c_str());
    const int32_t from = LimitGain(typed);
    const bool limited = from != typed;
    const int64_t c = TruncToStep(from, s);
    // Past an end the key takes the end itself, which the arrows also reach.
    const int32_t next = LimitGain(lower ? c - s : c + s);
    if (next == from && !limited && !editText.empty()) return {false, from, editText, false};
    return {true, next, std::to_string(next), limited};
}

void BumplessGains(const int32_t* reported, int n, int32_t step, int32_t* out) {
    if (!reported || !out) return;
    for (int i = 0; i < n; ++i) out[i] = QuantiseGain(reported[i], step);
}

bool StepAllRelative(int32_t* gains, int n, int delta, int32_t step) {
    if (!gains || n <= 0) return false;
    // The platform's arrows go by sign: negative is the upper arrow. A zero
    // delta falls under "otherwise" and steps down like the lower arrow.
    const int64_t s = delta < 0 ? SafeStep(step) : -SafeStep(step);
    for (int i = 0; i < n; ++i) gains[i] = LimitGain(int64_t{gains[i]} + s);
    return true;
}

int32_t WindowEndFromTyped(float typed, int32_t code, const ParameterSet& p) {
    return LimitDriveValue(code, TruncToInt32(typed), p);
}

DtWindowEnd FitDtWindowEnd(int32_t start, int32_t length) {
    const DtWindows w = FitDtWindows(start, length, 0);
    if (int64_t{w.end[0]} - w.start[0] == length) return {w.end[0], length};
    return {w.end[0], w.end[0] - w.start[0]};
}

namespace {
// Long garbage is shown by its start: the note must fit beside the box.
constexpr size_t kShownTextMax = 16;
}

std::string RefusedEntryTip(const std::string& text, const std::string& range) {
    const bool blank = text.find_first_not_of(" \t") == std::string::npos;
    std::string what;
    if (blank) {
        what = "an empty box";
    } else {
        what = "\"" + (text.size() > kShownTextMax ? text.substr(0, kShownTextMax) + "..." : text) + "\"";
    }
    return "Not taken: " + what + " is not a whole number (" + range + ")";
}

std::string LimitedEntryTip(int32_t typed, int32_t sent, const char* unit, const std::string& range) {
    const std::string u = unit && *unit ? std::string(" ") + unit : std::string();
    return "Sent " + FormatInt(sent) + u + ", not " + FormatInt(typed) + u + " (" + range + ")";
}

std::string LimitedEntryNote(const std::string& what, int32_t typed, int32_t sent, const char* unit) {
    const std::string u = unit && *unit ? std::string(" ") + unit : std::string();
    return what + " limited: " + FormatInt(typed) + u + " typed, " + FormatInt(sent) + u + " sent";
}

}  // namespace kelvane
