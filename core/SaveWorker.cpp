#include "core/SaveWorker.h"

#include "core/FieldTrace.h"
#include "framework/ModuleGuard.h"

using kelvane::SavedKeys;

void CSaveWorker::Post(const SavedKeys& keys) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_stopped) return;
        m_pending = keys;
        m_hasPending = true;
        if (m_running) return;  // the thread takes them after its write
        m_running = true;
    }
    if (StartGuardedThread(&CSaveWorker::Run, this)) return;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_running = false;
        m_hasPending = false;
    }
    SaveNow(keys);
}

DWORD __stdcall CSaveWorker::Run(void* self) {
    auto* worker = static_cast<CSaveWorker*>(self);
    return NoThrowEntry<DWORD>(0, [worker]() -> DWORD {
        for (;;) {
            SavedKeys keys;
            {
                std::lock_guard<std::mutex> lock(worker->m_lock);
                if (!worker->m_hasPending || worker->m_stopped) {
                    worker->m_running = false;
                    return 0;
                }
                keys.swap(worker->m_pending);
                worker->m_hasPending = false;
            }
            std::lock_guard<std::mutex> write(worker->m_write);
            worker->m_file.Save(keys);
            FieldTrace::Flush();
        }
    });
}

void CSaveWorker::SaveNow(const SavedKeys& keys) {
    std::lock_guard<std::mutex> write(m_write);
    m_file.Save(keys);
}

void CSaveWorker::SaveAtExit(const SavedKeys& keys) {
    CSettingsFile::EnterProcessExit();
    std::unique_lock<std::mutex> write(m_write, std::try_to_lock);
    m_file.Save(keys);
}

void CSaveWorker::Stop() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_stopped = true;
    m_hasPending = false;
    CSettingsFile::SetLockWait(0);
}
