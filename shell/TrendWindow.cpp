#include "shell/TrendWindow.h"

#include "base/LocalClock.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "framework/Controls.h"
#include "framework/PageCues.h"

using namespace kelvane;

namespace {

constexpr const char* kTrendClass = "KelvaneTrendWindow";
constexpr const char* kSpareTrendClass = "KelvaneTrendWindow2";  // while an earlier load's window stands
const char* g_trendClass = kTrendClass;
constexpr int kSpanId = 100;
constexpr int kCopyId = 101;
constexpr int kSaveId = 102;
constexpr UINT_PTR kRepaintTimer = 1;
constexpr UINT kRepaintTickMs = 200;
// The charts move on at least this often while nothing new comes.
constexpr uint32_t kIdleRepaintMs = 1000;
const char* const kSpanNames[4] = {"Last 1 minute", "Last 10 minutes", "Last 30 minutes", "Whole job"};

// Kept for the session (the library's life): where the operator put the
// window and which period it showed.
WINDOWPLACEMENT g_placement{};
bool g_placed = false;
int g_span = 1;

}  // namespace

constexpr uint32_t CTrendWindow::kSpans[3];

int64_t TrendWallNowMs() { return kelvane::LocalWallMs(); }

CTrendWindow* CTrendWindow::Open(HWND owner, const TrendStore& store, CTrendWindow** gone) {
    if (*gone && (*gone)->m_hWnd) {
        ShowWindow((*gone)->m_hWnd, IsIconic((*gone)->m_hWnd) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow((*gone)->m_hWnd);
        return *gone;
    }
    const char* trendClass = RegisterOwnClass(kTrendClass, kSpareTrendClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS,
                                              LoadCursor(nullptr, IDC_ARROW), nullptr, 0);
    if (!trendClass) return nullptr;
    g_trendClass = trendClass;
    CTrendWindow* wnd = new (std::nothrow) CTrendWindow(store, gone);
    if (!wnd) return nullptr;
    *gone = wnd;
    // Over the control window, a little in from its top-left corner, the
    // first time, inside the work area of the control window's monitor and
    // at most nine tenths of it (900 x 700 pixels at 96 DPI scaled to 144
    // would fill a 1080-line screen); then where the operator left it.
    RECT ownerRect{0, 0, 0, 0};
    GetWindowRect(owner, &ownerRect);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoA(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT& work = mi.rcWork;
    const int cx = std::min<int>(MulDiv(900, dpi, 96), (work.right - work.left) * 9 / 10);
    const int cy = std::min<int>(MulDiv(700, dpi, 96), (work.bottom - work.top) * 9 / 10);
    const int x = std::max<int>(work.left, std::min<int>(ownerRect.left + MulDiv(40, dpi, 96), work.right - cx));
    const int y = std::max<int>(work.top, std::min<int>(ownerRect.top + MulDiv(40, dpi, 96), work.bottom - cy));
    if (!wnd->CreateEx(0, trendClass, "Read-back trend", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, y, cx, cy, owner,
                       nullptr)) {
        if (*gone == wnd) *gone = nullptr;
        delete wnd;
        return nullptr;
    }
    if (g_placed) {
        WINDOWPLACEMENT wp = g_placement;
        wp.showCmd = wp.showCmd == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
        SetWindowPlacement(wnd->m_hWnd, &wp);
    }
    ShowWindow(wnd->m_hWnd, SW_SHOW);
    UpdateWindow(wnd->m_hWnd);
    return wnd;
}

void CTrendWindow::UnregisterWindowClass() { UnregisterOwnClass(g_trendClass); }

int CTrendWindow::Dpi() const {
    HDC dc = GetDC(m_hWnd);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(m_hWnd, dc);
    return dpi;
}

void CTrendWindow::MakeStyle() {
    m_style.reset(new CTrendStyle(CurrentScheme(), Dpi()));
    for (HWND c : {m_spanLabel, m_span, m_copy, m_save})
        if (c) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(m_style->m_font), TRUE);
}

void CTrendWindow::OnCreate() {
    // The control window's icon (its class owns it).
    if (HWND owner = GetWindow(m_hWnd, GW_OWNER)) {
        const LPARAM icon = static_cast<LPARAM>(GetClassLongPtrA(owner, GCLP_HICON));
        SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, icon);
        SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, icon);
    }
    HINSTANCE inst = AfxGetResourceHandle();
    auto child = [&](const char* cls, const char* text, DWORD style, int id) {
        return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, m_hWnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
    };
    m_spanLabel = child("STATIC", "Period:", SS_LEFT, -1);
    m_span = child("COMBOBOX", "", CBS_DROPDOWNLIST | WS_TABSTOP | WS_VSCROLL, kSpanId);
    m_copy = child("BUTTON", "&Copy", BS_PUSHBUTTON | WS_TABSTOP, kCopyId);
    m_save = child("BUTTON", "&Save as CSV...", BS_PUSHBUTTON | WS_TABSTOP, kSaveId);
    ctl::Combo(m_span).Fill(kSpanNames, 4);
    ctl::Combo(m_span).SetSel(g_span);
    MakeStyle();
    SetTimer(m_hWnd, kRepaintTimer, kRepaintTickMs, nullptr);
}

void CTrendWindow::Layout() {
    if (!m_style) return;
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    HDC dc = GetDC(m_hWnd);
    HGDIOBJ old = SelectObject(dc, m_style->m_font);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SIZE label{}, save{};
    GetTextExtentPoint32A(dc, "Period:", 7, &label);
    GetTextExtentPoint32A(dc, "Save as CSV...", 14, &save);
    SelectObject(dc, old);
    ReleaseDC(m_hWnd, dc);
    const int pad = m_style->Px(6);
    const int h = tm.tmHeight + m_style->Px(8);
    m_toolbarHeight = h + 2 * pad;
    int x = pad;
    SetWindowPos(m_spanLabel, nullptr, x, pad + (h - tm.tmHeight) / 2, label.cx, tm.tmHeight, SWP_NOZORDER);
    x += label.cx + pad;
    const int comboWidth = save.cx + m_style->Px(40);
    SetWindowPos(m_span, nullptr, x, pad, comboWidth, h * 6, SWP_NOZORDER);
    x += comboWidth + 2 * pad;
    const int copyWidth = save.cx * 2 / 3;
    SetWindowPos(m_copy, nullptr, x, pad, copyWidth, h, SWP_NOZORDER);
    x += copyWidth + pad;
    SetWindowPos(m_save, nullptr, x, pad, save.cx + m_style->Px(20), h, SWP_NOZORDER);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

RECT CTrendWindow::ChartRect(int section) const {
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    const int top = m_toolbarHeight;
    const int height = std::max<int>(0, rc.bottom - top);
    // DT has half as many lines as the others: it gets the same height all the same, it hunts most.
    return RECT{0, top + height * section / kTrendSections, rc.right, top + height * (section + 1) / kTrendSections};
}

int32_t CTrendWindow::NowMsOfDay() const {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds;
}

void CTrendWindow::Paint(HDC dc) {
    RECT client;
    GetClientRect(m_hWnd, &client);
    if (client.right <= 0 || client.bottom <= 0 || !m_style) return;
    // Off screen first: a chart redrawn ten times a second must not flicker.
    HDC mem = CreateCompatibleDC(dc);
    // A 32-bit DIB: the charts draw their lines straight into its bits.
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp) {
        bits = nullptr;
        bmp = CreateCompatibleBitmap(dc, client.right, client.bottom);
    }
    const TrendPixels pixels{bits, client.right, client.bottom};
    HGDIOBJ oldBmp = SelectObject(mem, bmp);
    RECT bar{0, 0, client.right, m_toolbarHeight};
    FillRect(mem, &bar, GetSysColorBrush(COLOR_BTNFACE));
    m_paintNow = GetTickCount();
    const int64_t wall = TrendWallNowMs();
    const int32_t msOfDay = NowMsOfDay();
    const int32_t width = PlotWidth(mem);
    m_store.Read([&](const TrendRing& ring, const TrendHistory& history) {
        uint32_t span = 0;
        const TrendSeries shown = Shown(ring, history, m_paintNow, wall, width, &span);
        const TrendChartView base{m_paintNow, span, msOfDay, -1, bits ? &pixels : nullptr};
        for (int s = 0; s < kTrendSections; ++s) {
            const RECT rc = ChartRect(s);
            TrendChartView view = base;
            if (m_mouse.y >= rc.top && m_mouse.y < rc.bottom) view.hoverX = m_mouse.x;
            DrawTrendChart(mem, rc, *m_style, shown, s, view, m_probing ? &m_textBounds[s] : nullptr);
        }
        m_paintedSize = ring.Size();
        m_paintedNewest = ring.Size() ? ring.At(ring.Size() - 1).tick : 0;
        m_paintedMarks = ring.MarkCount() + history.MarkCount();
        m_paintedHistory = history.Size();
    });
    BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBmp);
    DeleteObject(bmp);
    DeleteDC(mem);
}

int32_t CTrendWindow::PlotWidth(HDC dc) const {
    const RECT plot = TrendPlotRect(dc, ChartRect(0), *m_style);
    return plot.right - plot.left;
}

TrendSeries CTrendWindow::Shown(const TrendRing& ring, const TrendHistory& history, uint32_t nowTick, int64_t nowWallMs,
                                int32_t widthPx, uint32_t* spanMs) {
    if (g_span != kWholeJob) {
        *spanMs = kSpans[g_span];
        return ring;
    }
    m_job.Build(ring, history, nowTick, nowWallMs, widthPx);
    *spanMs = m_job.SpanMs();
    return m_job.Series();
}

void CTrendWindow::OnTimer() {
    bool changed = false;
    m_store.Read([&](const TrendRing& ring, const TrendHistory& history) {
        changed = ring.Size() != m_paintedSize || ring.MarkCount() + history.MarkCount() != m_paintedMarks ||
                  history.Size() != m_paintedHistory ||
                  (ring.Size() && ring.At(ring.Size() - 1).tick != m_paintedNewest);
    });
    if (changed || GetTickCount() - m_paintNow >= kIdleRepaintMs) InvalidateRect(m_hWnd, nullptr, FALSE);
}

std::string CTrendWindow::ShownCsv() {
    std::string csv;
    const uint32_t now = GetTickCount();
    const int64_t wall = TrendWallNowMs();
    const int32_t msOfDay = NowMsOfDay();
    m_store.Read([&](const TrendRing& ring, const TrendHistory& history) {
        uint32_t span = 0;
        const TrendSeries shown = Shown(ring, history, now, wall, 0, &span);
        csv = TrendCsv(shown, now, span, msOfDay);
    });
    return csv;
}

void CTrendWindow::CopyCsv() {
    const std::string csv = ShownCsv();
    if (!OpenClipboard(m_hWnd)) return;
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, csv.size() + 1);
    if (void* p = mem ? GlobalLock(mem) : nullptr) {
        std::memcpy(p, csv.c_str(), csv.size() + 1);
        GlobalUnlock(mem);
        if (!SetClipboardData(CF_TEXT, mem)) GlobalFree(mem);  // the clipboard owns it once taken
    } else if (mem) {
        GlobalFree(mem);
    }
    CloseClipboard();
}

void CTrendWindow::SaveCsv() {
    char path[MAX_PATH] = "Read-back trend.csv";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = "CSV files (*.csv)\0*.csv\0All files\0*.*\0";
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrDefExt = "csv";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    // The common dialogs' library is loaded for the dialog only: imported,
    // it would be loaded and freed with every load of the plug-in, and
    // under Wine each such round keeps a handle of the process.
    HMODULE dialogs = LoadLibraryA("comdlg32.dll");
    using SaveFileName = BOOL(WINAPI*)(OPENFILENAMEA*);
    const auto getSaveFileName = dialogs ? reinterpret_cast<SaveFileName>(
                                               reinterpret_cast<void*>(GetProcAddress(dialogs, "GetSaveFileNameA")))
                                         : nullptr;
    const bool chosen = RunModal(m_hWnd, false, [&] { return getSaveFileName && getSaveFileName(&ofn); });
    if (dialogs) FreeLibrary(dialogs);
    if (!chosen) return;
    // The period as it is when the operator confirms, not when the dialog opened.
    const std::string csv = ShownCsv();
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, csv.data(), static_cast<DWORD>(csv.size()), &written, nullptr) &&
                    written == csv.size();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!ok) {
        if (file != INVALID_HANDLE_VALUE) DeleteFileA(path);  // no half-written file left behind
        ModalMessageBox(m_hWnd, std::string("The trend could not be written to ") + path + ".", "Read-back trend",
                        MB_OK | MB_ICONWARNING);
    }
}

void CTrendWindow::Probe(TrendProbe* probe) {
    // Only this paint measures its texts: the others need not pay for it.
    m_probing = true;
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    m_probing = false;
    probe->now = m_paintNow;
    HDC dc = GetDC(m_hWnd);
    for (int s = 0; s < kTrendSections; ++s) {
        probe->chart[s] = ChartRect(s);
        probe->plot[s] = TrendPlotRect(dc, probe->chart[s], *m_style);
        probe->text[s] = m_textBounds[s];
    }
    ReleaseDC(m_hWnd, dc);
    probe->count = 0;
    probe->marks = 0;
    probe->reduced = 0;
    m_store.Read([&](const TrendRing& ring, const TrendHistory& history) {
        uint32_t span = 0;
        // The same period the paint just showed: its tick, with the wall clock read now.
        const TrendSeries shown = Shown(ring, history, probe->now, TrendWallNowMs() - (GetTickCount() - probe->now),
                                        probe->plot[0].right - probe->plot[0].left, &span);
        probe->spanMs = span;
        for (size_t i = shown.FirstWithin(probe->now, span); i < shown.Size(); ++i) {
            if (probe->samples && probe->count < probe->capacity) probe->samples[probe->count] = shown.At(i);
            probe->reduced += shown.At(i).reduced != 0;
            ++probe->count;
        }
        for (size_t i = 0; i < shown.MarkCount(); ++i) probe->marks += probe->now - shown.MarkAt(i).tick <= span;
    });
}

LRESULT CTrendWindow::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: OnCreate(); return 0;
    case WM_SIZE: Layout(); return 0;
    case WM_GETMINMAXINFO: {
        auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
        const int dpi = m_style ? m_style->m_dpi : 96;
        mmi->ptMinTrackSize.x = MulDiv(420, dpi, 96);
        mmi->ptMinTrackSize.y = MulDiv(360, dpi, 96);
        return 0;
    }
    case WM_ERASEBKGND: return 1;  // the paint covers everything
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hWnd, &ps);
        Paint(dc);
        EndPaint(m_hWnd, &ps);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kRepaintTimer) OnTimer();
        return 0;
    case WM_MOUSEMOVE: {
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, m_hWnd, 0};
        TrackMouseEvent(&tme);
        m_mouse = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        InvalidateRect(m_hWnd, nullptr, FALSE);
        return 0;
    }
    case WM_MOUSELEAVE:
        m_mouse = {-1, -1};
        InvalidateRect(m_hWnd, nullptr, FALSE);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kSpanId && HIWORD(wParam) == CBN_SELCHANGE) {
            const int sel = ctl::Combo(m_span).Sel();
            if (sel >= 0 && sel <= kWholeJob) g_span = sel;
            InvalidateRect(m_hWnd, nullptr, FALSE);
        } else if (LOWORD(wParam) == kCopyId) {
            CopyCsv();
        } else if (LOWORD(wParam) == kSaveId) {
            SaveCsv();
        }
        return 0;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
    case WM_DISPLAYCHANGE:
        MakeStyle();
        Layout();
        return 0;
    case WM_TRENDPROBE:
        if (lParam) Probe(reinterpret_cast<TrendProbe*>(lParam));
        return lParam ? 1 : 0;
    case WM_NCDESTROY:
        // The owner may go right after (deleting its ring): it must not find
        // this window still its own, whatever of ours still runs under it.
        if (m_gone && *m_gone == this) *m_gone = nullptr;
        m_gone = nullptr;
        break;
    case WM_DESTROY:
        KillTimer(m_hWnd, kRepaintTimer);
        g_placement.length = sizeof g_placement;
        g_placed = GetWindowPlacement(m_hWnd, &g_placement) != 0;
        break;
    default: break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

void CTrendWindow::PostNcDestroy() { delete this; }
