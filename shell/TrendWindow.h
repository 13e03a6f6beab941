// CTrendWindow: "Read-back trend", a window owned by the control frame that
// charts the gains the tool reported (DT, Monopole, Dipole) over the last
// 1, 10 or 30 minutes or the whole job, from the trend's store. It goes with
// the frame.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/Wnd.h"
#include "shell/TrendChart.h"
#include "shell/logic/Trend.h"

// The window answers this message (wParam 0, lParam a TrendProbe*) with what
// it drew just now: a test reads the chart back without reading pixels.
constexpr UINT WM_TRENDPROBE = WM_APP + 0x1F0;
struct TrendProbe {
    uint32_t now;                         // out: the tick at the charts' right edge
    uint32_t spanMs;                      // out
    RECT plot[kelvane::kTrendSections];   // out: plot areas, client coordinates
    RECT chart[kelvane::kTrendSections];  // out: each chart's area
    RECT text[kelvane::kTrendSections];   // out: the bounds of each chart's texts
    kelvane::TrendSample* samples;        // in: room for capacity samples
    uint32_t capacity;                    // in
    uint32_t count;                       // out: the shown period's samples, oldest first
    uint32_t marks;                       // out: marks in the shown period
    uint32_t reduced;                     // out: of count, samples standing for an interval's lowest or highest
};

// Local wall clock in ms since 1970: the trend's history survives restarts
// where ticks do not.
int64_t TrendWallNowMs();

class CTrendWindow : public CWnd {
public:
    // Opens (or raises) the window over owner. gone is set to null when the
    // window is destroyed; the store must outlive the window.
    static CTrendWindow* Open(HWND owner, const kelvane::TrendStore& store, CTrendWindow** gone);
    static void UnregisterWindowClass();
    // The owner is going away without its window's messages (its thread ended).
    void Detach() { m_gone = nullptr; }

    // Period choices: three spans, then the whole job.
    static constexpr uint32_t kSpans[3] = {60000, 600000, 1800000};
    static constexpr int kWholeJob = 3;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

private:
    CTrendWindow(const kelvane::TrendStore& store, CTrendWindow** gone) : m_store(store), m_gone(gone) {}
    void OnCreate();
    void Layout();
    void Paint(HDC dc);
    void MakeStyle();
    int Dpi() const;
    RECT ChartRect(int section) const;
    int32_t NowMsOfDay() const;
    // The shown period's samples (the ring, or the whole job built into
    // m_job) and its span, at nowTick / nowWallMs; under the store's lock.
    // widthPx: the plots' width (0: every interval of the history, as the CSV gives them).
    kelvane::TrendSeries Shown(const kelvane::TrendRing& ring, const kelvane::TrendHistory& history, uint32_t nowTick,
                               int64_t nowWallMs, int32_t widthPx, uint32_t* spanMs);
    int32_t PlotWidth(HDC dc) const;
    std::string ShownCsv();
    void CopyCsv();
    void SaveCsv();
    void OnTimer();
    void Probe(TrendProbe* probe);

    const kelvane::TrendStore& m_store;
    kelvane::TrendJobSeries m_job;
    CTrendWindow** m_gone;
    std::unique_ptr<CTrendStyle> m_style;
    HWND m_spanLabel = nullptr;
    HWND m_span = nullptr;
    HWND m_copy = nullptr;
    HWND m_save = nullptr;
    int m_toolbarHeight = 0;
    POINT m_mouse{-1, -1};
    // What the charts show now, to repaint only when it changes.
    uint32_t m_paintNow = 0;
    size_t m_paintedSize = 0;
    uint32_t m_paintedNewest = 0;
    size_t m_paintedMarks = 0;
    size_t m_paintedHistory = 0;
    bool m_probing = false;
    RECT m_textBounds[kelvane::kTrendSections] = {};
};
