// Geometry of the dialog-resize layout engine, free of any window: the resize
// map walk, the group walk and the placing of one control.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kelvane {

// The platform's MulDiv: a * b / c with a 64-bit product, rounded to nearest
// with halves away from zero; -1 when c is 0 or the result does not fit.
int32_t MulDivPlatform(int32_t a, int32_t b, int32_t c);

struct RszRect {
    int32_t left, top, right, bottom;
};

constexpr uint32_t RSZ_SIZE_X = 0x0001;
constexpr uint32_t RSZ_SIZE_Y = 0x0002;
constexpr uint32_t RSZ_MOVE_X = 0x0004;
constexpr uint32_t RSZ_MOVE_Y = 0x0008;
constexpr uint32_t RSZ_REPAINT = 0x0010;
constexpr uint32_t RSZ_BEGIN_GROUP = 0x1000;
constexpr uint32_t RSZ_END_GROUP = 0x2000;
constexpr uint32_t RSZ_GRIPPER = 0x4000;
constexpr uint32_t RSZ_LAYOUT_MASK = 0x001F;
constexpr int RSZ_GROUP_COUNT_SHIFT = 16;
constexpr uint32_t RSZ_GROUP_COUNT_MASK = 0x00FF0000;

constexpr int32_t kGripperId = 59393;                                                    // 0xE801
constexpr uint32_t kGripperFlags = RSZ_GRIPPER | RSZ_MOVE_X | RSZ_MOVE_Y | RSZ_REPAINT;  // 0x401C

struct ResizeMapEntry {
    int32_t id;
    uint32_t flags;
};

struct ResizeData {
    int32_t id;
    uint32_t flags;
    RszRect rect;  // at initialisation, page client coordinates
};

inline bool NeedsMove(uint32_t flags) { return (flags & RSZ_LAYOUT_MASK) != 0; }
inline uint32_t GroupCount(uint32_t flags) { return (flags & RSZ_GROUP_COUNT_MASK) >> RSZ_GROUP_COUNT_SHIFT; }

// Where one control goes for client size cx x cy. initW x initH is the client
// size at initialisation, group the union of the group's stored rects, e the
// control's entry, next the stored start of a stretched neighbour (or -1), and
// current the control's rect now; coordinates no rule sets keep current's.
// There is one next for both axes: a control that stretches both ways beside
// its neighbour also places its far vertical edge from it.
RszRect PositionControlRect(int32_t cx, int32_t cy, int32_t initW, int32_t initH, const RszRect& group,
                            const ResizeData& e, bool grouped, int32_t next, const RszRect& current);

// Finds a page's control by id: false when it is missing, else its rect in
// page client coordinates.
using ControlRectFn = std::function<bool(int32_t id, RszRect* rect)>;

enum class MapError {
    None,
    NoMap,
    NestedGroup,
    EndWithoutBegin,
    UnknownMarker,
    BadGroupCount,
    NamesGripper,
    MissingEnd,  // a group still open at the end row
    EmptyGroup,  // every control of a group is missing: no entry carries its count
    NoEndRow     // no {-1, 0} within maxRows
};

// Builds the entry list from a map ending in {-1, 0}, reading at most maxRows
// rows. With hasGripper the gripper's own entry comes first. Missing controls
// are skipped. On any error the list is left empty, so nothing is laid out and
// no group count of 0 can reach the walk.
MapError BuildResizeList(const ResizeMapEntry* map, size_t maxRows, bool hasGripper, int32_t gripperId,
                         const ControlRectFn& findControl, std::vector<ResizeData>& out);

// One step of the walk: place list entry index with the group rectangle,
// whether it is grouped, and the stored start of its stretched neighbour (or -1).
using PositionFn = std::function<void(size_t index, const RszRect& group, bool grouped, int32_t next)>;

// The walk of UpdateLayout over the list, calling position for each entry in
// list order. A step runs before the walk reads any further rectangle, so the
// neighbour rule sees controls that earlier steps have already moved. A group
// count of 0 or past the end of the list (only a corrupted list has one) ends
// the walk.
void WalkLayout(const std::vector<ResizeData>& list, const ControlRectFn& currentRect, const PositionFn& position);

struct Placement {
    size_t index;  // entry in the list
    RszRect rect;
    bool needsRepaint;
    bool needsMove;
};

using PlaceFn = std::function<void(const Placement&)>;

// UpdateLayout over controls reached through currentRect: each placement is
// handed to apply (which moves the control) before the walk goes on, and all
// of them are returned in order. A control currentRect cannot find is left out.
std::vector<Placement> LayoutPlacements(const std::vector<ResizeData>& list, int32_t cx, int32_t cy, int32_t initW,
                                        int32_t initH, const ControlRectFn& currentRect, const PlaceFn& apply);

}  // namespace kelvane
