#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/ReadBack.h"

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
    ReadBackGainSnapshot snap{};
    CopyReadBackGains(snap, frame.data());
    ReadBackWords w = LoadReadBack(snap);
    for (const auto& c : cases) EXPECT_EQ(c.want, *c.slot(w)) << "word " << c.word;

    CopyReadBackGains(snap, nullptr);  // a dropped frame changes nothing
    w = LoadReadBack(snap);
    EXPECT_EQ(-31, w.Monopole[0]);
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

TEST(ReadBack, CommandNamesCoverEveryCode) {
    EXPECT_STREQ("CMD_DIPOLE_WIN_END", CommandName(0x823D));
    EXPECT_STREQ("CMD_STATUS_CHECK", CommandName(0x8201));
    EXPECT_EQ(nullptr, CommandName(0x8200));
}
