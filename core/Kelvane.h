// CKelvaneApp: the plug-in's application object. It owns the parameter set
// (public members, read and written directly by the pages), both shared
// blocks, the read-back snapshot, the host window and the control frame.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "KelvaneHost.h"
#include "core/SaveWorker.h"
#include "core/SettingsFile.h"
#include "core/WinApp.h"
#include "core/logic/IniRules.h"
#include "core/logic/JobJournal.h"
#include "core/logic/PageContext.h"
#include "core/logic/ParameterSet.h"
#include "core/logic/ReadBack.h"
#include "core/logic/SaveRules.h"
#include "core/logic/SendLog.h"
#include "core/logic/SharedBlock.h"

class CMainFrame;

class CKelvaneApp : public CWinApp,
                    public kelvane::ParameterSet,
                    public kelvane::CommandSink,
                    public kelvane::BlockPublisher {
public:
    CKelvaneApp();
    ~CKelvaneApp() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    // The host process is exiting without unloading us: save, skip window teardown.
    void ProcessExitShutdown();

    // INI (the path is the host's work folder + "\KelvaneCtrl.ini", made
    // full when the library loads).
    void LoadWorkFolder();
    void LoadGeneralControl();
    void LoadDtGainControl();
    void LoadDipoleControl();
    void LoadMonopoleControl();
    void LoadAcousticProcess();
    void SetDefaultParameters();
    // Each puts its section's keys into the store in writing order; a save
    // writes them all to the file at once (SettingsFile).
    void SaveGeneralControl(kelvane::ProfileStore& ini) const;
    void SaveDtGainControl(kelvane::ProfileStore& ini) const;
    void SaveMonopoleControl(kelvane::ProfileStore& ini) const;
    void SaveDipoleControl(kelvane::ProfileStore& ini) const;
    void SaveAcousticProcess(kelvane::ProfileStore& ini) const;
    // Saves beside unload and exit: a few seconds after the operator's last
    // change (from the frame's timer), and when the window closes. Written
    // off the calling thread (SaveWorker): a held file never holds up the UI.
    void SaveWhenSettled();
    void SaveIfChanged();
    // After ExitInstance: whether the control window went with the library
    // (false only when another thread owns it and did not let it go in time).
    bool WindowsGone() const { return m_windowsGone; }
    // Where the settings went when not to the INI, and why: told once, as
    // the control window opens ("" when there is nothing to tell).
    bool SettingsNoticePending();
    std::string TakeSettingsNotice();
    // How the last save that had something to write went ("" line: well).
    CSettingsFile::Status SettingsStatus() const;

    // Shared blocks.
    void OpenProcessBlock();
    void OpenToolControlBlock();
    void PublishParameters();
    void CloseToolControlBlock();
    void CloseProcessBlock();
    kelvane::BlockView ProcessBlock() const override { return m_processBlock; }
    kelvane::BlockView ToolControlBlock() const override { return m_toolControlBlock; }
    // What the pages are given: this object as their parameters, command sink and publisher.
    kelvane::PageContext Context() { return {*this, *this, *this}; }

    // Commands and read-back.
    void SendToolCommand(const kelvane::ToolCommand* block) override;
    void BeginBatch(const char* what) override;
    void EndBatch() override;
    bool SentSinceStart(int32_t code) const override { return m_sendLog.SentSinceStart(code); }
    // What the status strip says was sent last.
    const kelvane::SendLog& Sent() const { return m_sendLog; }
    // Every command since the library loaded, for the job record.
    const kelvane::JobJournal& Journal() const { return m_journal; }

    // Set-ups live in "Setups" beside the settings file.
    std::string SetupFolder() const;
    // Both blocks take every value of the parameter set (a set-up was loaded).
    void PublishWholeSet();
    // What the job record shows: the set-up loaded last ("" none), the
    // notices the operator was shown and the saves that failed.
    std::string m_setupLoaded;
    std::vector<std::string> m_noticesShown;
    std::vector<std::string> m_failedSaves;
    void NoteNoticeShown(const std::string& text);
    // Null for a frame without usable read-back words; counted either way.
    void CopyStatusWords(const int16_t* frame);
    const kelvane::FrameCounts& Frames() const { return m_frames; }
    void DispatchStatus();
    // From ToolControlProcess, any thread: post one notice unless one is pending.
    void NotifyControlFrame();

    // Control frame (none when no window exists).
    HWND ShowControlFrame();
    void SetControlFrame(CMainFrame* frame);
    CMainFrame* ControlFrame() const { return m_pControlFrame; }
    HWND ControlFrameWindow() const { return m_frameWnd.load(); }

    std::string m_iniPath;
    std::string m_workFolder;
    HWND m_hostWnd = nullptr;
    kelvane::ToolStatusSnapshot m_status{};

private:
    kelvane::ProfileStore& LoadStore(kelvane::ProfileStore& platform);
    kelvane::SavedKeys RenderSettings() const;
    void SaveAllSections();
    void SaveSettings(const kelvane::SavedKeys& keys);
    bool DestroyControlFrame();

    CSettingsFile m_settings;
    CSaveWorker m_saveWorker{m_settings};
    bool m_windowsGone = true;
    kelvane::ProfileStore* m_loading = nullptr;  // start-up's reader while it loads
    kelvane::SaveSchedule m_saveSchedule;
    kelvane::SendLog m_sendLog;
    kelvane::JobJournal m_journal;
    kelvane::FrameCounts m_frames;  // written by ToolControlProcess on host threads
    CMainFrame* m_pControlFrame = nullptr;
    std::atomic<HWND> m_frameWnd{nullptr};  // read by ToolControlProcess on host threads
    HANDLE m_processMapping = nullptr;
    HANDLE m_toolControlMapping = nullptr;
    kelvane::BlockView m_processBlock;
    kelvane::BlockView m_toolControlBlock;
};

// The one application object, through the framework's accessor.
CKelvaneApp* KelvaneApp();

// Whether n bytes at p can be read: committed, readable, not a guard page, in
// as many regions as they span. For addresses the host hands over.
bool Readable(const void* p, size_t n);
