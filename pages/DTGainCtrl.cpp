#include "pages/DTGainCtrl.h"

#include <commctrl.h>

#include "core/logic/DriveLimits.h"
#include "core/logic/IniRules.h"
#include "base/logic/Saturate.h"
#include "framework/Controls.h"
#include "pages/logic/GainRules.h"
#include "pages/logic/ReadBackCues.h"
#include "resource.h"

using namespace kelvane;

namespace {

const GainPageLayout kLayout = {
    4,
    {IDC_DT_CH1, IDC_DT_CH2, IDC_DT_CH3, IDC_DT_CH4, IDC_DT_ALL},
    {IDC_DT_SPIN_CH1, IDC_DT_SPIN_CH2, IDC_DT_SPIN_CH3, IDC_DT_SPIN_CH4, IDC_DT_SPIN_ALL},
    CMD_DT_CH1_GAIN,
    CMD_DT_ALL_GAIN,
    IDC_DT_AUTO_ON,
    IDC_DT_AUTO_OFF,
    CMD_DT_AUTO_GAIN,
    IDC_DT_FILTER,
    CMD_DT_DOWNHOLE_FILTER,
    false,
    IDC_DT_DOWNLOAD_ALL,
    "DT",
};

// The auto-gain window sliders: StartTime, WinLength, CH#2-4, in this order.
struct SliderRow {
    int id;
    int valueLabel;
    int lo, hi, lineStep, pageStep;
};
const SliderRow kSliders[3] = {
    {IDC_DT_START_TIME, IDC_DT_START_TIME_VALUE, 80, 2000, 8, 80},
    {IDC_DT_WIN_LENGTH, IDC_DT_WIN_LENGTH_VALUE, 200, 1200, 8, 80},
    {IDC_DT_OFFSET, IDC_DT_OFFSET_VALUE, 0, 100, 1, 10},
};
enum { kStartTime, kWinLength, kOffset };

}  // namespace

CDTGainCtrl::CDTGainCtrl(const PageContext& ctx)
    : CGainPage(IDD_DTGAIN, kLayout,
                GainPageValues{ctx.params.DtChGain, &ctx.params.DtAllGain, &ctx.params.DtIsAuto, &m_filterCheck}, ctx) {
}

CDTGainCtrl::~CDTGainCtrl() = default;

BOOL CDTGainCtrl::OnInitDialog() {
    CGainPage::OnInitDialog();
    ParameterSet& set = m_ctx.params;
    // A value outside a slider's range rests the thumb at the end, but the
    // label shows the value itself; the start's label shows the start in
    // force, the fitted one the block holds and the commands send.
    const int32_t values[3] = {set.DtFirstStartTime, set.DtFirstWinLength, set.DtTotalOffset};
    for (int k = 0; k < 3; ++k) {
        const SliderRow& s = kSliders[k];
        ctl::Slider(Item(s.id)).Setup(s.lo, s.hi, s.lineStep, s.pageStep);
        ShowSlider(k, values[k]);
    }
    SetItemInt(kSliders[kStartTime].valueLabel,
               FitDtWindows(values[kStartTime], values[kWinLength], values[kOffset]).start[0]);

    // The tool learns the auto-gain state each time the page opens.
    const bool on = set.DtIsAuto != 0;
    if (m_sendOnOpen) {
        AutoGain(on);
    } else {
        m_autoFlag = on ? 1 : 0;
        OnAutoGainSet(on);
        m_sendOnOpen = true;
    }
    SetCheck(on ? IDC_DT_AUTO_ON : IDC_DT_AUTO_OFF, true);

    m_start = values[kStartTime];
    m_length = values[kWinLength];
    m_offset = values[kOffset];
    m_filterCheck = set.DtFilter != 0 ? 1 : 0;
    SetCheck(IDC_DT_FILTER, m_filterCheck != 0);

    const CueTip tips[] = {{IDC_DT_START_TIME, nullptr}, {IDC_DT_WIN_LENGTH, nullptr}, {IDC_DT_OFFSET, nullptr}};
    m_cues.AddTips(tips);
    return TRUE;
}

std::string CDTGainCtrl::TipText(int id) const {
    for (const SliderRow& s : kSliders)
        if (s.id == id) return RangeTip(s.lo, s.hi, "us");
    return CGainPage::TipText(id);
}

// Auto gain works with the window sliders; manual gain with the entries.
void CDTGainCtrl::OnAutoGainSet(bool on) {
    for (int i = 0; i <= Channels(); ++i) {
        EnableItem(Layout().gainEdits[i], !on);
        EnableItem(Layout().arrows[i], !on);
    }
    for (const SliderRow& s : kSliders) EnableItem(s.id, on);
}

// Every channel moves by one step from its own gain, so their differences
// stay until one meets a limit.
void CDTGainCtrl::OnAllArrow(int delta) {
    int32_t* gains = Values().gains;
    StepAllRelative(gains, Channels(), delta, GainStep());
    for (int ch = 0; ch < Channels(); ++ch) SetItemInt(Layout().gainEdits[ch], gains[ch]);
    SendChannelGains();
}

// The shared block follows the thumb; the tool hears of the window only when
// the move ends.
void CDTGainCtrl::OnHScroll(int code, HWND control) {
    const int id = GetDlgCtrlID(control);
    int k = 0;
    while (k < 3 && kSliders[k].id != id) ++k;
    if (k == 3) return;

    ParameterSet& set = m_ctx.params;
    int32_t* params[3] = {&set.DtFirstStartTime, &set.DtFirstWinLength, &set.DtTotalOffset};
    int32_t* copies[3] = {&m_start, &m_length, &m_offset};
    const int32_t p = ctl::Slider(control).Pos();  // the notice's own position is 16 bits, and 0 at the end
    SetItemInt(kSliders[k].valueLabel, p);
    *params[k] = p;
    *copies[k] = p;
    WriteDtWindowWords(m_ctx.blocks.ToolControlBlock(), m_start, m_length, m_offset);

    if (code != TB_ENDTRACK) return;
    if (k == kOffset) {
        Send(CMD_DT_TOTAL_OFFSET, p);
        return;
    }
    if (k == kStartTime) Send(CMD_DT_WIN_START, p);
    SendWindowEnd(k == kWinLength);
}

void CDTGainCtrl::ShowSlider(int k, int32_t value) {
    ctl::Slider(Item(kSliders[k].id)).SetPos(value);
    SetItemInt(kSliders[k].valueLabel, value);
}

// The end sent is the one the block holds.
void CDTGainCtrl::SendWindowEnd(bool storeEnd) {
    ParameterSet& set = m_ctx.params;
    const DtWindowEnd fit = FitDtWindowEnd(m_start, m_length);
    if (fit.length != m_length) {
        m_length = set.DtFirstWinLength = fit.length;
        ShowSlider(kWinLength, fit.length);
        WriteDtWindowWords(m_ctx.blocks.ToolControlBlock(), m_start, m_length, m_offset);
    }
    if (storeEnd) set.DtWinEnd = fit.end;
    Send(CMD_DT_WIN_END, fit.end);
}

// Sends what the page holds; changes nothing, not even the auto-gain state.
void CDTGainCtrl::DownloadAll() {
    CommitTypedGains();
    SendChannelGains();
    DownholeFilter();
    Send(CMD_DT_AUTO_GAIN, m_autoFlag ? VALUE_ON : VALUE_OFF);
}

// A start or offset the settings file held outside its slider goes out
// limited, and the slider, the parameter set and the block take it.
void CDTGainCtrl::SendAll() {
    DownloadAll();
    ParameterSet& set = m_ctx.params;
    m_start = set.DtFirstStartTime = LimitDriveValue(CMD_DT_WIN_START, m_start, set);
    m_offset = set.DtTotalOffset = LimitDriveValue(CMD_DT_TOTAL_OFFSET, m_offset, set);
    ShowSlider(kStartTime, m_start);
    ShowSlider(kOffset, m_offset);
    WriteDtWindowWords(m_ctx.blocks.ToolControlBlock(), m_start, m_length, m_offset);
    Send(CMD_DT_WIN_START, m_start);
    SendWindowEnd(true);
    Send(CMD_DT_TOTAL_OFFSET, m_offset);
}
