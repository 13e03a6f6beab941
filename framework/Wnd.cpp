#include "framework/Wnd.h"

#include "framework/MyEdit.h"

#include <commctrl.h>

#include <vector>

#include "base/LocalClock.h"
#include "base/logic/NumberText.h"
#include "framework/ModuleGuard.h"

namespace {
HINSTANCE g_resourceHandle = nullptr;
}

HINSTANCE AfxGetResourceHandle() { return g_resourceHandle; }
void AfxSetResourceHandle(HINSTANCE instance) { g_resourceHandle = instance; }

// ---- CWnd

CWnd::~CWnd() {
    if (m_hWnd && IsWindow(m_hWnd)) {
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hWnd);
    }
}

const char* CWnd::RegisterOwnClass(const char* name, const char* spare, UINT classStyle, HCURSOR cursor,
                                HBRUSH background, UINT iconId) {
    HINSTANCE inst = AfxGetResourceHandle();
    for (const char* candidate : {name, spare}) {
        WNDCLASSEXA existing{};
        existing.cbSize = sizeof existing;
        if (GetClassInfoExA(inst, candidate, &existing)) {
            if (existing.lpfnWndProc == ClassProcedure()) return candidate;  // this load's
            // An earlier load's: its procedure is no longer ours. It goes
            // unless a window of it still stands; then the other name serves.
            if (!UnregisterClassA(candidate, inst)) continue;
            if (existing.hIcon) DestroyIcon(existing.hIcon);
        }
        // Loaded for the class alone, and destroyed with it at unload.
        HICON icon = iconId ? static_cast<HICON>(LoadImageA(inst, MAKEINTRESOURCEA(iconId), IMAGE_ICON, 0, 0,
                                                             LR_DEFAULTSIZE))
                            : nullptr;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = classStyle;
        wc.lpfnWndProc = ClassProcedure();
        wc.hInstance = inst;
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.hIcon = icon;
        wc.lpszClassName = candidate;
        if (RegisterClassExA(&wc)) return candidate;
        if (icon) DestroyIcon(icon);
        return nullptr;
    }
    return nullptr;
}

void CWnd::UnregisterOwnClass(const char* name) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!name || !GetClassInfoExA(AfxGetResourceHandle(), name, &wc)) return;
    if (UnregisterClassA(name, AfxGetResourceHandle()) && wc.hIcon) DestroyIcon(wc.hIcon);
}

bool CWnd::CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int cx,
                    int cy, HWND parent, HMENU menu) {
    HWND hwnd = CreateWindowExA(exStyle, className, title, style, x, y, cx, cy, parent, menu,
                                AfxGetResourceHandle(), this);
    return hwnd != nullptr;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

// The system calls the class procedure through its entry (ModuleGuard.h).
CEntryPoint CWnd::s_entry(EntryShape::WindowProc, reinterpret_cast<void*>(&CWnd::StaticWndProc));

LRESULT CALLBACK CWnd::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return NoThrowEntry<LRESULT>(0, [&]() -> LRESULT {
        CWnd* self = reinterpret_cast<CWnd*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (msg == WM_NCCREATE) {
            self = static_cast<CWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
            if (self) {
                self->m_hWnd = hwnd;
                SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            }
        }
        if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
        LRESULT result = self->WindowProc(msg, wParam, lParam);
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            self->m_hWnd = nullptr;
            // A handler of ours may be below (the window went under its modal
            // loop): the object goes when that handler is done with it.
            RunWhenBoundaryLeft([](void* wnd) { static_cast<CWnd*>(wnd)->PostNcDestroy(); }, self);
        }
        return result;
    });
}

// ---- CDialog

CDialog::~CDialog() { Destroy(); }

bool CDialog::Create(HWND parent) {
    m_hWnd = CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_templateId), parent,
                                s_entry.As<DLGPROC>(), reinterpret_cast<LPARAM>(this));
    return m_hWnd != nullptr;
}

INT_PTR CDialog::DoModal(HWND owner) {
    return RunModal(owner, static_cast<INT_PTR>(IDCANCEL), [&] {
        return DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_templateId), owner,
                               s_entry.As<DLGPROC>(), reinterpret_cast<LPARAM>(this));
    });
}

int ModalMessageBox(HWND owner, const std::string& text, const char* caption, UINT type) {
    return RunModal(owner, IDCANCEL, [&] { return MessageBoxA(owner, text.c_str(), caption, type); });
}

bool CDialog::CreateIndirect(const DLGTEMPLATE* dialogTemplate, HWND parent) {
    m_hWnd = CreateDialogIndirectParamA(AfxGetResourceHandle(), dialogTemplate, parent, s_entry.As<DLGPROC>(),
                                        reinterpret_cast<LPARAM>(this));
    return m_hWnd != nullptr;
}

HWND CDialog::Item(int id) const {
    if (!m_hWnd) return nullptr;
    for (const auto& item : m_items)
        if (item.first == id && IsWindow(item.second)) return item.second;
    // Not asked for yet, made since (a size gripper), or gone.
    HWND found = GetDlgItem(m_hWnd, id);
    if (found) m_items.emplace_back(id, found);
    return found;
}

void CDialog::Destroy() {
    m_items.clear();
    if (m_hWnd && IsWindow(m_hWnd)) {
        SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
        DestroyWindow(m_hWnd);
    }
    m_hWnd = nullptr;
}

CEntryPoint CDialog::s_entry(EntryShape::DialogProc, reinterpret_cast<void*>(&CDialog::StaticDlgProc));

INT_PTR CALLBACK CDialog::StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return NoThrowEntry<INT_PTR>(FALSE, [&]() -> INT_PTR {
        CDialog* self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
        if (msg == WM_INITDIALOG) {
            self = reinterpret_cast<CDialog*>(lParam);
            self->m_hWnd = hwnd;
            self->m_items.clear();
            SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
            return self->OnInitDialog();
        }
        if (!self) return FALSE;
        if (self->m_filter) {
            LRESULT answer = 0;
            if (self->m_filter->FilterMessage(msg, wParam, lParam, answer)) {
                if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) return static_cast<INT_PTR>(answer);
                SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, answer);
                return TRUE;
            }
        }
        switch (msg) {
        case WM_COMMAND:
            return self->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (!self->OnNotify(reinterpret_cast<NMHDR*>(lParam), result)) return FALSE;
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_HSCROLL:
            if (lParam) {  // from a slider; the dialog's own scroll bar goes to OnMessage
                self->OnHScroll(LOWORD(wParam), reinterpret_cast<HWND>(lParam));
                return TRUE;
            }
            break;
        case WM_NCDESTROY:
            self->m_hWnd = nullptr;
            return FALSE;
        default:
            break;
        }
        LRESULT result = 0;
        if (!self->OnMessage(msg, wParam, lParam, result)) return FALSE;
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    });
}

std::string CDialog::GetItemText(int id) const {
    HWND item = Item(id);
    if (!item) return std::string();
    int n = GetWindowTextLengthA(item);
    std::vector<char> buf(static_cast<size_t>(n < 0 ? 0 : n) + 1, '\0');
    GetWindowTextA(item, buf.data(), static_cast<int>(buf.size()));
    return std::string(buf.data());
}

void CDialog::SetItemText(int id, const char* text) const {
    CMyEdit::PageWrite own;
    if (HWND item = Item(id)) SetWindowTextA(item, text);
}

void CDialog::SetItemInt(int id, int value) const { SetItemText(id, kelvane::FormatInt(value).c_str()); }

void CDialog::EnableItem(int id, bool enable) const {
    if (HWND item = Item(id)) EnableWindow(item, enable ? TRUE : FALSE);
}

bool CDialog::IsChecked(int id) const { return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CDialog::SetCheck(int id, bool checked) const {
    SendMessageA(Item(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

// ---- control helpers

int32_t LocalSecondsOfDay() { return kelvane::ReadLocalClock().msOfDay / 1000; }

namespace ctl {
// A slider of a hidden page is drawn whole when the page is shown: asking it
// to redraw now only costs the window manager a request per change.
void TrackSetup(HWND slider, int lo, int hi, int lineStep, int pageStep) {
    SendMessageA(slider, TBM_SETRANGEMIN, FALSE, lo);
    SendMessageA(slider, TBM_SETRANGEMAX, IsWindowVisible(slider), hi);
    if (lineStep > 0) SendMessageA(slider, TBM_SETLINESIZE, 0, lineStep);
    if (pageStep > 0) SendMessageA(slider, TBM_SETPAGESIZE, 0, pageStep);
}
void TrackSetPos(HWND slider, int pos) { SendMessageA(slider, TBM_SETPOS, IsWindowVisible(slider), pos); }
int TrackPos(HWND slider) { return static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0)); }

void ComboFill(HWND combo, const char* const* items, int count) {
    // Each item added would repaint the list otherwise.
    SendMessageA(combo, WM_SETREDRAW, FALSE, 0);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
    SendMessageA(combo, WM_SETREDRAW, TRUE, 0);
    if (IsWindowVisible(combo)) InvalidateRect(combo, nullptr, TRUE);
}
int ComboSel(HWND combo) { return static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0)); }
bool ComboSetSel(HWND combo, int index) {
    int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    if (index < 0 || index >= count) return false;
    SendMessageA(combo, CB_SETCURSEL, index, 0);
    return true;
}

void ListReplace(HWND list, const std::string* lines, int count) {
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lines[i].c_str()));
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}
}  // namespace ctl
