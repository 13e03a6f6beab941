// libFuzzer target over the set-up reader: any text either fails with a
// reason, or reads into values that render and read back the same, whose
// preview and limits hold (every float finite, every limited value in its
// drive range).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "KelvaneHost.h"
#include "core/logic/DriveLimits.h"
#include "core/logic/IniRules.h"
#include "core/logic/SetupRules.h"

using namespace kelvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParameterSet base{};
    SetDefaultParameters(base, BlockView());
    const std::string text(reinterpret_cast<const char*>(data), size);
    SetupFile read;
    std::string why;
    if (!ParseSetup(text, base, read, why)) {
        CHECK(!why.empty());
        return 0;
    }
    for (const SetupSetting& s : SetupSettings()) {
        if (s.unit != SetupUnit::Real) continue;
        float v;
        std::memcpy(&v, reinterpret_cast<const unsigned char*>(&read.values) + s.member, 4);
        CHECK(std::isfinite(v));
    }
    // What was read renders and reads back bit for bit.
    SetupFile again;
    CHECK(ParseSetup(RenderSetup(read.name, read.saved, read.values), base, again, why));
    CHECK(std::memcmp(&again.values, &read.values, sizeof(ParameterSet)) == 0);
    CHECK(again.name == read.name);
    (void)DiffSetup(base, read.values);
    (void)SetupSummary(read.values);
    ParameterSet limited = read.values;
    LimitSetup(limited);
    for (const SetupSetting& s : SetupSettings()) {
        int32_t lo = 0, hi = 0, v = 0;
        if (s.code == 0 || s.unit == SetupUnit::OnOff || s.unit == SetupUnit::Check || s.code == CMD_DT_WIN_END ||
            s.code == CMD_GAIN_STEP_1DB || !DriveBounds(s.code, limited, &lo, &hi))
            continue;
        std::memcpy(&v, reinterpret_cast<const unsigned char*>(&limited) + s.member, 4);
        CHECK(LimitDriveValue(s.code, v, limited) == v);
    }
    return 0;
}
