// What the tool holds, as far as the job's journal knows: the value each
// command last took, when, and whether before this load of the plug-in. A
// Send all shows what it would change from that first, and a start that
// could not read its settings file takes its values from it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/logic/JobJournal.h"
#include "core/logic/ParameterSet.h"
#include "core/logic/SetupRules.h"

namespace kelvane {

struct SentValue {
    int32_t value = 0;
    JournalTime at;
    bool thisLoad = false;  // sent since the plug-in last loaded
};
// The last value a host window took with code, if the journal knows one.
using LastSentLookup = std::function<bool(int32_t code, SentValue* out)>;

// base with every setting the tool was last sent replaced by what it was
// sent, in the parameter set's terms; known and when, per row of
// SetupSettings(), say which were known and when they went.
struct ToolView {
    ParameterSet values{};
    std::vector<bool> known;
    std::vector<SentValue> when;
};
ToolView ToolHolds(const ParameterSet& base, const LastSentLookup& last);

// "3, sent 10:32:05 before the reload", "3, sent 2026-12-08 23:50:01", "not known".
std::string ToolNowText(const SetupSetting& s, const ToolView& tool, size_t row, int32_t today);

// Send all's preview: one row per setting it sends (not the gain step or
// the ALL gains) whose value differs from what the tool was last sent, or
// which the journal does not know.
std::vector<SetupChange> DiffSendAll(const ParameterSet& willSend, const ToolView& tool, int32_t today);

}  // namespace kelvane
