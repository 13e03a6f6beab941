// Everything the host's frame thread touches. ToolControlProcess may run on
// any host thread, beside the window's: it copies the frame's read-back gains
// into the snapshot, counts the frame and posts one notice to the control
// window, and nothing else. Every field that thread writes is an atomic (a
// single aligned 32-bit store), nothing is locked, and it never waits on the
// window. The window's thread reads the gains and counts when the notice
// comes (and from its timers), through the const half below.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "core/logic/ReadBack.h"

class CFrameIntake {
public:
    CFrameIntake() = default;
    CFrameIntake(const CFrameIntake&) = delete;
    CFrameIntake& operator=(const CFrameIntake&) = delete;

    // --- the host's frame thread
    // The frame's words (null: a frame without usable words), counted either way.
    void Take(const int16_t* frame);
    // Posts WM_READBACKNOTICE to the control window unless one is waiting
    // already, so a flood of frames cannot fill its queue (the notice shows
    // the latest gains).
    void Notify();

    // --- the window's thread
    // Where notices go from now on (null: no window); none is waiting there.
    void SetWindow(HWND window);
    HWND Window() const { return m_window.load(); }
    // The window takes the notice: the next frame posts a fresh one.
    void NoticeTaken() { m_noticePending.store(false); }
    kelvane::ReadBackWords Gains() const { return kelvane::LoadReadBack(m_gains); }
    const kelvane::FrameCounts& Counts() const { return m_counts; }

private:
    kelvane::ReadBackGainSnapshot m_gains{};
    kelvane::FrameCounts m_counts;
    std::atomic<HWND> m_window{nullptr};
    std::atomic<bool> m_noticePending{false};
};
