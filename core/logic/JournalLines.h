// The job journal on disk: append-only text, one line per command or event,
// each with its local time to the millisecond and a checksum, so a line a
// crash or a full disk cut short is known and skipped, never misread. And
// the replay of a job's lines into what its record tells: who and where the
// job is, every command across reloads and host restarts, the events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/logic/JobJournal.h"

namespace kelvane {

// "2026-12-09 14:40:01.123\tcmd\tcode=0x8201\t...\t#1a2b3c4d\r\n"
struct JournalLine {
    JournalTime at;
    std::string kind;  // "job", "load", "unload", "cmd", "event", "trend", ...
    std::vector<std::pair<std::string, std::string>> fields;

    JournalLine& Add(const std::string& key, const std::string& value);
    JournalLine& Add(const std::string& key, int64_t value);
    // The field's value, or fallback when the line has none.
    const std::string& Get(const std::string& key, const std::string& fallback = std::string()) const;
    int64_t GetInt(const std::string& key, int64_t fallback = 0) const;
};

// A journal time as milliseconds since 1970-01-01 of the same local clock
// (the trend's wall time).
int64_t JournalWallMs(const JournalTime& t);
// "2026-12-09 14:40:01.123" back to its time; false when it is not one.
bool ParseJournalTime(const std::string& text, JournalTime& out);
// The line as written, with its checksum and "\r\n". Tabs, line breaks and
// backslashes in keys or values are escaped, so a line is always one line.
std::string EncodeJournalLine(const JournalLine& line);
// False for a line that is cut short, damaged or not a journal line.
bool DecodeJournalLine(const std::string& text, JournalLine& out);

struct JournalRead {
    std::vector<JournalLine> lines;
    size_t skipped = 0;     // damaged or torn lines passed over
    bool tornTail = false;  // the text ends inside a line (a write cut short)
};
// Every whole line of a journal file's text, in the order written.
JournalRead ReadJournalText(const std::string& text);

// The same as the file's bytes come in pieces, so a long journal is read
// without holding it whole: each whole line goes to onLine as it ends.
class JournalStream {
public:
    template <class F>
    void Feed(const char* data, size_t n, F onLine) {
        for (size_t i = 0; i < n; ++i) {
            if (data[i] != '\n') {
                if (m_partial.size() < kLongestLine) m_partial += data[i];
                continue;
            }
            JournalLine line;
            if (m_partial.empty() || m_partial == "\r") {
            } else if (DecodeJournalLine(m_partial, line)) {
                onLine(line);
            } else {
                ++m_skipped;
            }
            m_partial.clear();
        }
    }
    // The end of the bytes: a line left without its break was cut short.
    bool TornTail() const { return !m_partial.empty(); }
    size_t Skipped() const { return m_skipped + (TornTail() ? 1 : 0); }

private:
    static constexpr size_t kLongestLine = 64 * 1024;  // longer: damaged, whatever it holds
    std::string m_partial;
    size_t m_skipped = 0;
};

// A journal's parts once it passes kJournalPartBytes: "X.journal", then
// "X.2.journal", "X.3.journal", ... (a job's journal is all of them).
constexpr uint64_t kJournalPartBytes = 8u * 1024u * 1024u;
std::string JournalPartName(const std::string& firstName, int part);
// A file name of a journal from text an operator typed: characters a file
// name cannot hold become '_', at most 40 of them.
std::string JournalNamePart(const std::string& text);

// The job's identification: the well and the run at least.
struct JobIdentity {
    std::string company, well, field, run, engineer, serial, notes;
    bool Named() const { return !well.empty() && !run.empty(); }
};
JournalLine IdentityLine(const JournalTime& at, const JobIdentity& job);
// "Well A-12, run 3" / "this work folder's journal of 2026-12-09"
std::string JobTitle(const JobIdentity& job, const std::string& dayOfJournal);

// One start of the plug-in within the job.
struct JobLoad {
    JournalTime at;
    std::string how;  // "start", "reload" (same host process) or "host restart"
    std::string version;
    bool endedUnseen = false;   // the one before it never wrote its unload
    uint64_t firstCommand = 0;  // commands before it in the job
};

// An event for the record, in time order.
struct JobEvent {
    JournalTime at;
    std::string text;
    int64_t forMs = -1;  // how long it lasted, where it has one
};

// A job's lines replayed in order: the identification, the commands (every
// one, in a JobJournal, for the record's settings and CSV), the loads and
// the events.
class JobReplay {
public:
    JobReplay() : m_commands(JobJournal::kCapacity) {}
    void Take(const JournalLine& line);
    void TakeAll(const JournalRead& read);

    const JobIdentity& Identity() const { return m_identity; }
    const JobJournal& Commands() const { return m_commands; }
    const std::vector<JobLoad>& Loads() const { return m_loads; }
    const std::vector<JobEvent>& Events() const { return m_events; }
    // Where the command with index i (0: the job's first) belongs: the load
    // it came under.
    size_t LoadOf(uint64_t commandIndex) const;
    size_t Skipped() const { return m_skipped; }

private:
    JobIdentity m_identity;
    JobJournal m_commands;
    std::vector<JobLoad> m_loads;
    std::vector<JobEvent> m_events;
    int64_t m_lastPid = -1;
    bool m_unloadSeen = true;
    size_t m_skipped = 0;
};

// Frames stopping and resuming and the read-back going stale and fresh,
// each told once as it changes; fed with the frame counts from the
// journal's thread, so it goes on while the window is closed.
struct StreamEvent {
    std::string what;
    int64_t forMs;  // -1: none
};
class StreamEvents {
public:
    static constexpr uint32_t kQuietMs = 2000;
    std::vector<StreamEvent> Sample(uint32_t now, uint32_t frames, uint32_t usable);

private:
    bool m_started = false;
    bool m_anyFrame = false;
    bool m_anyUsable = false;
    uint32_t m_frames = 0, m_usable = 0;
    uint32_t m_lastFrame = 0, m_lastUsable = 0;
    bool m_stopped = false, m_stale = false;
};

// The CSV journal of a whole job: one row per command, and a row where the
// plug-in was (re)loaded.
std::string JobCsv(const JobReplay& job);

}  // namespace kelvane
