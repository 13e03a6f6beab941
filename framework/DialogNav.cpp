#include "framework/DialogNav.h"

#include <windows.h>

#include <cctype>
#include <utility>
#include <vector>

#include "framework/ModuleGuard.h"

namespace {
HHOOK g_hook = nullptr;
HWND g_dialog = nullptr;  // the view whose keys the hook routes
ShortcutHandler g_onShortcut;

// A mnemonic looked for among a dialog's controls.
struct MnemonicSearch {
    int key;  // upper case
    bool found;
};

// Called by EnumChildWindows: behind the barrier like every procedure.
BOOL CALLBACK HasMnemonic(HWND control, LPARAM lp) {
    return NoThrowEntry<BOOL>(FALSE, [&]() -> BOOL {
        auto* search = reinterpret_cast<MnemonicSearch*>(lp);
        if (!IsWindowVisible(control) || !IsWindowEnabled(control)) return TRUE;
        const int n = GetWindowTextLengthA(control);
        if (n <= 0) return TRUE;
        std::vector<char> text(static_cast<size_t>(n) + 1, '\0');
        GetWindowTextA(control, text.data(), n + 1);
        for (int i = 0; i + 1 < n; ++i) {
            if (text[i] != '&') continue;
            if (text[i + 1] != '&') {  // "&&" is a plain ampersand
                search->found = std::toupper(static_cast<unsigned char>(text[i + 1])) == search->key;
                break;
            }
            ++i;
        }
        return search->found ? FALSE : TRUE;
    });
}

// Whether a shown, enabled control of the dialog has c as its mnemonic ("&c").
bool IsMnemonic(HWND dialog, WPARAM c) {
    MnemonicSearch search{std::toupper(static_cast<int>(c & 0xFF)), false};
    EnumChildWindows(dialog, &HasMnemonic, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The keys our dialogs need from the host's loop: moving between controls
// (Tab, Shift+Tab, arrows), committing and cancelling (Enter, Escape) and
// Alt+mnemonic. Every other key stays the host's, as its loop would have it
// (its accelerators included).
bool DialogKey(const MSG& msg, HWND dialog) {
    switch (msg.message) {
    case WM_KEYDOWN:
        switch (msg.wParam) {
        case VK_TAB:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
        case VK_RETURN:
        case VK_ESCAPE: return true;
        default: return false;
        }
    case WM_CHAR: return msg.wParam == '\t' || msg.wParam == '\r' || msg.wParam == VK_ESCAPE;
    case WM_SYSKEYDOWN: return IsMnemonic(dialog, MapVirtualKeyA(static_cast<UINT>(msg.wParam), MAPVK_VK_TO_CHAR));
    case WM_SYSCHAR: return IsMnemonic(dialog, msg.wParam);
    default: return false;
    }
}

// Ctrl+A selects a whole edit box, as in the platform's newer edits; the
// plain edit control would beep and insert nothing. Then the window's own
// shortcuts. Only key-downs: the key-up and the character they would make
// are left alone (the key-down taken, the loop translates no character).
bool CtrlKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0) return false;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    // An edit box, as the dialog manager knows one: it takes a selection.
    if (msg.wParam == 'A' && !shift && (SendMessageA(msg.hwnd, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)) {
        SendMessageA(msg.hwnd, EM_SETSEL, 0, -1);
        return true;
    }
    return g_onShortcut && g_onShortcut(static_cast<UINT>(msg.wParam), shift);
}

// Enter in a closed drop-down list confirms the choice it shows, as the list
// closing on an item does: its parent hears CBN_CLOSEUP.
bool ListEnter(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_RETURN) return false;
    // A drop-down list by its style and by answering as one: only a combo
    // box gives its items a height.
    const LONG_PTR style = GetWindowLongPtrA(msg.hwnd, GWL_STYLE);
    if ((style & 3) != CBS_DROPDOWNLIST || SendMessageA(msg.hwnd, CB_GETITEMHEIGHT, 0, 0) <= 0 ||
        SendMessageA(msg.hwnd, CB_GETDROPPEDSTATE, 0, 0))
        return false;
    SendMessageA(GetParent(msg.hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(msg.hwnd), CBN_CLOSEUP),
                 reinterpret_cast<LPARAM>(msg.hwnd));
    return true;
}

LRESULT CALLBACK GetMessageHook(int code, WPARAM wParam, LPARAM lParam) {
    return NoThrowEntry<LRESULT>(0, [&]() -> LRESULT {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        if (code >= 0 && wParam == PM_REMOVE && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
            HWND view = g_dialog;
            // The frame around the view holds the focus for a moment when it is activated.
            const bool ours = view && (msg->hwnd == view || IsChild(view, msg->hwnd) ||
                                       msg->hwnd == GetAncestor(view, GA_ROOT));
            if (ours && (CtrlKey(*msg) || ListEnter(*msg) || (DialogKey(*msg, view) && IsDialogMessageA(view, msg)))) {
                msg->message = WM_NULL;  // handled: the host's loop dispatches nothing
                msg->wParam = 0;
                msg->lParam = 0;
            }
        }
        return CallNextHookEx(g_hook, code, wParam, lParam);
    });
}
// The system calls the hook through its entry (ModuleGuard.h).
CEntryPoint g_hookEntry(EntryShape::HookProc, reinterpret_cast<void*>(&GetMessageHook));
}  // namespace

void InstallDialogNavigation(HWND dialog, ShortcutHandler onShortcut) {
    g_dialog = dialog;
    g_onShortcut = std::move(onShortcut);
    if (!g_hook) g_hook = SetWindowsHookExA(WH_GETMESSAGE, g_hookEntry.As<HOOKPROC>(), nullptr, GetCurrentThreadId());
}

bool UninstallDialogNavigation() {
    const bool removed = !g_hook || UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    g_dialog = nullptr;
    g_onShortcut = nullptr;
    return removed;
}
