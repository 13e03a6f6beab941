// The job journal: every command sent since the library loaded, with its
// time to the millisecond, in memory and bounded (the oldest go first, and
// the record says how many). Fed only where a command leaves the plug-in,
// never from the frame path. Also the job record's text and the journal's
// CSV, so the formatting is tested natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/logic/ParameterSet.h"

namespace kelvane {

struct JournalTime {
    int32_t date = 0;     // yyyymmdd, local
    int32_t msOfDay = 0;  // local
};
// "2026-12-08 16:20:05.123"
std::string FormatJournalTime(const JournalTime& t);

struct JournalEntry {
    JournalTime at;
    int32_t code = 0;
    int32_t value = 0;    // as sent
    int32_t asked = 0;    // as the page handed it over, before the last guard
    uint16_t action = 0;  // JobJournal::ActionName
    bool delivered = false;
};

class JobJournal {
public:
    static constexpr size_t kCapacity = 100000;
    explicit JobJournal(size_t capacity = kCapacity);

    // The commands between these carry the outermost action's name
    // ("Send all settings", "DT Download"); others are the operator's own.
    void BeginAction(const char* what);
    void EndAction();
    void Record(const JournalTime& at, int32_t code, int32_t asked, int32_t sent, bool delivered);

    size_t Size() const { return m_ring.size(); }
    uint64_t Total() const { return m_total; }
    uint64_t Dropped() const { return m_total - m_ring.size(); }
    const JournalEntry& At(size_t i) const;  // 0 is the oldest kept
    const std::string& ActionName(uint16_t action) const;
    // The last command of code since the library loaded, dropped or not.
    const JournalEntry* LastOf(int32_t code) const;

private:
    size_t m_capacity;
    std::vector<JournalEntry> m_ring;
    size_t m_head = 0;  // once full: the oldest
    uint64_t m_total = 0;
    std::vector<std::string> m_actions;
    int m_depth = 0;
    uint16_t m_current = 0;
    std::vector<JournalEntry> m_last;  // one per code
};

// The CSV journal: a header, then one line per command kept, oldest first.
std::string JournalCsv(const JobJournal& journal);

// What the job record tells of the session besides its commands: the set-up
// loaded last, the notices the operator was shown and the saves that failed,
// each stamped with its time of day. Bounded, as the journal is.
class SessionNotes {
public:
    static constexpr size_t kCapacity = 100;
    void SetupLoaded(const std::string& what) { m_setupLoaded = what; }
    void NoticeShown(const std::string& text, int32_t secondsOfDay) { Add(m_notices, text, secondsOfDay); }
    void SaveFailed(const std::string& text, int32_t secondsOfDay) { Add(m_failedSaves, text, secondsOfDay); }
    // What happened in the job besides commands (a channel flagged, healthy again).
    void Event(const std::string& text, int32_t secondsOfDay) { Add(m_events, text, secondsOfDay); }
    const std::vector<std::string>& Events() const { return m_events; }
    const std::string& Setup() const { return m_setupLoaded; }
    const std::vector<std::string>& Notices() const { return m_notices; }
    const std::vector<std::string>& FailedSaves() const { return m_failedSaves; }

private:
    static void Add(std::vector<std::string>& lines, const std::string& text, int32_t secondsOfDay);
    std::string m_setupLoaded;
    std::vector<std::string> m_notices;
    std::vector<std::string> m_failedSaves;
    std::vector<std::string> m_events;
};

// What the job record shows besides the journal.
struct JobRecordInput {
    std::string when;  // "2026-12-08 16:20:05"
    // The job: its identification as label and value ("Well", "A-12"),
    // empty when none was given; its journal; its loads in words.
    std::vector<std::pair<std::string, std::string>> job;
    std::string journalPath;
    std::string loads;  // "3 loads of the plug-in: 1 reload, 1 host restart"
    std::string workFolder;
    std::string version;
    std::string setupLoaded;  // "" when none was loaded
    ParameterSet settings{};
    bool anyReadBack = false;
    uint32_t readBackAgeMs = 0;
    int32_t readBack[20] = {};  // DT 4, monopole 8, dipole 8
    std::string dspReport;      // "Last report 11:02:03" or "No report yet"
    std::vector<std::string> dspLines;
    uint32_t frames = 0;
    uint32_t usableFrames = 0;
    std::vector<std::string> failedSaves;
    std::vector<std::string> notices;
    std::vector<std::string> events;
};
// Plain text, at most 80 columns (longer lines wrap), for one or two A4
// pages; journal: the whole job's commands.
std::string FormatJobRecord(const JobRecordInput& in, const JobJournal& journal);

}  // namespace kelvane
