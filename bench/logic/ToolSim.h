// The simulated Varro acoustic tool behind the bench host: it applies every
// tool command, chooses its own gains in auto mode, and reports the gains it
// applies in each data frame, N frames late. Faults can be injected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "KelvaneHost.h"
#include "core/logic/SendLog.h"

namespace kelvane {

enum class Section { Dt = 0, Mono = 1, Dipole = 2 };
constexpr int kSectionChannels[3] = {4, 8, 8};

struct SectionState {
    int32_t Gain[8];  // commanded manual gains, dB
    bool AutoGain;
    bool DownholeFilter;
    int32_t Stack;        // monopole / dipole
    int32_t WinStart;     // DT first window start, us
    int32_t WinEnd;       // window end, us
    int32_t TotalOffset;  // DT window offset per channel, us
    int32_t RxDelay;
    int32_t RxDelayStep;
    int32_t SampleInterval;
};

struct ToolState {
    SectionState Sec[3];  // indexed by Section
    int32_t GainStep;     // 1, 2 or 3 dB
};

// The tool as it comes out of a reset.
ToolState PowerOnState();

// The gains the tool applies, in frame order.
struct AppliedGains {
    int32_t Dt[4];
    int32_t Mono[8];
    int32_t Dipole[8];
};

struct Faults {
    int StuckSection = -1;  // Section as int; -1 = no stuck channel
    int StuckChannel = 0;   // 0-based
    int32_t StuckGain = 0;  // what the stuck channel keeps
    // One channel's gain runs this far from what it should be (a faulty
    // gain stage), within the drive range.
    int OffsetSection = -1;
    int OffsetChannel = 0;
    int32_t ChannelOffset = 0;
    int32_t ReadBackOffset = 0;  // dB added to every read-back word
    int DropEvery = 0;           // every Nth frame is null; 0 = none
    uint16_t DspFaultBits = 0;   // bit i set = DSP line i in error
};

class ToolSim {
public:
    ToolSim() { PowerOn(); }

    // Applies one command block. False for an unknown code or a value command
    // without its value word; the state is then unchanged.
    bool Apply(const ToolCommand& cmd);

    // Advances one frame. Fills frame (at least FRAME_MIN_WORDS words) and
    // returns true, or returns false for a dropped frame (frame untouched).
    bool NextFrame(int16_t* frame, size_t words);

    // The report the tool answers a status check with; true once per check.
    bool TakeStatusReport(DspStatusReport* out);
    DspStatusReport StatusReport() const;

    void SetLag(int frames);
    int Lag() const { return m_lag; }
    Faults& Fault() { return m_faults; }
    const Faults& Fault() const { return m_faults; }
    // Sticks channel ch (0-based) of a section at the gain it applies now.
    void StickChannel(Section s, int ch);
    void ClearStuck() { m_faults.StuckSection = -1; }
    // Pins channel ch at the top of the drive range (no signal) or at its
    // bottom (saturation); cleared as a stuck channel is.
    void PinChannel(Section s, int ch, bool top);
    void OffsetChannel(Section s, int ch, int32_t db);

    const ToolState& State() const { return m_state; }
    AppliedGains Applied() const;  // this frame's gains, before lag and faults
    AppliedGains LastReported() const { return m_reported; }
    int64_t FrameCount() const { return m_frame; }
    int DspResets() const { return m_dspResets; }
    int ToolResets() const { return m_toolResets; }

    // The simulated formation signal of a channel, dB above the noise floor.
    static int32_t FormationSignal(int64_t frame, Section s, int ch);
    // The gain the tool picks in auto mode: quiet formations get more gain.
    static int32_t AutoGainFor(int64_t frame, Section s, int ch, int32_t gainStep);

private:
    void PowerOn();
    int32_t AppliedGain(Section s, int ch) const;

    ToolState m_state{};
    Faults m_faults;
    int m_lag = 0;
    int64_t m_frame = 0;
    std::deque<AppliedGains> m_history;
    AppliedGains m_reported{};
    bool m_statusPending = false;
    int m_dspResets = 0;
    int m_toolResets = 0;
};

// Journal helpers: the text of a command's value ("78 dB", "on", "400 us",
// "-" for a command without value); its unit is the plug-in's CommandUnit.
std::string DescribeValue(const ToolCommand& cmd);
// One journal line as JSON (no trailing newline).
std::string JournalJson(double timeMs, const ToolCommand& cmd);
// One CSV row: time_ms,code,name,value,word0,word1,word2
std::string JournalCsv(double timeMs, const ToolCommand& cmd);

}  // namespace kelvane
