#include "framework/Controls.h"

#include <commctrl.h>

namespace ctl {
// A slider of a hidden page is drawn whole when the page is shown: asking it
// to redraw now only costs the window manager a request per change.
void TrackSetup(HWND slider, int lo, int hi, int lineStep, int pageStep) {
    SendMessageA(slider, TBM_SETRANGEMIN, FALSE, lo);
    SendMessageA(slider, TBM_SETRANGEMAX, IsWindowVisible(slider), hi);
    if (lineStep > 0) SendMessageA(slider, TBM_SETLINESIZE, 0, lineStep);
    if (pageStep > 0) SendMessageA(slider, TBM_SETPAGESIZE, 0, pageStep);
}
void TrackSetPos(HWND slider, int pos) { SendMessageA(slider, TBM_SETPOS, IsWindowVisible(slider), pos); }
int TrackPos(HWND slider) { return static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0)); }

void ComboFill(HWND combo, const char* const* items, int count) {
    // Each item added would repaint the list otherwise.
    SendMessageA(combo, WM_SETREDRAW, FALSE, 0);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
    SendMessageA(combo, WM_SETREDRAW, TRUE, 0);
    if (IsWindowVisible(combo)) InvalidateRect(combo, nullptr, TRUE);
}
int ComboSel(HWND combo) { return static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0)); }
bool ComboSetSel(HWND combo, int index) {
    int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    if (index < 0 || index >= count) return false;
    SendMessageA(combo, CB_SETCURSEL, index, 0);
    return true;
}

void ListReplace(HWND list, const std::string* lines, int count) {
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lines[i].c_str()));
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}
}  // namespace ctl
