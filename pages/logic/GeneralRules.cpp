#include "pages/logic/GeneralRules.h"

#include "base/logic/NumberText.h"
#include "base/logic/Saturate.h"
#include "core/logic/DriveLimits.h"
#include "KelvaneHost.h"

namespace kelvane {

int MonoIntervalIndex(int32_t us) { return us == 12 ? 0 : us == 24 ? 1 : 2; }
int DipoleIntervalIndex(int32_t us) { return us == 24 ? 0 : us == 36 ? 1 : 2; }
// Wide: the index comes from a list and may be its "no selection" value.
int32_t MonoIntervalFromIndex(int idx) { return SaturateInt64((int64_t{idx} + 1) * 12); }
int32_t DipoleIntervalFromIndex(int idx) { return SaturateInt64((int64_t{idx} + 1) * 12 + 12); }

const DownloadFieldRule kDownloadFieldRules[kDownloadFieldCount] = {
    {"Dipole RxDelay(us)", true, 240, 800, 0},   {"Dipole RxDelay step(us)", true, 0, 300, 0},
    {"Delta-T RxDelay(us)", true, 80, 400, 200}, {"Delta-T RxDelay step(us)", true, 0, 125, 0},
    {"Monopole RxDelay(us)", true, 80, 400, 0},  {"Monopole RxDelay step(us)", true, 0, 125, 0},
    {"Delta-T Samplerate(us)", false, 0, 0, 0},
};

std::string RangeMessage(const DownloadFieldRule& rule) {
    std::string msg = std::string(rule.label) + ": enter an integer";
    if (rule.bounded) {
        msg += " from " + std::to_string(rule.min) + " to " + std::to_string(rule.max);
        if (rule.sentMax != 0) msg += " (Download sends at most " + std::to_string(rule.sentMax) + ")";
    }
    return msg + ".";
}

int ValidateDownloadFields(const std::string texts[kDownloadFieldCount], int32_t values[kDownloadFieldCount]) {
    for (int f = 0; f < kDownloadFieldCount; ++f) {
        const DownloadFieldRule& rule = kDownloadFieldRules[f];
        int32_t v = 0;
        if (!ParseStrictInt(texts[f], &v)) return f;
        if (rule.bounded && (v < rule.min || v > rule.max)) return f;
        values[f] = v;
    }
    return -1;
}

int32_t ClampDtDelay(int32_t v) {
    const int32_t most = kDownloadFieldRules[kDtDelay].sentMax;
    return v > most ? most : v;
}

int WindowEndsOverCap(const ParameterSet& p, CappedWindowEnd out[2]) {
    int n = 0;
    const struct {
        int32_t code;
        int32_t end;
    } ends[2] = {{CMD_MONO_WIN_END, p.MonoWindowsEnd}, {CMD_DIPOLE_WIN_END, p.DipoleWindowsEnd}};
    for (const auto& e : ends) {
        const int32_t limited = LimitDriveValue(e.code, e.end, p);
        if (limited < e.end) out[n++] = {e.code, limited};
    }
    return n;
}

std::string DspErrorText(bool reported, const int32_t flags[kDspLineCount], int32_t at) {
    if (!reported) return std::string();
    for (int i = 0; i < kDspLineCount; ++i)
        if (flags[i] != 1) return "DSP error reported " + FormatClock(at);
    return std::string();
}

void DspFlagsFromWord(uint16_t word, int32_t flags[kDspLineCount]) {
    for (int i = 0; i < kDspLineCount; ++i) flags[i] = ((word >> i) & 1) ? 0 : 1;
}

std::string DspStatusLine(int i, int flag) {
    // Both panel names have the same length so the two lists line up.
    const unsigned line = static_cast<unsigned>(i);
    const char* panel = (line / 4) % 2 == 0 ? "MASTER PANEL DSP#" : "SLAVE  PANEL DSP#";
    return std::string(panel) + FormatInt(static_cast<int32_t>(line % 4) + 1) + ": " + (flag == 1 ? "OK." : "ERROR.");
}

DspLineLook DspStatusLook(bool reported, int flag) {
    if (!reported) return DspLineLook::NoData;
    return flag == 1 ? DspLineLook::Ok : DspLineLook::Error;
}

std::string LastReportText(bool reported, int32_t at) {
    return reported ? "Last report " + FormatClock(at) : "No report yet";
}

bool StatusCheckEnabled(int32_t hostState) { return hostState == 1 || hostState == 2; }

}  // namespace kelvane
