#include "framework/logic/DpiLayout.h"

#include <gtest/gtest.h>

#include <ostream>

namespace kelvane {

// In the type's namespace so that GoogleTest finds them.
static bool operator==(const RszRect& a, const RszRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
static void PrintTo(const RszRect& r, std::ostream* os) {
    *os << '{' << r.left << ',' << r.top << ',' << r.right << ',' << r.bottom << '}';
}

namespace {

// The page list at the display's DPI: icons drawn at 32, 48 and 64 pixels;
// items tall enough for the icon and every label line; 96 DPI as always.
TEST(DpiLayout, PageListFollowsTheDpi) {
    const struct {
        int32_t dpi, icon;
    } icons[] = {{72, 32},  {96, 32},  {120, 32}, {142, 32}, {144, 48},
                 {168, 48}, {190, 48}, {192, 64}, {288, 64}, {-5, 32}};
    for (const auto& c : icons) EXPECT_EQ(c.icon, PageIconSize(c.dpi)) << c.dpi;

    const struct {
        int32_t dpi, icon, lineHeight, lines, spacing;
    } spacings[] = {
        {96, 32, 13, 2, 64},  // as it always was
        {96, 32, 13, 3, 77},  // a third label line makes room for itself
        {120, 32, 16, 2, 80},
        {144, 48, 19, 2, 96},
        {192, 64, 25, 2, 128},
        {144, 48, 25, 2, 107},  // a larger font than the DPI alone gives
        {96, 32, 2147483647, 2, 2147483647},
    };
    for (const auto& c : spacings)
        EXPECT_EQ(c.spacing, PageListSpacingY(c.dpi, c.icon, c.lineHeight, c.lines)) << c.dpi << " " << c.lines;

    EXPECT_EQ(119, PageLabelWidth(96, 131));
    EXPECT_EQ(171, PageLabelWidth(144, 189));
    EXPECT_EQ(1, PageLabelWidth(192, 10));
}

TEST(DpiLayout, FrameOpensShowingTheFormWhereTheWorkAreaAllows) {
    const RszRect work{0, 0, 1920, 1040};
    const struct {
        const char* name;
        RszRect frame, work;
        int32_t formWidth, formHeight;
        RszRect want;
    } cases[] = {
        {"shrinks to the form", {10, 20, 1210, 1020}, work, 800, 652, {10, 20, 810, 672}},
        {"grows to the form", {10, 20, 950, 722}, work, 1146, 952, {10, 20, 1156, 972}},
        {"moves back into the work area", {900, 300, 1500, 700}, work, 1146, 952, {774, 88, 1920, 1040}},
        {"larger than the work area", {10, 20, 500, 400}, work, 1500, 1300, {10, 0, 1510, 1040}},
        {"a monitor left of the primary",
         {-1800, 50, -1000, 700},
         {-1920, 0, 0, 1200},
         1146,
         952,
         {-1800, 50, -654, 1002}},
        {"wider than the work area", {300, 10, 900, 500}, {0, 0, 1024, 768}, 1479, 700, {0, 10, 1024, 710}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.want, FitFrameToWorkArea(c.frame, c.formWidth, c.formHeight, c.work)) << c.name;
}

TEST(DpiLayout, FrameOpensBesideTheHostWindowWhereThereIsRoom) {
    const RszRect work{0, 0, 1920, 1040};
    const RszRect none{0, 0, 0, 0};
    const struct {
        const char* name;
        RszRect host, work;
        int32_t width, height;
        bool fits;
        RszRect want;
    } cases[] = {
        {"right of it, tops lined up", {0, 0, 1000, 700}, work, 800, 650, true, {1000, 0, 1800, 650}},
        {"right of it, moved up into the work area",
         {0, 600, 1000, 900},
         work,
         800,
         650,
         true,
         {1000, 390, 1800, 1040}},
        {"left of it", {1000, 100, 1900, 700}, work, 800, 650, true, {200, 100, 1000, 750}},
        {"below it", {100, 0, 1800, 300}, work, 800, 650, true, {100, 300, 900, 950}},
        {"above it, lined up left as far as the work area allows",
         {1500, 500, 1900, 1040},
         work,
         1800,
         450,
         true,
         {120, 50, 1920, 500}},
        {"a maximised host: no room", {0, 0, 1920, 1040}, work, 800, 650, false, none},
        {"a window larger than the work area", {0, 0, 100, 100}, {0, 0, 1024, 768}, 1100, 700, false, none},
        {"a monitor left of the primary",
         {-1920, 0, -1200, 800},
         {-1920, 0, 0, 1200},
         1146,
         952,
         true,
         {-1200, 0, -54, 952}},
        {"a host partly off the work area", {-300, -50, 500, 400}, work, 800, 650, true, {500, 0, 1300, 650}},
        {"an empty size", {0, 0, 100, 100}, work, 0, 650, false, none},
    };
    for (const auto& c : cases) {
        RszRect placed{};
        EXPECT_EQ(c.fits, PlaceBeside(c.host, c.width, c.height, c.work, placed)) << c.name;
        if (c.fits) {
            EXPECT_EQ(c.want, placed) << c.name;
        }
    }
}

}  // namespace
}  // namespace kelvane
