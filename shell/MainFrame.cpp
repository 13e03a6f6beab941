#include "shell/MainFrame.h"

#include <commctrl.h>

#include <atomic>
#include <cstddef>
#include <new>
#include <string>

#include "core/Kelvane.h"
#include "framework/DialogNav.h"
#include "shell/ControlView.h"
#include "resource.h"

namespace {
constexpr const char* kFrameClass = "KelvaneControlFrame";
constexpr UINT kFirstPaneId = 0xE900;
// A read-back notice waits in the frame's queue: frames post no other.
std::atomic<bool> g_noticePending{false};
}  // namespace

void CMainFrame::PostReadBackNotice(HWND frame) {
    if (!frame || g_noticePending.exchange(true)) return;
    if (!PostMessageA(frame, kelvane::WM_TOOLCONTROL, 0, 0)) g_noticePending.store(false);
}

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() {
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
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExA(inst, kFrameClass, &existing)) {
        HICON icon =
            static_cast<HICON>(LoadImageA(inst, MAKEINTRESOURCEA(IDI_FRAME), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
        if (!RegisterClass(kFrameClass, CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW),
                           reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1), icon)) {
            if (icon) DestroyIcon(icon);
            return false;
        }
    }
    HMENU menu = LoadMenuA(inst, MAKEINTRESOURCEA(resourceId));
    const bool made = CreateEx(0, kFrameClass, "Varro Control Window", style | WS_THICKFRAME, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu);
    if (!made && menu) DestroyMenu(menu);
    return made && m_hWnd != nullptr;
}

void CMainFrame::UnregisterWindowClass() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(AfxGetResourceHandle(), kFrameClass, &wc)) return;
    if (UnregisterClassA(kFrameClass, AfxGetResourceHandle()) && wc.hIcon) DestroyIcon(wc.hIcon);
}

bool CMainFrame::OnCreate() {
    g_noticePending.store(false);  // also after a frame that died with its thread
    KelvaneApp()->SetControlFrame(this);  // pages send commands during creation
    m_pView = new (std::nothrow) CControlView(KelvaneApp()->Context());
    if (m_pView && m_pView->Create(m_hWnd, kFirstPaneId)) {
        RecalcLayout();
        m_pView->OnInitialUpdate();
        RecalcLayout();
    }
    CControlView* view = m_pView && m_pView->m_hWnd ? m_pView : nullptr;
    InstallDialogNavigation(view ? view->m_hWnd : nullptr,
                            [view](UINT key, bool shift) { return view && view->OnShortcut(key, shift); });
    SetTimer(m_hWnd, kSaveTimer, kSaveTickMs, nullptr);
    // After the window is up, from the loop: where the settings went, when
    // they could not go to the INI.
    if (KelvaneApp()->SettingsNoticePending()) PostMessageA(m_hWnd, kShowNotice, 0, 0);
    return true;  // the frame stands whatever the view did
}

void CMainFrame::RecalcLayout() {
    if (!m_pView || !m_pView->m_hWnd) return;
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    SetWindowPos(m_pView->m_hWnd, nullptr, 0, 0, rc.right, rc.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainFrame::ShowDtReadBack(const int32_t* words) {
    if (m_pView && m_pView->m_dtGain.m_hWnd) m_pView->m_dtGain.ShowGainReadBack(words);
}
void CMainFrame::ShowMonopoleReadBack(const int32_t* words) {
    if (m_pView && m_pView->m_monopole.m_hWnd) m_pView->m_monopole.ShowGainReadBack(words);
}
void CMainFrame::ShowDipoleReadBack(const int32_t* words) {
    if (m_pView && m_pView->m_dipole.m_hWnd) m_pView->m_dipole.ShowGainReadBack(words);
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
        break;
    case kelvane::WM_TOOLCONTROL:
        OnToolControl();
        return 0;
    case WM_TIMER:
        if (wParam == kSaveTimer) {
            KelvaneApp()->SaveWhenSettled();
            return 0;
        }
        if (wParam != kReadBackTimer) break;
        KillTimer(m_hWnd, kReadBackTimer);
        m_readBackDeferred = false;
        ShowReadBack();
        return 0;
    case kShowNotice: {
        const std::string notice = KelvaneApp()->TakeSettingsNotice();
        if (!notice.empty()) MessageBoxA(m_hWnd, notice.c_str(), "Varro Control Window", MB_OK | MB_ICONWARNING);
        return 0;
    }
    case kelvane::WM_HOSTSTATE:
        if (m_pView) m_pView->m_general.EnableStatusCheck(static_cast<int32_t>(wParam));
        return 0;
    case kelvane::WM_DSPSTATUS: {
        const auto* report = reinterpret_cast<const kelvane::DspStatusReport*>(wParam);
        // Reads only what the host's report really holds: a bad address is ignored.
        if (m_pView && Readable(report, offsetof(kelvane::DspStatusReport, StatusWord) + 2)) m_pView->m_general.SetDspStatus(*report);
        return 0;
    }
    case WM_DESTROY:
        if (m_readBackDeferred) KillTimer(m_hWnd, kReadBackTimer);
        m_readBackDeferred = false;
        KillTimer(m_hWnd, kSaveTimer);
        UninstallDialogNavigation();
        KelvaneApp()->SaveIfChanged();  // closing: no need to wait for the timer
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
void CMainFrame::OnToolControl() {
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
    g_noticePending.store(false);  // frames from now on post a fresh notice
    KelvaneApp()->DispatchStatus();
    m_lastReadBackTick = GetTickCount();
}

void CMainFrame::PostNcDestroy() {
    g_noticePending.store(false);  // a notice to this window will never be handled
    CKelvaneApp* app = KelvaneApp();
    if (app->ControlFrame() == this) app->SetControlFrame(nullptr);
    delete this;
}
