#include "pages/GeneralCtrlPage.h"

#include <cstddef>
#include <cstring>
#include <string>

#include "base/LocalClock.h"
#include "core/logic/DriveLimits.h"
#include "framework/Controls.h"
#include "pages/logic/ReadBackCues.h"
#include "resource.h"

using namespace kelvane;

namespace {

const char* const kMonoIntervals[] = {"12", "24", "36"};
const char* const kDipoleIntervals[] = {"24", "36", "48"};
constexpr int kIntervalCount = 3;

// Control of each Download field, in validation order.
constexpr int kFieldIds[kDownloadFieldCount] = {
    IDC_GEN_DIP_DELAY,  IDC_GEN_DIP_DELAY_STEP,  IDC_GEN_DT_DELAY,      IDC_GEN_DT_DELAY_STEP,
    IDC_GEN_MONO_DELAY, IDC_GEN_MONO_DELAY_STEP, IDC_GEN_DT_SAMPLERATE,
};

// The list's index, or the page's own when the list has no valid selection.
int ChoiceIndex(HWND combo, int current) {
    const int sel = ctl::Combo(combo).Sel();
    return sel >= 0 && sel < kIntervalCount ? sel : current;
}

}  // namespace

CGeneralCtrlPage::CGeneralCtrlPage(const PageContext& ctx) : CResizePage(IDD_GENERAL, nullptr), m_ctx(ctx) {}

CGeneralCtrlPage::~CGeneralCtrlPage() = default;

BOOL CGeneralCtrlPage::OnInitDialog() {
    CResizePage::OnInitDialog();
    const ParameterSet& set = m_ctx.params;

    SetCheck(IDC_GEN_STEP1, set.GainStep == 1);
    SetCheck(IDC_GEN_STEP2, set.GainStep == 2);
    SetCheck(IDC_GEN_STEP3, set.GainStep == 3);

    m_dtDelay = set.DtDelay;
    // The operator cannot edit this field, so a loaded value outside its
    // range is shown (and later sent) limited, never left to block Download.
    m_dtDelayStep = LimitDriveValue(CMD_DT_RXDELAY_STEP, set.DtDelayStep, set);
    m_dtDelayStepNote.clear();
    if (m_dtDelayStep != set.DtDelayStep) m_dtDelayStepNote = LimitedTip(set.DtDelayStep, m_dtDelayStep, "us");
    m_dtSampleRate = set.DtSampleRate;
    m_monoDelay = set.MonoDelay;
    m_monoDelayStep = set.MonoDelayStep;
    m_dipoleDelay = set.DipoleDelay;
    m_dipoleDelayStep = set.DipoleDelayStep;

    m_monoIndex = MonoIntervalIndex(set.MonoSampleRate);
    m_dipoleIndex = DipoleIntervalIndex(set.DipoleSampleRate);
    ctl::Combo(Item(IDC_GEN_MONO_SAMPLERATE)).Fill(kMonoIntervals, kIntervalCount);
    ctl::Combo(Item(IDC_GEN_DIP_SAMPLERATE)).Fill(kDipoleIntervals, kIntervalCount);

    FitStatusLines();
    FillStatusLists();
    ShowLastReport();
    ShowFields();

    m_cues.Attach(*this, [this](int id) { return FieldTip(id); });
    for (int id : kFieldIds) {
        const CueTip tip{id, nullptr};
        m_cues.AddTips(&tip, 1);
    }
    return TRUE;
}

std::vector<std::string> CGeneralCtrlPage::StatusLines() const {
    std::vector<std::string> lines;
    lines.reserve(kDspLineCount);
    for (int i = 0; i < kDspLineCount; ++i) lines.push_back(DspStatusLine(i, m_dspFlags[i]));
    return lines;
}

std::string CGeneralCtrlPage::LastReport() const { return LastReportText(m_reported, m_reportTime); }

std::string CGeneralCtrlPage::FieldTip(int id) const {
    for (int f = 0; f < kDownloadFieldCount; ++f) {
        if (kFieldIds[f] != id) continue;
        const DownloadFieldRule& rule = kDownloadFieldRules[f];
        if (!rule.bounded) return AnyIntegerTip("us");
        std::string tip = RangeTip(rule.min, rule.max, "us");
        if (rule.sentMax != 0) tip += "; Download sends at most " + std::to_string(rule.sentMax) + " us";
        if (f == kDtDelayStep && !m_dtDelayStepNote.empty()) tip += "; " + m_dtDelayStepNote;
        return tip;
    }
    return std::string();
}

bool CGeneralCtrlPage::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return false;
    switch (id) {
    case IDC_GEN_STEP1: OnGainStep(1); return true;
    case IDC_GEN_STEP2: OnGainStep(2); return true;
    case IDC_GEN_STEP3: OnGainStep(3); return true;
    case IDC_GEN_DSP_RESET: OnDspReset(); return true;
    case IDC_GEN_TOOL_RESET: OnToolReset(); return true;
    case IDC_GEN_DOWNLOAD: {
        CommandBatch batch(m_ctx.commands, "General Download");
        Download();
        return true;
    }
    case IDC_GEN_CHECK: OnCheck(); return true;
    default: return false;
    }
}

// Every click sends, also on the button already checked: the operator may
// be re-sending the step after a tool reset.
void CGeneralCtrlPage::OnGainStep(int32_t step) {
    m_ctx.params.GainStep = step;  // the gain pages quantise with it from their next entry on
    static const int32_t kCodes[] = {CMD_GAIN_STEP_1DB, CMD_GAIN_STEP_2DB, CMD_GAIN_STEP_3DB};
    SendCommand(kCodes[step - 1], 0);
}

void CGeneralCtrlPage::OnDspReset() { SendCommand(CMD_DSP_RESET, 0); }

void CGeneralCtrlPage::OnToolReset() { SendCommand(CMD_TOOL_RESET, 0); }

bool CGeneralCtrlPage::Download(bool sendWindowEnds) {
    if (!ReadFields()) return false;  // the operator has been told; nothing stored or sent
    const int32_t monoInterval = MonoIntervalFromIndex(m_monoIndex);
    const int32_t dipoleInterval = DipoleIntervalFromIndex(m_dipoleIndex);
    m_dtDelay = ClampDtDelay(m_dtDelay);
    ShowFields();

    ParameterSet& set = m_ctx.params;
    set.DtDelay = m_dtDelay;
    set.DtDelayStep = m_dtDelayStep;
    set.MonoDelay = m_monoDelay;
    set.MonoDelayStep = m_monoDelayStep;
    set.MonoSampleRate = monoInterval;
    set.DipoleDelay = m_dipoleDelay;
    set.DipoleDelayStep = m_dipoleDelayStep;
    set.DipoleSampleRate = dipoleInterval;
    // "DT SAMPLERATE" is display-only and stays as loaded.

    SendValue(CMD_DT_RXDELAY, m_dtDelay);
    SendValue(CMD_DT_RXDELAY_STEP, m_dtDelayStep);
    SendValue(CMD_MONO_RXDELAY, m_monoDelay);
    SendValue(CMD_MONO_RXDELAY_STEP, m_monoDelayStep);
    SendValue(CMD_MONO_SAMPLERATE, monoInterval);
    SendValue(CMD_DIPOLE_RXDELAY, m_dipoleDelay);
    SendValue(CMD_DIPOLE_RXDELAY_STEP, m_dipoleDelayStep);
    SendValue(CMD_DIPOLE_SAMPLERATE, dipoleInterval);

    // A lower interval lowers the cap: the tool, the block, the full-wave
    // page and the file must not keep a window end beyond it.
    CappedWindowEnd capped[2];
    const int n = WindowEndsOverCap(set, capped);
    for (int i = 0; i < n; ++i) {
        const bool mono = capped[i].code == CMD_MONO_WIN_END;
        (mono ? set.MonoWindowsEnd : set.DipoleWindowsEnd) = capped[i].value;
        m_ctx.blocks.ToolControlBlock().StoreInt(
            mono ? offsetof(ToolControlPara, MonoWinEnd) : offsetof(ToolControlPara, DipoleWinEnd), capped[i].value);
        if (sendWindowEnds) SendValue(capped[i].code, capped[i].value);
    }
    if (m_downloaded) m_downloaded();
    return true;
}

std::string CGeneralCtrlPage::DspErrorNote() const { return DspErrorText(m_reported, m_dspFlags, m_reportTime); }

void CGeneralCtrlPage::OnCheck() { SendCommand(CMD_STATUS_CHECK, ARG_STATUS_CHECK); }

void CGeneralCtrlPage::SetDspStatus(const DspStatusReport& report) {
    DspFlagsFromWord(report.StatusWord, m_dspFlags);
    m_reportTime = LocalSecondsOfDay();
    m_reported = true;
    if (!m_hWnd) return;  // the next page window shows them
    FillStatusLists();
    ShowLastReport();
}

void CGeneralCtrlPage::EnableStatusCheck(int32_t hostState) {
    if (!m_hWnd) return;
    EnableItem(IDC_GEN_CHECK, StatusCheckEnabled(hostState));
}

void CGeneralCtrlPage::ShowFields() const {
    SetItemInt(IDC_GEN_DT_DELAY, m_dtDelay);
    SetItemInt(IDC_GEN_DT_DELAY_STEP, m_dtDelayStep);
    SetItemInt(IDC_GEN_DT_SAMPLERATE, m_dtSampleRate);
    SetItemInt(IDC_GEN_MONO_DELAY, m_monoDelay);
    SetItemInt(IDC_GEN_MONO_DELAY_STEP, m_monoDelayStep);
    SetItemInt(IDC_GEN_DIP_DELAY, m_dipoleDelay);
    SetItemInt(IDC_GEN_DIP_DELAY_STEP, m_dipoleDelayStep);
    ctl::Combo(Item(IDC_GEN_MONO_SAMPLERATE)).SetSel(m_monoIndex);
    ctl::Combo(Item(IDC_GEN_DIP_SAMPLERATE)).SetSel(m_dipoleIndex);
}

void CGeneralCtrlPage::FieldTexts(std::string (&texts)[kDownloadFieldCount]) const {
    for (int f = 0; f < kDownloadFieldCount; ++f) texts[f] = GetItemText(kFieldIds[f]);
}

bool CGeneralCtrlPage::FieldsValid() const {
    std::string texts[kDownloadFieldCount];
    FieldTexts(texts);
    int32_t values[kDownloadFieldCount] = {};
    return ValidateDownloadFields(texts, values) < 0;
}

bool CGeneralCtrlPage::ReadFields() {
    std::string texts[kDownloadFieldCount];
    FieldTexts(texts);
    int32_t values[kDownloadFieldCount] = {};
    const int bad = ValidateDownloadFields(texts, values);
    if (bad >= 0) {
        const std::string message = RangeMessage(kDownloadFieldRules[bad]);
        ModalMessageBox(GetAncestor(m_hWnd, GA_ROOT), message, "Varro Control Window", MB_OK | MB_ICONEXCLAMATION);
        if (!m_hWnd) return false;  // the window went under the message: no focus to give
        HWND field = Item(kFieldIds[bad]);
        SetFocus(field);
        SendMessageA(field, EM_SETSEL, 0, -1);
        return false;
    }
    m_dipoleDelay = values[kDipoleDelay];
    m_dipoleDelayStep = values[kDipoleDelayStep];
    m_dtDelay = values[kDtDelay];
    m_dtDelayStep = values[kDtDelayStep];
    m_monoDelay = values[kMonoDelay];
    m_monoDelayStep = values[kMonoDelayStep];
    m_dtSampleRate = values[kDtSampleInterval];
    m_monoIndex = ChoiceIndex(Item(IDC_GEN_MONO_SAMPLERATE), m_monoIndex);
    m_dipoleIndex = ChoiceIndex(Item(IDC_GEN_DIP_SAMPLERATE), m_dipoleIndex);
    return true;
}

void CGeneralCtrlPage::FillStatusLists() const {
    std::string lines[kDspLineCount];
    for (int i = 0; i < kDspLineCount; ++i) lines[i] = DspStatusLine(i, m_dspFlags[i]);
    ctl::List(Item(IDC_GEN_LIST_LEFT)).Replace(lines, kDspLineCount / 2);
    ctl::List(Item(IDC_GEN_LIST_RIGHT)).Replace(lines + kDspLineCount / 2, kDspLineCount / 2);
}

void CGeneralCtrlPage::ShowLastReport() const {
    SetItemText(IDC_GEN_LAST_REPORT, LastReportText(m_reported, m_reportTime).c_str());
}

// An owner-drawn list keeps the item height of the font it was created
// with, before the dialog gave it its own: one line of that font, at any DPI.
void CGeneralCtrlPage::FitStatusLines() const {
    for (int id : {IDC_GEN_LIST_LEFT, IDC_GEN_LIST_RIGHT}) {
        HWND list = Item(id);
        HDC dc = list ? GetDC(list) : nullptr;
        if (!dc) continue;
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
        TEXTMETRICA tm{};
        if (GetTextMetricsA(dc, &tm) && tm.tmHeight > 0) SendMessageA(list, LB_SETITEMHEIGHT, 0, tm.tmHeight);
        SelectObject(dc, old);
        ReleaseDC(list, dc);
    }
}

void CGeneralCtrlPage::DrawStatusLine(const DRAWITEMSTRUCT& item) const {
    if (static_cast<int>(item.itemID) < 0) return;  // an empty list's focus
    const int line = static_cast<int>(item.itemID) + (item.CtlID == IDC_GEN_LIST_RIGHT ? kDspLineCount / 2 : 0);
    if (line >= kDspLineCount) return;
    HDC dc = item.hDC;
    if (item.itemState & ODS_SELECTED) {
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    } else {
        switch (DspStatusLook(m_reported, m_dspFlags[line])) {
        case DspLineLook::Error: PaintCue(dc, Cue::Warning); break;
        case DspLineLook::NoData:
            SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            break;
        case DspLineLook::Ok:
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            break;
        }
    }
    char text[64] = {};
    if (SendMessageA(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0) < static_cast<LRESULT>(sizeof text))
        SendMessageA(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text));
    RECT rc = item.rcItem;
    // Where the plain list box puts its text.
    ExtTextOutA(dc, rc.left + 1, rc.top, ETO_OPAQUE | ETO_CLIPPED, &rc, text, static_cast<UINT>(std::strlen(text)),
                nullptr);
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &rc);
}

bool CGeneralCtrlPage::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg != WM_DRAWITEM || (wParam != IDC_GEN_LIST_LEFT && wParam != IDC_GEN_LIST_RIGHT))
        return CResizePage::OnMessage(msg, wParam, lParam, result);
    DrawStatusLine(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    result = TRUE;
    return true;
}

// The page's own block: only the code and second word change between commands.
void CGeneralCtrlPage::SendCommand(int32_t code, int32_t arg) {
    m_command.CodeWord = code;
    m_command.ArgWord = arg;
    ToolCommand copy = m_command;
    m_ctx.commands.SendToolCommand(&copy);
}

// Download values: each in a fresh zeroed block.
void CGeneralCtrlPage::SendValue(int32_t code, int32_t value) {
    ToolCommand block{};
    block.CodeWord = code;
    block.ArgWord = ARG_VALUE;
    block.Payload[0] = value;
    m_ctx.commands.SendToolCommand(&block);
}
