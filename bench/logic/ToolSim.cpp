#include "bench/logic/ToolSim.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/logic/NumberText.h"
#include "base/logic/Saturate.h"

namespace kelvane {
namespace {

int32_t ClampGain(int32_t g) { return std::min(GAIN_MAX_DB, std::max(GAIN_MIN_DB, g)); }

int16_t ToWord(int32_t v) { return static_cast<int16_t>(std::min<int32_t>(32767, std::max<int32_t>(-32768, v))); }

enum class Unit { None, Db, Us, OnOff, Count };

Unit UnitOf(int32_t code) {
    switch (code) {
    case CMD_MONO_STACK:
    case CMD_DIPOLE_STACK: return Unit::Count;
    case CMD_MONO_AUTO_GAIN:
    case CMD_DIPOLE_AUTO_GAIN:
    case CMD_DT_AUTO_GAIN:
    case CMD_MONO_DOWNHOLE_FILTER:
    case CMD_DIPOLE_DOWNHOLE_FILTER:
    case CMD_DT_DOWNHOLE_FILTER: return Unit::OnOff;
    case CMD_MONO_WIN_END:
    case CMD_DIPOLE_WIN_END:
    case CMD_DT_WIN_START:
    case CMD_DT_WIN_END:
    case CMD_DT_TOTAL_OFFSET:
    case CMD_MONO_SAMPLERATE:
    case CMD_DIPOLE_SAMPLERATE: return Unit::Us;
    default: break;
    }
    if ((code >= CMD_MONO_CH1_GAIN && code <= CMD_MONO_ALL_GAIN) ||
        (code >= CMD_DIPOLE_CH1_GAIN && code <= CMD_DIPOLE_ALL_GAIN) ||
        (code >= CMD_DT_CH1_GAIN && code <= CMD_DT_ALL_GAIN))
        return Unit::Db;
    if (code >= CMD_DT_RXDELAY && code <= CMD_DIPOLE_RXDELAY_STEP) return Unit::Us;
    return Unit::None;
}

// Triangle wave 0..24..0 over 64 frames.
int32_t Triangle(int64_t t) {
    const int32_t p = static_cast<int32_t>(((t % 64) + 64) % 64);
    return (p < 32 ? p : 64 - p) * 24 / 32;
}

}  // namespace

ToolState PowerOnState() {
    ToolState t{};
    for (int s = 0; s < 3; ++s) {
        SectionState& sec = t.Sec[s];
        for (int32_t& g : sec.Gain) g = 20;
        sec.AutoGain = false;
        sec.DownholeFilter = false;
        sec.Stack = 1;
    }
    SectionState& dt = t.Sec[static_cast<int>(Section::Dt)];
    dt.WinStart = 100;
    dt.WinEnd = 400;
    dt.TotalOffset = 20;
    dt.RxDelay = 120;
    dt.RxDelayStep = 0;
    dt.SampleInterval = 8;
    SectionState& mono = t.Sec[static_cast<int>(Section::Mono)];
    mono.WinEnd = 1000;
    mono.RxDelay = 120;
    mono.RxDelayStep = 0;
    mono.SampleInterval = 12;
    SectionState& dip = t.Sec[static_cast<int>(Section::Dipole)];
    dip.WinEnd = 2000;
    dip.RxDelay = 400;
    dip.RxDelayStep = 0;
    dip.SampleInterval = 24;
    t.GainStep = 3;
    return t;
}

void ToolSim::PowerOn() {
    m_state = PowerOnState();
    SetLag(m_lag);
}

void ToolSim::SetLag(int frames) {
    m_lag = std::max(0, std::min(frames, 1000));
    // The frames still in flight carry what the tool applies now.
    m_history.assign(static_cast<size_t>(m_lag), Applied());
}

int32_t ToolSim::FormationSignal(int64_t frame, Section s, int ch) {
    return Triangle(frame + ch * 5 + static_cast<int>(s) * 11);
}

int32_t ToolSim::AutoGainFor(int64_t frame, Section s, int ch, int32_t gainStep) {
    const int32_t step = gainStep >= 1 && gainStep <= 3 ? gainStep : 1;
    const int32_t g = 60 - FormationSignal(frame, s, ch);
    return ClampGain(g / step * step);
}

int32_t ToolSim::AppliedGain(Section s, int ch) const {
    const int si = static_cast<int>(s);
    if (m_faults.StuckSection == si && m_faults.StuckChannel == ch) return m_faults.StuckGain;
    const SectionState& sec = m_state.Sec[si];
    const int32_t g = sec.AutoGain ? AutoGainFor(m_frame, s, ch, m_state.GainStep) : sec.Gain[ch];
    if (m_faults.OffsetSection == si && m_faults.OffsetChannel == ch)
        return ClampGain(AddSat(g, m_faults.ChannelOffset));
    return g;
}

AppliedGains ToolSim::Applied() const {
    AppliedGains a{};
    for (int c = 0; c < 4; ++c) a.Dt[c] = AppliedGain(Section::Dt, c);
    for (int c = 0; c < 8; ++c) a.Mono[c] = AppliedGain(Section::Mono, c);
    for (int c = 0; c < 8; ++c) a.Dipole[c] = AppliedGain(Section::Dipole, c);
    return a;
}

void ToolSim::StickChannel(Section s, int ch) {
    const int n = kSectionChannels[static_cast<int>(s)];
    if (ch < 0 || ch >= n) return;
    ClearStuck();
    m_faults.StuckGain = AppliedGain(s, ch);
    m_faults.StuckSection = static_cast<int>(s);
    m_faults.StuckChannel = ch;
}

void ToolSim::PinChannel(Section s, int ch, bool top) {
    if (ch < 0 || ch >= kSectionChannels[static_cast<int>(s)]) return;
    m_faults.StuckSection = static_cast<int>(s);
    m_faults.StuckChannel = ch;
    m_faults.StuckGain = top ? GAIN_MAX_DB : GAIN_MIN_DB;
}

void ToolSim::OffsetChannel(Section s, int ch, int32_t db) {
    if (ch < 0 || ch >= kSectionChannels[static_cast<int>(s)]) return;
    m_faults.OffsetSection = static_cast<int>(s);
    m_faults.OffsetChannel = ch;
    m_faults.ChannelOffset = db;
}

bool ToolSim::Apply(const ToolCommand& cmd) {
    const int32_t code = cmd.CodeWord;
    const int32_t v = cmd.Payload[0];
    // Commands without a value.
    switch (code) {
    case CMD_STATUS_CHECK: m_statusPending = true; return true;
    case CMD_GAIN_STEP_1DB:
    case CMD_GAIN_STEP_2DB:
    case CMD_GAIN_STEP_3DB: m_state.GainStep = code - CMD_GAIN_STEP_1DB + 1; return true;
    case CMD_DSP_RESET: {
        // The DSPs forget their acquisition set-up; delays and the gain step
        // live in the tool controller and survive.
        const ToolState on = PowerOnState();
        for (int s = 0; s < 3; ++s) {
            SectionState& sec = m_state.Sec[s];
            const SectionState keep = sec;
            sec = on.Sec[s];
            sec.RxDelay = keep.RxDelay;
            sec.RxDelayStep = keep.RxDelayStep;
            sec.SampleInterval = keep.SampleInterval;
        }
        ++m_dspResets;
        return true;
    }
    case CMD_TOOL_RESET:
        m_state = PowerOnState();
        ++m_toolResets;
        return true;
    default: break;
    }
    if (cmd.ArgWord != ARG_VALUE) return false;

    auto onOff = [&](bool& flag) {
        if (v != VALUE_ON && v != VALUE_OFF) return false;
        flag = v == VALUE_ON;
        return true;
    };
    SectionState& dt = m_state.Sec[static_cast<int>(Section::Dt)];
    SectionState& mono = m_state.Sec[static_cast<int>(Section::Mono)];
    SectionState& dip = m_state.Sec[static_cast<int>(Section::Dipole)];

    if (code >= CMD_MONO_CH1_GAIN && code <= CMD_MONO_CH8_GAIN) {
        mono.Gain[code - CMD_MONO_CH1_GAIN] = ClampGain(v);
        return true;
    }
    if (code >= CMD_DIPOLE_CH1_GAIN && code <= CMD_DIPOLE_CH8_GAIN) {
        dip.Gain[code - CMD_DIPOLE_CH1_GAIN] = ClampGain(v);
        return true;
    }
    if (code >= CMD_DT_CH1_GAIN && code <= CMD_DT_CH4_GAIN) {
        dt.Gain[code - CMD_DT_CH1_GAIN] = ClampGain(v);
        return true;
    }
    switch (code) {
    case CMD_MONO_ALL_GAIN: std::fill(mono.Gain, mono.Gain + 8, ClampGain(v)); return true;
    case CMD_DIPOLE_ALL_GAIN: std::fill(dip.Gain, dip.Gain + 8, ClampGain(v)); return true;
    case CMD_DT_ALL_GAIN: std::fill(dt.Gain, dt.Gain + 4, ClampGain(v)); return true;
    case CMD_MONO_STACK: mono.Stack = std::min(4, std::max(1, v)); return true;
    case CMD_DIPOLE_STACK: dip.Stack = std::min(4, std::max(1, v)); return true;
    case CMD_MONO_AUTO_GAIN: return onOff(mono.AutoGain);
    case CMD_DIPOLE_AUTO_GAIN: return onOff(dip.AutoGain);
    case CMD_DT_AUTO_GAIN: return onOff(dt.AutoGain);
    case CMD_MONO_DOWNHOLE_FILTER: return onOff(mono.DownholeFilter);
    case CMD_DIPOLE_DOWNHOLE_FILTER: return onOff(dip.DownholeFilter);
    case CMD_DT_DOWNHOLE_FILTER: return onOff(dt.DownholeFilter);
    case CMD_MONO_WIN_END: mono.WinEnd = v; return true;
    case CMD_DIPOLE_WIN_END: dip.WinEnd = v; return true;
    case CMD_DT_WIN_START: dt.WinStart = v; return true;
    case CMD_DT_WIN_END: dt.WinEnd = v; return true;
    case CMD_DT_TOTAL_OFFSET: dt.TotalOffset = v; return true;
    case CMD_MONO_SAMPLERATE: mono.SampleInterval = v; return true;
    case CMD_DIPOLE_SAMPLERATE: dip.SampleInterval = v; return true;
    case CMD_DT_RXDELAY: dt.RxDelay = v; return true;
    case CMD_DT_RXDELAY_STEP: dt.RxDelayStep = v; return true;
    case CMD_MONO_RXDELAY: mono.RxDelay = v; return true;
    case CMD_MONO_RXDELAY_STEP: mono.RxDelayStep = v; return true;
    case CMD_DIPOLE_RXDELAY: dip.RxDelay = v; return true;
    case CMD_DIPOLE_RXDELAY_STEP: dip.RxDelayStep = v; return true;
    default: return false;
    }
}

bool ToolSim::NextFrame(int16_t* frame, size_t words) {
    ++m_frame;
    m_history.push_back(Applied());
    while (m_history.size() > static_cast<size_t>(m_lag) + 1) m_history.pop_front();
    m_reported = m_history.front();
    if (m_faults.DropEvery > 0 && m_frame % m_faults.DropEvery == 0) return false;
    if (!frame || words < static_cast<size_t>(FRAME_MIN_WORDS)) return false;

    std::memset(frame, 0, words * sizeof(int16_t));
    const int32_t off = m_faults.ReadBackOffset;
    for (int c = 0; c < 4; ++c) frame[READBACK_DT_WORD + c] = ToWord(AddSat(m_reported.Dt[c], off));
    for (int c = 0; c < 8; ++c) frame[READBACK_MONO_WORD + c] = ToWord(AddSat(m_reported.Mono[c], off));
    for (int c = 0; c < 8; ++c) frame[READBACK_DIPOLE_WORD + c] = ToWord(AddSat(m_reported.Dipole[c], off));
    // A frame counter in the first two words helps when reading dumps.
    frame[0] = static_cast<int16_t>(m_frame & 0x7FFF);
    frame[1] = static_cast<int16_t>((m_frame >> 15) & 0x7FFF);
    return true;
}

DspStatusReport ToolSim::StatusReport() const {
    DspStatusReport r{};
    r.StatusWord = m_faults.DspFaultBits;
    return r;
}

bool ToolSim::TakeStatusReport(DspStatusReport* out) {
    if (!m_statusPending) return false;
    m_statusPending = false;
    if (out) *out = StatusReport();
    return true;
}

std::string DescribeValue(const ToolCommand& cmd) {
    char buf[48];
    const int32_t v = cmd.Payload[0];
    switch (UnitOf(cmd.CodeWord)) {
    case Unit::Db: std::snprintf(buf, sizeof buf, "%d dB", v); break;
    case Unit::Us: std::snprintf(buf, sizeof buf, "%d us", v); break;
    case Unit::Count: std::snprintf(buf, sizeof buf, "%d", v); break;
    case Unit::OnOff:
        if (v == VALUE_ON) return "on";
        if (v == VALUE_OFF) return "off";
        std::snprintf(buf, sizeof buf, "0x%X (neither on nor off)", static_cast<unsigned>(v));
        break;
    default: return "-";
    }
    return buf;
}

namespace {
std::string JsonEscape(const char* s) {
    std::string out;
    for (; s && *s; ++s) {
        if (*s == '"' || *s == '\\') out += '\\';
        out += *s;
    }
    return out;
}
}  // namespace

std::string JournalJson(double timeMs, const ToolCommand& cmd) {
    const char* name = CommandName(cmd.CodeWord);
    char buf[320];
    std::snprintf(buf, sizeof buf,
                  "{\"t_ms\":%s,\"code\":\"0x%04X\",\"name\":\"%s\",\"value\":%d,\"unit\":\"%s\",\"text\":\"%s\","
                  "\"words\":[%d,%d,%d]}",
                  FormatFixed(timeMs, 3).c_str(), static_cast<unsigned>(cmd.CodeWord), name ? name : "?",
                  cmd.Payload[0], CommandUnit(cmd.CodeWord), JsonEscape(DescribeValue(cmd).c_str()).c_str(),
                  cmd.CodeWord, cmd.ArgWord, cmd.Payload[0]);
    return buf;
}

std::string JournalCsv(double timeMs, const ToolCommand& cmd) {
    const char* name = CommandName(cmd.CodeWord);
    char buf[256];
    std::snprintf(buf, sizeof buf, "%s,0x%04X,%s,%s,%d,%d,%d", FormatFixed(timeMs, 3).c_str(),
                  static_cast<unsigned>(cmd.CodeWord), name ? name : "?", DescribeValue(cmd).c_str(), cmd.CodeWord,
                  cmd.ArgWord, cmd.Payload[0]);
    return buf;
}

}  // namespace kelvane
