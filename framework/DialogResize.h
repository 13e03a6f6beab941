// CResizePage: the base of every control page. A child dialog that repaints
// itself on every size change and can lay out its controls from a resize map.
#pragma once

#include <vector>

#include "framework/Dialog.h"
#include "framework/logic/ResizeGeometry.h"

class CResizePage : public CDialog {
public:
    CResizePage(UINT templateId, HWND parent);

    // Opt-in layout, once the controls exist: records the client size and
    // each mapped control's rectangle, optionally adds a size gripper and a
    // minimum track size. A malformed map asserts in debug builds; in every
    // build it leaves the list empty (nothing is laid out) and returns false.
    bool InitResize(bool addGripper, bool useMinTrackSize, DWORD forcedStyle);
    // Places the listed controls for a client of cx x cy, then repaints all.
    void UpdateLayout(int cx, int cy);

protected:
    virtual const kelvane::ResizeMapEntry* GetResizeMap() const;
    // Pages that override this pass what they do not handle on to here.
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Moves one listed control from where it is now; a control that is gone is left alone.
    bool PositionControl(int cx, int cy, const kelvane::RszRect& group, const kelvane::ResizeData& entry, bool grouped,
                         int next);

    std::vector<kelvane::ResizeData> m_entries;
    int m_initialWidth = 0;
    int m_initialHeight = 0;
    POINT m_minTrackSize{-1, -1};
    BOOL m_gripper = FALSE;
    HWND m_gripperWnd = nullptr;
};
