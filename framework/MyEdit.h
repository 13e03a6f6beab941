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

    // The page refused what was committed last (Enter or TakeTyped): the box
    // shows again the text it held before, and note at the box says why.
    void Revert(const std::string& note);
    // A balloon at the box (it goes at the next key, the focus leaving or
    // after a while). Not a modal box: the logging display runs on.
    void ShowNote(const std::string& note);

    // The page's own writes to its boxes, for the scope of one. Text set from
    // outside (dictation, automation) counts as typed, as keys do.
    class PageWrite {
    public:
        PageWrite() { ++s_pageWrites; }
        ~PageWrite() { --s_pageWrites; }
        PageWrite(const PageWrite&) = delete;
        PageWrite& operator=(const PageWrite&) = delete;
    };

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
    void HideNote();
    void DestroyNote();

    HWND m_hWnd = nullptr;
    HWND m_arrows = nullptr;  // the up-down that Up and Down stand for
    KeyStep m_keyStep;
    std::string m_committed;  // the text last written by the program or committed by Enter
    std::string m_before;     // the committed text before the last commit: the value in force
    HWND m_note = nullptr;    // the balloon, made at the first note
    std::string m_noteText;
    int m_noteTicks = 0;                 // timer ticks left until the balloon goes
    static inline int s_pageWrites = 0;  // the UI thread's own writes in progress
    bool m_dirty = false;
    bool m_programWrite = false;  // inside WM_SETTEXT: its EN_CHANGE is no typing
};
