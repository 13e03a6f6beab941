#include "core/logic/JobJournal.h"

#include <cstddef>
#include <cstring>

#include "KelvaneHost.h"
#include "base/logic/NumberText.h"
#include "core/logic/CommandList.h"
#include "core/logic/SendLog.h"
#include "core/logic/SetupRules.h"

namespace kelvane {
namespace {

constexpr size_t kMaxActions = 1000;  // names kept; later new ones show as "other"

std::string Two(int32_t v) { return (v < 10 ? "0" : "") + FormatInt(v); }

// The page a command belongs to, as the command list says.
const char* PageOf(int32_t code) {
    const CommandRow* row = FindCommand(code);
    if (!row) return "";
    switch (row->section) {
    case CommandSection::Dt: return "DT";
    case CommandSection::Monopole: return "Monopole";
    case CommandSection::Dipole: return "Dipole";
    default: return "General";
    }
}

// The value as the unit reads: "on"/"off" for switches, the number otherwise.
std::string ValueText(int32_t code, int32_t value) {
    const std::string unit = CommandUnit(code);
    if (unit == "on/off") return value == VALUE_ON ? "on" : "off";
    return FormatInt(value);
}

std::string Pad(std::string s, size_t width) {
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

// A command's value with its unit, and when: "78 dB at 16:20:05.123" (the
// date too when it is not the record's).
std::string SentText(const JournalEntry& e, int32_t recordDate) {
    const std::string unit = CommandUnit(e.code);
    std::string v = ValueText(e.code, e.value);
    if (unit == "dB" || unit == "us") v += " " + unit;
    if (e.code >= CMD_GAIN_STEP_1DB && e.code <= CMD_GAIN_STEP_3DB)
        v = FormatInt(e.code - CMD_GAIN_STEP_1DB + 1) + " dB";
    if (e.code == CMD_DT_WIN_END) v = "end " + v;
    const std::string when = FormatJournalTime(e.at);
    return v + " at " + (e.at.date == recordDate ? when.substr(11) : when) + (e.delivered ? "" : " (lost)");
}

// A setting's value as the window shows it: the names of the Acoustic
// page's lists, not their numbers.
std::string ShownValue(const SetupSetting& s, const ParameterSet& p) {
    static const char* const kCurves[] = {"First Wave Pick", "Correlation"};
    static const char* const kFilters[] = {"No Filter", "Dt FIR Filter(3K-20KHz)", "ButWorth Bandpass Filter"};
    int32_t v = 0;
    std::memcpy(&v, reinterpret_cast<const unsigned char*>(&p) + s.member, 4);
    if (s.member == offsetof(ParameterSet, CurveSelect) && v >= 0 && v < 2) return kCurves[v];
    if (s.member == offsetof(ParameterSet, FilterType) && v >= 0 && v < 3) return kFilters[v];
    return SetupValueText(s, p);
}

// Lines past 80 columns go on under the first, indented, broken at spaces.
std::string Wrapped(const std::string& s) {
    constexpr size_t kWidth = 80;
    if (s.size() <= kWidth) return s + "\r\n";
    size_t indent = s.find_first_not_of(' ');
    if (indent > 20) indent = 0;  // none, or a line of blanks
    const std::string more(indent + 4, ' ');
    std::string out;
    std::string rest = s;
    bool first = true;
    while (!rest.empty()) {
        const size_t room = first ? kWidth : kWidth - more.size();
        if (rest.size() <= room) {
            out += (first ? "" : more) + rest + "\r\n";
            break;
        }
        size_t cut = rest.rfind(' ', room);
        if (cut == std::string::npos || cut <= (first ? indent : 0)) cut = room;
        out += (first ? "" : more) + rest.substr(0, cut) + "\r\n";
        rest = rest.substr(cut);
        while (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        first = false;
    }
    return out;
}

std::string OneLine(std::string s) {
    for (char& c : s)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return s;
}

bool Later(const JournalEntry& a, const JournalEntry& b) {
    return a.at.date != b.at.date ? a.at.date > b.at.date : a.at.msOfDay > b.at.msOfDay;
}

}  // namespace

std::string FormatJournalTime(const JournalTime& t) {
    const int32_t ms = t.msOfDay < 0 ? 0 : t.msOfDay;
    std::string millis = FormatInt(ms % 1000);
    if (millis.size() < 3) millis.insert(0, 3 - millis.size(), '0');
    return FormatInt(t.date / 10000) + "-" + Two(t.date / 100 % 100) + "-" + Two(t.date % 100) + " " +
           FormatClock(ms / 1000) + "." + millis;
}

JobJournal::JobJournal(size_t capacity) : m_capacity(capacity ? capacity : 1), m_actions{"operator"} {}

void JobJournal::BeginAction(const char* what) {
    if (m_depth++ > 0) return;
    const std::string name = what ? what : "";
    for (size_t i = 0; i < m_actions.size(); ++i)
        if (m_actions[i] == name) {
            m_current = static_cast<uint16_t>(i);
            return;
        }
    if (m_actions.size() >= kMaxActions) {
        m_current = 0;
        return;
    }
    m_actions.push_back(name);
    m_current = static_cast<uint16_t>(m_actions.size() - 1);
}

void JobJournal::EndAction() {
    if (m_depth == 0 || --m_depth > 0) return;
    m_current = 0;
}

void JobJournal::Record(const JournalTime& at, int32_t code, int32_t asked, int32_t sent, bool delivered) {
    JournalEntry e;
    e.at = at;
    e.code = code;
    e.asked = asked;
    e.value = sent;
    e.action = m_current;
    e.delivered = delivered;
    ++m_total;
    if (m_ring.size() < m_capacity) {
        m_ring.push_back(e);
    } else {
        m_ring[m_head] = e;
        m_head = (m_head + 1) % m_capacity;
    }
    for (JournalEntry& last : m_last)
        if (last.code == code) {
            last = e;
            return;
        }
    m_last.push_back(e);
}

const JournalEntry& JobJournal::At(size_t i) const { return m_ring[(m_head + i) % m_ring.size()]; }

const std::string& JobJournal::ActionName(uint16_t action) const {
    static const std::string kOther = "other";
    return action < m_actions.size() ? m_actions[action] : kOther;
}

const JournalEntry* JobJournal::LastOf(int32_t code) const {
    for (const JournalEntry& e : m_last)
        if (e.code == code) return &e;
    return nullptr;
}

std::string JournalCsv(const JobJournal& journal) {
    std::string out = "time,page,action,command,code,value,unit,limited,delivered\r\n";
    out.reserve(out.size() + journal.Size() * 96);
    for (size_t i = 0; i < journal.Size(); ++i) {
        const JournalEntry& e = journal.At(i);
        const char* name = CommandName(e.code);
        out += FormatJournalTime(e.at) + "," + PageOf(e.code) + "," + CsvField(journal.ActionName(e.action)) + "," +
               (name ? name : "") + "," + CodeHex(e.code, true) + "," + ValueText(e.code, e.value) + "," +
               CommandUnit(e.code) + "," +
               (e.asked != e.value ? "from " + ValueText(e.code, e.asked) : std::string("no")) + "," +
               (e.delivered ? "yes" : "no") + "\r\n";
    }
    return out;
}

std::string FormatJobRecord(const JobRecordInput& in, const JobJournal& journal) {
    int32_t date = 0;  // yyyymmdd of in.when, "2026-12-08 ..."
    for (size_t i = 0; i < in.when.size() && i < 10; ++i)
        if (in.when[i] >= '0' && in.when[i] <= '9') date = date * 10 + (in.when[i] - '0');
    std::string out;
    auto line = [&out](const std::string& s) { out += Wrapped(OneLine(s)); };
    // A path stays whole on its line, so it can be copied from the record.
    auto pathLine = [&out](const std::string& s) { out += OneLine(s) + "\r\n"; };
    line("KELVANE JOB RECORD - Varro acoustic tool");
    if (in.job.empty()) line(Pad("Job", 13) + "not identified (File, \"New job...\" names it)");
    for (const auto& field : in.job) line(Pad(field.first, 13) + field.second);
    line(Pad("Written", 13) + in.when);
    if (!in.journalPath.empty()) pathLine(Pad("Journal", 13) + in.journalPath);
    if (!in.loads.empty()) line(Pad("Loads", 13) + in.loads);
    pathLine(Pad("Work folder", 13) + in.workFolder);
    line(Pad("Plug-in", 13) + "Kelvane " + in.version);
    line(Pad("Set-up", 13) + (in.setupLoaded.empty() ? std::string("none loaded since start") : in.setupLoaded));
    line("");
    line("SETTINGS: now, and last sent to the tool (times on " + in.when.substr(0, 10) + ")");
    std::vector<const char*> pages;  // in the order the settings first name them
    for (const SetupSetting& s : SetupSettings()) {
        bool known = false;
        for (const char* p : pages) known = known || std::strcmp(p, s.page) == 0;
        if (!known) pages.push_back(s.page);
    }
    for (const char* page : pages) {
        line(page);
        for (const SetupSetting& s : SetupSettings()) {
            if (std::strcmp(page, s.page) != 0) continue;
            // The acoustic settings go to VarroProcessPara, not to the tool.
            std::string sent = std::strcmp(page, "Acoustic Process") == 0 ? "published (no command)" : "no command";
            if (s.code == CMD_GAIN_STEP_1DB) {
                const JournalEntry* last = nullptr;
                for (int32_t c = CMD_GAIN_STEP_1DB; c <= CMD_GAIN_STEP_3DB; ++c)
                    if (const JournalEntry* e = journal.LastOf(c); e && (!last || Later(*e, *last))) last = e;
                sent = last ? SentText(*last, date) : "not sent in this job";
            } else if (s.code != 0) {
                const JournalEntry* e = journal.LastOf(s.code);
                sent = e ? SentText(*e, date) : "not sent in this job";
            }
            line("  " + Pad(s.label, 25) + " " + Pad(ShownValue(s, in.settings), 10) + " " + sent);
        }
    }
    line("");
    line("READ-BACK GAINS (dB) " +
         (in.anyReadBack ? "of the last frame with read-back, " + FormatFixed(in.readBackAgeMs / 1000.0, 1) + " s old"
                         : std::string("- no frame with read-back since start")));
    if (in.anyReadBack) {
        const char* names[3] = {"DT", "Monopole", "Dipole"};
        const int first[3] = {0, 4, 12}, count[3] = {4, 8, 8};
        for (int k = 0; k < 3; ++k) {
            std::string l = "  " + Pad(names[k], 10);
            for (int i = 0; i < count[k]; ++i) l += " " + Pad(FormatInt(in.readBack[first[k] + i]), 4);
            line(l);
        }
    }
    line("");
    // Lines only from a report: before one the tool has told nothing.
    line("DSP STATUS (" + (in.dspLines.empty() ? std::string("no report yet") : in.dspReport) + ")");
    for (size_t i = 0; i < in.dspLines.size(); i += 2)
        line("  " + Pad(in.dspLines[i], 37) + (i + 1 < in.dspLines.size() ? " " + in.dspLines[i + 1] : ""));
    line("");
    const uint32_t dropped = in.frames > in.usableFrames ? in.frames - in.usableFrames : 0;
    line("FRAMES  " + FormatInt(static_cast<int32_t>(in.frames)) + " since the library loaded, " +
         FormatInt(static_cast<int32_t>(dropped)) + " dropped (no readable read-back)");
    line("");
    line("SAVES THAT FAILED" + std::string(in.failedSaves.empty() ? ": none" : ""));
    for (const std::string& s : in.failedSaves) line("  " + s);
    line("NOTICES SHOWN TO THE OPERATOR" + std::string(in.notices.empty() ? ": none" : ""));
    for (const std::string& s : in.notices) line("  " + s);
    line("EVENTS" + std::string(in.events.empty() ? ": none" : ""));
    for (const std::string& s : in.events) line("  " + s);
    line("");
    line("JOURNAL  " + FormatInt(static_cast<int32_t>(journal.Total())) + " commands sent in this job.");
    if (journal.Dropped() > 0)
        line("The oldest " + FormatInt(static_cast<int32_t>(journal.Dropped())) + " were dropped from memory, " +
             FormatInt(static_cast<int32_t>(journal.Size())) + " kept.");
    line("Every one kept is in the CSV journal beside this file.");
    return out;
}

}  // namespace kelvane

namespace kelvane {

void SessionNotes::Add(std::vector<std::string>& lines, const std::string& text, int32_t secondsOfDay) {
    if (lines.size() < kCapacity) lines.push_back(FormatClock(secondsOfDay) + " " + text);
}

}  // namespace kelvane
