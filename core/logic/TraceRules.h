// The field trace's rules: what the plug-in absorbed (an exception stopped at
// the boundary, a value the last guard limited, an unreadable frame, a save
// that went to the copy, a command no host window took), counted since start
// and written as one line per event to a small bounded log. Noting never
// waits, allocates or touches a file, so any thread may note, the host's
// frame thread included; one writer takes the lines for the file.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "KelvaneHost.h"
#include "core/logic/JobJournal.h"

namespace kelvane {

enum class TraceKind : int {
    BoundaryException,
    LastGuardLimit,
    UnreadableFrame,
    SaveFallback,
    CommandLost,
    JournalNotWritten
};
constexpr int kTraceKinds = 6;

// Beside the settings file; the older generation adds ".1".
constexpr const char* kTraceFileName = "Kelvane.log";
constexpr const char* kTraceOlderSuffix = ".1";
// Past this the log becomes the older generation, so the two never hold
// much more than twice it.
constexpr uint64_t kTraceBoundBytes = 256 * 1024;
constexpr size_t kTraceDetailChars = 600;
// Events waiting for the file; more are counted, and said to be, unitemised.
constexpr size_t kTraceQueued = 16;
// Unreadable frames may come by the hundred a second: one line for those
// since the last, at most this often.
constexpr uint32_t kFrameLineEveryMs = 60 * 1000;

// "2026-12-08 18:40:12.345 pid 1234 last guard limited: detail\r\n", the
// detail on one line and cut at kTraceDetailChars.
std::string FormatTraceLine(const JournalTime& t, uint32_t pid, TraceKind kind, const char* detail);

// A command as a page handed it over and as it went (or would have):
// "Monopole stack 0, sent as 1".
std::string TraceCommandDetail(const ToolCommand& asked, const ToolCommand& sent);

// Whether the log must pass to the older generation before adding more
// bytes: an empty file takes any line whole.
bool TraceRotates(uint64_t fileBytes, size_t adding, uint64_t bound = kTraceBoundBytes);

// "Absorbed since start: 1 exception stopped at the boundary, 3 commands
// lost (no host window).\r\nDetails in <log>", or "" while nothing was.
std::string TraceCountsText(const uint32_t (&counts)[kTraceKinds], const std::string& logPath);

class TraceRecorder {
public:
    // Counts the event and keeps its detail for the file when there is room
    // and no writer is taking just then (else it is counted as unitemised).
    void Note(TraceKind kind, const JournalTime& at, const char* detail) noexcept;
    // The per-frame path's event: a count, nothing else.
    void CountUnreadableFrame() noexcept { m_counts[static_cast<int>(TraceKind::UnreadableFrame)].fetch_add(1); }
    void Counts(uint32_t (&out)[kTraceKinds]) const noexcept;

    // The lines due now: the kept events, a line for each kind's unitemised
    // ones, and one for the unreadable frames since the last such line when a
    // minute has passed since it (or force). Nothing is taken off until
    // Commit: a log that could not be written gets them again. For the one
    // writer; empty when a noter holds the queue just then.
    struct Take {
        std::string text;
        size_t events = 0;
        uint32_t unitemised[kTraceKinds] = {};
        uint32_t framesUpTo = 0;
        bool frameLine = false;
    };
    Take Lines(const JournalTime& now, uint32_t nowTick, uint32_t pid, bool force);
    void Commit(const Take& take, uint32_t nowTick) noexcept;
    // Whether Lines would give anything (force: a frame line regardless of time).
    bool Due(uint32_t nowTick, bool force) const noexcept;

private:
    struct Event {
        TraceKind kind;
        JournalTime at;
        char detail[kTraceDetailChars + 1];
    };
    bool FrameLineDue(uint32_t nowTick, bool force) const noexcept;

    std::atomic<uint32_t> m_counts[kTraceKinds] = {};
    std::atomic<uint32_t> m_unitemised[kTraceKinds] = {};
    std::mutex m_queueLock;  // noters only try it
    Event m_queue[kTraceQueued] = {};
    std::atomic<size_t> m_queued{0};
    // The writer's own.
    uint32_t m_framesWritten = 0;
    bool m_frameLineYet = false;
    uint32_t m_lastFrameLineTick = 0;
};

}  // namespace kelvane
