#include "core/logic/SendLog.h"

#include "base/logic/NumberText.h"

namespace kelvane {

namespace {

enum class Unit { None, Db, Us, OnOff, Count };

struct Label {
    int32_t first;  // a run of codes: first..last, "CHn" numbered from first
    int32_t last;
    const char* name;
    Unit unit;
};

// Channel runs carry "CH" and the channel number after the section.
const Label kLabels[] = {
    {CMD_STATUS_CHECK, CMD_STATUS_CHECK, "Status check", Unit::None},
    {CMD_MONO_CH1_GAIN, CMD_MONO_CH8_GAIN, "Monopole CH# gain", Unit::Db},
    {CMD_MONO_ALL_GAIN, CMD_MONO_ALL_GAIN, "Monopole ALL gain", Unit::Db},
    {CMD_MONO_STACK, CMD_MONO_STACK, "Monopole stack", Unit::Count},
    {CMD_MONO_AUTO_GAIN, CMD_MONO_AUTO_GAIN, "Monopole auto gain", Unit::OnOff},
    {CMD_MONO_WIN_END, CMD_MONO_WIN_END, "Monopole window end", Unit::Us},
    {CMD_MONO_DOWNHOLE_FILTER, CMD_MONO_DOWNHOLE_FILTER, "Monopole downhole filter", Unit::OnOff},
    {CMD_MONO_SAMPLERATE, CMD_MONO_SAMPLERATE, "Monopole sample interval", Unit::Us},
    {CMD_DIPOLE_CH1_GAIN, CMD_DIPOLE_CH8_GAIN, "Dipole CH# gain", Unit::Db},
    {CMD_DIPOLE_ALL_GAIN, CMD_DIPOLE_ALL_GAIN, "Dipole ALL gain", Unit::Db},
    {CMD_DIPOLE_STACK, CMD_DIPOLE_STACK, "Dipole stack", Unit::Count},
    {CMD_DIPOLE_AUTO_GAIN, CMD_DIPOLE_AUTO_GAIN, "Dipole auto gain", Unit::OnOff},
    {CMD_DIPOLE_DOWNHOLE_FILTER, CMD_DIPOLE_DOWNHOLE_FILTER, "Dipole downhole filter", Unit::OnOff},
    {CMD_DIPOLE_WIN_END, CMD_DIPOLE_WIN_END, "Dipole window end", Unit::Us},
    {CMD_DIPOLE_SAMPLERATE, CMD_DIPOLE_SAMPLERATE, "Dipole sample interval", Unit::Us},
    {CMD_DT_CH1_GAIN, CMD_DT_CH4_GAIN, "DT CH# gain", Unit::Db},
    {CMD_DT_ALL_GAIN, CMD_DT_ALL_GAIN, "DT ALL gain", Unit::Db},
    {CMD_DT_WIN_START, CMD_DT_WIN_START, "DT window start", Unit::Us},
    {CMD_DT_WIN_END, CMD_DT_WIN_END, "DT window end", Unit::Us},
    {CMD_DT_TOTAL_OFFSET, CMD_DT_TOTAL_OFFSET, "DT window offset", Unit::Us},
    {CMD_DT_AUTO_GAIN, CMD_DT_AUTO_GAIN, "DT auto gain", Unit::OnOff},
    {CMD_DT_DOWNHOLE_FILTER, CMD_DT_DOWNHOLE_FILTER, "DT downhole filter", Unit::OnOff},
    {CMD_GAIN_STEP_1DB, CMD_GAIN_STEP_1DB, "Gain step 1 dB", Unit::None},
    {CMD_GAIN_STEP_2DB, CMD_GAIN_STEP_2DB, "Gain step 2 dB", Unit::None},
    {CMD_GAIN_STEP_3DB, CMD_GAIN_STEP_3DB, "Gain step 3 dB", Unit::None},
    {CMD_DSP_RESET, CMD_DSP_RESET, "DSP reset", Unit::None},
    {CMD_TOOL_RESET, CMD_TOOL_RESET, "Tool reset", Unit::None},
    {CMD_DT_RXDELAY, CMD_DT_RXDELAY, "DT receiver delay", Unit::Us},
    {CMD_DT_RXDELAY_STEP, CMD_DT_RXDELAY_STEP, "DT receiver delay step", Unit::Us},
    {CMD_MONO_RXDELAY, CMD_MONO_RXDELAY, "Monopole receiver delay", Unit::Us},
    {CMD_MONO_RXDELAY_STEP, CMD_MONO_RXDELAY_STEP, "Monopole receiver delay step", Unit::Us},
    {CMD_DIPOLE_RXDELAY, CMD_DIPOLE_RXDELAY, "Dipole receiver delay", Unit::Us},
    {CMD_DIPOLE_RXDELAY_STEP, CMD_DIPOLE_RXDELAY_STEP, "Dipole receiver delay step", Unit::Us},
};

}  // namespace

std::string CodeHex(int32_t code, bool upperCase) {
    const char* digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text = "0x";
    for (int shift = 12; shift >= 0; shift -= 4) text += digits[(static_cast<uint32_t>(code) >> shift) & 0xF];
    return text;
}

std::string DescribeCommand(const ToolCommand& block) {
    for (const Label& l : kLabels) {
        if (block.CodeWord < l.first || block.CodeWord > l.last) continue;
        std::string name = l.name;
        const size_t hash = name.find('#');
        if (hash != std::string::npos) name.replace(hash, 1, FormatInt(block.CodeWord - l.first + 1));
        const int32_t v = block.Payload[0];
        switch (l.unit) {
        case Unit::None: return name;
        case Unit::Db: return name + " " + FormatInt(v) + " dB";
        case Unit::Us: return name + " " + FormatInt(v) + " us";
        case Unit::Count: return name + " " + FormatInt(v);
        case Unit::OnOff: return name + (v == VALUE_ON ? " on" : " off");
        }
    }
    return "command " + CodeHex(block.CodeWord, false);
}

const char* CommandUnit(int32_t code) {
    for (const Label& l : kLabels) {
        if (code < l.first || code > l.last) continue;
        switch (l.unit) {
        case Unit::Db: return "dB";
        case Unit::Us: return "us";
        case Unit::OnOff: return "on/off";
        case Unit::Count: return "count";
        case Unit::None: return "";
        }
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
