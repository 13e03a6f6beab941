#include "window/MyEdit.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/Saturate.h"

namespace {
constexpr UINT_PTR kSubclassId = 0x4B45;  // 'KE'
}

CMyEdit::~CMyEdit() {
    if (m_hWnd && IsWindow(m_hWnd)) RemoveWindowSubclass(m_hWnd, &CMyEdit::SubclassProc, kSubclassId);
}

bool CMyEdit::SubclassDlgItem(int id, HWND dialog) {
    HWND edit = GetDlgItem(dialog, id);
    if (!edit) return false;
    if (!SetWindowSubclass(edit, &CMyEdit::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    m_hWnd = edit;
    return true;
}

LRESULT CALLBACK CMyEdit::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR refData) {
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
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
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
        RemoveWindowSubclass(hwnd, &CMyEdit::SubclassProc, kSubclassId);
        if (self) self->m_hWnd = nullptr;
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}
