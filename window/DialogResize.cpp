#include "window/DialogResize.h"

#include <cassert>

using namespace kelvane;

namespace {
const ResizeMapEntry kEmptyMap[] = {{-1, 0}};
constexpr size_t kMaxMapRows = 4096;  // a map without its end row stops here
constexpr DWORD kGripperStyle =
    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBS_SIZEGRIP | SBS_SIZEBOX | SBS_SIZEBOXBOTTOMRIGHTALIGN;

bool ChildRect(HWND page, int32_t id, RszRect* out) {
    HWND child = GetDlgItem(page, id);
    if (!child) return false;
    RECT rc;
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rc), 2);
    *out = RszRect{rc.left, rc.top, rc.right, rc.bottom};
    return true;
}
}  // namespace

CResizePage::CResizePage(UINT templateId, HWND) : CDialog(templateId) {}

const ResizeMapEntry* CResizePage::GetResizeMap() const { return kEmptyMap; }

bool CResizePage::InitResize(bool addGripper, bool useMinTrackSize, DWORD forcedStyle) {
    const LONG_PTR style = GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    if ((style & forcedStyle) != forcedStyle) SetWindowLongPtrA(m_hWnd, GWL_STYLE, style | forcedStyle);
    m_entries.clear();
    m_initialWidth = m_initialHeight = 0;
    m_minTrackSize = POINT{-1, -1};
    RECT client;
    GetClientRect(m_hWnd, &client);
    m_initialWidth = client.right;
    m_initialHeight = client.bottom;
    m_gripper = FALSE;

    const bool gripperExists = GetDlgItem(m_hWnd, kGripperId) != nullptr;
    assert(!(addGripper && gripperExists) && "a size gripper already exists");
    if (addGripper && !gripperExists) {
        m_gripperWnd = CreateWindowExA(0, "SCROLLBAR", "", kGripperStyle, 0, 0, client.right, client.bottom, m_hWnd,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(kGripperId)),
                                       AfxGetResourceHandle(), nullptr);
        if (m_gripperWnd) m_gripper = TRUE;
    }
    if (useMinTrackSize) {
        RECT wr;
        GetWindowRect(m_hWnd, &wr);
        m_minTrackSize = POINT{wr.right - wr.left, wr.bottom - wr.top};
    }

    const ResizeMapEntry* map = GetResizeMap();
    assert(map && "a page needs a resize map");
    HWND page = m_hWnd;
    const MapError error = BuildResizeList(map ? map : kEmptyMap, kMaxMapRows, m_gripper != FALSE, kGripperId,
                                           [page](int32_t id, RszRect* rc) { return ChildRect(page, id, rc); },
                                           m_entries);
    assert(error != MapError::MissingEnd && "No End Group Entry in the DLGRESIZE Map");
    assert(error == MapError::None && "malformed DLGRESIZE map");
    return error == MapError::None;
}

void CResizePage::UpdateLayout(int cx, int cy) {
    HWND page = m_hWnd;
    const auto placements = LayoutPlacements(m_entries, cx, cy, m_initialWidth, m_initialHeight,
                                             [page](int32_t id, RszRect* rc) { return ChildRect(page, id, rc); });
    for (const Placement& p : placements) {
        HWND child = GetDlgItem(m_hWnd, m_entries[p.index].id);
        if (!child) continue;
        if (p.needsRepaint) InvalidateRect(child, nullptr, TRUE);
        if (p.needsMove)
            SetWindowPos(child, nullptr, p.rect.left, p.rect.top, p.rect.right - p.rect.left,
                         p.rect.bottom - p.rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool CResizePage::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_SIZE:
        if (m_gripper && m_gripperWnd) {
            if (wParam == SIZE_MAXIMIZED) ShowWindow(m_gripperWnd, SW_HIDE);
            else if (wParam == SIZE_RESTORED) ShowWindow(m_gripperWnd, SW_SHOW);
        }
        if (wParam != SIZE_MINIMIZED) UpdateLayout(LOWORD(lParam), HIWORD(lParam));
        result = 0;
        return true;
    case WM_GETMINMAXINFO:
        if (m_minTrackSize.x != -1 && m_minTrackSize.y != -1)
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = m_minTrackSize;
        return false;  // the default handling runs on
    default:
        return false;
    }
}
