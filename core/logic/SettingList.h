// Every member of the parameter set, one row each: where it lives in the
// settings file, its default, how a start gives it its value, whether a save
// writes it, its ProcessPara field, the range a set-up is held to, and how a
// set-up carries it (or why it does not). The load, the defaults, the save,
// the acoustic page's publishing and the set-up files all go by these rows;
// a section's keys are saved in row order, which is the file's key order.
//
// A constexpr table of a named struct rather than an X-macro file: each row
// names its fields with the setters below (C++17 has no designated
// initialisers), the compiler checks the whole table (IniRules.cpp), and a
// debugger shows a row as a struct.
#pragma once

#include <cstddef>
#include <cstdint>

#include "KelvaneHost.h"
#include "core/logic/ParameterSet.h"

namespace kelvane {

constexpr const char* kGeneralSection = "GENERAL CONTROL";
constexpr const char* kDtSection = "DT GAIN CONTROL";
constexpr const char* kMonoSection = "MONOPOLE CONTROL";
constexpr const char* kDipoleSection = "DIPOLE CONTROL";
constexpr const char* kAcousticSection = "ACOUSTIC PROCESS";
constexpr const char* kOptionsSection = "OPTIONS";

enum class SettingType { Int, Float };

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

// How a set-up shows a value.
enum class SetupUnit { None, Db, Us, OnOff, Check, Count, Real };

// The range a loaded set-up is held to before anything shows or goes out.
enum class SetupRange {
    None,      // any value
    Drive,     // the drive table's row of its command (window ends by the set-up's intervals)
    Switch,    // 0 or 1, as the pages read on/off states and check boxes
    Choices,   // an index below the list's entry count
    Typed,     // within the nine characters the settings file gives back
    GainStep,  // 1, 2 or 3: a set-up with another step is refused
    DtLength,  // the length the DT page fits to its start
};

struct SettingRow {
    const char* section = nullptr;  // the settings file's section (nullptr: in no section)
    const char* key = nullptr;      // nullptr: never in the settings file
    size_t member = 0;              // offsetof(ParameterSet, ...)
    SettingType type = SettingType::Int;
    double byDefault = 0;
    LoadRule load = LoadRule::Plain;
    double loadValue = 0;
    bool saved = false;
    Mirror mirror = Mirror::None;
    size_t field = 0;  // offsetof(ProcessPara, ...) when mirrored
    SetupRange range = SetupRange::None;
    int32_t code = 0;             // the command that carries it (0: published, no command)
    int32_t choices = 0;          // SetupRange::Choices: the list's entry count
    const char* page = nullptr;   // the set-up: the page that shows it
    const char* label = nullptr;  // "CH3 gain", as the preview and the record name it
    SetupUnit unit = SetupUnit::None;
    const char* setupKey = nullptr;    // its key in a set-up's own section when the file lacks it
    const char* notCarried = nullptr;  // why a set-up does not carry it
    const char* why = nullptr;         // what is special about the row

    constexpr SettingRow Default(double v) const {
        SettingRow s = *this;
        s.byDefault = v;
        return s;
    }
    constexpr SettingRow Real() const {
        SettingRow s = *this;
        s.type = SettingType::Float;
        return s;
    }
    constexpr SettingRow Load(LoadRule rule, double v = 0) const {
        SettingRow s = *this;
        s.load = rule;
        s.loadValue = v;
        return s;
    }
    constexpr SettingRow Saved() const {
        SettingRow s = *this;
        s.saved = true;
        return s;
    }
    constexpr SettingRow Mirrors(size_t blockField, Mirror how = Mirror::Same) const {
        SettingRow s = *this;
        s.mirror = how;
        s.field = blockField;
        return s;
    }
    constexpr SettingRow Setup(const char* onPage, const char* named, SetupUnit shown, SetupRange within) const {
        SettingRow s = *this;
        s.page = onPage;
        s.label = named;
        s.unit = shown;
        s.range = within;
        return s;
    }
    constexpr SettingRow Sent(int32_t command) const {
        SettingRow s = *this;
        s.code = command;
        return s;
    }
    constexpr SettingRow Choices(int32_t entries) const {
        SettingRow s = *this;
        s.choices = entries;
        return s;
    }
    constexpr SettingRow SetupKey(const char* k) const {
        SettingRow s = *this;
        s.setupKey = k;
        return s;
    }
    constexpr SettingRow NotCarried(const char* reason) const {
        SettingRow s = *this;
        s.notCarried = reason;
        return s;
    }
    constexpr SettingRow Why(const char* text) const {
        SettingRow s = *this;
        s.why = text;
        return s;
    }
};

constexpr SettingRow Setting(const char* section, const char* key, size_t member) {
    SettingRow s;
    s.section = section;
    s.key = key;
    s.member = member;
    return s;
}

// Keys that more than one section holds.
constexpr const char* kIsAutoKey = "IsAuto";
constexpr const char* kAllGainKey = "AllGain";

namespace settings_pages {
constexpr const char* kGeneral = "General Control";
constexpr const char* kDt = "DT Gain Control";
constexpr const char* kMono = "Monopole Control/Full wave";
constexpr const char* kDipole = "Dipole Control/Full wave";
constexpr const char* kAcoustic = "Acoustic Process";
}  // namespace settings_pages

#define KELVANE_M(f) offsetof(ParameterSet, f)
#define KELVANE_PP(f) offsetof(ProcessPara, f)
#define KELVANE_CH(S, PAGE, A, n, CODE)                                 \
    Setting(S, "Ch" #n "Gain", KELVANE_M(A##ChGain[(n)-1]))             \
        .Saved()                                                        \
        .Setup(PAGE, "CH" #n " gain", SetupUnit::Db, SetupRange::Drive) \
        .Sent((CODE) + (n)-1)
// The monopole and dipole sections share their keys.
#define KELVANE_FULLWAVE(S, PAGE, A, X, C, STACK, WINDOW_END)                                            \
    Setting(S, kIsAutoKey, KELVANE_M(A##IsAuto))                                                         \
        .Default(1)                                                                                      \
        .Saved()                                                                                         \
        .Setup(PAGE, "Auto gain", SetupUnit::OnOff, SetupRange::Switch)                                  \
        .Sent(CMD_##C##_AUTO_GAIN),                                                                      \
        KELVANE_CH(S, PAGE, A, 1, CMD_##C##_CH1_GAIN), KELVANE_CH(S, PAGE, A, 2, CMD_##C##_CH1_GAIN),    \
        KELVANE_CH(S, PAGE, A, 3, CMD_##C##_CH1_GAIN), KELVANE_CH(S, PAGE, A, 4, CMD_##C##_CH1_GAIN),    \
        KELVANE_CH(S, PAGE, A, 5, CMD_##C##_CH1_GAIN), KELVANE_CH(S, PAGE, A, 6, CMD_##C##_CH1_GAIN),    \
        KELVANE_CH(S, PAGE, A, 7, CMD_##C##_CH1_GAIN), KELVANE_CH(S, PAGE, A, 8, CMD_##C##_CH1_GAIN),    \
        Setting(S, kAllGainKey, KELVANE_M(A##AllGain))                                                   \
            .Saved()                                                                                     \
            .Setup(PAGE, "ALL gain", SetupUnit::Db, SetupRange::Drive)                                   \
            .Sent(CMD_##C##_ALL_GAIN),                                                                   \
        Setting(S, "StackValue", KELVANE_M(A##StackValue))                                               \
            .Default(STACK)                                                                              \
            .Load(LoadRule::StartsAt, STACK)                                                             \
            .Saved()                                                                                     \
            .Setup(PAGE, "Stack", SetupUnit::None, SetupRange::Drive)                                    \
            .Sent(CMD_##C##_STACK)                                                                       \
            .Why("saved, but every start begins with this stack"),                                       \
        Setting(S, "WindowsEnd", KELVANE_M(A##WindowsEnd))                                               \
            .Default(WINDOW_END)                                                                         \
            .Load(LoadRule::StartWindowEnd, WINDOW_END)                                                  \
            .Saved()                                                                                     \
            .Setup(PAGE, "Window end", SetupUnit::Us, SetupRange::Drive)                                 \
            .Sent(CMD_##C##_WIN_END)                                                                     \
            .Why("every start, with a file or without, begins with the window end the block publishes"), \
        Setting(S, nullptr, KELVANE_M(A##Filter))                                                        \
            .Load(LoadRule::NotLoaded)                                                                   \
            .Setup(PAGE, "Downhole filter", SetupUnit::Check, SetupRange::Switch)                        \
            .Sent(CMD_##C##_DOWNHOLE_FILTER)                                                             \
            .SetupKey(X " Filter")                                                                       \
            .Why("the check box's state; the settings file never keeps it")

// Row order is the settings file's key order within each section and the
// order of a set-up's keys and of its preview.
inline constexpr SettingRow kSettings[] = {
    // "GENERAL CONTROL"
    Setting(kGeneralSection, "Gain Step", KELVANE_M(GainStep))
        .Default(3)
        .Load(LoadRule::ZeroIsThree)
        .Saved()
        .Setup(settings_pages::kGeneral, "Gain step", SetupUnit::Db, SetupRange::GainStep)
        .Sent(CMD_GAIN_STEP_1DB)
        .Why("the gain pages divide by it: 0 (or no key) loads 3"),
    Setting(kGeneralSection, "DT DELAY", KELVANE_M(DtDelay))
        .Default(80)
        .Saved()
        .Setup(settings_pages::kGeneral, "DT receiver delay", SetupUnit::Us, SetupRange::Drive)
        .Sent(CMD_DT_RXDELAY),
    Setting(kGeneralSection, "DT DELAY STEP", KELVANE_M(DtDelayStep))
        .Saved()
        .Setup(settings_pages::kGeneral, "DT delay step", SetupUnit::Us, SetupRange::Drive)
        .Sent(CMD_DT_RXDELAY_STEP),
    Setting(kGeneralSection, "DT SAMPLERATE", KELVANE_M(DtSampleRate))
        .Default(8)
        .Saved()
        .Setup(settings_pages::kGeneral, "DT sample interval", SetupUnit::Us, SetupRange::None),
    Setting(kGeneralSection, "Mono DELAY", KELVANE_M(MonoDelay))
        .Default(80)
        .Saved()
        .Setup(settings_pages::kGeneral, "Monopole receiver delay", SetupUnit::Us, SetupRange::Drive)
        .Sent(CMD_MONO_RXDELAY),
    Setting(kGeneralSection, "Mono DELAY STEP", KELVANE_M(MonoDelayStep))
        .Saved()
        .Setup(settings_pages::kGeneral, "Monopole delay step", SetupUnit::Us, SetupRange::Drive)
        .Sent(CMD_MONO_RXDELAY_STEP),
    Setting(kGeneralSection, "Mono SAMPLERATE", KELVANE_M(MonoSampleRate))
        .Default(24)
        .Saved()
        .Setup(settings_pages::kGeneral, "Monopole sample interval", SetupUnit::Us, SetupRange::Drive)
        .Sent(CMD_MONO_SAMPLERATE),
    Setting(kGeneralSection, "Dipole DELAY", KELVANE_M(DipoleDelay))
        .Default(240)
        .Saved()
        .Setup(settings_pages::kGeneral, "Dipole receiver delay", SetupUnit::Us, SetupRange::Drive)
        .Sent(CMD_DIPOLE_RXDELAY),
    Setting(kGeneralSection, "Dipole DELAY STEP", KELVANE_M(DipoleDelayStep))
        .Saved()
        .Setup(settings_pages::kGeneral, "Dipole delay step", SetupUnit::Us, SetupRange::Drive)
        .Sent(CMD_DIPOLE_RXDELAY_STEP),
    Setting(kGeneralSection, "Dipole SAMPLERATE", KELVANE_M(DipoleSampleRate))
        .Default(36)
        .Saved()
        .Setup(settings_pages::kGeneral, "Dipole sample interval", SetupUnit::Us, SetupRange::Drive)
        .Sent(CMD_DIPOLE_SAMPLERATE),
    // "DT GAIN CONTROL"
    Setting(kDtSection, kIsAutoKey, KELVANE_M(DtIsAuto))
        .Default(1)
        .Saved()
        .Setup(settings_pages::kDt, "Auto gain", SetupUnit::OnOff, SetupRange::Switch)
        .Sent(CMD_DT_AUTO_GAIN),
    KELVANE_CH(kDtSection, settings_pages::kDt, Dt, 1, CMD_DT_CH1_GAIN),
    KELVANE_CH(kDtSection, settings_pages::kDt, Dt, 2, CMD_DT_CH1_GAIN),
    KELVANE_CH(kDtSection, settings_pages::kDt, Dt, 3, CMD_DT_CH1_GAIN),
    KELVANE_CH(kDtSection, settings_pages::kDt, Dt, 4, CMD_DT_CH1_GAIN),
    Setting(kDtSection, "FirstStartTime", KELVANE_M(DtFirstStartTime))
        .Default(200)
        .Saved()
        .Setup(settings_pages::kDt, "Window start", SetupUnit::Us, SetupRange::Drive)
        .Sent(CMD_DT_WIN_START),
    Setting(kDtSection, "FirstWinLength", KELVANE_M(DtFirstWinLength))
        .Default(1200)
        .Saved()
        .Setup(settings_pages::kDt, "Window length", SetupUnit::Us, SetupRange::DtLength)
        .Sent(CMD_DT_WIN_END)
        .Why("a length in the file; the command carries the end"),
    Setting(kDtSection, "Total Offset", KELVANE_M(DtTotalOffset))
        .Default(24)
        .Saved()
        .Setup(settings_pages::kDt, "Window offset", SetupUnit::Us, SetupRange::Drive)
        .Sent(CMD_DT_TOTAL_OFFSET),
    Setting(kDtSection, kAllGainKey, KELVANE_M(DtAllGain))
        .NotCarried("ALL sets the channels, which a set-up carries")
        .Why("shown in ALL when the page opens; ALL itself sets the channels, never this"),
    Setting(kDtSection, nullptr, KELVANE_M(DtWinEnd))
        .Load(LoadRule::NotLoaded)
        .NotCarried("follows from the start and length a set-up carries")
        .Why("start plus length, set when a WinLength move ends"),
    // "MONOPOLE CONTROL", "DIPOLE CONTROL"
    KELVANE_FULLWAVE(kMonoSection, settings_pages::kMono, Mono, "Mono", MONO, 1, MONO_WINDOW_END_AT_START),
    KELVANE_FULLWAVE(kDipoleSection, settings_pages::kDipole, Dipole, "Dipole", DIPOLE, 4, DIPOLE_WINDOW_END_AT_START),
    // "ACOUSTIC PROCESS": each mirrored in ProcessPara. Three groups fall back
    // to other values than their defaults when the key is missing.
    Setting(kAcousticSection, "T01R1Start", KELVANE_M(T01RStart[0]))
        .Default(160)
        .Load(LoadRule::Fallback, 120)
        .Saved()
        .Mirrors(KELVANE_PP(T01RStart[0]))
        .Setup(settings_pages::kAcoustic, "T01R1 start", SetupUnit::Us, SetupRange::Typed),
    Setting(kAcousticSection, "T01R2Start", KELVANE_M(T01RStart[1]))
        .Default(160)
        .Load(LoadRule::Fallback, 120)
        .Saved()
        .Mirrors(KELVANE_PP(T01RStart[1]))
        .Setup(settings_pages::kAcoustic, "T01R2 start", SetupUnit::Us, SetupRange::Typed),
    Setting(kAcousticSection, "T01R3Start", KELVANE_M(T01RStart[2]))
        .Default(160)
        .Load(LoadRule::Fallback, 120)
        .Saved()
        .Mirrors(KELVANE_PP(T01RStart[2]))
        .Setup(settings_pages::kAcoustic, "T01R3 start", SetupUnit::Us, SetupRange::Typed),
    Setting(kAcousticSection, "T01R4Start", KELVANE_M(T01RStart[3]))
        .Default(160)
        .Load(LoadRule::Fallback, 120)
        .Saved()
        .Mirrors(KELVANE_PP(T01RStart[3]))
        .Setup(settings_pages::kAcoustic, "T01R4 start", SetupUnit::Us, SetupRange::Typed),
    Setting(kAcousticSection, "ThresholdMin1", KELVANE_M(ThresholdMin[0]))
        .Real()
        .Default(0.3)
        .Load(LoadRule::Fallback, 0.0)
        .Saved()
        .Mirrors(KELVANE_PP(ThresholdMin[0]))
        .Setup(settings_pages::kAcoustic, "Threshold min 1", SetupUnit::Real, SetupRange::None),
    Setting(kAcousticSection, "ThresholdMin2", KELVANE_M(ThresholdMin[1]))
        .Real()
        .Default(0.3)
        .Load(LoadRule::Fallback, 0.0)
        .Saved()
        .Mirrors(KELVANE_PP(ThresholdMin[1]))
        .Setup(settings_pages::kAcoustic, "Threshold min 2", SetupUnit::Real, SetupRange::None),
    Setting(kAcousticSection, "ThresholdMin3", KELVANE_M(ThresholdMin[2]))
        .Real()
        .Default(0.3)
        .Load(LoadRule::Fallback, 0.0)
        .Saved()
        .Mirrors(KELVANE_PP(ThresholdMin[2]))
        .Setup(settings_pages::kAcoustic, "Threshold min 3", SetupUnit::Real, SetupRange::None),
    Setting(kAcousticSection, "ThresholdMin4", KELVANE_M(ThresholdMin[3]))
        .Real()
        .Default(0.3)
        .Load(LoadRule::Fallback, 0.0)
        .Saved()
        .Mirrors(KELVANE_PP(ThresholdMin[3]))
        .Setup(settings_pages::kAcoustic, "Threshold min 4", SetupUnit::Real, SetupRange::None),
    Setting(kAcousticSection, "DtMin", KELVANE_M(DtMin))
        .Default(40)
        .Load(LoadRule::Fallback, 40)
        .Saved()
        .Mirrors(KELVANE_PP(DtMin))
        .Setup(settings_pages::kAcoustic, "DT min", SetupUnit::None, SetupRange::Typed),
    Setting(kAcousticSection, "DtMax", KELVANE_M(DtMax))
        .Default(180)
        .Load(LoadRule::Fallback, 180)
        .Saved()
        .Mirrors(KELVANE_PP(DtMax))
        .Setup(settings_pages::kAcoustic, "DT max", SetupUnit::None, SetupRange::Typed),
    Setting(kAcousticSection, "CorWinLength", KELVANE_M(CorWinLength))
        .Default(200)
        .Load(LoadRule::Fallback, 200)
        .Saved()
        .Mirrors(KELVANE_PP(CorWinLength))
        .Setup(settings_pages::kAcoustic, "Correlation window", SetupUnit::None, SetupRange::Typed),
    Setting(kAcousticSection, "Coefficient", KELVANE_M(Coefficient))
        .Real()
        .Default(1.0)
        .Load(LoadRule::Fallback, 1.0)
        .Saved()
        .Mirrors(KELVANE_PP(Coefficient))
        .Setup(settings_pages::kAcoustic, "Coefficient", SetupUnit::Real, SetupRange::None),
    Setting(kAcousticSection, "ThresholdFactor", KELVANE_M(ThresholdFactor))
        .Real()
        .Default(0.2)
        .Load(LoadRule::Fallback, 0.2)
        .Saved()
        .Mirrors(KELVANE_PP(ThresholdFactor))
        .Setup(settings_pages::kAcoustic, "Threshold factor", SetupUnit::Real, SetupRange::None),
    Setting(kAcousticSection, "SearchWinLength", KELVANE_M(SearchWinLength))
        .Default(800)
        .Load(LoadRule::Fallback, 120)
        .Saved()
        .Mirrors(KELVANE_PP(SearchWinLength))
        .Setup(settings_pages::kAcoustic, "Search window", SetupUnit::Us, SetupRange::Typed),
    Setting(kAcousticSection, "FilterType", KELVANE_M(FilterType))
        .Saved()
        .Mirrors(KELVANE_PP(FilterType))
        .Setup(settings_pages::kAcoustic, "Filter type", SetupUnit::None, SetupRange::Choices)
        .Choices(3)
        .Why("no fallback: read like a plain key"),
    Setting(kAcousticSection, "HighCut", KELVANE_M(HighCut))
        .Load(LoadRule::Fallback, 0)
        .Saved()
        .Mirrors(KELVANE_PP(HighCut), Mirror::RealOfText)
        .Setup(settings_pages::kAcoustic, "High cut", SetupUnit::None, SetupRange::Typed)
        .Why("an integer in the set and in the file; the block keeps a typed or loaded fraction"),
    Setting(kAcousticSection, "LowCut", KELVANE_M(LowCut))
        .Load(LoadRule::Fallback, 0)
        .Saved()
        .Mirrors(KELVANE_PP(LowCut), Mirror::RealOfText)
        .Setup(settings_pages::kAcoustic, "Low cut", SetupUnit::None, SetupRange::Typed)
        .Why("an integer in the set and in the file; the block keeps a typed or loaded fraction"),
    // Not in the settings file; a set-up keeps them in its own section.
    Setting(kDtSection, nullptr, KELVANE_M(DtFilter))
        .Load(LoadRule::NotLoaded)
        .Setup(settings_pages::kDt, "Downhole filter", SetupUnit::Check, SetupRange::Switch)
        .Sent(CMD_DT_DOWNHOLE_FILTER)
        .SetupKey("DT Filter")
        .Why("a new DT page shows the filter unchecked"),
    Setting(kAcousticSection, nullptr, KELVANE_M(CurveSelect))
        .Load(LoadRule::NotLoaded)
        .Mirrors(KELVANE_PP(CurveSelect))
        .Setup(settings_pages::kAcoustic, "DT curve", SetupUnit::None, SetupRange::Choices)
        .Choices(2)
        .SetupKey("Curve Select")
        .Why("0 at every start; outlives a closed window"),
    Setting(kAcousticSection, nullptr, KELVANE_M(ThresholdType))
        .Load(LoadRule::NotLoaded)
        .Mirrors(KELVANE_PP(ThresholdType))
        .NotCarried("its list is never enabled")
        .Why("0 at every start; its list is never enabled"),
    Setting(kAcousticSection, nullptr, KELVANE_M(StartLink[0]))
        .Load(LoadRule::ClearedAtLoad)
        .NotCarried("links are the operator's of the moment")
        .Why("links are the operator's of the moment"),
    Setting(kAcousticSection, nullptr, KELVANE_M(StartLink[1])).Load(LoadRule::ClearedAtLoad).NotCarried("a link"),
    Setting(kAcousticSection, nullptr, KELVANE_M(StartLink[2])).Load(LoadRule::ClearedAtLoad).NotCarried("a link"),
    Setting(kAcousticSection, nullptr, KELVANE_M(StartLink[3])).Load(LoadRule::ClearedAtLoad).NotCarried("a link"),
    Setting(kAcousticSection, nullptr, KELVANE_M(MinLink[0])).Load(LoadRule::ClearedAtLoad).NotCarried("a link"),
    Setting(kAcousticSection, nullptr, KELVANE_M(MinLink[1])).Load(LoadRule::ClearedAtLoad).NotCarried("a link"),
    Setting(kAcousticSection, nullptr, KELVANE_M(MinLink[2])).Load(LoadRule::ClearedAtLoad).NotCarried("a link"),
    Setting(kAcousticSection, nullptr, KELVANE_M(MinLink[3])).Load(LoadRule::ClearedAtLoad).NotCarried("a link"),
    // The window starts: fixed from start-up on.
    Setting(nullptr, nullptr, KELVANE_M(MonoWinStart))
        .Default(MONO_WINDOW_START)
        .Load(LoadRule::NotLoaded)
        .NotCarried("fixed")
        .Why("set by start-up, never changed"),
    Setting(nullptr, nullptr, KELVANE_M(DipoleWinStart))
        .Default(DIPOLE_WINDOW_START)
        .Load(LoadRule::NotLoaded)
        .NotCarried("fixed")
        .Why("set by start-up, never changed"),
    // "OPTIONS": the operator's choices about the window itself.
    Setting(kOptionsSection, "BumplessAutoGainOff", KELVANE_M(BumplessAutoGainOff))
        .Default(1)
        .Load(LoadRule::Fallback, 1)
        .Saved()
        .NotCarried("how the window behaves, not what the tool holds")
        .Why("on unless the file says otherwise: a file from before the option keeps it on"),
};
#undef KELVANE_FULLWAVE
#undef KELVANE_CH
#undef KELVANE_PP
#undef KELVANE_M

}  // namespace kelvane
