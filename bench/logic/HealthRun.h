// The channel-health rules against the simulated tool: every section in
// auto gain, frames ten a second, a fault planted on one channel. Gives the
// figures (false flags, time to the flag) and the rules' tests the same run.
#pragma once

#include <cstdint>

namespace kelvane {

enum class PlantedFault { None, Stuck, PinnedHigh, PinnedLow, Offset };

struct HealthRunResult {
    int falseFlags = 0;     // flags on channels without a fault
    int64_t detectMs = -1;  // from the fault to its channel's flag; -1 never
    int rule = -1;          // HealthRule of that flag, as int
};

// Runs for runMs of simulated time at frameMs a frame; the fault goes on
// plantAtMs after auto gain went on, on monopole channel 3 (trend
// channel 6), and the run ends once it is flagged.
HealthRunResult RunHealth(PlantedFault fault, uint32_t runMs, uint32_t plantAtMs = 60000, uint32_t frameMs = 100);

}  // namespace kelvane
