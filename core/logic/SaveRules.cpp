#include "core/logic/SaveRules.h"

#include <cctype>

namespace kelvane {
namespace {

// Profile names compare without case (ASCII: our sections and keys).
bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The name part of a listed line: up to the first '=' (a line without one is all name).
std::string LineName(const std::string& line) { return line.substr(0, line.find('=')); }

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
        if (i == lines.size())
            lines.push_back(line);
        else
            lines[i] = LineName(lines[i]) + "=" + k.text;  // the writer keeps the name as the file spells it
    }
    return after;
}

}  // namespace kelvane
