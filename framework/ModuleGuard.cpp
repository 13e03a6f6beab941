#include "framework/ModuleGuard.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <new>

namespace {

static_assert(sizeof(void*) == 4, "the release code is 32-bit x86, as the library is");

// Shared by the guards and the release code; it lives outside the image, as
// the release code does, so both outlast an unload.
struct ReleaseState {
    volatile LONG pin;        // 2 x the entries running, + 1 while a module reference is held
    HMODULE module;
    volatile LONG armed;      // the release timer is set
    volatile LONG releasing;  // the release code is inside FreeLibrary
    volatile LONG orphaned;   // the library is gone: the release code frees the block
};

constexpr UINT_PTR kReleaseTimer = 1;

unsigned char* g_block = nullptr;  // page 0: the release code (read/execute), page 1: the state
ReleaseState* g_state = nullptr;
HWND g_releaser = nullptr;  // message-only window whose timer runs the release code

class CodeWriter {
public:
    explicit CodeWriter(unsigned char* at) : m_at(at) {}
    CodeWriter& Bytes(std::initializer_list<unsigned char> bytes) {
        for (unsigned char b : bytes) *m_at++ = b;
        return *this;
    }
    CodeWriter& Word(uint32_t w) {
        std::memcpy(m_at, &w, sizeof w);
        m_at += sizeof w;
        return *this;
    }
    CodeWriter& Address(const volatile void* p) {
        return Word(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)));
    }
    // A short conditional jump, its target set by Land.
    unsigned char* JumpIfNotZero() {
        Bytes({0x75, 0x00});
        return m_at - 1;
    }
    void Land(unsigned char* jump) { *jump = static_cast<unsigned char>(m_at - (jump + 1)); }

private:
    unsigned char* m_at;
};

// The release code, a TIMERPROC (stdcall: hwnd, message, id, time):
//
//     KillTimer(hwnd, id);  armed = 0;
//     if (pin == 1, set to 0 atomically) {      // a reference, no entry running
//         releasing = 1;  FreeLibrary(module);  releasing = 0;   // may unload
//     }
//     if (orphaned) return through VirtualFree(block, 0, MEM_RELEASE);
//     return;
//
// The last line frees the code it runs: VirtualFree returns straight to our
// caller, with the timer procedure's arguments taken off the stack.
bool WriteReleaseCode(unsigned char* block, ReleaseState* s) {
    HMODULE user32 = GetModuleHandleA("user32.dll"), kernel32 = GetModuleHandleA("kernel32.dll");
    void* killTimer = user32 ? reinterpret_cast<void*>(GetProcAddress(user32, "KillTimer")) : nullptr;
    void* freeLibrary = kernel32 ? reinterpret_cast<void*>(GetProcAddress(kernel32, "FreeLibrary")) : nullptr;
    void* virtualFree = kernel32 ? reinterpret_cast<void*>(GetProcAddress(kernel32, "VirtualFree")) : nullptr;
    if (!killTimer || !freeLibrary || !virtualFree) return false;
    CodeWriter c(block);
    c.Bytes({0xFF, 0x74, 0x24, 0x0C});                     // push [esp+12]          id
    c.Bytes({0xFF, 0x74, 0x24, 0x08});                     // push [esp+8]           hwnd
    c.Bytes({0xB8}).Address(killTimer);                    // mov eax, KillTimer
    c.Bytes({0xFF, 0xD0});                                 // call eax
    c.Bytes({0xC7, 0x05}).Address(&s->armed).Word(0);      // mov [armed], 0
    c.Bytes({0xB9}).Address(&s->pin);                      // mov ecx, &pin
    c.Bytes({0xB8}).Word(1);                               // mov eax, 1
    c.Bytes({0x31, 0xD2});                                 // xor edx, edx
    c.Bytes({0xF0, 0x0F, 0xB1, 0x11});                     // lock cmpxchg [ecx], edx
    unsigned char* held = c.JumpIfNotZero();               // jne kept
    c.Bytes({0xC7, 0x05}).Address(&s->releasing).Word(1);  // mov [releasing], 1
    c.Bytes({0xFF, 0x35}).Address(&s->module);             // push [module]
    c.Bytes({0xB8}).Address(freeLibrary);                  // mov eax, FreeLibrary
    c.Bytes({0xFF, 0xD0});                                 // call eax
    c.Bytes({0xC7, 0x05}).Address(&s->releasing).Word(0);  // mov [releasing], 0
    c.Land(held);                                          // kept:
    c.Bytes({0x83, 0x3D}).Address(&s->orphaned).Bytes({0x00});  // cmp [orphaned], 0
    unsigned char* orphaned = c.JumpIfNotZero();           // jne free
    c.Bytes({0xC2, 0x10, 0x00});                           // ret 16
    c.Land(orphaned);                                      // free:
    c.Bytes({0x59});                                       // pop ecx                our caller
    c.Bytes({0x83, 0xC4, 0x10});                           // add esp, 16            the four arguments
    c.Bytes({0x68}).Word(MEM_RELEASE);                     // push MEM_RELEASE
    c.Bytes({0x6A, 0x00});                                 // push 0
    c.Bytes({0x68}).Address(block);                        // push block
    c.Bytes({0x51});                                       // push ecx
    c.Bytes({0xB8}).Address(virtualFree);                  // mov eax, VirtualFree
    c.Bytes({0xFF, 0xE0});                                 // jmp eax
    return true;
}

// Sets the release timer on this thread unless one is set on a live thread.
void ArmRelease(ReleaseState* s) {
    const DWORD thread = GetCurrentThreadId();
    // A thread's windows, and their timers, end with it.
    if (s->armed && IsWindow(g_releaser)) return;
    if (GetWindowThreadProcessId(g_releaser, nullptr) != thread)
        g_releaser = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (g_releaser && SetTimer(g_releaser, kReleaseTimer, USER_TIMER_MINIMUM,
                               reinterpret_cast<TIMERPROC>(reinterpret_cast<void*>(g_block))))
        s->armed = 1;
}

}  // namespace

CModuleGuard::CModuleGuard() {
    ReleaseState* s = g_state;
    if (!s) return;
    m_held = true;
    if (InterlockedExchangeAdd(&s->pin, 2) & 1) return;  // a reference is held already
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&g_state), &self))
        return;
    for (;;) {
        const LONG pin = s->pin;
        if (pin & 1) {
            FreeLibrary(self);  // another thread's came first; it keeps the library, so this is not the last
            return;
        }
        if (InterlockedCompareExchange(&s->pin, pin | 1, pin) == pin) return;
    }
}

CModuleGuard::~CModuleGuard() {
    ReleaseState* s = g_state;
    if (!m_held || !s) return;
    // The last entry left: the reference goes once this thread is back in its loop.
    if (InterlockedExchangeAdd(&s->pin, -2) - 2 == 1) ArmRelease(s);
}

void OpenModuleGuards(HMODULE module) {
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const DWORD page = si.dwPageSize;
    auto* block = static_cast<unsigned char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!block) return;
    auto* s = new (block + page) ReleaseState{};
    s->module = module;
    DWORD old;
    // A host that forbids code made at run time gets no guards: unloads are
    // then as safe as the host makes them.
    if (!WriteReleaseCode(block, s) || !VirtualProtect(block, page, PAGE_EXECUTE_READ, &old)) {
        VirtualFree(block, 0, MEM_RELEASE);
        return;
    }
    FlushInstructionCache(GetCurrentProcess(), block, page);
    g_block = block;
    g_state = s;
}

void CloseModuleGuards() {
    ReleaseState* s = g_state;
    if (!s) return;
    g_state = nullptr;
    if (GetWindowThreadProcessId(g_releaser, nullptr) == GetCurrentThreadId()) {
        DestroyWindow(g_releaser);  // with its timer
        s->armed = 0;
    }
    g_releaser = nullptr;
    // Unloaded from inside the release code, or its timer still set on
    // another thread: the release code frees the block as it returns.
    if (s->releasing || s->armed)
        s->orphaned = 1;
    else
        VirtualFree(g_block, 0, MEM_RELEASE);
    g_block = nullptr;
}
