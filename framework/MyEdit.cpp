#include "framework/MyEdit.h"

#include <commctrl.h>

#include <cstring>
#include <utility>
#include <vector>

#include "base/logic/NumberText.h"
#include "framework/ModuleGuard.h"

namespace {
constexpr UINT_PTR kSubclassId = 0x4B45;  // 'KE'

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
    Unbind(this);
    if (!m_hWnd || !IsWindow(m_hWnd)) return;
    if (!m_replaced) {
        RemoveWindowSubclass(m_hWnd, s_entry.As<SUBCLASSPROC>(), kSubclassId);
    } else if (GetWindowLongPtrW(m_hWnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(s_chainEntry.Address())) {
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_replaced));
    }
    // Else another subclass came on top: the entry stays in its chain and
    // hands everything on unchanged, finding no edit bound to the window.
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
    // The edit's own procedure is replaced, as every edit of ours has the
    // same one: a comctl32 subclass would cost a property look-up in the
    // window manager on every message the box gets. An edit someone else
    // subclassed first goes through comctl32's chain.
    m_replaced = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(edit, GWLP_WNDPROC));
    if (!ShareReplacedProcedure(m_replaced) ||
        !SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(s_chainEntry.Address()))) {
        m_replaced = nullptr;
        if (!SetWindowSubclass(edit, s_entry.As<SUBCLASSPROC>(), kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
            Unbind(this);
            return false;
        }
    }
    m_hWnd = edit;
    m_dirty = false;
    m_committed = text;
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
    m_committed = Text();
    SetDirty(false);
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

// comctl32 calls the subclass procedure through its entry (ModuleGuard.h),
// the window manager the procedure put in the edit's place through another.
CEntryPoint CMyEdit::s_entry(EntryShape::SubclassProc, &CMyEdit::EntryBody,
                             reinterpret_cast<void*>(&CMyEdit::SubclassProc));
CEntryPoint CMyEdit::s_chainEntry(EntryShape::ChainedWindowProc, &CMyEdit::ChainBody,
                                  reinterpret_cast<void*>(&CMyEdit::ChainedProc));

uintptr_t __stdcall CMyEdit::EntryBody(const uintptr_t* a) {
    return static_cast<uintptr_t>(SubclassProc(EntryArg<HWND>(a, 0), EntryArg<UINT>(a, 1), EntryArg<WPARAM>(a, 2),
                                               EntryArg<LPARAM>(a, 3), EntryArg<UINT_PTR>(a, 4),
                                               EntryArg<DWORD_PTR>(a, 5)));
}

uintptr_t __stdcall CMyEdit::ChainBody(const uintptr_t* a) {
    return static_cast<uintptr_t>(
        ChainedProc(EntryArg<HWND>(a, 0), EntryArg<UINT>(a, 1), EntryArg<WPARAM>(a, 2), EntryArg<LPARAM>(a, 3)));
}

LRESULT CALLBACK CMyEdit::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR refData) {
    return NoThrowEntry<LRESULT>(0, [&]() -> LRESULT {
        return OnMessage(reinterpret_cast<CMyEdit*>(refData), hwnd, msg, wParam, lParam);
    });
}

LRESULT CALLBACK CMyEdit::ChainedProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return NoThrowEntry<LRESULT>(0, [&]() -> LRESULT {
        // No edit bound (its CMyEdit went first): the procedure every
        // chained edit stands in for, unchanged.
        CMyEdit* self = FromHandle(hwnd);
        if (self && self->m_replaced) return OnMessage(self, hwnd, msg, wParam, lParam);
        return CallWindowProcW(ReplacedProcedure(), hwnd, msg, wParam, lParam);
    });
}

LRESULT CMyEdit::PassOn(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) const {
    if (m_replaced) return CallWindowProcW(m_replaced, hwnd, msg, wParam, lParam);
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT CMyEdit::OnMessage(CMyEdit* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_GETDLGCODE:
        // The dialog manager would turn Enter into IDOK before we see it.
        if (lParam && reinterpret_cast<MSG*>(lParam)->message == WM_KEYDOWN &&
            reinterpret_cast<MSG*>(lParam)->wParam == VK_RETURN)
            return DLGC_WANTALLKEYS | self->PassOn(hwnd, msg, wParam, lParam);
        break;
    case WM_CHAR:
        if (wParam == '\r') return 0;  // no beep for the Enter we handled
        break;
    case WM_SETTEXT: {
        // The page writing the box: what it writes is the committed value
        // (also text it shortened to the box's limit).
        self->m_programWrite = true;
        const LRESULT result = self->PassOn(hwnd, msg, wParam, lParam);
        self->m_programWrite = false;
        self->Commit();
        return result;
    }
    case WM_KEYDOWN:
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
    case WM_NCDESTROY: {
        WNDPROC replaced = self->m_replaced;
        if (!replaced) RemoveWindowSubclass(hwnd, s_entry.As<SUBCLASSPROC>(), kSubclassId);
        Unbind(self);
        self->m_hWnd = nullptr;
        self->m_arrows = nullptr;
        self->m_dirty = false;
        self->m_replaced = nullptr;
        return replaced ? CallWindowProcW(replaced, hwnd, msg, wParam, lParam)
                        : DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    }
    return self->PassOn(hwnd, msg, wParam, lParam);
}
