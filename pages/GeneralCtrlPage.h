// CGeneralCtrlPage: gain step, DSP and tool reset, the receiver delays and
// sample intervals sent by "Download", and the sixteen DSP status lines.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/PageContext.h"
#include "pages/logic/GeneralRules.h"
#include "framework/DialogResize.h"
#include "framework/PageCues.h"

class CGeneralCtrlPage : public CResizePage {
public:
    explicit CGeneralCtrlPage(const kelvane::PageContext& ctx);
    ~CGeneralCtrlPage() override;

    // Host notifications, forwarded by the frame whether or not the page is shown.
    void SetDspStatus(const kelvane::DspStatusReport& report);
    void EnableStatusCheck(int32_t hostState);

    // "Download": validates the fields (a failing one is reported to the
    // operator and nothing is sent), stores and sends the eight values, then
    // each window end the new sample intervals put over its cap, limited to
    // it (unless sendWindowEnds is false: Send all sends them later anyway).
    // False when a field failed.
    bool Download(bool sendWindowEnds = true);
    // Called after a Download stored its values (the full-wave pages show
    // their window ends again).
    void OnDownloaded(std::function<void()> done) { m_downloaded = std::move(done); }
    // The last status report had an error line: "DSP error reported
    // HH:MM:SS", or "" (no report, or an all-OK one).
    std::string DspErrorNote() const;
    // Whether Download would pass its validation now.
    bool FieldsValid() const;
    // The sixteen DSP status lines and the time of the last report, as shown.
    std::vector<std::string> StatusLines() const;
    bool Reported() const { return m_reported; }
    std::string LastReport() const;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnGainStep(int32_t step);
    void OnDspReset();
    void OnToolReset();
    void OnCheck();

    // Field exchange: members to controls, and controls back to members
    // (false, with the operator told, when a field fails).
    void ShowFields() const;
    bool ReadFields();
    void FieldTexts(std::string (&texts)[kelvane::kDownloadFieldCount]) const;
    void FillStatusLists() const;
    void ShowLastReport() const;
    // The status lists draw their own lines: an error stands out, and lines
    // before the first report look like no data.
    void FitStatusLines() const;
    void DrawStatusLine(const DRAWITEMSTRUCT& item) const;

    void SendCommand(int32_t code, int32_t arg);
    void SendValue(int32_t code, int32_t value);
    // A field's tip: the range Download accepts.
    std::string FieldTip(int id) const;

    int32_t m_dtDelay = 0;
    int32_t m_dtDelayStep = 0;
    int32_t m_dtSampleRate = 0;
    int32_t m_monoDelay = 0;
    int32_t m_monoDelayStep = 0;
    int32_t m_dipoleDelay = 0;
    int32_t m_dipoleDelayStep = 0;
    int m_monoIndex = 0;
    int m_dipoleIndex = 0;
    // Outlive the page window: a later window shows the last report.
    int32_t m_dspFlags[kelvane::kDspLineCount] = {};
    bool m_reported = false;   // a status report has come
    int32_t m_reportTime = 0;  // local time of the last one, seconds since midnight
    // Reset, gain-step and status-check commands; only words 0 and 1 are written.
    kelvane::ToolCommand m_command{};
    CPageCues m_cues;
    const kelvane::PageContext m_ctx;
    std::function<void()> m_downloaded;
    // The display-only delay step held a value outside its range when loaded.
    std::string m_dtDelayStepNote;
};
