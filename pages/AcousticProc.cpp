#include "pages/AcousticProc.h"

#include <commctrl.h>

#include <cstring>

#include "KelvaneHost.h"
#include "core/Kelvane.h"
#include "core/logic/NumberText.h"
#include "core/logic/Saturate.h"
#include "pages/logic/AcousticRules.h"
#include "resource.h"

using kelvane::ProcessPara;

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
    {IDC_AP_LOW_CUT, "any integer"},
    {IDC_AP_HIGH_CUT, "any integer"},
    {IDC_AP_DT_MIN, "any integer, us/ft"},
    {IDC_AP_DT_MAX, "any integer, us/ft"},
    {IDC_AP_COR_WIN, "any integer, us"},
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

// The application object's parameter set and its ProcessPara mirror; a
// missing block makes the Store calls do nothing.
CKelvaneApp& App() { return *KelvaneApp(); }
void PublishInt(size_t offset, int32_t value) { App().ProcessBlock().StoreInt(offset, value); }
void PublishFloat(size_t offset, float value) { App().ProcessBlock().StoreFloat(offset, value); }

size_t StartOffset(int k) { return offsetof(ProcessPara, T01RStart) + sizeof(int32_t) * static_cast<size_t>(k); }
size_t MinOffset(int k) { return offsetof(ProcessPara, ThresholdMin) + sizeof(float) * static_cast<size_t>(k); }

int IndexOf(const int (&ids)[4], int id) {
    for (int i = 0; i < 4; ++i)
        if (ids[i] == id) return i;
    return -1;
}

}  // namespace

CAcousticProc::CAcousticProc() : CResizePage(IDD_ACOUSTIC, nullptr) {}

void CAcousticProc::SetLabel(int id, double value, int decimals) const {
    SetItemText(id, kelvane::FormatFixed(value, decimals).c_str());
}

BOOL CAcousticProc::OnInitDialog() {
    CResizePage::OnInitDialog();
    CKelvaneApp& app = App();

    ctl::ComboFill(Item(IDC_AP_CURVE), kCurveItems, 2);
    ctl::ComboFill(Item(IDC_AP_FILTER_TYPE), kFilterItems, 3);
    ctl::ComboFill(Item(IDC_AP_THRES_TYPE), kThresholdTypeItems, 2);
    // The curve choice outlives a closed window (it is 0 only at load), so a
    // reopened page shows the curve the host works with.
    if (!ctl::ComboSetSel(Item(IDC_AP_CURVE), app.CurveSelect)) ctl::ComboSetSel(Item(IDC_AP_CURVE), 0);
    ctl::ComboSetSel(Item(IDC_AP_FILTER_TYPE), 0);
    ctl::ComboSetSel(Item(IDC_AP_THRES_TYPE), 0);

    // The labels show the stored values themselves, even where the slider
    // clamps them to its range.
    for (int k = 0; k < 4; ++k) {
        HWND slider = Item(kStartSlider[k]);
        ctl::TrackSetup(slider, kelvane::kStartOffsetMin, kelvane::kStartOffsetMax, 8, 80);
        ctl::TrackSetPos(slider, app.T01RStart[k]);
        SetItemInt(kStartLabel[k], app.T01RStart[k]);
    }

    // Tenth-scaled sliders start at the nearest position: a stored 0.7f (just
    // below 0.7) must sit at 7, beside its label "0.70".
    ctl::TrackSetup(Item(IDC_AP_COEFF), 1, 50, 1, 10);
    ctl::TrackSetPos(Item(IDC_AP_COEFF), kelvane::TenthPosition(app.Coefficient));
    SetLabel(IDC_AP_COEFF_VALUE, app.Coefficient, 2);

    for (int k = 0; k < 4; ++k) {
        HWND slider = Item(kMinSlider[k]);
        ctl::TrackSetup(slider, kelvane::kThresholdMinPosMin, kelvane::kThresholdMinPosMax, 1, 10);
        ctl::TrackSetPos(slider, kelvane::TenthPosition(app.ThresholdMin[k]));
        SetLabel(kMinLabel[k], app.ThresholdMin[k], 2);
    }

    ctl::TrackSetup(Item(IDC_AP_THRES_FACTOR), 2, 10, 0, 0);
    ctl::TrackSetPos(Item(IDC_AP_THRES_FACTOR), kelvane::TenthPosition(app.ThresholdFactor));
    SetLabel(IDC_AP_THRES_FACTOR_VALUE, app.ThresholdFactor, 2);

    ctl::TrackSetup(Item(IDC_AP_SEARCH_WIN), 120, 2000, 8, 80);
    ctl::TrackSetPos(Item(IDC_AP_SEARCH_WIN), app.SearchWinLength);
    SetItemInt(IDC_AP_SEARCH_WIN_VALUE, app.SearchWinLength);

    for (int k = 0; k < 4; ++k) {
        m_startLink[k] = app.StartLink[k];
        m_minLink[k] = app.MinLink[k];
        SetCheck(kStartLinkBox[k], m_startLink[k] != 0);
        SetCheck(kMinLinkBox[k], m_minLink[k] != 0);
    }

    // A filter type outside the list leaves it without a selection.
    if (!ctl::ComboSetSel(Item(IDC_AP_FILTER_TYPE), app.FilterType))
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

    m_lowCut.SubclassDlgItem(IDC_AP_LOW_CUT, m_hWnd);
    m_highCut.SubclassDlgItem(IDC_AP_HIGH_CUT, m_hWnd);
    m_dtMin.SubclassDlgItem(IDC_AP_DT_MIN, m_hWnd);
    m_dtMax.SubclassDlgItem(IDC_AP_DT_MAX, m_hWnd);
    m_corWinLength.SubclassDlgItem(IDC_AP_COR_WIN, m_hWnd);

    m_cues.Attach(m_hWnd, nullptr);
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
        const uint32_t bits = static_cast<uint32_t>(wParam);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        OnEditValue(value, static_cast<int>(lParam));
        result = 0;
        return true;
    }
    return CResizePage::OnMessage(msg, wParam, lParam, result);
}

void CAcousticProc::OnCurveSelect() {
    const int32_t index = ctl::ComboSel(Item(IDC_AP_CURVE));
    App().CurveSelect = index;
    PublishInt(offsetof(ProcessPara, CurveSelect), index);
}

void CAcousticProc::OnFilterSelect() {
    const int32_t index = ctl::ComboSel(Item(IDC_AP_FILTER_TYPE));
    App().FilterType = index;
    PublishInt(offsetof(ProcessPara, FilterType), index);
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
    const int32_t index = ctl::ComboSel(Item(IDC_AP_THRES_TYPE));
    App().ThresholdType = index;
    PublishInt(offsetof(ProcessPara, ThresholdType), index);
}

void CAcousticProc::OnLinkClicked(int id) {
    const int32_t state = IsChecked(id) ? 1 : 0;
    if (int k = IndexOf(kStartLinkBox, id); k >= 0) {
        m_startLink[k] = state;
        App().StartLink[k] = state;
    } else if (int m = IndexOf(kMinLinkBox, id); m >= 0) {
        m_minLink[m] = state;
        App().MinLink[m] = state;
    }
}

void CAcousticProc::OnEditValue(float value, int id) {
    // Saturating: a typed 1e10 is taken as the largest int, not garbage.
    const int32_t v = kelvane::TruncToInt32(value);
    SetItemInt(id, v);
    CKelvaneApp& app = App();
    switch (id) {
    case IDC_AP_LOW_CUT:
        app.LowCut = v;
        PublishFloat(offsetof(ProcessPara, LowCut), static_cast<float>(v));
        break;
    case IDC_AP_HIGH_CUT:
        app.HighCut = v;
        PublishFloat(offsetof(ProcessPara, HighCut), static_cast<float>(v));
        break;
    case IDC_AP_DT_MIN:
        app.DtMin = v;
        PublishInt(offsetof(ProcessPara, DtMin), v);
        break;
    case IDC_AP_DT_MAX:
        app.DtMax = v;
        PublishInt(offsetof(ProcessPara, DtMax), v);
        break;
    case IDC_AP_COR_WIN:
        app.CorWinLength = v;
        PublishInt(offsetof(ProcessPara, CorWinLength), v);
        break;
    default:
        break;
    }
}

// Every scroll code lands here (tracking, steps, end of scroll): the position
// is read from the slider, since the message carries none for some codes.
void CAcousticProc::OnHScroll(int /*code*/, HWND slider) {
    const int32_t p = ctl::TrackPos(slider);
    if (int k = SliderIndex(kStartSlider, slider); k >= 0) {
        OnStartMoved(k, p);
    } else if (int m = SliderIndex(kMinSlider, slider); m >= 0) {
        OnMinMoved(m, p);
    } else if (slider == Item(IDC_AP_COEFF)) {
        CKelvaneApp& app = App();
        app.Coefficient = kelvane::TenthValue(p);
        PublishFloat(offsetof(ProcessPara, Coefficient), app.Coefficient);
        SetLabel(IDC_AP_COEFF_VALUE, app.Coefficient, 1);
    } else if (slider == Item(IDC_AP_THRES_FACTOR)) {
        CKelvaneApp& app = App();
        app.ThresholdFactor = kelvane::TenthValue(p);
        PublishFloat(offsetof(ProcessPara, ThresholdFactor), app.ThresholdFactor);
        SetLabel(IDC_AP_THRES_FACTOR_VALUE, app.ThresholdFactor, 1);
    } else if (slider == Item(IDC_AP_SEARCH_WIN)) {
        CKelvaneApp& app = App();
        app.SearchWinLength = p;
        PublishInt(offsetof(ProcessPara, SearchWinLength), p);
        SetItemInt(IDC_AP_SEARCH_WIN_VALUE, p);
    }
}

int CAcousticProc::SliderIndex(const int (&ids)[4], HWND slider) const {
    for (int i = 0; i < 4; ++i)
        if (Item(ids[i]) == slider) return i;
    return -1;
}

void CAcousticProc::SetStart(int k, int32_t value) {
    App().T01RStart[k] = value;
    PublishInt(StartOffset(k), value);
    SetItemInt(kStartLabel[k], value);
}

void CAcousticProc::SetMin(int k, float value) {
    App().ThresholdMin[k] = value;
    PublishFloat(MinOffset(k), value);
    SetLabel(kMinLabel[k], value, 1);
}

// The difference is taken against the stored value, not the slider's last
// position. Shifted sliders are set from here, which raises no scroll
// notification, so a shift never spreads further.
void CAcousticProc::OnStartMoved(int k, int32_t p) {
    int32_t positions[4];
    for (int j = 0; j < 4; ++j) positions[j] = ctl::TrackPos(Item(kStartSlider[j]));
    const auto shifts = kelvane::LinkedStartShifts(k, p, App().T01RStart[k], positions, m_startLink);
    SetStart(k, p);
    for (const kelvane::SliderShift& s : shifts) {
        ctl::TrackSetPos(Item(kStartSlider[s.receiver]), s.position);
        SetStart(s.receiver, s.position);
    }
}

void CAcousticProc::OnMinMoved(int k, int32_t p) {
    int32_t positions[4];
    for (int j = 0; j < 4; ++j) positions[j] = ctl::TrackPos(Item(kMinSlider[j]));
    const auto shifts = kelvane::LinkedMinShifts(k, p, App().ThresholdMin[k], positions, m_minLink);
    SetMin(k, kelvane::TenthValue(p));
    for (const kelvane::SliderShift& s : shifts) {
        ctl::TrackSetPos(Item(kMinSlider[s.receiver]), s.position);
        SetMin(s.receiver, kelvane::TenthValue(s.position));
    }
}
