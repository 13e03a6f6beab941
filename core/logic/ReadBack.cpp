#include "core/logic/ReadBack.h"

#include <cstring>

#include "KelvaneHost.h"

namespace kelvane {
namespace {
template <size_t N>
void CopyRun(std::atomic<int32_t> (&dst)[N], const int16_t* frame, int firstWord) {
    // The host's frame need not be 2-byte aligned: copy bytes, then sign-extend.
    for (size_t i = 0; i < N; ++i) {
        int16_t word;
        std::memcpy(&word, reinterpret_cast<const unsigned char*>(frame) + 2 * (firstWord + i), 2);
        dst[i].store(word, std::memory_order_relaxed);
    }
}
template <size_t N>
void LoadRun(int32_t (&dst)[N], const std::atomic<int32_t> (&src)[N]) {
    for (size_t i = 0; i < N; ++i) dst[i] = src[i].load(std::memory_order_relaxed);
}
}  // namespace

void CopyReadBackGains(ReadBackGainSnapshot& snapshot, const int16_t* frame) {
    if (!frame) return;
    CopyRun(snapshot.MonopoleReadBack, frame, READBACK_MONO_WORD);
    CopyRun(snapshot.DtReadBack, frame, READBACK_DT_WORD);
    CopyRun(snapshot.DipoleReadBack, frame, READBACK_DIPOLE_WORD);
}

ReadBackWords LoadReadBack(const ReadBackGainSnapshot& snapshot) {
    ReadBackWords w;
    LoadRun(w.Dt, snapshot.DtReadBack);
    LoadRun(w.Monopole, snapshot.MonopoleReadBack);
    LoadRun(w.Dipole, snapshot.DipoleReadBack);
    return w;
}

}  // namespace kelvane
