// The parameter set's life on disk: where "KelvaneCtrl.ini" is (fixed when
// the library loads), the load at start-up, and the saves: a couple of
// seconds after the operator's last change and when the window closes (on
// the save thread, CSaveWorker), at unload (on the unloading thread, last),
// and at process exit. What the file could not take, and why, is kept for
// the status strip and told once as the window opens (CSettingsFile).
#pragma once

#include <string>

#include "core/SaveWorker.h"
#include "core/SettingsFile.h"
#include "core/logic/ParameterSet.h"
#include "core/logic/SaveRules.h"
#include "core/logic/SharedBlock.h"
#include "core/logic/ToolState.h"

class CSettingsStore {
public:
    explicit CSettingsStore(kelvane::ParameterSet& params) : m_params(params) {}
    CSettingsStore(const CSettingsStore&) = delete;
    CSettingsStore& operator=(const CSettingsStore&) = delete;

    // The host's work folder + "\KelvaneCtrl.ini", made full now: without a
    // work folder, at the root of the drive that is current now.
    void LoadWorkFolder();
    // Start-up: every section from the file, or the defaults when there is
    // no file it could read. Never writes the file; process: the block the
    // acoustic settings go to as they load.
    void Load(const kelvane::BlockView& process);
    // After the start-up's publishing: what a later save compares with.
    void NoteStartingSettings();
    // Then the newest good source: settings a save could not put in the file
    // (kept in its copy) are in force again, as changes the next save writes;
    // without a copy, a file that could not be read gives way to what the
    // tool was last sent (defaults only where neither knows). True when the
    // parameter set changed (the blocks are to be published again).
    bool TakeNewestSettings(const kelvane::BlockView& process, const kelvane::LastSentLookup& lastSent);

    // From the window's timer: a save once the settings have stayed changed
    // a moment. When the window closes: a save of whatever changed. Both
    // written by the save thread; neither ever waits on the file.
    void SaveWhenSettled();
    void SaveIfChanged();
    // Unload: nothing more goes to the save thread, and a write waiting out
    // a lock gives up.
    void StopBackgroundSaves() { m_saveWorker.Stop(); }
    // Unload: written here, after any background write, waiting out a lock
    // on the file for lockWaitMs at most.
    void SaveAtUnload(DWORD lockWaitMs);
    // Process exit: other threads are gone, perhaps in the middle of a write.
    void SaveAtExit();

    // Where the settings went when not to the INI, and why: told once, as
    // the control window opens ("" when there is nothing to tell). Looked at
    // only when no write is in progress.
    bool NoticePending();
    std::string TakeNotice();
    // How the last save that had something to write went ("" line: well).
    CSettingsFile::Status Status() const { return m_file.LastStatus(); }

    const std::string& WorkFolder() const { return m_workFolder; }
    // The settings file's folder as the file functions reach it (after Load).
    const std::string& IoFolder() const { return m_file.IoFolder(); }
    // The settings file's folder, full, as fixed at load (a relative or
    // missing work folder resolved then); set-ups live in "Setups" there.
    std::string SettingsFolder() const;
    std::string SetupFolder() const;

private:
    kelvane::SavedKeys Render() const;
    void Post(const kelvane::SavedKeys& keys);

    kelvane::ParameterSet& m_params;
    bool m_fileUnreadable = false;  // there, but the start-up could not read it
    std::string m_iniPath;
    std::string m_workFolder;
    CSettingsFile m_file;
    CSaveWorker m_saveWorker{m_file};
    kelvane::SaveSchedule m_schedule;
};
