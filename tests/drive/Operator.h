// Drives the "Varro Control Window" the way an operator does: page list
// clicks, typing and Enter, arrow clicks, slider moves, list selections,
// button clicks, and answering message boxes. Shared by the system tests and
// the bench host's script mode.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace drive {

enum Page { kGeneral = 0, kDtGain = 1, kMonopole = 2, kDipole = 3, kAcoustic = 4 };

class Operator {
public:
    explicit Operator(HWND frame) : m_frame(frame) {}

    HWND Frame() const { return m_frame; }
    HWND View() const;
    HWND PageList() const;
    HWND PageWindow(int page) const;             // the page dialog, shown or not
    HWND Control(int page, int id) const { return GetDlgItem(PageWindow(page), id); }
    int ShownPage() const;                        // -1 when none is visible

    // A real mouse click on item k of the page list (k < 0: its empty area).
    void ClickPageItem(int k);

    void Click(int page, int id);                 // push button, radio, check box
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

private:
    HWND m_frame;
};

}  // namespace drive
