// CFullWavePage: the monopole and dipole full-wave pages, one behaviour with
// their differences as data: eight channels, an ALL entry and ALL arrows
// that set all nine gains, the auto-gain window end, the stack count.
#pragma once

#include <cstddef>

#include "pages/GainPage.h"

struct FullWaveLayout {
    GainPageLayout gain;
    int stackId;
    int32_t stackCode;
    int windowEndId;
    int32_t windowEndCode;  // its drive limit bounds the entry
    size_t windowEndWord;   // byte offset in ToolControlPara
};

struct FullWaveValues {
    GainPageValues gain;
    int32_t* stackValue;
    int32_t* windowsEnd;
};

class CFullWavePage : public CGainPage {
public:
    // Each step stores and sends as the control's own action does; the auto
    // gain sent is the latch, which starts from the radios.
    void DownloadAll() override;
    void SendAll() override;
    // The window end as the parameter set holds it now (a General Download
    // may have limited it to a new sample interval's cap).
    void ShowWindowEnd();

protected:
    CFullWavePage(UINT templateId, const FullWaveLayout& layout, const FullWaveValues& values,
                  const kelvane::PageContext& ctx);

    // Shows the parameters; sends nothing.
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    bool OnValueEntered(int id, const std::string& text) override;
    void OnAllArrow(int delta) override;
    void OnAllKey(int delta) override;
    int32_t UnknownCode(int id) const override;
    std::string TipText(int id) const override;

    void StackChanged();
    // The list's choice made: sent when it differs from the stack in force.
    void StackChosen();

private:
    // The window end as the box holds it, within its drive range.
    void SendWindowEnd();
    // Typed, not entered: gains and the window end stored as Enter stores
    // them; the window end is sent at once when the send that follows leaves it out.
    void CommitTyped(bool sendWindowEnd);
    // The Download's commands, the typed values committed.
    void SendDownload();
    void ApplyAllStep(const kelvane::ArrowResult& r);
    // The window end's typed text stored, limited to its drive range; text
    // that is no whole number is refused at the box (false).
    bool TakeWindowEnd(const std::string& text);
    std::string WindowEndNote(int32_t typed, int32_t sent) const;

    FullWaveLayout m_fw;
    FullWaveValues m_fwValues;
    CMyEdit m_windowEndEdit;
};
