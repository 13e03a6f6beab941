#include "framework/Controls.h"

#include <commctrl.h>

namespace ctl {
// A slider of a hidden page is drawn whole when the page is shown: asking it
// to redraw now only costs the window manager a request per change.
void Slider::Setup(int lo, int hi, int lineStep, int pageStep) const {
    HWND slider = m_h;
    SendMessageA(slider, TBM_SETRANGEMIN, FALSE, lo);
    SendMessageA(slider, TBM_SETRANGEMAX, IsWindowVisible(slider), hi);
    if (lineStep > 0) SendMessageA(slider, TBM_SETLINESIZE, 0, lineStep);
    if (pageStep > 0) SendMessageA(slider, TBM_SETPAGESIZE, 0, pageStep);
}
void Slider::SetPos(int pos) const { SendMessageA(m_h, TBM_SETPOS, IsWindowVisible(m_h), pos); }
int Slider::Pos() const { return static_cast<int>(SendMessageA(m_h, TBM_GETPOS, 0, 0)); }

void Combo::Fill(const char* const* items, int count) const {
    HWND combo = m_h;
    // Each item added would repaint the list otherwise.
    SendMessageA(combo, WM_SETREDRAW, FALSE, 0);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
    SendMessageA(combo, WM_SETREDRAW, TRUE, 0);
    if (IsWindowVisible(combo)) InvalidateRect(combo, nullptr, TRUE);
}
int Combo::Sel() const { return static_cast<int>(SendMessageA(m_h, CB_GETCURSEL, 0, 0)); }
bool Combo::SetSel(int index) const {
    const int count = static_cast<int>(SendMessageA(m_h, CB_GETCOUNT, 0, 0));
    if (index < 0 || index >= count) return false;
    SendMessageA(m_h, CB_SETCURSEL, index, 0);
    return true;
}

void List::Replace(const std::string* lines, int count) const {
    HWND list = m_h;
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lines[i].c_str()));
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}
}  // namespace ctl
