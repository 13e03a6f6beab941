#include "shell/ControlView.h"

#include <algorithm>

#include "resource.h"
#include "framework/logic/DpiLayout.h"

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
    return static_cast<HICON>(LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size,
                                         LR_DEFAULTCOLOR | LR_SHARED));
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

}  // namespace

CControlView::CControlView(const kelvane::PageContext& ctx)
    : CDialog(IDD_VIEW), m_general(ctx), m_dtGain(ctx), m_monopole(ctx), m_dipole(ctx), m_acoustic(ctx) {}

CControlView::~CControlView() {
    // Page windows go first (their parent is ours), then the list's images.
    m_general.Destroy();
    m_dtGain.Destroy();
    m_monopole.Destroy();
    m_dipole.Destroy();
    m_acoustic.Destroy();
    Destroy();
    if (m_imageList) ImageList_Destroy(m_imageList);
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

void CControlView::OnInitialUpdate() {
    FitFrameToForm();
    const int dpi = ScreenDpi();
    m_iconSize = kelvane::PageIconSize(dpi);
    m_imageList = ImageList_Create(m_iconSize, m_iconSize, ILC_COLOR4 | ILC_MASK, 1, 4);
    for (const PageRow& row : kPages) ImageList_AddIcon(m_imageList, LoadPageIcon(row.icon, m_iconSize));

    // The pages live in the page area; it must clip them and pass Tab through.
    HWND area = Item(IDC_VIEW_PAGEAREA);
    SetWindowLongPtrA(area, GWL_STYLE, GetWindowLongPtrA(area, GWL_STYLE) | WS_CLIPCHILDREN);
    SetWindowLongPtrA(area, GWL_EXSTYLE, GetWindowLongPtrA(area, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    for (int i = 0; i < 5; ++i)
        if (CDialog* page = Page(i)) {
            if (page->Create(area)) SetWindowPos(page->m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }

    SendMessageA(m_pageIcon, STM_SETICON, reinterpret_cast<WPARAM>(LoadPageIcon(kPages[0].icon, m_iconSize)), 0);
    SetItemText(IDC_VIEW_CAPTION, kPages[0].label);
    if (m_general.m_hWnd) ShowWindow(m_general.m_hWnd, SW_SHOWNORMAL);

    ListView_SetImageList(m_pageList, m_imageList, LVSIL_NORMAL);
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
    SendMessageA(m_pageList, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    for (int i = 0; i < 5; ++i) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = i;
        item.pszText = const_cast<char*>(kPages[i].label);
        item.iImage = i;
        SendMessageA(m_pageList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
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
    // Selecting the item shows its page through LVN_ITEMCHANGED, as the
    // arrow keys in the list do.
    ListView_SetItemState(m_pageList, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetSelectionMark(m_pageList, index);
    // That handler leaves a change made with the mouse button down to the click.
    if (m_shown != index) SelectPage(index);
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
    case VK_TAB:
        StepPage(shift ? -1 : 1);
        return true;
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
    default:
        return false;
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
void CControlView::FitFrameToForm() {
    HWND frame = GetParent(m_hWnd);
    RECT want{0, 0, m_formSize.cx, m_formSize.cy};
    AdjustWindowRectEx(&want, static_cast<DWORD>(GetWindowLongPtrA(frame, GWL_STYLE)), GetMenu(frame) != nullptr,
                       static_cast<DWORD>(GetWindowLongPtrA(frame, GWL_EXSTYLE)));
    RECT now;
    GetWindowRect(frame, &now);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromWindow(frame, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT& work = monitor.rcWork;
    const kelvane::RszRect placed =
        kelvane::FitFrameToWorkArea({now.left, now.top, now.right, now.bottom}, want.right - want.left,
                                    want.bottom - want.top, {work.left, work.top, work.right, work.bottom});
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
    ScrollWindowEx(m_hWnd, bar == SB_HORZ ? delta : 0, bar == SB_VERT ? delta : 0, nullptr, nullptr, nullptr,
                   nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

bool CControlView::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_SIZE: {
        // A client area smaller than the form scrolls it.
        const int cx = LOWORD(lParam), cy = HIWORD(lParam);
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
    default:
        return false;
    }
}
