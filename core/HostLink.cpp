#include "core/HostLink.h"

#include <cassert>

#include "KelvaneHost.h"
#include "base/LocalClock.h"
#include "core/FieldTrace.h"
#include "core/logic/DriveLimits.h"
#include "core/logic/TrendStore.h"

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
    // The value the operator asked for, where the page limited it first.
    const int32_t asked = m_hasAsked ? m_asked : block->Payload[0];
    m_hasAsked = false;
    m_journal.Record(now, sent.CodeWord, asked, sent.Payload[0], delivered);
    if (m_job) {
        m_job->Command(sent.CodeWord, asked, sent.Payload[0], m_action, delivered);
        if (sent.CodeWord == kelvane::CMD_TOOL_RESET)
            m_job->Event(delivered ? "Tool Reset" : "Tool Reset (no host window took it)", -1,
                         static_cast<int>(kelvane::TrendMarkKind::ToolReset));
    }
    if (!delivered) {
        FieldTrace::NoteCommand(kelvane::TraceKind::CommandLost, sent, sent);
        return;
    }
    SendMessageA(m_hostWnd, kelvane::WM_TOOLCONTROL, reinterpret_cast<WPARAM>(m_controlWnd),
                 reinterpret_cast<LPARAM>(&sent));
}

void CHostLink::BeginBatch(const char* what) {
    if (m_depth++ == 0) m_action = what && *what ? what : "operator";
    m_sendLog.BeginBatch(what);
    m_journal.BeginAction(what);
}

void CHostLink::EndBatch() {
    if (m_depth > 0 && --m_depth == 0) m_action = "operator";
    m_sendLog.EndBatch(LocalSecondsOfDay());
    m_journal.EndAction();
}

std::string CHostLink::ToolHolds(int32_t code) const {
    kelvane::SentValue v;
    if (!m_job) return std::string();
    if (!m_job->LastSent(code, &v)) return "tool: not known";
    kelvane::ToolCommand c{};
    c.CodeWord = code;
    c.Payload[0] = v.value;
    const kelvane::JournalTime now = LocalJournalTime();
    const std::string when = kelvane::FormatJournalTime(v.at).substr(0, 19);
    return "tool: " + kelvane::DescribeCommand(c) + ", sent " + (v.at.date == now.date ? when.substr(11) : when) +
           (v.thisLoad ? "" : " before the reload");
}

bool CHostLink::ToolValue(int32_t code, int32_t* value) const {
    kelvane::SentValue v;
    if (!m_job || !m_job->LastSent(code, &v)) return false;
    *value = v.value;
    return true;
}
