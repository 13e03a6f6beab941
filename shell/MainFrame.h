// CMainFrame: the "Varro Control Window". Holds the control view and the
// status strip under it, receives the read-back notice and the host's two
// messages for the General page, and watches the frame stream.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Wnd.h"
#include "shell/logic/FrameWatch.h"

class CControlView;

class CMainFrame : public CWnd {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Creates the window from the menu/icon resource id with the given style.
    bool LoadFrame(UINT resourceId, DWORD style);

    // At unload: a class left registered would keep a procedure address in
    // the unloaded image, and the next load would reuse it.
    static void UnregisterWindowClass();

    // The read-back notice, from ToolControlProcess on any thread: posts
    // WM_TOOLCONTROL to the frame unless one is waiting already, so a flood
    // of frames cannot fill the UI queue (the notice shows the latest words).
    static void PostReadBackNotice(HWND frame);

    void ShowDtReadBack(const int32_t* words);
    void ShowMonopoleReadBack(const int32_t* words);
    void ShowDipoleReadBack(const int32_t* words);

    CControlView* m_pView = nullptr;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

private:
    bool OnCreate();
    void RecalcLayout();
    void OnToolControl();
    void ShowReadBack();
    void CreateStatusStrip();
    int StatusStripHeight() const;
    kelvane::FrameSample SampleFrames() const;
    // From the status timer: staleness, page marks and the strip's texts.
    void OnStatusTick();
    void UpdateStale();
    void UpdateStatusStrip();
    void SetStripText(int part, const std::string& text);
    // The File menu's set-up and job-record commands; false for another id.
    bool OnSetupCommand(UINT id);
    // A set-up was loaded and sent (the app's m_setupLoaded names it).
    void OnSetupLoaded();

    // While frames stream, a read-back notice that finds operator input
    // waiting is shown after that input, once, from a short timer (see
    // OnToolControl). Displays closer together than the gap are a stream.
    static constexpr UINT_PTR kReadBackTimer = 1;
    static constexpr DWORD kStreamGapMs = 50;
    // Settings are saved a while after the last change; the timer looks.
    static constexpr UINT_PTR kSaveTimer = 2;
    static constexpr UINT kSaveTickMs = 250;
    static constexpr UINT kShowNotice = WM_APP + 1;
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
    std::string m_stripTexts[3];
    kelvane::FrameWatch m_watch;
    bool m_stale = false;
};
