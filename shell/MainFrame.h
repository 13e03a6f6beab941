// CMainFrame: the "Varro Control Window". Holds the control view and the
// status strip under it, receives the read-back notice and the host's two
// messages for the General page, and watches the frame stream. It reaches
// the application only through the FrameLink it is made with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/FrameLink.h"
#include "framework/Wnd.h"
#include "shell/logic/FrameWatch.h"
#include "core/logic/PageContext.h"
#include "shell/logic/Trend.h"
#include "shell/logic/Health.h"

class CControlView;
class CTrendWindow;

class CMainFrame : public CWnd, public kelvane::ControlFrame {
public:
    explicit CMainFrame(const kelvane::FrameLink& link);
    ~CMainFrame() override;

    bool Open() override;
    HWND Window() const override { return m_hWnd; }
    // Creates the window from the menu/icon resource id with the given style.
    bool LoadFrame(UINT resourceId, DWORD style);

    // At unload: a class left registered would keep a procedure address in
    // the unloaded image, and the next load would reuse it. The page list's
    // images, shared as the class is, go with it.
    static void UnregisterWindowClass();

    // A mark on the read-back trend's time axis (a set-up load marks here).
    void MarkTrend(kelvane::TrendMarkKind kind);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

private:
    bool OnCreate();
    void RecalcLayout();
    // Beside the host's window rather than over its panels, where there is room.
    void PlaceBesideHost();
    // WM_READBACKNOTICE, posted by the frame intake: shown now, or after the
    // operator's waiting input while frames stream.
    void OnReadBackNotice();
    void ShowReadBack();
    void CreateStatusStrip();
    int StatusStripHeight() const;
    kelvane::FrameSample SampleFrames() const;
    // From the status timer: staleness, page marks and the strip's texts.
    void OnStatusTick();
    void UpdateStale();
    void UpdateStatusStrip();
    // Parts: frames, drops, then what went wrong (only while something did)
    // and the last command sent, each as wide as its text; see LayOutStrip.
    void LayOutStrip();
    int StripTextWidth(const std::string& text) const;
    std::string StripTip() const;
    void SetStripText(int part, const std::string& text);
    void SetStripTip(const std::string& text);
    void MakeStripTip();
    // The File menu's set-up and job-record commands; false for another id.
    bool OnSetupCommand(UINT id);
    // A set-up was loaded and sent.
    void OnSetupLoaded();
    // Where the settings went when not to the INI, once, in a message box;
    // the job record keeps it.
    void ShowSettingsNotice();

    kelvane::FrameLink m_link;
    CControlView* m_pView = nullptr;

    // While frames stream, a read-back notice that finds operator input
    // waiting is shown after that input, once, from a short timer (see
    // OnReadBackNotice). Displays closer together than kStreamGapMs are a stream.
    static constexpr UINT_PTR kReadBackTimer = 1;
    // Settings are saved a while after the last change; the timer looks.
    static constexpr UINT_PTR kSaveTimer = 2;
    static constexpr UINT kSaveTickMs = 250;
    // The strip and the read-back's freshness follow from here, not per frame.
    static constexpr UINT_PTR kStatusTimer = 3;
    static constexpr UINT kStatusTickMs = 500;
    // Fires when the read-back turns old between two ticks, so it greys on time.
    static constexpr UINT_PTR kStaleTimer = 4;
    bool m_readBackDeferred = false;
    DWORD m_lastReadBackTick = 0;
    // The usable frames counted when the read-back was last shown: notices
    // of frames without words show nothing new and count no mismatch.
    uint32_t m_shownUsable = 0;
    bool m_readBackShown = false;
    HWND m_strip = nullptr;
    static constexpr int kStripMaxParts = 4;
    std::string m_stripTexts[kStripMaxParts];
    int m_stripEdges[kStripMaxParts] = {};
    int m_stripParts = 0;
    // The count parts grow to the widest text they have shown in this
    // window and never shrink back, so the parts do not shift every tick.
    int m_countWidths[2] = {};
    // What went wrong, from whole to its essentials (none while nothing
    // did), the last command sent, and the failure's details for the tip.
    std::vector<std::string> m_failure;
    std::string m_lastSent;
    std::string m_failureTip;
    bool m_failureCut = false;  // shown shorter than whole
    HWND m_stripTip = nullptr;
    std::string m_stripTipText;
    kelvane::FrameWatch m_watch;
    bool m_stale = false;

    // Channel health judges the application's trend (sampled by the
    // journal's thread, window or not) at this timer's ticks.
    static constexpr UINT_PTR kTrendTimer = 5;
    static constexpr UINT kTrendTickMs = kelvane::kTrendMinSpacingMs;
    void SampleTrend();
    void OpenTrend();
    // The job journal's read-back mismatch and DSP error events.
    void JournalMismatches();
    void JournalDspErrors();
    std::string m_mismatch[kelvane::kTrendChannels];
    DWORD m_mismatchSince[kelvane::kTrendChannels] = {};
    std::string m_dspErrors;
    // Channel health in auto gain, judged from the trend's samples: each
    // flag that begins or ends goes to the record's events, a new one to
    // the trend and, while the window is not active, to the taskbar.
    void OnHealthEvents(const std::vector<kelvane::HealthEvent>& events);
    void ShowHealthLooks();
    // The flags not yet acknowledged, as the strip shows them, whole first.
    std::vector<std::string> HealthStripForms() const;
    void AcknowledgeHealth();
    void AskForAttention();
    kelvane::HealthWatch m_health;
    uint32_t m_resetsJudged = 0;
    // The strip's failure part shows a health flag (a click there acknowledges).
    bool m_stripShowsHealth = false;
    // The pages' commands pass here on their way to the application, so a
    // Tool Reset is marked on the trend.
    // A command a page sends after the window went (its handler was under a
    // modal loop the host closed the window in) is dropped: nobody chose it.
    class TrendTap : public kelvane::CommandSink {
    public:
        TrendTap(kelvane::CommandSink& next, kelvane::TrendStore& trend, const HWND& window)
            : m_next(next), m_trend(trend), m_window(window) {}
        void SendToolCommand(const kelvane::ToolCommand* block) override;
        void BeginBatch(const char* what) override { m_next.BeginBatch(what); }
        void EndBatch() override { m_next.EndBatch(); }
        void AskedFor(int32_t value) override { m_next.AskedFor(value); }
        bool SentSinceStart(int32_t code) const override { return m_next.SentSinceStart(code); }
        std::string ToolHolds(int32_t code) const override { return m_next.ToolHolds(code); }
        bool ToolValue(int32_t code, int32_t* value) const override { return m_next.ToolValue(code, value); }
        uint32_t Sent() const { return m_sent; }
        uint32_t ToolResets() const { return m_toolResets; }

    private:
        kelvane::CommandSink& m_next;
        kelvane::TrendStore& m_trend;
        const HWND& m_window;
        uint32_t m_sent = 0;
        uint32_t m_toolResets = 0;
    };
    kelvane::TrendStore& m_trend;  // the application's: sampled window or not
    uint32_t m_judgedTick = 0;     // the trend sample health last judged
    TrendTap m_trendTap;
    CTrendWindow* m_trendWnd = nullptr;
};
