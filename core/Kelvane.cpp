#include "core/Kelvane.h"

#include <cstddef>

#include "KelvaneHost.h"
#include "core/logic/IniRules.h"
#include "framework/DialogNav.h"
#include "framework/ModuleGuard.h"

using namespace kelvane;

namespace {

// The unload runs under the loader lock: every other thread loading or
// freeing a library waits meanwhile. Frame calls and background writes
// leave within this (they need nothing of the loader to do so).
constexpr DWORD kUnloadCallsWaitMs = 1000;
// A lock on the settings file is waited out this long by the unload's save:
// long enough for a scanner's or a backup's look at the file, short enough
// for the loader lock. Longer, the settings go to the copy beside the file.
constexpr DWORD kUnloadLockWaitMs = 200;
// A window of ours on another thread is that thread's to destroy. An idle
// thread gets to it at once from its loop, but may need the loader lock on
// the way (Wine's common controls load parts of themselves on first use), so
// the wait is short; otherwise the window goes just after the unload.
constexpr DWORD kOtherThreadWindowWaitMs = 100;

}  // namespace

CKelvaneApp::CKelvaneApp() : CWinApp(nullptr) {}
CKelvaneApp::~CKelvaneApp() = default;

BOOL CKelvaneApp::InitInstance() {
    m_settings.LoadWorkFolder();
    m_params.DipoleWinStart = DIPOLE_WINDOW_START;
    m_params.MonoWinStart = MONO_WINDOW_START;
    m_blocks.OpenProcessBlock();
    m_blocks.OpenToolControlBlock();
    m_blocks.ToolControlBlock().StoreInt(offsetof(ToolControlPara, MonoWinStart), m_params.MonoWinStart);
    m_blocks.ToolControlBlock().StoreInt(offsetof(ToolControlPara, DipoleWinStart), m_params.DipoleWinStart);
    // Start-up never writes the INI; a missing file is created at shut-down.
    m_settings.Load(m_blocks.ProcessBlock());
    PublishParameters(m_params, m_blocks.ToolControlBlock(), m_blocks.ProcessBlock());
    m_settings.NoteStartingSettings();
    return CWinApp::InitInstance();
}

int CKelvaneApp::ExitInstance() {
    // Nothing of ours may run once the image goes: no more background
    // writes (one waiting out a lock gives up), frame calls out of the image.
    m_settings.StopBackgroundSaves();
    WaitForGuardedCalls(kUnloadCallsWaitMs);
    m_settings.SaveAtUnload(kUnloadLockWaitMs);  // the last write, after any background one
    m_windowsGone = DestroyControlFrame();
    if (m_windowsGone) ReleaseControlFrameClass();
    m_blocks.CloseToolControlBlock();
    m_blocks.CloseProcessBlock();
    return CWinApp::ExitInstance();
}

void CKelvaneApp::ProcessExitShutdown() {
    // Other threads are gone and windows may be half torn down: save only.
    m_settings.SaveAtExit();
    m_blocks.CloseToolControlBlock();
    m_blocks.CloseProcessBlock();
}

void CKelvaneApp::TakeFrame(const int16_t* frame) {
    m_intake.Take(frame);
    m_intake.Notify();
}

HWND CKelvaneApp::ShowControlFrame() {
    // A frame whose window went without telling us (its thread ended, and
    // its windows with it) is dropped; a new one opens below.
    if (m_pControlFrame && m_pControlFrame->Window() && !IsWindow(m_pControlFrame->Window())) {
        ControlFrame* dead = m_pControlFrame;
        SetControlFrame(nullptr);
        delete dead;
    }
    if (m_pControlFrame && m_pControlFrame->Window()) {
        HWND hwnd = m_pControlFrame->Window();
        ShowWindow(hwnd, SW_SHOWNORMAL);
        SetActiveWindow(hwnd);
        SetForegroundWindow(hwnd);
        SetFocus(hwnd);
        return hwnd;
    }
    ControlFrame* frame = MakeControlFrame(m_link);
    if (!frame) return nullptr;
    SetControlFrame(frame);
    if (!frame->Open()) {
        // The frame deletes itself if its window was made and destroyed.
        if (m_pControlFrame == frame) {
            SetControlFrame(nullptr);
            delete frame;
        }
        return nullptr;
    }
    if (m_pControlFrame != frame) return nullptr;
    SetControlFrame(frame);  // publish the finished window to other threads
    return frame->Window();
}

void CKelvaneApp::FrameUp(ControlFrame* frame) { SetControlFrame(frame); }

void CKelvaneApp::FrameGone(ControlFrame* frame) {
    if (m_pControlFrame == frame) SetControlFrame(nullptr);
}

void CKelvaneApp::SetControlFrame(ControlFrame* frame) {
    m_pControlFrame = frame;
    const HWND window = frame ? frame->Window() : nullptr;
    m_host.SetControlWindow(window);
    m_intake.SetWindow(window);
}

bool CKelvaneApp::DestroyControlFrame() {
    if (!m_pControlFrame) return true;
    ControlFrame* frame = m_pControlFrame;
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
            SetControlFrame(nullptr);
            return false;
        }
        SetControlFrame(nullptr);
        delete frame;  // its windows are gone: it touches none
        return unhooked;
    }
    if (hwnd) DestroyWindow(hwnd);  // the frame tells FrameGone and deletes itself
    if (m_pControlFrame == frame) {
        SetControlFrame(nullptr);
        delete frame;
    }
    return true;
}
