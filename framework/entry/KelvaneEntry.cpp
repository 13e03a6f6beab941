// KelvaneEntry1.dll: the entries of the plug-in's procedures (EntryApi.h).
// Pinned by the plug-in, it is never unloaded, so code here may run on after
// the plug-in is gone: it calls into the plug-in only while that load's slot
// is open, and always returns into itself.
#include <windows.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <utility>

#include "framework/EntryApi.h"

namespace {

// One load of the plug-in. A slot is used again only once nothing of its
// load can come any more.
struct Slot {
    std::atomic<LONG> used{0};
    std::atomic<LONG> closed{0};            // the unload has begun
    std::atomic<DWORD> unloadingThread{0};  // its own teardown still runs the plug-in's code
    std::atomic<LONG> pin{0};               // 2 x entries running + 1 while they hold a reference
    std::atomic<LONG> frames{0};            // frame calls in the entry (also in the host's library)
    std::atomic<LONG> frameBodies{0};       // frame calls running the plug-in's part
    std::atomic<DWORD> frameThread{0};      // the thread that last began a frame call
    std::atomic<LONG> threads{0};           // threads made and not yet out of their entry
    std::atomic<LONG> threadsRunning{0};    // of them, those started
    std::atomic<HWND> leftWindow{nullptr};  // a window of the load its thread has yet to destroy
    std::atomic<LONG> keep{0};              // something of the load may call for good (a hook left)
    HMODULE module = nullptr;
    entry::Bodies bodies{};
};

constexpr int kSlots = 32;
Slot g_slots[kSlots];

// Runs body with a module reference held (the first entry in takes it, the
// last out gives it back, and the unload the host asked for meanwhile runs
// inside that FreeLibrary, with nothing of the plug-in on the stack). Once
// the unload has begun: fallback, but on the unloading thread itself, whose
// teardown destroys the plug-in's windows through their procedures.
template <class R, class Body, class Fallback>
R Guarded(Slot& s, Body&& body, Fallback&& fallback) {
    if (s.closed.load()) return s.unloadingThread.load() == GetCurrentThreadId() ? body() : fallback();
    if ((s.pin.fetch_add(2) & 1) == 0) {
        HMODULE held = nullptr;
        if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(s.module), &held)) {
            s.pin.fetch_sub(2);
            return fallback();
        }
        if (s.closed.load()) {  // unloaded meanwhile: the reference is another load's at the same address
            FreeLibrary(held);
            s.pin.fetch_sub(2);
            return fallback();
        }
        LONG pin = s.pin.load();
        while (!(pin & 1) && !s.pin.compare_exchange_weak(pin, pin | 1)) {
        }
        if (pin & 1) FreeLibrary(held);  // another thread's reference came first (never the last one)
    }
    const R result = body();
    LONG held = 1;  // no entry running, the reference held: the last out gives it back
    if (s.pin.fetch_sub(2) == 3 && s.pin.compare_exchange_strong(held, 0)) FreeLibrary(s.module);
    return result;
}

// The bodies are read before the slot is looked at: they stay the same while
// anything of their load can call (a slot is used again only after).
template <int S>
LRESULT CALLBACK WindowEntry(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    WNDPROC body = g_slots[S].bodies.window;
    return Guarded<LRESULT>(
        g_slots[S], [=] { return body(hwnd, msg, wParam, lParam); },
        [=] { return DefWindowProcA(hwnd, msg, wParam, lParam); });
}

template <int S>
INT_PTR CALLBACK DialogEntry(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    DLGPROC body = g_slots[S].bodies.dialog;
    return Guarded<INT_PTR>(
        g_slots[S], [=] { return body(hwnd, msg, wParam, lParam); }, [] { return static_cast<INT_PTR>(FALSE); });
}

template <int S>
LRESULT CALLBACK SubclassEntry(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    SUBCLASSPROC body = g_slots[S].bodies.subclass;
    SUBCLASSPROC fallback = g_slots[S].bodies.defSubclassProc;
    return Guarded<LRESULT>(
        g_slots[S], [=] { return body(hwnd, msg, wParam, lParam, id, data); },
        [=] { return fallback(hwnd, msg, wParam, lParam, 0, 0); });
}

template <int S>
LRESULT CALLBACK HookEntry(int code, WPARAM wParam, LPARAM lParam) {
    HOOKPROC body = g_slots[S].bodies.hook;
    return Guarded<LRESULT>(
        g_slots[S], [=] { return body(code, wParam, lParam); },
        [=] { return CallNextHookEx(nullptr, code, wParam, lParam); });
}

template <int S>
void* __cdecl ShowEntry(uint32_t arg) {
    entry::ShowProc body = g_slots[S].bodies.show;
    return Guarded<void*>(
        g_slots[S], [=] { return body(arg); }, [] { return static_cast<void*>(nullptr); });
}

// A frame call takes no module reference: it touches no window and calls
// nothing of the host's but the fetch, and the unload waits for its part.
template <int S>
void __cdecl ProcessEntry(uint32_t a, uint32_t b) {
    Slot& s = g_slots[S];
    s.frames.fetch_add(1);
    if (!s.closed.load()) {
        s.frameThread.store(GetCurrentThreadId());
        const void* frame = s.bodies.fetch(s.bodies.fetchId, s.bodies.fetchArg, a, b);
        s.frameBodies.fetch_add(1);
        if (!s.closed.load()) s.bodies.frame(frame);
        s.frameBodies.fetch_sub(1);
    }
    s.frames.fetch_sub(1);
}

struct ThreadStart {
    entry::ThreadBody body;
    void* param;
};

template <int S>
DWORD WINAPI ThreadEntry(void* p) {
    Slot& s = g_slots[S];
    const ThreadStart start = *static_cast<ThreadStart*>(p);
    HeapFree(GetProcessHeap(), 0, p);
    s.threadsRunning.fetch_add(1);
    const DWORD result = s.closed.load() ? 0 : start.body(start.param);
    s.threads.fetch_sub(1);
    s.threadsRunning.fetch_sub(1);
    return result;
}

struct SlotPoints {
    entry::Points points;
    LPTHREAD_START_ROUTINE thread;
};

template <std::size_t... S>
constexpr std::array<SlotPoints, sizeof...(S)> MakePoints(std::index_sequence<S...>) {
    return {{{{&WindowEntry<S>, &DialogEntry<S>, &SubclassEntry<S>, &HookEntry<S>, &ShowEntry<S>, &ProcessEntry<S>},
              &ThreadEntry<S>}...}};
}
const std::array<SlotPoints, kSlots> g_points = MakePoints(std::make_index_sequence<kSlots>());

// Nothing of the slot's load can reach the plug-in any more.
bool Quiet(const Slot& s) {
    HWND left = s.leftWindow.load();
    return !s.keep.load() && s.pin.load() == 0 && s.frames.load() == 0 && s.threads.load() == 0 &&
           (!left || !IsWindow(left));
}

int __cdecl Open(HMODULE plugin, const entry::Bodies* bodies, entry::Points* points) {
    if (!plugin || !bodies || !points) return -1;
    for (int i = 0; i < kSlots; ++i) {
        Slot& s = g_slots[i];
        // 2: closed by an unload and waiting to be quiet.
        if (s.used.load() == 2 && Quiet(s)) {
            LONG closed = 2;
            s.used.compare_exchange_strong(closed, 0);
        }
        LONG free = 0;
        if (!s.used.compare_exchange_strong(free, 1)) continue;
        s.module = plugin;
        s.bodies = *bodies;
        s.leftWindow.store(nullptr);
        s.frameThread.store(0);
        s.unloadingThread.store(0);
        s.closed.store(0);
        *points = g_points[static_cast<size_t>(i)].points;
        return i;
    }
    return -1;
}

Slot* At(int slot) { return slot >= 0 && slot < kSlots ? &g_slots[slot] : nullptr; }

void __cdecl BeginUnload(int slot) {
    if (Slot* s = At(slot)) {
        s->unloadingThread.store(GetCurrentThreadId());
        s->closed.store(1);
    }
}

void WaitAtMost(const std::atomic<LONG>& value, LONG most, DWORD start, DWORD ms) {
    while (value.load() > most && GetTickCount() - start < ms) Sleep(1);
}

void __cdecl WaitForCalls(int slot, DWORD ms) {
    Slot* s = At(slot);
    if (!s) return;
    // Started threads and frame parts need nothing of the loader: waiting for
    // them under its lock cannot deadlock. A frame call still in the host's
    // library gets the same time; after it, it returns here, not into the
    // plug-in. One the unload runs inside (the host unloads from its own
    // frame call) is not waited for.
    const DWORD start = GetTickCount();
    WaitAtMost(s->threadsRunning, 0, start, ms);
    WaitAtMost(s->frameBodies, 0, start, ms);
    WaitAtMost(s->frames, s->frameThread.load() == GetCurrentThreadId() ? 1 : 0, start, ms);
}

int __cdecl StartThread(int slot, entry::ThreadBody body, void* param) {
    Slot* s = At(slot);
    if (!s || s->closed.load() || !body) return 0;
    auto* start = static_cast<ThreadStart*>(HeapAlloc(GetProcessHeap(), 0, sizeof(ThreadStart)));
    if (!start) return 0;
    *start = ThreadStart{body, param};
    s->threads.fetch_add(1);
    HANDLE thread = CreateThread(nullptr, 0, g_points[static_cast<size_t>(slot)].thread, start, 0, nullptr);
    if (!thread) {
        s->threads.fetch_sub(1);
        HeapFree(GetProcessHeap(), 0, start);
        return 0;
    }
    CloseHandle(thread);
    return 1;
}

void __cdecl EndUnload(int slot, HWND leftWindow, int keep) {
    Slot* s = At(slot);
    if (!s) return;
    s->leftWindow.store(leftWindow);
    s->keep.store(keep ? 1 : 0);
    s->used.store(2);
}

const entry::Api g_api{sizeof(entry::Api), &Open, &BeginUnload, &WaitForCalls, &StartThread, &EndUnload};

}  // namespace

extern "C" const entry::Api* __cdecl KelvaneEntryApi() { return &g_api; }
