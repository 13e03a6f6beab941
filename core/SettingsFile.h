// "KelvaneCtrl.ini" on disk, shared with people and other programs. Read at
// start-up through short locks, and held open while it is read so no one can
// lock it halfway; a save takes the file as it is then and writes only what
// this session changed (SaveBasis), atomically (a complete, checked file
// replaces the old one, or nothing does), through short locks; never written
// over when its values were not read. What cannot go to the file goes to a
// copy named after it, beside it or in the user's local application data; the
// status strip says so at once, and the operator is told at the next opening
// of the window until seen. The path is fixed when the library loads.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "core/logic/ProfileText.h"
#include "core/logic/SaveRules.h"

class CSettingsFile {
public:
    CSettingsFile() = default;
    CSettingsFile(const CSettingsFile&) = delete;
    CSettingsFile& operator=(const CSettingsFile&) = delete;
    ~CSettingsFile();

    // How long a lock held by someone else is waited out (1 s unless set);
    // a wait in progress ends at its next try once this is shorter.
    static void SetLockWait(DWORD ms);
    // The process is exiting: locks other threads held are not waited for.
    static void EnterProcessExit();

    // Start-up. iniPath is full. Readable: the file is held open until
    // EndLoad. Unreadable: it exists, but could not be read within the wait
    // (or is not a file, or its path is too long for any file).
    enum class State { Missing, Readable, Unreadable };
    State Open(const std::string& iniPath);
    // Where the load reads the file: the path, or the same file by its
    // folder's short name when the path is longer than the platform's limit.
    const std::string& ReadPath() const { return m_ioPath; }
    // Its folder, reached the same way.
    const std::string& IoFolder() const { return m_ioFolder; }
    // The file's bytes as Open read them (Readable only).
    const std::string& LoadedBytes() const { return m_loadedBytes; }
    // The load is over (loaded: those bytes, parsed): what the file said,
    // key by key, is kept for the saves, and the file is let go.
    void EndLoad(const kelvane::ProfileText& loaded);

    // What the settings were when the plug-in started (loaded or defaults).
    void NoteStartingSettings(const kelvane::SavedKeys& keys);
    // Writes what the session changed in keys into the file as it is now,
    // nothing when that would change nothing; when it may not or cannot, the
    // same goes to the copy. One caller at a time: CSaveWorker runs every
    // save, and TakeNotice, under its one write lock.
    void Save(const kelvane::SavedKeys& keys);

    // Where the settings went and why, when not (or not all) to the INI: ""
    // when there is nothing the operator has not been told. Told once.
    // A copy of this file's settings that a save could not put in it (not
    // another program's values): as reached, or "".
    std::string UnsavedCopy() const;
    // Its settings are in force again: the next good save puts them in the
    // file and removes the copy; the operator is told once.
    void TakeBack(const std::string& copyIo);
    bool NoticePending() const;
    std::string TakeNotice();

    // The outcome of the last save that had something to write, for the
    // status strip: empty while all is well. Safe from any thread.
    struct Status {
        std::string line;       // short, for the strip
        std::string shortLine;  // its essentials, for a strip without room for the line
        std::string tip;        // with the full paths
    };
    Status LastStatus() const;

private:
    enum class Kind { Failure, Conflict, TakenBack };
    struct Notice {
        bool pending = false;
        Kind kind = Kind::Failure;
        std::string copy;    // as shown ("" when none could be written)
        std::string copyIo;  // as reached
        std::string reason;  // in words
    };

    // base: the target's text before the keys go in.
    bool WriteAtomically(const std::string& target, const std::string& base, const kelvane::SavedKeys& keys,
                         DWORD& error);
    // The copy's shown path, or "" when no copy could be written.
    std::string SaveToCopy(const kelvane::SavedKeys& keys, Kind kind, const std::string& reason,
                           const std::string& base);
    Status FailureStatus(const std::string& brief, const std::string& tag, const std::string& words,
                         const std::string& copy) const;
    std::vector<std::string> CopyPaths() const;
    std::string Shown(const std::string& ioPath) const;
    void FindUntoldCopy();
    void TellAtOpening(const std::string& reason);
    void SetStatus(const Status& status);

    std::string m_iniPath;      // as the operator knows it
    std::string m_ioPath;       // as the file functions reach it
    std::string m_shownFolder;  // m_iniPath's folder, and the same by its short name
    std::string m_ioFolder;
    bool m_mayWriteIni = true;  // false: the file exists and was not read
    DWORD m_openError = 0;
    std::string m_unreadReason;
    std::string m_unreadBrief;
    std::string m_unreadTag;
    kelvane::SavedKeys m_startingKeys;
    kelvane::SaveBasis m_basis;
    std::string m_loadedBytes;  // the file as read at start-up
    kelvane::ProfileListing m_loadedListing;
    kelvane::ProfileListing m_knownListing;  // as last read or written
    HANDLE m_loadHandle = INVALID_HANDLE_VALUE;
    std::string m_failureCopy;        // a copy of unsaved settings written since start-up
    kelvane::SavedKeys m_copiedKeys;  // what that copy holds of the session's keys

    // The notice and the status are read by the window's thread while a
    // save may be running on the save thread.
    mutable std::mutex m_state;
    std::unique_lock<std::mutex> LockState() const;
    static std::atomic<bool> s_atExit;
    std::string m_toldAbout;  // copy and reason the operator has been told of
    Notice m_notice;
    Status m_status;
};

// The system's own words for an error, without the final full stop ("" when
// it has none).
std::string SystemWords(unsigned long error);
