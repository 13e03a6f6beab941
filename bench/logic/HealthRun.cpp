#include "bench/logic/HealthRun.h"

#include "KelvaneHost.h"
#include "bench/logic/ToolSim.h"
#include "shell/logic/Health.h"

namespace kelvane {

namespace {
constexpr int kPlantedChannel = 2;  // monopole CH3
constexpr int kOffsetFaultDb = -30;

ToolCommand Value(int32_t code, int32_t value) {
    ToolCommand cmd{};
    cmd.CodeWord = code;
    cmd.ArgWord = ARG_VALUE;
    cmd.Payload[0] = value;
    return cmd;
}
}  // namespace

HealthRunResult RunHealth(PlantedFault fault, uint32_t runMs, uint32_t plantAtMs, uint32_t frameMs) {
    ToolSim sim;
    for (int32_t code : {CMD_DT_AUTO_GAIN, CMD_MONO_AUTO_GAIN, CMD_DIPOLE_AUTO_GAIN}) sim.Apply(Value(code, VALUE_ON));
    HealthWatch watch;
    HealthRunResult result;
    const int planted = kTrendFirst[1] + kPlantedChannel;
    bool plantedYet = false;
    int16_t frame[FRAME_MIN_WORDS] = {};
    // Starts away from zero so the ticks' wrap is no special case.
    const uint32_t start = 0xFFFF0000u;
    for (uint32_t t = 0; t <= runMs; t += frameMs) {
        if (!plantedYet && fault != PlantedFault::None && t >= plantAtMs) {
            plantedYet = true;
            switch (fault) {
            case PlantedFault::Stuck: sim.StickChannel(Section::Mono, kPlantedChannel); break;
            case PlantedFault::PinnedHigh: sim.PinChannel(Section::Mono, kPlantedChannel, true); break;
            case PlantedFault::PinnedLow: sim.PinChannel(Section::Mono, kPlantedChannel, false); break;
            case PlantedFault::Offset: sim.OffsetChannel(Section::Mono, kPlantedChannel, kOffsetFaultDb); break;
            case PlantedFault::None: break;
            }
        }
        if (!sim.NextFrame(frame, FRAME_MIN_WORDS)) continue;
        TrendSample s{};
        s.tick = start + t;
        s.autoOn = 7;
        for (int c = 0; c < 4; ++c) s.gain[c] = static_cast<int8_t>(frame[READBACK_DT_WORD + c]);
        for (int c = 0; c < 8; ++c) s.gain[4 + c] = static_cast<int8_t>(frame[READBACK_MONO_WORD + c]);
        for (int c = 0; c < 8; ++c) s.gain[12 + c] = static_cast<int8_t>(frame[READBACK_DIPOLE_WORD + c]);
        for (const HealthEvent& e : watch.Offer(s, sim.State().GainStep)) {
            if (!e.began) continue;
            if (plantedYet && e.channel == planted) {
                result.detectMs = static_cast<int64_t>(t) - plantAtMs;
                result.rule = static_cast<int>(e.flag.rule);
                return result;
            }
            ++result.falseFlags;
        }
    }
    return result;
}

}  // namespace kelvane
