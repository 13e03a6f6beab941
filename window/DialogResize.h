// CResizePage: the base of every control page. A child dialog that repaints
// itself on every size change and can lay out its controls from a resize map.
#pragma once

#include <vector>

#include "window/Wnd.h"
#include "window/logic/ResizeGeometry.h"

class CResizePage : public CDialog {
public:
    CResizePage(UINT templateId, HWND parent);

    // Opt-in layout: reads the map, records each control's rectangle.
    // A malformed map is rejected (nothing is laid out) and returns false.
    bool InitResize(bool addGripper, bool useMinTrackSize, DWORD forcedStyle);
    void UpdateLayout(int cx, int cy);

protected:
    virtual const kelvane::ResizeMapEntry* GetResizeMap() const;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    std::vector<kelvane::ResizeData> m_entries;
    int m_initialWidth = 0;
    int m_initialHeight = 0;
    POINT m_minTrackSize{-1, -1};
    BOOL m_gripper = FALSE;
    HWND m_gripperWnd = nullptr;
};
