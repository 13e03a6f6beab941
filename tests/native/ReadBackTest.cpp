#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/ReadBack.h"
#include "shell/logic/FrameWatch.h"
#include "base/logic/Saturate.h"

using namespace kelvane;

TEST(ReadBack, WordsAreSignExtendedFromTheirRuns) {
    std::vector<int16_t> frame(FRAME_MIN_WORDS + 1, 0);
    const struct {
        int word;
        int16_t raw;
        int32_t* (*slot)(ReadBackWords&);
        int32_t want;
    } cases[] = {
        {READBACK_MONO_WORD, static_cast<int16_t>(0xFFE1), [](ReadBackWords& w) { return &w.Monopole[0]; }, -31},
        {READBACK_MONO_WORD + 7, 0x0050, [](ReadBackWords& w) { return &w.Monopole[7]; }, 80},
        {READBACK_DT_WORD, -32768, [](ReadBackWords& w) { return &w.Dt[0]; }, -32768},
        {READBACK_DT_WORD + 3, 32767, [](ReadBackWords& w) { return &w.Dt[3]; }, 32767},
        {READBACK_DIPOLE_WORD + 7, -5, [](ReadBackWords& w) { return &w.Dipole[7]; }, -5},
    };
    for (const auto& c : cases) frame[c.word] = c.raw;
    ToolStatusSnapshot snap{};
    CopyStatusWords(snap, frame.data());
    ReadBackWords w = LoadReadBack(snap);
    for (const auto& c : cases) EXPECT_EQ(c.want, *c.slot(w)) << "word " << c.word;

    CopyStatusWords(snap, nullptr);  // a dropped frame changes nothing
    w = LoadReadBack(snap);
    EXPECT_EQ(-31, w.Monopole[0]);
}

TEST(Saturate, ConversionsNeverOverflow) {
    const struct {
        double in;
        int32_t trunc;
    } cases[] = {{12.9, 12},          {-4.5, -4},          {1e10, 2147483647},  {-1e10, -2147483647 - 1},
                 {2147483647.9, 2147483647}, {-2147483648.9, -2147483647 - 1}, {0.0 / 1.0, 0}};
    for (const auto& c : cases) EXPECT_EQ(c.trunc, TruncToInt32(c.in)) << c.in;
    EXPECT_EQ(0, TruncToInt32(std::nan("")));
}

// The frame stream as the window's timer sees it: fresh or old read-back,
// the rate, and the frames dropped since the window opened. Ticks wrap.
TEST(FrameWatch, StalenessRateAndDrops) {
    struct Step {
        uint32_t at;      // ms after the window opened
        uint32_t frames;  // counted so far (this library's life)
        uint32_t usable;
        uint32_t lastUsableAt;
        bool stale;
        const char* frameText;
        const char* droppedText;
    };
    struct Case {
        const char* name;
        uint32_t openTick;
        std::vector<Step> steps;
    } cases[] = {
        {"nothing ever comes",
         1000,
         {{0, 0, 0, 0, false, "Frames: none yet", "Dropped: 0"},
          {1999, 0, 0, 0, false, "Frames: none yet", "Dropped: 0"},
          {2000, 0, 0, 0, true, "Frames: none since the window opened", "Dropped: 0"}}},
        {"a steady stream that stops",
         0xFFFFF000u,  // the tick wraps on the way
         {{0, 10, 10, 0, false, "Frames: 0.0/s, last 0.0 s ago", "Dropped: 0"},
          {500, 15, 15, 500, false, "Frames: 10.0/s, last 0.0 s ago", "Dropped: 0"},
          {1000, 22, 20, 1000, false, "Frames: 10.0/s, last 0.0 s ago", "Dropped: 2"},
          {2500, 40, 20, 1000, false, "Frames: 2.5/s, last 1.5 s ago", "Dropped: 20"},
          {3000, 40, 20, 1000, true, "Frames: none for 2.0 s", "Dropped: 20"},
          {3000 + 200000, 40, 20, 1000, true, "Frames: none for 3 min 22 s", "Dropped: 20"}}},
        {"frames long before the window",
         50000,
         {{0, 7, 5, 0u - 40000u, true, "Frames: none for 40 s", "Dropped: 0"}}},
        {"opened with a frame counted in one count but not yet the other",
         0,
         {{0, 11, 10, 0, false, "Frames: 0.0/s, last 0.0 s ago", "Dropped: 0"},
          {500, 11, 11, 500, false, "Frames: 2.0/s, last 0.0 s ago", "Dropped: 0"}}},
    };
    for (const Case& c : cases) {
        FrameWatch watch;
        bool opened = false;
        for (const Step& s : c.steps) {
            const FrameSample sample{c.openTick + s.at, s.frames, s.usable, c.openTick + s.lastUsableAt};
            if (!opened) watch.Open(sample);
            else watch.Sample(sample);
            opened = true;
            EXPECT_EQ(s.stale, watch.Stale()) << c.name << " at " << s.at;
            EXPECT_EQ(s.frameText, watch.FramesText()) << c.name << " at " << s.at;
            EXPECT_EQ(s.droppedText, watch.DroppedText()) << c.name << " at " << s.at;
        }
    }
    EXPECT_EQ("2 h 5 min", FormatAge(7500000));
    EXPECT_EQ(86399, SecondsOfDayAgo(0, 1000)) << "yesterday";
    EXPECT_EQ(3600, SecondsOfDayAgo(3661, 61999));
}

// The window's timer reads the counts while the host's thread streams frames
// as fast as it can: frames that all carry words never read as a drop.
TEST(ReadBack, CountsReadMidStreamNeverShowADrop) {
    FrameCounts counts;
    std::atomic<bool> stop{false};
    std::thread stream([&] {
        for (uint32_t i = 0; !stop.load(std::memory_order_relaxed); ++i) counts.Count(true, i);
    });
    while (counts.Usable() < 1000) std::this_thread::yield();  // streaming
    uint32_t phantom = 0;
    for (int i = 0; i < 200000; ++i) {
        const FrameCounts::Tally t = counts.Read();
        if (t.frames != t.usable) ++phantom;
    }
    stop = true;
    stream.join();
    EXPECT_EQ(0u, phantom);
}
