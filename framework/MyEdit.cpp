#include "framework/MyEdit.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

#include "base/logic/NumberText.h"
#include "framework/ModuleGuard.h"

namespace {
constexpr UINT_PTR kSubclassId = 0x4B45;  // 'KE'
}

CMyEdit::~CMyEdit() {
    if (m_hWnd && IsWindow(m_hWnd)) RemoveWindowSubclass(m_hWnd, s_entry.As<SUBCLASSPROC>(), kSubclassId);
}

bool CMyEdit::SubclassDlgItem(int id, HWND dialog) {
    HWND edit = GetDlgItem(dialog, id);
    if (!edit) return false;
    // Read before the subclass: every message through it costs the platform
    // a property look-up or more.
    m_hWnd = edit;
    const std::string text = Text();
    m_hWnd = nullptr;
    if (!SetWindowSubclass(edit, s_entry.As<SUBCLASSPROC>(), kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    m_hWnd = edit;
    m_dirty = false;
    m_committed = text;
    return true;
}

CMyEdit* CMyEdit::FromHandle(HWND hwnd) {
    DWORD_PTR ref = 0;
    if (!hwnd || !GetWindowSubclass(hwnd, s_entry.As<SUBCLASSPROC>(), kSubclassId, &ref)) return nullptr;
    return reinterpret_cast<CMyEdit*>(ref);
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

// comctl32 calls the subclass procedure through its entry (ModuleGuard.h).
CEntryPoint CMyEdit::s_entry(EntryShape::SubclassProc, &CMyEdit::EntryBody,
                             reinterpret_cast<void*>(&CMyEdit::SubclassProc));

uintptr_t __stdcall CMyEdit::EntryBody(const uintptr_t* a) {
    return static_cast<uintptr_t>(SubclassProc(EntryArg<HWND>(a, 0), EntryArg<UINT>(a, 1), EntryArg<WPARAM>(a, 2),
                                               EntryArg<LPARAM>(a, 3), EntryArg<UINT_PTR>(a, 4),
                                               EntryArg<DWORD_PTR>(a, 5)));
}

LRESULT CALLBACK CMyEdit::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR refData) {
    return NoThrowEntry<LRESULT>(0, [&]() -> LRESULT {
        CMyEdit* self = reinterpret_cast<CMyEdit*>(refData);
        switch (msg) {
        case WM_GETDLGCODE:
            // The dialog manager would turn Enter into IDOK before we see it.
            if (lParam && reinterpret_cast<MSG*>(lParam)->message == WM_KEYDOWN &&
                reinterpret_cast<MSG*>(lParam)->wParam == VK_RETURN)
                return DLGC_WANTALLKEYS | DefSubclassProc(hwnd, msg, wParam, lParam);
            break;
        case WM_CHAR:
            if (wParam == '\r') return 0;  // no beep for the Enter we handled
            break;
        case WM_SETTEXT: {
            // The page writing the box: what it writes is the committed value
            // (also text it shortened to the box's limit).
            self->m_programWrite = true;
            const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
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
        case WM_NCDESTROY:
            RemoveWindowSubclass(hwnd, s_entry.As<SUBCLASSPROC>(), kSubclassId);
            if (self) {
                self->m_hWnd = nullptr;
                self->m_arrows = nullptr;
                self->m_dirty = false;
            }
            break;
        }
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    });
}
