#include "shell/ControlView.h"

#include <algorithm>

#include "resource.h"
#include "framework/PageCues.h"
#include "framework/logic/DpiLayout.h"
#include "shell/logic/Trend.h"

namespace {

struct PageRow {
    const char* label;  // list label and caption
    int icon;
};
constexpr int kPageCount = 5;
const PageRow kPages[kPageCount] = {
    {"General Control", IDI_GENERAL},
    {"DT Gain Control", IDI_DTGAIN},
    {"Monopole Control/Full wave", IDI_MONOPOLE},
    {"Dipole Control/Full wave", IDI_DIPOLE},
    {"Acoustic Process", IDI_ACOUSTIC},
};

// Dialog units follow the DPI; the icons and the list's pixel spacing are
// chosen for it here.
int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : kelvane::kBaseDpi;
}

// Shared, so never destroyed; one size per process, as the DPI is.
HICON LoadPageIcon(int id, int size) {
    return static_cast<HICON>(
        LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR | LR_SHARED));
}

// Lines of the longest label as the list wraps it within width pixels.
int LabelLines(HWND list, int width, int* lineHeight) {
    HDC dc = GetDC(list);
    if (!dc) return 1;
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    *lineHeight = std::max<int>(1, tm.tmHeight);
    int lines = 1;
    for (const PageRow& row : kPages) {
        RECT r{0, 0, std::max(width, 1), 0};
        DrawTextA(dc, row.label, -1, &r, DT_CALCRECT | DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
        lines = std::max(lines, static_cast<int>((r.bottom - r.top + *lineHeight - 1) / *lineHeight));
    }
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    return lines;
}

// The page-list overlay: a warning triangle in the lower right corner of the
// icon, in the warning cue's colours (from the system scheme).
constexpr int kWarningOverlay = 1;

void AddWarningOverlay(HIMAGELIST list, int size) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP colour = CreateCompatibleBitmap(screen, size, size);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
    ReleaseDC(nullptr, screen);
    if (dc && colour && mask) {
        const int side = size * 9 / 16, left = size - side, top = size - side;
        const POINT triangle[3] = {{left + side / 2, top}, {size - 1, size - 1}, {left, size - 1}};
        const int pen = std::max(1, size / 32);
        // The image: the triangle on black (transparent where the mask says so).
        HGDIOBJ old = SelectObject(dc, colour);
        PatBlt(dc, 0, 0, size, size, BLACKNESS);
        HBRUSH brush = PaintCue(dc, Cue::Warning);
        const COLORREF text = GetTextColor(dc);
        HPEN outline = CreatePen(PS_SOLID, pen, text);
        HGDIOBJ oldPen = SelectObject(dc, outline);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        Polygon(dc, triangle, 3);
        // The exclamation mark: a bar and a dot.
        const int cx = left + side / 2, w = std::max(1, side / 8);
        RECT bar{cx - w / 2, top + side * 3 / 8, cx - w / 2 + w, top + side * 3 / 4};
        RECT dot{bar.left, top + side * 13 / 16, bar.right, top + side * 13 / 16 + w};
        SetDCBrushColor(dc, text);
        FillRect(dc, &bar, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        FillRect(dc, &dot, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(outline);
        // The mask: white (transparent) but for the triangle.
        SelectObject(dc, mask);
        PatBlt(dc, 0, 0, size, size, WHITENESS);
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        SelectObject(dc, GetStockObject(BLACK_PEN));
        Polygon(dc, triangle, 3);
        SelectObject(dc, old);
        const int index = ImageList_Add(list, colour, mask);
        if (index >= 0) ImageList_SetOverlayImage(list, index, kWarningOverlay);
    }
    if (mask) DeleteObject(mask);
    if (colour) DeleteObject(colour);
    if (dc) DeleteDC(dc);
}

// The page list's images, made once per load of the library and kept for
// every window opened after: for the DPI's icon size and the warning colours
// of the scheme in force (a changed scheme gets new ones at the next open).
struct PageImages {
    HIMAGELIST list = nullptr;
    int size = 0;
    COLORREF text = 0, back = 0;
};
PageImages g_images;

HIMAGELIST SharedPageImages(int size) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc) PaintCue(dc, Cue::Warning);
    const COLORREF text = dc ? GetTextColor(dc) : 0, back = dc ? GetBkColor(dc) : 0;
    if (dc) DeleteDC(dc);
    if (g_images.list && g_images.size == size && g_images.text == text && g_images.back == back) return g_images.list;
    // Only one window is open at a time, and it is made after the last went.
    CControlView::ReleaseSharedImages();
    // Colour enough for the warning mark's scheme colours; the page icons
    // draw as they did.
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 1, 4);
    if (!list) return nullptr;
    for (const PageRow& row : kPages) ImageList_AddIcon(list, LoadPageIcon(row.icon, size));
    AddWarningOverlay(list, size);
    g_images = PageImages{list, size, text, back};
    return list;
}

}  // namespace

void CControlView::ReleaseSharedImages() {
    if (g_images.list) ImageList_Destroy(g_images.list);
    g_images = PageImages{};
}

CControlView::CControlView(const kelvane::PageContext& ctx)
    : CDialog(IDD_VIEW), m_general(ctx), m_dtGain(ctx), m_monopole(ctx), m_dipole(ctx), m_acoustic(ctx),
      m_commands(ctx.commands) {
    // A General Download may have limited the window ends to a new cap.
    m_general.OnDownloaded([this] {
        m_monopole.ShowWindowEnd();
        m_dipole.ShowWindowEnd();
    });
}

CControlView::~CControlView() {
    // Page windows go first (their parent is ours), then the list's images.
    m_general.Destroy();
    m_dtGain.Destroy();
    m_monopole.Destroy();
    m_dipole.Destroy();
    m_acoustic.Destroy();
    Destroy();
}

bool CControlView::Create(HWND frame, UINT id) {
    if (!CDialog::Create(frame)) return false;
    SetWindowLongPtrA(m_hWnd, GWLP_ID, static_cast<LONG_PTR>(id));
    RECT rc;
    GetWindowRect(m_hWnd, &rc);
    m_formSize = SIZE{rc.right - rc.left, rc.bottom - rc.top};
    m_pageIcon = Item(IDC_VIEW_PAGEICON);
    m_pageList = Item(IDC_VIEW_PAGELIST);
    ShowWindow(m_hWnd, SW_SHOW);
    return true;
}

CDialog* CControlView::Page(int index) {
    switch (index) {
    case 0: return &m_general;
    case 1: return &m_dtGain;
    case 2: return &m_monopole;
    case 3: return &m_dipole;
    case 4: return &m_acoustic;
    default: return nullptr;
    }
}

void CControlView::OnInitialUpdate(int belowForm) {
    FitFrameToForm(belowForm);
    const int dpi = ScreenDpi();
    m_iconSize = kelvane::PageIconSize(dpi);

    // The pages live in the page area; it must clip them and pass Tab through.
    HWND area = Item(IDC_VIEW_PAGEAREA);
    SetWindowLongPtrA(area, GWL_STYLE, GetWindowLongPtrA(area, GWL_STYLE) | WS_CLIPCHILDREN);
    SetWindowLongPtrA(area, GWL_EXSTYLE, GetWindowLongPtrA(area, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    for (int i = 0; i < 5; ++i)
        if (CDialog* page = Page(i)) {
            if (page->Create(area))
                SetWindowPos(page->m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }

    SendMessageA(m_pageIcon, STM_SETICON, reinterpret_cast<WPARAM>(LoadPageIcon(kPages[0].icon, m_iconSize)), 0);
    SetItemText(IDC_VIEW_CAPTION, kPages[0].label);
    if (m_general.m_hWnd) ShowWindow(m_general.m_hWnd, SW_SHOWNORMAL);

    // The images outlive the list, which must not destroy them with itself.
    SetWindowLongPtrA(m_pageList, GWL_STYLE, GetWindowLongPtrA(m_pageList, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    ListView_SetImageList(m_pageList, SharedPageImages(m_iconSize), LVSIL_NORMAL);
    // One column, each item tall enough for its icon and every line of the
    // longest label: a selected label shows all its lines and must not
    // cover the next icon.
    RECT client;
    GetClientRect(m_pageList, &client);
    int lineHeight = 0;
    const int lines = LabelLines(m_pageList, kelvane::PageLabelWidth(dpi, client.right - client.left), &lineHeight);
    ListView_SetIconSpacing(m_pageList, client.right - client.left,
                            kelvane::PageListSpacingY(dpi, m_iconSize, lineHeight, lines));
    ListView_SetTextColor(m_pageList, RGB(255, 255, 255));
    ListView_SetTextBkColor(m_pageList, RGB(128, 128, 128));
    ListView_SetBkColor(m_pageList, RGB(128, 128, 128));
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
    column.fmt = LVCFMT_LEFT;
    column.cx = client.right - client.left;
    column.pszText = const_cast<char*>("Acoustic Control Page");
    // One layout of the list for its five items, not one per insert.
    SendMessageA(m_pageList, WM_SETREDRAW, FALSE, 0);
    SendMessageA(m_pageList, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    for (int i = 0; i < 5; ++i) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = const_cast<char*>(kPages[i].label);
        item.iImage = i;
        SendMessageA(m_pageList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(m_pageList, WM_SETREDRAW, TRUE, 0);
}

void CControlView::ShowPage(int index) {
    if (index < 0 || index >= kPageCount) return;
    // Selecting the item shows its page through LVN_ITEMCHANGED, as the
    // arrow keys in the list do.
    ListView_SetItemState(m_pageList, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetSelectionMark(m_pageList, index);
    // That handler leaves a change made with the mouse button down to the click.
    if (m_shown != index) SelectPage(index);
}

void CControlView::SendAllSettings() {
    kelvane::CommandBatch batch(m_commands, "Send all settings");
    // The range message names a General page field: show it first.
    if (!m_general.FieldsValid()) ShowPage(0);
    // The full-wave pages send their window ends below: once each.
    if (!m_general.Download(false)) return;
    m_dtGain.SendAll();
    m_monopole.SendAll();
    m_dipole.SendAll();
}

void CControlView::ShowParametersAgain() {
    HWND area = Item(IDC_VIEW_PAGEAREA);
    const bool focusOnPage = IsChild(area, GetFocus());
    for (int i = 0; i < kPageCount; ++i) Page(i)->Destroy();
    m_dtGain.OpenWithoutSending();
    for (int i = 0; i < kPageCount; ++i)
        if (CDialog* page = Page(i); page->Create(area))
            SetWindowPos(page->m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SelectPage(m_shown);
    RefreshPageMarks();
    if (focusOnPage) SetFocus(m_pageList);
}

void CControlView::SetReadBackStale(bool stale, const std::string& note) {
    m_dtGain.SetReadBackStale(stale, note);
    m_monopole.SetReadBackStale(stale, note);
    m_dipole.SetReadBackStale(stale, note);
    RefreshPageMarks();
}

void CControlView::SetHealthTips(const std::string* tips) {
    if (!tips) return;
    CGainPage* const pages[kelvane::kTrendSections] = {&m_dtGain, &m_monopole, &m_dipole};
    for (int s = 0; s < kelvane::kTrendSections; ++s) pages[s]->SetHealthTips(tips + kelvane::kTrendFirst[s]);
    RefreshPageMarks();
}

void CControlView::RefreshPageMarks() {
    const CGainPage* gainPages[kPageCount] = {nullptr, &m_dtGain, &m_monopole, &m_dipole, nullptr};
    for (int i = 0; i < kPageCount; ++i) {
        // General: a DSP error reported while any page was shown.
        const bool mark = i == 0 ? !m_general.DspErrorNote().empty()
                                 : gainPages[i] && gainPages[i]->m_hWnd && gainPages[i]->HasReadBackWarning();
        if (mark == (ListView_GetItemState(m_pageList, i, LVIS_OVERLAYMASK) != 0)) continue;
        ListView_SetItemState(m_pageList, i, mark ? INDEXTOOVERLAYMASK(kWarningOverlay) : 0, LVIS_OVERLAYMASK);
    }
}

void CControlView::ShowReadBack(const kelvane::ReadBackWords& words) {
    if (m_dtGain.m_hWnd) m_dtGain.ShowGainReadBack(words.Dt);
    if (m_monopole.m_hWnd) m_monopole.ShowGainReadBack(words.Monopole);
    if (m_dipole.m_hWnd) m_dipole.ShowGainReadBack(words.Dipole);
}

void CControlView::EnableStatusCheck(int32_t hostState) { m_general.EnableStatusCheck(hostState); }

void CControlView::SetDspStatus(const kelvane::DspStatusReport& report) {
    m_general.SetDspStatus(report);
    RefreshPageMarks();
}

std::string CControlView::DspErrorNote() const { return m_general.DspErrorNote(); }
void CControlView::ReadBackMismatches(std::string (&out)[20]) const {
    const CGainPage* const pages[kelvane::kTrendSections] = {&m_dtGain, &m_monopole, &m_dipole};
    for (int s = 0; s < kelvane::kTrendSections; ++s)
        for (int c = 0; c < kelvane::kTrendCount[s]; ++c)
            out[kelvane::kTrendFirst[s] + c] = pages[s]->ReadBackMismatch(c);
}

std::string CControlView::LastDspReport() const { return m_general.LastReport(); }
std::vector<std::string> CControlView::DspStatusLines() const { return m_general.StatusLines(); }
bool CControlView::HasDspReport() const { return m_general.Reported(); }

void CControlView::AddPageHeldSettings(kelvane::ParameterSet& settings) const {
    if (m_dtGain.m_hWnd) settings.DtFilter = m_dtGain.IsChecked(IDC_DT_FILTER) ? 1 : 0;
}

void CControlView::SelectPage(int index) {
    if (index < 0 || index > 4) return;
    SendMessageA(m_pageIcon, STM_SETICON, reinterpret_cast<WPARAM>(LoadPageIcon(kPages[index].icon, m_iconSize)), 0);
    SetItemText(IDC_VIEW_CAPTION, kPages[index].label);
    for (int i = 0; i < 5; ++i)
        if (CDialog* page = Page(i); page && page->m_hWnd)
            ShowWindow(page->m_hWnd, i == index ? SW_SHOWNORMAL : SW_HIDE);
    m_shown = index;
}

void CControlView::StepPage(int delta) {
    const int index = ((m_shown + delta) % kPageCount + kPageCount) % kPageCount;
    HWND focus = GetFocus();
    const bool focusOnPage = focus && IsChild(Item(IDC_VIEW_PAGEAREA), focus);
    ShowPage(index);
    // The focus must not stay in a page just hidden: the new page's first
    // control takes it, as Tab would give it (an edit's text selected).
    if (!focusOnPage) return;
    CDialog* page = Page(index);
    HWND first = page && page->m_hWnd ? GetNextDlgTabItem(page->m_hWnd, nullptr, FALSE) : nullptr;
    if (!first || !IsWindowVisible(first)) first = m_pageList;
    SetFocus(first);
    if (SendMessageA(first, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(first, EM_SETSEL, 0, -1);
}

bool CControlView::OnShortcut(UINT key, bool shift) {
    switch (key) {
    case VK_TAB: StepPage(shift ? -1 : 1); return true;
    case VK_NEXT:
    case VK_PRIOR:
        if (shift) return false;
        StepPage(key == VK_NEXT ? 1 : -1);
        return true;
    case 'D':
        if (!shift) return false;
        // The frame's File menu item: the frame sends every setting.
        PostMessageA(GetParent(m_hWnd), WM_COMMAND, MAKEWPARAM(ID_FILE_SEND_ALL, 0), 0);
        return true;
    default: return false;
    }
}

bool CControlView::OnNotify(NMHDR* hdr, LRESULT& result) {
    if (!hdr || hdr->idFrom != IDC_VIEW_PAGELIST) return false;
    if (hdr->code == NM_CLICK) {
        SelectPage(ListView_GetSelectionMark(m_pageList));
        result = 0;
        return true;
    }
    // The keyboard moves the selection without a click: follow it too.
    if (hdr->code == LVN_ITEMCHANGED) {
        const NMLISTVIEW* nm = reinterpret_cast<const NMLISTVIEW*>(hdr);
        if ((nm->uChanged & LVIF_STATE) && (nm->uNewState & LVIS_SELECTED) && !(nm->uOldState & LVIS_SELECTED) &&
            GetKeyState(VK_LBUTTON) >= 0)
            SelectPage(nm->iItem);
        result = 0;
        return true;
    }
    return false;
}

// The frame opens showing the whole form when it fits the work area of its
// monitor, and as much of it as fits otherwise (the form scrolls); at 96 DPI
// that is the size the frame always had.
void CControlView::FitFrameToForm(int belowForm) {
    HWND frame = GetParent(m_hWnd);
    RECT want{0, 0, m_formSize.cx, m_formSize.cy + std::max(0, belowForm)};
    AdjustWindowRectEx(&want, static_cast<DWORD>(GetWindowLongPtrA(frame, GWL_STYLE)), GetMenu(frame) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrA(frame, GWL_EXSTYLE)));
    RECT now;
    GetWindowRect(frame, &now);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromWindow(frame, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT& work = monitor.rcWork;
    const kelvane::RszRect placed = kelvane::FitFrameToWorkArea({now.left, now.top, now.right, now.bottom},
                                                                want.right - want.left, want.bottom - want.top,
                                                                {work.left, work.top, work.right, work.bottom});
    // A frame made where the last one was fitted needs no move: moving a
    // top-level window costs the platform dozens of requests.
    if (placed.left == now.left && placed.top == now.top && placed.right == now.right && placed.bottom == now.bottom)
        return;
    SetWindowPos(frame, nullptr, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CControlView::ScrollTo(int bar, int pos) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(m_hWnd, bar, &si);
    const int maxPos = std::max(0, si.nMax - static_cast<int>(si.nPage) + 1);
    pos = std::max(0, std::min(pos, maxPos));
    LONG& current = bar == SB_HORZ ? m_scroll.x : m_scroll.y;
    const int delta = current - pos;
    if (delta == 0) return;
    current = pos;
    SetScrollPos(m_hWnd, bar, pos, TRUE);
    ScrollWindowEx(m_hWnd, bar == SB_HORZ ? delta : 0, bar == SB_VERT ? delta : 0, nullptr, nullptr, nullptr, nullptr,
                   SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

bool CControlView::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_SIZE: {
        // A client area smaller than the form scrolls it. Scroll bars shown
        // take from the client: when the form fits the area without them,
        // they go, or a view sized to the form exactly would keep them.
        int cx = LOWORD(lParam), cy = HIWORD(lParam);
        const LONG_PTR style = GetWindowLongPtrA(m_hWnd, GWL_STYLE);
        const int fullX = cx + ((style & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0);
        const int fullY = cy + ((style & WS_HSCROLL) ? GetSystemMetrics(SM_CYHSCROLL) : 0);
        if (fullX >= m_formSize.cx && fullY >= m_formSize.cy) {
            cx = fullX;
            cy = fullY;
        }
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_PAGE;
        si.nMax = m_formSize.cx - 1;
        si.nPage = static_cast<UINT>(cx);
        SetScrollInfo(m_hWnd, SB_HORZ, &si, TRUE);
        si.nMax = m_formSize.cy - 1;
        si.nPage = static_cast<UINT>(cy);
        SetScrollInfo(m_hWnd, SB_VERT, &si, TRUE);
        ScrollTo(SB_HORZ, m_scroll.x);
        ScrollTo(SB_VERT, m_scroll.y);
        result = 0;
        return true;
    }
    case WM_VSCROLL:
    case WM_HSCROLL: {
        if (lParam) return false;  // a control's own scroll notice
        const int bar = msg == WM_VSCROLL ? SB_VERT : SB_HORZ;
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        GetScrollInfo(m_hWnd, bar, &si);
        int pos = si.nPos;
        switch (LOWORD(wParam)) {
        case SB_LINEUP: pos -= 16; break;
        case SB_LINEDOWN: pos += 16; break;
        case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
        case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = si.nMax; break;
        default: break;
        }
        ScrollTo(bar, pos);
        result = 0;
        return true;
    }
    default: return false;
    }
}
