#include <gtest/gtest.h>

#include <vector>

#include "KelvaneHost.h"
#include "bench/logic/ToolSim.h"

using namespace kelvane;

namespace {
ToolCommand Cmd(int32_t code, int32_t value, int32_t arg = ARG_VALUE) {
    ToolCommand c{};
    c.CodeWord = code;
    c.ArgWord = arg;
    c.Payload[0] = value;
    return c;
}

std::vector<int16_t> Frame(ToolSim& sim) {
    std::vector<int16_t> f(FRAME_MIN_WORDS, 0x7777);
    EXPECT_TRUE(sim.NextFrame(f.data(), f.size()));
    return f;
}
}  // namespace

TEST(ToolSim, EveryGainCommandReachesItsChannelsReadBackWord) {
    const struct {
        int32_t code;
        int32_t value;
        std::vector<int> words;  // frame words that must carry the gain
    } cases[] = {
        {CMD_DT_CH1_GAIN, 12, {READBACK_DT_WORD}},
        {CMD_DT_CH4_GAIN, -31, {READBACK_DT_WORD + 3}},
        {CMD_DT_ALL_GAIN, 9, {READBACK_DT_WORD, READBACK_DT_WORD + 1, READBACK_DT_WORD + 2, READBACK_DT_WORD + 3}},
        {CMD_MONO_CH3_GAIN, 78, {READBACK_MONO_WORD + 2}},
        {CMD_MONO_CH8_GAIN, -5, {READBACK_MONO_WORD + 7}},
        {CMD_MONO_ALL_GAIN, 18, {READBACK_MONO_WORD, READBACK_MONO_WORD + 4, READBACK_MONO_WORD + 7}},
        {CMD_DIPOLE_CH1_GAIN, 33, {READBACK_DIPOLE_WORD}},
        {CMD_DIPOLE_ALL_GAIN, 0, {READBACK_DIPOLE_WORD, READBACK_DIPOLE_WORD + 7}},
        {CMD_MONO_CH1_GAIN, 200, {READBACK_MONO_WORD}},   // the tool's own range: 80
        {CMD_DT_CH2_GAIN, -999, {READBACK_DT_WORD + 1}},  // -31
    };
    for (const auto& c : cases) {
        ToolSim sim;
        ASSERT_TRUE(sim.Apply(Cmd(c.code, c.value))) << std::hex << c.code;
        const std::vector<int16_t> f = Frame(sim);
        const int32_t want = c.value > GAIN_MAX_DB ? GAIN_MAX_DB : c.value < GAIN_MIN_DB ? GAIN_MIN_DB : c.value;
        for (int w : c.words) EXPECT_EQ(want, f[w]) << std::hex << c.code << std::dec << " word " << w;
    }
}

TEST(ToolSim, SettingsCommandsChangeTheToolState) {
    struct Case {
        int32_t code;
        int32_t value;
        int32_t (*read)(const ToolState&);
        int32_t want;
    };
    const Case cases[] = {
        {CMD_MONO_STACK, 3, [](const ToolState& t) { return t.Sec[1].Stack; }, 3},
        {CMD_DIPOLE_STACK, 9, [](const ToolState& t) { return t.Sec[2].Stack; }, 4},
        {CMD_MONO_WIN_END, 8640, [](const ToolState& t) { return t.Sec[1].WinEnd; }, 8640},
        {CMD_DIPOLE_WIN_END, 240, [](const ToolState& t) { return t.Sec[2].WinEnd; }, 240},
        {CMD_DT_WIN_START, 400, [](const ToolState& t) { return t.Sec[0].WinStart; }, 400},
        {CMD_DT_WIN_END, 1000, [](const ToolState& t) { return t.Sec[0].WinEnd; }, 1000},
        {CMD_DT_TOTAL_OFFSET, 30, [](const ToolState& t) { return t.Sec[0].TotalOffset; }, 30},
        {CMD_MONO_SAMPLERATE, 36, [](const ToolState& t) { return t.Sec[1].SampleInterval; }, 36},
        {CMD_DIPOLE_SAMPLERATE, 48, [](const ToolState& t) { return t.Sec[2].SampleInterval; }, 48},
        {CMD_DT_RXDELAY, 200, [](const ToolState& t) { return t.Sec[0].RxDelay; }, 200},
        {CMD_DT_RXDELAY_STEP, 5, [](const ToolState& t) { return t.Sec[0].RxDelayStep; }, 5},
        {CMD_MONO_RXDELAY, 90, [](const ToolState& t) { return t.Sec[1].RxDelay; }, 90},
        {CMD_MONO_RXDELAY_STEP, 7, [](const ToolState& t) { return t.Sec[1].RxDelayStep; }, 7},
        {CMD_DIPOLE_RXDELAY, 800, [](const ToolState& t) { return t.Sec[2].RxDelay; }, 800},
        {CMD_DIPOLE_RXDELAY_STEP, 300, [](const ToolState& t) { return t.Sec[2].RxDelayStep; }, 300},
        {CMD_MONO_DOWNHOLE_FILTER, VALUE_ON, [](const ToolState& t) { return int32_t{t.Sec[1].DownholeFilter}; }, 1},
        {CMD_DIPOLE_DOWNHOLE_FILTER, VALUE_ON, [](const ToolState& t) { return int32_t{t.Sec[2].DownholeFilter}; }, 1},
        {CMD_DT_DOWNHOLE_FILTER, VALUE_ON, [](const ToolState& t) { return int32_t{t.Sec[0].DownholeFilter}; }, 1},
        {CMD_DT_AUTO_GAIN, VALUE_ON, [](const ToolState& t) { return int32_t{t.Sec[0].AutoGain}; }, 1},
        {CMD_MONO_AUTO_GAIN, VALUE_ON, [](const ToolState& t) { return int32_t{t.Sec[1].AutoGain}; }, 1},
        {CMD_DIPOLE_AUTO_GAIN, VALUE_ON, [](const ToolState& t) { return int32_t{t.Sec[2].AutoGain}; }, 1},
    };
    for (const Case& c : cases) {
        ToolSim sim;
        EXPECT_TRUE(sim.Apply(Cmd(c.code, c.value))) << std::hex << c.code;
        EXPECT_EQ(c.want, c.read(sim.State())) << std::hex << c.code;
    }
}

TEST(ToolSim, RejectsWhatTheToolCannotDecode) {
    const ToolCommand bad[] = {
        Cmd(0x8200, 1),                    // unknown code
        Cmd(0x8259, 1),                    // a gap in the DT range
        Cmd(CMD_MONO_CH1_GAIN, 12, 0),     // value command without its value word
        Cmd(CMD_DT_AUTO_GAIN, 0x87),       // neither on nor off
        Cmd(CMD_MONO_DOWNHOLE_FILTER, 1),  // neither on nor off
    };
    for (const ToolCommand& c : bad) {
        ToolSim sim;
        const ToolState before = sim.State();
        EXPECT_FALSE(sim.Apply(c)) << std::hex << c.CodeWord;
        EXPECT_EQ(before.Sec[1].Gain[0], sim.State().Sec[1].Gain[0]);
        EXPECT_EQ(before.Sec[0].AutoGain, sim.State().Sec[0].AutoGain);
    }
}

TEST(ToolSim, GainStepAndResets) {
    ToolSim sim;
    for (int n = 1; n <= 3; ++n) {
        EXPECT_TRUE(sim.Apply(Cmd(CMD_GAIN_STEP_1DB + n - 1, 0, 0)));
        EXPECT_EQ(n, sim.State().GainStep);
    }
    sim.Apply(Cmd(CMD_MONO_CH2_GAIN, 44));
    sim.Apply(Cmd(CMD_MONO_RXDELAY, 300));
    sim.Apply(Cmd(CMD_DT_AUTO_GAIN, VALUE_ON));
    sim.Apply(Cmd(CMD_GAIN_STEP_1DB, 0, 0));

    EXPECT_TRUE(sim.Apply(Cmd(CMD_DSP_RESET, 0, 0)));  // DSP set-up gone, controller keeps delays and step
    const ToolState on = PowerOnState();
    EXPECT_EQ(on.Sec[1].Gain[1], sim.State().Sec[1].Gain[1]);
    EXPECT_FALSE(sim.State().Sec[0].AutoGain);
    EXPECT_EQ(300, sim.State().Sec[1].RxDelay);
    EXPECT_EQ(1, sim.State().GainStep);

    EXPECT_TRUE(sim.Apply(Cmd(CMD_TOOL_RESET, 0, 0)));  // everything as at power-on
    EXPECT_EQ(on.Sec[1].RxDelay, sim.State().Sec[1].RxDelay);
    EXPECT_EQ(on.GainStep, sim.State().GainStep);
    EXPECT_EQ(1, sim.DspResets());
    EXPECT_EQ(1, sim.ToolResets());
}

TEST(ToolSim, ReadBackLagsByTheConfiguredFrames) {
    for (int lag : {0, 1, 3}) {
        ToolSim sim;
        sim.SetLag(lag);
        const int32_t before = sim.State().Sec[1].Gain[2];
        sim.Apply(Cmd(CMD_MONO_CH3_GAIN, 51));
        for (int i = 0; i < lag; ++i)
            EXPECT_EQ(before, Frame(sim)[READBACK_MONO_WORD + 2]) << "lag " << lag << " frame " << i;
        EXPECT_EQ(51, Frame(sim)[READBACK_MONO_WORD + 2]) << "lag " << lag;
    }
}

TEST(ToolSim, AutoGainFollowsTheFormationInGainSteps) {
    ToolSim sim;
    sim.Apply(Cmd(CMD_GAIN_STEP_3DB, 0, 0));
    sim.Apply(Cmd(CMD_DIPOLE_AUTO_GAIN, VALUE_ON));
    sim.Apply(Cmd(CMD_DIPOLE_CH1_GAIN, 0));  // ignored while auto gain is on
    bool changed = false;
    int16_t first = 0;
    for (int i = 0; i < 40; ++i) {
        const int16_t g = Frame(sim)[READBACK_DIPOLE_WORD];
        if (i == 0) first = g;
        changed = changed || g != first;
        EXPECT_EQ(0, g % 3) << "frame " << i;
        EXPECT_GE(g, GAIN_MIN_DB);
        EXPECT_LE(g, GAIN_MAX_DB);
        EXPECT_EQ(ToolSim::AutoGainFor(sim.FrameCount(), Section::Dipole, 0, 3), g);
    }
    EXPECT_TRUE(changed) << "auto gain should drift with the formation";
    sim.Apply(Cmd(CMD_DIPOLE_AUTO_GAIN, VALUE_OFF));
    EXPECT_EQ(0, Frame(sim)[READBACK_DIPOLE_WORD]);  // back to the manual gain
}

TEST(ToolSim, FaultsShowInTheReadBack) {
    ToolSim sim;
    sim.Apply(Cmd(CMD_MONO_ALL_GAIN, 30));
    sim.StickChannel(Section::Mono, 2);
    sim.Apply(Cmd(CMD_MONO_ALL_GAIN, 60));
    sim.Apply(Cmd(CMD_MONO_CH3_GAIN, 12));
    std::vector<int16_t> f = Frame(sim);
    EXPECT_EQ(30, f[READBACK_MONO_WORD + 2]);  // stuck
    EXPECT_EQ(60, f[READBACK_MONO_WORD + 1]);

    sim.ClearStuck();
    sim.Fault().ReadBackOffset = 32767;  // saturates into the 16-bit word
    f = Frame(sim);
    EXPECT_EQ(32767, f[READBACK_MONO_WORD]);
    sim.Fault().ReadBackOffset = -2;
    EXPECT_EQ(10, Frame(sim)[READBACK_MONO_WORD + 2]);

    sim.Fault().DropEvery = 3;
    std::vector<int16_t> buf(FRAME_MIN_WORDS);
    int dropped = 0;
    for (int i = 0; i < 9; ++i) dropped += sim.NextFrame(buf.data(), buf.size()) ? 0 : 1;
    EXPECT_EQ(3, dropped);
    EXPECT_FALSE(sim.NextFrame(buf.data(), FRAME_MIN_WORDS - 1) && sim.Fault().DropEvery == 0);
}

TEST(ToolSim, StatusCheckAnswersOnceWithTheFaultBits) {
    ToolSim sim;
    DspStatusReport r{};
    EXPECT_FALSE(sim.TakeStatusReport(&r));
    sim.Fault().DspFaultBits = 0x2001;
    EXPECT_TRUE(sim.Apply(Cmd(CMD_STATUS_CHECK, 0, ARG_STATUS_CHECK)));
    EXPECT_TRUE(sim.TakeStatusReport(&r));
    EXPECT_EQ(0x2001, r.StatusWord);
    EXPECT_FALSE(sim.TakeStatusReport(&r));
}

TEST(ToolSim, JournalTexts) {
    const struct {
        ToolCommand cmd;
        const char* text;
    } cases[] = {
        {Cmd(CMD_MONO_CH3_GAIN, 78), "78 dB"},
        {Cmd(CMD_DT_AUTO_GAIN, VALUE_ON), "on"},
        {Cmd(CMD_DIPOLE_DOWNHOLE_FILTER, VALUE_OFF), "off"},
        {Cmd(CMD_DT_WIN_END, 1000), "1000 us"},
        {Cmd(CMD_MONO_STACK, 2), "2"},
        {Cmd(CMD_DSP_RESET, 0, 0), "-"},
        {Cmd(CMD_DT_AUTO_GAIN, 7), "0x7 (neither on nor off)"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.text, DescribeValue(c.cmd)) << std::hex << c.cmd.CodeWord;
    EXPECT_EQ(
        "{\"t_ms\":1.500,\"code\":\"0x8223\",\"name\":\"CMD_MONO_CH3_GAIN\",\"value\":78,\"unit\":\"dB\","
        "\"text\":\"78 dB\",\"words\":[33315,1,78]}",
        JournalJson(1.5, Cmd(CMD_MONO_CH3_GAIN, 78)));
    EXPECT_EQ("0.000,0x8201,CMD_STATUS_CHECK,-,33281,1048832,0",
              JournalCsv(0, Cmd(CMD_STATUS_CHECK, 0, ARG_STATUS_CHECK)));
}
