// Channel health in auto gain: in auto gain there is no set gain to compare
// the read-back with, so a channel is judged against itself, the drive
// range and its section. Fed from the read-back trend's samples (never per
// frame); a flag is raised and ended with hysteresis, and what it says is
// worded here for the box, the strip and the journal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/logic/Trend.h"

namespace kelvane {

enum class HealthRule : uint8_t { Flat = 0, PinnedHigh = 1, PinnedLow = 2, OffMedian = 3 };

// Chosen from the bench simulator's healthy hunting (each channel sweeps
// 24 dB in 3.2 s, neighbours a little apart in phase, so no healthy channel
// holds one step for more than about a second, and none sits more than 13 dB
// from its section's median for longer than half a sweep) and from what a
// fault looks like (one value for good, an end of the range, a constant
// offset). Every planted fault is flagged within the longest time plus a
// sample or two, well inside half a minute.
constexpr uint32_t kHealthSettleMs = 10000;  // after auto gain goes on or a Tool Reset
constexpr uint32_t kHealthFlatMs = 15000;    // within one gain step while the others move
constexpr uint32_t kHealthPinnedMs = 10000;  // at an end of the drive range
constexpr uint32_t kHealthOffMs = 15000;     // beyond the spread from the section's median
constexpr int32_t kHealthSpreadDb = 18;
constexpr uint32_t kHealthClearMs = 5000;  // healthy this long ends a flag
// A flag is held while its channel still looks so: flat for this long, or
// beyond this much of the spread.
constexpr uint32_t kHealthFlatHoldMs = 3000;
constexpr int32_t kHealthSpreadHoldDb = kHealthSpreadDb / 2;

struct HealthFlag {
    bool on = false;
    HealthRule rule = HealthRule::Flat;
    uint32_t since = 0;   // when the channel began to look so (the sample's tick)
    uint32_t raised = 0;  // when the flag was raised
    int32_t gain = 0;     // the channel's gain when raised
    int32_t offset = 0;   // OffMedian: its distance from the median then, dB
    uint32_t serial = 0;  // a flag that ends and comes back is a new one
    bool acknowledged = false;
};

struct HealthEvent {
    bool began;       // else ended
    int channel;      // 0..19, trend order
    HealthFlag flag;  // as it was raised
    uint32_t tick;    // when raised or ended
};

class HealthWatch {
public:
    // One trend sample; gainStep is the tool's step (1..3 dB, else 1).
    // Returns the flags that began or ended with it.
    std::vector<HealthEvent> Offer(const TrendSample& sample, int32_t gainStep);
    // No sample for a while: frames are old or absent, which is told
    // already; flags end and the timing starts again with the next sample.
    std::vector<HealthEvent> Idle(uint32_t now);
    // A Tool Reset was sent: the tool chooses its gains afresh.
    std::vector<HealthEvent> ToolReset(uint32_t now);

    const HealthFlag& Flag(int channel) const { return m_ch[Index(channel)].flag; }
    // Quiets a flag (the strip, the attention) until it ends; the box keeps its mark.
    void Acknowledge(int channel);
    void AcknowledgeAll();
    // Flags not yet acknowledged, oldest first.
    std::vector<int> Unacknowledged() const;
    bool AnyFlag(int section) const;

private:
    struct Channel {
        uint32_t flatStart = 0;
        int32_t lo = 0, hi = 0;
        int pinSide = 0;
        uint32_t pinStart = 0;
        bool off = false;
        uint32_t offStart = 0;
        int32_t offBy = 0;
        bool fresh = true;  // no sample since the timing (re)started
        uint32_t clearStart = 0;
        bool clearing = false;
        HealthFlag flag;
    };
    static int Index(int channel) { return channel >= 0 && channel < kTrendChannels ? channel : 0; }
    void Restart(int section);
    void EndSection(int section, uint32_t now, std::vector<HealthEvent>& out);
    void Judge(int section, const TrendSample& s, int32_t step, std::vector<HealthEvent>& out);

    Channel m_ch[kTrendChannels];
    bool m_auto[kTrendSections] = {};
    uint32_t m_settleStart[kTrendSections] = {};
    bool m_any = false;
    uint32_t m_last = 0;
    uint32_t m_serial = 0;
};

// "Monopole CH3"
std::string HealthChannelName(int channel);
// What a flag says, whole ("Monopole CH3 stuck at 42 dB for 25 s") and in
// shorter forms for a narrow strip.
std::vector<std::string> HealthFlagForms(int channel, const HealthFlag& flag, uint32_t now);
// The box's tip: which rule and since when ("HH:MM:SS").
std::string HealthTip(const HealthFlag& flag, const std::string& sinceClock);
// A line for the journal and the record's events.
std::string HealthEventLine(const HealthEvent& e);

}  // namespace kelvane
