#include "core/logic/JournalLines.h"

#include <cstdio>
#include <cstring>

#include "base/logic/CivilDays.h"
#include "base/logic/NumberText.h"
#include "core/logic/SendLog.h"

namespace kelvane {
namespace {

uint32_t Fnv1a(const char* p, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) {
        h ^= static_cast<uint8_t>(p[i]);
        h *= 16777619u;
    }
    return h;
}

std::string Hex8(uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", v);
    return text;
}

void Escape(std::string& out, const std::string& s) {
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
}

std::string Unescape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    }
    return out;
}

bool Digits(const std::string& s, size_t at, size_t n, int32_t& v) {
    v = 0;
    if (at + n > s.size()) return false;
    for (size_t i = at; i < at + n; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

int64_t JournalWallMs(const JournalTime& t) {
    return DaysSince1970(t.date / 10000, t.date / 100 % 100, t.date % 100) * 86400000 + t.msOfDay;
}

// "2026-12-09 14:40:01.123"
bool ParseJournalTime(const std::string& s, JournalTime& t) {
    int32_t y, mo, d, h, mi, se, ms;
    if (s.size() != 23 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' || s[16] != ':' || s[19] != '.')
        return false;
    if (!Digits(s, 0, 4, y) || !Digits(s, 5, 2, mo) || !Digits(s, 8, 2, d) || !Digits(s, 11, 2, h) ||
        !Digits(s, 14, 2, mi) || !Digits(s, 17, 2, se) || !Digits(s, 20, 3, ms))
        return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || se > 59) return false;
    t.date = y * 10000 + mo * 100 + d;
    t.msOfDay = ((h * 60 + mi) * 60 + se) * 1000 + ms;
    return true;
}

namespace {

bool ParseInt64(const std::string& s, int64_t& v) {
    if (s.size() > 2 && s.size() <= 10 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {  // a command code
        int64_t r = 0;
        for (size_t i = 2; i < s.size(); ++i) {
            const char c = s[i];
            const int d = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (d < 0) return false;
            r = r * 16 + d;
        }
        v = r;
        return true;
    }
    if (s.empty() || s.size() > 19) return false;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    int64_t r = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        r = r * 10 + (s[i] - '0');
    }
    v = s[0] == '-' ? -r : r;
    return true;
}

std::string Time(const JournalTime& t) { return FormatJournalTime(t); }

}  // namespace

JournalLine& JournalLine::Add(const std::string& key, const std::string& value) {
    fields.emplace_back(key, value);
    return *this;
}

JournalLine& JournalLine::Add(const std::string& key, int64_t value) { return Add(key, std::to_string(value)); }

const std::string& JournalLine::Get(const std::string& key, const std::string& fallback) const {
    for (const auto& f : fields)
        if (f.first == key) return f.second;
    return fallback;
}

int64_t JournalLine::GetInt(const std::string& key, int64_t fallback) const {
    int64_t v = 0;
    for (const auto& f : fields)
        if (f.first == key) return ParseInt64(f.second, v) ? v : fallback;
    return fallback;
}

std::string EncodeJournalLine(const JournalLine& line) {
    std::string out = Time(line.at);
    out += '\t';
    Escape(out, line.kind);
    for (const auto& f : line.fields) {
        out += '\t';
        std::string key;
        Escape(key, f.first);
        for (char& c : key)
            if (c == '=') c = '_';
        out += key + '=';
        Escape(out, f.second);
    }
    out += "\t#" + Hex8(Fnv1a(out.data(), out.size())) + "\r\n";
    return out;
}

bool DecodeJournalLine(const std::string& text, JournalLine& out) {
    std::string s = text;
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.pop_back();
    // "\t#" and eight hex digits close every whole line.
    if (s.size() < 23 + 2 + 10) return false;
    const size_t sum = s.size() - 10;
    if (s[sum] != '\t' || s[sum + 1] != '#') return false;
    if (Hex8(Fnv1a(s.data(), sum)) != s.substr(sum + 2)) return false;
    s.resize(sum);
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t tab = s.find('\t', start);
        parts.push_back(s.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    if (parts.size() < 2) return false;
    JournalLine line;
    if (!ParseJournalTime(parts[0], line.at)) return false;
    line.kind = Unescape(parts[1]);
    for (size_t i = 2; i < parts.size(); ++i) {
        const size_t eq = parts[i].find('=');
        if (eq == std::string::npos) return false;
        line.fields.emplace_back(Unescape(parts[i].substr(0, eq)), Unescape(parts[i].substr(eq + 1)));
    }
    out = std::move(line);
    return true;
}

JournalRead ReadJournalText(const std::string& text) {
    JournalRead read;
    JournalStream stream;
    stream.Feed(text.data(), text.size(), [&read](const JournalLine& line) { read.lines.push_back(line); });
    read.skipped = stream.Skipped();
    read.tornTail = stream.TornTail();
    return read;
}

std::string JournalPartName(const std::string& firstName, int part) {
    if (part <= 1) return firstName;
    const std::string ext = ".journal";
    std::string base = firstName;
    if (base.size() > ext.size() && base.compare(base.size() - ext.size(), ext.size(), ext) == 0)
        base.resize(base.size() - ext.size());
    return base + "." + std::to_string(part) + ext;
}

std::string JournalNamePart(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (out.size() >= 40) break;
        const bool bad = c < 32 || c == 127 || std::strchr("<>:\"/\\|?*", c) != nullptr;
        out += bad ? '_' : static_cast<char>(c);
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
    while (!out.empty() && out.front() == ' ') out.erase(0, 1);
    return out;
}

JournalLine IdentityLine(const JournalTime& at, const JobIdentity& job) {
    JournalLine line{at, "job", {}};
    line.Add("company", job.company).Add("well", job.well).Add("field", job.field).Add("run", job.run);
    line.Add("engineer", job.engineer).Add("serial", job.serial).Add("notes", job.notes);
    return line;
}

std::string JobTitle(const JobIdentity& job, const std::string& dayOfJournal) {
    if (job.Named()) return "Well " + job.well + ", run " + job.run;
    return "this work folder's journal of " + dayOfJournal;
}

void JobReplay::Take(const JournalLine& line) {
    if (line.kind == "job") {
        m_identity.company = line.Get("company");
        m_identity.well = line.Get("well");
        m_identity.field = line.Get("field");
        m_identity.run = line.Get("run");
        m_identity.engineer = line.Get("engineer");
        m_identity.serial = line.Get("serial");
        m_identity.notes = line.Get("notes");
    } else if (line.kind == "load") {
        JobLoad load;
        load.at = line.at;
        const int64_t pid = line.GetInt("pid", -1);
        load.how = m_loads.empty() ? "start" : pid == m_lastPid ? "reload" : "host restart";
        load.endedUnseen = !m_loads.empty() && !m_unloadSeen;
        load.version = line.Get("version");
        load.firstCommand = m_commands.Total();
        m_loads.push_back(load);
        m_lastPid = pid;
        m_unloadSeen = false;
        std::string text = "Plug-in loaded (" + load.how + ", Kelvane " + load.version + ")";
        if (load.endedUnseen) text += "; the load before it ended without an unload (host ended or stopped)";
        m_events.push_back({line.at, text, -1});
    } else if (line.kind == "unload" || line.kind == "exit") {
        m_unloadSeen = true;
        m_events.push_back(
            {line.at, line.kind == "exit" ? "Host process ended (plug-in not unloaded)" : "Plug-in unloaded", -1});
    } else if (line.kind == "cmd") {
        const std::string action = line.Get("action", "operator");
        if (action != "operator") m_commands.BeginAction(action.c_str());
        const int64_t code = line.GetInt("code");
        m_commands.Record(line.at, static_cast<int32_t>(code), static_cast<int32_t>(line.GetInt("asked")),
                          static_cast<int32_t>(line.GetInt("sent")), line.GetInt("delivered") != 0);
        if (action != "operator") m_commands.EndAction();
    } else if (line.kind == "event") {
        m_events.push_back({line.at, line.Get("what"), line.GetInt("for", -1)});
    }
}

void JobReplay::TakeAll(const JournalRead& read) {
    for (const JournalLine& line : read.lines) Take(line);
    m_skipped += read.skipped;
}

size_t JobReplay::LoadOf(uint64_t commandIndex) const {
    size_t load = 0;
    for (size_t i = 0; i < m_loads.size(); ++i)
        if (m_loads[i].firstCommand <= commandIndex) load = i;
    return load;
}

std::vector<StreamEvent> StreamEvents::Sample(uint32_t now, uint32_t frames, uint32_t usable) {
    std::vector<StreamEvent> out;
    if (!m_started) {
        m_started = true;
        m_frames = frames;
        m_usable = usable;
        m_lastFrame = m_lastUsable = now;
        return out;
    }
    if (frames != m_frames) {
        m_frames = frames;
        if (m_stopped)
            out.push_back({"Frames resumed after " + FormatFixed((now - m_lastFrame) / 1000.0, 1) + " s",
                           static_cast<int64_t>(now - m_lastFrame)});
        m_stopped = false;
        m_anyFrame = true;
        m_lastFrame = now;
    }
    if (usable != m_usable) {
        m_usable = usable;
        if (m_stale) out.push_back({"Read-back fresh again", static_cast<int64_t>(now - m_lastUsable)});
        m_stale = false;
        m_anyUsable = true;
        m_lastUsable = now;
    }
    if (m_anyFrame && !m_stopped && now - m_lastFrame >= kQuietMs) {
        m_stopped = true;
        out.push_back({"Frames stopped (none for " + FormatFixed(kQuietMs / 1000.0, 0) + " s)", -1});
    }
    // Frames still come, but none with read-back the tool's gains can be read from.
    if (m_anyUsable && !m_stale && !m_stopped && now - m_lastUsable >= kQuietMs) {
        m_stale = true;
        out.push_back({"Read-back stale: frames come without readable gains", -1});
    }
    return out;
}

std::string JobCsv(const JobReplay& job) {
    const JobJournal& commands = job.Commands();
    const uint64_t firstKept = commands.Dropped();
    std::string out = JournalCsv(commands);
    if (job.Loads().empty()) return out;
    // The loads go in as rows of their own, before their first command.
    std::string merged;
    merged.reserve(out.size() + job.Loads().size() * 64);
    size_t pos = out.find('\n') + 1;
    merged.append(out, 0, pos);
    size_t load = 0;
    auto loadRows = [&](uint64_t before) {
        while (load < job.Loads().size() && job.Loads()[load].firstCommand <= before) {
            const JobLoad& l = job.Loads()[load++];
            merged += FormatJournalTime(l.at) + ",,plug-in " + l.how + ",,,,,,\r\n";
        }
    };
    for (uint64_t i = firstKept; pos < out.size(); ++i) {
        loadRows(i);
        const size_t end = out.find('\n', pos) + 1;
        merged.append(out, pos, end - pos);
        pos = end;
    }
    loadRows(UINT64_MAX);
    return merged;
}

}  // namespace kelvane
