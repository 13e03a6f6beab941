// Drives the "Varro Control Window" the way an operator does: page list
// clicks, typing and Enter, arrow clicks, slider moves, list selections,
// button clicks, and answering message boxes. Shared by the system tests and
// the bench host's script mode.
#pragma once

#include <windows.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "framework/logic/CueColours.h"

namespace harness {

enum Page { kGeneral = 0, kDtGain = 1, kMonopole = 2, kDipole = 3, kAcoustic = 4 };

class Operator {
public:
    explicit Operator(HWND frame) : m_frame(frame) {}

    HWND Frame() const { return m_frame; }
    HWND View() const;
    HWND PageList() const;
    HWND PageWindow(int page) const;  // the page dialog, shown or not
    HWND Control(int page, int id) const { return GetDlgItem(PageWindow(page), id); }
    int ShownPage() const;  // -1 when none is visible
    // Whether page's item in the page list carries the warning mark.
    bool PageMarked(int page) const;
    HWND StatusStrip() const;
    // A part of the status strip: 0 frames, 1 dropped, then (only while
    // something went wrong) what did, and last the last command sent.
    std::string StripText(int part) const;
    int StripParts() const;
    // Whether the part shows its whole text: the text in the strip's font,
    // the part's borders and the strip's inset against the part's width
    // (the last part's less the size grip).
    bool StripPartShowsAll(int part) const;
    // File, "Send all settings to the tool", as the menu sends it.
    // File "Send all settings", its preview answered OK (or Cancel).
    void SendAllSettings(bool send = true);

    // A real mouse click on item k of the page list (k < 0: its empty area).
    void ClickPageItem(int k);

    // View, "Read-back trend", as the menu sends it; the window (null when
    // none opened). Its period list: 0 the last minute, 1 ten, 2 thirty.
    HWND OpenTrend();
    HWND TrendWindow() const;
    void SetTrendSpan(int index);

    void Click(int page, int id);  // push button, radio, check box
    void TypeAndEnter(int page, int id, const std::string& text);
    // Types, then presses Enter through the thread's message loop, so the
    // dialog manager sees the key first (the path a real keyboard takes).
    void TypeAndEnterViaLoop(int page, int id, const std::string& text);
    void SetText(int page, int id, const std::string& text);
    std::string Text(int page, int id) const;
    bool Enabled(int page, int id) const;
    bool Checked(int page, int id) const;

    // A mouse click on the upper (up = true) or lower half of an up-down control.
    void Arrow(int page, int id, bool up);
    // Moves a slider as a drag does: thumb tracking to each position, then
    // the thumb position and the end-of-move notices.
    void DragSlider(int page, int id, const std::vector<int>& positions);
    // One arrow key on a focused slider (real line step and end-of-move).
    void SliderKey(int page, int id, bool right);
    int SliderPos(int page, int id) const;
    void SelectCombo(int page, int id, int index);
    int ComboSel(int page, int id) const;
    std::vector<std::string> ListLines(int page, int id) const;

    // Runs action; any message box it raises is closed with OK and its text
    // returned ("" when none appeared).
    std::string AnswerMessageBox(void (*action)(void*), void* context);

    static void Pump(int rounds = 3);

    // The texts of a drop-down list's entries, in order.
    std::vector<std::string> ComboItems(int page, int id) const;
    // A mouse click on a slider's thumb that does not move it.
    void ClickSliderThumb(int page, int id);
    // One scroll notice of the given code (TB_LINEDOWN, TB_ENDTRACK, ...) from a
    // slider at its current position, as the control sends it to the page.
    void SliderNotify(int page, int id, int code);
    // The thumb dragged to pos with the button still held (no end-of-move yet).
    void TrackSlider(int page, int id, int pos);

private:
    HWND m_frame;
};

class HostHarness;

// A command as tests compare them: its code and value word.
struct CodeValue {
    int32_t code;
    int32_t value;
    bool operator==(const CodeValue& o) const { return code == o.code && value == o.value; }
};
std::ostream& operator<<(std::ostream& os, const CodeValue& c);  // "8251:78"
// The commands the host recorded since the last call; the record is cleared.
std::vector<CodeValue> TakeCommands(HostHarness& host);

// Loads the plug-in as the host does (ini, when given, as the whole INI file),
// hands over the host window, opens the control window and shows page. The
// commands sent on the way go to *opening, or stay recorded when it is null.
Operator OpenOnPage(HostHarness& host, int page, const std::string& ini = std::string(),
                    std::vector<CodeValue>* opening = nullptr);
// Unloads the plug-in and points the host at a fresh work folder.
void RestartIn(HostHarness& host, const std::string& workFolder);

// The value text of key in section of an INI file's text ("" when absent).
std::string IniValue(const std::string& ini, const std::string& section, const std::string& key);

// Runs the host's loop for ms (the window's timers fire meanwhile).
void PumpFor(DWORD ms);

// Holds Ctrl and Shift as given in this thread's key state, which is what a
// hook and the dialog manager read while a key is handled.
void HoldModifiers(bool ctrl, bool shift);
// A key pressed with the focus on window, through this thread's loop (and so
// through the keyboard hook) as the host's loop runs it: key-down, the
// auto-repeated key-downs of a held key, key-up.
void PressViaLoop(HWND window, WPARAM key, bool ctrl = false, bool shift = false, int downs = 1);

// ---- Operator cues: what the operator sees beyond the values.

// Types text into an edit key by key (WM_CHAR), replacing its selection as
// real typing does: a user change, not one written by the program.
// '\b' is a backspace. selectAll first selects the whole text.
void TypeChars(HWND edit, const std::string& text, bool selectAll = true);
// Enter in an edit (key down and up), as a keyboard sends it.
void PressEnter(HWND edit);

// The colours a control is drawn in: its WM_CTLCOLOR* message answered by
// its page on a memory DC (WM_CTLCOLOREDIT for an enabled edit).
struct DrawColours {
    COLORREF text;
    COLORREF back;
};
DrawColours ColoursOf(HWND control);
// The system colours the cues are chosen from, as they are now.
kelvane::SchemeColours CurrentScheme();

// The tooltip control that has a tool for this control (null when none).
HWND TooltipOf(HWND control);
// The tooltip holding control's tip if its page has made one, or null.
HWND ExistingTooltipOf(HWND control);
// Moves the pointer there as the mouse would (the window under it hears of it).
void MovePointerTo(POINT screen);
// The text the control's tip shows now ("" without a tip).
std::string TipText(HWND control);
// Moves the mouse over the control's centre and waits until a tip shows;
// returns the visible tooltip window, or null after timeoutMs.
HWND HoverUntilTip(HWND control, int timeoutMs = 3000);

// Saves an area of the screen as a PNG file.
bool SaveScreenPng(const RECT& area, const std::string& path);
// A window as the operator sees it (raised and redrawn first), caption included.
bool SaveWindowPng(HWND window, const std::string& path);

}  // namespace harness
