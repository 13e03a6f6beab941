// CMyEdit: a numeric edit box that commits its text as a number on Enter by
// sending WM_EDITVALUE (float bits, control id) to its page.
#pragma once

#include <windows.h>

class CMyEdit {
public:
    CMyEdit() = default;
    CMyEdit(const CMyEdit&) = delete;
    CMyEdit& operator=(const CMyEdit&) = delete;
    ~CMyEdit();

    // Binds to the dialog's edit control with this id.
    bool SubclassDlgItem(int id, HWND dialog);
    HWND GetSafeHwnd() const { return m_hWnd; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR refData);
    HWND m_hWnd = nullptr;
};
