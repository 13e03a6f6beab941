#include "core/FrameIntake.h"

#include "framework/PrivateMessages.h"

void CFrameIntake::Take(const int16_t* frame) {
    kelvane::CopyReadBackGains(m_gains, frame);
    m_counts.Count(frame != nullptr, GetTickCount());
}

void CFrameIntake::Notify() {
    HWND window = m_window.load();
    if (!window || m_noticePending.exchange(true)) return;
    if (!PostMessageA(window, kelvane::WM_READBACKNOTICE, 0, 0)) m_noticePending.store(false);
}

void CFrameIntake::SetWindow(HWND window) {
    m_noticePending.store(false);  // a notice to an earlier window will never be handled
    m_window.store(window);
}
