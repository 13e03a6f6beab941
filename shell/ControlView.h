// CControlView: the form that fills the frame: the page list at the left, the
// page icon and caption, and the page area holding the five page dialogs.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "pages/AcousticProc.h"
#include "pages/DTGainCtrl.h"
#include "pages/DipoleControl.h"
#include "pages/GeneralCtrlPage.h"
#include "pages/MonopoleCtrl.h"
#include "framework/Wnd.h"

class CControlView : public CDialog {
public:
    explicit CControlView(const kelvane::PageContext& ctx);
    ~CControlView() override;

    bool Create(HWND frame, UINT id);
    void OnInitialUpdate();
    // Shows page 0..4 with its icon and caption; other indexes change nothing.
    void SelectPage(int index);
    // The next (delta 1) or previous (-1) page, wrapping at both ends, chosen
    // in the page list as the operator would.
    void StepPage(int delta);
    // The window's keyboard shortcuts (Ctrl held); true when key was one.
    bool OnShortcut(UINT key, bool shift);

    HWND m_pageIcon = nullptr;   // IDC_VIEW_PAGEICON
    HWND m_pageList = nullptr;   // IDC_VIEW_PAGELIST
    CGeneralCtrlPage m_general;
    CDTGainCtrl m_dtGain;
    CMonopoleCtrl m_monopole;
    CDipoleControl m_dipole;
    CAcousticProc m_acoustic;
    HIMAGELIST m_imageList = nullptr;

protected:
    bool OnNotify(NMHDR* hdr, LRESULT& result) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    CDialog* Page(int index);
    void FitFrameToForm();
    void ScrollTo(int bar, int pos);
    SIZE m_formSize{0, 0};
    int m_iconSize = 32;  // page icons, by the display's DPI
    POINT m_scroll{0, 0};
    int m_shown = 0;  // the page on display
};
