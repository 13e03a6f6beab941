#include "pages/GainPage.h"

#include "framework/Controls.h"

#include <commctrl.h>

#include <cstring>
#include <string>

#include "core/logic/DriveLimits.h"
#include "base/logic/NumberText.h"
#include "pages/logic/GainRules.h"
#include "pages/logic/GeneralRules.h"
#include "resource.h"

using namespace kelvane;

namespace {
// The CH1# read-back box has one id on every gain page.
constexpr int kFirstReadBackId = IDC_DT_READBACK1;
static_assert(IDC_MONO_READBACK1 == kFirstReadBackId && IDC_DIP_READBACK1 == kFirstReadBackId, "one read-back id");
static_assert(kMaxGainChannels <= kMaxCueChannels, "every channel has its read-back cue");
}

CGainPage::CGainPage(UINT templateId, const GainPageLayout& layout, const GainPageValues& values,
                     const PageContext& ctx)
    : CResizePage(templateId, nullptr), m_ctx(ctx), m_layout(layout), m_values(values) {}

// Called for every frame: a box is written only when its number changes.
// The count of disagreeing frames is one of handled notices: frames that
// arrive while a notice waits are folded into it, so a flood of frames
// counts as fewer, never more.
void CGainPage::ShowGainReadBack(const int32_t* words) {
    if (!words || !m_hWnd) return;
    for (int ch = 0; ch < m_layout.channels; ++ch) {
        if (m_readBackShown[ch] && m_shownReadBack[ch] == words[ch]) continue;
        SetItemInt(kFirstReadBackId + ch, words[ch]);
        m_shownReadBack[ch] = words[ch];
        m_readBackShown[ch] = true;
    }
    RefreshReadBacks(m_readBackCues.Update(words, m_values.gains, m_layout.channels, *m_values.isAuto == 0));
}

void CGainPage::SetReadBackStale(bool stale, const std::string& note) {
    m_staleNote = note;
    if (stale == m_stale) return;
    m_stale = stale;
    RefreshReadBacks((1u << m_layout.channels) - 1);
}

void CGainPage::SetHealthTips(const std::string* tips) {
    if (!tips) return;
    uint32_t changed = 0;
    for (int ch = 0; ch < m_layout.channels; ++ch) {
        if (m_healthTips[ch] == tips[ch]) continue;
        m_healthTips[ch] = tips[ch];
        changed |= 1u << ch;
    }
    if (m_hWnd) RefreshReadBacks(changed);
}

std::string CGainPage::ReadBackMismatch(int ch) const {
    if (ch < 0 || ch >= m_layout.channels || !m_readBackCues.Warning(ch)) return std::string();
    return "reported " + FormatInt(m_readBackCues.Reported(ch)) + " dB, set " + FormatInt(m_readBackCues.Setting(ch)) +
           " dB";
}

bool CGainPage::HasReadBackWarning() const {
    if (m_stale) return true;
    for (int ch = 0; ch < m_layout.channels; ++ch)
        if (m_readBackCues.Warning(ch) || !m_healthTips[ch].empty()) return true;
    return false;
}

void CGainPage::RefreshReadBacks(uint32_t channels) const {
    for (int ch = 0; ch < m_layout.channels; ++ch)
        if (channels & (1u << ch)) m_cues.Refresh(kFirstReadBackId + ch);
}

BOOL CGainPage::OnInitDialog() {
    CResizePage::OnInitDialog();
    // Loaded values are shown as they are, also outside -31..80.
    for (int i = 0; i <= m_layout.channels; ++i) {
        m_limitNotes[i].clear();
        // Written before the box is subclassed, which then takes it as committed.
        SetItemInt(m_layout.gainEdits[i], i < m_layout.channels ? m_values.gains[i] : *m_values.allGain);
        m_gainEdits[i].SubclassWindow(Item(m_layout.gainEdits[i]));
        m_gainEdits[i].SetArrowKeys(Item(m_layout.arrows[i]), [this, i](int delta) { OnGainKey(i, delta); });
    }

    // A new window starts with empty read-back boxes and no count.
    m_readBackCues.Reset();
    for (bool& shown : m_readBackShown) shown = false;
    m_stale = false;
    m_cues.Attach(
        *this, [this](int id) { return TipText(id); },
        [this](int id) {
            const int32_t code = UnknownCode(id);
            if (code != 0 && !m_ctx.commands.SentSinceStart(code)) return Cue::Unknown;
            if (ToolDiffers(GainEditIndex(id))) return Cue::Unknown;
            const int ch = ReadBackIndex(id);
            if (ch < 0) return Cue::None;
            if (m_stale) return Cue::Stale;  // old numbers: whether they disagreed matters less
            if (!m_healthTips[ch].empty()) return Cue::Health;
            return m_readBackCues.Warning(ch) ? Cue::Warning : Cue::None;
        });
    for (int i = 0; i <= m_layout.channels; ++i) {
        const CueTip tips[] = {{m_layout.gainEdits[i], nullptr}, {kFirstReadBackId + i, nullptr}};
        m_cues.AddTips(tips, i < m_layout.channels ? 2 : 1);
    }
    const CueTip unknownTips[] = {
        {m_layout.autoOnId, nullptr}, {m_layout.autoOffId, nullptr}, {m_layout.filterId, nullptr}};
    m_cues.AddTips(unknownTips);
    return TRUE;
}

// A channel's gain in force that the tool was not last sent: the settings
// file gave another value than the journal says the tool holds.
bool CGainPage::ToolDiffers(int edit) const {
    if (edit < 0 || edit >= m_layout.channels) return false;
    const int32_t code = m_layout.firstChannelCode + edit;
    int32_t held = 0;
    if (m_ctx.commands.SentSinceStart(code) || m_ctx.commands.SentSinceStart(m_layout.allCode)) return false;
    return m_ctx.commands.ToolValue(code, &held) && held != m_values.gains[edit];
}

int32_t CGainPage::UnknownCode(int id) const {
    if (id == m_layout.autoOnId || id == m_layout.autoOffId) return m_layout.autoCode;
    if (id == m_layout.filterId) return m_layout.filterCode;
    return 0;
}

void CGainPage::RefreshUnknownLooks() const {
    if (!m_hWnd) return;
    EnumChildWindows(m_hWnd, &CGainPage::RefreshIfUnknown, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK CGainPage::RefreshIfUnknown(HWND control, LPARAM page) {
    const CGainPage* self = reinterpret_cast<const CGainPage*>(page);
    const int id = GetDlgCtrlID(control);
    if (self->UnknownCode(id) != 0) self->m_cues.Refresh(id);
    return TRUE;
}

std::string CGainPage::TipText(int id) const {
    const int32_t code = UnknownCode(id);
    if (code != 0 && GainEditIndex(id) < 0) {
        if (m_ctx.commands.SentSinceStart(code)) return std::string();
        const std::string holds = m_ctx.commands.ToolHolds(code);
        return holds.empty() ? std::string(kNotSentSinceStartTip) : std::string(kNotSentSinceStartTip) + "; " + holds;
    }
    const int edit = GainEditIndex(id);
    if (edit >= 0) {
        const std::string& note = m_limitNotes[edit];
        std::string tip = note.empty() ? GainRangeTip(GainStep()) : GainRangeTip(GainStep()) + "; " + note;
        if (ToolDiffers(edit))
            tip += std::string("; ") + kNotSentSinceStartNote + "; " +
                   m_ctx.commands.ToolHolds(m_layout.firstChannelCode + edit);
        return tip;
    }
    const int ch = ReadBackIndex(id);
    if (ch < 0) return std::string();
    const bool warns = m_readBackCues.Warning(ch);
    const std::string mismatch = warns ? MismatchTip(m_readBackCues.Reported(ch), m_readBackCues.Setting(ch)) : "";
    if (!m_stale && !m_healthTips[ch].empty()) return m_healthTips[ch];
    if (!m_stale) return warns ? mismatch : "Gain the tool reports, " + RangeTip(GAIN_MIN_DB, GAIN_MAX_DB, "dB");
    if (warns) return m_staleNote + "; " + mismatch;
    if (m_readBackShown[ch]) return m_staleNote + "; last report " + FormatInt(m_shownReadBack[ch]) + " dB";
    return m_staleNote;
}

// The read-back boxes let clicks through to the page (no SS_NOTIFY, so
// the page's tips keep working): a click is found by the box's place.
bool CGainPage::ClickedFlaggedBox(LPARAM lParam) const {
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    for (int ch = 0; ch < m_layout.channels; ++ch) {
        if (m_healthTips[ch].empty()) continue;
        HWND box = Item(kFirstReadBackId + ch);
        RECT rc{};
        if (!box || !GetWindowRect(box, &rc)) continue;
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
        if (PtInRect(&rc, at)) return true;
    }
    return false;
}

int CGainPage::ReadBackIndex(int id) const {
    const int ch = id - kFirstReadBackId;
    return ch >= 0 && ch < m_layout.channels ? ch : -1;
}

int CGainPage::GainEditIndex(int id) const {
    for (int i = 0; i <= m_layout.channels; ++i)
        if (m_layout.gainEdits[i] == id) return i;
    return -1;
}

int CGainPage::ArrowIndex(int id) const {
    for (int i = 0; i <= m_layout.channels; ++i)
        if (m_layout.arrows[i] == id) return i;
    return -1;
}

bool CGainPage::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return false;
    // A click on the radio already checked runs its action again.
    if (id == m_layout.autoOnId) AutoGain(true);
    else if (id == m_layout.autoOffId) AutoGainOffClicked();
    else if (id == m_layout.filterId) DownholeFilter();
    else if (m_layout.downloadId != 0 && id == m_layout.downloadId) {
        const std::string what = std::string(m_layout.section) + " Download";
        CommandBatch batch(m_ctx.commands, what.c_str());
        DownloadAll();
    } else return false;
    return true;
}

bool CGainPage::OnNotify(NMHDR* hdr, LRESULT& result) {
    if (!hdr || hdr->code != static_cast<UINT>(UDN_DELTAPOS)) return false;
    const int index = ArrowIndex(static_cast<int>(hdr->idFrom));
    if (index < 0) return false;
    const int delta = reinterpret_cast<const NMUPDOWN*>(hdr)->iDelta;
    if (index < m_layout.channels) OnChannelArrow(index, delta);
    else OnAllArrow(delta);
    result = 0;  // the arrows' own position may change; it means nothing
    return true;
}

bool CGainPage::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (msg == WM_LBUTTONDOWN && ClickedFlaggedBox(lParam)) {
        // The frame's View command: the flags of every page are acknowledged together.
        PostMessageA(GetAncestor(m_hWnd, GA_ROOT), WM_COMMAND, MAKEWPARAM(ID_VIEW_ACK_HEALTH, 0), 0);
        return CResizePage::OnMessage(msg, wParam, lParam, result);
    }
    if (msg != WM_EDITVALUE) return CResizePage::OnMessage(msg, wParam, lParam, result);
    // The box's text, not the number the edit read from it: the rule of
    // what counts as a number is the page's.
    (void)wParam;
    const int id = static_cast<int>(lParam);
    const std::string text = GetItemText(id);
    const int index = GainEditIndex(id);
    if (index >= 0) OnGainEntered(index, text);
    else if (!OnValueEntered(id, text)) return false;
    result = 0;
    return true;
}

void CGainPage::Send(int32_t code, int32_t value) {
    m_command.CodeWord = code;
    m_command.ArgWord = ARG_VALUE;
    m_command.Payload[0] = value;
    ToolCommand copy = m_command;
    const bool wasUnknown = !m_ctx.commands.SentSinceStart(code);
    m_ctx.commands.SendToolCommand(&copy);
    if (wasUnknown && m_ctx.commands.SentSinceStart(code)) RefreshUnknownLooks();
}

void CGainPage::ShowAllGains(const char* text) const {
    for (int i = 0; i <= m_layout.channels; ++i) SetItemText(m_layout.gainEdits[i], text);
}

void CGainPage::NoteLimited(int index, int32_t from, int32_t sent) {
    m_limitNotes[index] = LimitedTip(from, sent, "dB");
}

void CGainPage::OnGainEntered(int index, const std::string& text) { StoreGain(index, text, true); }

bool CGainPage::StoreGain(int index, const std::string& text, bool send) {
    CMyEdit& edit = m_gainEdits[index];
    const std::string range = GainRangeTip(GainStep());
    int32_t typed = 0;
    if (!ParseStrictInt(text, &typed)) {
        edit.Revert(RefusedEntryTip(text, range));
        return false;
    }
    const int32_t g = QuantiseGain(typed, GainStep());
    m_limitNotes[index].clear();
    const bool limited = g != typed;
    const std::string box = std::string(m_layout.section) + " " +
                            (index < m_layout.channels ? "CH" + std::to_string(index + 1) : std::string("ALL")) +
                            " gain";
    // A limited value is journaled as such, both numbers beside the command.
    const std::string note = limited && send ? LimitedEntryNote(box, typed, g, "dB") : std::string();
    const auto store = [&] {
        if (index < m_layout.channels) {
            m_values.gains[index] = g;
            SetItemInt(m_layout.gainEdits[index], g);
            if (send) {
                if (limited) m_ctx.commands.AskedFor(typed);
                Send(m_layout.firstChannelCode + index, g);
            }
        } else {
            for (int ch = 0; ch < m_layout.channels; ++ch) m_values.gains[ch] = g;
            if (m_layout.allSetsAllGain) *m_values.allGain = g;
            ShowAllGains(std::to_string(g).c_str());
            if (send) {
                if (limited) m_ctx.commands.AskedFor(typed);
                Send(m_layout.allCode, g);
            }
        }
    };
    if (note.empty()) {
        store();
    } else {
        CommandBatch batch(m_ctx.commands, note.c_str());
        store();
    }
    if (limited) {
        // The box's tip leads with the range already.
        m_limitNotes[index] = "sent " + FormatInt(g) + " dB, not " + FormatInt(typed) + " dB";
        edit.ShowNote(LimitedEntryTip(typed, g, "dB", range));
    }
    return true;
}

// ALL first: it writes every channel's box, and a channel typed beside it
// keeps the value its own box shows.
void CGainPage::CommitTypedGains() {
    std::string texts[kMaxGainChannels + 1];
    bool typed[kMaxGainChannels + 1] = {};
    for (int i = 0; i <= m_layout.channels; ++i) typed[i] = m_gainEdits[i].TakeTyped(&texts[i]);
    if (typed[m_layout.channels]) StoreGain(m_layout.channels, texts[m_layout.channels], false);
    for (int ch = 0; ch < m_layout.channels; ++ch)
        if (typed[ch]) StoreGain(ch, texts[ch], false);
}

void CGainPage::OnGainKey(int index, int delta) {
    if (index == m_layout.channels) {
        OnAllKey(delta);
        return;
    }
    ApplyChannelStep(index,
                     StepGainKey(GetItemText(m_layout.gainEdits[index]), delta, GainStep(), m_values.gains[index]));
}

void CGainPage::OnChannelArrow(int index, int delta) {
    ApplyChannelStep(index, StepGainArrow(GetItemText(m_layout.gainEdits[index]), delta, GainStep()));
}

void CGainPage::ApplyChannelStep(int index, const ArrowResult& r) {
    const int id = m_layout.gainEdits[index];
    if (!r.acted) return;
    if (r.limited) NoteLimited(index, ParseLeadingInt(GetItemText(id).c_str()), r.value);
    else m_limitNotes[index].clear();
    m_values.gains[index] = r.value;
    SetItemText(id, r.text.c_str());
    Send(m_layout.firstChannelCode + index, r.value);
}

void CGainPage::AutoGain(bool on) {
    *m_values.isAuto = on ? 1 : 0;
    m_autoFlag = on ? 1 : 0;
    // The tool now chooses the gains: no channel disagrees with the operator.
    if (on) RefreshReadBacks(m_readBackCues.Reset());
    OnAutoGainSet(on);
    Send(m_layout.autoCode, on ? VALUE_ON : VALUE_OFF);
}

void CGainPage::AutoGainOffClicked() {
    const bool wasAuto = *m_values.isAuto != 0;
    bool fresh = !m_stale;
    for (int ch = 0; ch < m_layout.channels; ++ch) fresh = fresh && m_readBackShown[ch];
    const bool bumpless = wasAuto && m_ctx.params.BumplessAutoGainOff != 0;
    if (!bumpless) {
        AutoGain(false);
        return;
    }
    const std::string section = m_layout.section;
    if (!fresh) {
        // Told, not hidden: the tool falls to gains it may not have run at.
        const std::string what = section + " auto gain off, no fresh read-back: gains kept";
        CommandBatch batch(m_ctx.commands, what.c_str());
        AutoGain(false);
        return;
    }
    const std::string what = section + " bumpless auto gain off";
    CommandBatch batch(m_ctx.commands, what.c_str());
    AutoGain(false);
    int32_t gains[kMaxGainChannels];
    BumplessGains(m_shownReadBack, m_layout.channels, GainStep(), gains);
    for (int ch = 0; ch < m_layout.channels; ++ch) {
        m_limitNotes[ch].clear();
        m_values.gains[ch] = gains[ch];
        SetItemInt(m_layout.gainEdits[ch], gains[ch]);
    }
    SendChannelGains();
}

void CGainPage::DownholeFilter() {
    *m_values.filter = ctl::Check(Item(m_layout.filterId)).Checked() ? 1 : 0;
    Send(m_layout.filterCode, *m_values.filter ? VALUE_ON : VALUE_OFF);
}

// A gain the settings file held outside the drive range goes out limited,
// and the box and the parameter set take the value sent.
void CGainPage::SendChannelGains() {
    for (int ch = 0; ch < m_layout.channels; ++ch) {
        const int32_t code = m_layout.firstChannelCode + ch;
        const int32_t g = LimitDriveValue(code, m_values.gains[ch], m_ctx.params);
        if (g != m_values.gains[ch]) {
            NoteLimited(ch, m_values.gains[ch], g);
            m_values.gains[ch] = g;
            SetItemInt(m_layout.gainEdits[ch], g);
        }
        Send(code, g);
    }
}
