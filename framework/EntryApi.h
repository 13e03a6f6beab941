// What Kelvane.dll and its entry module KelvaneEntry1.dll agree on.
//
// The system and the host call our procedures at any moment, also while the
// host unloads the library from another thread. They never call into the
// plug-in's image directly: each procedure we hand out is an entry in the
// entry module, ordinary compiled code that the plug-in loads from its own
// folder and pins, so it outlives every unload of the plug-in. While the
// plug-in is loaded an entry holds a module reference for as long as the
// plug-in's code runs below it and gives it back as that code returns (the
// unload the host asked for meanwhile then runs there, with nothing of the
// plug-in on the stack). Once the unload has begun, the entries hand every
// call to the system's default instead.
//
// The digit in the module's name is the version of this interface: a plug-in
// never meets an older pinned copy that does not know it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#define KELVANE_ENTRY_MODULE L"KelvaneEntry1.dll"
#define KELVANE_ENTRY_EXPORT "KelvaneEntryApi"

namespace entry {

using ShowProc = void*(__cdecl*)(uint32_t);
using ProcessProc = void(__cdecl*)(uint32_t, uint32_t);
using FetchProc = const void*(__cdecl*)(int32_t id, int32_t arg, uint32_t a, uint32_t b);
using FrameBody = void(__stdcall*)(const void* frame);
using ThreadBody = DWORD(__stdcall*)(void* param);

// What one load of the plug-in runs behind its entries.
struct Bodies {
    WNDPROC window;
    DLGPROC dialog;
    SUBCLASSPROC subclass;
    HOOKPROC hook;
    ShowProc show;
    // A frame call: fetch(fetchId, fetchArg, a, b) runs in the host's library
    // (it may wait there as long as the host likes), then frame(result).
    FetchProc fetch;
    int32_t fetchId;
    int32_t fetchArg;
    FrameBody frame;
    // The fallback of subclass procedures, from the plug-in's own comctl32.
    SUBCLASSPROC defSubclassProc;
};

// Where the system and the host call for that load.
struct Points {
    WNDPROC window;
    DLGPROC dialog;
    SUBCLASSPROC subclass;
    HOOKPROC hook;
    ShowProc show;
    ProcessProc process;
};

struct Api {
    uint32_t size;  // sizeof(Api)
    // A slot for this load of the plug-in (module, its bodies); -1 when none is free.
    int(__cdecl* open)(HMODULE plugin, const Bodies* bodies, Points* points);
    // The unload has begun on this thread: other threads' entries fall back.
    void(__cdecl* beginUnload)(int slot);
    // Waits, at most ms, until no thread of ours and no frame call runs code of
    // the plug-in (a frame call of the unloading thread itself is not waited for).
    void(__cdecl* waitForCalls)(int slot, DWORD ms);
    // A thread that runs body(param) unless the unload has begun; false when none was made.
    int(__cdecl* startThread)(int slot, ThreadBody body, void* param);
    // The unload's last step. leftWindow: a window of ours its thread has not
    // destroyed yet (null when none): the slot is free again once it has gone
    // and nothing of the load can come any more; never again with keep (a
    // procedure of the load may stay in the system's hands for good).
    void(__cdecl* endUnload)(int slot, HWND leftWindow, int keep);
};

using ApiProc = const Api*(__cdecl*)();

}  // namespace entry
