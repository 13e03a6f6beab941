// The three entry points the host calls, and the library's load and unload.
#include <windows.h>

#include "core/Kelvane.h"
#include "window/Wnd.h"

void ReleaseRuntimeAtUnload();  // RuntimeUnload.cpp

extern "C" const int16_t* __cdecl GetToolSubsetPtr(int32_t id, int32_t arg, uint32_t a, uint32_t b);

namespace {
CKelvaneApp theApp;
CWinApp* g_app = nullptr;
}  // namespace

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) { g_app = this; }
CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}
CWinApp* AfxGetApp() { return g_app; }

// No exception may cross into the host: each export catches everything.
extern "C" void __cdecl ToolControlInit(uint32_t, uint32_t, void* hostWindow) {
    theApp.m_hostWnd = static_cast<HWND>(hostWindow);
}

extern "C" void* __cdecl ToolControlShow(uint32_t) {
    try {
        return theApp.ShowControlFrame();
    } catch (...) {
        return nullptr;
    }
}

extern "C" void __cdecl ToolControlProcess(uint32_t a, uint32_t b) {
    const int16_t* frame = GetToolSubsetPtr(kelvane::TOOL_SUBSET_ID, kelvane::TOOL_SUBSET_ARG, a, b);
    theApp.CopyStatusWords(frame);
    theApp.NotifyControlFrame();
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        theApp.m_hInstance = instance;
        AfxSetResourceHandle(instance);
        try {
            theApp.InitInstance();
        } catch (...) {
        }
        return TRUE;
    case DLL_PROCESS_DETACH:
        try {
            // reserved != null: the process is exiting without unloading us.
            if (reserved)
                theApp.ProcessExitShutdown();
            else
                theApp.ExitInstance();
        } catch (...) {
        }
        // Unloaded while the process goes on: give back what the runtime
        // would keep. (At process exit there is nothing to give back to.)
        if (!reserved) ReleaseRuntimeAtUnload();
        return TRUE;
    default:
        return TRUE;
    }
}
