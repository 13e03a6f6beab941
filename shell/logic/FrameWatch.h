// What the window tells the operator about the frame stream: whether the
// read-back is still fresh, the frame rate, the age of the last frame and the
// frames dropped since the window opened. Fed from the window's timer with
// the counts ToolControlProcess keeps, never per frame.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

// No usable frame for this long and the read-back on display is old.
constexpr uint32_t kStaleAfterMs = 2000;

// The counts at one moment. Ticks are milliseconds and wrap.
struct FrameSample {
    uint32_t tick;
    uint32_t frames;          // every ToolControlProcess call
    uint32_t usable;          // of them, frames with read-back words
    uint32_t lastUsableTick;  // valid when usable > 0
};

class FrameWatch {
public:
    // The window opens (also the window's first sample).
    void Open(const FrameSample& now);
    void Sample(const FrameSample& now);

    // No usable frame has arrived for kStaleAfterMs: the last one (or, when
    // there never was one, the window's opening) is that old.
    bool Stale() const { return SinceMs() >= kStaleAfterMs; }
    // Milliseconds since the last usable frame, or since the window opened
    // when there has been none.
    uint32_t SinceMs() const;
    bool AnyUsable() const { return m_now.usable > 0; }
    // Usable frames per second over the last two seconds.
    double Rate() const;
    // Clamped at 0: samples whose counts were read apart never show a drop
    // that did not happen.
    uint32_t Dropped() const {
        const uint32_t d = (m_now.frames - m_now.usable) - m_droppedAtOpen;
        return d > 0x7FFFFFFFu ? 0 : d;
    }

    // "Frames: 12.5/s, last 0.1 s ago", "Frames: none for 3 min 20 s",
    // "Frames: none since the window opened"
    std::string FramesText() const;
    // "Dropped: 3" (frames without usable read-back since the window opened)
    std::string DroppedText() const;

private:
    static constexpr int kHistory = 16;
    static constexpr uint32_t kRateWindowMs = 2000;
    FrameSample m_now{};
    uint32_t m_openTick = 0;
    uint32_t m_droppedAtOpen = 0;
    FrameSample m_history[kHistory]{};  // ring of recent samples
    int m_count = 0;
    int m_next = 0;
};

// "0.4 s", "12 s", "3 min 20 s", "2 h 5 min"
std::string FormatAge(uint32_t ms);
// The time of day msAgo before nowSecondsOfDay, in seconds since midnight.
int32_t SecondsOfDayAgo(int32_t nowSecondsOfDay, uint32_t msAgo);

}  // namespace kelvane
