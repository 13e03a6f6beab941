// "KelvaneCtrl.ini" on disk. Read at start-up through short locks, and held
// open while it is read so no one can lock it halfway; written atomically (a
// complete, checked file replaces the old one, or nothing does), through
// short locks; never written over when its values were not read. What cannot
// go to the file goes to a clearly named copy beside it, or in the user's
// local application data, and the operator is told once where and why.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/logic/SaveRules.h"

class CSettingsFile {
public:
    CSettingsFile() = default;
    CSettingsFile(const CSettingsFile&) = delete;
    CSettingsFile& operator=(const CSettingsFile&) = delete;
    ~CSettingsFile();

    // Start-up. Readable: the file is held open until EndLoad. Unreadable: it
    // exists, but could not be read within the wait (or is not a file).
    enum class State { Missing, Readable, Unreadable };
    State Open(const std::string& iniPath);
    // The file's bytes as Open read them (Readable only).
    const std::string& LoadedBytes() const { return m_loadedBytes; }
    void EndLoad();

    // What the settings were when the plug-in started (loaded or defaults).
    void NoteStartingSettings(const kelvane::SavedKeys& keys);
    // Writes the keys to the INI when it may, else (or when that fails) to
    // the copy beside it, else to the copy in local application data; a copy
    // only when they differ from the starting settings.
    void Save(const kelvane::SavedKeys& keys);

    // Where the settings went and why, when not to the INI: "" when there is
    // nothing the operator has not been told. Told once.
    bool NoticePending() const { return m_notice.pending; }
    std::string TakeNotice();

private:
    // base: the target's text before the keys go in.
    bool WriteAtomically(const std::string& target, const std::string& base, const kelvane::SavedKeys& keys,
                         DWORD& error);
    void SaveToCopy(const kelvane::SavedKeys& keys, const std::string& reason, const std::string& base);
    std::vector<std::string> CopyPaths() const;
    void FindUntoldCopy();

    struct Notice {
        bool pending = false;
        std::string copy;
        std::string reason;
    };

    std::string m_iniPath;
    bool m_mayWriteIni = true;  // false: the file exists and was not read
    DWORD m_openError = 0;
    std::string m_unreadReason;
    kelvane::SavedKeys m_startingKeys;
    std::string m_loadedBytes;  // the file as read at start-up
    HANDLE m_loadHandle = INVALID_HANDLE_VALUE;
    std::string m_sessionCopy;  // a copy written since start-up
    std::string m_toldAbout;    // copy and reason the operator has been told of
    Notice m_notice;
};
