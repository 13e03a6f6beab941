// CAcousticProc: the "Acoustic Process" page. Edits the host's acoustic
// processing parameters; every change goes at once to the parameter set and
// to its field in the shared ProcessPara block. It sends no tool commands.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/logic/PageContext.h"
#include "framework/DialogResize.h"
#include "framework/MyEdit.h"
#include "framework/PageCues.h"

class CAcousticProc : public CResizePage {
public:
    explicit CAcousticProc(const kelvane::PageContext& ctx);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnHScroll(int code, HWND slider) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnCurveSelect();
    void OnFilterSelect();
    void OnThresholdType();
    void OnLinkClicked(int id);
    void OnEditValue(int id);
    CMyEdit* EditOf(int id);
    void OnStartMoved(int k, int32_t p);
    void OnMinMoved(int k, int32_t p);

    void SetStart(int k, int32_t value);
    void SetMin(int k, float value);
    int SliderIndex(const int (&ids)[4], HWND slider) const;
    // A tenth-scaled slider's label: the value with "%.<decimals>lf".
    void SetLabel(int id, double value, int decimals) const;
    // Writes a member's ProcessPara field, as the settings table maps it.
    template <class T>
    void Publish(const T& member) const;

    // The page's own copy of the link flags; the slider logic reads these.
    int32_t m_startLink[4] = {};
    int32_t m_minLink[4] = {};

    CMyEdit m_lowCut;
    CMyEdit m_highCut;
    CMyEdit m_dtMin;
    CMyEdit m_dtMax;
    CMyEdit m_corWinLength;
    CPageCues m_cues;
    const kelvane::PageContext m_ctx;
};
