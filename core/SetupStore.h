// The set-up files on disk: one "<name>.ini" per set-up in the "Setups"
// folder beside the settings file. Names and paths are UTF-8 here and reach
// the file system as UTF-16, so a name in any script is the file's name.
// Reads take the whole file in one try (a locked or unreadable one is named
// as such); writes go through a temporary file that replaces the set-up in
// one step, so a set-up is whole or not there.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/logic/ParameterSet.h"

// UTF-8 <-> UTF-16, and the ANSI code page's text (what the profile and
// path functions of the settings file give) as UTF-8.
std::wstring WideOf(const std::string& utf8);
std::string Utf8Of(const std::wstring& wide);
std::string Utf8OfAnsi(const std::string& ansi);
// Whether wide is text: no surrogate without its pair.
bool IsWholeText(const std::wstring& wide);

struct SetupListing {
    std::string name;     // the file's name without ".ini"
    std::string saved;    // as the file says
    std::string summary;  // or why it cannot be read
    bool read = false;    // saved and summary are the file's (or why not)
    bool inUse = false;   // another program held it at the last try
};

class CSetupStore {
public:
    // folder: as the settings store gives it (ANSI code page).
    explicit CSetupStore(const std::string& folder) : m_folder(Utf8OfAnsi(folder)) {}
    const std::string& Folder() const { return m_folder; }
    std::string PathOf(const std::string& name) const;

    // The set-ups' names, sorted; nothing is opened.
    std::vector<std::string> Names() const;
    // One try at the file: its saved time and summary, or why it cannot be
    // loaded; inUse when another program holds it.
    SetupListing Details(const std::string& name, const kelvane::ParameterSet& base) const;
    bool Exists(const std::string& name) const;
    // False with why (in words) when it cannot be read; inUse (if given)
    // says whether another program held it.
    bool Read(const std::string& name, std::string& text, std::string& why, bool* inUse = nullptr) const;
    bool Write(const std::string& name, const std::string& text, std::string& why) const;
    bool Delete(const std::string& name, std::string& why) const;
    bool Rename(const std::string& from, const std::string& to, std::string& why) const;

private:
    std::string m_folder;
};

// Reads set-ups' details for the list on a thread of its own, so that the
// window's thread never waits on a file: one try per file, and a file in use
// waits for the next Read. Each result is announced by posting message to
// window (never sent, never after Stop). Stop, or the destructor, waits a
// bounded time for the thread, which looks at the stop between files; the
// thread keeps what it uses alive until it ends.
class CSetupReader {
public:
    CSetupReader(const CSetupStore& store, const kelvane::ParameterSet& base, HWND window, UINT message);
    ~CSetupReader();
    CSetupReader(const CSetupReader&) = delete;
    CSetupReader& operator=(const CSetupReader&) = delete;

    // Reads these names (after any still waiting). False while a round runs.
    bool Read(const std::vector<std::string>& names);
    bool Busy() const;
    // What has been read since the last call.
    std::vector<SetupListing> Take();
    void Stop(DWORD waitMs);

private:
    struct Shared;
    static DWORD __stdcall Run(void* param);
    std::shared_ptr<Shared> m_shared;
};

// The platform's words for a system error code, without the trailing line
// break, as UTF-8.
std::string SystemErrorText(unsigned long error);

// Writes text to path in one step (temporary file beside it, then replaced).
bool WriteWholeFile(const std::string& path, const std::string& text, unsigned long& error);

// Writes each path's text, or none: every file is written whole under a
// temporary name first, then each is put in place; a failure puts back the
// files replaced so far (and removes those made). why: the path and what
// stopped it, in words.
struct WholeFile {
    std::string path;
    std::string text;
};
bool WriteWholeFiles(const std::vector<WholeFile>& files, std::string& why);
