#include "shell/logic/FrameWatch.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "shell/logic/StripRules.h"

using namespace kelvane;

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
        {"frames long before the window", 50000, {{0, 7, 5, 0u - 40000u, true, "Frames: none for 40 s", "Dropped: 0"}}},
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

// The strip's time decisions at their edges, with the clock handed in.
TEST(StripRules, StreamAndStaleTimerEdges) {
    EXPECT_TRUE(Streaming(1049, 1000));
    EXPECT_FALSE(Streaming(1050, 1000));
    EXPECT_TRUE(Streaming(10, 0xFFFFFFF0u)) << "across the tick's wrap";
    const struct {
        bool stale;
        uint32_t since, want;
    } cases[] = {{false, 1499, 0}, {false, 1500, 0}, {false, 1501, 499},
                 {false, 1999, 1}, {false, 2000, 0}, {true, 1800, 0}};
    for (const auto& c : cases) EXPECT_EQ(c.want, StaleTimerDelay(c.stale, c.since, 2000, 500)) << c.since;
}

// The failure part, whole first and then shorter, no two forms alike.
TEST(StripRules, FailureFormsShortenInTurn) {
    EXPECT_TRUE(StripFailureForms({}).empty());
    StripFailure save;
    save.saveLine = "Settings not saved (locked): kept in D:\\KC1.ini";
    save.saveShort = "Settings not saved (locked)";
    EXPECT_EQ(StripFailureForms(save), (std::vector<std::string>{save.saveLine, save.saveShort, "Settings not saved"}));
    StripFailure all = save;
    all.dsp = "DSP#2 of the master panel reports an error";
    all.journal = "Access denied";
    all.health = {"Monopole CH3 stuck at 42 dB for 25 s", "CH3 stuck"};
    EXPECT_EQ(StripFailureForms(all),
              (std::vector<std::string>{"Monopole CH3 stuck at 42 dB for 25 s; " + all.dsp + "; " + save.saveLine +
                                            "; Job journal not written: Access denied",
                                        "CH3 stuck; " + all.dsp + "; " + save.saveShort + "; Journal not written",
                                        "CH3 stuck; DSP error; " + save.saveShort + "; Journal not written",
                                        "CH3 stuck; DSP error; Settings not saved; Journal not written"}));
    StripFailure journal;
    journal.journal = "The disk is full";
    EXPECT_EQ(StripFailureForms(journal),
              (std::vector<std::string>{"Job journal not written: The disk is full", "Journal not written"}));
}
