// A host may call FreeLibrary at any moment: from a timer that runs inside a
// modal loop of ours (a message box, moving the window), from its own window
// procedure while we send it a command, from another thread. Unloaded then,
// the library's code would be gone under the frames of ours still on the
// stack. So every entry into our code (window, dialog, subclass and hook
// procedures, the exports that make windows) holds a module reference while
// it runs. Dropping that reference may be the last one, which unloads the
// library: it must not be dropped by our code, which the unload would
// return into. A few instructions outside the image, run by a timer of the
// thread once it is back in its own loop, drop it there; the library's
// shut-down then runs on that thread as for any unload.
#pragma once

#include <windows.h>

class CModuleGuard {
public:
    CModuleGuard();
    ~CModuleGuard();
    CModuleGuard(const CModuleGuard&) = delete;
    CModuleGuard& operator=(const CModuleGuard&) = delete;

private:
    bool m_held = false;
};

// Library load: guards hold references from now on (without this, e.g. in a
// test program that compiles the window layer in, they do nothing).
void OpenModuleGuards(HMODULE module);
// Library unload, first thing: guards do nothing from now on, and what they
// use is given back (or left to the release code, should the unload run
// inside it).
void CloseModuleGuards();

// The boundary every call from the host or the system into our code goes
// through (exports, window, dialog, subclass and hook procedures): the frames
// below are the host's or the system's, and no C++ exception may unwind into
// them. A throw (an allocation failing, say) ends only the message or call
// that raised it; the caller gets onException and the plug-in carries on.
template <class R, class Body>
R NoThrowEntry(R onException, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return onException;
    }
}

// The same, holding the module reference above while body runs.
template <class R, class Body>
R HostEntry(R onException, Body&& body) noexcept {
    return NoThrowEntry(onException, [&]() -> R {
        CModuleGuard guard;
        return body();
    });
}
