#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/IniRules.h"
#include "core/logic/JobJournal.h"
#include "core/logic/SetupRules.h"

using namespace kelvane;

namespace {

ParameterSet Defaults() {
    ParameterSet p{};
    SetDefaultParameters(p, BlockView());
    return p;
}

// Every set-up setting away from its default, each to a value of its own
// that is inside its drive range.
ParameterSet AwayFromDefaults() {
    ParameterSet p = Defaults();
    int32_t k = 0;
    for (const SetupSetting& s : SetupSettings()) {
        unsigned char* at = reinterpret_cast<unsigned char*>(&p) + s.member;
        ++k;
        if (s.unit == SetupUnit::Real) {
            float v;
            std::memcpy(&v, at, 4);
            v += 0.1f * static_cast<float>(k % 4 + 1);
            std::memcpy(at, &v, 4);
            continue;
        }
        int32_t v;
        std::memcpy(&v, at, 4);
        if (s.unit == SetupUnit::OnOff || s.unit == SetupUnit::Check) v = v ? 0 : 1;
        else if (s.choices > 0) v = (v + 1) % s.choices;
        else if (s.unit == SetupUnit::Db && s.member != offsetof(ParameterSet, GainStep))
            v = v == k % 60 - 20 ? 1 : k % 60 - 20;
        else v += 1 + k % 3;
        std::memcpy(at, &v, 4);
    }
    p.GainStep = 2;
    p.MonoSampleRate = 12;
    p.DipoleSampleRate = 48;
    p.MonoStackValue = 3;
    p.DipoleStackValue = 2;
    p.MonoWindowsEnd = 4000;
    p.DipoleWindowsEnd = 6000;
    return p;
}

bool SameSettings(const ParameterSet& a, const ParameterSet& b, std::string* which) {
    for (const SetupSetting& s : SetupSettings())
        if (std::memcmp(reinterpret_cast<const unsigned char*>(&a) + s.member,
                        reinterpret_cast<const unsigned char*>(&b) + s.member, 4) != 0) {
            *which = s.key;
            return false;
        }
    return true;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

}  // namespace

TEST(SetupRules, EverySettingRoundTripsAndShowsInThePreview) {
    const ParameterSet saved = AwayFromDefaults();
    const std::string text = RenderSetup("12in sonic", "2026-12-08 10:00:00", saved);
    SetupFile read;
    std::string why;
    ASSERT_TRUE(ParseSetup(text, Defaults(), read, why)) << why;
    EXPECT_EQ(read.name, "12in sonic");
    EXPECT_EQ(read.saved, "2026-12-08 10:00:00");
    std::string which;
    EXPECT_TRUE(SameSettings(read.values, saved, &which)) << which;
    // One preview row per setting, all of them different.
    const std::vector<SetupChange> rows = DiffSetup(Defaults(), read.values);
    EXPECT_EQ(rows.size(), SetupSettings().size());
    for (size_t i = 0; i < rows.size() && i < SetupSettings().size(); ++i)
        ASSERT_EQ(rows[i].setting, SetupSettings()[i].label) << SetupSettings()[i].key;
    EXPECT_TRUE(DiffSetup(saved, read.values).empty());
    // The settings file's own sections and keys.
    EXPECT_NE(text.find("[MONOPOLE CONTROL]\r\nIsAuto="), std::string::npos);
    EXPECT_NE(text.find("\r\nGain Step=2\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nStackValue=3\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nMono Filter="), std::string::npos);
}

TEST(SetupRules, DamagedFilesAreRefusedNamingTheLineOrKey) {
    const std::string good = RenderSetup("a", "now", AwayFromDefaults());
    struct Case {
        const char* what;
        std::string text;
        const char* why;
    };
    const Case cases[] = {
        {"empty", "", "empty: not a set-up"},
        {"the settings file itself", "[GENERAL CONTROL]\r\nGain Step=3\r\n", "not a set-up: it has no [SET-UP]"},
        {"binary", std::string("[SET-UP]\r\nName=a\r\n\0\0", 20), "line 3: holds a zero byte"},
        {"garbage in a gain", Replace(good, "Ch3Gain=", "Ch3Gain=1x"), "key \"Ch3Gain\" of [DT GAIN CONTROL]: \"1x"},
        {"a real that is not one", Replace(good, "Coefficient=", "Coefficient=nan"),
         "key \"Coefficient\" of [ACOUSTIC PROCESS]: \"nan"},
        {"a gain step of 5", Replace(good, "Gain Step=2", "Gain Step=5"), "is not a gain step"},
        {"a key twice", Replace(good, "[DIPOLE CONTROL]\r\n", "[DIPOLE CONTROL]\r\nAllGain=1\r\n"),
         "key \"AllGain\" of [DIPOLE CONTROL]: given twice"},
        {"a key missing", Replace(good, "\r\nFirstWinLength=", "\r\nFirstWinLengthX="),
         "key \"FirstWinLength\" of [DT GAIN CONTROL] is missing"},
        {"a count that is off", Replace(good, "Keys=", "Keys=1"), "[SET-UP END] counts"},
        {"a stray line", Replace(good, "[DT GAIN CONTROL]", "[DT GAIN CONTROL]\r\nhello"),
         "\"hello\" is neither a section, a key nor a comment"},
        {"no Name", Replace(good, "Name=a", "Nom=a"), "has no Name"},
    };
    for (const Case& c : cases) {
        SetupFile out;
        std::string why;
        EXPECT_FALSE(ParseSetup(c.text, Defaults(), out, why)) << c.what;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.what << ": " << why;
    }
    // A file cut anywhere before its last key is refused.
    const size_t whole = good.size() - 2;  // the last line's CRLF may go
    for (size_t cut = 0; cut < whole; ++cut) {
        SetupFile out;
        std::string why;
        ASSERT_FALSE(ParseSetup(good.substr(0, cut), Defaults(), out, why)) << "cut at " << cut;
    }
}

TEST(SetupRules, NamesTheFileSystemCannotHoldOrThatLeaveTheFolder) {
    const struct {
        std::string name;
        bool ok;
    } cases[] = {
        {"12in sonic", true},
        {"hole 2.5", true},
        {"Job-7_b (x)", true},
        {std::string(64, 'a'), true},
        {"", false},
        {"   ", false},
        {std::string(65, 'a'), false},
        {"..\\evil", false},
        {"../evil", false},
        {"a/b", false},
        {"C:x", false},
        {"a*", false},
        {"a?", false},
        {"\"q\"", false},
        {"a|b", false},
        {"a\tb", false},
        {" lead", false},
        {"trail ", false},
        {"dot.", false},
        {".hidden", false},
        {"..", false},
        {"CON", false},
        {"con.txt", false},
        {"Nul", false},
        {"COM1", false},
        {"lpt9.ini", false},
        {"COM10", true},
        {"COM0", false},
        {"lpt0.txt", false},
        {"COM\xC2\xB9", false},
        {"lpt\xC2\xB3.log", false},
        {"aux .x", false},
        {"COM\xC2\xB9x", true},
        {"CONIN$", false},
        {"conout$.txt", false},
        {"CONOUT$x", true},
        {"\xD0\xA1\xD0\xBA\xD0\xB2\xD0\xB0\xD0\xB6\xD0\xB8\xD0\xBD\xD0\xB0 12", true},  // Cyrillic
        {[] {
             std::string s;
             for (int i = 0; i < 64; ++i) s += "\xD0\x96";
             return s;
         }(),
         true},
        {[] {
             std::string s;
             for (int i = 0; i < 65; ++i) s += "\xD0\x96";
             return s;
         }(),
         false},
        {"bad \xFF byte", false},
        {"cut \xD0", false},
    };
    for (const auto& c : cases) EXPECT_EQ(SetupNameProblem(c.name).empty(), c.ok) << "\"" << c.name << "\"";
}

TEST(SetupRules, PreviewShowsValuesAsSentAndLoadingLimitsThem) {
    ParameterSet now = Defaults();
    now.DtIsAuto = 0;
    ParameterSet setup = now;
    setup.MonoChGain[2] = 90;
    setup.MonoSampleRate = 12;
    setup.MonoWindowsEnd = 9000;  // above 360 x 12
    setup.DtIsAuto = 7;
    setup.DtFirstStartTime = 400;
    setup.DtFirstWinLength = 99999;
    setup.DtFilter = -1;
    setup.DtMin = 2000000000;
    setup.FilterType = 7;
    setup.CurveSelect = 9;
    const struct {
        const char* setting;
        const char* shown;
        size_t member;
        int32_t loaded;
    } want[] = {
        {"Monopole sample interval", "12 us", offsetof(ParameterSet, MonoSampleRate), 12},
        {"Auto gain", "on (limited from 7)", offsetof(ParameterSet, DtIsAuto), 1},
        {"Window start", "400 us", offsetof(ParameterSet, DtFirstStartTime), 400},
        {"Window length", "2800 us (limited from 99999)", offsetof(ParameterSet, DtFirstWinLength), 2800},
        {"CH3 gain", "80 dB (limited from 90)", offsetof(ParameterSet, MonoChGain[2]), 80},
        {"Window end", "4320 us (limited from 9000)", offsetof(ParameterSet, MonoWindowsEnd), 4320},
        {"DT min", "999999999 (limited from 2000000000)", offsetof(ParameterSet, DtMin), 999999999},
        {"Filter type", "2 (limited from 7)", offsetof(ParameterSet, FilterType), 2},
        {"Downhole filter", "on (limited from -1)", offsetof(ParameterSet, DtFilter), 1},
        {"DT curve", "1 (limited from 9)", offsetof(ParameterSet, CurveSelect), 1},
    };
    const std::vector<SetupChange> rows = DiffSetup(now, setup);
    ASSERT_EQ(rows.size(), std::size(want));
    EXPECT_EQ(rows[0].page, "General Control");
    EXPECT_EQ(rows[1].now, "off");
    EXPECT_EQ(rows[4].now, "0 dB");
    LimitSetup(setup);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].setting, want[i].setting);
        EXPECT_EQ(rows[i].setup, want[i].shown) << want[i].setting;
        int32_t v;
        std::memcpy(&v, reinterpret_cast<const unsigned char*>(&setup) + want[i].member, 4);
        EXPECT_EQ(v, want[i].loaded) << want[i].setting;
    }
}
