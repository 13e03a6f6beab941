#include "framework/logic/ResizeGeometry.h"

#include "base/logic/Saturate.h"

namespace kelvane {

int32_t MulDivPlatform(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    // Round the magnitude, then give it the sign of the three operands, so
    // halves go away from zero whatever the signs (-5 * 1 / 2 = -3).
    const bool negative = ((a < 0) != (b < 0)) != (c < 0);
    const auto mag = [](int32_t v) { return static_cast<uint64_t>(v < 0 ? -int64_t{v} : int64_t{v}); };
    const uint64_t den = mag(c);
    const uint64_t q = (mag(a) * mag(b) + den / 2) / den;  // at most 2^62 + 2^30: no wrap
    if (q > static_cast<uint64_t>(kInt32Max)) return -1;   // -2^31 counts as overflow too
    const int32_t r = static_cast<int32_t>(q);
    return negative ? -r : r;
}

namespace {

int32_t SubSat(int32_t a, int32_t b) { return SaturateInt64(int64_t{a} - b); }

// v keeps its fraction of the group's extent. A zero extent makes MulDiv
// give -1, so v lands one unit before the group's start.
int32_t ScaleInGroup(int32_t v, int32_t origin, int32_t extent, int32_t delta) {
    return AddSat(origin, MulDivPlatform(SubSat(v, origin), AddSat(extent, delta), extent));
}

// One axis of a control: its edges lo..hi now, eLo..eHi stored, gLo..gHi the group.
void PlaceAxis(bool grouped, bool size, bool move, int32_t delta, int32_t gLo, int32_t gHi, int32_t eLo, int32_t eHi,
               int32_t next, int32_t& lo, int32_t& hi) {
    if (!size && !move) return;
    const int32_t length = SubSat(eHi, eLo);
    if (grouped) {
        const int32_t extent = SubSat(gHi, gLo);
        lo = ScaleInGroup(eLo, gLo, extent, delta);
        if (!size) {
            hi = AddSat(lo, length);
        } else if (next != -1) {
            // Scale the neighbour's start and keep the gap to it unscaled.
            hi = SubSat(ScaleInGroup(next, gLo, extent, delta), SubSat(next, eHi));
        } else {
            hi = ScaleInGroup(eHi, gLo, extent, delta);
        }
    } else {
        hi = AddSat(eHi, delta);
        if (move) lo = SubSat(hi, length);  // stretching alone keeps the near edge
    }
}

// Start of the next control when two neighbours both stretch along the same
// axis and do not overlap there; -1 otherwise.
int32_t NextStart(const ResizeData& a, const ResizeData& b, const ControlRectFn& currentRect) {
    const uint32_t stretch = RSZ_SIZE_X | RSZ_SIZE_Y;
    if (!(a.flags & stretch) || !(b.flags & stretch)) return -1;
    RszRect ra{}, rb{};
    if (!currentRect(a.id, &ra) || !currentRect(b.id, &rb)) return -1;
    if ((a.flags & RSZ_SIZE_X) && (b.flags & RSZ_SIZE_X)) return rb.left >= ra.right ? b.rect.left : -1;
    if ((a.flags & RSZ_SIZE_Y) && (b.flags & RSZ_SIZE_Y)) return rb.top >= ra.bottom ? b.rect.top : -1;
    return -1;
}

MapError Fail(MapError e, std::vector<ResizeData>& out) {
    out.clear();
    return e;
}

}  // namespace

RszRect PositionControlRect(int32_t cx, int32_t cy, int32_t initW, int32_t initH, const RszRect& group,
                            const ResizeData& e, bool grouped, int32_t next, const RszRect& current) {
    RszRect r = current;
    const uint32_t f = e.flags;
    PlaceAxis(grouped, (f & RSZ_SIZE_X) != 0, (f & RSZ_MOVE_X) != 0, SubSat(cx, initW), group.left, group.right,
              e.rect.left, e.rect.right, next, r.left, r.right);
    PlaceAxis(grouped, (f & RSZ_SIZE_Y) != 0, (f & RSZ_MOVE_Y) != 0, SubSat(cy, initH), group.top, group.bottom,
              e.rect.top, e.rect.bottom, next, r.top, r.bottom);
    return r;
}

MapError BuildResizeList(const ResizeMapEntry* map, size_t maxRows, bool hasGripper, int32_t gripperId,
                         const ControlRectFn& findControl, std::vector<ResizeData>& out) {
    out.clear();
    RszRect rect{};
    if (hasGripper && findControl && findControl(gripperId, &rect)) {
        out.push_back({gripperId, kGripperFlags, rect});
    }
    if (!map) return Fail(MapError::NoMap, out);

    const size_t noGroup = static_cast<size_t>(-1);
    size_t g = noGroup;  // index of the open group's first entry
    for (size_t row = 0; row < maxRows; ++row) {
        const ResizeMapEntry& m = map[row];
        if (m.id != -1) {
            if (hasGripper && m.id == gripperId) return Fail(MapError::NamesGripper, out);
            if (!findControl || !findControl(m.id, &rect)) continue;  // missing: skipped silently
            // Group marks and counts in the list are the walk's own.
            uint32_t flags = m.flags & ~(RSZ_BEGIN_GROUP | RSZ_END_GROUP | RSZ_GROUP_COUNT_MASK);
            if (g != noGroup && out.size() == g) flags |= RSZ_BEGIN_GROUP;
            out.push_back({m.id, flags, rect});
        } else if (m.flags == 0) {
            return g == noGroup ? MapError::None : Fail(MapError::MissingEnd, out);
        } else if (m.flags == RSZ_BEGIN_GROUP) {
            if (g != noGroup) return Fail(MapError::NestedGroup, out);
            g = out.size();
        } else if (m.flags == RSZ_END_GROUP) {
            if (g == noGroup) return Fail(MapError::EndWithoutBegin, out);
            const size_t count = out.size() - g;
            // A group whose controls are all missing has no entry to carry its count.
            if (count == 0) return Fail(MapError::EmptyGroup, out);
            if (count > 255) return Fail(MapError::BadGroupCount, out);
            out[g].flags |= static_cast<uint32_t>(count) << RSZ_GROUP_COUNT_SHIFT;
            g = noGroup;
        } else {
            return Fail(MapError::UnknownMarker, out);
        }
    }
    return Fail(MapError::NoEndRow, out);
}

void WalkLayout(const std::vector<ResizeData>& list, const ControlRectFn& currentRect, const PositionFn& position) {
    if (!currentRect || !position) return;
    size_t i = 0;
    while (i < list.size()) {
        if (!(list[i].flags & RSZ_BEGIN_GROUP)) {
            position(i, RszRect{0, 0, 0, 0}, false, -1);
            ++i;
            continue;
        }
        const size_t n = GroupCount(list[i].flags);
        // A count of 0 would never advance and one past the end would read
        // beyond the list: a corrupted list is not laid out any further.
        if (n == 0 || n > list.size() - i) return;
        RszRect group = list[i].rect;
        for (size_t k = i + 1; k < i + n; ++k) {
            const RszRect& r = list[k].rect;
            if (r.left < group.left) group.left = r.left;
            if (r.top < group.top) group.top = r.top;
            if (r.right > group.right) group.right = r.right;
            if (r.bottom > group.bottom) group.bottom = r.bottom;
        }
        for (size_t j = 0; j < n; ++j) {
            // Read now: the control before may have just moved.
            const int32_t next = j + 1 < n ? NextStart(list[i + j], list[i + j + 1], currentRect) : -1;
            position(i + j, group, true, next);
        }
        i += n;
    }
}

std::vector<Placement> LayoutPlacements(const std::vector<ResizeData>& list, int32_t cx, int32_t cy, int32_t initW,
                                        int32_t initH, const ControlRectFn& currentRect, const PlaceFn& apply) {
    std::vector<Placement> out;
    WalkLayout(list, currentRect, [&](size_t idx, const RszRect& group, bool grouped, int32_t next) {
        const ResizeData& e = list[idx];
        RszRect cur{};
        if (!currentRect(e.id, &cur)) return;
        out.push_back({idx, PositionControlRect(cx, cy, initW, initH, group, e, grouped, next, cur),
                       (e.flags & RSZ_REPAINT) != 0, NeedsMove(e.flags)});
        if (apply) apply(out.back());
    });
    return out;
}

}  // namespace kelvane
