#include "window/DialogNav.h"

#include <windows.h>

#include "core/Kelvane.h"
#include "window/MainFrame.h"
#include "window/ControlView.h"

namespace {
HHOOK g_hook = nullptr;

LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code >= 0 && wParam == PM_REMOVE) {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
            CMainFrame* frame = KelvaneApp()->ControlFrame();
            HWND view = frame && frame->m_pView ? frame->m_pView->m_hWnd : nullptr;
            if (view && (msg->hwnd == view || IsChild(view, msg->hwnd)) && IsDialogMessageA(view, msg)) {
                msg->message = WM_NULL;  // handled: the host's loop dispatches nothing
                msg->wParam = 0;
                msg->lParam = 0;
            }
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}
}  // namespace

void InstallDialogNavigation() {
    if (!g_hook) g_hook = SetWindowsHookExA(WH_GETMESSAGE, &GetMessageHook, nullptr, GetCurrentThreadId());
}

void UninstallDialogNavigation() {
    if (g_hook) UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
}
