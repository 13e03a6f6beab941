#include "framework/logic/DpiLayout.h"

#include <algorithm>

#include "base/logic/Saturate.h"

namespace kelvane {

namespace {
constexpr int32_t kBaseIconSize = 32;
constexpr int32_t kBaseSpacingY = 64;
// Above the icon and between icon and label; the list's own, at 96 DPI.
constexpr int32_t kBaseItemMargins = 6;
// Beside a label within its item, at 96 DPI.
constexpr int32_t kBaseLabelMargin = 12;

int32_t Scale(int32_t pixels, int32_t dpi) { return std::max(pixels, MulDivPlatform(pixels, dpi, kBaseDpi)); }

// Moves [start, start + length) into [low, high) as little as it takes;
// a span longer than the range starts at low.
int64_t Place(int64_t start, int64_t length, int64_t low, int64_t high) {
    if (start + length > high) start = high - length;
    return std::max(start, low);
}
}  // namespace

int32_t PageIconSize(int32_t dpi) {
    const int32_t want = Scale(kBaseIconSize, dpi);
    for (int32_t size : {64, 48})
        if (size <= want) return size;
    return kBaseIconSize;
}

int32_t PageLabelWidth(int32_t dpi, int32_t listWidth) {
    return std::max<int32_t>(1, SaturateInt64(int64_t{listWidth} - Scale(kBaseLabelMargin, dpi)));
}

int32_t PageListSpacingY(int32_t dpi, int32_t iconSize, int32_t lineHeight, int32_t labelLines) {
    const int64_t item = int64_t{iconSize} + int64_t{lineHeight} * labelLines + Scale(kBaseItemMargins, dpi);
    return std::max(Scale(kBaseSpacingY, dpi), SaturateInt64(item));
}

RszRect FitFrameToWorkArea(const RszRect& frame, int32_t formWidth, int32_t formHeight, const RszRect& workArea) {
    const int64_t width = std::min<int64_t>(formWidth, int64_t{workArea.right} - workArea.left);
    const int64_t height = std::min<int64_t>(formHeight, int64_t{workArea.bottom} - workArea.top);
    const int64_t left = Place(frame.left, width, workArea.left, workArea.right);
    const int64_t top = Place(frame.top, height, workArea.top, workArea.bottom);
    return RszRect{SaturateInt64(left), SaturateInt64(top), SaturateInt64(left + width), SaturateInt64(top + height)};
}

bool PlaceBeside(const RszRect& other, int32_t width, int32_t height, const RszRect& workArea, RszRect& placed) {
    const int64_t w = width, h = height;
    if (w <= 0 || h <= 0 || w > int64_t{workArea.right} - workArea.left || h > int64_t{workArea.bottom} - workArea.top)
        return false;
    const int64_t top = Place(other.top, h, workArea.top, workArea.bottom);
    const int64_t left = Place(other.left, w, workArea.left, workArea.right);
    struct Side {
        int64_t left, top;
    };
    const Side sides[4] = {
        {other.right, top}, {int64_t{other.left} - w, top}, {left, other.bottom}, {left, int64_t{other.top} - h}};
    for (const Side& side : sides) {
        if (side.left < workArea.left || side.left + w > workArea.right || side.top < workArea.top ||
            side.top + h > workArea.bottom)
            continue;
        placed = RszRect{SaturateInt64(side.left), SaturateInt64(side.top), SaturateInt64(side.left + w),
                         SaturateInt64(side.top + h)};
        return true;
    }
    return false;
}

}  // namespace kelvane
