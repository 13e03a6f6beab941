// When and how the settings reach "KelvaneCtrl.ini": the keys a save writes,
// the wait before a save after the operator's last change, which of them a
// save puts into a file that other programs share, and what a file must read
// like after the platform's writer has put those keys into it (a file written
// short, for instance on a full disk, must never replace a good one).
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

// A key's text as the platform's reader finds it in a listing (the first line
// of its name in the first section of its name, blanks around it trimmed);
// false when the file lacks it.
bool ValueIn(const ProfileListing& listing, const std::string& section, const std::string& key, std::string* text);

// What one save puts into the file as it is now.
struct SavePlan {
    SavedKeys writes;          // in the session's order
    SavedKeys conflicts;       // changed here and in the file since: the file's text now
    SavedKeys settled;         // what the file holds of the session's keys once the writes are in
    bool changedHere = false;  // the operator changed a key since the last read or write
};

// The file is shared: people and other programs change it while the library
// is loaded. Key by key this keeps what the session held and what the file
// said when the session last read or wrote it, so a save writes only what
// the session changed since (and what the file lacks), and leaves every key
// changed elsewhere as the file has it.
class SaveBasis {
public:
    // After the load: held is what the session renders, file the listing read (empty: no file).
    void Read(const SavedKeys& held, const ProfileListing& file);
    // A key the file lacks is written. A key the operator changed is written
    // (a conflict when the file changed it too). A key the start set apart
    // from the file (a start value, a file text that loads otherwise) is
    // written while the file still says what was read, as every save did.
    // Every other key keeps the file's text; nothing to write: no writes.
    SavePlan Plan(const SavedKeys& now, const ProfileListing& fileNow) const;
    // The plan reached the file.
    void Settled(const SavedKeys& settled);

private:
    struct Entry {
        std::string section, key;
        std::string held;  // what the session held
        std::string file;  // what the file said (the held text when it lacked the key)
    };
    const Entry* Find(const SavedKey& k) const;
    std::vector<Entry> m_entries;
};

// Names beside the settings file that are never longer than its own name, so
// a path that fits the platform's limit fits them too. The copy is named after
// the settings file's full path (case folded): copies of different work
// folders never meet in one folder. The temporary file of a save is named
// after its process: two hosts saving at once never share one.
constexpr const char* kSettingsCopyExt = ".ini";
constexpr const char* kSaveTempExt = ".tmp";
std::string SettingsCopyName(const std::string& settingsPath);
std::string SaveTempName(uint32_t processId);
// The process id in a temporary file's name; false for any other name.
bool SaveTempProcess(const std::string& name, uint32_t* processId);

}  // namespace kelvane
