// CDTGainCtrl: the "DT Gain Control" page. Four channels and an ALL entry
// that sets them (not "AllGain"), relative ALL arrows, auto gain that swaps
// the gain entries for the window sliders, and the auto-gain window.
#pragma once

#include "pages/GainPage.h"

class CDTGainCtrl : public CGainPage {
public:
    explicit CDTGainCtrl(const kelvane::PageContext& ctx);
    ~CDTGainCtrl() override;

protected:
    BOOL OnInitDialog() override;
    void OnHScroll(int code, HWND control) override;
    void OnAllArrow(int delta) override;
    void OnAutoGainSet(bool on) override;
    void DownloadAll() override;
    std::string TipText(int id) const override;

private:

    int32_t m_filterCheck = 0;  // the check box's state as last read
    // The page's copies of "FirstStartTime", "FirstWinLength", "Total Offset".
    int32_t m_start = 0;
    int32_t m_length = 0;
    int32_t m_offset = 0;
};
