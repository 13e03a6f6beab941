#include "framework/MyEdit.h"

#include <commctrl.h>

#include <cstring>
#include <utility>
#include <vector>

#include "base/logic/NumberText.h"
#include "framework/ModuleGuard.h"

namespace {
constexpr UINT_PTR kSubclassId = 0x4B45;  // 'KE'
constexpr UINT_PTR kNoteTimer = 0x4B4E;   // 'KN'
constexpr UINT kNoteTickMs = 250;
constexpr int kNoteTicks = 32;  // 8 s

// The bound edits by window. Asking comctl32 for a subclass's data is a
// property look-up in the window manager, and every WM_CTLCOLOR* and
// EN_CHANGE of a page asks which edit it is.
SRWLOCK g_boundLock = SRWLOCK_INIT;
std::vector<std::pair<HWND, CMyEdit*>> g_bound;

bool Bind(HWND hwnd, CMyEdit* edit) {
    AcquireSRWLockExclusive(&g_boundLock);
    bool bound = true;
    try {
        g_bound.emplace_back(hwnd, edit);
    } catch (...) {
        bound = false;
    }
    ReleaseSRWLockExclusive(&g_boundLock);
    return bound;
}

void Unbind(const CMyEdit* edit) {
    AcquireSRWLockExclusive(&g_boundLock);
    for (size_t i = 0; i < g_bound.size(); ++i)
        if (g_bound[i].second == edit) {
            g_bound[i] = g_bound.back();
            g_bound.pop_back();
            break;
        }
    ReleaseSRWLockExclusive(&g_boundLock);
}
}  // namespace

CMyEdit::~CMyEdit() {
    DestroyNote();
    Unbind(this);
    if (m_hWnd && IsWindow(m_hWnd)) RemoveWindowSubclass(m_hWnd, s_entry.As<SUBCLASSPROC>(), kSubclassId);
}

bool CMyEdit::SubclassWindow(HWND edit) {
    if (!edit) return false;
    // Read before the subclass: every message through it costs the platform
    // a property look-up or more.
    m_hWnd = edit;
    const std::string text = Text();
    m_hWnd = nullptr;
    Unbind(this);  // bound again to a new page window
    if (!Bind(edit, this)) return false;
    if (!SetWindowSubclass(edit, s_entry.As<SUBCLASSPROC>(), kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        Unbind(this);
        return false;
    }
    m_hWnd = edit;
    m_dirty = false;
    m_committed = text;
    m_before = text;
    return true;
}

CMyEdit* CMyEdit::FromHandle(HWND hwnd) {
    if (!hwnd) return nullptr;
    CMyEdit* found = nullptr;
    AcquireSRWLockShared(&g_boundLock);
    for (const auto& b : g_bound)
        if (b.first == hwnd) {
            found = b.second;
            break;
        }
    ReleaseSRWLockShared(&g_boundLock);
    return found;
}

std::string CMyEdit::Text() const {
    if (!m_hWnd) return std::string();
    const int n = GetWindowTextLengthA(m_hWnd);
    std::vector<char> text(static_cast<size_t>(n < 0 ? 0 : n) + 1, '\0');
    GetWindowTextA(m_hWnd, text.data(), static_cast<int>(text.size()));
    return std::string(text.data());
}

void CMyEdit::Commit() {
    m_before = m_committed;
    m_committed = Text();
    SetDirty(false);
}

void CMyEdit::Revert(const std::string& note) {
    if (!m_hWnd) return;
    const std::string before = m_before;
    {
        PageWrite own;
        SetWindowTextA(m_hWnd, before.c_str());
    }
    m_before = before;
    ShowNote(note);
}

void CMyEdit::ShowNote(const std::string& note) {
    if (!m_hWnd || note.empty()) return;
    if (!m_note) {
        m_note = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                 WS_POPUP | TTS_NOPREFIX | TTS_BALLOON | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, nullptr, nullptr);
        if (!m_note) return;
        TOOLINFOA ti{};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_IDISHWND | TTF_TRACK | TTF_ABSOLUTE;
        ti.hwnd = m_hWnd;
        ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
        ti.lpszText = const_cast<char*>("");
        SendMessageA(m_note, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
        SendMessageA(m_note, TTM_SETMAXTIPWIDTH, 0, 320);
    }
    m_noteText = note;
    TOOLINFOA ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = m_hWnd;
    ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    ti.lpszText = const_cast<char*>(m_noteText.c_str());
    SendMessageA(m_note, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
    RECT r{};
    GetWindowRect(m_hWnd, &r);
    SendMessageA(m_note, TTM_TRACKPOSITION, 0, MAKELPARAM((r.left + r.right) / 2, r.bottom));
    SendMessageA(m_note, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
    m_noteTicks = kNoteTicks;
    SetTimer(m_hWnd, kNoteTimer, kNoteTickMs, nullptr);
}

void CMyEdit::HideNote() {
    if (m_hWnd) KillTimer(m_hWnd, kNoteTimer);
    if (!m_note || !IsWindowVisible(m_note)) return;
    TOOLINFOA ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = m_hWnd;
    ti.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    SendMessageA(m_note, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
}

void CMyEdit::DestroyNote() {
    if (m_note && IsWindow(m_note)) DestroyWindow(m_note);
    m_note = nullptr;
}

bool CMyEdit::TakeTyped(std::string* text) {
    if (!m_hWnd || !m_dirty) return false;
    Commit();
    if (text) *text = m_committed;
    return true;
}

void CMyEdit::OnTextChanged() {
    if (m_programWrite || !m_hWnd) return;
    SetDirty(Text() != m_committed);
}

void CMyEdit::SetDirty(bool dirty) {
    if (dirty == m_dirty) return;
    m_dirty = dirty;
    // Typing repaints only the characters; the whole box changes colour.
    if (m_hWnd) InvalidateRect(m_hWnd, nullptr, TRUE);
}

// What a click on the arrows sends: upper arrow -1, lower +1 (the default
// range runs from 100 down to 0). Each auto-repeated key steps once, as a
// held arrow does.
bool CMyEdit::StepArrows(int delta) const {
    if (!m_arrows || !IsWindow(m_arrows) || !IsWindowEnabled(m_arrows)) return false;
    if (m_keyStep) {
        m_keyStep(delta);
        return true;
    }
    NMUPDOWN nm{};
    nm.hdr.hwndFrom = m_arrows;
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(m_arrows));
    nm.hdr.code = static_cast<UINT>(UDN_DELTAPOS);
    nm.iPos = static_cast<int>(SendMessageA(m_arrows, UDM_GETPOS32, 0, 0));
    nm.iDelta = delta;
    SendMessageA(GetParent(m_arrows), WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    return true;
}

// comctl32 calls the subclass procedure through its entry (ModuleGuard.h).
CEntryPoint CMyEdit::s_entry(EntryShape::SubclassProc, reinterpret_cast<void*>(&CMyEdit::SubclassProc));

LRESULT CALLBACK CMyEdit::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR refData) {
    return NoThrowEntry<LRESULT>(
        0, [&]() -> LRESULT { return OnMessage(reinterpret_cast<CMyEdit*>(refData), hwnd, msg, wParam, lParam); });
}

LRESULT CMyEdit::PassOn(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT CMyEdit::OnMessage(CMyEdit* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_GETDLGCODE:
        // The dialog manager would turn Enter into IDOK before we see it,
        // and Escape with unsent text into IDCANCEL.
        if (lParam && reinterpret_cast<MSG*>(lParam)->message == WM_KEYDOWN &&
            (reinterpret_cast<MSG*>(lParam)->wParam == VK_RETURN ||
             (reinterpret_cast<MSG*>(lParam)->wParam == VK_ESCAPE && self->m_dirty)))
            return DLGC_WANTALLKEYS | PassOn(hwnd, msg, wParam, lParam);
        break;
    case WM_CHAR:
        if (wParam == '\r' || wParam == 0x1B) return 0;  // no beep for the keys we handled
        break;
    case WM_KILLFOCUS: self->HideNote(); break;
    case WM_TIMER:
        if (wParam == kNoteTimer) {
            // The balloon is a window of its own: it goes with its box when
            // the page is switched or the window hidden.
            if (--self->m_noteTicks <= 0 || !IsWindowVisible(hwnd)) self->HideNote();
            return 0;
        }
        break;
    case WM_SETTEXT: {
        // Text set from outside is typing: it waits for Enter or a send.
        if (s_pageWrites == 0) break;
        // The page writing the box: what it writes is the committed value
        // (also text it shortened to the box's limit).
        self->m_programWrite = true;
        const LRESULT result = PassOn(hwnd, msg, wParam, lParam);
        self->m_programWrite = false;
        self->Commit();
        return result;
    }
    case WM_KEYDOWN:
        self->HideNote();
        if (wParam == VK_ESCAPE && self->m_dirty) {
            // Typed, not sent: back to the value in force.
            const std::string committed = self->m_committed;
            const std::string before = self->m_before;
            {
                PageWrite own;
                SetWindowTextA(hwnd, committed.c_str());
            }
            self->m_before = before;
            return 0;
        }
        if ((wParam == VK_UP || wParam == VK_DOWN) && self->StepArrows(wParam == VK_UP ? -1 : 1)) return 0;
        if (wParam == VK_RETURN) {
            // Committed before the page hears of it, so a page that leaves
            // the text as typed shows it untinted too.
            self->Commit();
            int n = GetWindowTextLengthA(hwnd);
            std::vector<char> text(static_cast<size_t>(n < 0 ? 0 : n) + 1, '\0');
            GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()));
            const float value = kelvane::ParseLeadingFloat(text.data());
            uint32_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            SendMessageA(GetParent(hwnd), kelvane::WM_EDITVALUE, bits, GetDlgCtrlID(hwnd));
        }
        break;
    case WM_NCDESTROY:
        KillTimer(hwnd, kNoteTimer);
        self->DestroyNote();
        RemoveWindowSubclass(hwnd, s_entry.As<SUBCLASSPROC>(), kSubclassId);
        Unbind(self);
        self->m_hWnd = nullptr;
        self->m_arrows = nullptr;
        self->m_dirty = false;
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    return PassOn(hwnd, msg, wParam, lParam);
}
