// Thin typed wrappers over the common controls the pages use: each holds the
// control's handle and nothing else, so one is made where it is used
// (ctl::Slider(Item(IDC_...)).SetPos(80)) and says what the control is.
#pragma once

#include <windows.h>

#include <string>

namespace ctl {

// A trackbar.
class Slider {
public:
    explicit Slider(HWND slider) : m_h(slider) {}
    void Setup(int lo, int hi, int lineStep, int pageStep) const;  // steps <= 0 keep the defaults
    void SetPos(int pos) const;
    int Pos() const;

private:
    HWND m_h;
};

// A drop-down list.
class Combo {
public:
    explicit Combo(HWND combo) : m_h(combo) {}
    void Fill(const char* const* items, int count) const;
    int Sel() const;
    bool SetSel(int index) const;  // false (and no change) when out of range

private:
    HWND m_h;
};

// A list box of plain lines.
class List {
public:
    explicit List(HWND list) : m_h(list) {}
    void Replace(const std::string* lines, int count) const;

private:
    HWND m_h;
};

// A check box or a radio button.
class Check {
public:
    explicit Check(HWND button) : m_h(button) {}
    bool Checked() const { return SendMessageA(m_h, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void SetChecked(bool on) const { SendMessageA(m_h, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }

private:
    HWND m_h;
};

}  // namespace ctl
