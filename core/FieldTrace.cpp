#include "core/FieldTrace.h"

#include <windows.h>

#include <mutex>

#include "KelvaneVersion.h"
#include "base/LocalClock.h"
#include "framework/ModuleGuard.h"

using kelvane::TraceKind;

namespace {

kelvane::TraceRecorder g_recorder;
std::string g_logPath;
std::string g_olderPath;
std::mutex g_writing;  // one writer at a time
// A load's first lines open with the version, so a log sent in names the build.
bool g_versionWritten = false;

void OnAbsorbed(const char* what) noexcept {
    FieldTrace::Note(TraceKind::BoundaryException, what && *what ? what : "an exception of no standard type");
}

HANDLE OpenForAppending(const std::string& path) {
    // Read-only means "no more" (appending alone is not refused everywhere).
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return INVALID_HANDLE_VALUE;
    return CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Appends bytes, first passing a full log to the older generation. False
// when they did not all go in (they are offered again next time).
bool Append(const char* bytes, size_t n) {
    HANDLE log = OpenForAppending(g_logPath);
    if (log == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    const DWORD low = GetFileSize(log, &high);
    const uint64_t size = uint64_t{high} << 32 | low;
    if (low != INVALID_FILE_SIZE && kelvane::TraceRotates(size, n)) {
        CloseHandle(log);
        // Kept bounded: when the older one cannot be replaced, nothing goes in.
        if (!MoveFileExA(g_logPath.c_str(), g_olderPath.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
        log = OpenForAppending(g_logPath);
        if (log == INVALID_HANDLE_VALUE) return false;
    }
    DWORD written = 0;
    const bool whole = WriteFile(log, bytes, static_cast<DWORD>(n), &written, nullptr) && written == n;
    CloseHandle(log);
    return whole;
}

void Write(bool force) noexcept {
    // Another writer at it (or one that process exit killed): next time.
    std::unique_lock<std::mutex> writing(g_writing, std::try_to_lock);
    if (!writing.owns_lock() || g_logPath.empty()) return;
    const DWORD tick = GetTickCount();
    if (!g_recorder.Due(tick, force)) return;
    try {
        const kelvane::JournalTime now = LocalJournalTime();
        const kelvane::TraceRecorder::Take take = g_recorder.Lines(now, tick, GetCurrentProcessId(), force);
        if (take.text.empty()) return;
        const std::string text = g_versionWritten ? take.text
                                                  : kelvane::FormatJournalTime(now) + " pid " +
                                                        std::to_string(GetCurrentProcessId()) +
                                                        " Kelvane " KELVANE_VERSION_TEXT "\r\n" + take.text;
        if (Append(text.data(), text.size())) {
            g_recorder.Commit(take, tick);
            g_versionWritten = true;
        }
    } catch (...) {
        // Out of memory: the lines wait for the next try.
    }
}

}  // namespace

kelvane::JournalTime LocalJournalTime() {
    const kelvane::LocalClockReading now = kelvane::ReadLocalClock();
    return {now.date, now.msOfDay};
}

void FieldTrace::Open() { SetAbsorbedExceptionReport(&OnAbsorbed); }

void FieldTrace::PlaceIn(const std::string& folder) {
    std::lock_guard<std::mutex> writing(g_writing);
    g_logPath = folder + "\\" + kelvane::kTraceFileName;
    g_olderPath = g_logPath + kelvane::kTraceOlderSuffix;
}

void FieldTrace::Close() noexcept {
    SetAbsorbedExceptionReport(nullptr);
    Write(true);
}

void FieldTrace::Note(TraceKind kind, const char* detail) noexcept {
    g_recorder.Note(kind, LocalJournalTime(), detail);
}

void FieldTrace::NoteCommand(TraceKind kind, const kelvane::ToolCommand& asked,
                             const kelvane::ToolCommand& sent) noexcept {
    try {
        Note(kind, kelvane::TraceCommandDetail(asked, sent).c_str());
    } catch (...) {
        Note(kind, "a command");
    }
}

void FieldTrace::CountUnreadableFrame() noexcept { g_recorder.CountUnreadableFrame(); }

void FieldTrace::Flush() noexcept { Write(false); }

std::string FieldTrace::WithCounts(const std::string& tip) {
    uint32_t counts[kelvane::kTraceKinds];
    g_recorder.Counts(counts);
    const std::string text = kelvane::TraceCountsText(counts, g_logPath);
    if (text.empty()) return tip;
    return tip.empty() ? text : tip + "\r\n\r\n" + text;
}
