#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {
std::atomic<const int16_t*> g_frame{nullptr};
std::atomic<long> g_calls{0};
std::atomic<int32_t> g_args[4];
std::atomic<unsigned long> g_delayMs{0};
std::atomic<void(__cdecl*)(void*)> g_during{nullptr};
std::atomic<void*> g_duringContext{nullptr};
}  // namespace

extern "C" __declspec(dllexport) const int16_t* __cdecl GetToolSubsetPtr(int32_t id, int32_t arg, uint32_t a,
                                                                         uint32_t b) {
    g_args[0] = id;
    g_args[1] = arg;
    g_args[2] = static_cast<int32_t>(a);
    g_args[3] = static_cast<int32_t>(b);
    g_calls.fetch_add(1);
    // A host whose frame call takes its time (a slow acquisition board).
    if (const unsigned long ms = g_delayMs.load()) Sleep(ms);
    // A host that does its own work inside the frame call, once.
    if (auto during = g_during.exchange(nullptr)) during(g_duringContext.load());
    return g_frame.load();
}

// The frame stays owned by the caller and must outlive the calls that serve it.
extern "C" __declspec(dllexport) void __cdecl TamsilSetFrame(const int16_t* frame) { g_frame.store(frame); }
extern "C" __declspec(dllexport) long __cdecl TamsilCallCount(void) { return g_calls.load(); }
extern "C" __declspec(dllexport) void __cdecl TamsilLastArgs(int32_t* args4) {
    for (int i = 0; i < 4; ++i) args4[i] = g_args[i].load();
}
extern "C" __declspec(dllexport) void __cdecl TamsilSetDelay(unsigned long ms) { g_delayMs.store(ms); }
extern "C" __declspec(dllexport) void __cdecl TamsilDuringNextCall(void(__cdecl* during)(void*), void* context) {
    g_duringContext.store(context);
    g_during.store(during);
}
