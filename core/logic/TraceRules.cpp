#include "core/logic/TraceRules.h"

#include <thread>

#include "base/logic/NumberText.h"
#include "core/logic/SendLog.h"

namespace kelvane {

namespace {

struct KindWords {
    const char* tag;   // in the log's lines
    const char* one;   // in the counts: "1 ..."
    const char* many;  // "2 ..."
};
const KindWords kKinds[kTraceKinds] = {
    {"exception stopped", "exception stopped at the boundary", "exceptions stopped at the boundary"},
    {"last guard limited", "value limited by the last guard", "values limited by the last guard"},
    {"unreadable frames", "unreadable frame", "unreadable frames"},
    {"save fell back", "save that went to the copy", "saves that went to the copy"},
    {"command lost", "command lost (no host window)", "commands lost (no host window)"},
    {"job journal not written", "job journal write that failed", "job journal writes that failed"},
};

std::string Count(uint32_t n) { return FormatInt(n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n)); }

}  // namespace

std::string FormatTraceLine(const JournalTime& t, uint32_t pid, TraceKind kind, const char* detail) {
    const int k = static_cast<int>(kind);
    std::string line = FormatJournalTime(t) + " pid " + Count(pid) + " " +
                       (k >= 0 && k < kTraceKinds ? kKinds[k].tag : "event") + ": ";
    // One event, one line: a detail's own line ends become spaces.
    for (size_t n = 0; detail && detail[n] && n < kTraceDetailChars; ++n)
        line += static_cast<unsigned char>(detail[n]) < 0x20 ? ' ' : detail[n];
    return line + "\r\n";
}

std::string TraceCommandDetail(const ToolCommand& asked, const ToolCommand& sent) {
    std::string detail = DescribeCommand(asked);
    if (sent.Payload[0] != asked.Payload[0]) detail += ", sent as " + FormatInt(sent.Payload[0]);
    return detail;
}

bool TraceRotates(uint64_t fileBytes, size_t adding, uint64_t bound) {
    return fileBytes > 0 && (fileBytes >= bound || adding > bound - fileBytes);
}

std::string TraceCountsText(const uint32_t (&counts)[kTraceKinds], const std::string& logPath) {
    std::string text;
    for (int k = 0; k < kTraceKinds; ++k) {
        if (!counts[k]) continue;
        text += text.empty() ? "Absorbed since start: " : ", ";
        text += Count(counts[k]) + " " + (counts[k] == 1 ? kKinds[k].one : kKinds[k].many);
    }
    if (!text.empty()) text += ".\r\nDetails in " + logPath;
    return text;
}

void TraceRecorder::Note(TraceKind kind, const JournalTime& at, const char* detail) noexcept {
    const int k = static_cast<int>(kind);
    if (k < 0 || k >= kTraceKinds) return;
    m_counts[k].fetch_add(1);
    std::unique_lock<std::mutex> queue(m_queueLock, std::try_to_lock);
    const size_t n = m_queued.load();
    if (!queue.owns_lock() || n == kTraceQueued) {
        m_unitemised[k].fetch_add(1);
        return;
    }
    Event& e = m_queue[n];
    e.kind = kind;
    e.at = at;
    size_t i = 0;
    for (; detail && detail[i] && i < kTraceDetailChars; ++i) e.detail[i] = detail[i];
    e.detail[i] = '\0';
    m_queued.store(n + 1);
}

void TraceRecorder::Counts(uint32_t (&out)[kTraceKinds]) const noexcept {
    for (int k = 0; k < kTraceKinds; ++k) out[k] = m_counts[k].load();
}

bool TraceRecorder::FrameLineDue(uint32_t nowTick, bool force) const noexcept {
    const uint32_t frames = m_counts[static_cast<int>(TraceKind::UnreadableFrame)].load();
    if (frames == m_framesWritten) return false;
    return force || !m_frameLineYet || nowTick - m_lastFrameLineTick >= kFrameLineEveryMs;
}

bool TraceRecorder::Due(uint32_t nowTick, bool force) const noexcept {
    if (m_queued.load() || FrameLineDue(nowTick, force)) return true;
    for (const auto& u : m_unitemised)
        if (u.load()) return true;
    return false;
}

TraceRecorder::Take TraceRecorder::Lines(const JournalTime& now, uint32_t nowTick, uint32_t pid, bool force) {
    Take take;
    std::unique_lock<std::mutex> queue(m_queueLock, std::try_to_lock);
    if (!queue.owns_lock()) return take;
    take.events = m_queued.load();
    for (size_t i = 0; i < take.events; ++i)
        take.text += FormatTraceLine(m_queue[i].at, pid, m_queue[i].kind, m_queue[i].detail);
    for (int k = 0; k < kTraceKinds; ++k) {
        take.unitemised[k] = m_unitemised[k].load();
        if (take.unitemised[k])
            take.text += FormatTraceLine(now, pid, static_cast<TraceKind>(k),
                                         (Count(take.unitemised[k]) + " more, not itemised").c_str());
    }
    if (FrameLineDue(nowTick, force)) {
        const uint32_t frames = m_counts[static_cast<int>(TraceKind::UnreadableFrame)].load();
        const std::string detail = Count(frames - m_framesWritten) + " skipped, their read-back words not readable (" +
                                   Count(frames) + " since start)";
        take.text += FormatTraceLine(now, pid, TraceKind::UnreadableFrame, detail.c_str());
        take.frameLine = true;
        take.framesUpTo = frames;
    }
    return take;
}

void TraceRecorder::Commit(const Take& take, uint32_t nowTick) noexcept {
    {
        // A noter holds the lock for one copy; never wait for good (at
        // process exit a thread that was killed may hold it).
        std::unique_lock<std::mutex> queue(m_queueLock, std::try_to_lock);
        for (int tries = 0; !queue.owns_lock() && tries < 1000; ++tries) {
            std::this_thread::yield();
            queue.try_lock();
        }
        if (!queue.owns_lock()) return;
        const size_t n = m_queued.load();
        const size_t gone = take.events < n ? take.events : n;
        for (size_t i = gone; i < n; ++i) m_queue[i - gone] = m_queue[i];
        m_queued.store(n - gone);
    }
    for (int k = 0; k < kTraceKinds; ++k) m_unitemised[k].fetch_sub(take.unitemised[k]);
    if (take.frameLine) {
        m_framesWritten = take.framesUpTo;
        m_frameLineYet = true;
        m_lastFrameLineTick = nowTick;
    }
}

}  // namespace kelvane
