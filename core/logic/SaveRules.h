// When and how the settings reach "KelvaneCtrl.ini": the keys a save writes,
// the wait before a save after the operator's last change, and what a file
// must read like after the platform's writer has put those keys into it (a
// file written short, for instance on a full disk, must never replace a
// good one).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/logic/IniRules.h"

namespace kelvane {

// One key as a save writes it.
struct SavedKey {
    std::string section;
    std::string key;
    std::string text;
};
bool operator==(const SavedKey& a, const SavedKey& b);
inline bool operator!=(const SavedKey& a, const SavedKey& b) { return !(a == b); }
using SavedKeys = std::vector<SavedKey>;

// Takes down what the save rules write, in order; reads give the default.
class RecordingProfile : public ProfileStore {
public:
    std::string Read(const char* section, const char* key, const char* defaultText, size_t bufferSize) override;
    void Write(const char* section, const char* key, const std::string& value) override;
    const SavedKeys& Keys() const { return m_keys; }

private:
    SavedKeys m_keys;
};

// A save shortly after the operator's last change (a host that crashes loses
// nothing older than that), never while nothing changed, and not at every
// keystroke of a burst of changes.
class SaveSchedule {
public:
    static constexpr uint32_t kSettleMs = 2000;
    // What the file holds now (after the load, or a save attempted).
    void Written(const SavedKeys& keys);
    // Called every few hundred milliseconds with what a save would write: true
    // once that has differed from the file and stayed the same for kSettleMs.
    bool Due(const SavedKeys& current, uint32_t nowMs);
    bool Unwritten(const SavedKeys& current) const { return current != m_written; }

private:
    SavedKeys m_written;
    SavedKeys m_seen;
    uint32_t m_seenSinceMs = 0;
};

// A profile file as the platform's reader lists it: every section name in
// file order (repeats included), and the "key=value" lines of each distinct
// name (its first section, as the reader finds it).
struct ProfileListing {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> lines;  // in DistinctNames order
};
bool operator==(const ProfileListing& a, const ProfileListing& b);
// Section names without repeats (names compare without case), in file order.
std::vector<std::string> DistinctNames(const std::vector<std::string>& names);

// The listing after the platform's writer has written keys into a file that
// listed as before: a key replaces the value of the first line of its name in
// the first section of its name (names compare without case), or is appended
// to that section; a section the file lacks is appended at the end.
ProfileListing ListingAfterWrites(const ProfileListing& before, const SavedKeys& keys);

}  // namespace kelvane
