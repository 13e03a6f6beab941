// One chart of the read-back trend drawn with GDI: the reported gains of a
// tool section over the shown period, with the auto-gain periods shaded, the
// set gains as thin reference lines, gaps where no usable frame came, the
// marks on the time axis and the values under the mouse.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/logic/Trend.h"

// Pens, brushes and the font of the charts, from the scheme's colours, at
// one DPI. Made when the window opens and when the scheme or DPI changes.
class CTrendStyle {
public:
    CTrendStyle(const kelvane::SchemeColours& scheme, int dpi);
    ~CTrendStyle();
    CTrendStyle(const CTrendStyle&) = delete;
    CTrendStyle& operator=(const CTrendStyle&) = delete;

    int Px(int atBaseDpi) const { return MulDiv(atBaseDpi, m_dpi, 96); }

    kelvane::SchemeColours m_scheme;
    int m_dpi;
    int m_lineWidth;  // a channel's line, pixels: 1 at 96 DPI, 2 at 144, 3 at 192
    int m_thinWidth;  // set gains, axes, marks
    HFONT m_font = nullptr;
    kelvane::TrendInk m_ink[8] = {};  // what m_line draws, for lines drawn straight into a DIB
    HPEN m_line[8] = {};
    HPEN m_reference[8] = {};
    HPEN m_grid = nullptr;
    HPEN m_axis = nullptr;
    HPEN m_mark = nullptr;
    HPEN m_cursor = nullptr;
    HBRUSH m_back = nullptr;
    HBRUSH m_auto = nullptr;
    COLORREF m_autoBack = 0;  // behind a hatched auto brush
};

// The 32-bit top-down DIB selected into the chart's DC (in device pixels,
// the DC's origin left at 0,0), when the caller made one: the channels'
// lines then go straight into its bits.
struct TrendPixels {
    void* bits;
    int width;
    int height;
};

struct TrendChartView {
    uint32_t now;                         // the tick at the right edge
    uint32_t spanMs;                      // shown period
    int32_t nowMsOfDay;                   // local time at now
    int hoverX;                           // the mouse's x, or -1
    const TrendPixels* pixels = nullptr;  // null: GDI draws the lines
};

// The plot area of a chart drawn into rc on dc (dc's font: any).
RECT TrendPlotRect(HDC dc, const RECT& rc, const CTrendStyle& style);
// Draws the chart of section (0 DT, 1 Monopole, 2 Dipole) into rc;
// textBounds, when given, gets the bounds of every text drawn.
void DrawTrendChart(HDC dc, const RECT& rc, const CTrendStyle& style, const kelvane::TrendSeries& ring, int section,
                    const TrendChartView& view, RECT* textBounds = nullptr);
