// The job journal on disk, in "Jobs" beside the settings file: one journal
// per job (until the operator starts one, one per work folder and day),
// which outlives reloads, closed windows and host restarts. Lines are made
// on the caller's thread (a lock and a copy, never the disk) and written by
// a thread of their own every 100 ms and flushed to the disk then, so a host
// killed or a power cut loses at most those 100 ms, and a torn last line is
// skipped on reading. A journal that cannot be written changes
// nothing else: its lines wait in a bounded queue, the strip says so, and
// Kelvane.log notes it. The same thread runs the trend's sampling tick.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include <map>

#include "core/logic/JournalLines.h"
#include "core/logic/ToolState.h"

class CJobLog {
public:
    // Lines waiting for the disk at most; older ones are dropped, counted,
    // and the journal says how many when it can be written again.
    static constexpr size_t kQueueLimit = 20000;
    static constexpr DWORD kWriteEveryMs = 100;

    CJobLog() = default;
    CJobLog(const CJobLog&) = delete;
    CJobLog& operator=(const CJobLog&) = delete;
    ~CJobLog();

    // Library load: the job in force in folder\Jobs (made when missing) and
    // the load's own line. ANSI folder, as the settings file's.
    void Open(const std::string& settingsFolder, const std::string& version);
    // The writer thread; tick runs on it every 100 ms (the trend's sampling).
    // Without a thread, lines are written by the caller's Flush.
    void Start(void (*tick)(void* context), void* context);

    // A command as it left (or would have left) the plug-in.
    void Command(int32_t code, int32_t asked, int32_t sent, const std::string& action, bool delivered);
    // "Send all", "Frames stopped", ...; forMs where the event tells a length;
    // mark, a trend mark's kind (TrendMarkKind) for the whole-job trend.
    void Event(const std::string& what, int64_t forMs = -1, int mark = -1);
    // Any line; its time is stamped now.
    void Add(kelvane::JournalLine line);

    // File "New job...": a journal of its own, the job in force from now
    // (also for later loads in this work folder). False, with why, when the
    // journal could not be made (the job in force stays).
    bool NewJob(const kelvane::JobIdentity& job, std::string& why);

    // The last value a host window took with code, across the job's loads
    // (a new job's journal starts with what the tool was last sent).
    bool LastSent(int32_t code, kelvane::SentValue* out) const;

    // The whole job as its files hold it and with the lines still waiting.
    kelvane::JobReplay Replay() const;
    // The job's lines of these kinds (none: every line), oldest first.
    std::vector<kelvane::JournalLine> Lines(const std::vector<std::string>& kinds) const;
    // "Well A-12, run 3" or "this work folder's journal of 2026-12-09".
    std::string Title() const;
    // The journal's first file, full.
    std::string Path() const;
    // "" while the journal is written; else why not, for the strip.
    std::string Failure() const;

    // Unload: the thread ends (the caller then waits for our threads), and
    // the unload's line and whatever waits are written on this thread.
    void Stop();
    void Close();
    // Process exit: other threads are gone; whatever waits is written.
    void CloseAtExit();

private:
    static DWORD __stdcall Run(void* self);
    void Drain(bool retryNow);
    bool OpenFileLocked(std::string& why);
    void CloseFileLocked();
    std::wstring PartPath(int part) const;
    void Fail(const std::string& why);
    void ChooseJournal(const std::string& version);

    mutable std::mutex m_lock;  // the queue and the fields it names
    std::deque<std::string> m_queue;
    uint64_t m_droppedLines = 0;
    std::string m_failure;
    std::string m_title = "no journal";
    std::string m_version;
    std::wstring m_folder;  // ...\Jobs
    std::wstring m_first;   // the journal's first file name
    bool m_stopped = false;
    bool m_threaded = false;
    std::map<int32_t, kelvane::SentValue> m_lastSent;
    HANDLE m_wake = nullptr;
    void (*m_tick)(void*) = nullptr;
    void* m_tickContext = nullptr;

    mutable std::mutex m_write;  // the file below
    HANDLE m_file = INVALID_HANDLE_VALUE;
    int m_part = 1;
    uint64_t m_fileBytes = 0;
    DWORD m_lastTry = 0;
    bool m_unflushed = false;
    bool m_afterFailure = false;  // the file may end inside a line
};
