// Load/default/save rules of the parameter set against an in-memory profile
// store with the platform's truncation rule.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <map>
#include <utility>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/DriveLimits.h"
#include "core/logic/IniRules.h"
#include "base/logic/Saturate.h"
#include "pages/logic/AcousticRules.h"
#include "core/logic/SaveRules.h"

using namespace kelvane;

namespace {

class MemoryProfile : public ProfileStore {
public:
    std::map<std::pair<std::string, std::string>, std::string> values;
    std::vector<std::pair<std::string, std::string>> writes;  // section, key in order
    std::string Read(const char* section, const char* key, const char* def, size_t n) override {
        auto it = values.find({section, key});
        std::string v = it == values.end() ? std::string(def) : it->second;
        return v.substr(0, n - 1);
    }
    void Write(const char* section, const char* key, const std::string& value) override {
        values[{section, key}] = value;
        writes.emplace_back(section, key);
    }
    void Set(const char* section, const char* key, const char* v) { values[{section, key}] = v; }
    std::string Get(const char* section, const char* key) { return values[{section, key}]; }
};

struct Loaded {
    ParameterSet p{};
    ProcessPara block{};
    BlockView view{&block, sizeof block};
};

void LoadAll(Loaded& l, MemoryProfile& ini) {
    LoadGeneralControl(l.p, ini);
    LoadDtGainControl(l.p, ini);
    LoadDipoleControl(l.p, ini);
    LoadMonopoleControl(l.p, ini);
    LoadAcousticProcess(l.p, ini, l.view);
    LoadOptions(l.p, ini);
}

// The page publishes through the same rows the load uses.
TEST(IniRules, PublishedMemberGoesToItsOwnField) {
    ParameterSet p{};
    p.LowCut = 3500;
    p.ThresholdMin[2] = 0.7f;
    p.CurveSelect = 1;
    p.DtChGain[0] = 9;  // not mirrored
    ProcessPara block{};
    const BlockView view(&block, sizeof block);
    PublishMember(p, offsetof(ParameterSet, LowCut), view);
    PublishMember(p, offsetof(ParameterSet, ThresholdMin[2]), view);
    PublishMember(p, offsetof(ParameterSet, CurveSelect), view);
    PublishMember(p, offsetof(ParameterSet, DtChGain[0]), view);
    ProcessPara want{};
    want.LowCut = 3500.0f;
    want.ThresholdMin[2] = 0.7f;
    want.CurveSelect = 1;
    EXPECT_EQ(0, std::memcmp(&want, &block, sizeof want));
}

// Keys whose missing or odd text loads something else than 0: "Gain Step"
// (0 or none is 3: the gain pages divide by it) and the window's option
// "BumplessAutoGainOff" in "OPTIONS" (a file from before the option keeps
// it on; only a 0 the operator chose turns it off). Each saves as loaded.
TEST(IniRules, KeysWithTheirOwnFallback) {
    const struct {
        const char* section;
        const char* key;
        const char* text;  // nullptr: key missing
        int32_t want;
    } cases[] = {
        {"GENERAL CONTROL", "Gain Step", nullptr, 3},   {"GENERAL CONTROL", "Gain Step", "0", 3},
        {"GENERAL CONTROL", "Gain Step", "5", 5},       {"GENERAL CONTROL", "Gain Step", "abc", 3},
        {"GENERAL CONTROL", "Gain Step", "2", 2},       {"GENERAL CONTROL", "Gain Step", "-1", -1},
        {"OPTIONS", "BumplessAutoGainOff", nullptr, 1}, {"OPTIONS", "BumplessAutoGainOff", "0", 0},
        {"OPTIONS", "BumplessAutoGainOff", "1", 1},
    };
    for (const auto& c : cases) {
        const bool options = std::string(c.section) == "OPTIONS";
        MemoryProfile ini;
        if (c.text) ini.Set(c.section, c.key, c.text);
        Loaded l;
        if (options) LoadOptions(l.p, ini);
        else LoadGeneralControl(l.p, ini);
        EXPECT_EQ(c.want, options ? l.p.BumplessAutoGainOff : l.p.GainStep)
            << c.key << "=" << (c.text ? c.text : "(missing)");
        MemoryProfile saved;
        if (options) SaveOptions(l.p, saved);
        else SaveGeneralControl(l.p, saved);
        EXPECT_EQ(std::to_string(c.want), saved.Get(c.section, c.key)) << c.key;
    }
    Loaded l;
    SetDefaultParameters(l.p, l.view);
    EXPECT_EQ(1, l.p.BumplessAutoGainOff) << "no file: on";
}

TEST(IniRules, ValuesAreCutToNineCharacters) {
    MemoryProfile ini;
    ini.Set("DT GAIN CONTROL", "Ch1Gain", "1234567890");
    ini.Set("DT GAIN CONTROL", "Ch2Gain", "-12345678901");
    ini.Set("ACOUSTIC PROCESS", "DtMin", "9999999999");
    Loaded l;
    LoadAll(l, ini);
    EXPECT_EQ(123456789, l.p.DtChGain[0]);
    EXPECT_EQ(-12345678, l.p.DtChGain[1]);
    EXPECT_EQ(999999999, l.p.DtMin);
    EXPECT_EQ(999999999, l.block.DtMin);
}

TEST(IniRules, FullWaveOverridesAfterLoad) {
    MemoryProfile ini;
    for (const char* s : {"MONOPOLE CONTROL", "DIPOLE CONTROL"}) {
        ini.Set(s, "WindowsEnd", "5000");
        ini.Set(s, "StackValue", "3");
        ini.Set(s, "Ch8Gain", "-12");
    }
    Loaded l;
    LoadAll(l, ini);
    EXPECT_EQ(2960, l.p.MonoWindowsEnd);
    EXPECT_EQ(8880, l.p.DipoleWindowsEnd);
    // A 24 us dipole interval bounds the window end every start begins with.
    ini.Set("GENERAL CONTROL", "Dipole SAMPLERATE", "24");
    LoadGeneralControl(l.p, ini);
    LoadDipoleControl(l.p, ini);
    EXPECT_EQ(8640, l.p.DipoleWindowsEnd);
    EXPECT_EQ(1, l.p.MonoStackValue);
    EXPECT_EQ(4, l.p.DipoleStackValue);
    EXPECT_EQ(-12, l.p.MonoChGain[7]);
    EXPECT_EQ(-12, l.p.DipoleChGain[7]);
}

// Fallbacks of a file without the section differ from the defaults.
TEST(IniRules, AcousticFallbacksAndNaText) {
    const struct {
        const char* key;
        const char* text;  // nullptr: missing
        int32_t wantT01R1;
    } cases[] = {{"T01R1Start", nullptr, 120}, {"T01R1Start", "N/A", 120}, {"T01R1Start", "n/a", 0},
                 {"T01R1Start", "", 0},        {"T01R1Start", "777", 777}, {"T01R1Start", " 15x", 15}};
    for (const auto& c : cases) {
        MemoryProfile ini;
        if (c.text) ini.Set("ACOUSTIC PROCESS", c.key, c.text);
        Loaded l;
        LoadAcousticProcess(l.p, ini, l.view);
        EXPECT_EQ(c.wantT01R1, l.p.T01RStart[0]) << (c.text ? c.text : "(missing)");
        EXPECT_EQ(c.wantT01R1, l.block.T01RStart[0]);
    }
    MemoryProfile empty;
    Loaded l;
    l.p.StartLink[2] = l.p.MinLink[3] = 1;
    LoadAcousticProcess(l.p, empty, l.view);
    EXPECT_EQ(0, l.p.StartLink[2]);
    EXPECT_EQ(0, l.p.MinLink[3]);
    EXPECT_EQ(120, l.block.SearchWinLength);
    EXPECT_EQ(0.0f, l.block.ThresholdMin[2]);
    EXPECT_EQ(40, l.block.DtMin);
    EXPECT_EQ(180, l.block.DtMax);
    EXPECT_EQ(200, l.block.CorWinLength);
    EXPECT_EQ(1.0f, l.block.Coefficient);
    EXPECT_EQ(0.2f, l.block.ThresholdFactor);
    EXPECT_EQ(0, l.block.FilterType);
}

TEST(IniRules, CutOffsAreIntegersInTheSetAndRealsInTheBlock) {
    MemoryProfile ini;
    ini.Set("ACOUSTIC PROCESS", "LowCut", "3500.7");
    ini.Set("ACOUSTIC PROCESS", "HighCut", "-2.5e3");
    Loaded l;
    LoadAcousticProcess(l.p, ini, l.view);
    EXPECT_EQ(3500, l.p.LowCut);
    EXPECT_EQ(3500.7f, l.block.LowCut);
    EXPECT_EQ(-2, l.p.HighCut);
    EXPECT_EQ(-2500.0f, l.block.HighCut);
    SaveAcousticProcess(l.p, ini);
    EXPECT_EQ("3500", ini.Get("ACOUSTIC PROCESS", "LowCut"));

    // Beyond single precision: the block takes the field's limit, never infinity.
    ini.Set("ACOUSTIC PROCESS", "LowCut", "-1e39");
    ini.Set("ACOUSTIC PROCESS", "HighCut", "1e39");
    LoadAcousticProcess(l.p, ini, l.view);
    EXPECT_EQ(static_cast<float>(TYPED_FIELD_MIN), l.block.LowCut);
    EXPECT_EQ(static_cast<float>(TYPED_FIELD_MAX), l.block.HighCut);
}

TEST(IniRules, DefaultsFillSetAndMirror) {
    Loaded l;
    SetDefaultParameters(l.p, l.view);
    EXPECT_EQ(3, l.p.GainStep);
    EXPECT_EQ(2960, l.p.MonoWindowsEnd);  // what the block publishes, not a value past its cap
    EXPECT_EQ(8880, l.p.DipoleWindowsEnd);
    EXPECT_EQ(4, l.p.DipoleStackValue);
    EXPECT_EQ(1, l.p.MonoStackValue);
    EXPECT_EQ(36, l.p.DipoleSampleRate);
    EXPECT_EQ(24, l.p.MonoSampleRate);
    EXPECT_EQ(8, l.p.DtSampleRate);
    EXPECT_EQ(240, l.p.DipoleDelay);
    const ProcessPara want = {
        0, 0, 0.0f, 0.0f, 40, 180, 200, 1.0f, 0, {160, 160, 160, 160}, 800, {0.3f, 0.3f, 0.3f, 0.3f}, 0.2f};
    EXPECT_EQ(0, std::memcmp(&want, &l.block, sizeof want));
}

// The file format is pinned: keys and their order per section, and the texts.
TEST(IniRules, SavesWriteEveryKeyInOrder) {
    Loaded l;
    SetDefaultParameters(l.p, l.view);
    l.p.ThresholdMin[1] = 0.25f;
    l.p.Coefficient = 2.0f;
    MemoryProfile ini;
    SaveGeneralControl(l.p, ini);
    SaveDtGainControl(l.p, ini);
    SaveMonopoleControl(l.p, ini);
    SaveDipoleControl(l.p, ini);
    SaveAcousticProcess(l.p, ini);
    SaveOptions(l.p, ini);
    std::vector<std::string> got;
    for (const auto& w : ini.writes) got.push_back(w.first + "/" + w.second);
    const char* fullwave[] = {"IsAuto",  "Ch1Gain", "Ch2Gain", "Ch3Gain", "Ch4Gain",    "Ch5Gain",
                              "Ch6Gain", "Ch7Gain", "Ch8Gain", "AllGain", "StackValue", "WindowsEnd"};
    std::vector<std::string> want;
    for (const char* k : {"Gain Step", "DT DELAY", "DT DELAY STEP", "DT SAMPLERATE", "Mono DELAY", "Mono DELAY STEP",
                          "Mono SAMPLERATE", "Dipole DELAY", "Dipole DELAY STEP", "Dipole SAMPLERATE"})
        want.push_back(std::string("GENERAL CONTROL/") + k);
    for (const char* k :
         {"IsAuto", "Ch1Gain", "Ch2Gain", "Ch3Gain", "Ch4Gain", "FirstStartTime", "FirstWinLength", "Total Offset"})
        want.push_back(std::string("DT GAIN CONTROL/") + k);
    for (const char* k : fullwave) want.push_back(std::string("MONOPOLE CONTROL/") + k);
    for (const char* k : fullwave) want.push_back(std::string("DIPOLE CONTROL/") + k);
    for (const char* k : {"T01R1Start", "T01R2Start", "T01R3Start", "T01R4Start", "ThresholdMin1", "ThresholdMin2",
                          "ThresholdMin3", "ThresholdMin4", "DtMin", "DtMax", "CorWinLength", "Coefficient",
                          "ThresholdFactor", "SearchWinLength", "FilterType", "HighCut", "LowCut"})
        want.push_back(std::string("ACOUSTIC PROCESS/") + k);
    want.push_back("OPTIONS/BumplessAutoGainOff");
    EXPECT_EQ(want, got);
    EXPECT_EQ("0.3", ini.Get("ACOUSTIC PROCESS", "ThresholdMin1"));
    EXPECT_EQ("0.2", ini.Get("ACOUSTIC PROCESS", "ThresholdMin2"));  // one decimal: 0.25f is below 0.25
    EXPECT_EQ("2.0", ini.Get("ACOUSTIC PROCESS", "Coefficient"));
    EXPECT_EQ("8880", ini.Get("DIPOLE CONTROL", "WindowsEnd"));
}

// The DT windows the block holds are those the page would send, whatever
// the file held: within the drive table, each end after its start.
TEST(IniRules, DtWindowsWithinTheDriveTableEachEndAfterItsStart) {
    struct Case {
        int32_t start, length, offset;
        int32_t starts[4], ends[4];
    } cases[] = {
        {100, 300, 20, {100, 120, 140, 160}, {400, 420, 440, 460}},              // as stored
        {5000, -4000, 300, {2000, 2000, 2000, 2000}, {2200, 2200, 2200, 2200}},  // the hand-edited file
        {50, 308, 20, {80, 100, 120, 140}, {388, 408, 428, 448}},
        {1900, 1200, 100, {1900, 2000, 2000, 2000}, {3100, 3200, 3200, 3200}},
        {0, 0, 0, {80, 80, 80, 80}, {280, 280, 280, 280}},  // a file read as empty
        {kInt32Max, kInt32Max, kInt32Max, {2000, 2000, 2000, 2000}, {3200, 3200, 3200, 3200}},
        {kInt32Min, kInt32Min, kInt32Min, {80, 80, 80, 80}, {280, 280, 280, 280}},
        {300, 100, -50, {300, 300, 300, 300}, {400, 400, 400, 400}},  // offset below 0 counts as 0
    };
    for (const auto& c : cases) {
        const DtWindows w = FitDtWindows(c.start, c.length, c.offset);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(c.starts[k], w.start[k]) << c.start << "/" << c.length << "/" << c.offset << " ch " << k;
            EXPECT_EQ(c.ends[k], w.end[k]) << c.start << "/" << c.length << "/" << c.offset << " ch " << k;
            EXPECT_LT(w.start[k], w.end[k]);
        }
    }
}

TEST(IniRules, PublishFitsWindowWordsAndSkipsSmallBlocks) {
    ParameterSet p{};
    p.DtFirstStartTime = 5000;
    p.DtTotalOffset = 300;
    p.DtFirstWinLength = -4000;
    ToolControlPara tc{};
    ProcessPara pp{};
    pp.CurveSelect = pp.ThresholdType = 9;
    PublishParameters(p, BlockView(&tc, sizeof tc), BlockView(&pp, sizeof pp));
    const int32_t starts[4] = {2000, 2000, 2000, 2000};
    EXPECT_EQ(0, std::memcmp(starts, tc.DtWinStart, sizeof starts));
    EXPECT_EQ(2200, tc.DtWinEnd[0]);
    EXPECT_EQ(2200, tc.DtWinEnd[3]);
    EXPECT_EQ(0, pp.CurveSelect);
    EXPECT_EQ(0, pp.ThresholdType);
    EXPECT_EQ(8880, tc.DipoleWinEnd);
    p.DipoleSampleRate = 24;  // 360 x 24 us is less than the usual start
    PublishParameters(p, BlockView(&tc, sizeof tc), BlockView(&pp, sizeof pp));
    EXPECT_EQ(8640, tc.DipoleWinEnd);
    p.DipoleSampleRate = 0;  // not a list entry: counts as 48

    ToolControlPara small;
    std::memset(&small, 0x5A, sizeof small);
    PublishParameters(p, BlockView(&small, 16), BlockView());
    EXPECT_EQ(80, small.MonoWinStart);
    EXPECT_EQ(8880, small.DipoleWinEnd);
    EXPECT_EQ(0x5A5A5A5A, small.DtWinStart[0]) << "written past a 16-byte block";
}

// What is saved is what comes back: every persisted member, at and beyond
// the limits its entry paths apply, survives a save and a load. The
// exceptions are the values every start resets and those never saved.
TEST(IniRules, WhatIsSavedLoadsBackUnchanged) {
    const int64_t ints[] = {0,
                            -1,
                            80,
                            -31,
                            12345,
                            TYPED_FIELD_MAX,
                            TYPED_FIELD_MIN,
                            int64_t{TYPED_FIELD_MAX} + 1,
                            int64_t{TYPED_FIELD_MIN} - 1,
                            kInt32Max,
                            kInt32Min};
    // Tenth values the sliders and linked shifts give (-9.8 to 19.9).
    const int tenths[] = {-98, -1, 1, 3, 7, 25, 100, 199};
    for (size_t i = 0; i < sizeof ints / sizeof ints[0]; ++i) {
        // Every key holds at most what a file or a limited entry gives it.
        const int32_t v = LimitTypedInt(ints[i]);
        ParameterSet saved{};
        int32_t* members = reinterpret_cast<int32_t*>(&saved);
        for (size_t m = 0; m < sizeof saved / sizeof(int32_t); ++m) members[m] = v;
        const float f = TenthValue(tenths[i % (sizeof tenths / sizeof tenths[0])]);
        saved.Coefficient = saved.ThresholdFactor = f;
        for (float& t : saved.ThresholdMin) t = f;
        if (saved.GainStep == 0) saved.GainStep = 3;  // never held: a 0 loads 3

        MemoryProfile ini;
        SaveGeneralControl(saved, ini);
        SaveDtGainControl(saved, ini);
        SaveMonopoleControl(saved, ini);
        SaveDipoleControl(saved, ini);
        SaveAcousticProcess(saved, ini);
        SaveOptions(saved, ini);
        Loaded l;
        LoadAll(l, ini);

        ParameterSet want = saved;
        want.DtAllGain = 0;  // loaded, never saved
        want.MonoStackValue = 1;
        want.DipoleStackValue = 4;
        want.MonoWindowsEnd = l.p.MonoWindowsEnd;
        want.DipoleWindowsEnd = l.p.DipoleWindowsEnd;
        want.DipoleFilter = want.MonoFilter = want.DtFilter = want.DtWinEnd = 0;
        want.CurveSelect = want.ThresholdType = want.MonoWinStart = want.DipoleWinStart = 0;
        for (int k = 0; k < 4; ++k) want.StartLink[k] = want.MinLink[k] = 0;
        EXPECT_EQ(0, std::memcmp(&want, &l.p, sizeof want)) << "value " << ints[i] << ", tenth " << f;
        EXPECT_EQ(static_cast<float>(v), l.block.LowCut);
        EXPECT_EQ(v, l.block.DtMax);
        EXPECT_EQ(f, l.block.ThresholdMin[3]);
    }
}

// A float beyond single precision loads as the largest finite float of its
// sign, and what is saved then reads back as that same float, as does any
// float whose one-decimal text is longer than the reader takes.
TEST(IniRules, FloatsBeyondTheFileTextComeBackAsPublished) {
    const struct {
        const char* text;
        float published;
    } cases[] = {
        {"1e39", std::numeric_limits<float>::max()},
        {"-1e39", -std::numeric_limits<float>::max()},
        {"1e30", 1e30f},
        {"-2.5e12", -2.5e12f},
        {"0.7", 0.7f},
    };
    for (const auto& c : cases) {
        MemoryProfile ini;
        ini.Set("ACOUSTIC PROCESS", "Coefficient", c.text);
        Loaded l;
        LoadAcousticProcess(l.p, ini, l.view);
        EXPECT_EQ(c.published, l.block.Coefficient) << c.text;
        SaveAcousticProcess(l.p, ini);
        Loaded again;
        LoadAcousticProcess(again.p, ini, again.view);
        EXPECT_EQ(c.published, again.block.Coefficient)
            << c.text << " saved as " << ini.Get("ACOUSTIC PROCESS", "Coefficient");
    }
}

}  // namespace
