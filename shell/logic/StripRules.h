// The status strip's time and text decisions, apart from the window so they
// are tested at their edges with the clock handed in: when read-back
// notices count as a stream, when the read-back turns old between two status
// ticks, and what the failure part says, whole and shortened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

// Displays closer together than this are a stream (the next one may wait
// behind the operator's input).
constexpr uint32_t kStreamGapMs = 50;
inline bool Streaming(uint32_t nowMs, uint32_t lastShownMs) { return nowMs - lastShownMs < kStreamGapMs; }

// The read-back is sinceMs old and turns old at staleAfterMs: the delay of a
// timer that greys it on time, when that moment comes before the next status
// tick (0: the tick itself comes first, or it is old already).
uint32_t StaleTimerDelay(bool stale, uint32_t sinceMs, uint32_t staleAfterMs, uint32_t tickMs);

// What went wrong, for the strip's failure part.
struct StripFailure {
    std::string dsp;                  // "" or the DSP error's note
    std::string saveLine;             // "" or how the last save went wrong, whole
    std::string saveShort;            // its short form ("" : the whole one)
    std::string journal;              // "" or why the job journal is not written
    std::vector<std::string> health;  // the health flag's forms, whole first ("" none)
};
// Whole first, then ever shorter forms (no two alike); none while nothing
// went wrong. A health flag leads; a DSP error becomes "DSP error", a save
// its short form and then its essence, the journal "Journal not written".
std::vector<std::string> StripFailureForms(const StripFailure& in);

}  // namespace kelvane
