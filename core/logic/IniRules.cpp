#include "core/logic/IniRules.h"

#include <cstddef>
#include <cstring>
#include <limits>

#include "KelvaneHost.h"
#include "core/logic/DriveLimits.h"
#include "base/logic/NumberText.h"
#include "base/logic/Saturate.h"

namespace kelvane {
namespace {

// One row per member of the parameter set: where it lives in the file, its
// default, how a start gives it its value, whether a save writes it, its
// VarroProcessPara field, and why a row is special. Load, defaults, save and
// the acoustic page's publishing all go by these rows; a section's keys are
// saved in row order, which is the file's key order.
enum class Type { Int, Float };

enum class LoadRule {
    Plain,           // atoi/atof of at most nine characters; a missing key loads 0
    ZeroIsThree,     // Plain, then 0 becomes 3
    Fallback,        // read with the default "N/A": that exact text gives loadValue
    StartsAt,        // not read: every start sets loadValue
    StartWindowEnd,  // every start sets loadValue, within what the interval allows
    ClearedAtLoad,   // no key: the section's load sets 0
    NotLoaded,       // no key: keeps its value
};

enum class Mirror {
    None,
    Same,        // the block field has the member's type and value
    RealOfText,  // int member, float field: a load stores the text's real value
};

struct SettingRow {
    const char* section;
    const char* key;  // nullptr: never in the file
    size_t member;    // offsetof(ParameterSet, ...)
    Type type;
    double byDefault;
    LoadRule load;
    double loadValue;
    bool saved;
    Mirror mirror;
    size_t field;     // offsetof(ProcessPara, ...) when mirrored
    const char* why;
};

#define M(f) offsetof(ParameterSet, f)
#define PP(f) offsetof(ProcessPara, f)
constexpr Type I = Type::Int;
constexpr Type F = Type::Float;
constexpr LoadRule Plain = LoadRule::Plain;
constexpr LoadRule Fallback = LoadRule::Fallback;
constexpr LoadRule NotLoaded = LoadRule::NotLoaded;

#define GAIN_ROWS(S, P)                                                                                 \
    {S, "Ch1Gain", M(P##ChGain[0]), I, 0, Plain, 0, true, Mirror::None, 0, nullptr},                    \
    {S, "Ch2Gain", M(P##ChGain[1]), I, 0, Plain, 0, true, Mirror::None, 0, nullptr},                    \
    {S, "Ch3Gain", M(P##ChGain[2]), I, 0, Plain, 0, true, Mirror::None, 0, nullptr},                    \
    {S, "Ch4Gain", M(P##ChGain[3]), I, 0, Plain, 0, true, Mirror::None, 0, nullptr}
#define FULLWAVE_ROWS(S, P, STACK, WINDOW_END)                                              \
    {S, "IsAuto", M(P##IsAuto), I, 1, Plain, 0, true, Mirror::None, 0, nullptr}, GAIN_ROWS(S, P),     \
    {S, "Ch5Gain", M(P##ChGain[4]), I, 0, Plain, 0, true, Mirror::None, 0, nullptr},                    \
    {S, "Ch6Gain", M(P##ChGain[5]), I, 0, Plain, 0, true, Mirror::None, 0, nullptr},                    \
    {S, "Ch7Gain", M(P##ChGain[6]), I, 0, Plain, 0, true, Mirror::None, 0, nullptr},                    \
    {S, "Ch8Gain", M(P##ChGain[7]), I, 0, Plain, 0, true, Mirror::None, 0, nullptr},                    \
    {S, "AllGain", M(P##AllGain), I, 0, Plain, 0, true, Mirror::None, 0, nullptr},                      \
    {S, "StackValue", M(P##StackValue), I, STACK, LoadRule::StartsAt, STACK, true, Mirror::None, 0,     \
     "saved, but every start begins with this stack"},                                                  \
    {S, "WindowsEnd", M(P##WindowsEnd), I, WINDOW_END, LoadRule::StartWindowEnd, WINDOW_END, true,      \
     Mirror::None, 0, "every start, with a file or without, begins with the window end the block publishes"}, \
    {S, nullptr, M(P##Filter), I, 0, NotLoaded, 0, false, Mirror::None, 0,                              \
     "the downhole filter is the check box's state, never kept"}

const SettingRow kRows[] = {
    // "GENERAL CONTROL"
    {kGeneralSection, "Gain Step", M(GainStep), I, 3, LoadRule::ZeroIsThree, 0, true, Mirror::None, 0,
     "the gain pages divide by it: 0 (or no key) loads 3"},
    {kGeneralSection, "DT DELAY", M(DtDelay), I, 80, Plain, 0, true, Mirror::None, 0, nullptr},
    {kGeneralSection, "DT DELAY STEP", M(DtDelayStep), I, 0, Plain, 0, true, Mirror::None, 0, nullptr},
    {kGeneralSection, "DT SAMPLERATE", M(DtSampleRate), I, 8, Plain, 0, true, Mirror::None, 0, nullptr},
    {kGeneralSection, "Mono DELAY", M(MonoDelay), I, 80, Plain, 0, true, Mirror::None, 0, nullptr},
    {kGeneralSection, "Mono DELAY STEP", M(MonoDelayStep), I, 0, Plain, 0, true, Mirror::None, 0, nullptr},
    {kGeneralSection, "Mono SAMPLERATE", M(MonoSampleRate), I, 24, Plain, 0, true, Mirror::None, 0, nullptr},
    {kGeneralSection, "Dipole DELAY", M(DipoleDelay), I, 240, Plain, 0, true, Mirror::None, 0, nullptr},
    {kGeneralSection, "Dipole DELAY STEP", M(DipoleDelayStep), I, 0, Plain, 0, true, Mirror::None, 0, nullptr},
    {kGeneralSection, "Dipole SAMPLERATE", M(DipoleSampleRate), I, 36, Plain, 0, true, Mirror::None, 0, nullptr},
    // "DT GAIN CONTROL"
    {kDtSection, "IsAuto", M(DtIsAuto), I, 1, Plain, 0, true, Mirror::None, 0, nullptr},
    GAIN_ROWS(kDtSection, Dt),
    {kDtSection, "FirstStartTime", M(DtFirstStartTime), I, 200, Plain, 0, true, Mirror::None, 0, nullptr},
    {kDtSection, "FirstWinLength", M(DtFirstWinLength), I, 1200, Plain, 0, true, Mirror::None, 0, nullptr},
    {kDtSection, "Total Offset", M(DtTotalOffset), I, 24, Plain, 0, true, Mirror::None, 0, nullptr},
    {kDtSection, "AllGain", M(DtAllGain), I, 0, Plain, 0, false, Mirror::None, 0,
     "shown in ALL when the page opens; ALL itself sets the channels, never this"},
    {kDtSection, nullptr, M(DtWinEnd), I, 0, NotLoaded, 0, false, Mirror::None, 0,
     "start plus length, set when a WinLength move ends"},
    {kDtSection, nullptr, M(DtFilter), I, 0, NotLoaded, 0, false, Mirror::None, 0,
     "a new DT page shows the filter unchecked"},
    // "MONOPOLE CONTROL" and "DIPOLE CONTROL" share their keys.
    FULLWAVE_ROWS(kMonoSection, Mono, 1, MONO_WINDOW_END_AT_START),
    FULLWAVE_ROWS(kDipoleSection, Dipole, 4, DIPOLE_WINDOW_END_AT_START),
    // "ACOUSTIC PROCESS": each mirrored in ProcessPara. Three groups fall back
    // to other values than their defaults when the key is missing.
    {kAcousticSection, "T01R1Start", M(T01RStart[0]), I, 160, Fallback, 120, true, Mirror::Same, PP(T01RStart[0]),
     nullptr},
    {kAcousticSection, "T01R2Start", M(T01RStart[1]), I, 160, Fallback, 120, true, Mirror::Same, PP(T01RStart[1]),
     nullptr},
    {kAcousticSection, "T01R3Start", M(T01RStart[2]), I, 160, Fallback, 120, true, Mirror::Same, PP(T01RStart[2]),
     nullptr},
    {kAcousticSection, "T01R4Start", M(T01RStart[3]), I, 160, Fallback, 120, true, Mirror::Same, PP(T01RStart[3]),
     nullptr},
    {kAcousticSection, "ThresholdMin1", M(ThresholdMin[0]), F, 0.3, Fallback, 0.0, true, Mirror::Same,
     PP(ThresholdMin[0]), nullptr},
    {kAcousticSection, "ThresholdMin2", M(ThresholdMin[1]), F, 0.3, Fallback, 0.0, true, Mirror::Same,
     PP(ThresholdMin[1]), nullptr},
    {kAcousticSection, "ThresholdMin3", M(ThresholdMin[2]), F, 0.3, Fallback, 0.0, true, Mirror::Same,
     PP(ThresholdMin[2]), nullptr},
    {kAcousticSection, "ThresholdMin4", M(ThresholdMin[3]), F, 0.3, Fallback, 0.0, true, Mirror::Same,
     PP(ThresholdMin[3]), nullptr},
    {kAcousticSection, "DtMin", M(DtMin), I, 40, Fallback, 40, true, Mirror::Same, PP(DtMin), nullptr},
    {kAcousticSection, "DtMax", M(DtMax), I, 180, Fallback, 180, true, Mirror::Same, PP(DtMax), nullptr},
    {kAcousticSection, "CorWinLength", M(CorWinLength), I, 200, Fallback, 200, true, Mirror::Same, PP(CorWinLength),
     nullptr},
    {kAcousticSection, "Coefficient", M(Coefficient), F, 1.0, Fallback, 1.0, true, Mirror::Same, PP(Coefficient),
     nullptr},
    {kAcousticSection, "ThresholdFactor", M(ThresholdFactor), F, 0.2, Fallback, 0.2, true, Mirror::Same,
     PP(ThresholdFactor), nullptr},
    {kAcousticSection, "SearchWinLength", M(SearchWinLength), I, 800, Fallback, 120, true, Mirror::Same,
     PP(SearchWinLength), nullptr},
    {kAcousticSection, "FilterType", M(FilterType), I, 0, Plain, 0, true, Mirror::Same, PP(FilterType),
     "no fallback: read like a plain key"},
    {kAcousticSection, "HighCut", M(HighCut), I, 0, Fallback, 0, true, Mirror::RealOfText, PP(HighCut),
     "an integer in the set and in the file; the block keeps a typed or loaded fraction"},
    {kAcousticSection, "LowCut", M(LowCut), I, 0, Fallback, 0, true, Mirror::RealOfText, PP(LowCut),
     "an integer in the set and in the file; the block keeps a typed or loaded fraction"},
    {kAcousticSection, nullptr, M(CurveSelect), I, 0, NotLoaded, 0, false, Mirror::Same, PP(CurveSelect),
     "0 at every start; outlives a closed window"},
    {kAcousticSection, nullptr, M(ThresholdType), I, 0, NotLoaded, 0, false, Mirror::Same, PP(ThresholdType),
     "0 at every start; its list is never enabled"},
    {kAcousticSection, nullptr, M(StartLink[0]), I, 0, LoadRule::ClearedAtLoad, 0, false, Mirror::None, 0,
     "links are the operator's of the moment"},
    {kAcousticSection, nullptr, M(StartLink[1]), I, 0, LoadRule::ClearedAtLoad, 0, false, Mirror::None, 0, nullptr},
    {kAcousticSection, nullptr, M(StartLink[2]), I, 0, LoadRule::ClearedAtLoad, 0, false, Mirror::None, 0, nullptr},
    {kAcousticSection, nullptr, M(StartLink[3]), I, 0, LoadRule::ClearedAtLoad, 0, false, Mirror::None, 0, nullptr},
    {kAcousticSection, nullptr, M(MinLink[0]), I, 0, LoadRule::ClearedAtLoad, 0, false, Mirror::None, 0, nullptr},
    {kAcousticSection, nullptr, M(MinLink[1]), I, 0, LoadRule::ClearedAtLoad, 0, false, Mirror::None, 0, nullptr},
    {kAcousticSection, nullptr, M(MinLink[2]), I, 0, LoadRule::ClearedAtLoad, 0, false, Mirror::None, 0, nullptr},
    {kAcousticSection, nullptr, M(MinLink[3]), I, 0, LoadRule::ClearedAtLoad, 0, false, Mirror::None, 0, nullptr},
    // The window starts: fixed from start-up on.
    {nullptr, nullptr, M(MonoWinStart), I, MONO_WINDOW_START, NotLoaded, 0, false, Mirror::None, 0,
     "set by start-up, never changed"},
    {nullptr, nullptr, M(DipoleWinStart), I, DIPOLE_WINDOW_START, NotLoaded, 0, false, Mirror::None, 0,
     "set by start-up, never changed"},
    // "OPTIONS": the operator's choices about the window itself.
    {kOptionsSection, "BumplessAutoGainOff", M(BumplessAutoGainOff), I, 1, Fallback, 1, true, Mirror::None, 0,
     "on unless the file says otherwise: a file from before the option keeps it on"},
};
#undef FULLWAVE_ROWS
#undef GAIN_ROWS
#undef M

int32_t& IntAt(ParameterSet& p, size_t off) { return *reinterpret_cast<int32_t*>(reinterpret_cast<unsigned char*>(&p) + off); }
int32_t IntAt(const ParameterSet& p, size_t off) { return *reinterpret_cast<const int32_t*>(reinterpret_cast<const unsigned char*>(&p) + off); }
float& FloatAt(ParameterSet& p, size_t off) { return *reinterpret_cast<float*>(reinterpret_cast<unsigned char*>(&p) + off); }
float FloatAt(const ParameterSet& p, size_t off) { return *reinterpret_cast<const float*>(reinterpret_cast<const unsigned char*>(&p) + off); }

bool InSection(const SettingRow& row, const char* section) {
    return row.section && std::strcmp(row.section, section) == 0;
}

}  // namespace

// A float's text in the file: "%.1lf", as every save writes it, one decimal
// kept. Only a value whose text is longer than the nine characters the reader
// takes is written otherwise: in the shortest form that reads back as the same
// float, and the largest finite float (where a value beyond single precision
// saturates) as a number beyond it, which the reader saturates the same way.
std::string SavedFloatText(float v) {
    std::string text = FormatFixed(v, 1);
    if (text.size() < kValueBufferSize) return text;
    std::string shortest = FormatShortest(v);
    if (shortest.size() < kValueBufferSize && ParseLeadingFloat(shortest.c_str()) == v) return shortest;
    if (v >= std::numeric_limits<float>::max()) return "4e38";
    if (v <= -std::numeric_limits<float>::max()) return "-4e38";
    return text;
}

namespace {

// The window ends every start publishes, limited like a typed one.
int32_t StartWindowEnd(int32_t code, const ParameterSet& p) {
    return LimitDriveValue(code, code == CMD_MONO_WIN_END ? MONO_WINDOW_END_AT_START : DIPOLE_WINDOW_END_AT_START, p);
}

// Stores a value in the member and in its block field as the row says; the
// fields the operator types keep what the file gives back.
void Store(ParameterSet& p, const BlockView& process, const SettingRow& row, double intValue, double realValue) {
    if (row.mirror != Mirror::None && IsTypedField(row.field)) {
        intValue = LimitTypedInt(static_cast<int64_t>(intValue));
        realValue = LimitTypedReal(static_cast<float>(realValue));
    }
    if (row.type == Type::Float)
        FloatAt(p, row.member) = static_cast<float>(realValue);
    else
        IntAt(p, row.member) = static_cast<int32_t>(intValue);
    if (row.mirror == Mirror::RealOfText) process.StoreFloat(row.field, static_cast<float>(realValue));
    else if (row.mirror == Mirror::Same) PublishMember(p, row.member, process);
}

void StoreText(ParameterSet& p, const BlockView& process, const SettingRow& row, const std::string& text) {
    Store(p, process, row, ParseLeadingInt(text.c_str()), ParseLeadingFloat(text.c_str()));
}

void LoadSection(ParameterSet& p, ProfileStore& ini, const BlockView& process, const char* section) {
    for (const SettingRow& row : kRows) {
        if (!InSection(row, section)) continue;
        switch (row.load) {
        case LoadRule::Plain:
            StoreText(p, process, row, ini.Read(section, row.key, "", kValueBufferSize));
            break;
        case LoadRule::ZeroIsThree:
            StoreText(p, process, row, ini.Read(section, row.key, "", kValueBufferSize));
            if (IntAt(p, row.member) == 0) IntAt(p, row.member) = 3;
            break;
        case LoadRule::Fallback: {
            const std::string text = ini.Read(section, row.key, "N/A", kValueBufferSize);
            if (text == "N/A")
                Store(p, process, row, row.loadValue, row.loadValue);
            else
                StoreText(p, process, row, text);
            break;
        }
        case LoadRule::StartsAt:
            IntAt(p, row.member) = static_cast<int32_t>(row.loadValue);
            break;
        case LoadRule::StartWindowEnd:
            IntAt(p, row.member) = StartWindowEnd(InSection(row, kMonoSection) ? CMD_MONO_WIN_END : CMD_DIPOLE_WIN_END, p);
            break;
        case LoadRule::ClearedAtLoad:
            IntAt(p, row.member) = 0;
            break;
        case LoadRule::NotLoaded:
            break;
        }
    }
}

void SaveSection(const ParameterSet& p, ProfileStore& ini, const char* section) {
    for (const SettingRow& row : kRows)
        if (row.saved && InSection(row, section))
            ini.Write(section, row.key, row.type == Type::Float ? SavedFloatText(FloatAt(p, row.member)) : FormatInt(IntAt(p, row.member)));
}

}  // namespace

void LoadGeneralControl(ParameterSet& p, ProfileStore& ini) { LoadSection(p, ini, BlockView(), kGeneralSection); }
void LoadDtGainControl(ParameterSet& p, ProfileStore& ini) { LoadSection(p, ini, BlockView(), kDtSection); }
void LoadDipoleControl(ParameterSet& p, ProfileStore& ini) { LoadSection(p, ini, BlockView(), kDipoleSection); }
void LoadMonopoleControl(ParameterSet& p, ProfileStore& ini) { LoadSection(p, ini, BlockView(), kMonoSection); }
void LoadAcousticProcess(ParameterSet& p, ProfileStore& ini, const BlockView& process) {
    LoadSection(p, ini, process, kAcousticSection);
}

void LoadOptions(ParameterSet& p, ProfileStore& ini) { LoadSection(p, ini, BlockView(), kOptionsSection); }

void SetDefaultParameters(ParameterSet& p, const BlockView& process) {
    for (const SettingRow& row : kRows) Store(p, process, row, row.byDefault, row.byDefault);
    // Within what the default intervals allow, as a load gives them.
    for (const SettingRow& row : kRows)
        if (row.load == LoadRule::StartWindowEnd)
            IntAt(p, row.member) = StartWindowEnd(InSection(row, kMonoSection) ? CMD_MONO_WIN_END : CMD_DIPOLE_WIN_END, p);
}

void SaveGeneralControl(const ParameterSet& p, ProfileStore& ini) { SaveSection(p, ini, kGeneralSection); }
void SaveDtGainControl(const ParameterSet& p, ProfileStore& ini) { SaveSection(p, ini, kDtSection); }
void SaveMonopoleControl(const ParameterSet& p, ProfileStore& ini) { SaveSection(p, ini, kMonoSection); }
void SaveDipoleControl(const ParameterSet& p, ProfileStore& ini) { SaveSection(p, ini, kDipoleSection); }
void SaveAcousticProcess(const ParameterSet& p, ProfileStore& ini) { SaveSection(p, ini, kAcousticSection); }
void SaveOptions(const ParameterSet& p, ProfileStore& ini) { SaveSection(p, ini, kOptionsSection); }

void PublishMember(const ParameterSet& p, size_t member, const BlockView& process) {
    for (const SettingRow& row : kRows) {
        if (row.member != member || row.mirror == Mirror::None) continue;
        if (row.type == Type::Float) process.StoreFloat(row.field, FloatAt(p, member));
        else if (row.mirror == Mirror::RealOfText) process.StoreFloat(row.field, static_cast<float>(IntAt(p, member)));
        else process.StoreInt(row.field, IntAt(p, member));
        return;
    }
}

std::vector<ProfileRead> LoadReads() {
    class Recorder : public ProfileStore {
    public:
        std::string Read(const char* section, const char* key, const char* defaultText, size_t bufferSize) override {
            m_reads.push_back({section, key, defaultText, bufferSize});
            return defaultText;
        }
        void Write(const char*, const char*, const std::string&) override {}
        std::vector<ProfileRead> Reads() const { return m_reads; }

    private:
        std::vector<ProfileRead> m_reads;
    } recorder;
    ParameterSet p{};
    LoadGeneralControl(p, recorder);
    LoadDtGainControl(p, recorder);
    LoadDipoleControl(p, recorder);
    LoadMonopoleControl(p, recorder);
    LoadAcousticProcess(p, recorder, BlockView());
    return recorder.Reads();
}

bool SettingsTableIsWhole(std::string* why) {
    // Every 4-byte member has exactly one row; a mirrored field has one member.
    const size_t members = sizeof(ParameterSet) / 4;
    for (size_t m = 0; m < members; ++m) {
        int rows = 0;
        for (const SettingRow& row : kRows) rows += row.member == m * 4;
        if (rows != 1) {
            *why = "member at " + std::to_string(m * 4) + " has " + std::to_string(rows) + " rows";
            return false;
        }
    }
    for (const SettingRow& a : kRows) {
        if ((a.saved || a.key) && (!a.key || !a.section)) {
            *why = std::string("row ") + (a.key ? a.key : "(no key)") + ": a row in the file needs a section and a key";
            return false;
        }
        for (const SettingRow& b : kRows)
            if (&a != &b && a.mirror != Mirror::None && b.mirror != Mirror::None && a.field == b.field) {
                *why = "two rows mirror into field " + std::to_string(a.field);
                return false;
            }
    }
    return true;
}

DtWindows FitDtWindows(int32_t start, int32_t length, int32_t offset) {
    constexpr int32_t kShortestLength = 200;
    int32_t startLo = 0, startHi = 0, endLo = 0, endHi = 0, offsetLo = 0, offsetHi = 0;
    const ParameterSet none{};
    DriveBounds(CMD_DT_WIN_START, none, &startLo, &startHi);
    DriveBounds(CMD_DT_WIN_END, none, &endLo, &endHi);
    DriveBounds(CMD_DT_TOTAL_OFFSET, none, &offsetLo, &offsetHi);
    const auto within = [](int64_t v, int32_t lo, int32_t hi) { return static_cast<int32_t>(v < lo ? lo : v > hi ? hi : v); };
    const int32_t first = within(start, startLo, startHi);
    const int32_t o = within(offset, offsetLo, offsetHi);
    DtWindows w{};
    for (int k = 0; k < 4; ++k) {
        w.start[k] = within(int64_t{first} + int64_t{k} * o, startLo, startHi);
        w.end[k] = within(int64_t{w.start[k]} + length, endLo, endHi);
        if (w.end[k] <= w.start[k]) w.end[k] = within(int64_t{w.start[k]} + kShortestLength, endLo, endHi);
    }
    return w;
}

void WriteDtWindowWords(const BlockView& toolControl, int32_t start, int32_t length, int32_t offset) {
    const DtWindows w = FitDtWindows(start, length, offset);
    for (int k = 0; k < 4; ++k) {
        toolControl.StoreInt(offsetof(ToolControlPara, DtWinStart) + 4 * k, w.start[k]);
        toolControl.StoreInt(offsetof(ToolControlPara, DtWinEnd) + 4 * k, w.end[k]);
    }
}

void PublishParameters(const ParameterSet& p, const BlockView& toolControl, const BlockView& process) {
    process.StoreInt(PP(CurveSelect), 0);
    process.StoreInt(PP(ThresholdType), 0);
    toolControl.StoreInt(offsetof(ToolControlPara, MonoWinStart), MONO_WINDOW_START);
    toolControl.StoreInt(offsetof(ToolControlPara, DipoleWinStart), DIPOLE_WINDOW_START);
    toolControl.StoreInt(offsetof(ToolControlPara, MonoWinEnd), StartWindowEnd(CMD_MONO_WIN_END, p));
    toolControl.StoreInt(offsetof(ToolControlPara, DipoleWinEnd), StartWindowEnd(CMD_DIPOLE_WIN_END, p));
    WriteDtWindowWords(toolControl, p.DtFirstStartTime, p.DtFirstWinLength, p.DtTotalOffset);
}
#undef PP

}  // namespace kelvane
