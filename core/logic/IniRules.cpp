#include "core/logic/IniRules.h"

#include <cstddef>
#include <cstring>

#include "KelvaneHost.h"
#include "core/logic/NumberText.h"
#include "core/logic/Saturate.h"

namespace kelvane {
namespace {

// One persisted integer: its key, the member, and whether load and save touch it.
struct IntKey {
    const char* key;
    size_t member;  // offsetof(ParameterSet, ...)
    bool load;
    bool save;
};

int32_t& IntAt(ParameterSet& p, size_t off) { return *reinterpret_cast<int32_t*>(reinterpret_cast<unsigned char*>(&p) + off); }
int32_t IntAt(const ParameterSet& p, size_t off) { return *reinterpret_cast<const int32_t*>(reinterpret_cast<const unsigned char*>(&p) + off); }
float& FloatAt(ParameterSet& p, size_t off) { return *reinterpret_cast<float*>(reinterpret_cast<unsigned char*>(&p) + off); }
float FloatAt(const ParameterSet& p, size_t off) { return *reinterpret_cast<const float*>(reinterpret_cast<const unsigned char*>(&p) + off); }

#define M(field) offsetof(ParameterSet, field)

// Tables in the order each save writes its keys.
const IntKey kGeneralKeys[] = {
    {"Gain Step", M(GainStep), true, true},
    {"DT DELAY", M(DtDelay), true, true},
    {"DT DELAY STEP", M(DtDelayStep), true, true},
    {"DT SAMPLERATE", M(DtSampleRate), true, true},
    {"Mono DELAY", M(MonoDelay), true, true},
    {"Mono DELAY STEP", M(MonoDelayStep), true, true},
    {"Mono SAMPLERATE", M(MonoSampleRate), true, true},
    {"Dipole DELAY", M(DipoleDelay), true, true},
    {"Dipole DELAY STEP", M(DipoleDelayStep), true, true},
    {"Dipole SAMPLERATE", M(DipoleSampleRate), true, true},
};

const IntKey kDtKeys[] = {
    {"IsAuto", M(DtIsAuto), true, true},
    {"Ch1Gain", M(DtChGain[0]), true, true},
    {"Ch2Gain", M(DtChGain[1]), true, true},
    {"Ch3Gain", M(DtChGain[2]), true, true},
    {"Ch4Gain", M(DtChGain[3]), true, true},
    {"AllGain", M(DtAllGain), true, false},  // loaded, never saved
    {"FirstStartTime", M(DtFirstStartTime), true, true},
    {"FirstWinLength", M(DtFirstWinLength), true, true},
    {"Total Offset", M(DtTotalOffset), true, true},
};

// Monopole and dipole sections share their keys; "StackValue" is saved but
// overridden after load (below), "WindowsEnd" is loaded and then overridden.
#define FULLWAVE_KEYS(P)                                                                       \
    {"IsAuto", M(P##IsAuto), true, true}, {"Ch1Gain", M(P##ChGain[0]), true, true},           \
        {"Ch2Gain", M(P##ChGain[1]), true, true}, {"Ch3Gain", M(P##ChGain[2]), true, true},   \
        {"Ch4Gain", M(P##ChGain[3]), true, true}, {"Ch5Gain", M(P##ChGain[4]), true, true},   \
        {"Ch6Gain", M(P##ChGain[5]), true, true}, {"Ch7Gain", M(P##ChGain[6]), true, true},   \
        {"Ch8Gain", M(P##ChGain[7]), true, true}, {"AllGain", M(P##AllGain), true, true},     \
        {"StackValue", M(P##StackValue), false, true}, {"WindowsEnd", M(P##WindowsEnd), true, true}

const IntKey kMonoKeys[] = {FULLWAVE_KEYS(Mono)};
const IntKey kDipoleKeys[] = {FULLWAVE_KEYS(Dipole)};

// "ACOUSTIC PROCESS": read with the default "N/A"; the exact text "N/A" gives
// the fallback (which differs from the defaults for three groups of keys).
enum class Kind { Int, Float, IntFloatMirror };
struct AcousticKey {
    const char* key;
    size_t member;
    Kind kind;
    size_t mirror;     // offsetof(ProcessPara, ...)
    bool hasFallback;  // "FilterType" is read like a plain key
    double fallback;
    double defaultValue;
};

#define PP(field) offsetof(ProcessPara, field)
// In save order; the load order only differs by "LowCut" before "HighCut".
const AcousticKey kAcousticKeys[] = {
    {"T01R1Start", M(T01RStart[0]), Kind::Int, PP(T01RStart[0]), true, 120, 160},
    {"T01R2Start", M(T01RStart[1]), Kind::Int, PP(T01RStart[1]), true, 120, 160},
    {"T01R3Start", M(T01RStart[2]), Kind::Int, PP(T01RStart[2]), true, 120, 160},
    {"T01R4Start", M(T01RStart[3]), Kind::Int, PP(T01RStart[3]), true, 120, 160},
    {"ThresholdMin1", M(ThresholdMin[0]), Kind::Float, PP(ThresholdMin[0]), true, 0.0, 0.3},
    {"ThresholdMin2", M(ThresholdMin[1]), Kind::Float, PP(ThresholdMin[1]), true, 0.0, 0.3},
    {"ThresholdMin3", M(ThresholdMin[2]), Kind::Float, PP(ThresholdMin[2]), true, 0.0, 0.3},
    {"ThresholdMin4", M(ThresholdMin[3]), Kind::Float, PP(ThresholdMin[3]), true, 0.0, 0.3},
    {"DtMin", M(DtMin), Kind::Int, PP(DtMin), true, 40, 40},
    {"DtMax", M(DtMax), Kind::Int, PP(DtMax), true, 180, 180},
    {"CorWinLength", M(CorWinLength), Kind::Int, PP(CorWinLength), true, 200, 200},
    {"Coefficient", M(Coefficient), Kind::Float, PP(Coefficient), true, 1.0, 1.0},
    {"ThresholdFactor", M(ThresholdFactor), Kind::Float, PP(ThresholdFactor), true, 0.2, 0.2},
    {"SearchWinLength", M(SearchWinLength), Kind::Int, PP(SearchWinLength), true, 120, 800},
    {"FilterType", M(FilterType), Kind::Int, PP(FilterType), false, 0, 0},
    {"HighCut", M(HighCut), Kind::IntFloatMirror, PP(HighCut), true, 0, 0},
    {"LowCut", M(LowCut), Kind::IntFloatMirror, PP(LowCut), true, 0, 0},
};

// Defaults of the members without a key, and of those the tables above leave.
struct IntDefault {
    size_t member;
    int32_t value;
};
const IntDefault kOtherDefaults[] = {
    {M(GainStep), 3},
    {M(DtDelay), 80}, {M(DtDelayStep), 0}, {M(DtSampleRate), 8},
    {M(MonoDelay), 80}, {M(MonoDelayStep), 0}, {M(MonoSampleRate), 24},
    {M(DipoleDelay), 240}, {M(DipoleDelayStep), 0}, {M(DipoleSampleRate), 36},
    {M(DtIsAuto), 1}, {M(DtAllGain), 0}, {M(DtTotalOffset), 24}, {M(DtFirstStartTime), 200},
    {M(DtFirstWinLength), 1200}, {M(DtWinEnd), 0}, {M(DtFilter), 0},
    {M(MonoIsAuto), 1}, {M(MonoStackValue), 1}, {M(MonoAllGain), 0}, {M(MonoWindowsEnd), 8720}, {M(MonoFilter), 0},
    {M(DipoleIsAuto), 1}, {M(DipoleStackValue), 4}, {M(DipoleAllGain), 0}, {M(DipoleWindowsEnd), 13200},
    {M(DipoleFilter), 0},
    {M(CurveSelect), 0}, {M(ThresholdType), 0},
};
#undef M

int32_t ReadPlain(ProfileStore& ini, const char* section, const char* key) {
    return ParseLeadingInt(ini.Read(section, key, "", kValueBufferSize).c_str());
}

template <size_t N>
void LoadInts(ParameterSet& p, ProfileStore& ini, const char* section, const IntKey (&keys)[N]) {
    for (const IntKey& k : keys)
        if (k.load) IntAt(p, k.member) = ReadPlain(ini, section, k.key);
}

template <size_t N>
void SaveInts(const ParameterSet& p, ProfileStore& ini, const char* section, const IntKey (&keys)[N]) {
    for (const IntKey& k : keys)
        if (k.save) ini.Write(section, k.key, FormatInt(IntAt(p, k.member)));
}

void StoreAcoustic(ParameterSet& p, const BlockView& process, const AcousticKey& k, double intValue, double realValue) {
    switch (k.kind) {
    case Kind::Int:
        IntAt(p, k.member) = static_cast<int32_t>(intValue);
        process.StoreInt(k.mirror, static_cast<int32_t>(intValue));
        break;
    case Kind::Float:
        FloatAt(p, k.member) = static_cast<float>(realValue);
        process.StoreFloat(k.mirror, static_cast<float>(realValue));
        break;
    case Kind::IntFloatMirror:  // integer in the set, the text's real value in the block
        IntAt(p, k.member) = static_cast<int32_t>(intValue);
        process.StoreFloat(k.mirror, static_cast<float>(realValue));
        break;
    }
}

}  // namespace

void LoadGeneralControl(ParameterSet& p, ProfileStore& ini) {
    LoadInts(p, ini, kGeneralSection, kGeneralKeys);
    if (p.GainStep == 0) p.GainStep = 3;
}

void LoadDtGainControl(ParameterSet& p, ProfileStore& ini) { LoadInts(p, ini, kDtSection, kDtKeys); }

void LoadDipoleControl(ParameterSet& p, ProfileStore& ini) {
    LoadInts(p, ini, kDipoleSection, kDipoleKeys);
    // Every start begins with a stack of 4 and the window end the block publishes.
    p.DipoleStackValue = 4;
    p.DipoleWindowsEnd = 8880;
}

void LoadMonopoleControl(ParameterSet& p, ProfileStore& ini) {
    LoadInts(p, ini, kMonoSection, kMonoKeys);
    p.MonoStackValue = 1;
    p.MonoWindowsEnd = 2960;
}

void LoadAcousticProcess(ParameterSet& p, ProfileStore& ini, const BlockView& process) {
    for (int i = 0; i < 4; ++i) p.StartLink[i] = p.MinLink[i] = 0;
    for (const AcousticKey& k : kAcousticKeys) {
        if (!k.hasFallback) {
            const std::string text = ini.Read(kAcousticSection, k.key, "", kValueBufferSize);
            StoreAcoustic(p, process, k, ParseLeadingInt(text.c_str()), ParseLeadingFloat(text.c_str()));
            continue;
        }
        const std::string text = ini.Read(kAcousticSection, k.key, "N/A", kValueBufferSize);
        if (text == "N/A")
            StoreAcoustic(p, process, k, k.fallback, k.fallback);
        else
            StoreAcoustic(p, process, k, ParseLeadingInt(text.c_str()), ParseLeadingFloat(text.c_str()));
    }
}

void SetDefaultParameters(ParameterSet& p, const BlockView& process) {
    for (const IntDefault& d : kOtherDefaults) IntAt(p, d.member) = d.value;
    for (int i = 0; i < 8; ++i) p.MonoChGain[i] = p.DipoleChGain[i] = 0;
    for (int i = 0; i < 4; ++i) p.DtChGain[i] = p.StartLink[i] = p.MinLink[i] = 0;
    for (const AcousticKey& k : kAcousticKeys) StoreAcoustic(p, process, k, k.defaultValue, k.defaultValue);
}

void SaveGeneralControl(const ParameterSet& p, ProfileStore& ini) { SaveInts(p, ini, kGeneralSection, kGeneralKeys); }
void SaveDtGainControl(const ParameterSet& p, ProfileStore& ini) { SaveInts(p, ini, kDtSection, kDtKeys); }
void SaveMonopoleControl(const ParameterSet& p, ProfileStore& ini) { SaveInts(p, ini, kMonoSection, kMonoKeys); }
void SaveDipoleControl(const ParameterSet& p, ProfileStore& ini) { SaveInts(p, ini, kDipoleSection, kDipoleKeys); }

void SaveAcousticProcess(const ParameterSet& p, ProfileStore& ini) {
    for (const AcousticKey& k : kAcousticKeys) {
        // Floats with one decimal ("%.1lf"); "LowCut"/"HighCut" from the integer members.
        std::string text =
            k.kind == Kind::Float ? FormatFixed(FloatAt(p, k.member), 1) : FormatInt(IntAt(p, k.member));
        ini.Write(kAcousticSection, k.key, text);
    }
}

void WriteDtWindowWords(const BlockView& toolControl, int32_t start, int32_t length, int32_t offset) {
    for (int k = 0; k < 4; ++k) {
        const int32_t s = SaturateInt64(int64_t{start} + int64_t{k} * offset);
        toolControl.StoreInt(offsetof(ToolControlPara, DtWinStart) + 4 * k, s);
        toolControl.StoreInt(offsetof(ToolControlPara, DtWinEnd) + 4 * k, AddSat(s, length));
    }
}

void PublishParameters(const ParameterSet& p, const BlockView& toolControl, const BlockView& process) {
    process.StoreInt(PP(CurveSelect), 0);
    process.StoreInt(PP(ThresholdType), 0);
    toolControl.StoreInt(offsetof(ToolControlPara, MonoWinStart), 80);
    toolControl.StoreInt(offsetof(ToolControlPara, DipoleWinStart), 240);
    toolControl.StoreInt(offsetof(ToolControlPara, MonoWinEnd), 2960);
    toolControl.StoreInt(offsetof(ToolControlPara, DipoleWinEnd), 8880);
    WriteDtWindowWords(toolControl, p.DtFirstStartTime, p.DtFirstWinLength, p.DtTotalOffset);
}
#undef PP

}  // namespace kelvane
