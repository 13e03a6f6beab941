#include "core/SettingsStore.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/IniRules.h"
#include "core/logic/ProfileText.h"
#include "core/logic/SetupRules.h"

using namespace kelvane;

namespace {

// The platform's private-profile reader on the INI path. Saves do not come
// here: they render their keys, and SettingsFile writes them all at once.
class Win32Profile : public ProfileStore {
public:
    explicit Win32Profile(const std::string& path) : m_path(path) {}
    std::string Read(const char* section, const char* key, const char* defaultText, size_t bufferSize) override {
        std::vector<char> buf(bufferSize + 1, '\0');
        GetPrivateProfileStringA(section, key, defaultText, buf.data(), static_cast<DWORD>(bufferSize), m_path.c_str());
        return std::string(buf.data());
    }
    void Write(const char*, const char*, const std::string&) override {}

private:
    std::string m_path;
};

// The start-up's reads: from the bytes the settings file read, parsed once,
// when they are in the plain form every platform reads alike; through the
// platform's reader (which opens and parses the file at every key) otherwise.
class LoadProfile : public ProfileStore {
public:
    LoadProfile(ProfileText& text, const std::string& path) : m_text(text), m_platform(path) {}
    std::string Read(const char* section, const char* key, const char* defaultText, size_t bufferSize) override {
        return m_text.Exact() ? m_text.Read(section, key, defaultText, bufferSize)
                              : m_platform.Read(section, key, defaultText, bufferSize);
    }
    void Write(const char*, const char*, const std::string&) override {}

private:
    ProfileText& m_text;
    Win32Profile m_platform;
};

// Every section the settings file holds, in the start-up's order.
void LoadEverySection(ParameterSet& p, ProfileStore& ini, const BlockView& process) {
    LoadGeneralControl(p, ini);
    LoadDtGainControl(p, ini);
    LoadDipoleControl(p, ini);
    LoadMonopoleControl(p, ini);
    LoadAcousticProcess(p, ini, process);
    LoadOptions(p, ini);
}

}  // namespace

void CSettingsStore::LoadWorkFolder() {
    char buf[256] = {};
    GetPrivateProfileStringA(HOST_CONFIG_SECTION, HOST_CONFIG_WORK_KEY, "", buf, sizeof buf, HOST_CONFIG_PATH);
    m_workFolder = buf;
    // Fixed now, for every save of this load: without a work folder the
    // file is at the root of the drive current now, wherever the host's
    // current directory goes later.
    m_iniPath = m_workFolder + "\\" + SETTINGS_FILE_NAME;
    std::vector<char> full(m_iniPath.size() + MAX_PATH);
    const DWORD n = GetFullPathNameA(m_iniPath.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n > 0 && n < full.size()) m_iniPath.assign(full.data(), n);
}

void CSettingsStore::Load(const BlockView& process) {
    // A file that exists but cannot be read starts as a missing one does:
    // read through the platform it would load 0 for every key.
    const CSettingsFile::State state = m_file.Open(m_iniPath);
    m_fileUnreadable = state == CSettingsFile::State::Unreadable;
    if (state != CSettingsFile::State::Readable) {
        SetDefaultParameters(m_params, process);
        return;
    }
    ProfileText loaded(m_file.LoadedBytes());  // parsed once, for the reads and for the saves' listing
    LoadProfile ini(loaded, m_file.ReadPath());
    LoadEverySection(m_params, ini, process);
    m_file.EndLoad(loaded);
}

bool CSettingsStore::TakeNewestSettings(const BlockView& process, const LastSentLookup& lastSent) {
    const std::string copy = m_file.UnsavedCopy();
    if (!copy.empty()) {
        Win32Profile ini(copy);
        LoadEverySection(m_params, ini, process);
        m_file.TakeBack(copy);
        return true;
    }
    if (!m_fileUnreadable) return false;
    // Unreadable (held, damaged, too long a path): what the tool holds.
    const ToolView tool = ToolHolds(m_params, lastSent);
    const std::vector<SetupSetting>& rows = SetupSettings();
    bool any = false;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (!tool.known[i]) continue;
        std::memcpy(reinterpret_cast<unsigned char*>(&m_params) + rows[i].member,
                    reinterpret_cast<const unsigned char*>(&tool.values) + rows[i].member, 4);
        any = true;
    }
    return any;
}

void CSettingsStore::NoteStartingSettings() {
    const SavedKeys starting = Render();
    m_file.NoteStartingSettings(starting);
    m_schedule.Written(starting);
}

SavedKeys CSettingsStore::Render() const {
    RecordingProfile rendered;
    SaveGeneralControl(m_params, rendered);
    SaveDtGainControl(m_params, rendered);
    SaveMonopoleControl(m_params, rendered);
    SaveDipoleControl(m_params, rendered);
    SaveAcousticProcess(m_params, rendered);
    SaveOptions(m_params, rendered);
    return rendered.Keys();
}

void CSettingsStore::Post(const SavedKeys& keys) {
    m_saveWorker.Post(keys);
    // Attempted, whatever came of it: a file that cannot be written is not
    // tried again at every tick (unload and exit try again).
    m_schedule.Written(keys);
}

void CSettingsStore::SaveWhenSettled() {
    const SavedKeys keys = Render();
    if (m_schedule.Due(keys, GetTickCount())) Post(keys);
}

void CSettingsStore::SaveIfChanged() {
    const SavedKeys keys = Render();
    if (m_schedule.Unwritten(keys)) Post(keys);
}

void CSettingsStore::SaveAtUnload(DWORD lockWaitMs) {
    CSettingsFile::SetLockWait(lockWaitMs);
    const SavedKeys keys = Render();
    m_saveWorker.SaveNow(keys);
    m_schedule.Written(keys);
}

void CSettingsStore::SaveAtExit() { m_saveWorker.SaveAtExit(Render()); }

// Told when no write is in progress; a write waiting out a lock leaves the
// notice for the next time the window opens.
bool CSettingsStore::NoticePending() {
    bool pending = false;
    m_saveWorker.IfIdle([&](CSettingsFile& file) { pending = file.NoticePending(); });
    return pending;
}

std::string CSettingsStore::TakeNotice() {
    std::string notice;
    m_saveWorker.IfIdle([&](CSettingsFile& file) { notice = file.TakeNotice(); });
    return notice;
}

std::string CSettingsStore::SettingsFolder() const {
    const size_t slash = m_iniPath.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : m_iniPath.substr(0, slash);
}

std::string CSettingsStore::SetupFolder() const { return SettingsFolder() + "\\" + kSetupFolder; }
