#include "framework/ModuleGuard.h"

#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <exception>

namespace {
std::atomic<AbsorbedExceptionReport> g_absorbedReport{nullptr};

// The depth of this thread's calls into our code, as the slot's value.
DWORD g_depthSlot = TLS_OUT_OF_INDEXES;
struct Deferred {
    DWORD thread;
    void (*run)(void*);
    void* arg;
};
// Few at a time: the windows one close destroys under a modal loop.
Deferred g_deferred[16];
SRWLOCK g_deferredLock = SRWLOCK_INIT;
std::atomic<int> g_deferredCount{0};

uintptr_t Depth() {
    return g_depthSlot == TLS_OUT_OF_INDEXES ? 0 : reinterpret_cast<uintptr_t>(TlsGetValue(g_depthSlot));
}

// Takes this thread's next deferred call, in the order they came.
bool TakeDeferred(Deferred& out) {
    const DWORD me = GetCurrentThreadId();
    bool found = false;
    AcquireSRWLockExclusive(&g_deferredLock);
    const int n = g_deferredCount.load();
    for (int i = 0; i < n; ++i) {
        if (g_deferred[i].thread != me) continue;
        out = g_deferred[i];
        for (int k = i + 1; k < n; ++k) g_deferred[k - 1] = g_deferred[k];
        g_deferredCount.store(n - 1);
        found = true;
        break;
    }
    ReleaseSRWLockExclusive(&g_deferredLock);
    return found;
}
}  // namespace

BoundaryScope::BoundaryScope() noexcept {
    if (g_depthSlot != TLS_OUT_OF_INDEXES) TlsSetValue(g_depthSlot, reinterpret_cast<void*>(Depth() + 1));
}

BoundaryScope::~BoundaryScope() {
    if (g_depthSlot == TLS_OUT_OF_INDEXES) return;
    const uintptr_t depth = Depth();
    TlsSetValue(g_depthSlot, reinterpret_cast<void*>(depth ? depth - 1 : 0));
    if (depth > 1 || g_deferredCount.load() == 0) return;
    // The outermost call is done with them: what was destroyed under it goes now.
    Deferred d{};
    while (TakeDeferred(d)) {
        try {
            d.run(d.arg);
        } catch (...) {
            ReportAbsorbedException();
        }
    }
}

void RunWhenBoundaryLeft(void (*run)(void* arg), void* arg) noexcept {
    bool queued = false;
    if (Depth() > 0) {
        AcquireSRWLockExclusive(&g_deferredLock);
        const int n = g_deferredCount.load();
        if (n < static_cast<int>(sizeof g_deferred / sizeof g_deferred[0])) {
            g_deferred[n] = {GetCurrentThreadId(), run, arg};
            g_deferredCount.store(n + 1);
            queued = true;
        }
        ReleaseSRWLockExclusive(&g_deferredLock);
    }
    if (queued) return;
    try {
        run(arg);
    } catch (...) {
        ReportAbsorbedException();
    }
}

void SetAbsorbedExceptionReport(AbsorbedExceptionReport report) noexcept { g_absorbedReport.store(report); }

void ReportAbsorbedException() noexcept {
    const AbsorbedExceptionReport report = g_absorbedReport.load();
    if (!report) return;
    // Rethrown and caught here, only to read what it was.
    try {
        throw;
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("");
    }
}

namespace {

CEntryPoint* g_entries = nullptr;   // every CEntryPoint, linked at static construction
const entry::Api* g_api = nullptr;  // the entry module's, while this load has a slot
int g_slot = -1;
entry::ProcessProc g_processEntry = nullptr;

// The entry module from the folder this library was loaded from, pinned: its
// code must outlive every unload of ours. Null when it is not there.
const entry::Api* LoadEntryModule(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    DWORD slash = n;
    while (slash > 0 && path[slash - 1] != L'\\' && path[slash - 1] != L'/') --slash;
    const wchar_t name[] = KELVANE_ENTRY_MODULE;
    if (slash + sizeof name / sizeof name[0] > MAX_PATH) return nullptr;
    for (size_t i = 0; i < sizeof name / sizeof name[0]; ++i) path[slash + i] = name[i];
    HMODULE entries = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!entries) return nullptr;
    HMODULE pinned = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(entries), &pinned)) {
        FreeLibrary(entries);
        return nullptr;
    }
    const auto api = reinterpret_cast<entry::ApiProc>(
        reinterpret_cast<void*>(GetProcAddress(entries, KELVANE_ENTRY_EXPORT)));
    const entry::Api* found = api ? api() : nullptr;
    return found && found->size == sizeof(entry::Api) ? found : nullptr;
}

}  // namespace

void* ImportedFunction(void* f) {
    const auto* p = static_cast<const unsigned char*>(f);
    if (p[0] != 0xFF || p[1] != 0x25) return f;
    void* const* slot;
    std::memcpy(&slot, p + 2, sizeof slot);
    return *slot;
}

CEntryPoint::CEntryPoint(EntryShape shape, void* procedure) noexcept
    : m_shape(shape), m_procedure(procedure), m_next(g_entries) {
    g_entries = this;
}

void OpenModuleGuards(HMODULE module, const entry::Bodies& frameCall) {
    if (g_depthSlot == TLS_OUT_OF_INDEXES) g_depthSlot = TlsAlloc();
    // Windows of ours left on another thread at unload keep controls of the
    // common controls, and their subclass chains, until that thread destroys
    // them: that library must stay however the host loads it.
    void* const defSubclassProc = ImportedFunction(reinterpret_cast<void*>(&DefSubclassProc));
    HMODULE comctl = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(defSubclassProc), &comctl);
    const entry::Api* api = LoadEntryModule(module);
    if (!api) return;
    entry::Bodies bodies = frameCall;
    bodies.defSubclassProc = reinterpret_cast<SUBCLASSPROC>(defSubclassProc);
    for (CEntryPoint* e = g_entries; e; e = e->m_next) {
        switch (e->m_shape) {
        case EntryShape::WindowProc: bodies.window = reinterpret_cast<WNDPROC>(e->m_procedure); break;
        case EntryShape::DialogProc: bodies.dialog = reinterpret_cast<DLGPROC>(e->m_procedure); break;
        case EntryShape::SubclassProc: bodies.subclass = reinterpret_cast<SUBCLASSPROC>(e->m_procedure); break;
        case EntryShape::HookProc: bodies.hook = reinterpret_cast<HOOKPROC>(e->m_procedure); break;
        case EntryShape::ExportOneArg: bodies.show = reinterpret_cast<entry::ShowProc>(e->m_procedure); break;
        }
    }
    entry::Points points{};
    const int slot = api->open(module, &bodies, &points);
    if (slot < 0) return;
    for (CEntryPoint* e = g_entries; e; e = e->m_next) {
        switch (e->m_shape) {
        case EntryShape::WindowProc: e->m_entry = reinterpret_cast<void*>(points.window); break;
        case EntryShape::DialogProc: e->m_entry = reinterpret_cast<void*>(points.dialog); break;
        case EntryShape::SubclassProc: e->m_entry = reinterpret_cast<void*>(points.subclass); break;
        case EntryShape::HookProc: e->m_entry = reinterpret_cast<void*>(points.hook); break;
        case EntryShape::ExportOneArg: e->m_entry = reinterpret_cast<void*>(points.show); break;
        }
    }
    g_processEntry = frameCall.fetch && frameCall.frame ? points.process : nullptr;
    g_api = api;
    g_slot = slot;
}

entry::ProcessProc FrameCallEntry() { return g_processEntry; }

bool StartGuardedThread(DWORD(__stdcall* body)(void* param), void* param) {
    return g_api && g_api->startThread(g_slot, body, param) != 0;
}

void BeginUnload() {
    if (g_api) g_api->beginUnload(g_slot);
}

void WaitForGuardedCalls(DWORD timeoutMs) {
    if (g_api) g_api->waitForCalls(g_slot, timeoutMs);
}

void EndUnload(HWND leftWindow, bool keep) {
    if (g_depthSlot != TLS_OUT_OF_INDEXES) {
        // Nothing of ours runs on any thread now: no call is deep in our code.
        TlsFree(g_depthSlot);
        g_depthSlot = TLS_OUT_OF_INDEXES;
    }
    for (CEntryPoint* e = g_entries; e; e = e->m_next) e->m_entry = nullptr;
    g_processEntry = nullptr;
    if (g_api) g_api->endUnload(g_slot, leftWindow, keep ? 1 : 0);
    g_api = nullptr;
    g_slot = -1;
}
