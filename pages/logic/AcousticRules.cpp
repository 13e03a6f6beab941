#include "pages/logic/AcousticRules.h"

#include "base/logic/NumberText.h"
#include "base/logic/Saturate.h"

namespace kelvane {

float TenthValue(int pos) { return static_cast<float>(pos / 10.0); }

int TenthPosition(float stored) { return RoundToInt32(static_cast<double>(stored) * 10.0); }

namespace {

// The difference d is taken against the stored value, not the slider's last
// position, so a stored value outside the slider's range shifts the others by
// the whole gap on the first notification.
std::vector<SliderShift> Shift(int k, int32_t d, int32_t lo, int32_t hi, const int32_t positions[4],
                               const int32_t links[4]) {
    std::vector<SliderShift> out;
    if (k < 0 || k > 3 || !links[k]) return out;
    for (int j = 0; j < 4; ++j) {
        if (j == k || !links[j]) continue;
        const int64_t t = int64_t{positions[j]} + d;
        if (t >= lo && t <= hi) out.push_back({j, static_cast<int32_t>(t)});
    }
    return out;
}

}  // namespace

std::vector<SliderShift> LinkedStartShifts(int k, int32_t p, int32_t storedBefore, const int32_t positions[4],
                                           const int32_t links[4]) {
    const int32_t d = SaturateInt64(int64_t{p} - storedBefore);
    return Shift(k, d, kStartOffsetMin, kStartOffsetMax, positions, links);
}

std::vector<SliderShift> LinkedMinShifts(int k, int32_t p, float storedBefore, const int32_t positions[4],
                                         const int32_t links[4]) {
    // The stored minimum in slider steps: widened, times 10, plus 0.5, truncated.
    const int32_t before = TruncToInt32(static_cast<double>(storedBefore) * 10.0 + 0.5);
    const int32_t d = SaturateInt64(int64_t{p} - before);
    return Shift(k, d, kThresholdMinPosMin, kThresholdMinPosMax, positions, links);
}

std::string DtPairRefusal(int32_t dtMin, int32_t dtMax) {
    if (dtMin <= dtMax) return std::string();
    return "Not taken: DtMin " + FormatInt(dtMin) + " would be above DtMax " + FormatInt(dtMax);
}

std::string CutPairRefusal(int32_t lowCut, int32_t highCut) {
    if (lowCut < highCut) return std::string();
    return "Not taken: Low Freq Cutoff " + FormatInt(lowCut) + " would not be below High Freq Cutoff " +
           FormatInt(highCut);
}

}  // namespace kelvane
