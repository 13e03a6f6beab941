// CGainPage: what the DT, Monopole and Dipole pages share. Gain edits that
// commit on Enter, channel arrows with the empty-edit cycle, the auto-gain
// radios, the downhole-filter check box, the send step and the read-back
// boxes. Each page describes its controls and codes as data.
#pragma once

#include <cstdint>
#include <string>

#include "KelvaneHost.h"
#include "core/logic/PageContext.h"
#include "pages/logic/GainRules.h"
#include "pages/logic/ReadBackCues.h"
#include "framework/DialogResize.h"
#include "framework/MyEdit.h"
#include "framework/PageCues.h"

constexpr int kMaxGainChannels = 8;

// Control ids and command codes of one gain page.
struct GainPageLayout {
    int channels;                         // 4 (DT) or 8
    int gainEdits[kMaxGainChannels + 1];  // CH1#.. in channel order, then ALL
    int arrows[kMaxGainChannels + 1];     // beside them, same order
    int32_t firstChannelCode;             // channel n sends firstChannelCode + n - 1
    int32_t allCode;
    int autoOnId;
    int autoOffId;
    int32_t autoCode;
    int filterId;
    int32_t filterCode;
    bool allSetsAllGain;  // the DT ALL edit leaves the stored ALL gain alone
    int downloadId;       // 0: the page has no Download button
    const char* section;  // "DT", "Monopole", "Dipole"
};

// Where a page's values live. All but the filter are in the parameter set;
// the DT filter state is the page's own.
struct GainPageValues {
    int32_t* gains;    // the channel gains, layout.channels entries
    int32_t* allGain;  // shown in ALL on opening
    int32_t* isAuto;   // the auto-gain state
    int32_t* filter;   // downhole-filter state (1 checked, 0 not)
};

class CGainPage : public CResizePage {
public:
    // Writes each word with "%d" into the channel's read-back box, and
    // marks a channel that keeps disagreeing with its setting.
    void ShowGainReadBack(const int32_t* words);
    // The tool has stopped reporting (note: since when, for the tips): the
    // read-back boxes look old until the next frame clears it.
    void SetReadBackStale(bool stale, const std::string& note);
    // The channels the health rules flag in auto gain: each one's tip, or
    // empty for a healthy channel (Channels() entries).
    void SetHealthTips(const std::string* tips);
    // A read-back box warns: a channel disagrees or is flagged, or the numbers are old.
    bool HasReadBackWarning() const;
    // Channel ch's read-back has disagreed with its set gain for a while:
    // "reported 42 dB, set 30 dB", or "" while it agrees.
    std::string ReadBackMismatch(int ch) const;
    // The page's "Download all commands": its settings as they stand, none
    // changed but what the drive limits change.
    virtual void DownloadAll() {}
    // Every setting of the page to the tool: its Download and what the page
    // sends beyond it (the auto-gain window).
    virtual void SendAll() = 0;
    // Repaints the controls whose value the tool may not hold (nothing sent
    // since start), after a command another page sent.
    void RefreshUnknownLooks() const;

protected:
    CGainPage(UINT templateId, const GainPageLayout& layout, const GainPageValues& values,
              const kelvane::PageContext& ctx);
    int Channels() const { return m_layout.channels; }
    const GainPageLayout& Layout() const { return m_layout; }
    const GainPageValues& Values() const { return m_values; }

    // Binds the numeric edits and shows the gains and the stored ALL gain.
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    bool OnNotify(NMHDR* hdr, LRESULT& result) override;
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // Text entered in an edit that is not a gain edit; true when handled.
    virtual bool OnValueEntered(int /*id*/, const std::string& /*text*/) { return false; }
    // One click beside ALL (delta -1 upper, +1 lower).
    virtual void OnAllArrow(int delta) = 0;
    // Up or Down in ALL: as its arrow, but stopping at the range ends.
    virtual void OnAllKey(int delta) = 0;
    // The command that tells the tool the value of control id, when the tool
    // may not hold it until that command is sent (0: none such).
    virtual int32_t UnknownCode(int id) const;
    // Channel edit's gain in force differs from what the tool was last sent.
    bool ToolDiffers(int edit) const;
    // Runs between storing the auto-gain state and sending it.
    virtual void OnAutoGainSet(bool /*on*/) {}
    // The range tip of control id, asked each time it shows.
    virtual std::string TipText(int id) const;

    // The operator actions the pages share, each to the end: member, mirror, command.
    void OnGainEntered(int index, const std::string& text);
    void OnChannelArrow(int index, int delta);
    // The ArrowResult of an arrow or a key into the channel's box, stored and sent.
    void ApplyChannelStep(int index, const kelvane::ArrowResult& r);
    void AutoGain(bool on);
    // "Auto Gain Off" clicked: with bumpless switching on and fresh read-back,
    // the manual gains take the gains the tool reported last, right after the
    // auto-gain command; otherwise the stored ones stay, and the strip says why.
    void AutoGainOffClicked();
    // Gains typed but not entered are stored as Enter stores them (shown, in
    // the parameter set), not sent: the send that follows takes them.
    void CommitTypedGains();
    void DownholeFilter();
    void SendChannelGains();                    // every channel's gain, channel 1 first
    void ShowAllGains(const char* text) const;  // into every channel edit, then ALL

    int32_t GainStep() const { return m_ctx.params.GainStep; }
    // The typed text of a gain box, as Enter commits it, optionally without
    // the command. Text that is no whole number is refused: the box shows the
    // gain in force again and says why; false then.
    bool StoreGain(int index, const std::string& text, bool send);
    // Fills words 0..2 of the page's block and sends a copy.
    void Send(int32_t code, int32_t value);

    // The DT auto flag and the monopole latch: the state Download sends.
    int32_t m_autoFlag = 1;
    CPageCues m_cues;
    const kelvane::PageContext m_ctx;

private:
    int GainEditIndex(int id) const;
    int ArrowIndex(int id) const;
    int ReadBackIndex(int id) const;
    bool ClickedFlaggedBox(LPARAM lParam) const;
    void RefreshReadBacks(uint32_t channels) const;
    // The box at index (channels, then ALL) shows a limited value, not the one it held.
    void NoteLimited(int index, int32_t from, int32_t sent);
    void OnGainKey(int index, int delta);
    static BOOL CALLBACK RefreshIfUnknown(HWND control, LPARAM page);

    GainPageLayout m_layout;
    GainPageValues m_values;
    CMyEdit m_gainEdits[kMaxGainChannels + 1];
    kelvane::ToolCommand m_command{};
    kelvane::ReadBackCues m_readBackCues;
    // What each read-back box shows, so a frame that changes nothing writes nothing.
    int32_t m_shownReadBack[kMaxGainChannels] = {};
    bool m_readBackShown[kMaxGainChannels] = {};
    std::string m_healthTips[kMaxGainChannels];
    // Why a box's value was limited, for its tip until the box is next committed.
    std::string m_limitNotes[kMaxGainChannels + 1];
    bool m_stale = false;
    std::string m_staleNote;
};
