#include "core/logic/SendLog.h"

#include "base/logic/NumberText.h"
#include "base/logic/Text.h"
#include "core/logic/CommandList.h"

namespace kelvane {

std::string DescribeCommand(const ToolCommand& block) {
    const CommandRow* row = FindCommand(block.CodeWord);
    if (!row) return "command " + CodeHex(block.CodeWord, false);
    std::string name = row->label;
    const int32_t v = block.Payload[0];
    switch (row->unit) {
    case ValueUnit::None: return name;
    case ValueUnit::Db: return name + " " + FormatInt(v) + " dB";
    case ValueUnit::Us: return name + " " + FormatInt(v) + " us";
    case ValueUnit::Count: return name + " " + FormatInt(v);
    case ValueUnit::OnOff: return name + (v == VALUE_ON ? " on" : " off");
    }
    return name;
}

const char* CommandUnit(int32_t code) {
    const CommandRow* row = FindCommand(code);
    switch (row ? row->unit : ValueUnit::None) {
    case ValueUnit::Db: return "dB";
    case ValueUnit::Us: return "us";
    case ValueUnit::OnOff: return "on/off";
    case ValueUnit::Count: return "count";
    case ValueUnit::None: return "";
    }
    return "";
}

void SendLog::BeginBatch(const char* what) {
    if (m_depth++ > 0) return;
    m_batch = what ? what : "";
    m_batchCount = 0;
    m_batchLost = 0;
}

void SendLog::EndBatch(int32_t secondsOfDay) {
    if (m_depth == 0 || --m_depth > 0) return;
    const uint32_t sent = m_batchCount - m_batchLost;
    std::string line = FormatClock(secondsOfDay) + " " + m_batch + ": ";
    if (sent == 0) line += "nothing sent";
    else line += FormatInt(static_cast<int32_t>(sent)) + (sent == 1 ? " command sent" : " commands sent");
    if (m_batchLost > 0) line += ", " + FormatInt(static_cast<int32_t>(m_batchLost)) + " lost (no host window)";
    m_line = line;
}

namespace {
bool CodeIndex(int32_t code, uint32_t* index) {
    if (code < 0x8200 || code > 0x82FF) return false;
    *index = static_cast<uint32_t>(code - 0x8200);
    return true;
}
}  // namespace

bool SendLog::SentSinceStart(int32_t code) const {
    uint32_t i = 0;
    return CodeIndex(code, &i) && (m_delivered[i / 32] >> (i % 32) & 1u) != 0;
}

void SendLog::Sent(const ToolCommand& block, bool delivered, int32_t secondsOfDay) {
    uint32_t i = 0;
    if (delivered && CodeIndex(block.CodeWord, &i)) m_delivered[i / 32] |= 1u << (i % 32);
    if (m_depth > 0) {
        ++m_batchCount;
        if (!delivered) ++m_batchLost;
        return;
    }
    m_line = FormatClock(secondsOfDay) + (delivered ? " sent " : " lost (no host window): ") + DescribeCommand(block);
}

std::string SendLog::Line() const { return m_line; }

}  // namespace kelvane
