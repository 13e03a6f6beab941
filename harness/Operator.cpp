#include "Operator.h"

#include "DialogDriver.h"

#include "resource.h"

#include <commctrl.h>

#include <fstream>
#include <vector>

#include "HostHarness.h"
#include "bench/logic/PngWriter.h"

namespace harness {
namespace {
constexpr int kViewId = 0xE900;
constexpr int kPageAreaId = IDC_VIEW_PAGEAREA;
constexpr int kPageListId = IDC_VIEW_PAGELIST;

void SendClick(HWND w, int x, int y) {
    // The button-up is queued first: controls that track the mouse find it.
    PostMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    SendMessageA(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Operator::Pump();
}

std::string g_boxText;
BOOL CALLBACK FindVisibleDialog(HWND w, LPARAM lp) {
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    // A message box (its text static), not a dialog of the plug-in's own.
    if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(w) && GetDlgItem(w, 0xFFFF)) {
        *reinterpret_cast<HWND*>(lp) = w;
        return FALSE;
    }
    return TRUE;
}
void CALLBACK CloseMessageBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindVisibleDialog, reinterpret_cast<LPARAM>(&box));
    if (!box) return;
    KillTimer(nullptr, id);
    char text[2048] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message's static
    g_boxText = text;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}
}  // namespace

HWND Operator::View() const { return GetDlgItem(m_frame, kViewId); }
HWND Operator::PageList() const { return GetDlgItem(View(), kPageListId); }

HWND Operator::PageWindow(int page) const {
    // Pages are created in list order; the first created is the first child.
    HWND w = GetWindow(GetDlgItem(View(), kPageAreaId), GW_CHILD);
    for (int i = 0; w && i < page; ++i) w = GetWindow(w, GW_HWNDNEXT);
    return w;
}

int Operator::ShownPage() const {
    for (int i = 0; i < 5; ++i)
        if (IsWindowVisible(PageWindow(i))) return i;
    return -1;
}

bool Operator::PageMarked(int page) const {
    return (ListView_GetItemState(PageList(), page, LVIS_OVERLAYMASK) & LVIS_OVERLAYMASK) != 0;
}

kelvane::SchemeColours CurrentScheme() {
    HIGHCONTRASTA hc{};
    hc.cbSize = sizeof hc;
    const bool on = SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
    return {GetSysColor(COLOR_WINDOWTEXT),
            GetSysColor(COLOR_WINDOW),
            GetSysColor(COLOR_HIGHLIGHTTEXT),
            GetSysColor(COLOR_HIGHLIGHT),
            on,
            GetSysColor(COLOR_GRAYTEXT),
            GetSysColor(COLOR_3DFACE)};
}

HWND Operator::StatusStrip() const { return FindWindowExA(m_frame, nullptr, STATUSCLASSNAMEA, nullptr); }

std::string Operator::StripText(int part) const {
    HWND strip = StatusStrip();
    const int n = LOWORD(SendMessageA(strip, SB_GETTEXTLENGTHA, static_cast<WPARAM>(part), 0));
    std::vector<char> text(static_cast<size_t>(n) + 1, '\0');
    SendMessageA(strip, SB_GETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text.data()));
    return text.data();
}

int Operator::StripParts() const { return static_cast<int>(SendMessageA(StatusStrip(), SB_GETPARTS, 0, 0)); }

bool Operator::StripPartShowsAll(int part) const {
    HWND strip = StatusStrip();
    RECT rc{};
    if (!SendMessageA(strip, SB_GETRECT, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(&rc))) return false;
    if (part == StripParts() - 1) rc.right -= GetSystemMetrics(SM_CXVSCROLL);
    const std::string text = StripText(part);
    HDC dc = GetDC(strip);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(strip, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(strip, dc);
    constexpr int kInset = 3;  // where the strip starts a part's text
    return size.cx + 2 * GetSystemMetrics(SM_CXEDGE) + kInset <= rc.right - rc.left;
}

void Operator::SendAllSettings(bool send) {
    SendAllAnswering(m_frame, send);
    Pump();
}

HWND Operator::OpenTrend() {
    SendMessageA(m_frame, WM_COMMAND, MAKEWPARAM(ID_VIEW_TREND, 0), 0);
    Pump();
    return TrendWindow();
}

HWND Operator::TrendWindow() const {
    for (HWND w = FindWindowExA(nullptr, nullptr, "KelvaneTrendWindow", nullptr); w;
         w = FindWindowExA(nullptr, w, "KelvaneTrendWindow", nullptr))
        if (GetWindow(w, GW_OWNER) == m_frame) return w;
    return nullptr;
}

void Operator::SetTrendSpan(int index) {
    HWND trend = TrendWindow();
    HWND list = FindWindowExA(trend, nullptr, "COMBOBOX", nullptr);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(trend, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    Pump();
}

void Operator::ClickPageItem(int k) {
    HWND list = PageList();
    RECT rc{};
    if (k >= 0) {
        rc.left = LVIR_ICON;
        SendMessageA(list, LVM_GETITEMRECT, k, reinterpret_cast<LPARAM>(&rc));
    } else {
        GetClientRect(list, &rc);
        rc.top = rc.bottom - 6;  // below the last item
        rc.left = rc.right - 6;
    }
    SendClick(list, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
}

void Operator::Click(int page, int id) {
    SendMessageA(Control(page, id), BM_CLICK, 0, 0);
    Pump();
}

void Operator::SetText(int page, int id, const std::string& text) { SetWindowTextA(Control(page, id), text.c_str()); }

void Operator::TypeAndEnter(int page, int id, const std::string& text) {
    HWND edit = Control(page, id);
    SetWindowTextA(edit, text.c_str());
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
    SendMessageA(edit, WM_KEYUP, VK_RETURN, 0xC0000001);
    Pump();
}

void Operator::TypeAndEnterViaLoop(int page, int id, const std::string& text) {
    HWND edit = Control(page, id);
    SetWindowTextA(edit, text.c_str());
    SetFocus(edit);
    PostMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageA(edit, WM_CHAR, '\r', 1);
    PostMessageA(edit, WM_KEYUP, VK_RETURN, 0xC0000001);
    Pump();
}

std::string Operator::Text(int page, int id) const {
    char buf[256] = {};
    GetWindowTextA(Control(page, id), buf, sizeof buf);
    return buf;
}

bool Operator::Enabled(int page, int id) const { return IsWindowEnabled(Control(page, id)) != FALSE; }
bool Operator::Checked(int page, int id) const {
    return SendMessageA(Control(page, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Operator::Arrow(int page, int id, bool up) {
    HWND spin = Control(page, id);
    RECT rc;
    GetClientRect(spin, &rc);
    const int x = rc.right / 2;
    const int y = up ? rc.bottom / 4 : rc.bottom * 3 / 4;
    SendClick(spin, x, y);
}

void Operator::DragSlider(int page, int id, const std::vector<int>& positions) {
    HWND slider = Control(page, id);
    HWND parent = GetParent(slider);
    int last = SliderPos(page, id);
    for (int p : positions) {
        SendMessageA(slider, TBM_SETPOS, TRUE, p);
        last = static_cast<int>(SendMessageA(slider, TBM_GETPOS, 0, 0));
        SendMessageA(parent, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, last & 0xFFFF), reinterpret_cast<LPARAM>(slider));
    }
    SendMessageA(parent, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, last & 0xFFFF), reinterpret_cast<LPARAM>(slider));
    SendMessageA(parent, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
    Pump();
}

void Operator::SliderKey(int page, int id, bool right) {
    HWND slider = Control(page, id);
    const WPARAM key = right ? VK_RIGHT : VK_LEFT;
    SendMessageA(slider, WM_KEYDOWN, key, 1);
    SendMessageA(slider, WM_KEYUP, key, 0xC0000001);
    Pump();
}

int Operator::SliderPos(int page, int id) const {
    return static_cast<int>(SendMessageA(Control(page, id), TBM_GETPOS, 0, 0));
}

void Operator::SelectCombo(int page, int id, int index) {
    HWND combo = Control(page, id);
    SendMessageA(combo, CB_SETCURSEL, index, 0);
    SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    // A click on an item also closes the list on it.
    SendMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_CLOSEUP), reinterpret_cast<LPARAM>(combo));
    Pump();
}

int Operator::ComboSel(int page, int id) const {
    return static_cast<int>(SendMessageA(Control(page, id), CB_GETCURSEL, 0, 0));
}

std::vector<std::string> Operator::ListLines(int page, int id) const {
    HWND list = Control(page, id);
    std::vector<std::string> lines;
    const int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        char buf[256] = {};
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
        lines.push_back(buf);
    }
    return lines;
}

std::string Operator::AnswerMessageBox(void (*action)(void*), void* context) {
    g_boxText.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, &CloseMessageBox);
    action(context);
    KillTimer(nullptr, timer);
    Pump();
    return g_boxText;
}

void Operator::Pump(int rounds) { HostHarness::Pump(rounds); }

std::vector<std::string> Operator::ComboItems(int page, int id) const {
    HWND combo = Control(page, id);
    std::vector<std::string> items;
    const int n = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        char buf[256] = {};
        if (SendMessageA(combo, CB_GETLBTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof buf))
            SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
        items.push_back(buf);
    }
    return items;
}

void Operator::ClickSliderThumb(int page, int id) {
    HWND slider = Control(page, id);
    RECT thumb{};
    SendMessageA(slider, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    SendClick(slider, (thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2);
}

void Operator::SliderNotify(int page, int id, int code) {
    HWND slider = Control(page, id);
    const int pos = SliderPos(page, id);
    const int carried = (code == TB_THUMBTRACK || code == TB_THUMBPOSITION) ? (pos & 0xFFFF) : 0;
    SendMessageA(GetParent(slider), WM_HSCROLL, MAKEWPARAM(code, carried), reinterpret_cast<LPARAM>(slider));
    Pump();
}

void Operator::TrackSlider(int page, int id, int pos) {
    SendMessageA(Control(page, id), TBM_SETPOS, TRUE, pos);
    SliderNotify(page, id, TB_THUMBTRACK);
}

Operator OpenOnPage(HostHarness& host, int page, const std::string& ini, std::vector<CodeValue>* opening) {
    if (!ini.empty()) host.WriteIni(ini);
    if (!host.Loaded()) host.Load();
    host.Init();
    Operator op(host.Show());
    op.ClickPageItem(page);
    if (opening) *opening = TakeCommands(host);
    return op;
}

void RestartIn(HostHarness& host, const std::string& workFolder) {
    host.Unload();
    host.PrepareWorkFolder(workFolder);
}

std::string IniValue(const std::string& ini, const std::string& section, const std::string& key) {
    size_t at = ini.find("[" + section + "]\r\n");
    if (at == std::string::npos) return std::string();
    const size_t end = ini.find("\r\n[", at);
    const std::string line = "\r\n" + key + "=";
    at = ini.find(line, at);
    if (at == std::string::npos || at >= end) return std::string();
    at += line.size();
    return ini.substr(at, ini.find("\r\n", at) - at);
}

std::ostream& operator<<(std::ostream& os, const CodeValue& c) {
    return os << std::hex << c.code << std::dec << ":" << c.value;
}

std::vector<CodeValue> TakeCommands(HostHarness& host) {
    std::vector<CodeValue> out;
    for (const auto& c : host.Commands()) out.push_back({c.Code(), c.Value()});
    host.ClearCommands();
    return out;
}

// ---- Operator cues

void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        HostHarness::Pump(1);
        Sleep(20);
    }
}

void HoldModifiers(bool ctrl, bool shift) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
}

void PressViaLoop(HWND window, WPARAM key, bool ctrl, bool shift, int downs) {
    HoldModifiers(ctrl, shift);
    for (int i = 0; i < downs; ++i) PostMessageA(window, WM_KEYDOWN, key, i == 0 ? 1 : 0x40000001);
    PostMessageA(window, WM_KEYUP, key, 0xC0000001);
    HostHarness::Pump();
    HoldModifiers(false, false);
}

void TypeChars(HWND edit, const std::string& text, bool selectAll) {
    SetFocus(edit);
    if (selectAll) SendMessageA(edit, EM_SETSEL, 0, -1);
    for (char c : text) {
        const UINT vk = c == '\b' ? VK_BACK : static_cast<UINT>(VkKeyScanA(c) & 0xFF);
        SendMessageA(edit, WM_KEYDOWN, vk, 1);
        SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
        SendMessageA(edit, WM_KEYUP, vk, 0xC0000001);
    }
    Operator::Pump();
}

void PressEnter(HWND edit) {
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 1);
    SendMessageA(edit, WM_KEYUP, VK_RETURN, 0xC0000001);
    Operator::Pump();
}

DrawColours ColoursOf(HWND control) {
    char cls[16] = {};
    GetClassNameA(control, cls, sizeof cls);
    const bool edit = lstrcmpiA(cls, "Edit") == 0;
    const bool editable = edit && IsWindowEnabled(control) && !(GetWindowLongA(control, GWL_STYLE) & ES_READONLY);
    HDC dc = CreateCompatibleDC(nullptr);
    // Colours no scheme uses: a page that sets nothing is seen.
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    SendMessageA(GetParent(control), editable ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(control));
    const DrawColours colours{GetTextColor(dc), GetBkColor(dc)};
    DeleteDC(dc);
    return colours;
}

namespace {
struct TipSearch {
    HWND control;
    HWND found;
};
BOOL CALLBACK FindTooltip(HWND w, LPARAM lp) {
    auto* search = reinterpret_cast<TipSearch*>(lp);
    char cls[32] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpiA(cls, TOOLTIPS_CLASSA) != 0) return TRUE;
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = GetParent(search->control);
    ti.uId = reinterpret_cast<UINT_PTR>(search->control);
    if (!SendMessageA(w, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&ti))) return TRUE;
    search->found = w;
    return FALSE;
}
}  // namespace

HWND ExistingTooltipOf(HWND control) {
    TipSearch search{control, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &FindTooltip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND TooltipOf(HWND control) {
    TipSearch search{control, ExistingTooltipOf(control)};
    if (search.found || !control) return search.found;
    // A page makes its tips when the mouse first comes over it, as it does here.
    SendMessageA(GetParent(control), WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EnumThreadWindows(GetCurrentThreadId(), &FindTooltip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string TipText(HWND control) {
    HWND tooltip = TooltipOf(control);
    if (!tooltip) return std::string();
    // Wide: the narrow message hands back at most 80 characters.
    wchar_t wide[1024] = {};
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V2_SIZE;
    ti.hwnd = GetParent(control);
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = wide;
    SendMessageW(tooltip, TTM_GETTEXTW, sizeof wide / sizeof wide[0], reinterpret_cast<LPARAM>(&ti));
    char text[2048] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

namespace {
// A real mouse move, so the window under the cursor hears of it.
void SendPointerMove(POINT screen) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
}
}  // namespace

void MovePointerTo(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    SendPointerMove(screen);
}

HWND HoverUntilTip(HWND control, int timeoutMs) {
    HWND tooltip = TooltipOf(control);
    RECT rc{};
    GetWindowRect(control, &rc);
    const POINT centre{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    SetCursorPos(centre.x, centre.y);
    for (int waited = 0; tooltip && waited < timeoutMs; waited += 20) {
        if (waited % 200 == 0) SendPointerMove(centre);
        Operator::Pump();
        if (IsWindowVisible(tooltip)) return tooltip;
        Sleep(20);
    }
    return nullptr;
}

bool SaveWindowPng(HWND window, const std::string& path) {
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Operator::Pump();
    RECT area;
    return window && GetWindowRect(window, &area) && SaveScreenPng(area, path);
}

bool SaveScreenPng(const RECT& area, const std::string& path) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bmp && bits) {
        HGDIOBJ old = SelectObject(mem, bmp);
        ok = BitBlt(mem, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(mem, old);
        std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
        const uint8_t* px = static_cast<const uint8_t*>(bits);
        for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
            rgb[i * 3] = px[i * 4 + 2];
            rgb[i * 3 + 1] = px[i * 4 + 1];
            rgb[i * 3 + 2] = px[i * 4];
        }
        const std::vector<uint8_t> png = kelvane::EncodePng(width, height, rgb);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        ok = ok && !png.empty() && static_cast<bool>(out);
    }
    if (bmp) DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace harness
