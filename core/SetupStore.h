// The set-up files on disk: one "<name>.ini" per set-up in the "Setups"
// folder beside the settings file. Reads take the whole file (a locked or
// unreadable one is named as such); writes go through a temporary file that
// replaces the set-up in one step, so a set-up is whole or not there.
#pragma once

#include <string>
#include <vector>

#include "core/logic/ParameterSet.h"

struct SetupListing {
    std::string name;     // the file's name without ".ini"
    std::string saved;    // as the file says
    std::string summary;  // or why it cannot be read
};

class CSetupStore {
public:
    explicit CSetupStore(std::string folder) : m_folder(std::move(folder)) {}
    const std::string& Folder() const { return m_folder; }
    std::string PathOf(const std::string& name) const;

    // Sorted by name; unreadable files are listed with their reason.
    std::vector<SetupListing> List(const kelvane::ParameterSet& base) const;
    bool Exists(const std::string& name) const;
    // False with why (in words, naming the file) when it cannot be read.
    bool Read(const std::string& name, std::string& text, std::string& why) const;
    bool Write(const std::string& name, const std::string& text, std::string& why) const;
    bool Delete(const std::string& name, std::string& why) const;
    bool Rename(const std::string& from, const std::string& to, std::string& why) const;

private:
    std::string m_folder;
};

// The platform's words for a system error code, without the trailing line break.
std::string SystemErrorText(unsigned long error);
// Writes text to path in one step (temporary file beside it, then replaced).
bool WriteWholeFile(const std::string& path, const std::string& text, unsigned long& error);
