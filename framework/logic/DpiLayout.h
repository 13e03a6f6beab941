// Pixel sizes that dialog units do not scale: the page list's icons and
// their spacing, and the frame's size when it opens. At 96 DPI they are what
// the window always had.
#pragma once

#include <cstdint>

#include "framework/logic/ResizeGeometry.h"

namespace kelvane {

constexpr int32_t kBaseDpi = 96;

// The page icons are drawn at 32, 48 and 64 pixels: the largest that is not
// bigger than 32 pixels at 96 DPI scaled to dpi (32 below 144 DPI).
int32_t PageIconSize(int32_t dpi);

// The width the page list wraps a label to in icon view: the item spacing,
// here the list's width, less a margin.
int32_t PageLabelWidth(int32_t dpi, int32_t listWidth);

// Vertical spacing of the page list's items: 64 pixels at 96 DPI scaled to
// dpi, or more when the longest label needs it. An item is its icon, a
// label of labelLines lines of lineHeight pixels (a selected label shows
// them all) and the list's small margins above and between them.
int32_t PageListSpacingY(int32_t dpi, int32_t iconSize, int32_t lineHeight, int32_t labelLines);

// The frame's rectangle when it opens: the size that shows the whole form
// (formWidth x formHeight, the frame's outer size around it) where that fits
// the monitor's work area, else as much of it as fits in each direction (the
// form scrolls); moved no more than it takes to lie inside the work area.
RszRect FitFrameToWorkArea(const RszRect& frame, int32_t formWidth, int32_t formHeight, const RszRect& workArea);

// Where a window of width x height goes beside other (the host's window)
// without covering it and inside the work area: right of it, else left,
// else below, else above, lined up with its top (or left) edge as far as
// the work area allows. False when no side has the room.
bool PlaceBeside(const RszRect& other, int32_t width, int32_t height, const RszRect& workArea, RszRect& placed);

}  // namespace kelvane
