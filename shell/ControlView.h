// CControlView: the form that fills the frame: the page list at the left, the
// page icon and caption, and the page area holding the five page dialogs.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "core/logic/ReadBack.h"
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
    // belowForm: pixels the frame keeps under the form (its status strip).
    void OnInitialUpdate(int belowForm);
    // The page list's images are shared by the windows of one load of the
    // library; freed at its unload.
    static void ReleaseSharedImages();
    // Shows page 0..4 with its icon and caption; other indexes change nothing.
    void SelectPage(int index);
    // Selects page 0..4 in the page list, as a click on it does.
    void ShowPage(int index);

    // "Send all settings to the tool": every page's settings as the operator
    // would send them page by page, in one order: the General "Download"
    // (its validation first: a field out of range stops everything), then
    // the DT, Monopole and Dipole pages.
    void SendAllSettings();
    // Every page shows the parameter set anew, as when the window opens (a
    // set-up was loaded); nothing is sent: the send that follows does it.
    void ShowParametersAgain();

    // The read-back of the gain pages is old (note: since when) or fresh.
    void SetReadBackStale(bool stale, const std::string& note);
    // A page with a read-back warning carries a mark on its icon in the list.
    void RefreshPageMarks();
    // The health rules' tip of each of the twenty channels (trend order),
    // empty where a channel is healthy: its box and its page are marked.
    void SetHealthTips(const std::string* tips);
    // Per channel in snapshot order (DT 1-4, monopole 1-8, dipole 1-8):
    // how its read-back disagrees with its set gain, "" where it agrees.
    void ReadBackMismatches(std::string (&out)[20]) const;
    // The next (delta 1) or previous (-1) page, wrapping at both ends, chosen
    // in the page list as the operator would.
    void StepPage(int delta);
    // The window's keyboard shortcuts (Ctrl held); true when key was one.
    bool OnShortcut(UINT key, bool shift);

    // A data frame's read-back gains: the three gain pages show their words.
    void ShowReadBack(const kelvane::ReadBackWords& words);
    // The host's two messages, for the General page: the status check on or
    // off, and a DSP status report (its page-list mark follows).
    void EnableStatusCheck(int32_t hostState);
    void SetDspStatus(const kelvane::DspStatusReport& report);
    // "" while the DSPs are well; otherwise what the status strip leads with.
    std::string DspErrorNote() const;
    // For the job record: when the last DSP report came, and its lines.
    std::string LastDspReport() const;
    std::vector<std::string> DspStatusLines() const;
    // Whether the tool has sent a DSP report since the window opened.
    bool HasDspReport() const;
    // What only the pages hold of the operator's settings (the DT filter
    // box, which the parameter set does not keep) goes into settings.
    void AddPageHeldSettings(kelvane::ParameterSet& settings) const;

    HWND m_pageIcon = nullptr;  // IDC_VIEW_PAGEICON
    HWND m_pageList = nullptr;  // IDC_VIEW_PAGELIST

protected:
    bool OnNotify(NMHDR* hdr, LRESULT& result) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    CGeneralCtrlPage m_general;
    CDTGainCtrl m_dtGain;
    CMonopoleCtrl m_monopole;
    CDipoleControl m_dipole;
    CAcousticProc m_acoustic;

    CDialog* Page(int index);
    void FitFrameToForm(int belowForm);
    void ScrollTo(int bar, int pos);
    SIZE m_formSize{0, 0};
    int m_iconSize = 32;  // page icons, by the display's DPI
    POINT m_scroll{0, 0};
    kelvane::CommandSink& m_commands;
    int m_shown = 0;  // the page on display
};
