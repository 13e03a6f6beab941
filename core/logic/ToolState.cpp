#include "core/logic/ToolState.h"

#include <cstring>

#include "KelvaneHost.h"

namespace kelvane {
namespace {

int32_t IntAt(const ParameterSet& p, size_t off) {
    int32_t v;
    std::memcpy(&v, reinterpret_cast<const unsigned char*>(&p) + off, 4);
    return v;
}
void SetIntAt(ParameterSet& p, size_t off, int32_t v) {
    std::memcpy(reinterpret_cast<unsigned char*>(&p) + off, &v, 4);
}

bool Later(const SentValue& a, const SentValue& b) {
    return a.at.date != b.at.date ? a.at.date > b.at.date : a.at.msOfDay > b.at.msOfDay;
}

}  // namespace

ToolView ToolHolds(const ParameterSet& base, const LastSentLookup& last) {
    ToolView tool;
    tool.values = base;
    const std::vector<SetupSetting>& rows = SetupSettings();
    tool.known.assign(rows.size(), false);
    tool.when.assign(rows.size(), SentValue{});
    // The DT window start first: the length is the end sent less the start.
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i < rows.size(); ++i) {
            const SetupSetting& s = rows[i];
            if (s.code == 0 || (s.code == CMD_DT_WIN_END) != (pass == 1)) continue;
            SentValue v;
            if (s.code == CMD_GAIN_STEP_1DB) {
                // Three commands, one setting: the latest of them.
                bool any = false;
                for (int32_t c = CMD_GAIN_STEP_1DB; c <= CMD_GAIN_STEP_3DB; ++c) {
                    SentValue step;
                    if (last(c, &step) && (!any || Later(step, v))) {
                        v = step;
                        v.value = c - CMD_GAIN_STEP_1DB + 1;
                        any = true;
                    }
                }
                if (!any) continue;
            } else if (!last(s.code, &v)) {
                continue;
            } else if (s.unit == SetupUnit::OnOff || s.unit == SetupUnit::Check) {
                v.value = v.value == VALUE_ON ? 1 : 0;
            } else if (s.code == CMD_DT_WIN_END) {
                v.value -= tool.values.DtFirstStartTime;
            }
            SetIntAt(tool.values, s.member, v.value);
            tool.known[i] = true;
            tool.when[i] = v;
        }
    }
    return tool;
}

std::string ToolNowText(const SetupSetting& s, const ToolView& tool, size_t row, int32_t today) {
    if (row >= tool.known.size() || !tool.known[row]) return "not known";
    const SentValue& v = tool.when[row];
    const std::string when = FormatJournalTime(v.at).substr(0, 19);
    return SetupValueText(s, tool.values) + ", sent " + (v.at.date == today ? when.substr(11) : when) +
           (v.thisLoad ? "" : " before the reload");
}

std::vector<SetupChange> DiffSendAll(const ParameterSet& willSend, const ToolView& tool, int32_t today) {
    std::vector<SetupChange> rows;
    const std::vector<SetupSetting>& settings = SetupSettings();
    for (size_t i = 0; i < settings.size(); ++i) {
        const SetupSetting& s = settings[i];
        // Published, not sent; or not among Send all's commands: the gain
        // step and the ALL gains (the channels carry what they set).
        if (s.code == 0 || s.code == CMD_GAIN_STEP_1DB || s.code == CMD_MONO_ALL_GAIN ||
            s.code == CMD_DIPOLE_ALL_GAIN || s.code == CMD_DT_ALL_GAIN)
            continue;
        const bool same = i < tool.known.size() && tool.known[i] &&
                          IntAt(tool.values, s.member) == IntAt(willSend, s.member);
        if (same) continue;
        rows.push_back({s.page, s.label, ToolNowText(s, tool, i, today), SetupValueText(s, willSend)});
    }
    return rows;
}

}  // namespace kelvane
