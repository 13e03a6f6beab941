// The three entry points the host calls, and the library's load and unload.
#include <windows.h>

#include <cstdint>

#include "core/Kelvane.h"
#include "framework/ModuleGuard.h"
#include "framework/Wnd.h"

void ReleaseRuntimeAtUnload();  // RuntimeUnload.cpp

extern "C" const int16_t* __cdecl GetToolSubsetPtr(int32_t id, int32_t arg, uint32_t a, uint32_t b);

namespace {
// Made at load as the host's entry points expect; its constructor allocates nothing.
CKelvaneApp theApp;  // NOLINT(cert-err58-cpp)
CWinApp* g_app = nullptr;
}  // namespace

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) { g_app = this; }
CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}
CWinApp* AfxGetApp() { return g_app; }

// No exception may cross into the host: each export goes through the entry
// barrier (ModuleGuard.h).
extern "C" void __cdecl ToolControlInit(uint32_t, uint32_t, void* hostWindow) {
    NoThrowEntry(0, [hostWindow] {
        theApp.m_hostWnd = static_cast<HWND>(hostWindow);
        return 0;
    });
}

extern "C" void* __cdecl ToolControlShow(uint32_t) {
    // Guarded: opening the window runs the host's code (activation, the first command).
    return HostEntry<void*>(nullptr, [] { return static_cast<void*>(theApp.ShowControlFrame()); });
}

namespace {
// A frame whose read-back words cannot all be read is skipped like a missing
// one: faulting would take down the host's acquisition thread.
bool ReadBackReadable(const int16_t* frame) {
    const uintptr_t base = reinterpret_cast<uintptr_t>(frame);
    if (!frame || base > UINTPTR_MAX - kelvane::kReadBackSpan.end) return false;
    return Readable(reinterpret_cast<const void*>(base + kelvane::kReadBackSpan.begin),
                    kelvane::kReadBackSpan.end - kelvane::kReadBackSpan.begin);
}
}  // namespace

// Any host thread, once per frame: it touches no window, so it takes no module
// reference, only the barrier.
extern "C" void __cdecl ToolControlProcess(uint32_t a, uint32_t b) {
    NoThrowEntry(0, [=] {
        const int16_t* frame = GetToolSubsetPtr(kelvane::TOOL_SUBSET_ID, kelvane::TOOL_SUBSET_ARG, a, b);
        theApp.CopyStatusWords(ReadBackReadable(frame) ? frame : nullptr);
        theApp.NotifyControlFrame();
        return 0;
    });
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        theApp.m_hInstance = instance;
        AfxSetResourceHandle(instance);
        OpenModuleGuards(instance);
        NoThrowEntry(FALSE, [] { return theApp.InitInstance(); });
        return TRUE;
    case DLL_PROCESS_DETACH:
        NoThrowEntry(0, [reserved] {
            // reserved != null: the process is exiting without unloading us.
            if (reserved) {
                theApp.ProcessExitShutdown();
            } else {
                CloseModuleGuards();  // the shut-down's own window messages take no reference
                theApp.ExitInstance();
            }
            return 0;
        });
        // Unloaded while the process goes on: give back what the runtime
        // would keep. (At process exit there is nothing to give back to.)
        if (!reserved) ReleaseRuntimeAtUnload();
        return TRUE;
    default:
        return TRUE;
    }
}
