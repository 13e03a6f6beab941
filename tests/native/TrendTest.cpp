#include "shell/logic/Trend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "KelvaneHost.h"

using namespace kelvane;

namespace {

TrendInput Input(uint32_t now, uint32_t usable, uint32_t lastUsable, int32_t gain = 0, uint8_t autoOn = 0) {
    TrendInput in{};
    in.now = now;
    in.usable = usable;
    in.lastUsableTick = lastUsable;
    for (int c = 0; c < kTrendChannels; ++c) {
        in.gain[c] = gain;
        in.set[c] = gain;
    }
    in.autoOn = autoOn;
    in.wallMs = now;
    return in;
}

// A store fed one sample per stepMs from wall time from to to (a tick that
// wraps), DT CH1 reporting gain(wall).
template <class Gain>
void Feed(TrendStore& store, int64_t from, int64_t to, uint32_t stepMs, Gain gain, uint32_t& usable) {
    for (int64_t w = from; w <= to; w += stepMs) {
        TrendInput in = Input(static_cast<uint32_t>(w), ++usable, static_cast<uint32_t>(w), 40);
        in.wallMs = w;
        in.gain[0] = gain(w);
        store.Offer(in);
    }
}

TrendInterval Interval(int64_t wallMs, uint32_t lengthMs, int8_t low, int8_t high, bool gap = false) {
    TrendInterval v{};
    v.wallMs = wallMs;
    v.lengthMs = lengthMs;
    for (int c = 0; c < kTrendChannels; ++c) {
        v.min[c] = low;
        v.max[c] = high;
        v.set[c] = 40;
    }
    v.gapBefore = gap ? 1 : 0;
    return v;
}

}  // namespace

// Which timer ticks take a sample, with which time and whether a gap comes
// before it. Ticks wrap on the way in one case.
TEST(Trend, SamplingTakesNewUsableFramesAtMostTenASecond) {
    struct Tick {
        uint32_t now, usable, lastUsable;
        bool taken;
        uint32_t tick;  // of the sample taken
        bool gap;
    };
    struct Case {
        const char* name;
        uint32_t base;        // added to every time
        uint32_t openUsable;  // frames counted before the window opened
        std::vector<Tick> ticks;
    } cases[] = {
        {"frames before the window are not sampled",
         0,
         5,
         {{100, 5, 90, false, 0, false}, {200, 6, 150, true, 150, true}}},
        {"no new frame, no sample",
         1000,
         0,
         {{0, 1, 0, true, 0, true}, {100, 1, 0, false, 0, false}, {200, 1, 0, false, 0, false}}},
        {"closer than 100 ms waits for a later tick",
         1000,
         0,
         {{0, 1, 0, true, 0, true}, {100, 2, 99, false, 0, false}, {200, 3, 190, true, 190, false}}},
        {"a frame counted after the clock was read is taken as now", 1000, 0, {{0, 1, 5, true, 0, true}}},
        {"2 s without a usable frame is no gap, longer is",
         0xFFFFFF00u,
         0,
         {{0, 1, 0, true, 0, true}, {2000, 2, 2000, true, 2000, false}, {4100, 3, 4001, true, 4001, true}}},
    };
    for (const Case& c : cases) {
        TrendRing ring;
        ring.Open(c.openUsable);
        for (const Tick& t : c.ticks) {
            const size_t before = ring.Size();
            EXPECT_EQ(t.taken, ring.Offer(Input(c.base + t.now, t.usable, c.base + t.lastUsable)))
                << c.name << " at " << t.now;
            ASSERT_EQ(before + (t.taken ? 1 : 0), ring.Size()) << c.name;
            if (!t.taken) continue;
            EXPECT_EQ(c.base + t.tick, ring.At(ring.Size() - 1).tick) << c.name << " at " << t.now;
            EXPECT_EQ(t.gap, ring.At(ring.Size() - 1).gapBefore != 0) << c.name << " at " << t.now;
        }
    }
}

// 40 minutes of frames at 20 a second, the tick wrapping at minute 20: the
// ring keeps the last 30 minutes, in order, in under 1 MB; a stop of more
// than 30 minutes empties it.
TEST(Trend, RingIsBoundedAndWraps) {
    static_assert(TrendRing::kMaxBytes < 1024 * 1024, "the ring stays under 1 MB");
    TrendRing ring;
    const uint32_t start = 0u - 20u * 60u * 1000u;
    uint32_t usable = 0;
    for (uint32_t t = 0; t <= 40u * 60u * 1000u; t += 50) {
        ring.Offer(Input(start + t, ++usable, start + t, static_cast<int32_t>(t / 1000 % 100)));
        if (t % 60000 == 0) ring.Mark(start + t, TrendMarkKind::SendAll);
    }
    const uint32_t now = start + 40u * 60u * 1000u;
    EXPECT_LE(ring.Size(), kTrendCapacity);
    EXPECT_GE(ring.Size(), kTrendCapacity - 1);
    EXPECT_LE(ring.Bytes(), TrendRing::kMaxBytes);
    EXPECT_LE(now - ring.At(0).tick, kTrendKeepMs);
    for (size_t i = 1; i < ring.Size(); ++i) {
        ASSERT_EQ(100u, ring.At(i).tick - ring.At(i - 1).tick) << i;
        ASSERT_FALSE(ring.At(i).gapBefore) << i;
    }
    EXPECT_EQ(31u, ring.MarkCount());
    EXPECT_EQ(ring.Size() - 600, ring.FirstWithin(now, 60000 - 1));
    ring.Prune(now + kTrendKeepMs + 1);
    EXPECT_EQ(0u, ring.Size());
    EXPECT_EQ(0u, ring.MarkCount());
}

TEST(Trend, ReportsBeyondAByteKeepTheirEnd) {
    TrendRing ring;
    for (int32_t gain : {80, -31, 300, -200}) {
        const uint32_t n = static_cast<uint32_t>(ring.Size()) + 1;
        ring.Offer(Input(n * 1000, n, n * 1000, gain));
    }
    ASSERT_EQ(4u, ring.Size());
    const int want[] = {80, -31, 127, -128};
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(want[i], ring.At(i).gain[7]);
}

// A minute on 600 pixels: one sample a second, with a 5 s stop after 20 s
// and DT auto gain on for seconds 40 to 50.
TEST(Trend, TracesBreakAtGapsAndReferencesSkipAutoGain) {
    TrendRing ring;
    uint32_t usable = 0;
    for (uint32_t s = 0; s <= 60; ++s) {
        if (s > 20 && s < 26) continue;
        const uint8_t autoOn = s >= 40 && s < 50 ? 1 : 0;
        ring.Offer(Input(s * 1000, ++usable, s * 1000, static_cast<int32_t>(s), autoOn));
    }
    const TrendScale scale{0, 0, 600, 111, 60000, 60000};
    const TrendLayout layout(ring, scale);
    const auto trace = TrendTrace(ring, layout, 0, false);
    ASSERT_EQ(2u, trace.size()) << "the stop splits the line";
    EXPECT_EQ(0, trace[0].front().x);
    EXPECT_EQ(200, trace[0].back().x);
    EXPECT_EQ(260, trace[1].front().x);
    EXPECT_EQ(600, trace[1].back().x);
    EXPECT_EQ(TrendY(scale, 60), trace[1].back().y);
    EXPECT_EQ(3u, TrendTrace(ring, layout, 0, true).size()) << "DT auto gain: no reference line";
    EXPECT_EQ(2u, TrendTrace(ring, layout, 4, true).size()) << "the monopole is not in auto gain";

    // Ten seconds on ten pixels: ten samples a pixel shrink to four points.
    const TrendScale narrow{0, 0, 10, 111, 60000, 10000};
    TrendRing dense;
    for (uint32_t t = 0; t <= 60000; t += 100) dense.Offer(Input(t, t / 100 + 1, t, static_cast<int32_t>(t / 100 % 7)));
    const auto thin = TrendTrace(dense, TrendLayout(dense, narrow), 0, false);
    ASSERT_EQ(1u, thin.size());
    EXPECT_LE(thin[0].size(), 4u * 11u);
    EXPECT_GE(thin[0].size(), 11u);
}

TEST(Trend, HoverFindsTheSampleWhereItsLineIsDrawn) {
    TrendRing ring;
    uint32_t usable = 0;
    for (uint32_t s : {10u, 11u, 12u, 20u, 21u})
        ring.Offer(Input(s * 1000, ++usable, s * 1000, static_cast<int32_t>(s)));
    const struct {
        uint32_t now, at;
        size_t want;  // 5: none
    } cases[] = {
        {22000, 9000, 5},   // before the first
        {22000, 10500, 0},  // on the line
        {22000, 12000, 2},  // on a sample
        {22000, 12100, 2},  // within the slack after the last before a gap
        {22000, 15000, 5},  // in the gap
        {22000, 21500, 4},  // after the newest, frames still coming
        {30000, 25000, 5},  // after the frames stopped
        {90000, 20000, 5},  // outside the span
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, TrendSampleAt(ring, c.now, 60000, c.at, 200)) << c.now << " " << c.at;
}

TEST(Trend, ClockLabelsSitOnWholeSteps) {
    EXPECT_EQ(10000u, TrendTimeStepMs(60000, 600, 60));
    EXPECT_EQ(60000u, TrendTimeStepMs(600000, 600, 60));
    EXPECT_EQ(120000u, TrendTimeStepMs(600000, 600, 61));
    EXPECT_EQ(3600000u, TrendTimeStepMs(1800000, 50, 60));
    EXPECT_EQ(7200000u, TrendTimeStepMs(86400000, 800, 60)) << "a day's job on a chart";
    EXPECT_EQ(43200000u, TrendTimeStepMs(604800000, 800, 60)) << "a week: the longest step";
    const TrendScale scale{0, 0, 600, 111, 5000000, 60000};
    // Now is 00:00:25 local: the labels run back over midnight.
    const auto ticks = TrendTimeTicks(scale, 25000, 60);
    ASSERT_EQ(6u, ticks.size());
    EXPECT_EQ("23:59:30", FormatClockMs(ticks.front().msOfDay, false));
    EXPECT_EQ(50, ticks.front().x);
    EXPECT_EQ("00:00:20", FormatClockMs(ticks.back().msOfDay, false));
    EXPECT_EQ(550, ticks.back().x);
    EXPECT_EQ("12:00:00.5", FormatClockMs(43200500, true));
    EXPECT_EQ(20, TrendDbStep(111, 12));
    EXPECT_EQ(10, TrendDbStep(400, 30));
}

TEST(Trend, CsvHoldsTheShownPeriodWithMarksAndGaps) {
    TrendRing ring;
    uint32_t usable = 0;
    for (uint32_t s : {5u, 50u, 51u, 55u}) ring.Offer(Input(s * 1000, ++usable, s * 1000, static_cast<int32_t>(s), 2));
    ring.Mark(50500, TrendMarkKind::ToolReset);
    ring.Mark(58000, TrendMarkKind::SendAll);
    ring.Mark(50800, TrendMarkKind::Health);  // raised later, marked where it began
    // 20 s shown, now 12:00:00 local at tick 60000.
    const std::string csv = TrendCsv(ring, 60000, 20000, 43200000);
    std::vector<std::string> rows;
    for (size_t at = 0, end; (end = csv.find("\r\n", at)) != std::string::npos; at = end + 2)
        rows.push_back(csv.substr(at, end - at));
    ASSERT_EQ(9u, rows.size()) << csv;
    EXPECT_EQ(45, std::count(rows[0].begin(), rows[0].end(), ',') + 1);
    EXPECT_EQ(0u, rows[0].find("Time,Event,DT CH1,"));
    EXPECT_NE(std::string::npos,
              rows[0].find(",Dipole CH8,DT auto gain,Monopole auto gain,Dipole auto gain,DT CH1 set,"));
    EXPECT_EQ(0u, rows[1].find("11:59:50.0,,50,50,")) << rows[1];
    EXPECT_NE(std::string::npos, rows[1].find(",off,on,off,50,"));
    EXPECT_EQ(0u, rows[2].find("11:59:50.5,Tool Reset,,"));
    EXPECT_EQ(0u, rows[3].find("11:59:50.8,Health flag,,")) << rows[3];
    EXPECT_EQ(0u, rows[4].find("11:59:51.0,,51,"));
    EXPECT_EQ(0u, rows[5].find("11:59:51.0,no usable frames,,"));
    EXPECT_EQ(0u, rows[6].find("11:59:55.0,,55,"));
    EXPECT_EQ(0u, rows[7].find("11:59:55.0,no usable frames,,")) << "the frames stopped";
    EXPECT_EQ("11:59:58.0,Send all" + std::string(43, ','), rows[8]);
}

// Every channel's line reads on the window colour, and the lines of one
// chart differ in colour or pattern, in the default and high-contrast schemes.
TEST(Trend, InksReadAndDifferInEveryScheme) {
    const SchemeColours schemes[] = {
        {Rgb(0, 0, 0), Rgb(255, 255, 255), Rgb(255, 255, 255), Rgb(0, 120, 215), false, Rgb(109, 109, 109),
         Rgb(240, 240, 240)},
        {Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(0, 0, 0), Rgb(26, 235, 255), true, Rgb(63, 242, 63), Rgb(0, 0, 0)},
        {Rgb(255, 255, 255), Rgb(30, 30, 30), Rgb(255, 255, 255), Rgb(40, 40, 120), false, Rgb(128, 128, 128),
         Rgb(30, 30, 30)},
    };
    for (const SchemeColours& s : schemes) {
        for (int a = 0; a < 8; ++a) {
            const TrendInk ia = TrendInkFor(s, a);
            EXPECT_GE(ContrastRatio(ia.colour, s.window), kTrendMinLineContrast) << a;
            for (int b = a + 1; b < 8; ++b) {
                const TrendInk ib = TrendInkFor(s, b);
                EXPECT_TRUE(ia.colour != ib.colour || ia.pattern != ib.pattern) << a << " " << b;
            }
        }
    }
}

// The layout counts pixels down instead of dividing for every sample: it
// must land where the scale puts each sample, for any span and width.
TEST(Trend, LayoutPutsEverySampleWhereTheScaleDoes) {
    TrendRing ring;
    uint32_t usable = 0;
    const uint32_t start = 0u - 600000u;  // the tick wraps half way
    for (uint32_t t = 0; t <= 1200000; t += 100 + t % 700) ring.Offer(Input(start + t, ++usable, start + t));
    const uint32_t now = start + 1200000 + 50;
    for (uint32_t span : {60000u, 600000u, 1800000u})
        for (int32_t width : {1, 7, 600, 1333, 3840}) {
            const TrendScale scale{10, 0, 10 + width, 100, now, span};
            const TrendLayout layout(ring, scale);
            // Ten samples a pixel or more: two-pixel columns, counted from the right edge.
            const int32_t column = span >= 1000u * static_cast<uint32_t>(width) ? 2 : 1;
            for (size_t i = layout.First(); i < ring.Size(); ++i) {
                const int32_t back = scale.right - TrendX(scale, ring.At(i).tick);
                ASSERT_EQ(scale.right - back / column * column, layout.X(i)) << span << " " << width << " " << i;
            }
            EXPECT_EQ(TrendY(scale, 80), layout.Y(80));
            EXPECT_EQ(TrendY(scale, -31), layout.Y(-128));
        }
}

// ---- the whole job

// Samples folded into 10 s intervals: the lowest and highest kept, a new
// interval at each boundary and after each gap (marked), the open one closed
// once its time is past even when no frame comes; the journal gets each
// closed interval once, in order.
TEST(TrendStore, HistoryReducesToLowestAndHighestPerInterval) {
    TrendStore store;
    uint32_t usable = 0;
    const int64_t t0 = 1765000000000;  // on a whole 10 s
    // 0-25 s at 10 a second, a stop of 3 s, then 28-31 s; DT CH1 saw-tooths 30..39.
    auto saw = [&](int64_t w) { return static_cast<int32_t>(30 + (w - t0) / 100 % 10); };
    Feed(store, t0, t0 + 25000, 100, saw, usable);
    Feed(
        store, t0 + 28000, t0 + 31000, 100, [](int64_t) { return 200; }, usable);
    TrendInput quiet = Input(static_cast<uint32_t>(t0 + 45000), usable, static_cast<uint32_t>(t0 + 31000));
    quiet.wallMs = t0 + 45000;
    store.Offer(quiet);  // no frame, but the 30-40 s interval is over
    const std::vector<TrendInterval> closed = store.TakeClosed();
    EXPECT_TRUE(store.TakeClosed().empty()) << "each once";
    const struct {
        int64_t start;
        uint32_t length;
        int low, high;
        bool gap;
    } want[] = {{0, 9900, 30, 39, true},
                {10000, 9900, 30, 39, false},
                {20000, 5000, 30, 39, false},
                {28000, 1900, 127, 127, true},
                {30000, 1000, 127, 127, false}};
    ASSERT_EQ(5u, closed.size());
    store.Read([&](const TrendRing& ring, const TrendHistory& history) {
        ASSERT_EQ(5u, history.Size());
        EXPECT_FALSE(history.HasOpen());
        EXPECT_EQ(t0, history.StartMs());
        EXPECT_EQ(ring.Size(), 251u + 31u);
    });
    for (size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(t0 + want[i].start, closed[i].wallMs);
        EXPECT_EQ(want[i].length, closed[i].lengthMs);
        EXPECT_EQ(want[i].low, closed[i].min[0]);
        EXPECT_EQ(want[i].high, closed[i].max[0]);
        EXPECT_EQ(40, closed[i].min[1]);
        EXPECT_EQ(want[i].gap, closed[i].gapBefore != 0);
    }
}

// 50 hours of frames: past the history's room the intervals double; each
// channel's extremes stay in it, in time order, within the bound; a day
// and a week at full rate stay within the store's bound (under 16 MB).
TEST(TrendStore, HistoryMergesAtCapacityAndStaysBounded) {
    static_assert(TrendStore::kMaxBytes < 16u * 1024u * 1024u, "a night's job in bounded memory");
    TrendStore store;
    uint32_t usable = 0;
    const int64_t t0 = 1765000000000;
    const int64_t spikeLow = t0 + 3 * 3600000 + 124000, spikeHigh = t0 + 47 * 3600000 + 6000;
    Feed(
        store, t0, t0 + 50 * 3600000LL, 2000, [&](int64_t w) { return w == spikeLow    ? -20
                                                                      : w == spikeHigh ? 90
                                                                                       : 40; },
        usable);
    EXPECT_LE(store.Bytes(), TrendStore::kMaxBytes);
    store.Read([&](const TrendRing&, const TrendHistory& history) {
        EXPECT_LE(history.Size(), kTrendHistoryCapacity);
        EXPECT_EQ(2 * kTrendIntervalMs, history.IntervalMs());
        EXPECT_EQ(t0, history.StartMs());
        int low = 127, high = -128;
        for (size_t i = 0; i < history.Size(); ++i) {
            if (i) {
                ASSERT_GE(history.At(i).wallMs, history.At(i - 1).wallMs + history.At(i - 1).lengthMs) << i;
            }
            ASSERT_LE(history.At(i).lengthMs, history.IntervalMs()) << i;
            low = std::min<int>(low, history.At(i).min[0]);
            high = std::max<int>(high, history.At(i).max[0]);
        }
        EXPECT_EQ(-20, low);
        EXPECT_EQ(90, high);
    });
    // Frames only every 2.5 s (each after a gap): merged in pairs all the same.
    TrendStore sparse;
    Feed(
        sparse, t0, t0 + 50 * 3600000LL, 2500, [](int64_t) { return 40; }, usable);
    sparse.Read(
        [&](const TrendRing&, const TrendHistory& history) { EXPECT_LE(history.Size(), kTrendHistoryCapacity); });
    for (const int64_t hours : {24, 7 * 24}) {
        TrendStore job;
        Feed(
            job, t0, t0 + hours * 3600000, hours == 24 ? 100 : 1000,
            [](int64_t w) { return static_cast<int32_t>(w % 50); }, usable);
        for (int m = 0; m < 5000; ++m) job.Mark(t0 + m, static_cast<uint32_t>(m), TrendMarkKind::Health);
        EXPECT_LE(job.Bytes(), TrendStore::kMaxBytes) << hours << " h";
        job.Read([&](const TrendRing& ring, const TrendHistory& history) {
            EXPECT_GE(ring.At(0).tick - static_cast<uint32_t>(t0),
                      static_cast<uint32_t>(hours * 3600000 - kTrendKeepMs))
                << "the last 30 minutes at full rate";
            EXPECT_EQ(kTrendHistoryMarkCapacity, history.MarkCount());
            EXPECT_EQ(hours == 24 ? kTrendIntervalMs : 4 * kTrendIntervalMs, history.IntervalMs()) << hours << " h";
        });
    }
}

TEST(TrendStore, IntervalTextRoundTripsAndRefusesDamage) {
    TrendInterval v = Interval(-5, 4294967295u, -128, 127, true);
    v.autoOn = 5;
    v.min[3] = 0;
    v.max[19] = 0;
    v.set[7] = -31;
    const std::string text = TrendIntervalText(v);
    EXPECT_EQ(std::string::npos, text.find_first_of("\t\r\n"));
    TrendInterval back{};
    ASSERT_TRUE(ParseTrendInterval(text, back)) << text;
    EXPECT_EQ(text, TrendIntervalText(back));
    const std::string good = TrendIntervalText(Interval(1765000000000, 10000, 30, 39));
    const std::string cut = good.substr(0, good.size() - 3);
    const std::string damaged[] = {
        "",
        cut,                                                                      // torn
        good + " ",                                                               // trailing
        good + ",1",                                                              // a value too many
        good + " 7",                                                              // a field too many
        "x" + good,                                                               // not a number
        good.substr(0, good.find(' ')) + "  " + good.substr(good.find(' ') + 1),  // empty field
        TrendIntervalText(Interval(0, 1, 30, 39)).replace(4, 1, "9"),             // autoOn 9
        TrendIntervalText(Interval(0, 1, 30, 39)).replace(6, 1, "2"),             // gap 2
        TrendIntervalText(Interval(0, 1, 50, 39)),                                // lowest above highest
        TrendIntervalText(Interval(0, 1, 30, 39)).replace(8, 2, "128"),           // beyond a byte
        "0 -1 0 0 " + good.substr(good.find(' ', good.find(' ', good.find(' ', good.find(' ') + 1) + 1) + 1) + 1),
    };
    for (const std::string& d : damaged) {
        TrendInterval out = v;
        EXPECT_FALSE(ParseTrendInterval(d, out)) << "'" << d << "'";
        EXPECT_EQ(TrendIntervalText(v), TrendIntervalText(out)) << "untouched";
    }
}

// The journal's older history restored at load goes before what this run
// sampled, in time order: what overlaps or is out of order is left out,
// and a restart stands between them as a gap.
TEST(TrendStore, RestoredHistoryKeepsTimeOrder) {
    TrendStore store;
    uint32_t usable = 0;
    const int64_t t0 = 1765000000000;
    Feed(
        store, t0, t0 + 25000, 100, [](int64_t) { return 40; }, usable);
    store.Restore({Interval(t0 - 60000, 9000, 10, 20), Interval(t0 - 50000, 9000, 11, 21, true),
                   Interval(t0 - 45000, 9000, 12, 22) /* overlaps */, Interval(t0 - 30000, 5000, 13, 23),
                   Interval(t0 - 5000, 9000, 14, 24) /* runs into this run */});
    Feed(
        store, t0 + 25100, t0 + 40000, 100, [](int64_t) { return 41; }, usable);
    store.Restore({Interval(t0 - 90000, 1000, 9, 9)});
    store.MarkAt(t0 - 55000, TrendMarkKind::SetupLoad);
    store.Read([&](const TrendRing&, const TrendHistory& history) {
        ASSERT_EQ(8u, history.Size());
        const int firstLow[] = {9, 10, 11, 13, 40, 40, 40, 41};
        const bool gap[] = {true, true, true, false, true, false, false, false};
        for (size_t i = 0; i < history.Size(); ++i) {
            SCOPED_TRACE(TrendIntervalText(history.At(i)).substr(0, 40));
            EXPECT_EQ(firstLow[i], history.At(i).min[0]);
            EXPECT_EQ(gap[i], history.At(i).gapBefore != 0);
            if (i) {
                EXPECT_GE(history.At(i).wallMs, history.At(i - 1).wallMs + history.At(i - 1).lengthMs);
            }
        }
        EXPECT_EQ(41, history.At(7).max[0]);
        EXPECT_EQ(t0 - 90000, history.StartMs());
        ASSERT_EQ(1u, history.MarkCount());
    });
    EXPECT_EQ(4u, store.TakeClosed().size()) << "only what this run closed goes to the journal";
}

// The whole job as drawn: the history's intervals as lowest-then-highest
// pairs up to where the ring starts, then the ring; in time order, with the
// history's marks in ticks and the span from the job's start.
TEST(TrendStore, WholeJobSeriesJoinsHistoryAndRing) {
    TrendStore store;
    uint32_t usable = 0;
    const int64_t t0 = 1765000000000;
    store.Restore({Interval(t0 - 3600000, 10000, 20, 30, true)});
    store.MarkAt(t0 - 3595000, TrendMarkKind::ToolReset);
    // 40 minutes of frames: the first ten only in the history.
    Feed(
        store, t0, t0 + 40 * 60000, 100, [](int64_t w) { return static_cast<int32_t>(w / 100 % 10); }, usable);
    const uint32_t nowTick = static_cast<uint32_t>(t0 + 40 * 60000 + 50);
    TrendJobSeries job;
    store.Read([&](const TrendRing& ring, const TrendHistory& history) {
        job.Build(ring, history, nowTick, t0 + 40 * 60000 + 50);
        const TrendSeries s = job.Series();
        EXPECT_EQ(3600000u + 40u * 60000u + 50u, job.SpanMs());
        ASSERT_EQ(2 * (1 + 60) + ring.Size(), s.Size()) << "not the interval the ring begins in";
        EXPECT_EQ(1, s.At(0).reduced);
        EXPECT_EQ(20, s.At(0).gain[0]);
        EXPECT_EQ(30, s.At(1).gain[0]);
        EXPECT_TRUE(s.At(2).gapBefore) << "the restart";
        EXPECT_EQ(nowTick - (3600000u + 40u * 60000u + 50u), s.At(0).tick);
        EXPECT_EQ(0, s.At(s.Size() - ring.Size()).reduced);
        EXPECT_FALSE(s.At(s.Size() - ring.Size()).gapBefore) << "the ring follows the history as one line";
        for (size_t i = 1; i < s.Size(); ++i) ASSERT_GE(static_cast<int32_t>(s.At(i).tick - s.At(i - 1).tick), 0) << i;
        ASSERT_EQ(1u, s.MarkCount());
        EXPECT_EQ(nowTick - (3595000u + 40u * 60000u + 50u), s.MarkAt(0).tick);
        EXPECT_EQ(s.Size() - 1, TrendSampleAt(s, nowTick, job.SpanMs(), nowTick - 10, 100));
        const std::string csv = TrendCsv(s, nowTick, job.SpanMs(), 12 * 3600000);
        EXPECT_NE(std::string::npos, csv.find(",interval lowest,20,"));
        EXPECT_NE(std::string::npos, csv.find(",interval highest,30,"));
    });
    // Six hours on 100 columns: the history alone (the ring is a pixel of
    // it), at most a pair per column, each channel's extremes kept; a stop
    // of 4 s (a fiftieth of a column) drawn on, one of 20 minutes a gap.
    TrendStore longJob;
    auto spikes = [&](int64_t w) { return w == t0 + 7777000 ? -30 : w == t0 + 9999000 ? 99 : 40; };
    Feed(longJob, t0, t0 + 3 * 3600000, 1000, spikes, usable);
    Feed(longJob, t0 + 3 * 3600000 + 5000, t0 + 4 * 3600000, 1000, spikes, usable);
    Feed(longJob, t0 + 4 * 3600000 + 1200000, t0 + 6 * 3600000, 1000, spikes, usable);
    longJob.Read([&](const TrendRing& ring, const TrendHistory& history) {
        job.Build(ring, history, static_cast<uint32_t>(t0 + 6 * 3600000), t0 + 6 * 3600000, 100);
        const TrendSeries s = job.Series();
        EXPECT_LE(s.Size(), 2u * 101u);
        EXPECT_GE(s.Size(), 2u * 90u);
        int low = 127, high = -128;
        size_t gaps = 0;
        for (size_t i = 0; i < s.Size(); ++i) {
            ASSERT_NE(0, s.At(i).reduced) << i;
            gaps += s.At(i).gapBefore;
            if (i) {
                ASSERT_GE(static_cast<int32_t>(s.At(i).tick - s.At(i - 1).tick), 0) << i;
            }
            low = std::min<int>(low, s.At(i).gain[0]);
            high = std::max<int>(high, s.At(i).gain[0]);
        }
        EXPECT_EQ(-30, low);
        EXPECT_EQ(99, high);
        EXPECT_EQ(2u, gaps) << "the first, and the 20-minute stop";
    });
}
