// CPageCues: the operator cues of one page. Range tips on hover from one
// tooltip control per page (made when the mouse first points at a control
// with a tip), the tint of a numeric edit whose typed text is not committed
// yet, and the warning or stale colours of static boxes the page names.
// The page attaches it once its controls exist; it sees the page's messages
// before the page's handlers, so no handler has to pass messages on.
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>
#include "framework/Dialog.h"

#include "framework/logic/CueColours.h"

// A control with a tip. text null: the page's text callback is asked each
// time the tip shows, so it follows values that change (the gain step).
struct CueTip {
    int id;
    const char* text;
};

// Unknown: a value the tool may not hold, nothing having been sent since start.
// Health: a channel the health rules flag in auto gain.
enum class Cue { None, Tint, Warning, Stale, Unknown, Health };

// The system colours the cues (and the trend's lines) are chosen from, now.
kelvane::SchemeColours CurrentScheme();

// Sets the DC's colours for the cue and returns the brush for a WM_CTLCOLOR*
// answer (the DC brush: nothing to free). onFace: the control stands on the
// dialog's face (check boxes, radios), not in an edit's window colour.
HBRUSH PaintCue(HDC dc, Cue cue, bool onFace = false);

class CPageCues : private CDialogFilter {
public:
    using TipText = std::function<std::string(int id)>;
    // The cue a control shows now: Warning, Stale or Health for static boxes,
    // Unknown for any control, None.
    using StaticCue = std::function<Cue(int id)>;

    CPageCues() = default;
    CPageCues(const CPageCues&) = delete;
    CPageCues& operator=(const CPageCues&) = delete;
    ~CPageCues();

    // Takes the page's messages first; its tooltip control comes with the
    // first mouse move onto something of the page that has a tip. Each new
    // page window needs its own Attach.
    bool Attach(CDialog& page, TipText tipText, StaticCue staticCue = StaticCue());
    void AddTips(const CueTip* tips, size_t count);
    template <size_t N>
    void AddTips(const CueTip (&tips)[N]) {
        AddTips(tips, N);
    }

    // Control id's colours or tip changed: repaints it, and a tip on show
    // takes the new text.
    void Refresh(int id) const;

    HWND Tooltip() const { return m_tooltip; }  // null until the mouse pointed at a tip

private:
    // In the page's dialog procedure, not a subclass: every message through
    // a subclass costs the platform property look-ups.
    bool FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void Detach();
    void MakeTooltip();
    void AddTools(size_t from);
    std::string TextFor(int id) const;
    void AnswerTip(NMHDR* hdr);
    HWND Control(int id) const;
    bool PointsAtTip(HWND target) const;
    RECT ControlRect(HWND control) const;
    void MoveRectTools() const;
    HBRUSH ControlColour(UINT msg, HDC dc, HWND control) const;

    CDialog* m_dialog = nullptr;
    HWND m_page = nullptr;
    HWND m_tooltip = nullptr;
    std::vector<CueTip> m_tips;
    TipText m_tipText;
    StaticCue m_staticCue;
    // The text handed to the tooltip lives here until it asks again.
    std::string m_textA;
    std::wstring m_textW;
};
