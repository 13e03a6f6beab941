#include <gtest/gtest.h>

#include <cstring>
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
        else if (s.unit == SetupUnit::Db && s.member != offsetof(ParameterSet, GainStep)) v = v == k % 60 - 20 ? 1 : k % 60 - 20;
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
        {"12in sonic", true}, {"hole 2.5", true}, {"Job-7_b (x)", true}, {std::string(64, 'a'), true},
        {"", false}, {"   ", false}, {std::string(65, 'a'), false}, {"..\\evil", false}, {"../evil", false},
        {"a/b", false}, {"C:x", false}, {"a*", false}, {"a?", false}, {"\"q\"", false}, {"a|b", false},
        {"a\tb", false}, {" lead", false}, {"trail ", false}, {"dot.", false}, {".hidden", false}, {"..", false},
        {"CON", false}, {"con.txt", false}, {"Nul", false}, {"COM1", false}, {"lpt9.ini", false}, {"COM10", true},
    };
    for (const auto& c : cases) EXPECT_EQ(SetupNameProblem(c.name).empty(), c.ok) << "\"" << c.name << "\"";
}

TEST(SetupRules, PreviewShowsValuesAsSentAndLoadingLimitsThem) {
    const ParameterSet now = Defaults();
    ParameterSet setup = now;
    setup.MonoChGain[2] = 90;
    setup.MonoSampleRate = 12;
    setup.MonoWindowsEnd = 9000;  // above 360 x 12
    const std::vector<SetupChange> rows = DiffSetup(now, setup);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].page, "General Control");
    EXPECT_EQ(rows[0].setting, "Monopole sample interval");
    EXPECT_EQ(rows[1].setting, "CH3 gain");
    EXPECT_EQ(rows[1].now, "0 dB");
    EXPECT_EQ(rows[1].setup, "80 dB (limited from 90)");
    EXPECT_EQ(rows[2].setup, "4320 us (limited from 9000)");
    LimitSetup(setup);
    EXPECT_EQ(setup.MonoChGain[2], 80);
    EXPECT_EQ(setup.MonoWindowsEnd, 4320);
}
