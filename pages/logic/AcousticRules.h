// Acoustic process page: tenth-scaled sliders and receiver link shifting.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

constexpr int32_t kStartOffsetMin = 120;
constexpr int32_t kStartOffsetMax = 2000;
constexpr int32_t kThresholdMinPosMin = 1;
constexpr int32_t kThresholdMinPosMax = 100;

// Slider position -> stored value: pos / 10 in double, kept as the nearest float.
float TenthValue(int pos);

// Stored value -> slider position, rounded (half away from zero, saturating) so
// that a stored 0.7f, slightly below 0.7, starts at 7 and not at 6.
int TenthPosition(float stored);

// A linked receiver's slider moved along with the operator's one (0-based receiver).
struct SliderShift {
    int receiver;
    int32_t position;
};

// Receiver k's start-offset slider moved to p; its offset was storedBefore.
// Every other linked receiver shifts by the same difference, skipped if that
// would leave 120..2000.
std::vector<SliderShift> LinkedStartShifts(int k, int32_t p, int32_t storedBefore, const int32_t positions[4],
                                           const int32_t links[4]);

// The same for threshold minimums, in slider steps of 0.1; targets outside 1..100
// are skipped like the start offsets' rather than taken past the slider's range.
std::vector<SliderShift> LinkedMinShifts(int k, int32_t p, float storedBefore, const int32_t positions[4],
                                         const int32_t links[4]);

// The typed pairs that must keep their order: DtMin not above DtMax, LowCut
// below HighCut. Why the pair is refused, for the note at the box ("DtMin 40
// would be above DtMax 30: not taken"), or "" when it holds.
std::string DtPairRefusal(int32_t dtMin, int32_t dtMax);
std::string CutPairRefusal(int32_t lowCut, int32_t highCut);

}  // namespace kelvane
