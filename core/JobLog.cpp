#include "core/JobLog.h"

#include <algorithm>
#include <vector>

#include "core/FieldTrace.h"
#include "core/logic/SendLog.h"
#include "framework/ModuleGuard.h"

using kelvane::JournalLine;

namespace {

constexpr const char* kJobsFolder = "Jobs";
// Names the journal of the job in force; none: the day's journal.
constexpr const wchar_t* kCurrentJobFile = L"Current job.txt";
// While the journal fails, one try a second, not one per line.
constexpr DWORD kRetryEveryMs = 1000;

std::wstring Wide(UINT codePage, const std::string& s) {
    if (s.empty()) return std::wstring();
    const int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(n > 0 ? static_cast<size_t>(n) : 0, L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string Narrow(UINT codePage, const std::wstring& w) {
    if (w.empty()) return std::string();
    const int n = WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

std::string SystemWords(DWORD error) {
    char text[256] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                   sizeof text, nullptr);
    std::string s(text, n);
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s.empty() ? "error " + std::to_string(error) : s;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The whole file, shared with a writer appending to it; "" when unreadable.
std::string ReadAll(const std::wstring& path, size_t atMost = SIZE_MAX) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string text;
    char buffer[65536];
    DWORD got = 0;
    while (text.size() < atMost && ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(h);
    return text;
}

// Each whole line of the file, read a piece at a time.
template <class F>
void ForEachLine(const std::wstring& path, F onLine) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    kelvane::JournalStream stream;
    std::vector<char> buffer(65536);
    DWORD got = 0;
    while (ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0)
        stream.Feed(buffer.data(), got, onLine);
    CloseHandle(h);
}

std::string DayText(const kelvane::JournalTime& t) { return kelvane::FormatJournalTime(t).substr(0, 10); }

}  // namespace

CJobLog::~CJobLog() {
    CloseFileLocked();
    if (m_wake) CloseHandle(m_wake);
}

void CJobLog::Open(const std::string& settingsFolder, const std::string& version) {
    m_folder = Wide(CP_ACP, settingsFolder) + L"\\" + Wide(CP_ACP, kJobsFolder);
    CreateDirectoryW(m_folder.c_str(), nullptr);
    ChooseJournal(version);
}

void CJobLog::ChooseJournal(const std::string& version) {
    const kelvane::JournalTime now = LocalJournalTime();
    std::wstring first;
    kelvane::JobIdentity job;
    // The job in force, when the operator started one and its journal is there.
    std::string named = ReadAll(m_folder + L"\\" + kCurrentJobFile, 4096);
    while (!named.empty() && (named.back() == '\r' || named.back() == '\n' || named.back() == ' ')) named.pop_back();
    if (!named.empty() && named.find_first_of("\\/:") == std::string::npos) {
        const std::wstring candidate = Wide(CP_UTF8, named);
        if (Exists(m_folder + L"\\" + candidate)) {
            first = candidate;
            const kelvane::JournalRead head = kelvane::ReadJournalText(ReadAll(m_folder + L"\\" + first, 65536));
            for (const JournalLine& line : head.lines)
                if (line.kind == "job") {
                    kelvane::JobReplay replay;
                    replay.Take(line);
                    job = replay.Identity();
                    break;
                }
        }
    }
    if (first.empty()) first = Wide(CP_UTF8, "Day " + DayText(now) + ".journal");
    std::lock_guard<std::mutex> write(m_write);
    std::lock_guard<std::mutex> lock(m_lock);
    m_first = first;
    m_part = 1;
    while (Exists(PartPath(m_part + 1))) ++m_part;
    // What the tool was last sent, as the journal tells it.
    for (int part = 1; part <= m_part; ++part)
        ForEachLine(PartPath(part), [this](const JournalLine& line) {
            if ((line.kind != "cmd" || line.GetInt("delivered") != 1) && line.kind != "tool") return;
            kelvane::SentValue v;
            v.value = static_cast<int32_t>(line.GetInt("sent"));
            v.at = line.at;
            if (line.kind == "tool") kelvane::ParseJournalTime(line.Get("at"), v.at);
            m_lastSent[static_cast<int32_t>(line.GetInt("code"))] = v;
        });
    m_title = kelvane::JobTitle(job, DayText(now));
    m_version = version;
    JournalLine load{now, "load", {}};
    load.Add("pid", static_cast<int64_t>(GetCurrentProcessId())).Add("version", version);
    m_queue.push_back(kelvane::EncodeJournalLine(load));
}

void CJobLog::Start(void (*tick)(void* context), void* context) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_tick = tick;
        m_tickContext = context;
        m_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        m_threaded = m_wake != nullptr;
    }
    if (m_threaded && StartGuardedThread(&CJobLog::Run, this)) return;
    std::lock_guard<std::mutex> lock(m_lock);
    m_threaded = false;
}

DWORD __stdcall CJobLog::Run(void* self) {
    auto* log = static_cast<CJobLog*>(self);
    return NoThrowEntry<DWORD>(0, [log]() -> DWORD {
        for (;;) {
            WaitForSingleObject(log->m_wake, kWriteEveryMs);
            {
                std::lock_guard<std::mutex> lock(log->m_lock);
                if (log->m_stopped) return 0;
            }
            if (log->m_tick) log->m_tick(log->m_tickContext);
            log->Drain(false);
        }
    });
}

void CJobLog::Add(JournalLine line) {
    bool inPlace = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        // Stamped under the lock: the journal's order is its time order.
        line.at = LocalJournalTime();
        m_queue.push_back(kelvane::EncodeJournalLine(line));
        while (m_queue.size() > kQueueLimit) {
            m_queue.pop_front();
            ++m_droppedLines;
        }
        inPlace = !m_threaded && !m_stopped;
    }
    if (inPlace) Drain(false);
}

bool CJobLog::LastSent(int32_t code, kelvane::SentValue* out) const {
    std::lock_guard<std::mutex> lock(m_lock);
    const auto it = m_lastSent.find(code);
    if (it == m_lastSent.end()) return false;
    *out = it->second;
    return true;
}

void CJobLog::Command(int32_t code, int32_t asked, int32_t sent, const std::string& action, bool delivered) {
    if (delivered) {
        std::lock_guard<std::mutex> lock(m_lock);
        kelvane::SentValue& v = m_lastSent[code];
        v.value = sent;
        v.at = LocalJournalTime();
        v.thisLoad = true;
    }
    JournalLine line{{}, "cmd", {}};
    const char* name = kelvane::CommandName(code);
    line.Add("code", kelvane::CodeHex(code, true)).Add("name", name ? name : "?");
    line.Add("asked", asked).Add("sent", sent).Add("action", action);
    line.Add("delivered", delivered ? 1 : 0);
    Add(std::move(line));
}

void CJobLog::Event(const std::string& what, int64_t forMs, int mark) {
    JournalLine line{{}, "event", {}};
    line.Add("what", what);
    if (forMs >= 0) line.Add("for", forMs);
    if (mark >= 0) line.Add("mark", mark);
    Add(std::move(line));
}

std::wstring CJobLog::PartPath(int part) const {
    return m_folder + L"\\" + Wide(CP_UTF8, kelvane::JournalPartName(Narrow(CP_UTF8, m_first), part));
}

bool CJobLog::OpenFileLocked(std::string& why) {
    if (m_file != INVALID_HANDLE_VALUE) return true;
    CreateDirectoryW(m_folder.c_str(), nullptr);
    m_file = CreateFileW(PartPath(m_part).c_str(), FILE_APPEND_DATA,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
        why = SystemWords(GetLastError());
        return false;
    }
    LARGE_INTEGER size{};
    m_fileBytes = GetFileSizeEx(m_file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
    return true;
}

void CJobLog::CloseFileLocked() {
    if (m_file == INVALID_HANDLE_VALUE) return;
    if (m_unflushed) FlushFileBuffers(m_file);
    m_unflushed = false;
    CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
}

void CJobLog::Drain(bool retryNow) {
    std::lock_guard<std::mutex> write(m_write);
    std::deque<std::string> take;
    uint64_t dropped = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_failure.empty() && !retryNow && GetTickCount() - m_lastTry < kRetryEveryMs) return;
        take.swap(m_queue);
        dropped = m_droppedLines;
        m_droppedLines = 0;
    }
    if (dropped > 0) {
        JournalLine lost{LocalJournalTime(), "event", {}};
        lost.Add("what", std::to_string(dropped) + " journal lines were lost while the journal could not be written");
        take.push_front(kelvane::EncodeJournalLine(lost));
    }
    m_lastTry = GetTickCount();
    std::string why;
    size_t done = 0;  // lines written whole
    bool ok = true;
    if (!take.empty()) {
        // After a failed write the file may end inside a line: a line break
        // first, so the torn piece stays a line of its own.
        std::string text = m_afterFailure ? "\r\n" : "";
        const size_t lead = text.size();
        for (const std::string& s : take) text += s;
        ok = OpenFileLocked(why);
        if (ok && m_fileBytes > 0 && m_fileBytes + text.size() > kelvane::kJournalPartBytes) {
            CloseFileLocked();
            ++m_part;
            ok = OpenFileLocked(why);
        }
        DWORD written = 0;
        if (ok) {
            ok = WriteFile(m_file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                 written == text.size();
            if (!ok) why = SystemWords(GetLastError() ? GetLastError() : ERROR_DISK_FULL);
            m_fileBytes += written;
            if (written > 0) m_unflushed = true;
        }
        size_t at = lead;
        while (done < take.size() && at + take[done].size() <= written) at += take[done++].size();
        if (ok) m_afterFailure = false;
        else if (written > 0 || m_afterFailure) m_afterFailure = true;
        // Flushed and closed at once: lines are few and far between, and an
        // open handle would keep the work folder from being moved or removed.
        CloseFileLocked();
    }
    std::lock_guard<std::mutex> lock(m_lock);
    if (ok) {
        m_failure.clear();
        return;
    }
    // What was not written goes back in front of what came meanwhile.
    for (size_t i = take.size(); i > done; --i) m_queue.push_front(std::move(take[i - 1]));
    while (m_queue.size() > kQueueLimit) {
        m_queue.pop_front();
        ++m_droppedLines;
    }
    if (m_failure.empty()) {
        const std::string note = Narrow(CP_ACP, PartPath(m_part)) + ": " + why;
        FieldTrace::Note(kelvane::TraceKind::JournalNotWritten, note.c_str());
    }
    m_failure = why;
}

bool CJobLog::NewJob(const kelvane::JobIdentity& job, std::string& why) {
    const kelvane::JournalTime now = LocalJournalTime();
    const std::string stamp = kelvane::FormatJournalTime(now);
    // "2026-12-09 1440 A-12 run 3.journal"
    std::string name = stamp.substr(0, 10) + " " + stamp.substr(11, 2) + stamp.substr(14, 2) + stamp.substr(17, 2) +
                       " " + kelvane::JournalNamePart(job.well) + " run " + kelvane::JournalNamePart(job.run) +
                       ".journal";
    const std::wstring first = Wide(CP_UTF8, name);
    CreateDirectoryW(m_folder.c_str(), nullptr);
    // The new journal starts with who and where, written now: a job that
    // cannot be started says so and leaves the job in force as it was.
    const std::string head = kelvane::EncodeJournalLine(kelvane::IdentityLine(now, job));
    HANDLE h = CreateFileW((m_folder + L"\\" + first).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        why = SystemWords(GetLastError());
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(h, head.data(), static_cast<DWORD>(head.size()), &written, nullptr) &&
                    written == head.size();
    if (!ok) why = SystemWords(GetLastError() ? GetLastError() : ERROR_DISK_FULL);
    FlushFileBuffers(h);
    CloseHandle(h);
    if (!ok) {
        DeleteFileW((m_folder + L"\\" + first).c_str());
        return false;
    }
    HANDLE c = CreateFileW((m_folder + L"\\" + kCurrentJobFile).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    const std::string pointer = name + "\r\n";
    const bool pointed = c != INVALID_HANDLE_VALUE &&
                         WriteFile(c, pointer.data(), static_cast<DWORD>(pointer.size()), &written, nullptr) &&
                         written == pointer.size();
    if (c != INVALID_HANDLE_VALUE) CloseHandle(c);
    if (!pointed) {
        why = "the job could not be made the job in force: " + SystemWords(GetLastError());
        DeleteFileW((m_folder + L"\\" + first).c_str());
        return false;
    }
    // The old journal's last lines go to it, then the new one is in force.
    Drain(true);
    std::lock_guard<std::mutex> write(m_write);
    CloseFileLocked();
    std::lock_guard<std::mutex> lock(m_lock);
    m_first = first;
    m_part = 1;
    m_afterFailure = false;
    m_title = kelvane::JobTitle(job, stamp.substr(0, 10));
    // The new journal's replay starts with this load, as any journal does,
    // and knows what the tool was last sent before it.
    JournalLine load{now, "load", {}};
    load.Add("pid", static_cast<int64_t>(GetCurrentProcessId())).Add("version", m_version);
    m_queue.push_back(kelvane::EncodeJournalLine(load));
    for (const auto& sent : m_lastSent) {
        JournalLine tool{now, "tool", {}};
        tool.Add("code", kelvane::CodeHex(sent.first, true)).Add("sent", sent.second.value);
        tool.Add("at", kelvane::FormatJournalTime(sent.second.at));
        m_queue.push_back(kelvane::EncodeJournalLine(tool));
    }
    return true;
}

kelvane::JobReplay CJobLog::Replay() const {
    kelvane::JobReplay replay;
    for (const JournalLine& line : Lines({})) replay.Take(line);
    return replay;
}

std::vector<JournalLine> CJobLog::Lines(const std::vector<std::string>& kinds) const {
    std::vector<JournalLine> lines;
    // With the file lock no write is half done: each line is either in the
    // files or still queued.
    std::lock_guard<std::mutex> write(m_write);
    int parts = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        parts = m_part;
    }
    auto keep = [&](const kelvane::JournalRead& read) {
        for (const JournalLine& line : read.lines)
            if (kinds.empty() || std::find(kinds.begin(), kinds.end(), line.kind) != kinds.end()) lines.push_back(line);
    };
    for (int part = 1; part <= parts; ++part)
        ForEachLine(PartPath(part), [&](const JournalLine& line) {
            if (kinds.empty() || std::find(kinds.begin(), kinds.end(), line.kind) != kinds.end()) lines.push_back(line);
        });
    std::string queued;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (const std::string& s : m_queue) queued += s;
    }
    keep(kelvane::ReadJournalText(queued));
    return lines;
}

std::string CJobLog::Title() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_title;
}

std::string CJobLog::Path() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return Narrow(CP_UTF8, PartPath(1));
}

std::string CJobLog::Failure() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_failure;
}

void CJobLog::Stop() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_stopped = true;
    if (m_wake) SetEvent(m_wake);
}

void CJobLog::Close() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopped = true;
        m_threaded = false;
        m_queue.push_back(kelvane::EncodeJournalLine({LocalJournalTime(), "unload", {}}));
    }
    Drain(true);
    std::lock_guard<std::mutex> write(m_write);
    CloseFileLocked();
}

void CJobLog::CloseAtExit() {
    // A thread killed inside a write left the lock held: then nothing more.
    std::unique_lock<std::mutex> write(m_write, std::try_to_lock);
    if (!write.owns_lock()) return;
    write.unlock();
    {
        std::unique_lock<std::mutex> lock(m_lock, std::try_to_lock);
        if (!lock.owns_lock()) return;
        m_stopped = true;
        m_threaded = false;
        m_queue.push_back(kelvane::EncodeJournalLine({LocalJournalTime(), "exit", {}}));
    }
    Drain(true);
    std::lock_guard<std::mutex> again(m_write);
    CloseFileLocked();
}
