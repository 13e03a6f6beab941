#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/logic/NumberText.h"

using namespace kelvane;

namespace {

// Sets a process locale for one scope and restores the previous one.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : m_previous(std::setlocale(LC_ALL, nullptr)) {
        m_active = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ScopedLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;
    bool Active() const { return m_active; }

private:
    std::string m_previous;
    bool m_active = false;
};

// Locales whose decimal separator is a comma, by the names hosts use: the
// Windows runtime's ("German"), then glibc's (often not installed).
const char* const kCommaLocales[] = {"German", "French", "Russian", "de_DE.UTF-8", "fr_FR.UTF-8", "ru_RU.UTF-8"};

// The runtime's own "%.<n>lf", in whatever locale is set.
std::string RuntimeFixed(double v, int decimals) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

// Every case here reads or writes a decimal point or could group digits:
// the ones a decimal-comma locale breaks in the runtime's own functions.
void ExpectCForm() {
    const struct {
        const char* text;
        float want;
    } reads[] = {{"2.5", 2.5f}, {"0.5", 0.5f}, {"-7.6", -7.6f}, {"1.5e1", 15.0f}, {"2,5", 2.0f}};
    for (const auto& c : reads) EXPECT_EQ(Bits(c.want), Bits(ParseLeadingFloat(c.text))) << c.text;

    const struct {
        double v;
        int decimals;
        const char* want;
    } writes[] = {
        {2.5, 1, "2.5"},
        {2.5, 2, "2.50"},
        {0.25, 1, "0.2"},
        {0.375, 2, "0.38"},  // exact ties: half to even
        {0.35, 1, "0.3"},
        {2.675, 2, "2.67"},  // the binary value lies below the tie
        {0.7f, 2, "0.70"},
        {-0.04, 1, "-0.0"},           // the sign stays, as printf writes it
        {1234567.0, 1, "1234567.0"},  // no grouping
        {FLT_MAX, 1, "340282346638528859811704183484516925440.0"},
    };
    for (const auto& c : writes) EXPECT_EQ(c.want, FormatFixed(c.v, c.decimals)) << c.v;
    EXPECT_EQ("-2147483648", FormatInt(-2147483647 - 1));
    EXPECT_EQ("1234567", FormatInt(1234567));
}

}  // namespace

// The C form whatever locale the host set. Without a decimal-comma locale
// (a bare glibc) only the C case runs; the Windows runtime always has one.
TEST(NumberText, ReadsAndWritesTheCFormInAnyLocale) {
    ExpectCForm();
    int commaLocales = 0;
    for (const char* name : kCommaLocales) {
        ScopedLocale locale(name);
        if (!locale.Active()) continue;
        ++commaLocales;
        SCOPED_TRACE(name);
        ASSERT_EQ("2,5", RuntimeFixed(2.5, 1)) << "the runtime itself writes a comma here";
        ExpectCForm();
    }
#ifdef _WIN32
    EXPECT_EQ(3, commaLocales);
#endif
    if (commaLocales == 0) std::printf("[   NOTE   ] no decimal-comma locale installed; the C locale only\n");
}

// What the plug-in wrote with the runtime's "%.1lf"/"%.2lf" and read with
// atof in the C locale, it writes and reads the same way now, bit for bit.
TEST(NumberText, MatchesTheRuntimeInTheCLocale) {
    ScopedLocale locale("C");
    uint32_t state = 12345u;
    auto next = [&state] { return state = state * 1664525u + 1013904223u; };
    for (int i = 0; i < 200000; ++i) {
        float v;
        if (i % 2) {
            const uint32_t b = next();
            std::memcpy(&v, &b, sizeof v);
            if (!std::isfinite(v)) continue;
        } else {
            v = static_cast<float>(static_cast<int32_t>(next() % 2000001u) - 1000000) /
                static_cast<float>(1u << (i % 12));
        }
        for (int decimals : {1, 2}) {
            const std::string text = FormatFixed(v, decimals);
            ASSERT_EQ(RuntimeFixed(v, decimals), text) << Bits(v);
            // Read back cut to the INI's 9 characters, as a new start-up does.
            const std::string cut = text.substr(0, 9);
            ASSERT_EQ(Bits(static_cast<float>(std::atof(cut.c_str()))), Bits(ParseLeadingFloat(cut.c_str()))) << cut;
        }
    }
}

// atof's plain decimal form only: the runtime's strtod would also read hex,
// "inf" and "nan", so "0x20" typed in a gain box would send 32 dB.
TEST(NumberText, FloatTextReadsOnlyThePlainDecimalForm) {
    const struct {
        const char* text;
        float want;
    } cases[] = {{"0x20", 0.0f},   {"-0x1p3", -0.0f},    {"inf", 0.0f},     {"-Infinity", 0.0f}, {"nan", 0.0f},
                 {"NAN(1)", 0.0f}, {" \t12.9dB", 12.9f}, {"-4.5", -4.5f},   {"+.5", 0.5f},       {"7.", 7.0f},
                 {".", 0.0f},      {"-", 0.0f},          {"", 0.0f},        {"1e2", 100.0f},     {"1E+2x", 100.0f},
                 {"25e", 25.0f},   {"25e+", 25.0f},      {"2.5e-1", 0.25f}, {"3e1.5", 30.0f},    {"1 2", 1.0f},
                 {"12abc", 12.0f}};
    for (const auto& c : cases) {
        const float got = ParseLeadingFloat(c.text);
        EXPECT_FALSE(std::isnan(got)) << c.text;
        EXPECT_EQ(c.want, got) << c.text;
    }
    EXPECT_EQ(1.0f, ParseLeadingFloat(std::string(70000, '0').append("1").c_str()));
    EXPECT_EQ(0.0f, ParseLeadingFloat(nullptr));
}

// Beyond single precision a value keeps its sign at the largest finite
// float: no reader of the parameter set or the blocks ever sees infinity.
TEST(NumberText, FloatTextSaturatesBeyondSinglePrecision) {
    const struct {
        const char* text;
        float want;
    } cases[] = {{"3.4028234e38", FLT_MAX}, {"3.4028236e38", FLT_MAX},
                 {"1e39", FLT_MAX},         {"-1e39", -FLT_MAX},
                 {"1e300", FLT_MAX},        {"-1e999", -FLT_MAX},
                 {"0.001e310", FLT_MAX},    {"1e99999999999999999999", FLT_MAX},
                 {"1e-50", 0.0f},           {"-1e-400", -0.0f},
                 {"1000e-400", 0.0f},       {"0.0e999999", 0.0f}};
    for (const auto& c : cases) EXPECT_EQ(Bits(c.want), Bits(ParseLeadingFloat(c.text))) << c.text;
}

TEST(NumberText, IntTextSaturates) {
    const struct {
        const char* text;
        int32_t want;
    } cases[] = {{"  -12abc", -12},
                 {"+7", 7},
                 {"99999999999", 2147483647},
                 {"-99999999999", -2147483647 - 1},
                 {"x1", 0},
                 {"", 0},
                 {"2.9", 2},
                 {nullptr, 0}};
    for (const auto& c : cases) EXPECT_EQ(c.want, ParseLeadingInt(c.text)) << (c.text ? c.text : "null");
}

TEST(NumberText, ClockIsTwoDigitsEach) {
    struct Case {
        int32_t at;
        const char* want;
    } cases[] = {
        {0, "00:00:00"},  {7 * 3600 + 5 * 60 + 9, "07:05:09"}, {86399, "23:59:59"}, {86400, "00:00:00"},
        {-1, "00:00:00"},  // outside the day
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, FormatClock(c.at)) << c.at;
}
