#include "pages/AcousticProc.h"

#include <commctrl.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "KelvaneHost.h"
#include "core/logic/IniRules.h"
#include "core/logic/DriveLimits.h"
#include "base/logic/NumberText.h"
#include "base/logic/Saturate.h"
#include "framework/Controls.h"
#include "pages/logic/AcousticRules.h"
#include "pages/logic/GainRules.h"
#include "pages/logic/GeneralRules.h"
#include "pages/logic/ReadBackCues.h"
#include "resource.h"

namespace {

const int kStartSlider[4] = {IDC_AP_START1, IDC_AP_START2, IDC_AP_START3, IDC_AP_START4};
const int kStartLabel[4] = {IDC_AP_START1_VALUE, IDC_AP_START2_VALUE, IDC_AP_START3_VALUE, IDC_AP_START4_VALUE};
const int kStartLinkBox[4] = {IDC_AP_START_LINK1, IDC_AP_START_LINK2, IDC_AP_START_LINK3, IDC_AP_START_LINK4};
const int kMinSlider[4] = {IDC_AP_MIN1, IDC_AP_MIN2, IDC_AP_MIN3, IDC_AP_MIN4};
const int kMinLabel[4] = {IDC_AP_MIN1_VALUE, IDC_AP_MIN2_VALUE, IDC_AP_MIN3_VALUE, IDC_AP_MIN4_VALUE};
const int kMinLinkBox[4] = {IDC_AP_MIN_LINK1, IDC_AP_MIN_LINK2, IDC_AP_MIN_LINK3, IDC_AP_MIN_LINK4};

const char* const kCurveItems[] = {"First Wave Pick", "Correlation"};
const char* const kFilterItems[] = {"No Filter", "Dt FIR Filter(3K-20KHz)", "ButWorth Bandpass Filter"};
const char* const kThresholdTypeItems[] = {"Manual Threshold", "Auto Threshold"};

constexpr int kFilterBandPass = 2;

// Range and unit on hover; the sliders' as their scale labels read.
const CueTip kTips[] = {
    {IDC_AP_LOW_CUT, "-99999999 to 999999999"},
    {IDC_AP_HIGH_CUT, "-99999999 to 999999999"},
    {IDC_AP_DT_MIN, "-99999999 to 999999999 us/ft"},
    {IDC_AP_DT_MAX, "-99999999 to 999999999 us/ft"},
    {IDC_AP_COR_WIN, "-99999999 to 999999999 us"},
    {IDC_AP_COEFF, "0.1 to 5.0"},
    {IDC_AP_THRES_FACTOR, "0.20 to 1.00"},
    {IDC_AP_SEARCH_WIN, "120 to 2000 us"},
    {IDC_AP_START1, "120 to 2000 us"},
    {IDC_AP_START2, "120 to 2000 us"},
    {IDC_AP_START3, "120 to 2000 us"},
    {IDC_AP_START4, "120 to 2000 us"},
    {IDC_AP_MIN1, "0.1 to 10.0"},
    {IDC_AP_MIN2, "0.1 to 10.0"},
    {IDC_AP_MIN3, "0.1 to 10.0"},
    {IDC_AP_MIN4, "0.1 to 10.0"},
};

int IndexOf(const int (&ids)[4], int id) {
    for (int i = 0; i < 4; ++i)
        if (ids[i] == id) return i;
    return -1;
}

}  // namespace

CAcousticProc::CAcousticProc(const kelvane::PageContext& ctx) : CResizePage(IDD_ACOUSTIC, nullptr), m_ctx(ctx) {}

// A missing block makes the publishing do nothing.
template <class T>
void CAcousticProc::Publish(const T& member) const {
    const kelvane::ParameterSet& set = m_ctx.params;
    const size_t offset = static_cast<size_t>(reinterpret_cast<const unsigned char*>(&member) -
                                              reinterpret_cast<const unsigned char*>(&set));
    kelvane::PublishMember(set, offset, m_ctx.blocks.ProcessBlock());
}

void CAcousticProc::SetLabel(int id, double value, int decimals) const {
    SetItemText(id, kelvane::FormatFixed(value, decimals).c_str());
}

BOOL CAcousticProc::OnInitDialog() {
    CResizePage::OnInitDialog();
    kelvane::ParameterSet& app = m_ctx.params;

    ctl::Combo(Item(IDC_AP_CURVE)).Fill(kCurveItems, 2);
    ctl::Combo(Item(IDC_AP_FILTER_TYPE)).Fill(kFilterItems, 3);
    ctl::Combo(Item(IDC_AP_THRES_TYPE)).Fill(kThresholdTypeItems, 2);
    // The curve choice outlives a closed window (it is 0 only at load), so a
    // reopened page shows the curve the host works with.
    if (!ctl::Combo(Item(IDC_AP_CURVE)).SetSel(app.CurveSelect)) ctl::Combo(Item(IDC_AP_CURVE)).SetSel(0);
    ctl::Combo(Item(IDC_AP_FILTER_TYPE)).SetSel(0);
    ctl::Combo(Item(IDC_AP_THRES_TYPE)).SetSel(0);

    // The labels show the stored values themselves, even where the slider
    // clamps them to its range.
    for (int k = 0; k < 4; ++k) {
        HWND slider = Item(kStartSlider[k]);
        ctl::Slider(slider).Setup(kelvane::kStartOffsetMin, kelvane::kStartOffsetMax, 8, 80);
        ctl::Slider(slider).SetPos(app.T01RStart[k]);
        SetItemInt(kStartLabel[k], app.T01RStart[k]);
    }

    // Tenth-scaled sliders start at the nearest position: a stored 0.7f (just
    // below 0.7) must sit at 7, beside its label "0.70".
    ctl::Slider(Item(IDC_AP_COEFF)).Setup(1, 50, 1, 10);
    ctl::Slider(Item(IDC_AP_COEFF)).SetPos(kelvane::TenthPosition(app.Coefficient));
    SetLabel(IDC_AP_COEFF_VALUE, app.Coefficient, 2);

    for (int k = 0; k < 4; ++k) {
        HWND slider = Item(kMinSlider[k]);
        ctl::Slider(slider).Setup(kelvane::kThresholdMinPosMin, kelvane::kThresholdMinPosMax, 1, 10);
        ctl::Slider(slider).SetPos(kelvane::TenthPosition(app.ThresholdMin[k]));
        SetLabel(kMinLabel[k], app.ThresholdMin[k], 2);
    }

    ctl::Slider(Item(IDC_AP_THRES_FACTOR)).Setup(2, 10, 0, 0);
    ctl::Slider(Item(IDC_AP_THRES_FACTOR)).SetPos(kelvane::TenthPosition(app.ThresholdFactor));
    SetLabel(IDC_AP_THRES_FACTOR_VALUE, app.ThresholdFactor, 2);

    ctl::Slider(Item(IDC_AP_SEARCH_WIN)).Setup(120, 2000, 8, 80);
    ctl::Slider(Item(IDC_AP_SEARCH_WIN)).SetPos(app.SearchWinLength);
    SetItemInt(IDC_AP_SEARCH_WIN_VALUE, app.SearchWinLength);

    for (int k = 0; k < 4; ++k) {
        m_startLink[k] = app.StartLink[k];
        m_minLink[k] = app.MinLink[k];
        SetCheck(kStartLinkBox[k], m_startLink[k] != 0);
        SetCheck(kMinLinkBox[k], m_minLink[k] != 0);
    }

    // A filter type outside the list leaves it without a selection.
    if (!ctl::Combo(Item(IDC_AP_FILTER_TYPE)).SetSel(app.FilterType))
        SendMessageA(Item(IDC_AP_FILTER_TYPE), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    if (app.FilterType == kFilterBandPass) {
        SetItemInt(IDC_AP_LOW_CUT, app.LowCut);
        SetItemInt(IDC_AP_HIGH_CUT, app.HighCut);
    } else {
        EnableItem(IDC_AP_LOW_CUT, false);
        EnableItem(IDC_AP_HIGH_CUT, false);
        SetItemText(IDC_AP_LOW_CUT, "");
        SetItemText(IDC_AP_HIGH_CUT, "");
    }

    SetItemInt(IDC_AP_DT_MIN, app.DtMin);
    SetItemInt(IDC_AP_DT_MAX, app.DtMax);
    SetItemInt(IDC_AP_COR_WIN, app.CorWinLength);

    m_lowCut.SubclassWindow(Item(IDC_AP_LOW_CUT));
    m_highCut.SubclassWindow(Item(IDC_AP_HIGH_CUT));
    m_dtMin.SubclassWindow(Item(IDC_AP_DT_MIN));
    m_dtMax.SubclassWindow(Item(IDC_AP_DT_MAX));
    m_corWinLength.SubclassWindow(Item(IDC_AP_COR_WIN));

    m_cues.Attach(*this, nullptr);
    m_cues.AddTips(kTips);
    return TRUE;
}

bool CAcousticProc::OnCommand(int id, int code) {
    if (code == CBN_SELCHANGE) {
        switch (id) {
        case IDC_AP_CURVE: OnCurveSelect(); return true;
        case IDC_AP_FILTER_TYPE: OnFilterSelect(); return true;
        case IDC_AP_THRES_TYPE: OnThresholdType(); return true;
        default: return false;
        }
    }
    if (code == BN_CLICKED && (IndexOf(kStartLinkBox, id) >= 0 || IndexOf(kMinLinkBox, id) >= 0)) {
        OnLinkClicked(id);
        return true;
    }
    return false;
}

bool CAcousticProc::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == kelvane::WM_EDITVALUE) {
        OnEditValue(static_cast<int>(lParam));
        result = 0;
        return true;
    }
    return CResizePage::OnMessage(msg, wParam, lParam, result);
}

void CAcousticProc::OnCurveSelect() {
    const int32_t index = ctl::Combo(Item(IDC_AP_CURVE)).Sel();
    m_ctx.params.CurveSelect = index;
    Publish(m_ctx.params.CurveSelect);
}

void CAcousticProc::OnFilterSelect() {
    const int32_t index = ctl::Combo(Item(IDC_AP_FILTER_TYPE)).Sel();
    m_ctx.params.FilterType = index;
    Publish(m_ctx.params.FilterType);
    // Only the band-pass filter has cut-offs; no selection changes nothing.
    if (index == kFilterBandPass) {
        EnableItem(IDC_AP_LOW_CUT, true);
        EnableItem(IDC_AP_HIGH_CUT, true);
    } else if (index == 0 || index == 1) {
        EnableItem(IDC_AP_LOW_CUT, false);
        EnableItem(IDC_AP_HIGH_CUT, false);
    }
}

void CAcousticProc::OnThresholdType() {
    const int32_t index = ctl::Combo(Item(IDC_AP_THRES_TYPE)).Sel();
    m_ctx.params.ThresholdType = index;
    Publish(m_ctx.params.ThresholdType);
}

void CAcousticProc::OnLinkClicked(int id) {
    const int32_t state = IsChecked(id) ? 1 : 0;
    if (int k = IndexOf(kStartLinkBox, id); k >= 0) {
        m_startLink[k] = state;
        m_ctx.params.StartLink[k] = state;
    } else if (int m = IndexOf(kMinLinkBox, id); m >= 0) {
        m_minLink[m] = state;
        m_ctx.params.MinLink[m] = state;
    }
}

CMyEdit* CAcousticProc::EditOf(int id) {
    switch (id) {
    case IDC_AP_LOW_CUT: return &m_lowCut;
    case IDC_AP_HIGH_CUT: return &m_highCut;
    case IDC_AP_DT_MIN: return &m_dtMin;
    case IDC_AP_DT_MAX: return &m_dtMax;
    case IDC_AP_COR_WIN: return &m_corWinLength;
    default: return nullptr;
    }
}

// Refused text and pairs out of order leave the member and its block field
// as they were: the block never holds a pair that makes no sense.
void CAcousticProc::OnEditValue(int id) {
    kelvane::ParameterSet& app = m_ctx.params;
    int32_t* member = id == IDC_AP_LOW_CUT    ? &app.LowCut
                      : id == IDC_AP_HIGH_CUT ? &app.HighCut
                      : id == IDC_AP_DT_MIN   ? &app.DtMin
                      : id == IDC_AP_DT_MAX   ? &app.DtMax
                      : id == IDC_AP_COR_WIN  ? &app.CorWinLength
                                              : nullptr;
    CMyEdit* edit = EditOf(id);
    if (!member || !edit) return;
    const std::string text = GetItemText(id);
    const std::string range = kelvane::RangeTip(kelvane::LimitTypedInt(INT64_MIN), kelvane::LimitTypedInt(INT64_MAX),
                                                "");
    int32_t typed = 0;
    if (!kelvane::ParseStrictInt(text, &typed)) {
        edit->Revert(kelvane::RefusedEntryTip(text, range));
        return;
    }
    // Within nine characters, so the settings file gives the value back as it is.
    const int32_t v = kelvane::LimitTypedInt(typed);
    std::string refusal;
    if (id == IDC_AP_DT_MIN) refusal = kelvane::DtPairRefusal(v, app.DtMax);
    else if (id == IDC_AP_DT_MAX) refusal = kelvane::DtPairRefusal(app.DtMin, v);
    else if (id == IDC_AP_LOW_CUT) refusal = kelvane::CutPairRefusal(v, app.HighCut);
    else if (id == IDC_AP_HIGH_CUT) refusal = kelvane::CutPairRefusal(app.LowCut, v);
    if (!refusal.empty()) {
        edit->Revert(refusal);
        return;
    }
    SetItemInt(id, v);
    *member = v;
    Publish(*member);
    if (v != typed) edit->ShowNote(kelvane::LimitedEntryTip(typed, v, "", range));
}

// Every scroll code lands here (tracking, steps, end of scroll): the position
// is read from the slider, since the message carries none for some codes.
void CAcousticProc::OnHScroll(int /*code*/, HWND slider) {
    const int32_t p = ctl::Slider(slider).Pos();
    if (int k = SliderIndex(kStartSlider, slider); k >= 0) {
        OnStartMoved(k, p);
    } else if (int m = SliderIndex(kMinSlider, slider); m >= 0) {
        OnMinMoved(m, p);
    } else if (slider == Item(IDC_AP_COEFF)) {
        kelvane::ParameterSet& app = m_ctx.params;
        app.Coefficient = kelvane::TenthValue(p);
        Publish(app.Coefficient);
        SetLabel(IDC_AP_COEFF_VALUE, app.Coefficient, 1);
    } else if (slider == Item(IDC_AP_THRES_FACTOR)) {
        kelvane::ParameterSet& app = m_ctx.params;
        app.ThresholdFactor = kelvane::TenthValue(p);
        Publish(app.ThresholdFactor);
        SetLabel(IDC_AP_THRES_FACTOR_VALUE, app.ThresholdFactor, 1);
    } else if (slider == Item(IDC_AP_SEARCH_WIN)) {
        kelvane::ParameterSet& app = m_ctx.params;
        app.SearchWinLength = p;
        Publish(app.SearchWinLength);
        SetItemInt(IDC_AP_SEARCH_WIN_VALUE, p);
    }
}

int CAcousticProc::SliderIndex(const int (&ids)[4], HWND slider) const {
    for (int i = 0; i < 4; ++i)
        if (Item(ids[i]) == slider) return i;
    return -1;
}

void CAcousticProc::SetStart(int k, int32_t value) {
    m_ctx.params.T01RStart[k] = value;
    Publish(m_ctx.params.T01RStart[k]);
    SetItemInt(kStartLabel[k], value);
}

void CAcousticProc::SetMin(int k, float value) {
    m_ctx.params.ThresholdMin[k] = value;
    Publish(m_ctx.params.ThresholdMin[k]);
    SetLabel(kMinLabel[k], value, 1);
}

// The difference is taken against the stored value, not the slider's last
// position. Shifted sliders are set from here, which raises no scroll
// notification, so a shift never spreads further.
void CAcousticProc::OnStartMoved(int k, int32_t p) {
    int32_t positions[4];
    for (int j = 0; j < 4; ++j) positions[j] = ctl::Slider(Item(kStartSlider[j])).Pos();
    const auto shifts = kelvane::LinkedStartShifts(k, p, m_ctx.params.T01RStart[k], positions, m_startLink);
    SetStart(k, p);
    for (const kelvane::SliderShift& s : shifts) {
        ctl::Slider(Item(kStartSlider[s.receiver])).SetPos(s.position);
        SetStart(s.receiver, s.position);
    }
}

void CAcousticProc::OnMinMoved(int k, int32_t p) {
    int32_t positions[4];
    for (int j = 0; j < 4; ++j) positions[j] = ctl::Slider(Item(kMinSlider[j])).Pos();
    const auto shifts = kelvane::LinkedMinShifts(k, p, m_ctx.params.ThresholdMin[k], positions, m_minLink);
    SetMin(k, kelvane::TenthValue(p));
    for (const kelvane::SliderShift& s : shifts) {
        ctl::Slider(Item(kMinSlider[s.receiver])).SetPos(s.position);
        SetMin(s.receiver, kelvane::TenthValue(s.position));
    }
}
