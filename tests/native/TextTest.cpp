// The shared text rules: what the profile reader, the set-up reader and the
// journals each relied on before they shared one copy.
#include "base/logic/Text.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(Text, TrimsOnlyTheBlanksAsked) {
    const struct {
        const char* text;
        const char* blanks;
        const char* want;
    } cases[] = {
        {" \tKey \t", kCBlanks, "Key"},
        {"\r\v\fKey\n", kCBlanks, "Key"},
        {"\rKey\r", " \t", "\rKey\r"},  // the profile reader strips spaces and tabs only
        {" \t ", " \t", ""},
        {"", kCBlanks, ""},
        {"a b", kCBlanks, "a b"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, Trimmed(c.text, c.blanks)) << '"' << c.text << '"';
}

TEST(Text, NamesCompareWithoutAsciiCaseOnly) {
    const struct {
        const char* a;
        const char* b;
        bool same;
    } cases[] = {
        {"GENERAL CONTROL", "general control", true},
        {"Gain Step", "GAIN STEP", true},
        {"Gain Step", "Gain Step ", false},
        {"\xC4", "\xE4", false},  // no locale's case: Ä and ä stay apart
        {"", "", true},
        {"[", "{", false},  // 'Z' + 1 is no letter
    };
    for (const auto& c : cases) EXPECT_EQ(c.same, SameName(c.a, c.b)) << c.a << " ~ " << c.b;
    EXPECT_EQ("set-up end", Lower("SET-UP END"));
}

TEST(Text, CodesAsFourHexDigits) {
    EXPECT_EQ("0x822a", CodeHex(0x822A, false));
    EXPECT_EQ("0x822A", CodeHex(0x822A, true));
    EXPECT_EQ("0x0001", CodeHex(0x10001, true));  // the low 16 bits only
}

}  // namespace
}  // namespace kelvane
