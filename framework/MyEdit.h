// CMyEdit: a numeric edit box that commits its text as a number on Enter by
// sending WM_EDITVALUE (float bits, control id) to its page. It also knows
// whether its text is still uncommitted, so the page can tint it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>

#include "framework/ModuleGuard.h"
#include "framework/PrivateMessages.h"

class CMyEdit {
public:
    CMyEdit() = default;
    CMyEdit(const CMyEdit&) = delete;
    CMyEdit& operator=(const CMyEdit&) = delete;
    ~CMyEdit();

    // Binds to this edit control (a page's, found through its kept
    // controls). Its text then counts as committed.
    bool SubclassWindow(HWND edit);
    HWND GetSafeHwnd() const { return m_hWnd; }

    // True while the text differs from the one the program last wrote or
    // Enter last committed: the operator typed something not yet sent.
    bool IsDirty() const { return m_dirty; }
    // The text changed (the page passes on EN_CHANGE); repaints when the
    // dirty state flips.
    void OnTextChanged();

    // Up and Down in the box then act as the upper and lower arrow of this
    // up-down control (one without a buddy, beside the box), while it is
    // enabled: the page hears the same UDN_DELTAPOS a click sends.
    // keyStep, when given, takes the key instead (delta -1 Up, +1 Down), so
    // a page can give the keys a rule of their own.
    using KeyStep = std::function<void(int delta)>;
    void SetArrowKeys(HWND upDown, KeyStep keyStep = KeyStep()) {
        m_arrows = upDown;
        m_keyStep = std::move(keyStep);
    }

    // Text typed but not committed: commits it as Enter does, without
    // telling the page. Returns the text to act on, or false when clean.
    bool TakeTyped(std::string* text);

    // The CMyEdit bound to this window, or null.
    static CMyEdit* FromHandle(HWND hwnd);

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR refData);
    static CEntryPoint s_entry;  // comctl32's subclass chain
    static LRESULT OnMessage(CMyEdit* self, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // The edit's own handling of the message (through the chain it is in).
    static LRESULT PassOn(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    std::string Text() const;
    void Commit();
    void SetDirty(bool dirty);
    bool StepArrows(int delta) const;

    HWND m_hWnd = nullptr;
    HWND m_arrows = nullptr;      // the up-down that Up and Down stand for
    KeyStep m_keyStep;
    std::string m_committed;      // the text last written by the program or committed by Enter
    bool m_dirty = false;
    bool m_programWrite = false;  // inside WM_SETTEXT: its EN_CHANGE is no typing
};
