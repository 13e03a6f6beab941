// A host may call FreeLibrary at any moment and from any thread: from a
// timer that runs inside a modal loop of ours, from its own window procedure
// while we send it a command, from another thread while our window lives on
// its UI thread or a frame call is inside the host's library. Unloaded then,
// the image would be gone under code of ours that is still on some stack or
// that the system still calls (window, dialog, subclass and hook procedures).
//
// So the system never calls into the image directly. Every procedure we hand
// it is an entry point: a few instructions written at load into memory of our
// own, outside the image, that outlive an unload. While the library is
// loaded, an entry holds a module reference for as long as code of ours runs
// below it and gives it back as that code returns (then the unload, if the
// host asked for one meanwhile, runs right there, after our code has
// returned). Once the unload has begun, the entries hand every message to the
// system's default procedure instead, so a window of ours left on another
// thread goes back to the system and is destroyed there (its WM_CLOSE goes to
// DefWindowProc). The memory is given back at unload when nothing can reach it
// any more, and otherwise kept.
#pragma once

#include <windows.h>

#include <cstdint>

// What an entry's body receives: the arguments the system passed, as words.
using EntryBody = uintptr_t(__stdcall*)(const uintptr_t* args);

// The calling conventions and fallbacks of the procedures we hand out.
enum class EntryShape {
    WindowProc,    // stdcall (hwnd, msg, wParam, lParam); after unload: DefWindowProcA
    DialogProc,    // stdcall, 4 words; after unload: FALSE (the dialog manager's default)
    SubclassProc,  // stdcall, 6 words; after unload: DefSubclassProc
    ChainedWindowProc,  // stdcall (hwnd, msg, wParam, lParam), put in place of a window's own
                        // procedure; after unload: CallWindowProcW(that procedure)
    HookProc,      // stdcall (code, wParam, lParam); after unload: CallNextHookEx
    ExportOneArg,  // cdecl, 1 word, returns a pointer; after unload: null
};

// One procedure the system (or the host) calls. Defined as a static object,
// it is given its entry when the library loads.
class CEntryPoint {
public:
    CEntryPoint(EntryShape shape, EntryBody body, void* direct) noexcept;
    CEntryPoint(const CEntryPoint&) = delete;
    CEntryPoint& operator=(const CEntryPoint&) = delete;
    // The address to hand out: the entry, or the procedure itself when no
    // entries could be made (a host that forbids code made at run time).
    void* Address() const { return m_entry ? m_entry : m_direct; }
    template <class Fn>
    Fn As() const {
        return reinterpret_cast<Fn>(Address());
    }

private:
    friend void OpenModuleGuards(HMODULE module);
    friend void EndUnload(bool windowsGone);
    EntryShape m_shape;
    EntryBody m_body;
    void* m_direct;
    void* m_entry = nullptr;
    CEntryPoint* m_next;
};

// The one window procedure every ChainedWindowProc entry stood in for (the
// edit control's): the first call sets it. True when it is proc, so a
// window whose procedure is another (someone's subclass) is not chained.
bool ShareReplacedProcedure(WNDPROC proc);
// The procedure set by ShareReplacedProcedure, or null.
WNDPROC ReplacedProcedure();

// The address of an imported function itself, not of the jump to it that
// the linker may have put in our image.
void* ImportedFunction(void* f);

// The export called once per data frame: fetch(id, arg, a, b) runs outside
// the image (a frame call may wait there as long as the host likes), then
// body(result) inside it. Returns the address the export jumps to.
void* FrameCallEntry(void* fetch, int32_t id, int32_t arg, void(__stdcall* body)(const void* frame));

// A thread of ours that runs body(param) and ends. Its start goes through an
// entry too: a thread still starting when the library goes finds it gone and
// ends. False when no thread could be made.
bool StartGuardedThread(DWORD(__stdcall* body)(void* param), void* param);
// Whether threads of ours can be made safely (else do the work in place).
bool GuardedThreadsAvailable();

// Library load: writes the entries.
void OpenModuleGuards(HMODULE module);

// Library unload, first thing: from now on entries on other threads hand
// their messages to the system; this thread's own teardown still runs ours.
void BeginUnload();
// Waits, at most timeoutMs, until no thread of ours and no frame call runs
// code of the image (frame calls still inside the host's library are not
// waited for beyond the bound: they return into the entry, not the image).
void WaitForGuardedCalls(DWORD timeoutMs);
// Whether window thread's windows of ours have gone; the unload's last step
// gives the entries' memory back when nothing can reach it any more.
void EndUnload(bool windowsGone);

// Whoever keeps a record of what the boundary stopped (the field trace) is
// told here, on the thread that threw: the report must only note and return.
// The text is the exception's what() ("" when it is no std::exception).
using AbsorbedExceptionReport = void (*)(const char* what) noexcept;
void SetAbsorbedExceptionReport(AbsorbedExceptionReport report) noexcept;
// Inside a catch-all: passes the exception being handled to the report.
void ReportAbsorbedException() noexcept;

// How deep this thread is in calls of the host or the system into our code.
// A window destroyed under a handler of ours (a host closing the control
// window while a dialog of ours runs its modal loop) must not take the
// objects that handler still uses with it: their deletion waits until the
// outermost call returns.
class BoundaryScope {
public:
    BoundaryScope() noexcept;
    ~BoundaryScope();
    BoundaryScope(const BoundaryScope&) = delete;
    BoundaryScope& operator=(const BoundaryScope&) = delete;
};
// Runs run(arg) once this thread's outermost call into our code has
// returned; at once when none is running.
void RunWhenBoundaryLeft(void (*run)(void* arg), void* arg) noexcept;

// The boundary every call from the host or the system into our code goes
// through (exports, window, dialog, subclass and hook procedures): the frames
// below are the host's or the system's, and no C++ exception may unwind into
// them. A throw (an allocation failing, say) ends only the message or call
// that raised it; the caller gets onException and the plug-in carries on.
template <class R, class Body>
R NoThrowEntry(R onException, Body&& body) noexcept {
    const BoundaryScope scope;
    try {
        return body();
    } catch (...) {
        ReportAbsorbedException();
        return onException;
    }
}

// Argument i of an entry body as the type the procedure takes.
template <class T>
T EntryArg(const uintptr_t* args, int i) {
    static_assert(sizeof(T) <= sizeof(uintptr_t), "one word per argument");  // NOLINT(bugprone-sizeof-expression): T may be a pointer
    return (T)(args[i]);  // NOLINT: handles, integers and pointers alike
}
