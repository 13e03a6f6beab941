#include "shell/TrendChart.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/logic/NumberText.h"

using namespace kelvane;

namespace {

// Cosmetic pens, one pixel wide: GDI draws them many times faster than wide
// geometric ones (a full 30-minute chart is some ten thousand points). A
// wider line is the same line drawn again a pixel lower (see Stroke).
HPEN PatternPen(COLORREF colour, TrendPattern pattern) {
    static const int kStyles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT};
    return CreatePen(kStyles[static_cast<int>(pattern)], 1, colour);
}

SIZE TextSize(HDC dc, const std::string& text) {
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

// Where the chart being drawn keeps the bounds of its texts (null: nowhere),
// and the alignment its texts are drawn with.
RECT* g_textBounds = nullptr;
UINT g_textAlign = TA_LEFT | TA_TOP;

void Align(HDC dc, UINT align) {
    SetTextAlign(dc, align);
    g_textAlign = align;
}

void Text(HDC dc, int x, int y, const std::string& text) {
    TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
    if (!g_textBounds) return;
    const SIZE size = TextSize(dc, text);
    const UINT across = g_textAlign & (TA_LEFT | TA_RIGHT | TA_CENTER);
    const LONG left = across == TA_RIGHT ? x - size.cx : across == TA_CENTER ? x - size.cx / 2 : x;
    RECT& b = *g_textBounds;
    const bool first = b.right <= b.left;
    b.left = first ? left : std::min(b.left, left);
    b.top = first ? y : std::min<LONG>(b.top, y);
    b.right = first ? left + size.cx : std::max(b.right, left + size.cx);
    b.bottom = first ? y + size.cy : std::max<LONG>(b.bottom, y + size.cy);
}

// Draws with the selected pen passes times, each a pixel lower: lines of
// any width from one-pixel pens.
template <class Draw>
void Stroke(HDC dc, int passes, Draw draw) {
    POINT origin{};
    GetViewportOrgEx(dc, &origin);
    for (int k = 0; k < passes; ++k) {
        SetViewportOrgEx(dc, origin.x, origin.y + k, nullptr);
        draw();
    }
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
}

void Line(HDC dc, int x0, int y0, int x1, int y1, int passes = 1) {
    Stroke(dc, passes, [&] {
        MoveToEx(dc, x0, y0, nullptr);
        LineTo(dc, x1, y1);
    });
}

void Polyline(HDC dc, const std::vector<TrendPoint>& run, int dot, int passes) {
    static_assert(sizeof(TrendPoint) == sizeof(POINT), "points are handed to GDI as they are");
    if (run.size() == 1) {  // a lone sample: a short dash, so it shows
        Line(dc, run[0].x - dot, run[0].y, run[0].x + dot + 1, run[0].y, passes);
        return;
    }
    Stroke(dc, passes,
           [&] { ::Polyline(dc, reinterpret_cast<const POINT*>(run.data()), static_cast<int>(run.size())); });
}

// The channels' lines straight into the 32-bit DIB the chart is painted
// in, where there is one: under Wine GDI spends about a microsecond a
// segment and more a pixel, and a hunting channel over 30 minutes is a
// thousand segments. Drawn as GDI draws a cosmetic pen (end points left
// out, the pattern running on along a line), passes rows deep.
class Canvas {
public:
    // pixels: the bits of the DIB selected into dc, whose origin and mapping
    // the chart leaves as they are (device pixels).
    Canvas(const RECT& clip, const TrendPixels* pixels) {
        if (!pixels || !pixels->bits) return;
        m_bits = static_cast<uint8_t*>(pixels->bits);
        m_stride = pixels->width * 4;
        m_clip.left = std::max<LONG>(0, clip.left);
        m_clip.top = std::max<LONG>(0, clip.top);
        m_clip.right = std::min<LONG>(pixels->width, clip.right);
        m_clip.bottom = std::min<LONG>(pixels->height, clip.bottom);
        GdiFlush();  // what GDI drew before is in the bits
    }
    bool Ok() const { return m_bits != nullptr; }

    void Polyline(const std::vector<TrendPoint>& run, TrendInk ink, int passes) {
        // Blue in the lowest byte, as a 32-bit DIB holds it.
        m_colour = (ink.colour & 0xFF) << 16 | (ink.colour & 0xFF00) | (ink.colour >> 16 & 0xFF);
        m_passes = passes;
        static const uint8_t kDash[] = {18, 6}, kDot[] = {3, 3}, kDashDot[] = {9, 6, 3, 6};
        switch (ink.pattern) {
        case TrendPattern::Solid: m_pattern = nullptr, m_patternLength = 0; break;
        case TrendPattern::Dash: m_pattern = kDash, m_patternLength = 2; break;
        case TrendPattern::Dot: m_pattern = kDot, m_patternLength = 2; break;
        case TrendPattern::DashDot: m_pattern = kDashDot, m_patternLength = 4; break;
        }
        m_patternAt = 0;
        m_patternLeft = m_pattern ? m_pattern[0] : 0;
        for (size_t i = 1; i < run.size(); ++i) Segment(run[i - 1].x, run[i - 1].y, run[i].x, run[i].y);
    }

private:
    void Plot(int32_t x, int32_t y) {
        if (m_pattern) {
            const bool on = m_patternAt % 2 == 0;
            if (--m_patternLeft <= 0) {
                m_patternAt = (m_patternAt + 1) % m_patternLength;
                m_patternLeft = m_pattern[m_patternAt];
            }
            if (!on) return;
        }
        if (x < m_clip.left || x >= m_clip.right) return;
        for (int k = 0; k < m_passes; ++k) {
            const int32_t row = y + k;
            if (row < m_clip.top || row >= m_clip.bottom) continue;
            reinterpret_cast<uint32_t*>(m_bits + static_cast<ptrdiff_t>(row) * m_stride)[x] = m_colour;
        }
    }
    // Bresenham, the last point left to the next segment.
    void Segment(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        const int32_t dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int32_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        // Wholly outside on one side: nothing to plot, the pattern moves on.
        if ((std::max(x0, x1) < m_clip.left || std::min(x0, x1) >= m_clip.right ||
             std::max(y0, y1) + m_passes <= m_clip.top || std::min(y0, y1) >= m_clip.bottom) &&
            !m_pattern)
            return;
        int32_t err = dx + dy;
        while (x0 != x1 || y0 != y1) {
            Plot(x0, y0);
            const int32_t e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }

    uint8_t* m_bits = nullptr;
    LONG m_stride = 0;
    RECT m_clip{};
    uint32_t m_colour = 0;
    int m_passes = 1;
    const uint8_t* m_pattern = nullptr;
    int m_patternLength = 0;
    int m_patternAt = 0;
    int m_patternLeft = 0;
};

// A run on the canvas when there is one, else through GDI with the pen selected.
void Run(HDC dc, Canvas& canvas, const std::vector<TrendPoint>& run, TrendInk ink, HPEN pen, int dot, int passes) {
    if (!canvas.Ok()) {
        SelectObject(dc, pen);
        Polyline(dc, run, dot, passes);
        return;
    }
    if (run.size() == 1) {  // a lone sample: a short dash, so it shows
        canvas.Polyline({{run[0].x - dot, run[0].y}, {run[0].x + dot + 1, run[0].y}}, {ink.colour, TrendPattern::Solid},
                        passes);
        return;
    }
    canvas.Polyline(run, ink, passes);
}

std::string ChannelLabel(int c) { return "CH" + FormatInt(c + 1); }

// Channel numbers (0-based, ascending) as the operator reads them: "1,3-8".
std::string ChannelRanges(const std::vector<int>& channels) {
    std::string text;
    for (size_t i = 0; i < channels.size();) {
        size_t j = i;
        while (j + 1 < channels.size() && channels[j + 1] == channels[j] + 1) ++j;
        if (!text.empty()) text += ",";
        text += FormatInt(channels[i] + 1);
        if (j > i) text += (j == i + 1 ? "," : "-") + FormatInt(channels[j] + 1);
        i = j + 1;
    }
    return text;
}

struct Metrics {
    int pad, lineH, dbWidth, endWidth, tick;
};

Metrics MetricsOf(HDC dc, const CTrendStyle& style) {
    HGDIOBJ old = SelectObject(dc, style.m_font);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    Metrics m{style.Px(6), static_cast<int>(tm.tmHeight), TextSize(dc, "-20 dB").cx, TextSize(dc, "1,3-8").cx,
              style.Px(4)};
    SelectObject(dc, old);
    return m;
}

RECT PlotRect(const Metrics& m, const RECT& rc) {
    RECT plot;
    plot.left = rc.left + m.pad + m.dbWidth + m.pad;
    plot.top = rc.top + m.pad + m.lineH + m.pad;
    plot.right = std::max<LONG>(plot.left + 1, rc.right - m.pad - m.endWidth - m.pad);
    plot.bottom = std::max<LONG>(plot.top + 1, rc.bottom - m.pad - m.lineH - m.tick);
    return plot;
}

// The title, then one entry per channel, then the two kinds of context:
// as many as fit the chart's width (a narrow window drops the last ones
// rather than draw past its edge).
void DrawLegend(HDC dc, const CTrendStyle& style, const Metrics& m, const RECT& rc, int section) {
    int x = rc.left + m.pad;
    const int y = rc.top + m.pad;
    const int mid = y + m.lineH / 2;
    const int right = rc.right - m.pad;
    const std::string title = std::string(kTrendSectionNames[section]) + " gains";
    Text(dc, x, y, title);
    x += TextSize(dc, title).cx + 3 * m.pad;
    const int swatch = style.Px(22);
    const auto fits = [&](const char* label) { return x + swatch + m.pad / 2 + TextSize(dc, label).cx <= right; };
    for (int c = 0; c < kTrendCount[section]; ++c) {
        if (!fits(ChannelLabel(c).c_str())) return;
        SelectObject(dc, style.m_line[c]);
        Line(dc, x, mid, x + swatch, mid, style.m_lineWidth);
        x += swatch + m.pad / 2;
        Text(dc, x, y, ChannelLabel(c));
        x += TextSize(dc, ChannelLabel(c)).cx + 2 * m.pad;
    }
    x += m.pad;
    if (!fits("auto gain")) return;
    RECT box{x, y + 1, x + swatch, y + m.lineH - 1};
    SetBkColor(dc, style.m_autoBack);
    FillRect(dc, &box, style.m_auto);
    SetBkColor(dc, style.m_scheme.window);
    x += swatch + m.pad / 2;
    Text(dc, x, y, "auto gain");
    x += TextSize(dc, "auto gain").cx + 2 * m.pad;
    if (!fits("set gain (auto off)")) return;
    SelectObject(dc, style.m_reference[0]);
    Line(dc, x, mid, x + swatch, mid);
    x += swatch + m.pad / 2;
    Text(dc, x, y, "set gain (auto off)");
}

void DrawAxes(HDC dc, const CTrendStyle& style, const Metrics& m, const RECT& plot, const TrendScale& scale,
              const TrendChartView& view) {
    SelectObject(dc, style.m_grid);
    const int32_t dbStep = TrendDbStep(plot.bottom - plot.top, 2 * m.lineH);
    Align(dc, TA_RIGHT | TA_TOP);
    for (int32_t db = (kTrendMaxDb / dbStep) * dbStep; db >= kTrendMinDb; db -= dbStep) {
        const int y = TrendY(scale, db);
        Line(dc, plot.left, y, plot.right, y);
        Text(dc, plot.left - m.pad, y - m.lineH / 2, FormatInt(db) + " dB");
    }
    Align(dc, TA_CENTER | TA_TOP);
    const int labelWidth = m.dbWidth + 2 * m.pad;
    const std::vector<TrendTimeTick> ticks = TrendTimeTicks(scale, view.nowMsOfDay, labelWidth);
    const bool seconds = TrendTimeStepMs(scale.spanMs, plot.right - plot.left, labelWidth) < 60000;
    for (const TrendTimeTick& t : ticks) {
        SelectObject(dc, style.m_grid);
        Line(dc, t.x, plot.top, t.x, plot.bottom);
        SelectObject(dc, style.m_axis);
        Line(dc, t.x, plot.bottom, t.x, plot.bottom + m.tick);
        Text(dc, t.x, plot.bottom + m.tick, FormatClockMs(t.msOfDay, false).substr(0, seconds ? 8 : 5));
    }
    Align(dc, TA_LEFT | TA_TOP);
}

// Auto-gain periods: from a sample in auto gain to the next one, unless a gap lies between.
void ShadeAutoGain(HDC dc, const CTrendStyle& style, const RECT& plot, const TrendSeries& ring,
                   const TrendLayout& layout, int section) {
    const uint8_t bit = static_cast<uint8_t>(1u << section);
    size_t i = layout.First();
    SetBkColor(dc, style.m_autoBack);
    int start = -1;
    int last = 0;
    // Periods a pixel apart or less are filled as one (a whole job has
    // hundreds of them, and each fill is a call).
    RECT pending{0, plot.top, -1, plot.bottom};
    auto fill = [&] {
        if (pending.right > pending.left) FillRect(dc, &pending, style.m_auto);
    };
    auto flush = [&](int end) {
        if (start < 0) return;
        if (start > pending.right + 1) {
            fill();
            pending.left = start;
        }
        pending.right = std::max<LONG>(pending.right, std::max(end, start + 1));
        start = -1;
    };
    for (; i < ring.Size(); ++i) {
        const TrendSample& s = ring.At(i);
        const int x = layout.X(i);
        if (s.gapBefore) flush(last);
        if (!(s.autoOn & bit)) {
            flush(x);
        } else if (start < 0) {
            start = x;
        }
        last = x;
    }
    flush(last);
    fill();
    SetBkColor(dc, style.m_scheme.window);
}

void DrawMarks(HDC dc, const CTrendStyle& style, const Metrics& m, const RECT& plot, const TrendSeries& ring,
               const TrendScale& scale) {
    // Over a whole job marks may lie closer than their notches: one where
    // they would overlap, and a name only where it clears the one before.
    int lastX = INT32_MIN / 2;
    int lastTextRight = INT32_MIN / 2;
    for (size_t i = 0; i < ring.MarkCount(); ++i) {
        const TrendMark& mark = ring.MarkAt(i);
        if (scale.now - mark.tick > scale.spanMs) continue;
        const int x = TrendX(scale, mark.tick);
        if (x - lastX <= m.tick) continue;
        lastX = x;
        SelectObject(dc, style.m_mark);
        Line(dc, x, plot.top, x, plot.bottom);
        // A notch on the time axis and the mark's name at the top, on the window colour.
        const POINT notch[3] = {
            {x, plot.bottom}, {x - m.tick, plot.bottom + m.tick}, {x + m.tick, plot.bottom + m.tick}};
        SelectObject(dc, style.m_axis);
        SelectObject(dc, GetStockObject(DC_BRUSH));
        SetDCBrushColor(dc, style.m_scheme.windowText);
        Polygon(dc, notch, 3);
        // Right of its line, or left of it where the plot ends first (a set-up
        // loaded a moment ago is marked at the right edge).
        const std::string name = TrendMarkName(mark.kind);
        const int width = TextSize(dc, name).cx;
        int textX = x + m.pad / 2;
        if (textX + width > plot.right) textX = std::max<int>(plot.left + 1, x - m.pad / 2 - width);
        if (textX <= lastTextRight + m.pad / 2) continue;
        lastTextRight = textX + width;
        SetBkMode(dc, OPAQUE);
        Text(dc, textX, plot.top + 1, name);
        SetBkMode(dc, TRANSPARENT);
    }
}

void DrawChannels(HDC dc, const CTrendStyle& style, const Metrics& m, const RECT& rc, const RECT& plot,
                  const TrendSeries& ring, const TrendLayout& layout, int section, const TrendPixels* pixels) {
    const int first = kTrendFirst[section];
    const int count = kTrendCount[section];
    const int dot = style.Px(2);
    Canvas canvas(RECT{plot.left, plot.top, plot.right + 1, plot.bottom + 1}, pixels);
    for (int c = 0; c < count; ++c) {
        const TrendInk ink{style.m_ink[c].colour, TrendPattern::Dot};
        for (const auto& run : TrendTrace(ring, layout, first + c, true))
            Run(dc, canvas, run, ink, style.m_reference[c], dot, style.m_thinWidth);
    }
    struct EndLabel {
        int x, y, channel;
    };
    std::vector<EndLabel> labels;
    for (int c = 0; c < count; ++c) {
        const auto runs = TrendTrace(ring, layout, first + c, false);
        for (const auto& run : runs) Run(dc, canvas, run, style.m_ink[c], style.m_line[c], dot, style.m_lineWidth);
        if (!runs.empty()) labels.push_back({runs.back().back().x, runs.back().back().y, c});
    }
    // Each line's number at its end; lines that end together share one
    // label ("1,3-8"), and labels are pushed apart where they would overlap.
    std::stable_sort(labels.begin(), labels.end(), [](const EndLabel& a, const EndLabel& b) {
        return a.y != b.y ? a.y < b.y : a.channel < b.channel;
    });
    HRGN clip = CreateRectRgnIndirect(&rc);
    SelectClipRgn(dc, clip);
    SetTextColor(dc, style.m_scheme.windowText);
    int lastBottom = rc.top;
    for (size_t i = 0; i < labels.size();) {
        size_t j = i;
        std::vector<int> channels;
        int x = labels[i].x;
        while (j < labels.size() && labels[j].y - labels[i].y <= m.lineH / 3) {
            channels.push_back(labels[j].channel);
            x = std::max(x, labels[j].x);
            ++j;
        }
        std::sort(channels.begin(), channels.end());
        const int top = std::max(labels[i].y - m.lineH / 2, lastBottom);
        lastBottom = top + m.lineH * 4 / 5;
        Text(dc, x + dot + 2, top, ChannelRanges(channels));
        i = j;
    }
    SelectClipRgn(dc, nullptr);
    DeleteObject(clip);
}

void DrawHover(HDC dc, const CTrendStyle& style, const Metrics& m, const RECT& plot, const TrendSeries& ring,
               const TrendScale& scale, int section, const TrendChartView& view) {
    if (view.hoverX < plot.left || view.hoverX > plot.right) return;
    SelectObject(dc, style.m_cursor);
    Line(dc, view.hoverX, plot.top, view.hoverX, plot.bottom);
    const uint32_t tick = TrendTickAt(scale, view.hoverX);
    const uint32_t slack = static_cast<uint32_t>(static_cast<uint64_t>(scale.spanMs) * 3 /
                                                 std::max<LONG>(1, plot.right - plot.left));
    const size_t at = TrendSampleAt(ring, scale.now, scale.spanMs, tick, slack);
    std::vector<std::string> lines;
    if (at == ring.Size()) {
        lines.push_back(FormatClockMs(MsOfDayAgo(view.nowMsOfDay, scale.now - tick), true));
        lines.push_back("no usable frames");
    } else {
        // An interval of the job's history: its lowest and highest sample.
        size_t low = at, high = at;
        if (ring.At(at).reduced == 1 && at + 1 < ring.Size() && ring.At(at + 1).reduced == 2) high = at + 1;
        if (ring.At(at).reduced == 2 && at > 0 && ring.At(at - 1).reduced == 1) low = at - 1;
        const TrendSample& s = ring.At(low);
        const TrendSample& h = ring.At(high);
        const bool autoOn = ((s.autoOn | h.autoOn) >> section & 1) != 0;
        auto clock = [&](uint32_t when) {
            return FormatClockMs(MsOfDayAgo(view.nowMsOfDay, scale.now - when), low == high);
        };
        lines.push_back(clock(s.tick) + (low == high ? "" : " - " + clock(h.tick)) + (autoOn ? "  auto gain" : ""));
        for (int c = 0; c < kTrendCount[section]; ++c) {
            const int ch = kTrendFirst[section] + c;
            std::string line = ChannelLabel(c) + "  " + FormatInt(s.gain[ch]);
            if (h.gain[ch] != s.gain[ch]) line += " to " + FormatInt(h.gain[ch]);
            line += " dB";
            if (!autoOn && h.set[ch] != h.gain[ch]) line += "  (set " + FormatInt(h.set[ch]) + ")";
            lines.push_back(line);
        }
    }
    const int swatch = style.Px(16);
    int width = 0;
    for (const std::string& l : lines) width = std::max<int>(width, TextSize(dc, l).cx);
    width += swatch + 3 * m.pad;
    const int height = static_cast<int>(lines.size()) * m.lineH + m.pad;
    int x = view.hoverX + m.pad;
    if (x + width > plot.right) x = std::max<int>(plot.left, view.hoverX - m.pad - width);
    RECT box{x, plot.top + m.pad, x + width, plot.top + m.pad + height};
    SelectObject(dc, style.m_axis);
    SelectObject(dc, style.m_back);
    Rectangle(dc, box.left, box.top, box.right, box.bottom);
    int y = box.top + m.pad / 2;
    for (size_t i = 0; i < lines.size(); ++i, y += m.lineH) {
        if (i > 0 && at != ring.Size()) {
            SelectObject(dc, style.m_line[i - 1]);
            Line(dc, box.left + m.pad, y + m.lineH / 2, box.left + m.pad + swatch, y + m.lineH / 2, style.m_lineWidth);
        }
        Text(dc, box.left + 2 * m.pad + (i > 0 && at != ring.Size() ? swatch : 0), y, lines[i]);
    }
}

}  // namespace

CTrendStyle::CTrendStyle(const SchemeColours& scheme, int dpi)
    : m_scheme(scheme), m_dpi(dpi > 0 ? dpi : 96), m_lineWidth(std::max(1, MulDiv(3, m_dpi, 192))),
      m_thinWidth(std::max(1, Px(1))) {
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    LOGFONTA lf{};
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) lf = ncm.lfMessageFont;
    else lstrcpynA(lf.lfFaceName, "MS Shell Dlg", LF_FACESIZE);
    lf.lfHeight = -MulDiv(8, m_dpi, 72);  // 8 points at the window's DPI
    m_font = CreateFontIndirectA(&lf);
    for (int c = 0; c < 8; ++c) {
        const TrendInk ink = TrendInkFor(scheme, c);
        m_ink[c] = ink;
        m_line[c] = PatternPen(ink.colour, ink.pattern);
        m_reference[c] = PatternPen(ink.colour, TrendPattern::Dot);
    }
    // The grid a quarter of the way from the background to the text.
    m_grid = CreatePen(PS_SOLID, 1, Blend(scheme.window, scheme.windowText, 0.25));
    m_axis = CreatePen(PS_SOLID, m_thinWidth, scheme.windowText);
    m_mark = PatternPen(scheme.windowText, TrendPattern::Dash);
    m_cursor = PatternPen(scheme.windowText, TrendPattern::Dot);
    m_back = CreateSolidBrush(scheme.window);
    // Auto gain: the selection colour faintly over the background; a high-
    // contrast scheme gets a hatch in it, which no line colour is confused with.
    m_autoBack = scheme.window;
    const uint32_t tint = Blend(scheme.window, scheme.highlight, 0.18);
    m_auto = scheme.highContrast || ContrastRatio(tint, scheme.window) < 1.05
                 ? CreateHatchBrush(HS_BDIAGONAL, scheme.highlight)
                 : CreateSolidBrush(tint);
}

CTrendStyle::~CTrendStyle() {
    for (HPEN p : m_line) DeleteObject(p);
    for (HPEN p : m_reference) DeleteObject(p);
    for (HGDIOBJ o : {static_cast<HGDIOBJ>(m_grid), static_cast<HGDIOBJ>(m_axis), static_cast<HGDIOBJ>(m_mark),
                      static_cast<HGDIOBJ>(m_cursor), static_cast<HGDIOBJ>(m_back), static_cast<HGDIOBJ>(m_auto),
                      static_cast<HGDIOBJ>(m_font)})
        if (o) DeleteObject(o);
}

RECT TrendPlotRect(HDC dc, const RECT& rc, const CTrendStyle& style) { return PlotRect(MetricsOf(dc, style), rc); }

void DrawTrendChart(HDC dc, const RECT& rc, const CTrendStyle& style, const TrendSeries& ring, int section,
                    const TrendChartView& view, RECT* textBounds) {
    if (section < 0 || section >= kTrendSections) return;
    if (textBounds) *textBounds = RECT{0, 0, 0, 0};
    g_textBounds = textBounds;
    g_textAlign = TA_LEFT | TA_TOP;
    const int saved = SaveDC(dc);
    const Metrics m = MetricsOf(dc, style);
    const RECT plot = PlotRect(m, rc);
    const TrendScale scale{plot.left, plot.top, plot.right, plot.bottom, view.now, view.spanMs};
    FillRect(dc, &rc, style.m_back);
    SelectObject(dc, style.m_font);
    SetBkMode(dc, TRANSPARENT);
    SetBkColor(dc, style.m_scheme.window);
    SetTextColor(dc, style.m_scheme.windowText);
    DrawLegend(dc, style, m, rc, section);

    IntersectClipRect(dc, plot.left, plot.top, plot.right + 1, plot.bottom + 1);
    const TrendLayout layout(ring, scale);
    ShadeAutoGain(dc, style, plot, ring, layout, section);
    SelectClipRgn(dc, nullptr);
    DrawAxes(dc, style, m, plot, scale, view);
    IntersectClipRect(dc, plot.left, plot.top, plot.right + 1, plot.bottom + 1);
    DrawChannels(dc, style, m, rc, plot, ring, layout, section, view.pixels);
    SelectClipRgn(dc, nullptr);
    DrawMarks(dc, style, m, plot, ring, scale);
    SelectObject(dc, style.m_axis);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, plot.left, plot.top, plot.right + 1, plot.bottom + 1);
    DrawHover(dc, style, m, plot, ring, scale, section, view);
    RestoreDC(dc, saved);
    g_textBounds = nullptr;
}
