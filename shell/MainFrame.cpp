#include "shell/MainFrame.h"

#include <commctrl.h>

#include <atomic>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>

#include "base/logic/NumberText.h"
#include "core/FieldTrace.h"
#include "core/HostMemory.h"
#include "framework/DialogNav.h"
#include "framework/PrivateMessages.h"
#include "shell/ControlView.h"
#include "shell/TrendWindow.h"
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

// Widest text each fixed part of the strip shows, for its width.
const char* const kStripWidest[2] = {"Frames: 10000.0/s, last 59 min 59 s ago", "Dropped: 4294967295"};
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

CMainFrame::CMainFrame(const kelvane::FrameLink& link) : m_link(link), m_trendTap(link.pages.commands, m_trend, m_hWnd) {}

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
    m_watch.Open(SampleFrames());
    m_trend.Open(m_link.intake.Counts().Usable());
    m_pView = new (std::nothrow) CControlView(kelvane::PageContext{m_link.pages.params, m_trendTap, m_link.pages.blocks});
    if (m_pView && m_pView->Create(m_hWnd, kFirstPaneId)) {
        RecalcLayout();
        m_pView->OnInitialUpdate(StatusStripHeight());
        RecalcLayout();
        GetWindowRect(m_hWnd, &g_fitted);
    }
    CControlView* view = m_pView && m_pView->m_hWnd ? m_pView : nullptr;
    HWND frame = m_hWnd;
    InstallDialogNavigation(view ? view->m_hWnd : nullptr, [view, frame](UINT key, bool shift) {
        if (key == 'T' && !shift) {  // View, "Read-back trend"
            PostMessageA(frame, WM_COMMAND, MAKEWPARAM(ID_VIEW_TREND, 0), 0);
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
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kStatusStripId)),
                              AfxGetResourceHandle(), nullptr);
    for (std::string& text : m_stripTexts) text.clear();
    if (!m_strip) return;
    // The two fixed parts fit their widest texts in the strip's font; the
    // last part takes the rest of any width.
    HDC dc = GetDC(m_strip);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(m_strip, WM_GETFONT, 0, 0)));
    int edges[3] = {0, 0, -1};
    int x = 0;
    for (int i = 0; i < 2; ++i) {
        SIZE size{};
        GetTextExtentPoint32A(dc, kStripWidest[i], static_cast<int>(strlen(kStripWidest[i])), &size);
        x += size.cx + 2 * GetSystemMetrics(SM_CXEDGE) + size.cy;
        edges[i] = x;
    }
    SelectObject(dc, old);
    ReleaseDC(m_strip, dc);
    SendMessageA(m_strip, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(edges));
    m_stripTipText.clear();
    m_stripTip = nullptr;
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
    }
    if (!m_pView || !m_pView->m_hWnd) return;
    SetWindowPos(m_pView->m_hWnd, nullptr, 0, 0, rc.right, rc.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
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
    const uint32_t since = m_watch.SinceMs();
    if (!m_stale && since < kelvane::kStaleAfterMs && kelvane::kStaleAfterMs - since < kStatusTickMs)
        SetTimer(m_hWnd, kStaleTimer, kelvane::kStaleAfterMs - since, nullptr);
}

void CMainFrame::UpdateStale() {
    const bool stale = m_watch.Stale();
    if (stale == m_stale || !m_pView) return;
    m_stale = stale;
    std::string note;
    if (stale) {
        const std::string since = kelvane::FormatClock(kelvane::SecondsOfDayAgo(LocalSecondsOfDay(), m_watch.SinceMs()));
        note = m_watch.AnyUsable() ? "No report from the tool since " + since
                                   : "No report from the tool since the window opened at " + since;
    }
    m_pView->SetReadBackStale(stale, note);
}

void CMainFrame::SetStripText(int part, const std::string& text) {
    if (!m_strip || m_stripTexts[part] == text) return;
    m_stripTexts[part] = text;
    SendMessageA(m_strip, SB_SETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.c_str()));
}

void CMainFrame::UpdateStatusStrip() {
    SetStripText(0, m_watch.FramesText());
    SetStripText(1, m_watch.DroppedText());
    // A save that failed (or kept another program's values) leads until a
    // later save goes well; its tip gives the full paths.
    const CSettingsFile::Status settings = m_link.settings.Status();
    // A DSP error stays in sight from any page until an all-OK report.
    const std::string dsp = m_pView ? m_pView->DspErrorNote() : std::string();
    std::string line = m_link.host.Sent().Line();
    if (!dsp.empty()) line = dsp + "; " + line;
    SetStripText(2, settings.line.empty() ? line : settings.line + "   |   " + line);
    SetStripTip(FieldTrace::WithCounts(settings.tip));
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
    m_link.notes.NoticeShown(oneLine, now);
    ModalMessageBox(m_hWnd, notice, "Varro Control Window", MB_OK | MB_ICONWARNING);
}

void CMainFrame::OnSetupLoaded() {
    // The pages were made anew: they show the last read-back again, and its
    // old look when it is old. The trend marks the moment.
    MarkTrend(kelvane::TrendMarkKind::SetupLoad);
    if (m_readBackShown && m_pView) m_pView->ShowReadBack(m_link.intake.Gains());
    m_stale = false;
    m_watch.Sample(SampleFrames());
    UpdateStale();
    if (m_pView) m_pView->RefreshPageMarks();
    UpdateStatusStrip();
}

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_SIZE:
        RecalcLayout();
        return 0;
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
            const uint32_t sentBefore = m_trendTap.Sent();
            if (m_pView) m_pView->SendAllSettings();
            if (m_trendTap.Sent() != sentBefore) MarkTrend(kelvane::TrendMarkKind::SendAll);
            UpdateStatusStrip();
            return 0;
        }
        if (LOWORD(wParam) == ID_VIEW_TREND) {
            OpenTrend();
            return 0;
        }
        if (OnSetupCommand(LOWORD(wParam))) return 0;
        break;
    case kelvane::WM_READBACKNOTICE:
        OnReadBackNotice();
        return 0;
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
    case kelvane::WM_SETTINGSNOTICE:
        ShowSettingsNotice();
        return 0;
    case kelvane::WM_HOSTSTATE:
        if (m_pView) m_pView->EnableStatusCheck(static_cast<int32_t>(wParam));
        return 0;
    case kelvane::WM_DSPSTATUS: {
        const auto* report = reinterpret_cast<const kelvane::DspStatusReport*>(wParam);
        // Reads only what the host's report really holds: a bad address is ignored.
        if (m_pView && Readable(report, offsetof(kelvane::DspStatusReport, StatusWord) + 2)) {
            m_pView->SetDspStatus(*report);
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
    default:
        break;
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
    const bool streaming = GetTickCount() - m_lastReadBackTick < kStreamGapMs;
    // GetInputState: a key or mouse button waiting, without touching the
    // queue's "new since last looked" bits a host's wait loop may rely on.
    if (streaming && GetInputState() &&
        SetTimer(m_hWnd, kReadBackTimer, USER_TIMER_MINIMUM, nullptr)) {
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
    // The first good frame clears the stale look at once.
    if (m_stale) {
        m_watch.Sample(SampleFrames());
        UpdateStale();
    }
    if (m_pView) m_pView->RefreshPageMarks();
}

void CMainFrame::SampleTrend() {
    const kelvane::FrameCounts& counts = m_link.intake.Counts();
    kelvane::TrendInput in{};
    in.usable = counts.Usable();
    in.lastUsableTick = counts.LastUsableTick();
    in.now = GetTickCount();
    const kelvane::ReadBackWords words = m_link.intake.Gains();
    const kelvane::ParameterSet& p = m_link.pages.params;
    const int32_t* const reported[kelvane::kTrendSections] = {words.Dt, words.Monopole, words.Dipole};
    const int32_t* const set[kelvane::kTrendSections] = {p.DtChGain, p.MonoChGain, p.DipoleChGain};
    const int32_t isAuto[kelvane::kTrendSections] = {p.DtIsAuto, p.MonoIsAuto, p.DipoleIsAuto};
    for (int s = 0; s < kelvane::kTrendSections; ++s) {
        for (int c = 0; c < kelvane::kTrendCount[s]; ++c) {
            in.gain[kelvane::kTrendFirst[s] + c] = reported[s][c];
            in.set[kelvane::kTrendFirst[s] + c] = set[s][c];
        }
        if (isAuto[s]) in.autoOn = static_cast<uint8_t>(in.autoOn | 1u << s);
    }
    m_trend.Offer(in);
}

void CMainFrame::MarkTrend(kelvane::TrendMarkKind kind) { m_trend.Mark(GetTickCount(), kind); }

void CMainFrame::OpenTrend() { CTrendWindow::Open(m_hWnd, m_trend, &m_trendWnd); }

void CMainFrame::TrendTap::SendToolCommand(const kelvane::ToolCommand* block) {
    if (!m_window) return;
    if (block && block->CodeWord == kelvane::CMD_TOOL_RESET) m_trend.Mark(GetTickCount(), kelvane::TrendMarkKind::ToolReset);
    ++m_sent;
    m_next.SendToolCommand(block);
}

void CMainFrame::PostNcDestroy() { delete this; }
