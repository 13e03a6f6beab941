// Where the tool's commands go: the host window ToolControlInit gave, which
// forwards each one downhole. Every command passes the last guard (the drive
// table) here, and is noted in the send log (the status strip's line) and the
// journal (the job record), also when no host window took it.
#pragma once

#include <windows.h>

#include <string>

#include "core/JobLog.h"
#include "core/logic/JobJournal.h"
#include "core/logic/PageContext.h"
#include "core/logic/ParameterSet.h"
#include "core/logic/SendLog.h"

class CHostLink : public kelvane::CommandSink {
public:
    // limits: the settings the drive table's window-end caps follow.
    explicit CHostLink(const kelvane::ParameterSet& limits) : m_limits(limits) {}
    CHostLink(const CHostLink&) = delete;
    CHostLink& operator=(const CHostLink&) = delete;

    // The last value wins; until given, commands reach no window and are lost.
    void SetHostWindow(HWND host) { m_hostWnd = host; }
    HWND HostWindow() const { return m_hostWnd; }
    // The control window each command names (wParam); null while none is open.
    void SetControlWindow(HWND control) { m_controlWnd = control; }
    // Where every command is written down for the job (none until given).
    void SetJobLog(CJobLog* job) { m_job = job; }

    // Synchronous: the host has finished with the block when this returns.
    void SendToolCommand(const kelvane::ToolCommand* block) override;
    void BeginBatch(const char* what) override;
    void EndBatch() override;
    void AskedFor(int32_t value) override {
        m_asked = value;
        m_hasAsked = true;
    }
    bool SentSinceStart(int32_t code) const override { return m_sendLog.SentSinceStart(code); }
    std::string ToolHolds(int32_t code) const override;
    bool ToolValue(int32_t code, int32_t* value) const override;

    // What the status strip says was sent last.
    const kelvane::SendLog& Sent() const { return m_sendLog; }
    // Every command since the library loaded, for the job record.
    const kelvane::JobJournal& Journal() const { return m_journal; }

private:
    const kelvane::ParameterSet& m_limits;
    HWND m_hostWnd = nullptr;
    HWND m_controlWnd = nullptr;
    kelvane::SendLog m_sendLog;
    kelvane::JobJournal m_journal;
    CJobLog* m_job = nullptr;
    int m_depth = 0;
    std::string m_action = "operator";  // the outermost batch's name
    int32_t m_asked = 0;
    bool m_hasAsked = false;
};
