// libFuzzer target over a set-up load as the plug-in makes it: read, limit,
// preview, publish. Any text either fails with a reason, or reads into values
// that render and read back the same; what the load would publish and send
// is within its limits (the soak's invariants), and the preview names every
// setting that would change with the value as published or sent.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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
    (void)SetupSummary(read.values);

    // The load: the preview from the values as read, then what goes out.
    const std::vector<SetupChange> rows = DiffSetup(base, read.values);
    ParameterSet sent = read.values;
    LimitSetup(sent);
    ToolControlPara tool{};
    ProcessPara process{};
    PublishWholeSet(sent, BlockView(&tool, sizeof tool), BlockView(&process, sizeof process));

    size_t row = 0;
    for (const SetupSetting& s : SetupSettings()) {
        int32_t v = 0;
        std::memcpy(&v, reinterpret_cast<const unsigned char*>(&sent) + s.member, 4);
        int32_t lo = 0, hi = 0;
        if (s.unit == SetupUnit::OnOff || s.unit == SetupUnit::Check) CHECK(v == 0 || v == 1);
        else if (s.choices > 0) CHECK(v >= 0 && v < s.choices);
        else if (s.code == CMD_GAIN_STEP_1DB) CHECK(v >= 1 && v <= 3);
        else if (s.code == CMD_DT_WIN_END) {
            CHECK(DriveBounds(CMD_DT_WIN_END, sent, &lo, &hi));
            CHECK(v > 0 && int64_t{sent.DtFirstStartTime} + v >= lo && int64_t{sent.DtFirstStartTime} + v <= hi);
        } else if (s.code != 0 && DriveBounds(s.code, sent, &lo, &hi))
            CHECK(v >= lo && v <= hi && LimitDriveValue(s.code, v, sent) == v);
        else if (s.unit != SetupUnit::Real && s.code == 0 && std::strcmp(s.section, kAcousticSection) == 0)
            CHECK(v >= TYPED_FIELD_MIN && v <= TYPED_FIELD_MAX);
        // The preview: a row for each setting that changes, in table order,
        // with the value that goes out.
        if (std::memcmp(reinterpret_cast<const unsigned char*>(&base) + s.member,
                        reinterpret_cast<const unsigned char*>(&sent) + s.member, 4) == 0)
            continue;
        CHECK(row < rows.size());
        CHECK(rows[row].setting == s.label && rows[row].page == s.page);
        CHECK(rows[row].setup.compare(0, SetupValueText(s, sent).size(), SetupValueText(s, sent)) == 0);
        const bool limited = std::memcmp(reinterpret_cast<const unsigned char*>(&read.values) + s.member,
                                         reinterpret_cast<const unsigned char*>(&sent) + s.member, 4) != 0;
        CHECK(limited == (rows[row].setup.find("(limited from ") != std::string::npos));
        ++row;
    }
    CHECK(row == rows.size());

    // The blocks hold what the pages show and the tool is sent.
    CHECK(process.CurveSelect == sent.CurveSelect && process.FilterType == sent.FilterType);
    CHECK(process.DtMin == sent.DtMin && process.DtMax == sent.DtMax && process.CorWinLength == sent.CorWinLength);
    CHECK(process.SearchWinLength == sent.SearchWinLength);
    CHECK(process.LowCut == static_cast<float>(sent.LowCut) && process.HighCut == static_cast<float>(sent.HighCut));
    for (int k = 0; k < 4; ++k) CHECK(process.T01RStart[k] == sent.T01RStart[k]);
    CHECK(tool.MonoWinEnd == sent.MonoWindowsEnd && tool.DipoleWinEnd == sent.DipoleWindowsEnd);
    int32_t lo = 0, hi = 0;
    CHECK(DriveBounds(CMD_DT_WIN_END, sent, &lo, &hi));
    CHECK(tool.DtWinStart[0] == sent.DtFirstStartTime &&
          tool.DtWinEnd[0] == sent.DtFirstStartTime + sent.DtFirstWinLength);
    for (int k = 0; k < 4; ++k)
        CHECK(tool.DtWinEnd[k] > tool.DtWinStart[k] && tool.DtWinEnd[k] >= lo && tool.DtWinEnd[k] <= hi);
    return 0;
}
