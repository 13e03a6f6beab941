#include "shell/MainFrame.h"

#include <commctrl.h>

#include <atomic>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>

#include "base/LocalClock.h"
#include "base/logic/NumberText.h"
#include "core/FieldTrace.h"
#include "core/HostMemory.h"
#include "framework/DialogNav.h"
#include "framework/logic/DpiLayout.h"
#include "framework/PrivateMessages.h"
#include "shell/ControlView.h"
#include "shell/TrendWindow.h"
#include "shell/logic/StripRules.h"
#include "shell/SetupDialogs.h"
#include "resource.h"

namespace {
constexpr const char* kFrameClass = "KelvaneControlFrame";
// While a window of an earlier load still stands (it was open on another
// thread as that load went), its class does too: this load uses the other name.
constexpr const char* kSpareFrameClass = "KelvaneControlFrame2";
const char* g_frameClass = kFrameClass;
// Where the last frame of this load stood once fitted to its form: the next
// is made there, already the size its form needs.
RECT g_fitted{};
constexpr UINT kFirstPaneId = 0xE900;
constexpr UINT kStatusStripId = 0xE801;
}  // namespace

namespace {
// How the application gets its frame without naming this layer's classes.
class FrameMaker : public kelvane::ControlFrameMaker {
public:
    kelvane::ControlFrame* Make(const kelvane::FrameLink& link) override { return new (std::nothrow) CMainFrame(link); }
    void ReleaseClass() override { CMainFrame::UnregisterWindowClass(); }
};
FrameMaker g_frameMaker;
// As the library loads, before its start-up (DllMain) runs.
const bool g_frameMakerRegistered = (kelvane::RegisterControlFrameMaker(&g_frameMaker), true);
}  // namespace

CMainFrame::CMainFrame(const kelvane::FrameLink& link)
    : m_link(link), m_trend(link.trend), m_trendTap(link.pages.commands, link.trend, m_hWnd) {}

bool CMainFrame::Open() {
    if (!LoadFrame(IDR_MAINFRAME, WS_VISIBLE | WS_SYSMENU)) return false;
    // Drawn before the host has it back: painted from the host's loop, each
    // of its windows' WM_PAINT would also go through the keyboard hook, a
    // few requests to the window manager apiece.
    UpdateWindow(m_hWnd);
    return true;
}

CMainFrame::~CMainFrame() {
    // A trend window whose thread ended with ours never saw WM_NCDESTROY.
    if (m_trendWnd) {
        m_trendWnd->Detach();
        delete m_trendWnd;
        m_trendWnd = nullptr;
    }
    delete m_pView;
    m_pView = nullptr;
    // A frame whose thread ended never saw WM_DESTROY: its hook goes here.
    UninstallDialogNavigation();
}

bool CMainFrame::LoadFrame(UINT resourceId, DWORD style) {
    HINSTANCE inst = AfxGetResourceHandle();
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    // The class and its icon are made once per load of the library and go
    // together at unload; a window opened again must not load another icon.
    const char* registered = RegisterOwnClass(kFrameClass, kSpareFrameClass, CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW),
                                              reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), IDI_FRAME);
    if (!registered) return false;
    g_frameClass = registered;
    HMENU menu = LoadMenuA(inst, MAKEINTRESOURCEA(resourceId));
    const bool fitted = g_fitted.right > g_fitted.left && g_fitted.bottom > g_fitted.top;
    const bool made = fitted ? CreateEx(0, g_frameClass, "Varro Control Window", style | WS_THICKFRAME, g_fitted.left,
                                        g_fitted.top, g_fitted.right - g_fitted.left, g_fitted.bottom - g_fitted.top,
                                        nullptr, menu)
                             : CreateEx(0, g_frameClass, "Varro Control Window", style | WS_THICKFRAME, CW_USEDEFAULT,
                                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu);
    if (!made && menu) DestroyMenu(menu);
    return made && m_hWnd != nullptr;
}

void CMainFrame::UnregisterWindowClass() {
    CControlView::ReleaseSharedImages();  // made once per load, as the class is
    UnregisterOwnClass(g_frameClass);
    CTrendWindow::UnregisterWindowClass();
}

bool CMainFrame::OnCreate() {
    m_link.owner.FrameUp(this);  // pages send commands during creation; notices come here
    CreateStatusStrip();
    m_link.job.Event("Control window opened");
    m_watch.Open(SampleFrames());
    m_pView = new (std::nothrow)
        CControlView(kelvane::PageContext{m_link.pages.params, m_trendTap, m_link.pages.blocks});
    if (m_pView && m_pView->Create(m_hWnd, kFirstPaneId)) {
        RecalcLayout();
        m_pView->OnInitialUpdate(StatusStripHeight());
        RecalcLayout();
        PlaceBesideHost();
        GetWindowRect(m_hWnd, &g_fitted);
    }
    CControlView* view = m_pView && m_pView->m_hWnd ? m_pView : nullptr;
    HWND frame = m_hWnd;
    InstallDialogNavigation(view ? view->m_hWnd : nullptr, [view, frame](UINT key, bool shift) {
        if (key == 'T' && !shift) {  // View, "Read-back trend"
            PostMessageA(frame, WM_COMMAND, MAKEWPARAM(ID_VIEW_TREND, 0), 0);
            return true;
        }
        if (key == 'K' && !shift) {  // View, "Acknowledge health flags"
            PostMessageA(frame, WM_COMMAND, MAKEWPARAM(ID_VIEW_ACK_HEALTH, 0), 0);
            return true;
        }
        return view && view->OnShortcut(key, shift);
    });
    CheckMenuItem(GetMenu(m_hWnd), ID_FILE_BUMPLESS,
                  m_link.pages.params.BumplessAutoGainOff ? MF_CHECKED : MF_UNCHECKED);
    SetTimer(m_hWnd, kSaveTimer, kSaveTickMs, nullptr);
    SetTimer(m_hWnd, kStatusTimer, kStatusTickMs, nullptr);
    SetTimer(m_hWnd, kTrendTimer, kTrendTickMs, nullptr);
    UpdateStatusStrip();
    // After the window is up, from the loop: where the settings went, when
    // they could not go to the INI.
    if (m_link.settings.NoticePending()) PostMessageA(m_hWnd, kelvane::WM_SETTINGSNOTICE, 0, 0);
    return true;  // the frame stands whatever the view did
}

void CMainFrame::CreateStatusStrip() {
    m_strip = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, m_hWnd,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kStatusStripId)), AfxGetResourceHandle(),
                              nullptr);
    for (std::string& text : m_stripTexts) text.clear();
    m_stripParts = 0;
    m_countWidths[0] = m_countWidths[1] = 0;
    m_failure.clear();
    m_lastSent.clear();
    m_failureTip.clear();
    m_failureCut = false;
    m_stripTipText.clear();
    m_stripTip = nullptr;
    if (!m_strip) return;
    LayOutStrip();
}

// A part's width for text in the strip's font: the text, the part's
// borders, and a character's width for the strip's inset and a little air.
int CMainFrame::StripTextWidth(const std::string& text) const {
    HDC dc = GetDC(m_strip);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(m_strip, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(m_strip, dc);
    return size.cx + 2 * GetSystemMetrics(SM_CXEDGE) + tm.tmAveCharWidth;
}

// A failure (a DSP error, a save that went wrong) gets a part of its own
// while there is one: whole where the strip has room for it beside the last
// command, else the first of its shorter forms that has, with the whole in
// the tip. The last command keeps the room its text needs, so it never goes
// out of sight behind a failure; only a strip too narrow for the counts and
// the last command cuts a failure shorter still.
void CMainFrame::LayOutStrip() {
    if (!m_strip) return;
    int edges[kStripMaxParts] = {};
    int x = 0;
    for (int i = 0; i < 2; ++i) edges[i] = x += m_countWidths[i];
    RECT rc{};
    GetClientRect(m_strip, &rc);
    // The size grip takes the last part's right end.
    const int room = rc.right - GetSystemMetrics(SM_CXVSCROLL) - x;
    const int last = StripTextWidth(m_lastSent);
    int parts = 3;
    std::string failure;
    m_failureCut = false;
    if (!m_failure.empty()) {
        parts = 4;
        int width = 0;
        for (const std::string& form : m_failure) {
            failure = form;
            width = StripTextWidth(form);
            if (width + last <= room) break;
        }
        m_failureCut = failure != m_failure.front() || width + last > room;
        // However narrow the strip, its first words stay in sight ("DSP error", "Settings").
        if (width + last > room) width = std::max(room - last, StripTextWidth(failure.substr(0, 9)));
        edges[2] = x + width;
    }
    edges[parts - 1] = -1;
    if (parts != m_stripParts || !std::equal(edges, edges + parts, m_stripEdges)) {
        SendMessageA(m_strip, SB_SETPARTS, static_cast<WPARAM>(parts), reinterpret_cast<LPARAM>(edges));
        std::copy(edges, edges + parts, m_stripEdges);
        // Parts 2 and on are written again: a NUL is no text the strip holds.
        for (int i = 2; i < kStripMaxParts; ++i) m_stripTexts[i].assign(1, '\0');
        m_stripParts = parts;
    }
    if (parts == 4) SetStripText(2, failure);
    SetStripText(parts - 1, m_lastSent);
    SetStripTip(StripTip());
}

// The tip over the strip, made when it first has something to say: a window
// that opens without a failure to report never pays for it.
void CMainFrame::MakeStripTip() {
    m_stripTip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0, 0,
                                 m_hWnd, nullptr, AfxGetResourceHandle(), nullptr);
    if (!m_stripTip) return;
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_strip);
    tool.lpszText = const_cast<char*>("");
    SendMessageA(m_stripTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageA(m_stripTip, TTM_SETMAXTIPWIDTH, 0, 600);
}

int CMainFrame::StatusStripHeight() const {
    if (!m_strip) return 0;
    RECT rc;
    GetWindowRect(m_strip, &rc);
    return rc.bottom - rc.top;
}

// The strip under the form, the view above it: the strip never covers the form.
void CMainFrame::RecalcLayout() {
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    if (m_strip) {
        SendMessageA(m_strip, WM_SIZE, 0, 0);  // the strip places itself at the bottom
        rc.bottom = std::max<LONG>(0, rc.bottom - StatusStripHeight());
        LayOutStrip();  // a failure may show whole now, or only in short
    }
    if (!m_pView || !m_pView->m_hWnd) return;
    SetWindowPos(m_pView->m_hWnd, nullptr, 0, 0, rc.right, rc.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The platform's default place (without a window manager, the screen's
// top-left corner) may lie over the host's panels. The host's window is the
// one given at start-up; a hidden or minimised one covers nothing.
void CMainFrame::PlaceBesideHost() {
    HWND host = m_link.host.HostWindow();
    if (!host || !IsWindow(host)) return;
    host = GetAncestor(host, GA_ROOT);
    if (!host || host == m_hWnd || !IsWindowVisible(host) || IsIconic(host)) return;
    RECT other{}, now{};
    GetWindowRect(host, &other);
    GetWindowRect(m_hWnd, &now);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromWindow(host, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT& work = monitor.rcWork;
    kelvane::RszRect placed{};
    if (!kelvane::PlaceBeside({other.left, other.top, other.right, other.bottom}, now.right - now.left,
                              now.bottom - now.top, {work.left, work.top, work.right, work.bottom}, placed))
        return;  // no room beside it: where the platform and the form's fit put it
    // A frame made where the last one was placed needs no move.
    if (placed.left == now.left && placed.top == now.top) return;
    SetWindowPos(m_hWnd, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

kelvane::FrameSample CMainFrame::SampleFrames() const {
    const kelvane::FrameCounts::Tally t = m_link.intake.Counts().Read();
    return {GetTickCount(), t.frames, t.usable, t.lastUsableTick};
}

void CMainFrame::OnStatusTick() {
    FieldTrace::Flush();
    m_watch.Sample(SampleFrames());
    UpdateStale();
    if (m_pView) m_pView->RefreshPageMarks();
    UpdateStatusStrip();
    const uint32_t delay = kelvane::StaleTimerDelay(m_stale, m_watch.SinceMs(), kelvane::kStaleAfterMs, kStatusTickMs);
    if (delay) SetTimer(m_hWnd, kStaleTimer, delay, nullptr);
}

void CMainFrame::UpdateStale() {
    const bool stale = m_watch.Stale();
    if (stale == m_stale || !m_pView) return;
    m_stale = stale;
    std::string note;
    if (stale) {
        const std::string since = kelvane::FormatClock(
            kelvane::SecondsOfDayAgo(LocalSecondsOfDay(), m_watch.SinceMs()));
        note = m_watch.AnyUsable() ? "No report from the tool since " + since
                                   : "No report from the tool since the window opened at " + since;
    }
    m_pView->SetReadBackStale(stale, note);
}

void CMainFrame::SetStripText(int part, const std::string& text) {
    if (!m_strip || part < 0 || part >= kStripMaxParts || m_stripTexts[part] == text) return;
    m_stripTexts[part] = text;
    SendMessageA(m_strip, SB_SETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.c_str()));
}

void CMainFrame::UpdateStatusStrip() {
    const std::string counts[2] = {m_watch.FramesText(), m_watch.DroppedText()};
    bool changed = false;
    for (int i = 0; i < 2; ++i) {
        if (counts[i] == m_stripTexts[i]) continue;
        const int width = StripTextWidth(counts[i]);
        changed |= width > m_countWidths[i];
        m_countWidths[i] = std::max(m_countWidths[i], width);
    }
    // A save that failed (or kept another program's values) leads until a
    // later save goes well; its tip gives the full paths. A DSP error stays
    // in sight from any page until an all-OK report; a job journal that
    // cannot be written goes with the saves; a channel flagged in auto gain
    // leads, until acknowledged.
    const CSettingsFile::Status settings = m_link.settings.Status();
    kelvane::StripFailure what;
    what.dsp = m_pView ? m_pView->DspErrorNote() : std::string();
    what.saveLine = settings.line;
    what.saveShort = settings.shortLine;
    what.journal = m_link.job.Failure();
    what.health = HealthStripForms();
    m_stripShowsHealth = !what.health.empty();
    const std::vector<std::string> failure = kelvane::StripFailureForms(what);
    const std::string last = m_link.host.Sent().Line();
    if (changed || failure != m_failure || last != m_lastSent || settings.tip != m_failureTip) {
        m_failure = failure;
        m_lastSent = last;
        m_failureTip = settings.tip;
        LayOutStrip();
    }
    SetStripText(0, counts[0]);
    SetStripText(1, counts[1]);
    SetStripTip(StripTip());  // the counts of what was absorbed move on their own
}

// A failure shown shorter than whole is in the tip whole, above its details.
std::string CMainFrame::StripTip() const {
    std::string tip = m_failureTip;
    if (m_failureCut) tip = tip.empty() ? m_failure.front() : m_failure.front() + "\r\n" + tip;
    const std::string job = "Job: " + m_link.job.Title() + " (journal " + m_link.job.Path() + ")";
    return FieldTrace::WithCounts(tip.empty() ? job : job + "\r\n" + tip);
}

void CMainFrame::SetStripTip(const std::string& text) {
    if (!m_strip || m_stripTipText == text) return;
    if (!m_stripTip) MakeStripTip();
    if (!m_stripTip) return;
    m_stripTipText = text;
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_strip);
    tool.lpszText = const_cast<char*>(m_stripTipText.c_str());
    SendMessageA(m_stripTip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageA(m_stripTip, TTM_ACTIVATE, !text.empty(), 0);
}

bool CMainFrame::OnSetupCommand(UINT id) {
    if (id == ID_FILE_NEW_JOB) {
        NewJobFromMenu(m_hWnd, m_link);
        UpdateStatusStrip();
        return true;
    }
    if (id != ID_FILE_SAVE_SETUP && id != ID_FILE_LOAD_SETUP && id != ID_FILE_SAVE_RECORD) return false;
    if (!m_pView || !m_pView->m_hWnd) return true;
    if (id == ID_FILE_SAVE_SETUP) SaveSetupFromMenu(m_hWnd, m_link, *m_pView);
    else if (id == ID_FILE_SAVE_RECORD) SaveJobRecordFromMenu(m_hWnd, m_link, *m_pView);
    else if (LoadSetupFromMenu(m_hWnd, m_link, *m_pView)) OnSetupLoaded();
    UpdateStatusStrip();
    return true;
}

void CMainFrame::ShowSettingsNotice() {
    const std::string notice = m_link.settings.TakeNotice();
    if (notice.empty()) return;
    std::string oneLine = notice;
    for (char& c : oneLine)
        if (c == '\r' || c == '\n') c = ' ';
    const int32_t now = LocalSecondsOfDay();
    m_link.notes.SaveFailed(oneLine, now);
    m_link.job.Event("Settings not saved to the file: " + oneLine);
    m_link.notes.NoticeShown(oneLine, now);
    ModalMessageBox(m_hWnd, notice, "Varro Control Window", MB_OK | MB_ICONWARNING);
}

void CMainFrame::OnSetupLoaded() {
    // The pages were made anew: they show the last read-back again, and its
    // old look when it is old. The trend marks the moment.
    MarkTrend(kelvane::TrendMarkKind::SetupLoad);
    m_link.job.Event("Set-up loaded: " + m_link.notes.Setup(), -1, static_cast<int>(kelvane::TrendMarkKind::SetupLoad));
    if (m_readBackShown && m_pView) m_pView->ShowReadBack(m_link.intake.Gains());
    m_stale = false;
    m_watch.Sample(SampleFrames());
    UpdateStale();
    if (m_pView) m_pView->RefreshPageMarks();
    UpdateStatusStrip();
}

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: return OnCreate() ? 0 : -1;
    case WM_SIZE: RecalcLayout(); return 0;
    case WM_SETFOCUS:
        if (m_pView && m_pView->m_hWnd) SetFocus(m_pView->m_hWnd);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == ID_FILE_EXIT) {
            // Exit closes the control window just as the close box does.
            PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
            return 0;
        }
        if (LOWORD(wParam) == ID_FILE_BUMPLESS) {
            kelvane::ParameterSet& p = m_link.pages.params;
            p.BumplessAutoGainOff = p.BumplessAutoGainOff ? 0 : 1;
            CheckMenuItem(GetMenu(m_hWnd), ID_FILE_BUMPLESS, p.BumplessAutoGainOff ? MF_CHECKED : MF_UNCHECKED);
            return 0;
        }
        if (LOWORD(wParam) == ID_FILE_SEND_ALL) {
            // Nothing goes blind: what would change from the tool's values first.
            if (!m_pView || !m_pView->m_hWnd || !ConfirmSendAll(m_hWnd, m_link, *m_pView) || !m_pView) return 0;
            const uint32_t sentBefore = m_trendTap.Sent();
            m_pView->SendAllSettings();
            if (m_trendTap.Sent() != sentBefore) {
                MarkTrend(kelvane::TrendMarkKind::SendAll);
                m_link.job.Event("Send all: " + std::to_string(m_trendTap.Sent() - sentBefore) + " commands", -1,
                                 static_cast<int>(kelvane::TrendMarkKind::SendAll));
            }
            UpdateStatusStrip();
            return 0;
        }
        if (LOWORD(wParam) == ID_VIEW_TREND) {
            OpenTrend();
            return 0;
        }
        if (LOWORD(wParam) == ID_VIEW_ACK_HEALTH) {
            AcknowledgeHealth();
            return 0;
        }
        if (OnSetupCommand(LOWORD(wParam))) return 0;
        break;
    case kelvane::WM_READBACKNOTICE: OnReadBackNotice(); return 0;
    case WM_NOTIFY: {
        // A click on the strip's failure part while it shows a health flag acknowledges it.
        const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (hdr && hdr->hwndFrom == m_strip && hdr->hwndFrom && (hdr->code == NM_CLICK || hdr->code == NM_DBLCLK)) {
            const auto* mouse = reinterpret_cast<const NMMOUSE*>(lParam);
            if (m_stripShowsHealth && m_stripParts == 4 && mouse->dwItemSpec == 2) AcknowledgeHealth();
            return 0;
        }
        break;
    }
    case WM_TIMER:
        if (wParam == kSaveTimer) {
            m_link.settings.SaveWhenSettled();
            return 0;
        }
        if (wParam == kTrendTimer) {
            SampleTrend();
            return 0;
        }
        if (wParam == kStatusTimer || wParam == kStaleTimer) {
            if (wParam == kStaleTimer) KillTimer(m_hWnd, kStaleTimer);
            OnStatusTick();
            return 0;
        }
        if (wParam != kReadBackTimer) break;
        KillTimer(m_hWnd, kReadBackTimer);
        m_readBackDeferred = false;
        ShowReadBack();
        return 0;
    case kelvane::WM_SETTINGSNOTICE: ShowSettingsNotice(); return 0;
    case kelvane::WM_HOSTSTATE:
        if (m_pView) m_pView->EnableStatusCheck(static_cast<int32_t>(wParam));
        return 0;
    case kelvane::WM_DSPSTATUS: {
        const auto* report = reinterpret_cast<const kelvane::DspStatusReport*>(wParam);
        // Reads only what the host's report really holds: a bad address is ignored.
        if (m_pView && Readable(report, offsetof(kelvane::DspStatusReport, StatusWord) + 2)) {
            m_pView->SetDspStatus(*report);
            JournalDspErrors();
            UpdateStatusStrip();
        }
        return 0;
    }
    case WM_DESTROY:
        if (m_readBackDeferred) KillTimer(m_hWnd, kReadBackTimer);
        m_readBackDeferred = false;
        KillTimer(m_hWnd, kSaveTimer);
        KillTimer(m_hWnd, kStatusTimer);
        KillTimer(m_hWnd, kStaleTimer);
        KillTimer(m_hWnd, kTrendTimer);
        if (m_trendWnd && m_trendWnd->m_hWnd) DestroyWindow(m_trendWnd->m_hWnd);
        UninstallDialogNavigation();
        m_link.settings.SaveIfChanged();  // closing: no need to wait for the timer
        m_link.job.Event("Control window closed");
        // A handler of ours may still run under this (the window went under
        // its modal loop): it finds no strip to write to.
        m_strip = nullptr;
        m_stripTip = nullptr;
        break;
    case WM_NCDESTROY:
        // At once, not when the object goes: a notice to this window will
        // never be handled, and the next ToolControlShow opens a new one.
        m_link.owner.FrameGone(this);
        break;
    default: break;
    }
    return CWnd::WindowProc(msg, wParam, lParam);
}

// Posted notices come before input in the queue, so while the tool streams
// changing words (each display rewrites up to twenty boxes) a click could
// wait behind display after display. While frames stream (the last display
// was moments ago) and a click or key is already waiting, the display goes
// behind it: the notice stays pending (the frame thread posts no more
// meanwhile) and a timer, which the queue hands out after input, shows the
// latest words. Deferred once at most, so the display never starves; a
// notice after a quiet spell is shown at once.
void CMainFrame::OnReadBackNotice() {
    if (m_readBackDeferred) return;  // the timer shows the latest words
    const bool streaming = kelvane::Streaming(GetTickCount(), m_lastReadBackTick);
    // GetInputState: a key or mouse button waiting, without touching the
    // queue's "new since last looked" bits a host's wait loop may rely on.
    if (streaming && GetInputState() && SetTimer(m_hWnd, kReadBackTimer, USER_TIMER_MINIMUM, nullptr)) {
        m_readBackDeferred = true;
        return;
    }
    ShowReadBack();
}

void CMainFrame::ShowReadBack() {
    m_link.intake.NoticeTaken();  // frames from now on post a fresh notice
    // Only frames without read-back words since the last display: the
    // boxes already show the latest words, and they are no new report.
    const uint32_t usable = m_link.intake.Counts().Usable();
    if (m_readBackShown && usable == m_shownUsable) return;
    m_readBackShown = true;
    m_shownUsable = usable;
    if (m_pView) m_pView->ShowReadBack(m_link.intake.Gains());
    m_lastReadBackTick = GetTickCount();
    JournalMismatches();
    // The first good frame clears the stale look at once.
    if (m_stale) {
        m_watch.Sample(SampleFrames());
        UpdateStale();
    }
    if (m_pView) m_pView->RefreshPageMarks();
}

// Each channel's disagreement with its set gain, as it begins and ends.
void CMainFrame::JournalMismatches() {
    if (!m_pView) return;
    std::string now[kelvane::kTrendChannels];
    m_pView->ReadBackMismatches(now);
    const DWORD tick = GetTickCount();
    for (int c = 0; c < kelvane::kTrendChannels; ++c) {
        if (now[c].empty() == m_mismatch[c].empty()) continue;
        const std::string name = kelvane::HealthChannelName(c);
        if (!now[c].empty()) {
            m_link.job.Event(name + " read-back differs from the set gain (" + now[c] + ")");
            m_mismatchSince[c] = tick;
        } else {
            m_link.job.Event(name + " read-back agrees with the set gain again", tick - m_mismatchSince[c]);
        }
        m_mismatch[c] = now[c];
    }
}

void CMainFrame::JournalDspErrors() {
    if (!m_pView) return;
    std::string errors;
    for (const std::string& line : m_pView->DspStatusLines()) {
        const size_t colon = line.find(':');
        if (line.find("ERROR") != std::string::npos) errors += (errors.empty() ? "" : ", ") + line.substr(0, colon);
    }
    if (errors == m_dspErrors) return;
    m_link.job.Event(errors.empty() ? std::string("DSP errors cleared") : "DSP error reported: " + errors);
    m_dspErrors = errors;
}

// Health judges each new sample of the application's trend (which its
// own thread takes, window or not), from the window's timer.
void CMainFrame::SampleTrend() {
    const uint32_t now = GetTickCount();
    kelvane::PublishTrendReference(m_link.pages.params, m_trend);
    kelvane::TrendSample last{};
    bool taken = false;
    m_trend.Read([&](const kelvane::TrendRing& ring, const kelvane::TrendHistory&) {
        if (ring.Size() == 0) return;
        last = ring.At(ring.Size() - 1);
        taken = last.tick != m_judgedTick;
    });
    if (taken) m_judgedTick = last.tick;
    std::vector<kelvane::HealthEvent> events;
    if (m_trendTap.ToolResets() != m_resetsJudged) {
        m_resetsJudged = m_trendTap.ToolResets();
        events = m_health.ToolReset(now);
    }
    const std::vector<kelvane::HealthEvent> more = taken ? m_health.Offer(last, m_link.pages.params.GainStep)
                                                         : m_health.Idle(now);
    events.insert(events.end(), more.begin(), more.end());
    if (!events.empty()) OnHealthEvents(events);
}

void CMainFrame::OnHealthEvents(const std::vector<kelvane::HealthEvent>& events) {
    const int32_t now = LocalSecondsOfDay();
    bool began = false;
    for (const kelvane::HealthEvent& e : events) {
        m_link.notes.Event(kelvane::HealthEventLine(e), now);
        m_link.job.Event(kelvane::HealthEventLine(e), -1,
                         e.began ? static_cast<int>(kelvane::TrendMarkKind::Health) : -1);
        if (!e.began) continue;
        m_trend.Mark(TrendWallNowMs() - (GetTickCount() - e.flag.since), e.flag.since, kelvane::TrendMarkKind::Health);
        began = true;
    }
    ShowHealthLooks();
    UpdateStatusStrip();
    if (began) AskForAttention();
}

void CMainFrame::ShowHealthLooks() {
    if (!m_pView) return;
    std::string tips[kelvane::kTrendChannels];
    const uint32_t now = GetTickCount();
    const int32_t clock = LocalSecondsOfDay();
    for (int c = 0; c < kelvane::kTrendChannels; ++c) {
        const kelvane::HealthFlag& f = m_health.Flag(c);
        if (!f.on) continue;
        const std::string since = kelvane::FormatClock(kelvane::SecondsOfDayAgo(clock, now - f.since));
        tips[c] = kelvane::HealthTip(f, since);
    }
    m_pView->SetHealthTips(tips);
}

std::vector<std::string> CMainFrame::HealthStripForms() const {
    const std::vector<int> flagged = m_health.Unacknowledged();
    if (flagged.empty()) return {};
    std::vector<std::string> forms = kelvane::HealthFlagForms(flagged.front(), m_health.Flag(flagged.front()),
                                                              GetTickCount());
    if (flagged.size() > 1)
        for (std::string& form : forms) form += " (+" + std::to_string(flagged.size() - 1) + " more)";
    return forms;
}

void CMainFrame::AcknowledgeHealth() {
    if (m_health.Unacknowledged().empty()) return;
    m_health.AcknowledgeAll();
    ShowHealthLooks();
    UpdateStatusStrip();
    FLASHWINFO stop{sizeof stop, m_hWnd, FLASHW_STOP, 0, 0};
    FlashWindowEx(&stop);
}

// Only while the operator looks elsewhere (the host's display in front, or
// this window minimised): the taskbar button and caption flash until the
// window is activated; the focus stays where it is.
void CMainFrame::AskForAttention() {
    if (m_health.Unacknowledged().empty()) return;
    HWND active = GetForegroundWindow();
    if (active && GetAncestor(active, GA_ROOTOWNER) == m_hWnd && !IsIconic(m_hWnd)) return;
    FLASHWINFO flash{sizeof flash, m_hWnd, FLASHW_ALL | FLASHW_TIMERNOFG, 0, 0};
    FlashWindowEx(&flash);
}

void CMainFrame::MarkTrend(kelvane::TrendMarkKind kind) { m_trend.Mark(TrendWallNowMs(), GetTickCount(), kind); }

void CMainFrame::OpenTrend() { CTrendWindow::Open(m_hWnd, m_trend, &m_trendWnd); }

void CMainFrame::TrendTap::SendToolCommand(const kelvane::ToolCommand* block) {
    if (!m_window) return;
    if (block && block->CodeWord == kelvane::CMD_TOOL_RESET) {
        m_trend.Mark(TrendWallNowMs(), GetTickCount(), kelvane::TrendMarkKind::ToolReset);
        ++m_toolResets;
    }
    ++m_sent;
    m_next.SendToolCommand(block);
}

void CMainFrame::PostNcDestroy() { delete this; }
