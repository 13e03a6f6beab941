// CDTGainCtrl: the "DT Gain Control" page. Four channels and an ALL entry
// that sets them (not the stored ALL gain), relative ALL arrows, auto gain
// that swaps the gain entries for the window sliders, and the auto-gain
// window.
#pragma once

#include "pages/GainPage.h"

class CDTGainCtrl : public CGainPage {
public:
    explicit CDTGainCtrl(const kelvane::PageContext& ctx);
    ~CDTGainCtrl() override;

    void DownloadAll() override;
    // The Download's six, then the window: start, end, offset.
    void SendAll() override;
    // The next opening shows the auto-gain state without sending it (a
    // send of every setting follows).
    void OpenWithoutSending() { m_sendOnOpen = false; }

protected:
    BOOL OnInitDialog() override;
    void OnHScroll(int code, HWND control) override;
    void OnAllArrow(int delta) override;
    // The relative step already stops each channel at its range end.
    void OnAllKey(int delta) override { OnAllArrow(delta); }
    void OnAutoGainSet(bool on) override;
    std::string TipText(int id) const override;

private:
    // Shows slider k (kSliders) at value.
    void ShowSlider(int k, int32_t value);
    // Sends the window end the block holds, shortening a stored length that
    // would take it past its range (everywhere at once). storeEnd: the DT
    // window end parameter takes it (a WinLength move does, a StartTime
    // move does not).
    void SendWindowEnd(bool storeEnd);

    bool m_sendOnOpen = true;
    int32_t m_filterCheck = 0;  // the check box's state as last read
    // The page's copies of the window start, length and offset.
    int32_t m_start = 0;
    int32_t m_length = 0;
    int32_t m_offset = 0;
};
