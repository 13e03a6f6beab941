// Open/close and load/unload cycles in one process: private memory and GDI,
// USER and kernel handle counts do not grow. The counts are sampled along the
// run and their growth per cycle held to bounds (harness/logic/GrowthRate),
// so a short run (150 window and 30 load cycles, about a minute) finds a
// leak of one handle per cycle; scripts/soak.sh runs the full length
// (KELVANE_SLOW=1: 1000 and 100).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "HostHarness.h"
#include "Operator.h"
#include "ProcessUsage.h"
#include "resource.h"

#include "TestSupport.h"

using namespace kelvane;
using namespace harness;
using namespace testsupport;

namespace {

// Prints the figures and the samples (a clean series is what
// tests/native/GrowthRateTest.cpp replays), then checks the rates.
void ExpectNoGrowth(const char* what, const std::vector<UsageSample>& samples, double seconds,
                    const GrowthBounds& bounds) {
    const GrowthVerdict v = JudgeGrowth(samples, bounds);
    const int cycles = samples.back().cycle;
    std::printf("[ figures  ] %s, %d cycles, %.1f ms per cycle; %s\n", what, cycles, seconds * 1000 / cycles,
                DescribeGrowth(v, bounds).c_str());
    for (const UsageSample& s : samples)
        std::printf("[ sample   ] {%d, %.0f, %ld, %ld, %ld},\n", s.cycle, s.privateBytes, s.gdi, s.user, s.kernel);
    EXPECT_TRUE(v.ok) << what << ": " << v.why;
}

struct Cycles : ::testing::Test {
    HostHarness host;
    std::vector<int16_t> frame = std::vector<int16_t>(FRAME_MIN_WORDS, 0);
    void SetUp() override {
        host.PrepareWorkFolder(TestFolder());
        frame[READBACK_MONO_WORD] = 12;
        host.SetFrame(frame.data());
    }
    void TearDown() override { host.SetFrame(nullptr); }

    // Open and close as the operator's close box does.
    void OpenClose() {
        HWND shown = host.Show();
        ASSERT_NE(nullptr, shown);
        SendMessageA(shown, WM_CLOSE, 0, 0);
        HostHarness::Pump();
        ASSERT_FALSE(IsWindow(shown));
    }

    // One operator session: open, a page switch, a typed gain, a frame, close.
    void Session(bool closeByUnload) {
        Operator op(host.Show());
        ASSERT_NE(nullptr, op.Frame());
        op.ClickPageItem(kMonopole);
        op.TypeAndEnter(kMonopole, IDC_MONO_CH3, "9");
        host.Process();
        HostHarness::Pump();
        ASSERT_EQ("12", op.Text(kMonopole, IDC_MONO_READBACK1));
        if (!closeByUnload) {
            SendMessageA(op.Frame(), WM_CLOSE, 0, 0);
            HostHarness::Pump();
            ASSERT_FALSE(IsWindow(op.Frame()));
        }
        host.ClearCommands();
    }
};

TEST_F(Cycles, WindowOpenCloseCycles) {
    ASSERT_TRUE(host.Load());
    host.Init();
    for (int i = 0; i < 20; ++i) ASSERT_NO_FATAL_FAILURE(Session(false));  // warm the caches
    const int cycles = SlowRun() ? 1000 : 150;
    std::vector<UsageSample> samples{MeasureUsage(0)};
    const double t0 = Now();
    // Every tenth window is also operated: pages shown, a gain typed, a frame.
    for (int i = 0; i < cycles; ++i) {
        if (i % 10 == 0) ASSERT_NO_FATAL_FAILURE(Session(false)) << "cycle " << i;
        else ASSERT_NO_FATAL_FAILURE(OpenClose()) << "cycle " << i;
        if ((i + 1) % 15 == 0) samples.push_back(MeasureUsage(i + 1));  // about 1 s each under Wine
    }
    ExpectNoGrowth("window open/close", samples, Now() - t0, kWindowCycleBounds);
    host.Unload();
    EXPECT_EQ("9", IniValue(host.ReadIni(), "MONOPOLE CONTROL", "Ch3Gain"));
}

// Each cycle loads the library, opens the window, and unloads it: every
// other time with the window still open, so shut-down tears it down.
TEST_F(Cycles, LoadUnloadCycles) {
    auto cycle = [&](int i) {
        ASSERT_TRUE(host.Load());
        host.Init();
        ASSERT_NO_FATAL_FAILURE(Session(i % 2 == 1));
        host.Unload();
    };
    for (int i = 0; i < 4; ++i) ASSERT_NO_FATAL_FAILURE(cycle(i));
    const int cycles = SlowRun() ? 100 : 30;
    const int every = SlowRun() ? 5 : 2;
    std::vector<UsageSample> samples{MeasureUsage(0)};
    const double t0 = Now();
    for (int i = 0; i < cycles; ++i) {
        ASSERT_NO_FATAL_FAILURE(cycle(i)) << "cycle " << i;
        if ((i + 1) % every == 0) samples.push_back(MeasureUsage(i + 1));
    }
    ExpectNoGrowth("library load/unload", samples, Now() - t0, kLoadCycleBounds);
    EXPECT_FALSE(GetModuleHandleA("Kelvane.dll")) << "the library stayed loaded";
}

}  // namespace
