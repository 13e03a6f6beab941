// Saves that must not hold up the window: a write that waits out a lock on
// the settings file (a scanner, a backup, a sync tool) waits on a thread of
// its own. One write at a time, in the order asked; keys asked for while a
// write runs replace each other, so the latest are written last.
#pragma once

#include <windows.h>

#include <mutex>

#include "core/SettingsFile.h"
#include "core/logic/SaveRules.h"

class CSaveWorker {
public:
    explicit CSaveWorker(CSettingsFile& file) : m_file(file) {}
    CSaveWorker(const CSaveWorker&) = delete;
    CSaveWorker& operator=(const CSaveWorker&) = delete;

    // Written off the caller's thread (in place when no thread can be made).
    void Post(const kelvane::SavedKeys& keys);
    // Written on the caller's thread, after a write in progress.
    void SaveNow(const kelvane::SavedKeys& keys);
    // At process exit other threads are gone, perhaps in the middle of a
    // write: the lock such a thread left held is not waited for (the
    // replace kept the file whole).
    void SaveAtExit(const kelvane::SavedKeys& keys);
    // Unload: nothing more goes to the thread, what waits there is dropped
    // (the unload writes the latest keys itself), and a write waiting out a
    // lock gives up at its next try.
    void Stop();
    // Runs f with the file unless a write is in progress (then false).
    template <class F>
    bool IfIdle(F f) {
        std::unique_lock<std::mutex> write(m_write, std::try_to_lock);
        if (!write.owns_lock()) return false;
        f(m_file);
        return true;
    }

private:
    static DWORD __stdcall Run(void* self);

    CSettingsFile& m_file;
    std::mutex m_lock;  // the fields below
    kelvane::SavedKeys m_pending;
    bool m_hasPending = false;
    bool m_running = false;  // a thread is (or is about to be) writing
    bool m_stopped = false;
    std::mutex m_write;  // held for each write and the notice's mark: the file's one lock
};
