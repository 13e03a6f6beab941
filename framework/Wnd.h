// The small piece of an application framework the plug-in needs: window
// objects whose one static procedure dispatches to virtual handlers, and the
// module instance every resource is loaded from. Dialogs are in Dialog.h,
// the control helpers in Controls.h.
#pragma once

#include <windows.h>

#include "framework/ModuleGuard.h"

HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE instance);

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND m_hWnd = nullptr;

    // Creates a window of a class whose procedure is ours.
    bool CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int cx, int cy,
                  HWND parent, HMENU menu);
    // Registers a class of ours once per load of the library (with the icon
    // of the resource iconId, 0 for none) and returns the name it goes by,
    // null when none could be registered. A class an earlier load left
    // behind (a window of it outlived that load on another thread) still
    // names that load's procedure: it is replaced, or, while a window of it
    // still stands, the spare name is used.
    static const char* RegisterOwnClass(const char* name, const char* spare, UINT classStyle, HCURSOR cursor,
                                        HBRUSH background, UINT iconId);
    // At unload, with its icon: a class left registered would keep a
    // procedure address of the unloaded image.
    static void UnregisterOwnClass(const char* name);
    // The procedure RegisterOwnClass gives a class.
    static WNDPROC ClassProcedure() { return s_entry.As<WNDPROC>(); }

protected:
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // After WM_NCDESTROY: the object may delete itself here.
    virtual void PostNcDestroy() {}

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static CEntryPoint s_entry;
};
