// A host may call FreeLibrary at any moment and from any thread: from a
// timer that runs inside a modal loop of ours, from its own window procedure
// while we send it a command, from another thread while our window lives on
// its UI thread or a frame call is inside the host's library. Unloaded then,
// the image would be gone under code of ours that is still on some stack or
// that the system still calls (window, dialog, subclass and hook procedures).
//
// So the system never calls into the image directly: every procedure we hand
// it is an entry of the entry module (EntryApi.h), which outlives us. Where
// that module cannot be loaded, the procedures are handed out themselves and
// unloads are as safe as the host makes them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/EntryApi.h"

// The kinds of procedure we hand out.
enum class EntryShape {
    WindowProc,    // after unload: DefWindowProcA
    DialogProc,    // after unload: FALSE (the dialog manager's default)
    SubclassProc,  // after unload: DefSubclassProc
    HookProc,      // after unload: CallNextHookEx
    ExportOneArg,  // ToolControlShow; after unload: null
};

// One procedure the system (or the host) calls. Defined as a static object,
// it is given its entry when the library loads.
class CEntryPoint {
public:
    CEntryPoint(EntryShape shape, void* procedure) noexcept;
    CEntryPoint(const CEntryPoint&) = delete;
    CEntryPoint& operator=(const CEntryPoint&) = delete;
    // The address to hand out: the entry, or the procedure itself when there is none.
    void* Address() const { return m_entry ? m_entry : m_procedure; }
    template <class Fn>
    Fn As() const {
        return reinterpret_cast<Fn>(Address());
    }

private:
    friend void OpenModuleGuards(HMODULE module, const entry::Bodies& frameCall);
    friend void EndUnload(HWND leftWindow, bool keep);
    EntryShape m_shape;
    void* m_procedure;
    void* m_entry = nullptr;
    CEntryPoint* m_next;
};

// The address of an imported function itself, not of the jump to it that
// the linker may have put in our image.
void* ImportedFunction(void* f);

// Library load: loads and pins the entry module, gives every CEntryPoint its
// entry. frameCall: the fetch and frame parts of ToolControlProcess.
void OpenModuleGuards(HMODULE module, const entry::Bodies& frameCall);
// The entry ToolControlProcess jumps to (null when there are no entries).
entry::ProcessProc FrameCallEntry();

// A thread of ours that runs body(param) and ends; a thread still starting
// when the library goes finds it gone and ends. In place (false) when no
// thread could be made.
bool StartGuardedThread(DWORD(__stdcall* body)(void* param), void* param);

// Library unload, first thing: from now on entries on other threads hand
// their calls to the system; this thread's own teardown still runs ours.
void BeginUnload();
// Waits, at most timeoutMs, until no thread of ours and no frame call runs
// code of the image (frame calls still inside the host's library are not
// waited for beyond the bound: they return into the entry, not the image).
void WaitForGuardedCalls(DWORD timeoutMs);
// The unload's last step: leftWindow is a window of ours whose thread has not
// destroyed it yet (null when none); keep, when a procedure of ours may stay
// with the system for good.
void EndUnload(HWND leftWindow, bool keep);

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
