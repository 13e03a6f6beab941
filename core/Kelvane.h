// CKelvaneApp: the plug-in's application object. It owns the parameter set
// (public members, read and written directly by the pages), both shared
// blocks, the read-back snapshot, the host window and the control frame.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "KelvaneHost.h"
#include "core/WinApp.h"
#include "core/logic/IniRules.h"
#include "core/logic/PageContext.h"
#include "core/logic/ParameterSet.h"
#include "core/logic/ReadBack.h"
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

    // INI (the path is the host's work folder + "\KelvaneCtrl.ini").
    void LoadWorkFolder();
    void LoadGeneralControl();
    void LoadDtGainControl();
    void LoadDipoleControl();
    void LoadMonopoleControl();
    void LoadAcousticProcess();
    void SetDefaultParameters();
    void SaveGeneralControl();
    void SaveDtGainControl();
    void SaveMonopoleControl();
    void SaveDipoleControl();
    void SaveAcousticProcess();

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
    void CopyStatusWords(const int16_t* frame);
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
    void SaveAllSections();
    void DestroyControlFrame();

    CMainFrame* m_pControlFrame = nullptr;
    std::atomic<HWND> m_frameWnd{nullptr};  // read by ToolControlProcess on host threads
    std::atomic<bool> m_noticePending{false};
    HANDLE m_processMapping = nullptr;
    HANDLE m_toolControlMapping = nullptr;
    kelvane::BlockView m_processBlock;
    kelvane::BlockView m_toolControlBlock;
};

// The one application object, through the framework's accessor.
CKelvaneApp* KelvaneApp();
