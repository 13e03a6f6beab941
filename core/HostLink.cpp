#include "core/HostLink.h"

#include <cassert>

#include "KelvaneHost.h"
#include "base/LocalClock.h"
#include "core/FieldTrace.h"
#include "core/logic/DriveLimits.h"

using kelvane::ToolCommand;

void CHostLink::SendToolCommand(const ToolCommand* block) {
    // A host window that is gone (or not given yet) loses the command; the
    // status strip says so.
    if (!block) return;
    // The last guard: every path limits before it sends, so a value limited
    // here is a path that forgot; the tool still never sees it.
    ToolCommand sent = *block;
    const bool limited = kelvane::LimitCommand(sent, m_limits);
    assert(!limited && "a command left its drive range");
    if (limited) FieldTrace::NoteCommand(kelvane::TraceKind::LastGuardLimit, *block, sent);
    const bool delivered = m_hostWnd && IsWindow(m_hostWnd);
    // One reading of the clock: the strip and the record give the same second.
    const kelvane::JournalTime now = LocalJournalTime();
    m_sendLog.Sent(sent, delivered, now.msOfDay / 1000);
    m_journal.Record(now, sent.CodeWord, block->Payload[0], sent.Payload[0], delivered);
    if (!delivered) {
        FieldTrace::NoteCommand(kelvane::TraceKind::CommandLost, sent, sent);
        return;
    }
    SendMessageA(m_hostWnd, kelvane::WM_TOOLCONTROL, reinterpret_cast<WPARAM>(m_controlWnd),
                 reinterpret_cast<LPARAM>(&sent));
}

void CHostLink::BeginBatch(const char* what) {
    m_sendLog.BeginBatch(what);
    m_journal.BeginAction(what);
}

void CHostLink::EndBatch() {
    m_sendLog.EndBatch(LocalSecondsOfDay());
    m_journal.EndAction();
}
