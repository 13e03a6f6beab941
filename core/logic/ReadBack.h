// The read-back gains of one data frame: 4 DT, 8 monopole, 8 dipole words.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "KelvaneHost.h"

namespace kelvane {

// The bytes of a frame CopyStatusWords reads, from its start: the monopole
// run first, the dipole run last.
struct ByteSpan {
    size_t begin;
    size_t end;
};
static_assert(READBACK_MONO_WORD < READBACK_DT_WORD && READBACK_DT_WORD < READBACK_DIPOLE_WORD,
              "the read-back runs lie in this order");
constexpr ByteSpan kReadBackSpan{2 * READBACK_MONO_WORD, 2 * (READBACK_DIPOLE_WORD + 8)};

// Written by ToolControlProcess (any host thread), read by the window thread:
// every word is a single aligned 32-bit atomic store.
struct ToolStatusSnapshot {
    std::atomic<int32_t> DtReadBack[4];
    std::atomic<int32_t> MonopoleReadBack[8];
    std::atomic<int32_t> DipoleReadBack[8];
};

// Sign-extends the three runs of 16-bit frame words, monopole, DT, dipole.
// A null frame leaves the snapshot unchanged.
void CopyStatusWords(ToolStatusSnapshot& snapshot, const int16_t* frame);

// A plain copy of the snapshot for display.
struct ReadBackWords {
    int32_t Dt[4];
    int32_t Monopole[8];
    int32_t Dipole[8];
};
ReadBackWords LoadReadBack(const ToolStatusSnapshot& snapshot);

// How frames arrive, for the window's timer: ToolControlProcess counts every
// call and the ones whose read-back words were copied, and notes the tick
// (milliseconds, wrapping) of the last of those.
class FrameCounts {
public:
    void Count(bool usable, uint32_t tick) {
        m_frames.fetch_add(1, std::memory_order_relaxed);
        if (!usable) return;
        m_lastUsableTick.store(tick, std::memory_order_relaxed);
        m_usable.fetch_add(1, std::memory_order_release);
    }
    uint32_t Frames() const { return m_frames.load(std::memory_order_relaxed); }
    uint32_t Usable() const { return m_usable.load(std::memory_order_acquire); }
    uint32_t LastUsableTick() const { return m_lastUsableTick.load(std::memory_order_relaxed); }

private:
    std::atomic<uint32_t> m_frames{0};
    std::atomic<uint32_t> m_usable{0};
    std::atomic<uint32_t> m_lastUsableTick{0};
};

}  // namespace kelvane
