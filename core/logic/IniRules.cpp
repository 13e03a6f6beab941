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

using Type = SettingType;

constexpr bool Same(const char* a, const char* b) {
    if (!a || !b) return a == b;
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

constexpr int RowsOfMember(size_t member) {
    int rows = 0;
    for (const SettingRow& row : kSettings) rows += row.member == member;
    return rows;
}

// The list's own consistency, checked where it is compiled rather than by a
// test: a row per member, and nothing two rows would fight over.
constexpr bool EveryMemberHasOneRow() {
    for (size_t m = 0; m < sizeof(ParameterSet); m += 4)
        if (RowsOfMember(m) != 1) return false;
    return true;
}

constexpr bool RowsInTheFileAreWhole() {
    for (const SettingRow& row : kSettings)
        if ((row.saved || row.key) && (!row.key || !row.section)) return false;
    return true;
}

constexpr bool KeysAndFieldsAreOwnedOnce() {
    for (const SettingRow& a : kSettings)
        for (const SettingRow& b : kSettings) {
            if (&a == &b) continue;
            if (a.key && Same(a.section, b.section) && Same(a.key, b.key)) return false;
            if (a.setupKey && Same(a.setupKey, b.setupKey)) return false;
            if (a.mirror != Mirror::None && b.mirror != Mirror::None && a.field == b.field) return false;
        }
    return true;
}

// A set-up carries a row (a label, a key in the file or its own) or says why not.
constexpr bool SetupsCarryOrSayWhyNot() {
    for (const SettingRow& row : kSettings) {
        if ((row.label == nullptr) == (row.notCarried == nullptr)) return false;
        if (row.label && (row.key == nullptr) == (row.setupKey == nullptr)) return false;
        if (row.range == SetupRange::Choices && row.choices <= 0) return false;
        if (row.range == SetupRange::Drive && row.code == 0) return false;
    }
    return true;
}

static_assert(EveryMemberHasOneRow(), "every member of the parameter set needs exactly one settings row");
static_assert(RowsInTheFileAreWhole(), "a row in the settings file needs a section and a key");
static_assert(KeysAndFieldsAreOwnedOnce(), "a key or a mirrored block field belongs to one row");
static_assert(SetupsCarryOrSayWhyNot(), "a set-up carries each row under one key, or the row says why not");

#define PP(f) offsetof(ProcessPara, f)

int32_t& IntAt(ParameterSet& p, size_t off) {
    return *reinterpret_cast<int32_t*>(reinterpret_cast<unsigned char*>(&p) + off);
}
int32_t IntAt(const ParameterSet& p, size_t off) {
    return *reinterpret_cast<const int32_t*>(reinterpret_cast<const unsigned char*>(&p) + off);
}
float& FloatAt(ParameterSet& p, size_t off) {
    return *reinterpret_cast<float*>(reinterpret_cast<unsigned char*>(&p) + off);
}
float FloatAt(const ParameterSet& p, size_t off) {
    return *reinterpret_cast<const float*>(reinterpret_cast<const unsigned char*>(&p) + off);
}

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
    if (row.type == Type::Float) FloatAt(p, row.member) = static_cast<float>(realValue);
    else IntAt(p, row.member) = static_cast<int32_t>(intValue);
    if (row.mirror == Mirror::RealOfText) process.StoreFloat(row.field, static_cast<float>(realValue));
    else if (row.mirror == Mirror::Same) PublishMember(p, row.member, process);
}

void StoreText(ParameterSet& p, const BlockView& process, const SettingRow& row, const std::string& text) {
    Store(p, process, row, ParseLeadingInt(text.c_str()), ParseLeadingFloat(text.c_str()));
}

void LoadSection(ParameterSet& p, ProfileStore& ini, const BlockView& process, const char* section) {
    for (const SettingRow& row : kSettings) {
        if (!InSection(row, section)) continue;
        switch (row.load) {
        case LoadRule::Plain: StoreText(p, process, row, ini.Read(section, row.key, "", kValueBufferSize)); break;
        case LoadRule::ZeroIsThree:
            StoreText(p, process, row, ini.Read(section, row.key, "", kValueBufferSize));
            if (IntAt(p, row.member) == 0) IntAt(p, row.member) = 3;
            break;
        case LoadRule::Fallback: {
            const std::string text = ini.Read(section, row.key, "N/A", kValueBufferSize);
            if (text == "N/A") Store(p, process, row, row.loadValue, row.loadValue);
            else StoreText(p, process, row, text);
            break;
        }
        case LoadRule::StartsAt: IntAt(p, row.member) = static_cast<int32_t>(row.loadValue); break;
        case LoadRule::StartWindowEnd:
            IntAt(p, row.member) = StartWindowEnd(InSection(row, kMonoSection) ? CMD_MONO_WIN_END : CMD_DIPOLE_WIN_END,
                                                  p);
            break;
        case LoadRule::ClearedAtLoad: IntAt(p, row.member) = 0; break;
        case LoadRule::NotLoaded: break;
        }
    }
}

void SaveSection(const ParameterSet& p, ProfileStore& ini, const char* section) {
    for (const SettingRow& row : kSettings)
        if (row.saved && InSection(row, section))
            ini.Write(
                section, row.key,
                row.type == Type::Float ? SavedFloatText(FloatAt(p, row.member)) : FormatInt(IntAt(p, row.member)));
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
    for (const SettingRow& row : kSettings) Store(p, process, row, row.byDefault, row.byDefault);
    // Within what the default intervals allow, as a load gives them.
    for (const SettingRow& row : kSettings)
        if (row.load == LoadRule::StartWindowEnd)
            IntAt(p, row.member) = StartWindowEnd(InSection(row, kMonoSection) ? CMD_MONO_WIN_END : CMD_DIPOLE_WIN_END,
                                                  p);
}

void SaveGeneralControl(const ParameterSet& p, ProfileStore& ini) { SaveSection(p, ini, kGeneralSection); }
void SaveDtGainControl(const ParameterSet& p, ProfileStore& ini) { SaveSection(p, ini, kDtSection); }
void SaveMonopoleControl(const ParameterSet& p, ProfileStore& ini) { SaveSection(p, ini, kMonoSection); }
void SaveDipoleControl(const ParameterSet& p, ProfileStore& ini) { SaveSection(p, ini, kDipoleSection); }
void SaveAcousticProcess(const ParameterSet& p, ProfileStore& ini) { SaveSection(p, ini, kAcousticSection); }
void SaveOptions(const ParameterSet& p, ProfileStore& ini) { SaveSection(p, ini, kOptionsSection); }

void PublishMember(const ParameterSet& p, size_t member, const BlockView& process) {
    for (const SettingRow& row : kSettings) {
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

DtWindows FitDtWindows(int32_t start, int32_t length, int32_t offset) {
    constexpr int32_t kShortestLength = 200;
    int32_t startLo = 0, startHi = 0, endLo = 0, endHi = 0, offsetLo = 0, offsetHi = 0;
    const ParameterSet none{};
    DriveBounds(CMD_DT_WIN_START, none, &startLo, &startHi);
    DriveBounds(CMD_DT_WIN_END, none, &endLo, &endHi);
    DriveBounds(CMD_DT_TOTAL_OFFSET, none, &offsetLo, &offsetHi);
    const auto within = [](int64_t v, int32_t lo, int32_t hi) {
        return static_cast<int32_t>(v < lo ? lo : v > hi ? hi : v);
    };
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
