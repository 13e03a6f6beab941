#include "framework/Dialog.h"

#include <vector>

#include "base/logic/NumberText.h"
#include "framework/ModuleGuard.h"
#include "framework/MyEdit.h"
#include "framework/Wnd.h"

// ---- CDialog

CDialog::~CDialog() { Destroy(); }

bool CDialog::Create(HWND parent) {
    m_hWnd = CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_templateId), parent, s_entry.As<DLGPROC>(),
                                reinterpret_cast<LPARAM>(this));
    return m_hWnd != nullptr;
}

INT_PTR CDialog::DoModal(HWND owner) {
    return RunModal(owner, static_cast<INT_PTR>(IDCANCEL), [&] {
        return DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_templateId), owner, s_entry.As<DLGPROC>(),
                               reinterpret_cast<LPARAM>(this));
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
        case WM_COMMAND: return self->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
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
        case WM_NCDESTROY: self->m_hWnd = nullptr; return FALSE;
        default: break;
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
