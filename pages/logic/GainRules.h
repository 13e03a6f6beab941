// Gain and window arithmetic shared by the DT, Monopole and Dipole pages.
#pragma once

#include <cstdint>
#include <string>

#include "KelvaneHost.h"
#include "core/logic/ParameterSet.h"

namespace kelvane {

// Limits v to -31..80 dB, then truncates toward zero to a multiple of step.
int32_t QuantiseGain(int32_t v, int32_t step);

// A number typed into a gain edit: truncated (saturating, NaN gives 0), then quantised.
int32_t GainFromTyped(float typed, int32_t step);

// One click of a channel's up-down arrows (delta -1 upper, +1 lower).
struct ArrowResult {
    bool acted;        // false: the delta is not a step, nothing changes
    int32_t value;     // the gain to store and send
    std::string text;  // the edit's new text; empty clears it
    bool limited;      // the edit held a number outside -31..80, stepped from its limit
};
ArrowResult StepGainArrow(const std::string& editText, int delta, int32_t step);

// Up/Down in a gain box (delta -1 Up, +1 Down): the arrow's step, but a key
// stops at the range ends (-31, 80) instead of passing through the empty box
// to the other end, so a held key turns a gain all the way and no further.
// An empty box steps from stored, the gain it last sent. Not acted at an end.
ArrowResult StepGainKey(const std::string& editText, int delta, int32_t step, int32_t stored);

// Bumpless auto gain off: the gains the tool last reported become the manual
// gains, each within -31..80 and cut to the step as an entry is, so no channel
// moves by a whole step or more from what the tool runs at.
void BumplessGains(const int32_t* reported, int n, int32_t step, int32_t* out);

// The tip of a value the tool may not hold: nothing sent for it since start
// (a tip of its own), and what a range tip adds for it.
constexpr const char* kNotSentSinceStartTip = "Not sent since start: the tool may hold another value";
constexpr const char* kNotSentSinceStartNote = "not sent since start";

// The DT "ALL" arrows: every channel moves by one step, each limited on its own.
// Returns false only when there is nothing to step (null or empty array).
bool StepAllRelative(int32_t* gains, int n, int delta, int32_t step);

// Auto-gain window end (CMD_MONO_WIN_END or CMD_DIPOLE_WIN_END): at most 360 x
// the sample interval the General page shows, then at least its lower bound.
int32_t WindowEndFromTyped(float typed, int32_t code, const ParameterSet& p);

// The DT window sent when a move ends: the end the block holds (FitDtWindows
// of start and length); the length follows a fitted end so that the block,
// the parameter set and the command agree.
struct DtWindowEnd {
    int32_t end;
    int32_t length;
};
DtWindowEnd FitDtWindowEnd(int32_t start, int32_t length);

// What the operator is told at a box whose text Enter refused (anything but a
// whole number: letters, "4o", "1e3", empty, a sign alone), with the box's
// range: "Not taken: \"4o\" is not a whole number (-31 to 80 dB ...)".
std::string RefusedEntryTip(const std::string& text, const std::string& range);
// A whole number sent limited or cut to the step: "Sent 78 dB, not 90 dB (...)".
std::string LimitedEntryTip(int32_t typed, int32_t sent, const char* unit, const std::string& range);
// The journal's line for it: "Monopole CH3 gain limited: 90 dB typed, 78 dB sent".
std::string LimitedEntryNote(const std::string& what, int32_t typed, int32_t sent, const char* unit);

}  // namespace kelvane
