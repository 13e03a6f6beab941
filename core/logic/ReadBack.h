// The read-back gains of one data frame: 4 DT, 8 monopole, 8 dipole words.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "KelvaneHost.h"

namespace kelvane {

// The bytes of a frame CopyReadBackGains reads, from its start: the monopole
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
struct ReadBackGainSnapshot {
    std::atomic<int32_t> DtReadBack[4];
    std::atomic<int32_t> MonopoleReadBack[8];
    std::atomic<int32_t> DipoleReadBack[8];
};

// Sign-extends the three runs of 16-bit frame words, monopole, DT, dipole.
// A null frame leaves the snapshot unchanged.
void CopyReadBackGains(ReadBackGainSnapshot& snapshot, const int16_t* frame);

// A plain copy of the snapshot for display.
struct ReadBackWords {
    int32_t Dt[4];
    int32_t Monopole[8];
    int32_t Dipole[8];
};
ReadBackWords LoadReadBack(const ReadBackGainSnapshot& snapshot);

// How frames arrive, for the window's timer: ToolControlProcess counts the
// calls whose read-back words were copied and those without, and notes the
// tick (milliseconds, wrapping) of the last usable one. Each frame adds to
// exactly one count, so a reader on another thread, whatever it catches
// mid-way, never sees a frame without words that did not come.
class FrameCounts {
public:
    void Count(bool usable, uint32_t tick) {
        if (!usable) {
            m_dropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        m_lastUsableTick.store(tick, std::memory_order_relaxed);
        m_usable.fetch_add(1, std::memory_order_release);
    }
    // One reading of the counts: frames = usable + dropped as read.
    struct Tally {
        uint32_t frames;
        uint32_t usable;
        uint32_t lastUsableTick;  // of the last usable frame counted in usable
    };
    Tally Read() const {
        const uint32_t usable = Usable();
        const uint32_t lastTick = LastUsableTick();
        return {usable + Dropped(), usable, lastTick};
    }
    uint32_t Usable() const { return m_usable.load(std::memory_order_acquire); }
    uint32_t Dropped() const { return m_dropped.load(std::memory_order_relaxed); }
    uint32_t LastUsableTick() const { return m_lastUsableTick.load(std::memory_order_relaxed); }

private:
    std::atomic<uint32_t> m_dropped{0};
    std::atomic<uint32_t> m_usable{0};
    std::atomic<uint32_t> m_lastUsableTick{0};
};

}  // namespace kelvane
