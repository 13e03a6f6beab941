#include "shell/logic/Health.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "KelvaneHost.h"

namespace kelvane {
namespace {

int SectionOf(int channel) {
    for (int s = kTrendSections - 1; s >= 0; --s)
        if (channel >= kTrendFirst[s]) return s;
    return 0;
}

bool Elapsed(uint32_t now, uint32_t since, uint32_t ms) { return now - since >= ms; }

}  // namespace

void HealthWatch::Restart(int section) {
    for (int c = 0; c < kTrendCount[section]; ++c) {
        Channel& ch = m_ch[kTrendFirst[section] + c];
        const HealthFlag flag = ch.flag;
        ch = Channel{};
        ch.flag = flag;
    }
}

void HealthWatch::EndSection(int section, uint32_t now, std::vector<HealthEvent>& out) {
    for (int c = 0; c < kTrendCount[section]; ++c) {
        const int i = kTrendFirst[section] + c;
        Channel& ch = m_ch[i];
        if (ch.flag.on) out.push_back({false, i, ch.flag, now});
        ch.flag = HealthFlag{};
    }
    Restart(section);
}

std::vector<HealthEvent> HealthWatch::Idle(uint32_t now) {
    std::vector<HealthEvent> out;
    if (!m_any || now - m_last < kTrendGapMs) return out;
    for (int s = 0; s < kTrendSections; ++s) EndSection(s, now, out);
    return out;
}

std::vector<HealthEvent> HealthWatch::ToolReset(uint32_t now) {
    std::vector<HealthEvent> out;
    for (int s = 0; s < kTrendSections; ++s) {
        EndSection(s, now, out);
        m_settleStart[s] = now;
    }
    return out;
}

std::vector<HealthEvent> HealthWatch::Offer(const TrendSample& sample, int32_t gainStep) {
    std::vector<HealthEvent> out;
    const uint32_t now = sample.tick;
    const int32_t step = gainStep >= 1 && gainStep <= 3 ? gainStep : 1;
    // Frames stopped in between: nothing measured across the gap.
    if (m_any && (sample.gapBefore || now - m_last >= kTrendGapMs))
        for (int s = 0; s < kTrendSections; ++s) EndSection(s, now, out);
    m_any = true;
    m_last = now;
    for (int s = 0; s < kTrendSections; ++s) {
        const bool on = (sample.autoOn >> s & 1u) != 0;
        if (!on) {
            if (m_auto[s]) EndSection(s, now, out);
            m_auto[s] = false;
            continue;
        }
        if (!m_auto[s]) {
            m_auto[s] = true;
            m_settleStart[s] = now;
            Restart(s);
        }
        // The tool settles its gains first: nothing is judged or timed yet.
        if (!Elapsed(now, m_settleStart[s], kHealthSettleMs)) {
            Restart(s);
            continue;
        }
        Judge(s, sample, step, out);
    }
    return out;
}

void HealthWatch::Judge(int section, const TrendSample& s, int32_t step, std::vector<HealthEvent>& out) {
    const uint32_t now = s.tick;
    const int first = kTrendFirst[section];
    const int n = kTrendCount[section];
    int32_t gains[kTrendChannels] = {};
    std::copy(s.gain + first, s.gain + first + n, gains);
    for (int c = 0; c < n; ++c) {
        Channel& ch = m_ch[first + c];
        const int32_t g = gains[c];
        if (ch.fresh) {
            ch.fresh = false;
            ch.flatStart = ch.pinStart = ch.offStart = now;
            ch.lo = ch.hi = g;
        }
        const int32_t lo = std::min(ch.lo, g), hi = std::max(ch.hi, g);
        if (hi - lo > step) {
            ch.flatStart = now;
            ch.lo = ch.hi = g;
        } else {
            ch.lo = lo;
            ch.hi = hi;
        }
        // Within a step of an end: the tool's steps may never land on it.
        const int side = g > GAIN_MAX_DB - step ? 1 : g < GAIN_MIN_DB + step ? -1 : 0;
        if (side != ch.pinSide) {
            ch.pinSide = side;
            ch.pinStart = now;
        }
        int32_t others[kTrendChannels];
        int m = 0;
        for (int o = 0; o < n; ++o)
            if (o != c) others[m++] = gains[o];
        std::nth_element(others, others + m / 2, others + m);
        ch.offBy = g - others[m / 2];
        const bool off = std::abs(ch.offBy) > kHealthSpreadDb;
        if (off && !ch.off) ch.offStart = now;
        ch.off = off;
    }
    int moving = 0;
    for (int c = 0; c < n; ++c) moving += !Elapsed(now, m_ch[first + c].flatStart, kHealthFlatMs);
    for (int c = 0; c < n; ++c) {
        Channel& ch = m_ch[first + c];
        const int32_t g = gains[c];
        HealthFlag found;
        // An end of the range first: a pinned channel is flat too.
        if (ch.pinSide != 0 && Elapsed(now, ch.pinStart, kHealthPinnedMs)) {
            found = {true, ch.pinSide > 0 ? HealthRule::PinnedHigh : HealthRule::PinnedLow, ch.pinStart};
        } else if (Elapsed(now, ch.flatStart, kHealthFlatMs) && 2 * moving >= n - 1) {
            found = {true, HealthRule::Flat, ch.flatStart};
        } else if (ch.off && Elapsed(now, ch.offStart, kHealthOffMs)) {
            found = {true, HealthRule::OffMedian, ch.offStart};
            found.offset = ch.offBy;
        }
        if (!ch.flag.on) {
            if (!found.on) continue;
            found.raised = now;
            found.gain = g;
            found.serial = ++m_serial;
            ch.flag = found;
            ch.clearing = false;
            out.push_back({true, first + c, found, now});
            continue;
        }
        bool still = false;
        switch (ch.flag.rule) {
        case HealthRule::Flat: still = Elapsed(now, ch.flatStart, kHealthFlatHoldMs); break;
        case HealthRule::PinnedHigh: still = ch.pinSide > 0; break;
        case HealthRule::PinnedLow: still = ch.pinSide < 0; break;
        case HealthRule::OffMedian: still = std::abs(ch.offBy) > kHealthSpreadHoldDb; break;
        }
        if (still || found.on) {
            ch.clearing = false;
        } else if (!ch.clearing) {
            ch.clearing = true;
            ch.clearStart = now;
        } else if (Elapsed(now, ch.clearStart, kHealthClearMs)) {
            out.push_back({false, first + c, ch.flag, now});
            ch.flag = HealthFlag{};
            ch.clearing = false;
        }
    }
}

void HealthWatch::Acknowledge(int channel) {
    if (channel >= 0 && channel < kTrendChannels && m_ch[channel].flag.on) m_ch[channel].flag.acknowledged = true;
}

void HealthWatch::AcknowledgeAll() {
    for (int c = 0; c < kTrendChannels; ++c) Acknowledge(c);
}

std::vector<int> HealthWatch::Unacknowledged() const {
    std::vector<int> out;
    for (int c = 0; c < kTrendChannels; ++c)
        if (m_ch[c].flag.on && !m_ch[c].flag.acknowledged) out.push_back(c);
    std::stable_sort(out.begin(), out.end(),
                     [this](int a, int b) { return m_ch[a].flag.serial < m_ch[b].flag.serial; });
    return out;
}

bool HealthWatch::AnyFlag(int section) const {
    if (section < 0 || section >= kTrendSections) return false;
    for (int c = 0; c < kTrendCount[section]; ++c)
        if (m_ch[kTrendFirst[section] + c].flag.on) return true;
    return false;
}

std::string HealthChannelName(int channel) {
    const int i = channel >= 0 && channel < kTrendChannels ? channel : 0;
    const int s = SectionOf(i);
    return std::string(kTrendSectionNames[s]) + " CH" + std::to_string(i - kTrendFirst[s] + 1);
}

namespace {

std::string Duration(uint32_t ms) {
    const uint32_t sec = ms / 1000;
    if (sec < 120) return std::to_string(sec) + " s";
    return std::to_string(sec / 60) + " min";
}

// What the channel does, without the name: "stuck at 42 dB".
std::string What(const HealthFlag& f) {
    switch (f.rule) {
    case HealthRule::Flat: return "stuck at " + std::to_string(f.gain) + " dB";
    case HealthRule::PinnedHigh: return "at the maximum gain (no signal)";
    case HealthRule::PinnedLow: return "at the minimum gain (saturated)";
    case HealthRule::OffMedian:
        return std::to_string(std::abs(f.offset)) + " dB " + (f.offset > 0 ? "above" : "below") + " its section";
    }
    return std::string();
}

const char* Brief(HealthRule rule) {
    switch (rule) {
    case HealthRule::Flat: return "stuck";
    case HealthRule::PinnedHigh:
    case HealthRule::PinnedLow: return "pinned";
    case HealthRule::OffMedian: return "offset";
    }
    return "";
}

}  // namespace

std::vector<std::string> HealthFlagForms(int channel, const HealthFlag& flag, uint32_t now) {
    const std::string name = HealthChannelName(channel);
    return {name + " " + What(flag) + " for " + Duration(now - flag.since), name + " " + What(flag),
            name + " " + Brief(flag.rule)};
}

std::string HealthTip(const HealthFlag& flag, const std::string& sinceClock) {
    std::string why;
    switch (flag.rule) {
    case HealthRule::Flat: why = "within one gain step while its section's other channels move"; break;
    case HealthRule::PinnedHigh: why = "at the tool's maximum gain: no signal"; break;
    case HealthRule::PinnedLow: why = "at the tool's minimum gain: saturation"; break;
    case HealthRule::OffMedian:
        why = "more than " + std::to_string(kHealthSpreadDb) + " dB from its section's median";
        break;
    }
    std::string tip = "Auto gain health: " + What(flag) + " since " + sinceClock + " (" + why + ")";
    if (flag.acknowledged) tip += "; acknowledged";
    return tip;
}

std::string HealthEventLine(const HealthEvent& e) {
    const std::string name = HealthChannelName(e.channel);
    if (e.began) return "Health: " + name + " " + What(e.flag);
    return "Health: " + name + " healthy again (was " + Brief(e.flag.rule) + ")";
}

}  // namespace kelvane
