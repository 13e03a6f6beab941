// General control page: sample-interval choices, Download validation, DSP status lines.
#pragma once

#include <cstdint>
#include <string>

#include "base/logic/Text.h"  // ParseStrictInt, for the pages
#include "core/logic/ParameterSet.h"

namespace kelvane {

// Sample-interval lists: monopole 12/24/36 us, dipole 24/36/48 us; any other
// stored value selects the last entry.
int MonoIntervalIndex(int32_t us);
int DipoleIntervalIndex(int32_t us);
int32_t MonoIntervalFromIndex(int idx);
int32_t DipoleIntervalFromIndex(int idx);

// The Download fields in the order they are validated.
enum DownloadField {
    kDipoleDelay,
    kDipoleDelayStep,
    kDtDelay,
    kDtDelayStep,
    kMonoDelay,
    kMonoDelayStep,
    kDtSampleInterval,
    kDownloadFieldCount
};

struct DownloadFieldRule {
    const char* label;
    bool bounded;  // false: any integer is accepted
    int32_t min;
    int32_t max;
    int32_t sentMax = 0;  // nonzero: Download lowers a value above it to it
};
extern const DownloadFieldRule kDownloadFieldRules[kDownloadFieldCount];

// "Dipole RxDelay(us): enter an integer from 240 to 800." or, unbounded,
// "Delta-T Samplerate(us): enter an integer.", and what Download sends where
// it lowers a value: "... from 80 to 400 (Download sends at most 200).".
std::string RangeMessage(const DownloadFieldRule& rule);

// Validates the texts (in DownloadField order) and fills values. Returns the
// index of the first failing field, or -1 when all pass; values of fields at
// and after a failure are left untouched.
int ValidateDownloadFields(const std::string texts[kDownloadFieldCount], int32_t values[kDownloadFieldCount]);

// Download lowers a Delta-T delay above 200 us to 200 without a message.
int32_t ClampDtDelay(int32_t v);

// The window ends a Download must send after its eight commands, because
// the sample intervals it stored lower their cap below them: each limited to
// its new cap, monopole first. Returns how many (0 to 2).
struct CappedWindowEnd {
    int32_t code;  // CMD_MONO_WIN_END or CMD_DIPOLE_WIN_END
    int32_t value;
};
int WindowEndsOverCap(const ParameterSet& p, CappedWindowEnd out[2]);

// DSP status: sixteen lines, flag 1 = OK (its bit clear), 0 = error.
constexpr int kDspLineCount = 16;
void DspFlagsFromWord(uint16_t word, int32_t flags[kDspLineCount]);
std::string DspStatusLine(int i, int flag);
// A report with an error line: what the strip says until an all-OK report
// ("DSP error reported HH:MM:SS"), "" when every line is OK or none came.
std::string DspErrorText(bool reported, const int32_t flags[kDspLineCount], int32_t at);

// How a status line is drawn. Before the tool's first report the lines say
// "ERROR." only because nothing is known yet: they are drawn as no data, not
// as sixteen alarms.
enum class DspLineLook { NoData, Ok, Error };
DspLineLook DspStatusLook(bool reported, int flag);

// The time of the last status report beside "Check": "No report yet", or
// "Last report HH:MM:SS" (24-hour clock; at in seconds since midnight).
std::string LastReportText(bool reported, int32_t at);

// "Check" is usable only in host states 1 and 2.
bool StatusCheckEnabled(int32_t hostState);

}  // namespace kelvane
