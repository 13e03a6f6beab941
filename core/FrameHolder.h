// The one control window, as ToolControlShow and the unload see it: opened
// through the window layer's ControlFrameMaker or raised, dropped when its
// thread took it away, and let go at unload, also when another thread owns
// it. Whatever window stands is told to the host link (each command names
// it) and to the frame intake (its notices go there).
#pragma once

#include <windows.h>

#include "core/FrameIntake.h"
#include "core/FrameLink.h"
#include "core/HostLink.h"

class CFrameHolder : public kelvane::FrameOwner {
public:
    CFrameHolder(CHostLink& host, CFrameIntake& intake) : m_host(host), m_intake(intake) {}
    CFrameHolder(const CFrameHolder&) = delete;
    CFrameHolder& operator=(const CFrameHolder&) = delete;

    // The window's handle, shown and active; null when none could be made.
    HWND Show(const kelvane::FrameLink& link);
    // Unload: true when no window of ours is left (false only when another
    // thread owns it and did not let it go in time: its objects stay).
    bool Destroy();
    // After Destroy, when no window of ours is left: the window class goes.
    void ReleaseClass();
    // After Destroy: the window another thread has yet to destroy, or null.
    HWND LeftWindow() const { return m_left; }

    void FrameUp(kelvane::ControlFrame* frame) override { Set(frame); }
    void FrameGone(kelvane::ControlFrame* frame) override;

private:
    void Set(kelvane::ControlFrame* frame);

    CHostLink& m_host;
    CFrameIntake& m_intake;
    kelvane::ControlFrame* m_frame = nullptr;  // none when no window exists
    HWND m_left = nullptr;
};
