#include "core/logic/SaveRules.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/logic/Text.h"

namespace kelvane {
namespace {

// The name part of a listed line: up to the first '=' (a line without one is all name).
std::string LineName(const std::string& line) { return line.substr(0, line.find('=')); }

// The profile reader strips spaces and tabs around names and values, no other blanks.
std::string ProfileTrimmed(const std::string& s) { return Trimmed(s, " \t"); }

// "KC" and eight hexadecimal digits: 14 characters with the extension, one
// fewer than "KelvaneCtrl.ini".
constexpr const char* kShortPrefix = "KC";
std::string ShortName(uint32_t number, const char* ext) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%s%08X%s", kShortPrefix, static_cast<unsigned>(number), ext);
    return buf;
}

}  // namespace

bool operator==(const SavedKey& a, const SavedKey& b) {
    return a.section == b.section && a.key == b.key && a.text == b.text;
}

bool operator==(const ProfileListing& a, const ProfileListing& b) { return a.names == b.names && a.lines == b.lines; }

std::string RecordingProfile::Read(const char*, const char*, const char* defaultText, size_t bufferSize) {
    return std::string(defaultText).substr(0, bufferSize ? bufferSize - 1 : 0);
}

void RecordingProfile::Write(const char* section, const char* key, const std::string& value) {
    m_keys.push_back({section, key, value});
}

void SaveSchedule::Written(const SavedKeys& keys) {
    m_written = keys;
    m_seen = keys;
}

bool SaveSchedule::Due(const SavedKeys& current, uint32_t nowMs) {
    if (current != m_seen) {
        m_seen = current;
        m_seenSinceMs = nowMs;
        return false;
    }
    // Unsigned difference: correct across the tick count's wrap.
    return current != m_written && nowMs - m_seenSinceMs >= kSettleMs;
}

std::vector<std::string> DistinctNames(const std::vector<std::string>& names) {
    std::vector<std::string> distinct;
    for (const std::string& name : names) {
        bool seen = false;
        for (const std::string& d : distinct) seen = seen || SameName(d, name);
        if (!seen) distinct.push_back(name);
    }
    return distinct;
}

ProfileListing ListingAfterWrites(const ProfileListing& before, const SavedKeys& keys) {
    ProfileListing after = before;
    std::vector<std::string> distinct = DistinctNames(before.names);
    after.lines.resize(distinct.size());
    for (const SavedKey& k : keys) {
        size_t s = 0;
        while (s < distinct.size() && !SameName(distinct[s], k.section)) ++s;
        if (s == distinct.size()) {
            distinct.push_back(k.section);
            after.names.push_back(k.section);
            after.lines.emplace_back();
        }
        std::vector<std::string>& lines = after.lines[s];
        const std::string line = k.key + "=" + k.text;
        size_t i = 0;
        while (i < lines.size() && !SameName(LineName(lines[i]), k.key)) ++i;
        if (i == lines.size()) lines.push_back(line);
        else lines[i] = LineName(lines[i]) + "=" + k.text;  // the writer keeps the name as the file spells it
    }
    return after;
}

bool ValueIn(const ProfileListing& listing, const std::string& section, const std::string& key, std::string* text) {
    const std::vector<std::string> distinct = DistinctNames(listing.names);
    for (size_t s = 0; s < distinct.size() && s < listing.lines.size(); ++s) {
        if (!SameName(distinct[s], section)) continue;
        for (const std::string& line : listing.lines[s]) {
            if (!SameName(ProfileTrimmed(LineName(line)), key)) continue;
            const size_t eq = line.find('=');
            *text = eq == std::string::npos ? std::string() : ProfileTrimmed(line.substr(eq + 1));
            return true;
        }
        return false;  // the reader looks in the first section of the name only
    }
    return false;
}

void SaveBasis::Read(const SavedKeys& held, const ProfileListing& file) {
    m_entries.clear();
    for (const SavedKey& k : held) {
        Entry e{k.section, k.key, k.text, k.text};
        ValueIn(file, k.section, k.key, &e.file);
        m_entries.push_back(e);
    }
}

const SaveBasis::Entry* SaveBasis::Find(const SavedKey& k) const {
    for (const Entry& e : m_entries)
        if (e.section == k.section && e.key == k.key) return &e;
    return nullptr;
}

SavePlan SaveBasis::Plan(const SavedKeys& now, const ProfileListing& fileNow) const {
    SavePlan plan;
    for (const SavedKey& k : now) {
        const Entry* e = Find(k);
        const bool changedHere = !e || k.text != e->held;
        plan.changedHere = plan.changedHere || changedHere;
        std::string there;
        const bool inFile = ValueIn(fileNow, k.section, k.key, &there);
        if (inFile && there == k.text) {
            plan.settled.push_back(k);
            continue;
        }
        const bool changedThere = inFile && e && there != e->file;
        // The file lacks it, the operator changed it, or the start set it
        // apart while the file still says what was read; otherwise the
        // file's text stays.
        if (inFile && !changedHere && (e->held == e->file || changedThere)) continue;
        plan.writes.push_back(k);
        if (changedHere && changedThere) plan.conflicts.push_back({k.section, k.key, there});
        plan.settled.push_back(k);
    }
    return plan;
}

void SaveBasis::Settled(const SavedKeys& settled) {
    for (const SavedKey& k : settled)
        for (Entry& e : m_entries)
            if (e.section == k.section && e.key == k.key) e.held = e.file = k.text;
}

std::string SettingsCopyName(const std::string& settingsPath) {
    uint32_t hash = 2166136261u;  // FNV-1a
    for (char c : settingsPath) {
        hash ^= static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c)));
        hash *= 16777619u;
    }
    return ShortName(hash, kSettingsCopyExt);
}

std::string SaveTempName(uint32_t processId) { return ShortName(processId, kSaveTempExt); }

bool SaveTempProcess(const std::string& name, uint32_t* processId) {
    const size_t prefix = std::strlen(kShortPrefix);
    if (name.size() != prefix + 8 + std::strlen(kSaveTempExt) || !SameName(name.substr(0, prefix), kShortPrefix) ||
        !SameName(name.substr(prefix + 8), kSaveTempExt))
        return false;
    uint32_t id = 0;
    for (size_t i = prefix; i < prefix + 8; ++i) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0) return false;
        id = id * 16 + static_cast<uint32_t>(digit);
    }
    *processId = id;
    return true;
}

}  // namespace kelvane
