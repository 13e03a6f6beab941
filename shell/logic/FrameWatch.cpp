#include "shell/logic/FrameWatch.h"

#include "base/logic/NumberText.h"

namespace kelvane {

void FrameWatch::Open(const FrameSample& now) {
    m_openTick = now.tick;
    m_droppedAtOpen = now.frames - now.usable;
    m_count = 0;
    m_next = 0;
    Sample(now);
}

void FrameWatch::Sample(const FrameSample& now) {
    m_now = now;
    m_history[m_next] = now;
    m_next = (m_next + 1) % kHistory;
    if (m_count < kHistory) ++m_count;
}

uint32_t FrameWatch::SinceMs() const { return m_now.tick - (AnyUsable() ? m_now.lastUsableTick : m_openTick); }

double FrameWatch::Rate() const {
    // The oldest sample still inside the window, against the newest.
    const FrameSample* oldest = nullptr;
    for (int i = 0; i < m_count; ++i) {
        const FrameSample& s = m_history[(m_next - 1 - i + kHistory) % kHistory];
        if (m_now.tick - s.tick > kRateWindowMs) break;
        oldest = &s;
    }
    if (!oldest || oldest->tick == m_now.tick || Stale()) return 0.0;
    return 1000.0 * static_cast<double>(m_now.usable - oldest->usable) / static_cast<double>(m_now.tick - oldest->tick);
}

std::string FrameWatch::FramesText() const {
    if (!AnyUsable() && Stale()) return "Frames: none since the window opened";
    if (!AnyUsable()) return "Frames: none yet";
    if (Stale()) return "Frames: none for " + FormatAge(SinceMs());
    return "Frames: " + FormatFixed(Rate(), 1) + "/s, last " + FormatAge(SinceMs()) + " ago";
}

std::string FrameWatch::DroppedText() const { return "Dropped: " + FormatInt(static_cast<int32_t>(Dropped())); }

std::string FormatAge(uint32_t ms) {
    if (ms < 10000) return FormatFixed(ms / 1000.0, 1) + " s";
    const uint32_t s = ms / 1000;
    if (s < 60) return FormatInt(static_cast<int32_t>(s)) + " s";
    if (s < 3600)
        return FormatInt(static_cast<int32_t>(s / 60)) + " min " + FormatInt(static_cast<int32_t>(s % 60)) + " s";
    return FormatInt(static_cast<int32_t>(s / 3600)) + " h " + FormatInt(static_cast<int32_t>(s / 60 % 60)) + " min";
}

int32_t SecondsOfDayAgo(int32_t nowSecondsOfDay, uint32_t msAgo) {
    constexpr int32_t kDay = 24 * 3600;
    const int32_t back = static_cast<int32_t>((msAgo / 1000) % kDay);
    return ((nowSecondsOfDay - back) % kDay + kDay) % kDay;
}

}  // namespace kelvane
