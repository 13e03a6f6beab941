#include "core/FrameHolder.h"

#include "framework/DialogNav.h"

using kelvane::ControlFrame;

namespace {
// A window of ours on another thread is that thread's to destroy. An idle
// thread gets to it at once from its loop, but may need the loader lock on
// the way (Wine's common controls load parts of themselves on first use), so
// the wait is short; otherwise the window goes just after the unload.
constexpr DWORD kOtherThreadWindowWaitMs = 100;

kelvane::ControlFrameMaker* g_maker = nullptr;
}  // namespace

void kelvane::RegisterControlFrameMaker(ControlFrameMaker* maker) noexcept { g_maker = maker; }

HWND CFrameHolder::Show(const kelvane::FrameLink& link) {
    // A frame whose window went without telling us (its thread ended, and
    // its windows with it) is dropped; a new one opens below.
    if (m_frame && m_frame->Window() && !IsWindow(m_frame->Window())) {
        ControlFrame* dead = m_frame;
        Set(nullptr);
        delete dead;
    }
    if (m_frame && m_frame->Window()) {
        HWND hwnd = m_frame->Window();
        ShowWindow(hwnd, SW_SHOWNORMAL);
        SetActiveWindow(hwnd);
        SetForegroundWindow(hwnd);
        SetFocus(hwnd);
        return hwnd;
    }
    ControlFrame* frame = g_maker ? g_maker->Make(link) : nullptr;
    if (!frame) return nullptr;
    Set(frame);
    if (!frame->Open()) {
        // The frame deletes itself if its window was made and destroyed.
        if (m_frame == frame) {
            Set(nullptr);
            delete frame;
        }
        return nullptr;
    }
    if (m_frame != frame) return nullptr;
    Set(frame);  // publish the finished window to other threads
    return frame->Window();
}

void CFrameHolder::FrameGone(ControlFrame* frame) {
    if (m_frame == frame) Set(nullptr);
}

void CFrameHolder::Set(ControlFrame* frame) {
    m_frame = frame;
    HWND window = frame ? frame->Window() : nullptr;
    m_host.SetControlWindow(window);
    m_intake.SetWindow(window);
}

bool CFrameHolder::Destroy() {
    if (!m_frame) return true;
    ControlFrame* frame = m_frame;
    HWND hwnd = frame->Window();
    if (hwnd && IsWindow(hwnd) && GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId()) {
        // Another thread's window: only that thread can destroy it. Its
        // entries hand its messages to the system now, and the system's
        // WM_CLOSE destroys it there, running nothing of ours.
        const bool unhooked = UninstallDialogNavigation();
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        const DWORD start = GetTickCount();
        while (IsWindow(hwnd) && GetTickCount() - start < kOtherThreadWindowWaitMs) Sleep(2);
        if (IsWindow(hwnd)) {
            // Its thread is busy: the window goes when it gets back to its
            // loop. The frame object stays with it.
            m_left = hwnd;
            Set(nullptr);
            return false;
        }
        Set(nullptr);
        delete frame;  // its windows are gone: it touches none
        return unhooked;
    }
    if (hwnd) DestroyWindow(hwnd);  // the frame tells FrameGone and deletes itself
    if (m_frame == frame) {
        Set(nullptr);
        delete frame;
    }
    return true;
}

void CFrameHolder::ReleaseClass() {
    if (g_maker) g_maker->ReleaseClass();
}
