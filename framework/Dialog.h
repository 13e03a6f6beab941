// Dialog objects from the plug-in's templates, their one static procedure
// dispatching to virtual handlers, and the modal loops every dialog and
// message box of ours runs through.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/ModuleGuard.h"

// Sees a dialog's messages before its handlers do; true when it answered
// one (a WM_CTLCOLOR* answer is the brush itself).
class CDialogFilter {
public:
    virtual bool FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

protected:
    ~CDialogFilter() = default;
};

// A dialog from a template of the plug-in's resources: a modeless child
// (Create) or a modal one (DoModal).
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
