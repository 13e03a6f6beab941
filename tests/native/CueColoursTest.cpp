#include "framework/logic/CueColours.h"

#include <gtest/gtest.h>

#include <limits>

namespace kelvane {
namespace {

constexpr uint32_t kBlack = Rgb(0, 0, 0);
constexpr uint32_t kWhite = Rgb(255, 255, 255);

TEST(CueColours, ContrastRatio) {
    struct Case {
        uint32_t a, b;
        double want;
    } cases[] = {
        {kBlack, kWhite, 21.0},
        {kWhite, kBlack, 21.0},
        {kWarningBack, kWarningBack, 1.0},
        {Rgb(119, 119, 119), kWhite, 4.48},  // the usual grey just short of AA
        {kWarningBack, kBlack, 9.0},
    };
    for (const auto& c : cases) EXPECT_NEAR(c.want, ContrastRatio(c.a, c.b), 0.02) << std::hex << c.a << " " << c.b;
}

TEST(CueColours, BlendMovesEachChannelAndStaysInRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        uint32_t a, b;
        double w;
        uint32_t want;
    } cases[] = {
        {kWhite, Rgb(48, 150, 250), 0.25, Rgb(203, 229, 254)},
        {kBlack, kWhite, 0.5, Rgb(128, 128, 128)},
        {Rgb(10, 20, 30), Rgb(30, 20, 10), 0.0, Rgb(10, 20, 30)},
        {Rgb(10, 20, 30), Rgb(30, 20, 10), 1.0, Rgb(30, 20, 10)},
        {Rgb(10, 20, 30), Rgb(30, 20, 10), 7.0, Rgb(30, 20, 10)},  // weights are limited to 0..1
        {Rgb(10, 20, 30), Rgb(30, 20, 10), -1.0, Rgb(10, 20, 30)},
        {Rgb(10, 20, 30), Rgb(30, 20, 10), nan, Rgb(10, 20, 30)},
        {0xFF000000u | kWhite, kBlack, 0.0, kWhite},  // a stray top byte is dropped
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, Blend(c.a, c.b, c.w)) << std::hex << c.a << " " << c.b;
}

// The cue pairs in the schemes an operator's console may run, and that each
// pair stays readable there and stands apart from a plain edit.
TEST(CueColours, PairsFollowTheScheme) {
    const uint32_t face = Rgb(240, 240, 240);
    const SchemeColours wine{kBlack, kWhite, kWhite, Rgb(48, 150, 250), false, Rgb(128, 128, 128), face};
    const SchemeColours windows{kBlack, kWhite, kWhite, Rgb(0, 120, 215), false, Rgb(109, 109, 109), face};
    const SchemeColours hcBlack{kWhite, kBlack, kBlack, Rgb(26, 235, 255), true, Rgb(63, 242, 63), kBlack};
    const SchemeColours hcWhite{kBlack, kWhite, kWhite, Rgb(55, 0, 110), true, Rgb(96, 0, 0), kWhite};
    // Not flagged high contrast, but light text on dark windows.
    const SchemeColours dark{Rgb(230, 230, 230), Rgb(32, 32, 32), kWhite, Rgb(0, 84, 153), false,
                             Rgb(109, 109, 109), Rgb(43, 43, 43)};
    // A selection colour close to the window's: a quarter of it would not show.
    const SchemeColours paleSelection{kBlack, kWhite, kBlack, Rgb(230, 230, 230), false, Rgb(128, 128, 128), face};
    // A high-contrast grey no different from the text: no grey can stand apart.
    const SchemeColours noGrey{kBlack, kWhite, kWhite, Rgb(0, 102, 204), true, kBlack, face};
    struct Case {
        const char* name;
        SchemeColours scheme;
        ColourPair tint, warning, stale, unknown;  // unknown: on an edit
        ColourPair health;
    } cases[] = {
        {"wine default",
         wine,
         {kBlack, Rgb(203, 229, 254)},
         {kBlack, kWarningBack},
         {Rgb(138, 82, 0), face},
         {kBlack, Rgb(255, 239, 153)},
         {kBlack, Rgb(200, 160, 255)}},
        {"windows default",
         windows,
         {kBlack, Rgb(191, 221, 245)},
         {kBlack, kWarningBack},
         {Rgb(138, 82, 0), face},
         {kBlack, Rgb(255, 239, 153)},
         {kBlack, Rgb(200, 160, 255)}},
        {"high contrast black",
         hcBlack,
         {kWhite, Rgb(7, 59, 64)},
         {kBlack, Rgb(26, 235, 255)},
         {Rgb(63, 242, 63), kBlack},
         {Rgb(26, 235, 255), kBlack},
         {kBlack, Rgb(63, 242, 63)}},
        {"high contrast white",
         hcWhite,
         {kBlack, Rgb(205, 191, 219)},
         {kWhite, Rgb(55, 0, 110)},
         {Rgb(96, 0, 0), kWhite},
         {Rgb(55, 0, 110), kWhite},
         {kWhite, Rgb(96, 0, 0)}},
        {"dark",
         dark,
         {Rgb(230, 230, 230), Rgb(24, 45, 62)},
         {kWhite, Rgb(0, 84, 153)},
         {Rgb(175, 141, 92), Rgb(43, 43, 43)},
         {Rgb(230, 230, 230), Rgb(110, 96, 21)},
         {Rgb(230, 230, 230), Rgb(80, 30, 130)}},
        {"pale selection",
         paleSelection,
         {kBlack, Rgb(230, 230, 230)},
         {kBlack, kWarningBack},
         {Rgb(138, 82, 0), face},
         {kBlack, Rgb(255, 239, 153)},
         {kBlack, Rgb(200, 160, 255)}},
        {"no grey",
         noGrey,
         {kBlack, Rgb(191, 217, 242)},
         {kWhite, Rgb(0, 102, 204)},
         {kWhite, kBlack},
         {Rgb(0, 102, 204), kWhite},
         {kWhite, Rgb(0, 71, 143)}},
    };
    for (const auto& c : cases) {
        const ColourPair tint = TintColours(c.scheme);
        const ColourPair warning = WarningColours(c.scheme);
        EXPECT_EQ(c.tint.text, tint.text) << c.name;
        EXPECT_EQ(c.tint.back, tint.back) << c.name;
        EXPECT_EQ(c.warning.text, warning.text) << c.name;
        EXPECT_EQ(c.warning.back, warning.back) << c.name;
        EXPECT_GE(ContrastRatio(tint.text, tint.back), kMinContrast) << c.name;
        EXPECT_GE(ContrastRatio(warning.text, warning.back), kMinContrast) << c.name;
        const ColourPair stale = StaleColours(c.scheme);
        EXPECT_EQ(c.stale.text, stale.text) << c.name;
        EXPECT_EQ(c.stale.back, stale.back) << c.name;
        EXPECT_GE(ContrastRatio(stale.text, stale.back), kMinContrast) << c.name;
        // Old numbers must not pass for a mismatch, nor for fresh plain text,
        // nor (where the scheme is the operator's to read, not high contrast)
        // for a disabled box's grey.
        EXPECT_FALSE(stale.text == warning.text && stale.back == warning.back) << c.name;
        EXPECT_FALSE(stale.text == c.scheme.windowText && stale.back == c.scheme.face) << c.name;
        const auto grey = [](uint32_t colour) {
            return (colour & 0xFF) == (colour >> 8 & 0xFF) && (colour >> 8 & 0xFF) == (colour >> 16 & 0xFF);
        };
        if (!c.scheme.highContrast) {
            EXPECT_FALSE(grey(stale.text)) << c.name;
        }
        const ColourPair unknownEdit = UnknownColours(c.scheme, c.scheme.window);
        EXPECT_EQ(c.unknown.text, unknownEdit.text) << c.name;
        EXPECT_EQ(c.unknown.back, unknownEdit.back) << c.name;
        // A flagged channel in auto gain: readable, and like no other look.
        const ColourPair health = HealthColours(c.scheme);
        EXPECT_EQ(c.health.text, health.text) << c.name;
        EXPECT_EQ(c.health.back, health.back) << c.name;
        EXPECT_GE(ContrastRatio(health.text, health.back), kMinContrast) << c.name;
        for (const ColourPair& other : {warning, stale, UnknownColours(c.scheme, c.scheme.window), tint})
            EXPECT_FALSE(health.text == other.text && health.back == other.back) << c.name;
        // A cue that looks like the plain control is no cue.
        EXPECT_NE(c.scheme.window, tint.back) << c.name;
        // Not sent since start, on an edit and on a check box: readable, and
        // like none of the other looks nor the plain control.
        for (const uint32_t back : {c.scheme.window, c.scheme.face}) {
            const ColourPair unknown = UnknownColours(c.scheme, back);
            const auto same = [&](const ColourPair& p) { return p.text == unknown.text && p.back == unknown.back; };
            EXPECT_GE(ContrastRatio(unknown.text, unknown.back), kMinContrast) << c.name;
            EXPECT_FALSE(same(warning) || same(stale) || same(tint)) << c.name;
            EXPECT_FALSE(unknown.text == c.scheme.windowText && unknown.back == back) << c.name;
            // Text in a colour of its own on the plain background reads as a link.
            if (!c.scheme.highContrast) {
                EXPECT_EQ(c.scheme.windowText, unknown.text) << c.name;
            }
        }
    }
}

}  // namespace
}  // namespace kelvane
