// CKelvaneApp: the plug-in's application object, made when the library loads.
// It is the wiring of the exports: it owns the parameter set and the objects
// that do the work (the shared blocks, the host link, the frame intake, the
// settings store, the control window's holder) and runs start-up and
// shut-down in their order.
#pragma once

#include <windows.h>

#include <cstdint>

#include "core/FrameHolder.h"
#include "core/FrameIntake.h"
#include "core/FrameLink.h"
#include "core/HostLink.h"
#include "core/JobLog.h"
#include "core/SettingsStore.h"
#include "core/SharedBlocks.h"
#include "core/WinApp.h"
#include "core/logic/JobJournal.h"
#include "core/logic/JournalLines.h"
#include "core/logic/ParameterSet.h"
#include "core/logic/TrendStore.h"

class CKelvaneApp : public CWinApp {
public:
    CKelvaneApp();
    ~CKelvaneApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    // The host process is exiting without unloading us: save, skip window teardown.
    void ProcessExitShutdown();
    // After ExitInstance: whether the control window went with the library
    // (false only when another thread owns it and did not let it go in time).
    bool WindowsGone() const { return m_windowsGone; }
    // The control window another thread has yet to destroy after the unload.
    HWND LeftWindow() const { return m_frame.LeftWindow(); }

    // ToolControlInit: the window every tool command goes to.
    void SetHostWindow(HWND host) { m_host.SetHostWindow(host); }
    // ToolControlShow: raises the control window, or opens a new one (null
    // when none could be made).
    HWND ShowControlFrame();
    // ToolControlProcess, any host thread: the frame's words (null for a
    // frame without usable ones), then one notice to the window.
    void TakeFrame(const int16_t* frame);

private:
    // Every 100 ms on the journal's thread, window or not: the frame
    // stream's events (and the trend's sample).
    static void JobTick(void* self);
    void SampleTrend();
    // The job's trend before this load, from its journal.
    void RestoreTrend();

    kelvane::ParameterSet m_params{};
    CSharedBlocks m_blocks;
    CHostLink m_host{m_params};
    CFrameIntake m_intake;
    CSettingsStore m_settings{m_params};
    kelvane::SessionNotes m_notes;
    CJobLog m_job;
    kelvane::StreamEvents m_stream;  // the journal thread's only
    kelvane::TrendStore m_trend;     // sampled by the journal's thread, window or not
    CFrameHolder m_frame{m_host, m_intake};
    kelvane::FrameLink m_link{
        {m_params, m_host, m_blocks}, m_intake, m_host, m_settings, m_notes, m_job, m_trend, m_frame};
    bool m_windowsGone = true;
};
