// Job set-ups: every setting an operator makes on the five pages, kept in a
// file per set-up in the settings file's own format and key names, plus a
// section for what the settings file does not keep. The reader is strict: a
// set-up that cannot be read whole changes nothing, and the message names
// the line or key at fault. The preview's rows and the summary the list
// shows come from here too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/logic/ParameterSet.h"
#include "core/logic/SettingList.h"
#include "core/logic/SharedBlock.h"

namespace kelvane {

constexpr const char* kSetupSection = "SET-UP";         // name, date, what the settings file lacks
constexpr const char* kSetupEndSection = "SET-UP END";  // its key count: a file cut short shows
constexpr const char* kSetupFolder = "Setups";
constexpr const char* kSetupExtension = ".ini";
constexpr size_t kSetupMaxBytes = 64 * 1024;
constexpr size_t kSetupNameMax = 64;

// One operator setting as a set-up keeps it: the settings list's rows that
// a set-up carries, in the list's order.
struct SetupSetting {
    const char* page;     // "General Control", ...
    const char* label;    // "CH3 gain", as the preview and the record name it
    const char* section;  // the settings file's section, or kSetupSection
    const char* key;
    size_t member;  // offsetof(ParameterSet, ...)
    SetupUnit unit;
    int32_t code;     // the command that carries it (0: published, no command)
    int32_t choices;  // a list's entry count: the value is an index below it
    SetupRange range;
};
const std::vector<SetupSetting>& SetupSettings();

// The setting's value as text in its unit ("12 dB", "on", "0.30").
std::string SetupValueText(const SetupSetting& s, const ParameterSet& p);

// The whole file: [SET-UP] with Name and Saved first, the five settings
// sections, then [SET-UP END] with the count of value keys. CRLF lines.
std::string RenderSetup(const std::string& name, const std::string& saved, const ParameterSet& p);

struct SetupFile {
    std::string name;
    std::string saved;
    ParameterSet values;  // base with every set-up setting replaced
};
// Reads a set-up over base. False with why ("line 12: key \"Ch3Gain\" of
// [MONOPOLE CONTROL]: \"1x\" is not a whole number") when the text is not a
// whole, well-formed set-up; then out is unspecified.
bool ParseSetup(const std::string& text, const ParameterSet& base, SetupFile& out, std::string& why);

// "" when name can be a set-up's file name in the set-up folder, otherwise
// what is wrong with it, in words.
std::string SetupNameProblem(const std::string& name);

// One line for the list: gain step, auto states, stacks, filters.
std::string SetupSummary(const ParameterSet& p);

// One preview row per setting that would change; "set-up" is the value as
// it would be published or sent (LimitSetup's), marked "(limited from N)"
// where the file said otherwise.
struct SetupChange {
    std::string page;
    std::string setting;
    std::string now;
    std::string setup;
};
std::vector<SetupChange> DiffSetup(const ParameterSet& now, const ParameterSet& setup);

// The values a loaded set-up is given before anything shows or goes out, so
// the pages, the parameter set, the blocks and the tool hold the same: each
// command's value within its drive range (window ends by the set-up's own
// intervals), on/off states and check boxes 0 or 1, a list's index within
// its entries, the DT window length as the DT page fits it to its start, the
// acoustic page's whole numbers within nine characters.
void LimitSetup(ParameterSet& p);

// Both blocks from the whole set: every ProcessPara mirror, the full-wave
// window ends and the DT window words.
void PublishWholeSet(const ParameterSet& p, const BlockView& toolControl, const BlockView& process);

}  // namespace kelvane
