#include "bench/logic/BenchScript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/logic/ReplayShrink.h"

using namespace kelvane;

TEST(BenchScript, ParsesEveryStep) {
    const char* src =
        "# demo\n"
        "show\r\n"
        "page 2\n"
        "type 2 1006 100\n"
        "type 4 1069 12.9 us\n"
        "arrow 1 1044 down\n"
        "slider 4 1008 200 208\n"
        "select 0 1001 2\n"
        "dspstatus FFFF\n"
        "fault stuck mono 3\n"
        "expect command 0x8223 -30\n"
        "expect field process 28 1.1\n"
        "expect text 2 1006 78\n"
        "screenshot page 2\n"
        "expect box enter an integer\n"
        "answer box OK\n"
        "note readback 2\n"
        "expect moved 2 2\n"
        "key 1 1003 ctrl+shift+tab\n"
        "settings locked\n"
        "fault pinned low dipole 8\n";
    std::vector<ScriptStep> steps;
    std::string error;
    ASSERT_TRUE(ParseScript(src, steps, error)) << error;
    ASSERT_EQ(20u, steps.size());
    EXPECT_EQ("low", steps[19].word);
    EXPECT_EQ("dipole", steps[19].word2);
    EXPECT_EQ(std::vector<int32_t>{8}, steps[19].num);
    EXPECT_EQ("expect box", steps[13].verb);
    EXPECT_EQ("enter an integer", steps[13].text);
    EXPECT_EQ("answer box", steps[14].verb);
    EXPECT_EQ("OK", steps[14].text);
    EXPECT_EQ((std::vector<int32_t>{2, 2}), steps[16].num);
    ScriptKey key;
    ASSERT_TRUE(ParseScriptKey(steps[17].text, key));
    EXPECT_TRUE(key.ctrl && key.shift);
    EXPECT_EQ(0x09u, key.vk);
    EXPECT_EQ("locked", steps[18].word);
    EXPECT_EQ(2, steps[0].line);
    EXPECT_EQ("type", steps[3].verb);
    EXPECT_EQ("12.9 us", steps[3].text);
    EXPECT_EQ("down", steps[4].text);
    EXPECT_EQ((std::vector<int32_t>{4, 1008, 200, 208}), steps[5].num);
    EXPECT_EQ(0xFFFF, steps[7].num[0]);
    EXPECT_EQ("mono", steps[8].word);
    EXPECT_EQ((std::vector<int32_t>{0x8223, -30}), steps[9].num);
    EXPECT_EQ("process", steps[10].word);
    EXPECT_EQ("1.1", steps[10].text);
    EXPECT_EQ("page 2", steps[12].text);
}

TEST(BenchScript, NamesTheFirstBadLine) {
    const struct {
        const char* src;
        const char* error;
    } cases[] = {
        {"show\nshwo\n", "line 2: unknown step 'shwo'"},
        {"page\n", "line 1: 'page' needs 1 numbers"},
        {"page two\n", "line 1: 'two' is not a number"},
        {"click 1 2 3\n", "line 1: unexpected '3'"},
        {"arrow 1 1044 left\n", "line 1: arrow takes up or down"},
        {"slider 4 1008\n", "line 1: 'slider' needs PAGE ID POS..."},
        {"fault stuck bass 1\n", "line 1: fault stuck takes dt, mono or dipole"},
        {"fault pinned top mono 1\n", "line 1: fault pinned takes high or low, then dt, mono or dipole"},
        {"fault pinned high bass 1\n", "line 1: fault pinned takes high or low, then dt, mono or dipole"},
        {"fault pinned high\n", "line 1: 'fault pinned' needs two word arguments"},
        {"expect field shared 0 1\n", "line 1: expect field takes toolcontrol or process"},
        {"screenshot\n", "line 1: 'screenshot' needs more"},
        {"expect strip 2\n", "line 1: 'expect strip' needs more"},
        {"expect command 0x1FFFFFFFF 1\n", "line 1: '0x1FFFFFFFF' is not a number"},
        {"trend 5\n", "line 1: trend takes 1, 10 or 30 (minutes), or 0 (the whole job)"},
        {"stream 10 -1\n", "line 1: stream takes N MS, both >= 0"},
        {"trendshot\n", "line 1: 'trendshot' needs more"},
        {"key 1 1003 ctrl+f13\n", "line 1: no key 'ctrl+f13'"},
        {"settings shared\n", "line 1: settings takes locked, readonly or free"},
    };
    for (const auto& c : cases) {
        std::vector<ScriptStep> steps;
        std::string error;
        EXPECT_FALSE(ParseScript(c.src, steps, error)) << c.src;
        EXPECT_EQ(c.error, error) << c.src;
    }
}

// A failing seed's replay shrinks to the steps the failure needs, in their
// order, and never to a list that does not fail.
TEST(BenchScript, ShrinkKeepsOnlyWhatTheFailureNeeds) {
    std::vector<std::string> steps{"check"};
    for (int i = 0; i < 300; ++i) steps.push_back("s" + std::to_string(i));
    auto has = [](const std::vector<std::string>& v, const std::string& s) {
        return std::find(v.begin(), v.end(), s) != v.end();
    };
    auto before = [&](const std::vector<std::string>& v, const std::string& a, const std::string& b) {
        auto ia = std::find(v.begin(), v.end(), a), ib = std::find(v.begin(), v.end(), b);
        return ia != v.end() && ib != v.end() && ia < ib;
    };
    const struct {
        const char* what;
        StillFails fails;
        std::vector<std::string> shortest;
    } cases[] = {
        {"the last step alone", [&](const std::vector<std::string>& v) { return has(v, "s299"); }, {"check", "s299"}},
        {"a step long before it, then the last",
         [&](const std::vector<std::string>& v) { return before(v, "s7", "s299"); },
         {"check", "s7", "s299"}},
        {"three steps in order",
         [&](const std::vector<std::string>& v) { return before(v, "s3", "s150") && before(v, "s150", "s298"); },
         {"check", "s3", "s150", "s298"}},
        {"only with the check",
         [&](const std::vector<std::string>& v) { return v[0] == "check" && has(v, "s42"); },
         {"check", "s42"}},
    };
    for (const auto& c : cases) {
        int runs = 0;
        const auto shortest = ShrinkSteps(
            steps, 1,
            [&](const std::vector<std::string>& v) {
                ++runs;
                return c.fails(v);
            },
            [] { return true; });
        EXPECT_EQ(c.shortest, shortest) << c.what;
        EXPECT_LT(runs, 200) << c.what;
    }
    // Out of time at once: the original; after a few runs: a list that fails.
    auto needs = [&](const std::vector<std::string>& v) { return before(v, "s7", "s299"); };
    EXPECT_EQ(steps, ShrinkSteps(steps, 1, needs, [] { return false; }));
    int budget = 20;
    const auto cut = ShrinkSteps(steps, 1, needs, [&] { return budget-- > 0; });
    EXPECT_TRUE(needs(cut));
    EXPECT_LT(cut.size(), steps.size());
}
