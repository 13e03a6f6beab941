#include "framework/ModuleGuard.h"

#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <new>

namespace {

static_assert(sizeof(void*) == 4, "the entries are 32-bit x86 code, as the library is");

// Shared by the library and its entries; it lives outside the image, as the
// entries do, so both outlast an unload.
struct GuardState {
    volatile LONG closed;           // the unload has begun
    volatile LONG unloadingThread;  // the thread running it: its own teardown still runs ours
    volatile LONG pin;              // 2 x entries running + 1 while they hold a module reference
    volatile LONG frames;           // frame calls in the entry (also inside the host's library)
    volatile LONG frameBodies;      // frame calls running the image's part
    volatile LONG frameThread;      // the thread that last began a frame call
    volatile LONG threads;          // our threads made and not yet out of their entry
    volatile LONG threadsRunning;   // of them, those started
    HMODULE module;
    void* volatile replacedProc;    // what ChainedWindowProc entries hand messages to after unload
};

CEntryPoint* g_entries = nullptr;  // every CEntryPoint, linked at static construction
unsigned char* g_block = nullptr;  // page 0: the entries (read/execute), page 1: the state
GuardState* g_state = nullptr;
unsigned char* g_code = nullptr;   // where the next piece of code goes while writing
unsigned char* g_frameEntry = nullptr;
unsigned char* g_threadEntry = nullptr;
unsigned char* g_common = nullptr;

// x86 code as bytes: labels are patched 32-bit displacements.
class Asm {
public:
    explicit Asm(unsigned char* at) : m_at(at) {}
    unsigned char* Here() const { return m_at; }
    Asm& B(std::initializer_list<unsigned char> bytes) {
        for (unsigned char b : bytes) *m_at++ = b;
        return *this;
    }
    Asm& D(uint32_t w) {
        std::memcpy(m_at, &w, sizeof w);
        m_at += sizeof w;
        return *this;
    }
    Asm& A(const volatile void* p) { return D(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p))); }
    // jcc / jmp with a 32-bit displacement, landed later.
    unsigned char* Jcc(unsigned char cc) {
        B({0x0F, cc}).D(0);
        return m_at - 4;
    }
    unsigned char* Jmp() {
        B({0xE9}).D(0);
        return m_at - 4;
    }
    void JmpTo(const unsigned char* target) { LandAt(Jmp(), target); }
    void Land(unsigned char* patch) const { LandAt(patch, m_at); }
    static void LandAt(unsigned char* patch, const unsigned char* target) {
        const int32_t rel = static_cast<int32_t>(target - (patch + 4));
        std::memcpy(patch, &rel, sizeof rel);
    }

private:
    unsigned char* m_at;
};

constexpr unsigned char kJe = 0x84, kJne = 0x85;

void* Fn(FARPROC p) { return reinterpret_cast<void*>(p); }

// The address of an imported function itself: a function whose header does
// not say it is imported is reached through a jump in our image
// (jmp [import slot]), which must not be what outlives it.
template <class F>
void* Imported(F* f) {
    return ImportedFunction(reinterpret_cast<void*>(f));
}

// System functions the entries call, found through our own imports so that
// they are the ones this library is bound to.
struct SystemCalls {
    void* getModuleHandleEx = Imported(&GetModuleHandleExW);
    void* freeLibrary = Imported(&FreeLibrary);
    void* setLastError = Imported(&SetLastError);
    void* getLastError = Imported(&GetLastError);
    void* interlockedDecrement = nullptr;
    void* defWindowProc = Imported(&DefWindowProcA);
    void* defSubclassProc = Imported(&DefSubclassProc);
    void* callWindowProc = Imported(&CallWindowProcW);
    void* callNextHook = Imported(&CallNextHookEx);
};

// The shared routine of the window, dialog, subclass and hook entries and of
// the export that opens the window. In: eax = body, ecx = bytes of arguments
// the procedure takes off the stack, edx = fallback.
//
//   closed?  this thread's unload: body straight away; else jump to fallback
//   pin += 2; no reference held: take one (GetModuleHandleExW), or fall back
//   result = body(&args)
//   pin -= 2; the last entry out with a reference: give it back now, with
//   FreeLibrary as the tail call (the unload may run inside it; nothing of
//   ours is on the stack then). The result survives as the thread's last
//   error, which FreeLibrary returns through GetLastError.
unsigned char* WriteCommon(Asm& c, const SystemCalls& sys, GuardState* s) {
    unsigned char* start = c.Here();
    c.B({0x83, 0x3D}).A(&s->closed).B({0x00});             // cmp [closed], 0
    unsigned char* toClosed = c.Jcc(kJne);
    c.B({0x53, 0x56, 0x57});                               // push ebx, esi, edi
    c.B({0x89, 0xC6, 0x89, 0xCF, 0x89, 0xD3});             // mov esi, eax; mov edi, ecx; mov ebx, edx
    c.B({0xB8}).D(2);                                      // mov eax, 2
    c.B({0xF0, 0x0F, 0xC1, 0x05}).A(&s->pin);              // lock xadd [pin], eax
    c.B({0xA8, 0x01});                                     // test al, 1
    unsigned char* held = c.Jcc(kJne);
    c.B({0x6A, 0x00, 0x89, 0xE0, 0x50});                   // push 0; mov eax, esp; push eax
    c.B({0xFF, 0x35}).A(&s->module);                       // push [module]
    c.B({0x6A, 0x04});                                     // push FROM_ADDRESS
    c.B({0xB8}).A(sys.getModuleHandleEx).B({0xFF, 0xD0});  // call GetModuleHandleExW
    c.B({0x5A});                                           // pop edx (the handle)
    c.B({0x85, 0xC0});                                     // test eax, eax
    unsigned char* none = c.Jcc(kJe);
    c.B({0x83, 0x3D}).A(&s->closed).B({0x00});             // cmp [closed], 0 (another load at our address?)
    unsigned char* late = c.Jcc(kJne);
    unsigned char* setBit = c.Here();
    c.B({0xA1}).A(&s->pin);                                // mov eax, [pin]
    c.B({0xA8, 0x01});                                     // test al, 1
    unsigned char* extra = c.Jcc(kJne);
    c.B({0x8D, 0x48, 0x01});                               // lea ecx, [eax+1]
    c.B({0xF0, 0x0F, 0xB1, 0x0D}).A(&s->pin);              // lock cmpxchg [pin], ecx
    Asm::LandAt(c.Jcc(kJne), setBit);
    unsigned char* toRun = c.Jmp();
    c.Land(extra);                                         // another thread's reference came first
    c.B({0x52, 0xB8}).A(sys.freeLibrary).B({0xFF, 0xD0});  // push edx; call FreeLibrary (not the last)
    unsigned char* toRun2 = c.Jmp();
    c.Land(late);
    c.B({0x52, 0xB8}).A(sys.freeLibrary).B({0xFF, 0xD0});  // push edx; call FreeLibrary
    c.Land(none);
    c.B({0xF0, 0x83, 0x2D}).A(&s->pin).B({0x02});          // lock sub [pin], 2
    c.B({0x89, 0xDA, 0x5F, 0x5E, 0x5B, 0xFF, 0xE2});       // mov edx, ebx; pop edi, esi, ebx; jmp edx
    c.Land(held);
    c.Land(toRun);
    c.Land(toRun2);
    c.B({0x8D, 0x44, 0x24, 0x10, 0x50, 0xFF, 0xD6});       // lea eax, [esp+16]; push eax; call esi
    c.B({0x50});                                           // push eax (the result)
    c.B({0xB8}).D(static_cast<uint32_t>(-2));              // mov eax, -2
    c.B({0xF0, 0x0F, 0xC1, 0x05}).A(&s->pin);              // lock xadd [pin], eax
    c.B({0x83, 0xF8, 0x03});                               // cmp eax, 3
    unsigned char* keep = c.Jcc(kJne);
    c.B({0xB8}).D(1).B({0x31, 0xC9});                      // mov eax, 1; xor ecx, ecx
    c.B({0xF0, 0x0F, 0xB1, 0x0D}).A(&s->pin);              // lock cmpxchg [pin], ecx
    unsigned char* keep2 = c.Jcc(kJne);
    c.B({0xB8}).A(sys.setLastError).B({0xFF, 0xD0});       // SetLastError(result)
    c.B({0x89, 0xF9, 0x5F, 0x5E, 0x5B});                   // mov ecx, edi; pop edi, esi, ebx
    c.B({0x5A});                                           // pop edx (our caller)
    c.B({0x8D, 0x64, 0x0C, 0xFC});                         // lea esp, [esp+ecx-4]
    c.B({0x89, 0x14, 0x24});                               // mov [esp], edx
    c.B({0xFF, 0x35}).A(&s->module);                       // push [module]
    c.B({0x68}).A(sys.getLastError);                       // push GetLastError (FreeLibrary returns there)
    c.B({0xB8}).A(sys.freeLibrary).B({0xFF, 0xE0});        // jmp FreeLibrary
    c.Land(keep);
    c.Land(keep2);
    c.B({0x58, 0x89, 0xF9, 0x5F, 0x5E, 0x5B});             // pop eax; mov ecx, edi; pop edi, esi, ebx
    c.B({0x5A, 0x01, 0xCC, 0xFF, 0xE2});                   // pop edx; add esp, ecx; jmp edx
    c.Land(toClosed);
    c.B({0x50, 0x64, 0xA1, 0x24, 0x00, 0x00, 0x00});       // push eax; mov eax, fs:[0x24] (thread id)
    c.B({0x3B, 0x05}).A(&s->unloadingThread);              // cmp eax, [unloadingThread]
    c.B({0x58});                                           // pop eax
    unsigned char* other = c.Jcc(kJne);
    c.B({0x53, 0x56, 0x57, 0x89, 0xC6, 0x89, 0xCF});       // push ebx, esi, edi; mov esi, eax; mov edi, ecx
    c.B({0x8D, 0x44, 0x24, 0x10, 0x50, 0xFF, 0xD6});       // lea eax, [esp+16]; push eax; call esi
    c.B({0x89, 0xF9, 0x5F, 0x5E, 0x5B});                   // mov ecx, edi; pop edi, esi, ebx
    c.B({0x5A, 0x01, 0xCC, 0xFF, 0xE2});                   // pop edx; add esp, ecx; jmp edx
    c.Land(other);
    c.B({0xFF, 0xE2});                                     // jmp edx (the fallback, arguments in place)
    return start;
}

// What each shape does once the library is gone, and how many argument
// bytes it takes off the stack.
struct Fallback {
    void* code;
    uint32_t argBytes;
};

Fallback WriteFallback(Asm& c, EntryShape shape, const SystemCalls& sys, GuardState* s) {
    switch (shape) {
    case EntryShape::WindowProc:
        return {sys.defWindowProc, 16};
    case EntryShape::DialogProc: {
        void* at = c.Here();
        c.B({0x31, 0xC0, 0xC2, 0x10, 0x00});  // xor eax, eax; ret 16
        return {at, 16};
    }
    case EntryShape::SubclassProc: {
        // DefSubclassProc(hwnd, msg, wParam, lParam): the four words move up
        // over the two it does not take, so it returns to our caller.
        void* at = c.Here();
        c.B({0x8B, 0x44, 0x24, 0x10, 0x89, 0x44, 0x24, 0x18});  // [esp+24] = lParam
        c.B({0x8B, 0x44, 0x24, 0x0C, 0x89, 0x44, 0x24, 0x14});  // [esp+20] = wParam
        c.B({0x8B, 0x44, 0x24, 0x08, 0x89, 0x44, 0x24, 0x10});  // [esp+16] = msg
        c.B({0x8B, 0x44, 0x24, 0x04, 0x89, 0x44, 0x24, 0x0C});  // [esp+12] = hwnd
        c.B({0x8B, 0x04, 0x24, 0x89, 0x44, 0x24, 0x08});        // [esp+8] = return address
        c.B({0x83, 0xC4, 0x08});                                // add esp, 8
        c.B({0xB8}).A(sys.defSubclassProc).B({0xFF, 0xE0});     // jmp DefSubclassProc
        return {at, 24};
    }
    case EntryShape::ChainedWindowProc: {
        // CallWindowProcW(replaced, hwnd, msg, wParam, lParam): one word more
        // under the return address.
        void* at = c.Here();
        c.B({0x58, 0xFF, 0x35}).A(&s->replacedProc).B({0x50});  // pop eax; push [replacedProc]; push eax
        c.B({0xB8}).A(sys.callWindowProc).B({0xFF, 0xE0});      // jmp CallWindowProcW
        return {at, 16};
    }
    case EntryShape::HookProc: {
        void* at = c.Here();
        c.B({0x58, 0x6A, 0x00, 0x50});                      // pop eax; push 0 (hook); push eax
        c.B({0xB8}).A(sys.callNextHook).B({0xFF, 0xE0});  // jmp CallNextHookEx
        return {at, 12};
    }
    case EntryShape::ExportOneArg:
    default: {
        void* at = c.Here();
        c.B({0x31, 0xC0, 0xC3});  // xor eax, eax; ret
        return {at, 0};
    }
    }
}

void* WriteEntry(Asm& c, EntryBody body, const Fallback& fb) {
    void* at = c.Here();
    c.B({0xB8}).A(reinterpret_cast<void*>(body));  // mov eax, body
    c.B({0xB9}).D(fb.argBytes);                    // mov ecx, argBytes
    c.B({0xBA}).A(fb.code);                        // mov edx, fallback
    c.JmpTo(g_common);
    return at;
}

// A thread's start: body(param) unless the library has gone meanwhile. The
// last step, counting the thread out, is InterlockedDecrement as the tail
// call: nothing of the block runs after it.
unsigned char* WriteThreadEntry(Asm& c, const SystemCalls& sys, GuardState* s, void* body) {
    unsigned char* at = c.Here();
    c.B({0xF0, 0xFF, 0x05}).A(&s->threadsRunning);     // lock inc [threadsRunning]
    c.B({0x83, 0x3D}).A(&s->closed).B({0x00});         // cmp [closed], 0
    unsigned char* skip = c.Jcc(kJne);
    c.B({0xFF, 0x74, 0x24, 0x04});                     // push [esp+4] (param)
    c.B({0xB8}).A(body).B({0xFF, 0xD0});               // call body
    c.Land(skip);
    c.B({0xF0, 0xFF, 0x0D}).A(&s->threads);            // lock dec [threads]
    c.B({0xC7, 0x44, 0x24, 0x04}).A(&s->threadsRunning);  // [esp+4] = &threadsRunning
    c.B({0xB8}).A(sys.interlockedDecrement).B({0xFF, 0xE0});  // jmp InterlockedDecrement
    return at;
}

struct ThreadStart {
    DWORD(__stdcall* body)(void*);
    void* param;
};

DWORD __stdcall RunThreadStart(void* p) {
    ThreadStart start = *static_cast<ThreadStart*>(p);
    delete static_cast<ThreadStart*>(p);
    return start.body(start.param);
}

void SpinUntilAtMost(volatile LONG* value, LONG most, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (*value > most && GetTickCount() - start < timeoutMs) Sleep(1);
}

}  // namespace

void* ImportedFunction(void* f) {
    const auto* p = static_cast<const unsigned char*>(f);
    if (p[0] != 0xFF || p[1] != 0x25) return f;
    void* const* slot;
    std::memcpy(&slot, p + 2, sizeof slot);
    return *slot;
}

CEntryPoint::CEntryPoint(EntryShape shape, EntryBody body, void* direct) noexcept
    : m_shape(shape), m_body(body), m_direct(direct), m_next(g_entries) {
    g_entries = this;
}

void* FrameCallEntry(void* fetch, int32_t id, int32_t arg, void(__stdcall* body)(const void* frame)) {
    if (!g_block || !g_code) return nullptr;
    // Written once per load, at the first call (at load, before any frame).
    if (g_frameEntry) return g_frameEntry;
    GuardState* s = g_state;
    DWORD old;
    if (!VirtualProtect(g_block, 4096, PAGE_READWRITE, &old)) return nullptr;
    Asm c(g_code);
    SystemCalls sys;
    sys.interlockedDecrement = Fn(GetProcAddress(GetModuleHandleA("kernel32.dll"), "InterlockedDecrement"));
    unsigned char* at = c.Here();
    c.B({0xF0, 0xFF, 0x05}).A(&s->frames);                      // lock inc [frames]
    c.B({0x83, 0x3D}).A(&s->closed).B({0x00});                  // cmp [closed], 0
    unsigned char* done = c.Jcc(kJne);
    c.B({0x64, 0xA1, 0x24, 0x00, 0x00, 0x00});                  // mov eax, fs:[0x24] (thread id)
    c.B({0xA3}).A(&s->frameThread);                             // mov [frameThread], eax
    c.B({0xFF, 0x74, 0x24, 0x08, 0xFF, 0x74, 0x24, 0x08});      // push b; push a
    c.B({0x68}).D(static_cast<uint32_t>(arg));                  // push arg
    c.B({0x68}).D(static_cast<uint32_t>(id));                   // push id
    c.B({0xB8}).A(fetch).B({0xFF, 0xD0});                       // call fetch (cdecl)
    c.B({0x83, 0xC4, 0x10});                                    // add esp, 16
    c.B({0xF0, 0xFF, 0x05}).A(&s->frameBodies);                 // lock inc [frameBodies]
    c.B({0x83, 0x3D}).A(&s->closed).B({0x00});                  // cmp [closed], 0
    unsigned char* out = c.Jcc(kJne);
    c.B({0x50, 0xB8}).A(reinterpret_cast<void*>(body)).B({0xFF, 0xD0});  // push eax; call body
    c.Land(out);
    c.B({0xF0, 0xFF, 0x0D}).A(&s->frameBodies);                 // lock dec [frameBodies]
    c.Land(done);
    c.B({0x59, 0x68}).A(&s->frames).B({0x51});                  // pop ecx; push &frames; push ecx
    c.B({0xB8}).A(sys.interlockedDecrement).B({0xFF, 0xE0});    // jmp InterlockedDecrement
    g_code = c.Here();
    VirtualProtect(g_block, 4096, PAGE_EXECUTE_READ, &old);
    FlushInstructionCache(GetCurrentProcess(), g_block, 4096);
    g_frameEntry = at;
    return at;
}

bool GuardedThreadsAvailable() { return g_threadEntry != nullptr; }

bool ShareReplacedProcedure(WNDPROC proc) {
    GuardState* s = g_state;
    if (!s || !proc) return false;
    void* want = reinterpret_cast<void*>(proc);
    void* had = InterlockedCompareExchangePointer(const_cast<void**>(&s->replacedProc), want, nullptr);
    return had == nullptr || had == want;
}

WNDPROC ReplacedProcedure() {
    GuardState* s = g_state;
    return s ? reinterpret_cast<WNDPROC>(s->replacedProc) : nullptr;
}

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

bool StartGuardedThread(DWORD(__stdcall* body)(void* param), void* param) {
    if (!g_threadEntry || !g_state || g_state->closed) return false;
    auto* start = new (std::nothrow) ThreadStart{body, param};
    if (!start) return false;
    InterlockedIncrement(&g_state->threads);
    HANDLE thread = CreateThread(nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(g_threadEntry), start, 0,
                                 nullptr);
    if (!thread) {
        InterlockedDecrement(&g_state->threads);
        delete start;
        return false;
    }
    CloseHandle(thread);
    return true;
}

void OpenModuleGuards(HMODULE module) {
    if (g_depthSlot == TLS_OUT_OF_INDEXES) g_depthSlot = TlsAlloc();
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const DWORD page = si.dwPageSize;
    auto* block = static_cast<unsigned char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!block) return;
    auto* s = new (block + page) GuardState{};
    s->module = module;
    SystemCalls sys;
    sys.interlockedDecrement = Fn(GetProcAddress(GetModuleHandleA("kernel32.dll"), "InterlockedDecrement"));
    // Windows of ours left on another thread at unload keep controls of the
    // common controls, and their subclass chains, until that thread destroys
    // them: that library must stay however the host loads it.
    HMODULE comctl = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(sys.defSubclassProc), &comctl);
    if (!sys.interlockedDecrement) {
        VirtualFree(block, 0, MEM_RELEASE);
        return;
    }
    Asm c(block);
    g_common = WriteCommon(c, sys, s);
    for (CEntryPoint* e = g_entries; e; e = e->m_next) {
        const Fallback fb = WriteFallback(c, e->m_shape, sys, s);
        e->m_entry = WriteEntry(c, e->m_body, fb);
    }
    g_threadEntry = WriteThreadEntry(c, sys, s, reinterpret_cast<void*>(&RunThreadStart));
    DWORD old;
    // A host that forbids code made at run time gets no entries: unloads are
    // then as safe as the host makes them.
    if (!VirtualProtect(block, page, PAGE_EXECUTE_READ, &old)) {
        for (CEntryPoint* e = g_entries; e; e = e->m_next) e->m_entry = nullptr;
        g_threadEntry = nullptr;
        VirtualFree(block, 0, MEM_RELEASE);
        return;
    }
    FlushInstructionCache(GetCurrentProcess(), block, page);
    g_block = block;
    g_state = s;
    g_code = c.Here();
}

void BeginUnload() {
    GuardState* s = g_state;
    if (!s) return;
    InterlockedExchange(&s->unloadingThread, static_cast<LONG>(GetCurrentThreadId()));
    InterlockedExchange(&s->closed, 1);
}

void WaitForGuardedCalls(DWORD timeoutMs) {
    GuardState* s = g_state;
    if (!s) return;
    // Started threads and frame bodies need nothing of the loader: waiting
    // for them cannot deadlock. A frame call still inside the host's library
    // is given the same time, so the host's library is not taken from under
    // it; after that it returns into the entry, which lets it go.
    // A host that unloads inside its own frame call (from GetToolSubsetPtr)
    // is not made to wait for that call: it returns into the entry, after.
    const DWORD start = GetTickCount();
    SpinUntilAtMost(&s->threadsRunning, 0, timeoutMs);
    SpinUntilAtMost(&s->frameBodies, 0, timeoutMs);
    const DWORD spent = GetTickCount() - start;
    const LONG own = s->frameThread == static_cast<LONG>(GetCurrentThreadId()) ? 1 : 0;
    SpinUntilAtMost(&s->frames, own, spent < timeoutMs ? timeoutMs - spent : 0);
}

void EndUnload(bool windowsGone) {
    if (g_depthSlot != TLS_OUT_OF_INDEXES) {
        // Nothing of ours runs on any thread now: no call is deep in our code.
        TlsFree(g_depthSlot);
        g_depthSlot = TLS_OUT_OF_INDEXES;
    }
    GuardState* s = g_state;
    if (!s) return;
    for (CEntryPoint* e = g_entries; e; e = e->m_next) e->m_entry = nullptr;
    g_threadEntry = nullptr;
    g_frameEntry = nullptr;
    g_state = nullptr;
    g_code = nullptr;
    unsigned char* block = g_block;
    g_block = nullptr;
    // Kept when something may still come: a window of ours on another
    // thread, an entry waiting for the loader, a frame call still in the
    // host's library, a thread of ours not yet started.
    if (windowsGone && s->pin == 0 && s->frames == 0 && s->threads == 0) VirtualFree(block, 0, MEM_RELEASE);
}
