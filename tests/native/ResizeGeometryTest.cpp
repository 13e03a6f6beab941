#include "framework/logic/ResizeGeometry.h"

#include "base/logic/Saturate.h"
#include "framework/logic/DpiLayout.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace kelvane {

// In the type's namespace so that GoogleTest finds them.
static bool operator==(const RszRect& a, const RszRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
static void PrintTo(const RszRect& r, std::ostream* os) {
    *os << '{' << r.left << ',' << r.top << ',' << r.right << ',' << r.bottom << '}';
}

namespace {

// A page's controls by id; the engine sees only the lookup and the mover.
struct FakePage {
    std::map<int32_t, RszRect> controls;
    ControlRectFn Lookup() const {
        return [this](int32_t id, RszRect* r) {
            auto it = controls.find(id);
            if (it == controls.end()) return false;
            *r = it->second;
            return true;
        };
    }
    // Moves a control as SetWindowPos would, when the placement asks for it.
    PlaceFn Mover(const std::vector<ResizeData>& list) {
        return [this, &list](const Placement& p) {
            if (p.needsMove) controls[list[p.index].id] = p.rect;
        };
    }
};

TEST(ResizeGeometry, MulDivRoundsLikeThePlatform) {
    struct Case {
        int32_t a, b, c, want;
    } cases[] = {
        {5, 1, 2, 3},
        {-5, 1, 2, -3},
        {5, 1, -2, -3},
        {-5, 1, -2, 3},
        {5, -1, 2, -3},
        {-5, -1, -2, -3},
        {1, 1, 2, 1},
        {-1, 1, 2, -1},
        {1, -1, -2, 1},
        {7, 1, 3, 2},
        {8, 1, 3, 3},
        {-7, 1, 3, -2},
        {-8, 1, 3, -3},
        {1, 1, 3, 0},
        {-1, 1, 3, 0},
        {300, 450, 400, 338},  // 337.5 rounds up
        {0, 5, 7, 0},
        {3, 3, -1, -9},
        {1, 1, 0, -1},
        {0, 0, 0, -1},                                 // divisor 0
        {kInt32Max, kInt32Max, kInt32Max, kInt32Max},  // the product needs 64 bits
        {kInt32Min, kInt32Min, kInt32Min, -1},         // -2^31 is out of range, as on the platform
        {kInt32Min, 1, 2, -1073741824},
        {kInt32Min, -1, 1, -1},
        {kInt32Min, 1, 1, -1},
        {kInt32Max, 2, 1, -1},
        {1073741824, 2, 1, -1},
        {1073741823, 2, 1, 2147483646},
        {-1, 1, kInt32Min, 0},
        {kInt32Min, kInt32Min, kInt32Max, -1},
        // Negating -2^31 gives artefacts on the platform; ours stay exact.
        {1, kInt32Min, kInt32Min, 1},
        {kInt32Min, 1, -2, 1073741824},
        {kInt32Max, kInt32Max, kInt32Min, -2147483646},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MulDivPlatform(c.a, c.b, c.c), c.want) << c.a << " * " << c.b << " / " << c.c;
    }
}

TEST(ResizeGeometry, NeedsMoveOnLayoutBitsOnly) {
    struct Case {
        uint32_t flags;
        bool move;
    } cases[] = {
        {0, false},           {RSZ_SIZE_X, true},    {RSZ_MOVE_Y, true},
        {RSZ_REPAINT, true},  {0x20, false},         {RSZ_BEGIN_GROUP | (3u << 16), false},
        {RSZ_GRIPPER, false}, {kGripperFlags, true},
    };
    for (const auto& c : cases) EXPECT_EQ(NeedsMove(c.flags), c.move) << std::hex << c.flags;
}

TEST(ResizeGeometry, PositionControl) {
    const RszRect noGroup{0, 0, 0, 0};
    struct Case {
        const char* name;
        int32_t cx, cy;
        RszRect group;
        uint32_t flags;
        RszRect stored;
        bool grouped;
        int32_t next;
        RszRect current, want;
    } cases[] = {
        {"moves with both edges, size kept",
         450,
         330,
         noGroup,
         RSZ_MOVE_X | RSZ_MOVE_Y,
         {250, 150, 300, 200},
         false,
         -1,
         {250, 150, 300, 200},
         {300, 180, 350, 230}},
        {"stretch alone keeps its left edge",
         450,
         300,
         noGroup,
         RSZ_SIZE_X,
         {10, 20, 110, 40},
         false,
         -1,
         {12, 21, 110, 40},
         {12, 21, 160, 40}},
        {"stretch both ways",
         380,
         350,
         noGroup,
         RSZ_SIZE_X | RSZ_SIZE_Y,
         {10, 20, 110, 40},
         false,
         -1,
         {10, 20, 110, 40},
         {10, 20, 90, 90}},
        {"shrinking moves back",
         380,
         290,
         noGroup,
         RSZ_MOVE_X | RSZ_MOVE_Y,
         {250, 150, 300, 200},
         false,
         -1,
         {250, 150, 300, 200},
         {230, 140, 280, 190}},
        {"no layout bits: untouched",
         450,
         330,
         noGroup,
         RSZ_REPAINT,
         {1, 2, 3, 4},
         false,
         -1,
         {5, 6, 7, 8},
         {5, 6, 7, 8}},
        {"grouped move keeps its fraction and width",
         600,
         300,
         {0, 0, 200, 100},
         RSZ_MOVE_X,
         {50, 10, 100, 30},
         true,
         -1,
         {50, 10, 100, 30},
         {100, 10, 150, 30}},
        {"grouped stretch scales both edges",
         600,
         400,
         {0, 0, 200, 100},
         RSZ_SIZE_X | RSZ_SIZE_Y,
         {50, 10, 100, 30},
         true,
         -1,
         {50, 10, 100, 30},
         {100, 20, 200, 60}},
        {"grouped stretch against a neighbour keeps the gap",
         600,
         300,
         {0, 0, 200, 100},
         RSZ_SIZE_X,
         {0, 0, 90, 20},
         true,
         100,
         {0, 0, 90, 20},
         {0, 0, 190, 20}},
        {"group not at the origin",
         500,
         300,
         {100, 0, 200, 50},
         RSZ_MOVE_X,
         {150, 0, 160, 10},
         true,
         -1,
         {150, 0, 160, 10},
         {200, 0, 210, 10}},
        {"scaling rounds to nearest",
         401,
         300,
         {0, 0, 3, 10},
         RSZ_SIZE_X,
         {1, 0, 2, 10},
         true,
         -1,
         {1, 0, 2, 10},
         {1, 0, 3, 10}},
        {"zero-width group lands before its start",
         450,
         300,
         {100, 0, 100, 50},
         RSZ_SIZE_X,
         {100, 0, 100, 50},
         true,
         -1,
         {100, 0, 100, 50},
         {99, 0, 99, 50}},
        {"zero-height group lands above its top",
         400,
         350,
         {0, 70, 50, 70},
         RSZ_MOVE_Y,
         {0, 70, 50, 70},
         true,
         -1,
         {0, 70, 50, 70},
         {0, 69, 50, 69}},
        {"huge sizes saturate",
         kInt32Max,
         kInt32Min,
         noGroup,
         RSZ_MOVE_X | RSZ_MOVE_Y,
         {kInt32Min, kInt32Min, kInt32Max, kInt32Max},
         false,
         -1,
         {0, 0, 0, 0},
         {0, kInt32Min, kInt32Max, -1}},
    };
    for (const auto& c : cases) {
        const ResizeData e{1, c.flags, c.stored};
        EXPECT_EQ(PositionControlRect(c.cx, c.cy, 400, 300, c.group, e, c.grouped, c.next, c.current), c.want)
            << c.name;
    }
}

TEST(ResizeGeometry, BuildListMarksGroupsAndSkipsMissingControls) {
    FakePage page;
    page.controls = {
        {1, {300, 10, 350, 30}}, {2, {0, 50, 100, 70}}, {3, {110, 50, 210, 70}}, {kGripperId, {380, 280, 400, 300}}};
    const ResizeMapEntry map[] = {
        {1, RSZ_MOVE_X},  {-1, RSZ_BEGIN_GROUP},
        {99, RSZ_SIZE_X}, {2, RSZ_SIZE_X},
        {3, RSZ_SIZE_X},  {-1, RSZ_END_GROUP},
        {98, RSZ_MOVE_Y}, {1, RSZ_SIZE_Y | RSZ_BEGIN_GROUP | (7u << 16)},  // stray group bits are not the map's to set
        {-1, 0},
    };
    std::vector<ResizeData> list;
    ASSERT_EQ(BuildResizeList(map, 9, true, kGripperId, page.Lookup(), list), MapError::None);
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0].id, kGripperId);
    EXPECT_EQ(list[0].flags, 0x401Cu);
    EXPECT_EQ(list[0].rect, (RszRect{380, 280, 400, 300}));
    EXPECT_EQ(list[1].flags, RSZ_MOVE_X);
    EXPECT_EQ(list[2].id, 2);  // the begin mark goes to the first control found
    EXPECT_EQ(list[2].flags, RSZ_SIZE_X | RSZ_BEGIN_GROUP | (2u << 16));
    EXPECT_EQ(list[3].flags, RSZ_SIZE_X);
    EXPECT_EQ(list[3].rect, (RszRect{110, 50, 210, 70}));
    EXPECT_EQ(list[4].flags, RSZ_SIZE_Y);

    // Without a gripper its id is an ordinary (here missing) control.
    const ResizeMapEntry plain[] = {{kGripperId, RSZ_MOVE_X}, {1, 0}, {-1, 0}};
    page.controls.erase(kGripperId);
    ASSERT_EQ(BuildResizeList(plain, 3, false, kGripperId, page.Lookup(), list), MapError::None);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, 1);
}

TEST(ResizeGeometry, BuildListRejectsMalformedMaps) {
    FakePage page;
    for (int32_t id = 1; id <= 300; ++id) page.controls[id] = {0, 0, 10, 10};
    const ResizeMapEntry B{-1, RSZ_BEGIN_GROUP}, E{-1, RSZ_END_GROUP}, END{-1, 0};
    struct Case {
        const char* name;
        std::vector<ResizeMapEntry> map;
        MapError want;
    } cases[] = {
        {"nested group", {B, {1, 1}, B, {2, 1}, E, E, END}, MapError::NestedGroup},
        {"end without begin", {{1, 1}, E, END}, MapError::EndWithoutBegin},
        {"unknown marker", {{1, 1}, {-1, RSZ_GRIPPER}, END}, MapError::UnknownMarker},
        {"begin and end in one row", {{-1, RSZ_BEGIN_GROUP | RSZ_END_GROUP}, END}, MapError::UnknownMarker},
        {"names the gripper", {{1, 1}, {kGripperId, RSZ_MOVE_X}, END}, MapError::NamesGripper},
        {"group left open", {B, {1, 1}, END}, MapError::MissingEnd},
        {"no end row within the map", {{1, 1}, {2, 1}}, MapError::NoEndRow},
        {"group of missing controls", {B, {999, 1}, E, END}, MapError::EmptyGroup},
        {"group with no rows", {{1, 1}, B, E, END}, MapError::EmptyGroup},
    };
    for (auto& c : cases) {
        std::vector<ResizeData> list(3, ResizeData{7, 7, {}});  // stale content must go
        page.controls[kGripperId] = {380, 280, 400, 300};
        EXPECT_EQ(BuildResizeList(c.map.data(), c.map.size(), true, kGripperId, page.Lookup(), list), c.want) << c.name;
        EXPECT_TRUE(list.empty()) << c.name;
    }

    // Group counts: 255 fit in bits 16..23, 256 do not.
    for (int32_t n : {255, 256}) {
        std::vector<ResizeMapEntry> map{B};
        for (int32_t id = 1; id <= n; ++id) map.push_back({id, RSZ_SIZE_X});
        map.push_back(E);
        map.push_back(END);
        std::vector<ResizeData> list;
        const MapError got = BuildResizeList(map.data(), map.size(), false, kGripperId, page.Lookup(), list);
        if (n == 255) {
            ASSERT_EQ(got, MapError::None);
            EXPECT_EQ(GroupCount(list[0].flags), 255u);
        } else {
            EXPECT_EQ(got, MapError::BadGroupCount);
            EXPECT_TRUE(list.empty());
        }
    }

    std::vector<ResizeData> list(1);
    EXPECT_EQ(BuildResizeList(nullptr, 10, false, kGripperId, page.Lookup(), list), MapError::NoMap);
    EXPECT_TRUE(list.empty());
}

TEST(ResizeGeometry, GroupWalk) {
    struct Ctl {
        int32_t id;
        uint32_t flags;
        RszRect stored, current;
    };
    struct Want {
        size_t index;
        RszRect rect;
    };
    struct Case {
        const char* name;
        std::vector<Ctl> ctls;  // a group of all of them
        int32_t cx, cy;
        std::vector<Want> want;
    } cases[] = {
        {"side by side: gap kept, widths scale",
         {{1, RSZ_SIZE_X, {0, 0, 100, 20}, {0, 0, 100, 20}}, {2, RSZ_SIZE_X, {110, 0, 210, 20}, {110, 0, 210, 20}}},
         610,
         300,
         {{0, {0, 0, 210, 20}}, {1, {220, 0, 420, 20}}}},
        {"overlapping now: both scale",
         {{1, RSZ_SIZE_X, {0, 0, 100, 20}, {0, 0, 200, 20}}, {2, RSZ_SIZE_X, {110, 0, 210, 20}, {150, 0, 250, 20}}},
         610,
         300,
         {{0, {0, 0, 200, 20}}, {1, {220, 0, 420, 20}}}},
        {"one above the other",
         {{1, RSZ_SIZE_Y, {0, 0, 50, 100}, {0, 0, 50, 100}}, {2, RSZ_SIZE_Y, {0, 110, 50, 210}, {0, 110, 50, 210}}},
         400,
         510,
         {{0, {0, 0, 50, 210}}, {1, {0, 220, 50, 420}}}},
        {"different axes: no neighbour rule",
         {{1, RSZ_SIZE_X, {0, 0, 100, 20}, {0, 0, 100, 20}}, {2, RSZ_SIZE_Y, {110, 0, 210, 20}, {110, 0, 210, 20}}},
         610,
         340,
         {{0, {0, 0, 200, 20}}, {1, {110, 0, 210, 60}}}},
        // One neighbour start serves both axes: side by side, the left one's
        // bottom is placed from the right one's stored left (110), as in the
        // design's single "start of next".
        {"stretched both ways side by side",
         {{1, RSZ_SIZE_X | RSZ_SIZE_Y, {0, 0, 100, 50}, {0, 0, 100, 50}},
          {2, RSZ_SIZE_X | RSZ_SIZE_Y, {110, 0, 210, 50}, {110, 0, 210, 50}}},
         610,
         350,
         {{0, {0, 0, 210, 160}}, {1, {220, 0, 420, 100}}}},
        {"mover beside a stretcher",
         {{1, RSZ_SIZE_X, {0, 0, 100, 20}, {0, 0, 100, 20}}, {2, RSZ_MOVE_X, {110, 0, 210, 20}, {110, 0, 210, 20}}},
         610,
         300,
         {{0, {0, 0, 200, 20}}, {1, {220, 0, 320, 20}}}},
    };
    for (const auto& c : cases) {
        FakePage page;
        std::vector<ResizeMapEntry> map{{-1, RSZ_BEGIN_GROUP}};
        for (const auto& k : c.ctls) {
            page.controls[k.id] = k.stored;
            map.push_back({k.id, k.flags});
        }
        map.push_back({-1, RSZ_END_GROUP});
        map.push_back({-1, 0});
        std::vector<ResizeData> list;
        ASSERT_EQ(BuildResizeList(map.data(), map.size(), false, kGripperId, page.Lookup(), list), MapError::None);
        for (const auto& k : c.ctls) page.controls[k.id] = k.current;

        const std::vector<Placement> got = LayoutPlacements(list, c.cx, c.cy, 400, 300, page.Lookup(),
                                                            page.Mover(list));
        ASSERT_EQ(got.size(), c.want.size()) << c.name;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].index, c.want[i].index) << c.name;
            EXPECT_EQ(got[i].rect, c.want[i].rect) << c.name << " entry " << i;
        }
    }
}

TEST(ResizeGeometry, WalkMixesGroupsAndSingles) {
    FakePage page;
    page.controls = {{kGripperId, {380, 280, 400, 300}},
                     {1, {0, 0, 100, 20}},
                     {2, {110, 0, 210, 20}},
                     {3, {5, 5, 15, 15}},
                     {4, {300, 250, 390, 270}}};
    const ResizeMapEntry map[] = {
        {-1, RSZ_BEGIN_GROUP},        {1, RSZ_SIZE_X}, {2, RSZ_SIZE_X}, {-1, RSZ_END_GROUP}, {3, 0},
        {4, RSZ_MOVE_X | RSZ_MOVE_Y}, {-1, 0}};
    std::vector<ResizeData> list;
    ASSERT_EQ(BuildResizeList(map, 7, true, kGripperId, page.Lookup(), list), MapError::None);
    page.controls.erase(4);  // gone since initialisation: nothing to place

    const std::vector<Placement> got = LayoutPlacements(list, 500, 320, 400, 300, page.Lookup(), page.Mover(list));
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].index, 0u);  // gripper keeps the corner and is repainted
    EXPECT_EQ(got[0].rect, (RszRect{480, 300, 500, 320}));
    EXPECT_TRUE(got[0].needsRepaint);
    EXPECT_TRUE(got[0].needsMove);
    EXPECT_EQ(got[1].index, 1u);
    EXPECT_EQ(got[2].index, 2u);
    EXPECT_EQ(got[3].index, 3u);  // no layout bits: placed where it is, not moved
    EXPECT_EQ(got[3].rect, (RszRect{5, 5, 15, 15}));
    EXPECT_FALSE(got[3].needsMove);
    EXPECT_FALSE(got[3].needsRepaint);
}

// Each control is placed from where it is at its turn, and the neighbour rule
// reads the rectangles as they are then: a control named twice in the map
// starts its second placement where the first one left it.
TEST(ResizeGeometry, WalkReadsRectanglesAsEarlierStepsLeftThem) {
    struct Case {
        const char* name;
        std::map<int32_t, RszRect> controls;
        std::vector<ResizeMapEntry> map;
        int32_t cx, cy;
        std::vector<RszRect> want;  // one per placement, in walk order
    } cases[] = {
        {"stretched, then moved down: both stick",
         {{1, {10, 20, 110, 40}}},
         {{1, RSZ_SIZE_X}, {1, RSZ_MOVE_Y}, {-1, 0}},
         450,
         330,
         {{10, 20, 160, 40}, {10, 50, 160, 70}}},
        // A starts overlapping B and is moved clear of it first; B then sees
        // the gap and keeps it (190), where the stored rectangles would scale it (200).
        {"neighbour rule sees a control moved earlier in the group",
         {{1, {90, 0, 190, 20}}, {2, {0, 0, 100, 20}}},
         {{-1, RSZ_BEGIN_GROUP}, {1, RSZ_SIZE_X}, {2, RSZ_SIZE_X}, {1, RSZ_SIZE_X}, {-1, RSZ_END_GROUP}, {-1, 0}},
         590,
         300,
         {{180, 0, 380, 20}, {0, 0, 190, 20}, {180, 0, 380, 20}}},
    };
    for (auto& c : cases) {
        FakePage page;
        page.controls = c.controls;
        std::vector<ResizeData> list;
        ASSERT_EQ(BuildResizeList(c.map.data(), c.map.size(), false, kGripperId, page.Lookup(), list), MapError::None)
            << c.name;
        const std::vector<Placement> got = LayoutPlacements(list, c.cx, c.cy, 400, 300, page.Lookup(),
                                                            page.Mover(list));
        ASSERT_EQ(got.size(), c.want.size()) << c.name;
        for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].rect, c.want[i]) << c.name << " step " << i;
    }
}

TEST(ResizeGeometry, CorruptedListEndsTheWalk) {
    FakePage page;
    page.controls = {{1, {0, 0, 10, 10}}, {2, {20, 0, 30, 10}}};
    const RszRect r{0, 0, 10, 10};
    struct Case {
        const char* name;
        std::vector<ResizeData> list;
        size_t placed;
    } cases[] = {
        {"count 0", {{1, RSZ_MOVE_X, r}, {2, RSZ_MOVE_X | RSZ_BEGIN_GROUP, r}, {1, RSZ_MOVE_X, r}}, 1},
        {"count past the end", {{1, RSZ_MOVE_X | RSZ_BEGIN_GROUP | (3u << 16), r}, {2, RSZ_MOVE_X, r}}, 0},
        {"count 255 on a short list", {{1, RSZ_MOVE_X, r}, {2, RSZ_SIZE_X | RSZ_BEGIN_GROUP | (255u << 16), r}}, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LayoutPlacements(c.list, 500, 400, 400, 300, page.Lookup(), PlaceFn()).size(), c.placed) << c.name;
    }
    EXPECT_TRUE(LayoutPlacements(cases[0].list, 500, 400, 400, 300, ControlRectFn(), PlaceFn()).empty());
}

}  // namespace
}  // namespace kelvane
