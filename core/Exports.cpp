// The three entry points the host calls, and the library's load and unload.
#include <windows.h>

#include <cstdint>

#include "core/FieldTrace.h"
#include "core/HostMemory.h"
#include "core/Kelvane.h"
#include "core/logic/ReadBack.h"
#include "framework/ModuleGuard.h"
#include "framework/Wnd.h"

void ReleaseRuntimeAtUnload();  // RuntimeUnload.cpp

extern "C" __declspec(dllimport) const int16_t* __cdecl GetToolSubsetPtr(int32_t id, int32_t arg, uint32_t a,
                                                                         uint32_t b);

namespace {
// Made at load as the host's entry points expect; its constructor allocates nothing.
CKelvaneApp theApp;  // NOLINT(cert-err58-cpp)
}  // namespace

// No exception may cross into the host: each export goes through the entry
// barrier (ModuleGuard.h).
extern "C" void __cdecl ToolControlInit(uint32_t, uint32_t, void* hostWindow) {
    NoThrowEntry(0, [hostWindow] {
        theApp.SetHostWindow(static_cast<HWND>(hostWindow));
        return 0;
    });
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

void* ShowControlFrame() {
    // Opening the window runs the host's code (activation, the first command).
    return NoThrowEntry<void*>(nullptr, [] { return static_cast<void*>(theApp.ShowControlFrame()); });
}

// The image's part of a frame call: it touches no window and calls nothing
// of the host's, so it takes no module reference; the unload waits for it.
void __stdcall ProcessFrame(const void* fetched) {
    NoThrowEntry(0, [fetched] {
        const auto* frame = static_cast<const int16_t*>(fetched);
        const bool readable = ReadBackReadable(frame);
        if (frame && !readable) FieldTrace::CountUnreadableFrame();  // the host's thread: a count only
        theApp.TakeFrame(readable ? frame : nullptr);
        return 0;
    });
}
}  // namespace

// The exports the host calls while we may be unloaded from another thread
// jump to their entries (ModuleGuard.h); these are the calls themselves, and
// what the exports run when no entries could be made.
extern "C" void* __cdecl ToolControlShowDirect(uint32_t) { return ShowControlFrame(); }
extern "C" void __cdecl ToolControlProcessDirect(uint32_t a, uint32_t b) {
    ProcessFrame(GetToolSubsetPtr(kelvane::TOOL_SUBSET_ID, kelvane::TOOL_SUBSET_ARG, a, b));
}

namespace {
CEntryPoint g_showEntry(EntryShape::ExportOneArg, reinterpret_cast<void*>(&ToolControlShowDirect));
}  // namespace

extern "C" {
void* g_kelvaneShowTarget = reinterpret_cast<void*>(&ToolControlShowDirect);
void* g_kelvaneProcessTarget = reinterpret_cast<void*>(&ToolControlProcessDirect);
}

// The two exports are one jump each: nothing of the image is left on the
// stack under a frame call waiting in the host's library, or under the window
// the export opens, when the library goes.
#if defined(__GNUC__)
__asm__(
    ".text\n"
    ".globl _ToolControlShow\n"
    "_ToolControlShow:\n"
    "    jmp *_g_kelvaneShowTarget\n"
    ".globl _ToolControlProcess\n"
    "_ToolControlProcess:\n"
    "    jmp *_g_kelvaneProcessTarget\n");
#else
extern "C" __declspec(naked) void* __cdecl ToolControlShow(uint32_t) { __asm jmp dword ptr[g_kelvaneShowTarget] }
extern "C" __declspec(naked) void __cdecl ToolControlProcess(uint32_t,
                                                             uint32_t){__asm jmp dword ptr[g_kelvaneProcessTarget]}
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        DisableThreadLibraryCalls(instance);
        theApp.m_hInstance = instance;
        AfxSetResourceHandle(instance);
        {
            entry::Bodies frameCall{};
            frameCall.fetch = reinterpret_cast<entry::FetchProc>(
                ImportedFunction(reinterpret_cast<void*>(&GetToolSubsetPtr)));
            frameCall.fetchId = kelvane::TOOL_SUBSET_ID;
            frameCall.fetchArg = kelvane::TOOL_SUBSET_ARG;
            frameCall.frame = &ProcessFrame;
            OpenModuleGuards(instance, frameCall);
        }
        g_kelvaneShowTarget = g_showEntry.Address();
        if (entry::ProcessProc process = FrameCallEntry()) g_kelvaneProcessTarget = reinterpret_cast<void*>(process);
        NoThrowEntry(FALSE, [] { return theApp.InitInstance(); });
        return TRUE;
    case DLL_PROCESS_DETACH: {
        // reserved != null: the process is exiting without unloading us.
        if (reserved) {
            NoThrowEntry(0, [] {
                theApp.ProcessExitShutdown();
                return 0;
            });
            FieldTrace::Close();
            return TRUE;
        }
        BeginUnload();  // other threads' entries hand over to the system from now on
        NoThrowEntry(0, [] { return theApp.ExitInstance(); });
        FieldTrace::Close();  // what the shut-down absorbed too
        // Something of ours that stays with the system beyond a window left
        // on its thread (a hook that could not be removed) keeps its entries for good.
        EndUnload(theApp.LeftWindow(), !theApp.WindowsGone() && !theApp.LeftWindow());
        // Unloaded while the process goes on: give back what the runtime
        // would keep. (At process exit there is nothing to give back to.)
        ReleaseRuntimeAtUnload();
        return TRUE;
    }
    default: return TRUE;
    }
}
