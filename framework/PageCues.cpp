#include "framework/PageCues.h"

#include <commctrl.h>

#include <utility>

#include "framework/MyEdit.h"
#include "framework/Dialog.h"
#include "framework/Wnd.h"
#include "framework/logic/CueColours.h"

namespace {

// Long enough for every tip on one line.
constexpr int kMaxTipWidth = 400;

}  // namespace

kelvane::SchemeColours CurrentScheme() {
    HIGHCONTRASTA hc{};
    hc.cbSize = sizeof hc;
    const bool highContrast = SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) &&
                              (hc.dwFlags & HCF_HIGHCONTRASTON) != 0;
    return kelvane::SchemeColours{GetSysColor(COLOR_WINDOWTEXT),
                                  GetSysColor(COLOR_WINDOW),
                                  GetSysColor(COLOR_HIGHLIGHTTEXT),
                                  GetSysColor(COLOR_HIGHLIGHT),
                                  highContrast,
                                  GetSysColor(COLOR_GRAYTEXT),
                                  GetSysColor(COLOR_3DFACE)};
}

namespace {

bool IsButton(HWND control) { return (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON) != 0; }

}  // namespace

HBRUSH PaintCue(HDC dc, Cue cue, bool onFace) {
    const kelvane::SchemeColours scheme = CurrentScheme();
    const kelvane::ColourPair pair = cue == Cue::Unknown
                                         ? kelvane::UnknownColours(scheme, onFace ? scheme.face : scheme.window)
                                     : cue == Cue::Tint   ? kelvane::TintColours(scheme)
                                     : cue == Cue::Stale  ? kelvane::StaleColours(scheme)
                                     : cue == Cue::Health ? kelvane::HealthColours(scheme)
                                                          : kelvane::WarningColours(scheme);
    SetTextColor(dc, pair.text);
    SetBkColor(dc, pair.back);
    SetDCBrushColor(dc, pair.back);
    return static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
}

CPageCues::~CPageCues() {
    if (m_dialog) m_dialog->SetFilter(nullptr);
    Detach();
}

void CPageCues::Detach() {
    if (m_tooltip && IsWindow(m_tooltip)) DestroyWindow(m_tooltip);
    m_tooltip = nullptr;
    m_page = nullptr;
    m_tips.clear();
}

bool CPageCues::Attach(CDialog& page, TipText tipText, StaticCue staticCue) {
    if (m_dialog) m_dialog->SetFilter(nullptr);
    m_dialog = nullptr;
    Detach();
    if (!page.m_hWnd) return false;
    m_dialog = &page;
    page.SetFilter(this);
    m_page = page.m_hWnd;
    m_tipText = std::move(tipText);
    m_staticCue = std::move(staticCue);
    return true;
}

void CPageCues::AddTips(const CueTip* tips, size_t count) {
    if (!m_page || !tips) return;
    const size_t added = m_tips.size();
    m_tips.insert(m_tips.end(), tips, tips + count);
    if (m_tooltip) AddTools(added);
}

// The tooltip and its tools are made when the mouse first points at
// something of the page that has a tip: a window opened and closed without
// hovering one never pays for them (nor does one that opens under a
// resting pointer, which tells the page at once).
void CPageCues::MakeTooltip() {
    if (m_tooltip || !m_page) return;
    // Tips also while the host's window, not ours, is active.
    m_tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_page, nullptr,
                                AfxGetResourceHandle(), nullptr);
    if (!m_tooltip) return;
    SendMessageA(m_tooltip, TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
    AddTools(0);
}

// Two tools per control. By window: the control itself hears the mouse and
// passes it on. By rectangle on the page: a disabled control hears no mouse
// (the page gets it), nor does a plain static. The page's mouse reaches the
// tooltip from the page's own procedure: a subclass of the page would cost
// the platform a property look-up on every message the page gets.
void CPageCues::AddTools(size_t from) {
    for (size_t i = from; i < m_tips.size(); ++i) {
        HWND control = Control(m_tips[i].id);
        if (!control) continue;
        TOOLINFOA ti{};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;  // also understood by the common controls without a manifest
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = m_page;
        ti.uId = reinterpret_cast<UINT_PTR>(control);
        ti.lpszText = LPSTR_TEXTCALLBACKA;
        if (!SendMessageA(m_tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti))) continue;
        ti.uFlags = 0;
        ti.uId = static_cast<UINT_PTR>(m_tips[i].id);
        ti.rect = ControlRect(control);
        SendMessageA(m_tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

// Through the page's kept controls: each GetDlgItem asks the window manager
// for the whole list.
HWND CPageCues::Control(int id) const {
    return m_dialog && m_dialog->m_hWnd == m_page ? m_dialog->Item(id) : GetDlgItem(m_page, id);
}

// Whether the mouse, over target (the page or one of its controls), is on a
// control with a tip: the control itself, or on the page within a control
// that hears no mouse (disabled, or a plain static).
bool CPageCues::PointsAtTip(HWND target) const {
    POINT at{};
    if (target == m_page && (!GetCursorPos(&at) || !ScreenToClient(m_page, &at))) return false;
    for (const CueTip& t : m_tips) {
        HWND control = Control(t.id);
        if (!control) continue;
        if (control == target || GetParent(target) == control) return true;
        if (target != m_page) continue;
        const RECT rc = ControlRect(control);
        if (PtInRect(&rc, at)) return true;
    }
    return false;
}

RECT CPageCues::ControlRect(HWND control) const {
    RECT rc{};
    GetWindowRect(control, &rc);
    MapWindowPoints(nullptr, m_page, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// The page may lay out its controls anew when it changes size.
void CPageCues::MoveRectTools() const {
    for (const CueTip& t : m_tips) {
        HWND control = Control(t.id);
        if (!control) continue;
        TOOLINFOA ti{};
        ti.cbSize = TTTOOLINFOA_V2_SIZE;
        ti.hwnd = m_page;
        ti.uId = static_cast<UINT_PTR>(t.id);
        ti.rect = ControlRect(control);
        SendMessageA(m_tooltip, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

void CPageCues::Refresh(int id) const {
    if (!m_page) return;
    if (HWND control = Control(id)) InvalidateRect(control, nullptr, TRUE);
    if (m_tooltip && IsWindowVisible(m_tooltip)) SendMessageA(m_tooltip, TTM_UPDATE, 0, 0);
}

std::string CPageCues::TextFor(int id) const {
    for (const CueTip& t : m_tips)
        if (t.id == id) return t.text ? std::string(t.text) : (m_tipText ? m_tipText(id) : std::string());
    return std::string();
}

void CPageCues::AnswerTip(NMHDR* hdr) {
    // Tools by window carry the control's window, tools by rectangle its id.
    const UINT flags = hdr->code == TTN_GETDISPINFOA ? reinterpret_cast<NMTTDISPINFOA*>(hdr)->uFlags
                                                     : reinterpret_cast<NMTTDISPINFOW*>(hdr)->uFlags;
    const int id = (flags & TTF_IDISHWND) ? GetDlgCtrlID(reinterpret_cast<HWND>(hdr->idFrom))
                                          : static_cast<int>(hdr->idFrom);
    if (hdr->code == TTN_GETDISPINFOA) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(hdr);
        m_textA = TextFor(id);
        info->hinst = nullptr;
        info->lpszText = &m_textA[0];
    } else {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(hdr);
        const std::string text = TextFor(id);
        m_textW.assign(text.begin(), text.end());  // the tips are ASCII
        info->hinst = nullptr;
        info->lpszText = &m_textW[0];
    }
}

HBRUSH CPageCues::ControlColour(UINT msg, HDC dc, HWND control) const {
    // A disabled or read-only edit asks with WM_CTLCOLORSTATIC; its typed
    // text is just as unsent.
    const CMyEdit* edit = CMyEdit::FromHandle(control);
    if (edit && edit->IsDirty()) return PaintCue(dc, Cue::Tint);
    if (!m_staticCue) return nullptr;
    const Cue cue = m_staticCue(GetDlgCtrlID(control));
    // A button asks as a static does, and stands on the face; an edit or a
    // list's box is in the window colour.
    if (cue == Cue::Unknown) return PaintCue(dc, cue, IsButton(control));
    if (msg != WM_CTLCOLORSTATIC) return nullptr;
    return cue == Cue::Warning || cue == Cue::Stale || cue == Cue::Health ? PaintCue(dc, cue) : nullptr;
}

bool CPageCues::FilterMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_COMMAND:
        // Edits tell their parent, not themselves, that the text changed.
        if (HIWORD(wParam) == EN_CHANGE)
            if (CMyEdit* edit = CMyEdit::FromHandle(reinterpret_cast<HWND>(lParam))) edit->OnTextChanged();
        return false;  // the page still sees it
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        // The dialog procedure hands the brush back as it is.
        if (HBRUSH brush = ControlColour(msg, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam))) {
            result = reinterpret_cast<LRESULT>(brush);
            return true;
        }
        return false;
    case WM_NOTIFY: {
        NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr && m_tooltip && hdr->hwndFrom == m_tooltip &&
            (hdr->code == TTN_GETDISPINFOA || hdr->code == TTN_GETDISPINFOW)) {
            AnswerTip(hdr);
            result = 0;
            return true;
        }
        return false;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        if (m_tooltip) {
            const DWORD pos = GetMessagePos();
            MSG m{m_page,
                  msg,
                  wParam,
                  lParam,
                  static_cast<DWORD>(GetMessageTime()),
                  POINT{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))}};
            SendMessageA(m_tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
        }
        return false;
    case WM_SETCURSOR:
        // The page hears of every mouse move over it or its controls.
        if (!m_tooltip && PointsAtTip(reinterpret_cast<HWND>(wParam))) MakeTooltip();
        return false;
    case WM_SIZE:
        if (m_tooltip) MoveRectTools();
        return false;
    case WM_DESTROY:
        if (m_tooltip && IsWindow(m_tooltip)) DestroyWindow(m_tooltip);
        m_tooltip = nullptr;
        return false;
    case WM_NCDESTROY: Detach(); return false;
    default: return false;
    }
}
