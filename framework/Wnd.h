// The small piece of an application framework the plug-in needs: window and
// dialog objects whose one static procedure dispatches to virtual handlers,
// and the module instance every resource is loaded from.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/ModuleGuard.h"

HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE instance);

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND m_hWnd = nullptr;

    // Creates a window of a class whose procedure is ours.
    bool CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int cx,
                  int cy, HWND parent, HMENU menu);
    // Registers a class of ours once per load of the library (with the icon
    // of the resource iconId, 0 for none) and returns the name it goes by,
    // null when none could be registered. A class an earlier load left
    // behind (a window of it outlived that load on another thread) still
    // names that load's procedure: it is replaced, or, while a window of it
    // still stands, the spare name is used.
    static const char* RegisterOwnClass(const char* name, const char* spare, UINT classStyle, HCURSOR cursor,
                                     HBRUSH background, UINT iconId);
    // At unload, with its icon: a class left registered would keep a
    // procedure address of the unloaded image.
    static void UnregisterOwnClass(const char* name);
    // The procedure RegisterOwnClass gives a class.
    static WNDPROC ClassProcedure() { return s_entry.As<WNDPROC>(); }

protected:
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // After WM_NCDESTROY: the object may delete itself here.
    virtual void PostNcDestroy() {}

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static CEntryPoint s_entry;
};

// Sees a dialog's messages before its handlers do; true when it answered
// one (a WM_CTLCOLOR* answer is the brush itself).
class CDialogFilter {
public:
    virtual bool FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

protected:
    ~CDialogFilter() = default;
};

// A modeless child dialog from a template of the plug-in's resources.
class CDialog {
public:
    explicit CDialog(UINT templateId) : m_templateId(templateId) {}
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;
    virtual ~CDialog();

    bool Create(HWND parent);
    // A modal dialog owned by owner: returns what the handlers gave EndDialog
    // (-1 when it could not be made).
    INT_PTR DoModal(HWND owner);
    // From a template in memory instead of the resources (tests build their own).
    bool CreateIndirect(const DLGTEMPLATE* dialogTemplate, HWND parent);
    void Destroy();
    HWND GetSafeHwnd() const { return m_hWnd; }
    // A control by id, as GetDlgItem finds it, kept once found: each
    // GetDlgItem asks the window manager for the whole list of controls.
    HWND Item(int id) const;
    void SetFilter(CDialogFilter* filter) { m_filter = filter; }
    UINT TemplateId() const { return m_templateId; }

    std::string GetItemText(int id) const;
    void SetItemText(int id, const char* text) const;
    void SetItemInt(int id, int value) const;
    void EnableItem(int id, bool enable) const;
    bool IsChecked(int id) const;
    void SetCheck(int id, bool checked) const;

    HWND m_hWnd = nullptr;

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual bool OnCommand(int /*id*/, int /*code*/) { return false; }
    // Returns true when handled; result goes to DWLP_MSGRESULT.
    virtual bool OnNotify(NMHDR* /*hdr*/, LRESULT& /*result*/) { return false; }
    virtual void OnHScroll(int /*code*/, HWND /*control*/) {}
    // Any other message; return true when handled.
    virtual bool OnMessage(UINT /*msg*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& /*result*/) { return false; }

private:
    static INT_PTR CALLBACK StaticDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static CEntryPoint s_entry;
    UINT m_templateId;
    CDialogFilter* m_filter = nullptr;
    mutable std::vector<std::pair<int, HWND>> m_items;  // the controls found so far
};

// Every modal loop of ours (dialogs, message boxes, the common dialogs) runs
// through here. A host may destroy the control window while one runs (it
// closes its panels): the loop ends with the owner, and what the operator
// chose there is dropped, the caller sees cancelled and goes back without
// acting on it. The objects of the windows that went stay until the
// outermost handler returns (NoThrowEntry).
template <class R, class Show>
R RunModal(HWND owner, R cancelled, Show&& show) {
    const R chosen = show();
    return owner && !IsWindow(owner) ? cancelled : chosen;
}
// MessageBoxA through RunModal: IDCANCEL when the owner went under it.
int ModalMessageBox(HWND owner, const std::string& text, const char* caption, UINT type);

// The local time of day, in seconds since midnight.
int32_t LocalSecondsOfDay();

// Thin stateless helpers over the common controls.
namespace ctl {
void TrackSetup(HWND slider, int lo, int hi, int lineStep, int pageStep);  // steps <= 0 keep the defaults
void TrackSetPos(HWND slider, int pos);
int TrackPos(HWND slider);
void ComboFill(HWND combo, const char* const* items, int count);
int ComboSel(HWND combo);
bool ComboSetSel(HWND combo, int index);  // false (and no change) when out of range
void ListReplace(HWND list, const std::string* lines, int count);
}  // namespace ctl
