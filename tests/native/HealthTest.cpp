#include "shell/logic/Health.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "bench/logic/HealthRun.h"
#include "bench/logic/ToolSim.h"

using namespace kelvane;

namespace {

constexpr int kMono3 = 6;  // trend channel of monopole CH3

// A series ten samples a second: every channel hunts as the simulated tool
// does unless `gain` says otherwise for it (return INT32_MIN to keep the
// hunt). Plays ms from start; returns every event with its sample's time.
struct Played {
    uint32_t t;
    HealthEvent e;
};
using GainAt = std::function<int32_t(uint32_t t, int channel, int32_t hunt)>;

std::vector<Played> Play(HealthWatch& w, uint32_t fromMs, uint32_t toMs, const GainAt& gain, uint8_t autoOn = 7,
                         int32_t step = 3) {
    std::vector<Played> out;
    for (uint32_t t = fromMs; t < toMs; t += 100) {
        TrendSample s{};
        s.tick = t;
        s.autoOn = autoOn;
        const int64_t frame = t / 100;
        for (int sec = 0; sec < kTrendSections; ++sec)
            for (int c = 0; c < kTrendCount[sec]; ++c) {
                const int i = kTrendFirst[sec] + c;
                const int32_t hunt = ToolSim::AutoGainFor(frame, static_cast<Section>(sec), c, step);
                s.gain[i] = static_cast<int8_t>(gain ? gain(t, i, hunt) : hunt);
            }
        for (const HealthEvent& e : w.Offer(s, step)) out.push_back({t, e});
    }
    return out;
}

GainAt Fixed(int channel, int32_t db, uint32_t fromMs = 0) {
    return [=](uint32_t t, int c, int32_t hunt) { return c == channel && t >= fromMs ? db : hunt; };
}

}  // namespace

// Each fault the bench plants, on the simulated tool with every section in
// auto gain, is flagged by its rule in under half a minute; healthy hunting
// raises nothing over 30 minutes, nor while the fault runs elsewhere.
TEST(Health, PlantedFaultsFlaggedInTimeHealthyHuntingNever) {
    struct Case {
        PlantedFault fault;
        HealthRule rule;
    };
    const Case cases[] = {
        {PlantedFault::Stuck, HealthRule::Flat},
        {PlantedFault::PinnedHigh, HealthRule::PinnedHigh},
        {PlantedFault::PinnedLow, HealthRule::PinnedLow},
        {PlantedFault::Offset, HealthRule::OffMedian},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        const HealthRunResult r = RunHealth(c.fault, 10u * 60u * 1000u);
        EXPECT_EQ(r.falseFlags, 0);
        ASSERT_GE(r.detectMs, 0);
        EXPECT_LT(r.detectMs, 30000);
        EXPECT_EQ(r.rule, static_cast<int>(c.rule));
    }
    const HealthRunResult healthy = RunHealth(PlantedFault::None, 30u * 60u * 1000u);
    EXPECT_EQ(healthy.falseFlags, 0);
    EXPECT_EQ(healthy.detectMs, -1);
}

// When a fault is not to be flagged: the tool settling after auto gain goes
// on or a Tool Reset, frames that stop now and then, a section in manual
// gain, a whole section holding still (nothing to compare with).
TEST(Health, NoFlagWhileSettlingStaleOrManual) {
    struct Case {
        const char* what;
        uint32_t toMs;
        GainAt gain;
        uint8_t autoOn;
        uint32_t resetAtMs;   // a Tool Reset at this time; 0 for none
        uint32_t gapEveryMs;  // frames stop for 3 s this often; 0 for never
        bool flagged;
    };
    const GainAt stuck = Fixed(kMono3, 42);
    const GainAt sectionStill = [](uint32_t, int c, int32_t hunt) { return c >= 4 && c < 12 ? 45 : hunt; };
    const Case cases[] = {
        {"stuck from auto on: flagged after settling", 10000 + kHealthFlatMs + 500, stuck, 7, 0, 0, true},
        {"stuck from auto on, not yet", 10000 + kHealthFlatMs - 500, stuck, 7, 0, 0, false},
        {"Tool Reset restarts the settling", 10000 + kHealthFlatMs + 500, stuck, 7, 8000, 0, false},
        {"frames stop every 12 s", 120000, stuck, 7, 0, 12000, false},
        {"monopole in manual gain", 60000, stuck, 5, 0, 0, false},
        {"the whole section holds still", 60000, sectionStill, 7, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        HealthWatch w;
        std::vector<Played> events;
        uint32_t t = 0;
        while (t < c.toMs) {
            uint32_t until = c.toMs;
            if (c.resetAtMs && t < c.resetAtMs) until = c.resetAtMs;
            if (c.gapEveryMs) until = std::min(until, t + c.gapEveryMs);
            for (const Played& p : Play(w, t, until, c.gain, c.autoOn)) events.push_back(p);
            t = until;
            if (t == c.resetAtMs) w.ToolReset(t);
            if (c.gapEveryMs && t < c.toMs) {
                t += 3000;
                for (const HealthEvent& e : w.Idle(t)) events.push_back({t, e});
            }
        }
        bool flagged = false;
        for (const Played& p : events) flagged |= p.e.began && p.e.channel == kMono3;
        EXPECT_EQ(flagged, c.flagged);
        for (const Played& p : events) EXPECT_EQ(p.e.channel, kMono3);
    }
}

// A flag neither flickers nor lingers: a stuck channel that twitches once
// stays flagged; one that hunts again is clear after kHealthClearMs; frames
// that stop end it; a flag that ends and comes back is new and
// unacknowledged, while an acknowledged one keeps its mark.
TEST(Health, HysteresisAndAcknowledge) {
    HealthWatch w;
    // Stuck from 20 s; one twitch at 50 s; hunting again from 60 s; stuck again from 70 s.
    const GainAt series = [](uint32_t t, int c, int32_t hunt) {
        if (c != kMono3 || t < 20000) return hunt;
        if (t >= 50000 && t < 50300) return int32_t{51};
        if (t >= 60000 && t < 70000) return hunt;
        return int32_t{42};
    };
    std::vector<Played> events = Play(w, 0, 59000, series);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].e.began);
    EXPECT_EQ(events[0].e.flag.rule, HealthRule::Flat);
    EXPECT_GE(events[0].e.flag.since, 19000u);  // the hunt passed 42 just before
    EXPECT_LE(events[0].e.flag.since, 20000u);
    EXPECT_LE(events[0].t, 20000 + kHealthFlatMs + 200);
    const uint32_t first = w.Flag(kMono3).serial;
    EXPECT_EQ(w.Unacknowledged(), std::vector<int>{kMono3});
    w.AcknowledgeAll();
    EXPECT_TRUE(w.Unacknowledged().empty());
    EXPECT_TRUE(w.Flag(kMono3).on);  // the box keeps its mark
    EXPECT_TRUE(w.AnyFlag(1));

    events = Play(w, 59000, 100000, series);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[0].e.began);
    EXPECT_GE(events[0].t, 60000 + kHealthClearMs);
    EXPECT_LE(events[0].t, 60000 + kHealthClearMs + 200);
    EXPECT_TRUE(events[1].e.began);
    EXPECT_NE(w.Flag(kMono3).serial, first);
    EXPECT_FALSE(w.Flag(kMono3).acknowledged);
    EXPECT_EQ(w.Unacknowledged(), std::vector<int>{kMono3});

    const std::vector<HealthEvent> idle = w.Idle(100000 + kTrendGapMs);
    ASSERT_EQ(idle.size(), 1u);
    EXPECT_FALSE(idle[0].began);
    EXPECT_FALSE(w.Flag(kMono3).on);
}

// Only a channel that really sits at an end is pinned: within a step of
// the end for the tool's step, not a step short of it.
TEST(Health, PinnedMeansWithinAStepOfAnEnd) {
    struct Case {
        int32_t db, step;
        bool flagged;
        HealthRule rule;
    };
    const Case cases[] = {
        {80, 3, true, HealthRule::PinnedHigh}, {78, 3, true, HealthRule::PinnedHigh},
        {77, 3, false, HealthRule::Flat},      {79, 1, false, HealthRule::Flat},
        {-31, 1, true, HealthRule::PinnedLow}, {-29, 3, true, HealthRule::PinnedLow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.db);
        HealthWatch w;
        const uint32_t to = kHealthSettleMs + kHealthPinnedMs + 500;
        const std::vector<Played> events = Play(w, 0, to, Fixed(kMono3, c.db), 7, c.step);
        EXPECT_EQ(!events.empty(), c.flagged);
        if (!events.empty()) {
            EXPECT_EQ(events[0].e.flag.rule, c.rule);
        }
    }
}

TEST(Health, Texts) {
    HealthFlag f;
    f.on = true;
    f.since = 1000;
    f.gain = 42;
    const std::vector<std::string> forms = HealthFlagForms(kMono3, f, 26000);
    ASSERT_EQ(forms.size(), 3u);
    EXPECT_EQ(forms[0], "Monopole CH3 stuck at 42 dB for 25 s");
    EXPECT_EQ(forms[2], "Monopole CH3 stuck");
    EXPECT_EQ(HealthFlagForms(0, f, 1000 + 300000)[0], "DT CH1 stuck at 42 dB for 5 min");
    EXPECT_EQ(HealthChannelName(19), "Dipole CH8");
    f.rule = HealthRule::OffMedian;
    f.offset = -30;
    EXPECT_EQ(HealthTip(f, "12:03:04"),
              "Auto gain health: 30 dB below its section since 12:03:04 (more than 18 dB from its section's median)");
    EXPECT_EQ(HealthEventLine({false, 13, f, 0}), "Health: Dipole CH2 healthy again (was offset)");
}
