#include "framework/DialogResize.h"

#include <cassert>

#include "framework/Wnd.h"

using namespace kelvane;

namespace {
const ResizeMapEntry kEmptyMap[] = {{-1, 0}};
// The map is static data ending in {-1, 0}; a map without it stops here
// rather than reading on without end.
constexpr size_t kMaxMapRows = 4096;
constexpr DWORD kGripperStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SBS_SIZEGRIP | SBS_SIZEBOX |
                                SBS_SIZEBOXBOTTOMRIGHTALIGN;
static_assert(kGripperStyle == 0x5400001C, "size gripper style");
static_assert((RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW) == 0x0185, "page repaint flags");
static_assert((SWP_NOZORDER | SWP_NOACTIVATE) == 0x14, "control move flags");

// A child's window rectangle in the page's client coordinates.
bool ChildRect(HWND page, HWND child, RszRect* out) {
    RECT rc;
    if (!child || !GetWindowRect(child, &rc)) return false;
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rc), 2);
    *out = RszRect{rc.left, rc.top, rc.right, rc.bottom};
    return true;
}
}  // namespace

CResizePage::CResizePage(UINT templateId, HWND) : CDialog(templateId) {}

const ResizeMapEntry* CResizePage::GetResizeMap() const { return kEmptyMap; }

bool CResizePage::InitResize(bool addGripper, bool useMinTrackSize, DWORD forcedStyle) {
    const LONG_PTR style = GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    if ((static_cast<DWORD>(style) & forcedStyle) != forcedStyle)
        SetWindowLongPtrA(m_hWnd, GWL_STYLE, style | static_cast<LONG_PTR>(forcedStyle));
    m_entries.clear();
    m_initialWidth = m_initialHeight = 0;
    m_minTrackSize = POINT{-1, -1};
    RECT client{};
    GetClientRect(m_hWnd, &client);
    m_initialWidth = client.right;
    m_initialHeight = client.bottom;
    m_gripper = FALSE;

    const bool gripperExists = Item(kGripperId) != nullptr;
    assert(!(addGripper && gripperExists) && "the page already has a size gripper");
    if (addGripper && !gripperExists) {
        // Made over the whole client; the bottom-right style puts the box in the corner.
        m_gripperWnd = CreateWindowExA(0, "SCROLLBAR", "", kGripperStyle, 0, 0, client.right, client.bottom, m_hWnd,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(kGripperId)),
                                       AfxGetResourceHandle(), nullptr);
        if (m_gripperWnd) m_gripper = TRUE;
    }
    if (useMinTrackSize) {
        RECT wr{};
        GetWindowRect(m_hWnd, &wr);
        m_minTrackSize = POINT{wr.right - wr.left, wr.bottom - wr.top};
    }

    const ResizeMapEntry* map = GetResizeMap();
    assert(map && "a page needs a resize map");
    const MapError error = BuildResizeList(
        map, kMaxMapRows, m_gripper != FALSE, kGripperId,
        [this](int32_t id, RszRect* rc) { return ChildRect(m_hWnd, Item(id), rc); }, m_entries);
    assert(error != MapError::MissingEnd && "No End Group Entry in the DLGRESIZE Map");
    assert(error == MapError::None && "malformed DLGRESIZE map");
    return error == MapError::None;
}

bool CResizePage::PositionControl(int cx, int cy, const RszRect& group, const ResizeData& entry, bool grouped,
                                  int next) {
    HWND child = Item(entry.id);
    RszRect current{};
    if (!child || !ChildRect(m_hWnd, child, &current)) return true;
    const RszRect r = PositionControlRect(cx, cy, m_initialWidth, m_initialHeight, group, entry, grouped, next,
                                          current);
    if ((entry.flags & RSZ_REPAINT) && IsWindowVisible(m_hWnd)) InvalidateRect(child, nullptr, TRUE);
    if (NeedsMove(entry.flags))
        SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

void CResizePage::UpdateLayout(int cx, int cy) {
    // Each control moves before the walk reads the next rectangle.
    WalkLayout(
        m_entries, [this](int32_t id, RszRect* rc) { return ChildRect(m_hWnd, Item(id), rc); },
        [&](size_t i, const RszRect& group, bool grouped, int32_t next) {
            PositionControl(cx, cy, group, m_entries[i], grouped, next);
        });
    // A hidden page (all but one while the window opens) is drawn whole
    // when it is shown.
    if (IsWindowVisible(m_hWnd))
        RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool CResizePage::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& /*result*/) {
    switch (msg) {
    case WM_SIZE:
        if (m_gripper && m_gripperWnd) {
            if (wParam == SIZE_MAXIMIZED) ShowWindow(m_gripperWnd, SW_HIDE);
            else if (wParam == SIZE_RESTORED) ShowWindow(m_gripperWnd, SW_SHOW);
        }
        if (wParam != SIZE_MINIMIZED) UpdateLayout(LOWORD(lParam), HIWORD(lParam));
        // The dialog's default handling still runs; it does nothing for WM_SIZE,
        // so running it after the layout changes nothing.
        return false;
    case WM_GETMINMAXINFO:
        if (lParam && m_minTrackSize.x != -1 && m_minTrackSize.y != -1)
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = m_minTrackSize;
        return false;  // the default handling runs on
    default: return false;
    }
}
