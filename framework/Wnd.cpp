#include "framework/Wnd.h"

#include <initializer_list>

#include "framework/ModuleGuard.h"

namespace {
HINSTANCE g_resourceHandle = nullptr;
}

HINSTANCE AfxGetResourceHandle() { return g_resourceHandle; }
void AfxSetResourceHandle(HINSTANCE instance) { g_resourceHandle = instance; }

// ---- CWnd

CWnd::~CWnd() {
    if (m_hWnd && IsWindow(m_hWnd)) {
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hWnd);
    }
}

const char* CWnd::RegisterOwnClass(const char* name, const char* spare, UINT classStyle, HCURSOR cursor,
                                   HBRUSH background, UINT iconId) {
    HINSTANCE inst = AfxGetResourceHandle();
    for (const char* candidate : {name, spare}) {
        WNDCLASSEXA existing{};
        existing.cbSize = sizeof existing;
        if (GetClassInfoExA(inst, candidate, &existing)) {
            if (existing.lpfnWndProc == ClassProcedure()) return candidate;  // this load's
            // An earlier load's: its procedure is no longer ours. It goes
            // unless a window of it still stands; then the other name serves.
            if (!UnregisterClassA(candidate, inst)) continue;
            if (existing.hIcon) DestroyIcon(existing.hIcon);
        }
        // Loaded for the class alone, and destroyed with it at unload.
        HICON icon = iconId ? static_cast<HICON>(
                                  LoadImageA(inst, MAKEINTRESOURCEA(iconId), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE))
                            : nullptr;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.style = classStyle;
        wc.lpfnWndProc = ClassProcedure();
        wc.hInstance = inst;
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.hIcon = icon;
        wc.lpszClassName = candidate;
        if (RegisterClassExA(&wc)) return candidate;
        if (icon) DestroyIcon(icon);
        return nullptr;
    }
    return nullptr;
}

void CWnd::UnregisterOwnClass(const char* name) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    if (!name || !GetClassInfoExA(AfxGetResourceHandle(), name, &wc)) return;
    if (UnregisterClassA(name, AfxGetResourceHandle()) && wc.hIcon) DestroyIcon(wc.hIcon);
}

bool CWnd::CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int cx, int cy,
                    HWND parent, HMENU menu) {
    HWND hwnd = CreateWindowExA(exStyle, className, title, style, x, y, cx, cy, parent, menu, AfxGetResourceHandle(),
                                this);
    return hwnd != nullptr;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) { return DefWindowProcA(m_hWnd, msg, wParam, lParam); }

// The system calls the class procedure through its entry (ModuleGuard.h).
CEntryPoint CWnd::s_entry(EntryShape::WindowProc, reinterpret_cast<void*>(&CWnd::StaticWndProc));

LRESULT CALLBACK CWnd::StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return NoThrowEntry<LRESULT>(0, [&]() -> LRESULT {
        CWnd* self = reinterpret_cast<CWnd*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (msg == WM_NCCREATE) {
            self = static_cast<CWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
            if (self) {
                self->m_hWnd = hwnd;
                SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            }
        }
        if (!self) return DefWindowProcA(hwnd, msg, wParam, lParam);
        LRESULT result = self->WindowProc(msg, wParam, lParam);
        if (msg == WM_NCDESTROY) {
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            self->m_hWnd = nullptr;
            // A handler of ours may be below (the window went under its modal
            // loop): the object goes when that handler is done with it.
            RunWhenBoundaryLeft([](void* wnd) { static_cast<CWnd*>(wnd)->PostNcDestroy(); }, self);
        }
        return result;
    });
}
