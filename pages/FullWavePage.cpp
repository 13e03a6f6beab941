#include "pages/FullWavePage.h"

#include "core/logic/DriveLimits.h"
#include "base/logic/NumberText.h"
#include "framework/Controls.h"
#include <optional>
#include <string>

#include "pages/logic/GainRules.h"
#include "pages/logic/GeneralRules.h"
#include "pages/logic/ReadBackCues.h"

using namespace kelvane;

namespace {
const char* const kStackItems[] = {"1", "2", "3", "4"};
}

CFullWavePage::CFullWavePage(UINT templateId, const FullWaveLayout& layout, const FullWaveValues& values,
                             const PageContext& ctx)
    : CGainPage(templateId, layout.gain, values.gain, ctx), m_fw(layout), m_fwValues(values) {}

BOOL CFullWavePage::OnInitDialog() {
    CGainPage::OnInitDialog();
    const int32_t isAuto = *Values().isAuto;
    // Other values than 0 and 1 leave both radios clear.
    if (isAuto == 0) ctl::Check(Item(Layout().autoOffId)).SetChecked(true);
    else if (isAuto == 1) ctl::Check(Item(Layout().autoOnId)).SetChecked(true);
    ctl::Combo(Item(m_fw.stackId)).Fill(kStackItems, 4);
    ctl::Combo(Item(m_fw.stackId)).SetSel(*m_fwValues.stackValue - 1);
    SetItemInt(m_fw.windowEndId, *m_fwValues.windowsEnd);
    m_windowEndEdit.SubclassWindow(Item(m_fw.windowEndId));
    ctl::Check(Item(Layout().filterId)).SetChecked(*Values().filter != 0);
    m_autoFlag = isAuto != 0 ? 1 : 0;
    const CueTip tips[] = {{m_fw.windowEndId, nullptr}, {m_fw.stackId, nullptr}};
    m_cues.AddTips(tips);
    return TRUE;
}

// The upper limit follows the sample interval that Download on the General
// page last stored, as its list shows it.
std::string CFullWavePage::TipText(int id) const {
    if (id == m_fw.windowEndId) {
        int32_t lo = 0, hi = 0;
        DriveBounds(m_fw.windowEndCode, m_ctx.params, &lo, &hi);
        std::string tip = WindowEndTip(lo, WindowEndInterval(m_fw.windowEndCode, m_ctx.params));
        if (m_ctx.commands.SentSinceStart(m_fw.windowEndCode)) return tip;
        const std::string holds = m_ctx.commands.ToolHolds(m_fw.windowEndCode);
        return tip + "; " + kNotSentSinceStartNote + (holds.empty() ? "" : "; " + holds);
    }
    return CGainPage::TipText(id);
}

int32_t CFullWavePage::UnknownCode(int id) const {
    if (id == m_fw.stackId) return m_fw.stackCode;
    if (id == m_fw.windowEndId) return m_fw.windowEndCode;
    return CGainPage::UnknownCode(id);
}

void CFullWavePage::ShowWindowEnd() {
    if (!m_hWnd) return;
    // A number typed there and not entered stays: the next send takes it.
    if (!m_windowEndEdit.IsDirty()) SetItemInt(m_fw.windowEndId, *m_fwValues.windowsEnd);
    RefreshUnknownLooks();
}

// Arrow keys in the closed list move the shown choice only; the choice goes
// to the tool when it is made: the list closed on an item, Enter, the focus
// leaving. A choice from the open list (the mouse) goes at once.
bool CFullWavePage::OnCommand(int id, int code) {
    if (id == m_fw.stackId) {
        switch (code) {
        case CBN_SELCHANGE:
        case CBN_SELENDOK:
            // A closed list hears both at each arrow key as well.
            if (SendMessageA(Item(id), CB_GETDROPPEDSTATE, 0, 0)) StackChosen();
            return true;
        case CBN_CLOSEUP:
        case CBN_KILLFOCUS: StackChosen(); return true;
        default: break;
        }
    }
    return CGainPage::OnCommand(id, code);
}

void CFullWavePage::StackChosen() {
    const int sel = ctl::Combo(Item(m_fw.stackId)).Sel();
    if (sel + 1 == *m_fwValues.stackValue) return;
    StackChanged();
}

void CFullWavePage::StackChanged() {
    *m_fwValues.stackValue = ctl::Combo(Item(m_fw.stackId)).Sel() + 1;
    Send(m_fw.stackCode, *m_fwValues.stackValue);
}

bool CFullWavePage::OnValueEntered(int id, const std::string& text) {
    if (id != m_fw.windowEndId) return false;
    if (!TakeWindowEnd(text)) return true;
    int32_t typed = 0;
    ParseStrictInt(text, &typed);
    const int32_t w = *m_fwValues.windowsEnd;
    std::optional<CommandBatch> batch;
    const std::string what = std::string(Layout().section) + " window end";
    const std::string note = w != typed ? LimitedEntryNote(what, typed, w, "us") : std::string();
    if (!note.empty()) {
        batch.emplace(m_ctx.commands, note.c_str());
        m_ctx.commands.AskedFor(typed);
    }
    SendWindowEnd();
    batch.reset();
    if (w != typed) m_windowEndEdit.ShowNote(WindowEndNote(typed, w));
    return true;
}

std::string CFullWavePage::WindowEndNote(int32_t typed, int32_t sent) const {
    int32_t lo = 0, hi = 0;
    DriveBounds(m_fw.windowEndCode, m_ctx.params, &lo, &hi);
    const std::string range = WindowEndTip(lo, WindowEndInterval(m_fw.windowEndCode, m_ctx.params));
    return LimitedEntryTip(typed, sent, "us", range);
}

bool CFullWavePage::TakeWindowEnd(const std::string& text) {
    int32_t typed = 0;
    if (!ParseStrictInt(text, &typed)) {
        int32_t lo = 0, hi = 0;
        DriveBounds(m_fw.windowEndCode, m_ctx.params, &lo, &hi);
        m_windowEndEdit.Revert(
            RefusedEntryTip(text, WindowEndTip(lo, WindowEndInterval(m_fw.windowEndCode, m_ctx.params))));
        return false;
    }
    *m_fwValues.windowsEnd = LimitDriveValue(m_fw.windowEndCode, typed, m_ctx.params);
    return true;
}

// The value sent is the one the box, the parameter set and the block hold.
void CFullWavePage::SendWindowEnd() {
    const int32_t w = LimitDriveValue(m_fw.windowEndCode, *m_fwValues.windowsEnd, m_ctx.params);
    *m_fwValues.windowsEnd = w;
    m_ctx.blocks.ToolControlBlock().StoreInt(m_fw.windowEndWord, w);
    SetItemInt(m_fw.windowEndId, w);
    Send(m_fw.windowEndCode, w);
}

void CFullWavePage::CommitTyped(bool sendWindowEnd) {
    CommitTypedGains();
    std::string text;
    if (!m_windowEndEdit.TakeTyped(&text) || !TakeWindowEnd(text)) return;
    if (sendWindowEnd) SendWindowEnd();
}

void CFullWavePage::SendDownload() {
    SendChannelGains();
    DownholeFilter();
    StackChanged();
    AutoGain(m_autoFlag != 0);
}

void CFullWavePage::DownloadAll() {
    CommitTyped(true);
    SendDownload();
}

void CFullWavePage::SendAll() {
    CommitTyped(false);
    SendDownload();
    SendWindowEnd();
}

// ALL steps from its own text, with the channel arrows' empty-edit cycle, and
// gives the result (or the cleared text) to every channel.
void CFullWavePage::OnAllArrow(int delta) {
    ApplyAllStep(StepGainArrow(GetItemText(Layout().gainEdits[Channels()]), delta, GainStep()));
}

void CFullWavePage::OnAllKey(int delta) {
    ApplyAllStep(StepGainKey(GetItemText(Layout().gainEdits[Channels()]), delta, GainStep(), *Values().allGain));
}

void CFullWavePage::ApplyAllStep(const ArrowResult& r) {
    if (!r.acted) return;
    for (int ch = 0; ch < Channels(); ++ch) Values().gains[ch] = r.value;
    *Values().allGain = r.value;
    ShowAllGains(r.text.c_str());
    Send(Layout().allCode, r.value);
}
