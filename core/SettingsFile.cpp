#include "core/SettingsFile.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "KelvaneHost.h"
#include "core/FieldTrace.h"
#include "core/PlatformListing.h"

using kelvane::ListProfile;
using kelvane::ProfileListing;
using kelvane::SavedKeys;
using kelvane::SavePlan;

namespace {

// How long a lock held by someone else (a scanner, a backup, a sync tool) is
// waited out before the file counts as unreadable or unwritable.
constexpr DWORD kLockWaitMs = 1000;
std::atomic<DWORD> g_lockWaitMs{kLockWaitMs};
constexpr DWORD kRetryStepMs = 50;
// The copy's own section: whose settings these are, why they are here, and
// whether the operator has been told.
constexpr const char* kNoteSection = "UNSAVED SETTINGS";
constexpr const char* kFailureKind = "not saved";
constexpr const char* kConflictKind = "changed elsewhere";

// Errors that pass when whoever holds the file lets go. Replacing a file that
// is open without delete sharing fails as access denied.
bool Passing(DWORD error, bool accessDeniedPasses) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           (accessDeniedPasses && error == ERROR_ACCESS_DENIED);
}

// Runs attempt (false with error set on failure) until it succeeds, fails for
// a lasting reason, or the wait is over.
template <class Attempt>
bool Retrying(Attempt attempt, DWORD& error, bool accessDeniedPasses = false) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (attempt(error)) {
            error = ERROR_SUCCESS;
            return true;
        }
        if (!Passing(error, accessDeniedPasses) || GetTickCount() - start >= g_lockWaitMs.load()) return false;
        Sleep(kRetryStepMs);
    }
}

bool ReadAll(HANDLE file, std::string& out, DWORD& error) {
    std::string bytes;
    char chunk[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
            error = GetLastError();
            return false;
        }
        if (got == 0) break;
        bytes.append(chunk, got);
    }
    out.swap(bytes);
    return true;
}

// Opens path for reading, sharing everything, and reads it whole; keep (when
// given) receives the open handle.
bool OpenAndRead(const std::string& path, std::string& bytes, DWORD& error, HANDLE* keep = nullptr) {
    return Retrying(
        [&](DWORD& e) {
            HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (f == INVALID_HANDLE_VALUE) {
                e = GetLastError();
                return false;
            }
            const bool read = ReadAll(f, bytes, e);
            if (read && keep) *keep = f;
            else CloseHandle(f);
            return read;
        },
        error);
}

bool WriteNewFile(const std::string& path, const std::string& bytes, DWORD& error) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // a read-only leftover of a crash
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    DWORD written = 0;
    const bool ok = bytes.empty() || (WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                      written == bytes.size());
    if (!ok) error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    CloseHandle(f);
    return ok;
}

bool FlushToDisk(const std::string& path, DWORD& error) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool ok = f != INVALID_HANDLE_VALUE && FlushFileBuffers(f);
    if (!ok) error = GetLastError();
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    return ok;
}

// The profile functions keep files they have read; this writes back and
// forgets path's, so the next call reads the disk.
void ForgetCached(const std::string& path) { WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()); }

std::string SystemMessage(DWORD error) {
    const std::string text = SystemWords(error);
    return text.empty() ? "The system gave no words for it" : text;
}

// Why a file could not be read or written, in words: brief (with the file's
// name) for the status strip, whole for the message and the copy.
struct Why {
    std::string brief;
    std::string words;
    std::string tag;  // the reason in a word or two, where room is short
};
Why Reason(DWORD error, const std::string& name) {
    switch (error) {
    case ERROR_FILE_READ_ONLY: return {name + " is read-only", "The file is read-only.", "read-only"};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return {name + " is locked by another program",
                "Another program holds the file open without sharing it (locked).", "locked"};
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return {"the folder of " + name + " is missing",
                "Its folder is missing (removed, or its drive or network share is not connected).", "folder missing"};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return {"the disk of " + name + " is full", "The disk is full.", "disk full"};
    case ERROR_FILENAME_EXCED_RANGE:
        return {"the path of " + name + " is too long",
                "Its path is longer than the system allows for a file (" + std::to_string(MAX_PATH - 1) +
                    " characters), and the folder has no short name that fits.",
                "path too long"};
    case ERROR_WRITE_FAULT:
        return {name + " could not be written whole",
                "The file could not be written whole (the disk may be full or failing).", "written short"};
    case ERROR_ACCESS_DENIED:
        return {name + " may not be written",
                "Access is denied: this user may not write there, or another program holds the file.", "access denied"};
    default:
        return {name + " could not be written: " + SystemMessage(error),
                SystemMessage(error) + " (system error " + std::to_string(error) + ").",
                "system error " + std::to_string(error)};
    }
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

bool Fits(const std::string& path) { return path.size() < MAX_PATH; }

// The private file a save writes before it replaces its target.
std::string TempPath(const std::string& target) {
    return FolderOf(target) + "\\" + kelvane::SaveTempName(GetCurrentProcessId());
}

bool ProcessAlive(DWORD pid) {
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!p) return GetLastError() == ERROR_ACCESS_DENIED;  // there, but not ours to look at
    const bool alive = WaitForSingleObject(p, 0) == WAIT_TIMEOUT;
    CloseHandle(p);
    return alive;
}

// Private files of saves that a crash cut short: their process is gone.
void RemoveCrashLeftovers(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*" + kelvane::kSaveTempExt).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        uint32_t pid = 0;
        if (kelvane::SaveTempProcess(found.cFileName, &pid) && pid != 0 && !ProcessAlive(pid))
            DeleteFileA((folder + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

// "DT GAIN CONTROL Ch1Gain, ..." for the operator.
std::string KeyList(const SavedKeys& keys, bool withValues) {
    std::string text;
    for (const kelvane::SavedKey& k : keys) {
        if (!text.empty()) text += ", ";
        text += k.section + " " + k.key;
        if (withValues) text += " (" + k.text + ")";
    }
    return text;
}

}  // namespace

std::string SystemWords(unsigned long error) {
    char buf[512] = {};
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK, nullptr, error, 0,
        buf, sizeof buf, nullptr);
    std::string text(buf, n);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n' || text.back() == '.'))
        text.pop_back();
    return text;
}

CSettingsFile::~CSettingsFile() {
    if (m_loadHandle != INVALID_HANDLE_VALUE) CloseHandle(m_loadHandle);
}

void CSettingsFile::SetLockWait(DWORD ms) { g_lockWaitMs.store(ms); }

CSettingsFile::State CSettingsFile::Open(const std::string& iniPath) {
    m_iniPath = m_ioPath = iniPath;
    m_shownFolder = m_ioFolder = FolderOf(iniPath);
    // Past the platform's limit the profile functions fail (the writer
    // reports success and writes nothing): the same file by its folder's
    // short name, when the volume gives one that fits.
    if (!Fits(iniPath)) {
        char shortFolder[MAX_PATH] = {};
        const DWORD n = GetShortPathNameA(m_shownFolder.c_str(), shortFolder, sizeof shortFolder);
        const std::string ioPath = std::string(shortFolder) + "\\" + NameOf(iniPath);
        if (n > 0 && n < sizeof shortFolder && Fits(ioPath)) {
            m_ioFolder = shortFolder;
            m_ioPath = ioPath;
        }
    }
    if (!Fits(m_ioPath)) {
        const Why why = Reason(ERROR_FILENAME_EXCED_RANGE, NameOf(iniPath));
        m_mayWriteIni = false;
        m_unreadBrief = why.brief;
        m_unreadTag = why.tag;
        m_unreadReason = why.words + " The plug-in began from its default settings.";
        TellAtOpening(m_unreadReason);
        return State::Unreadable;
    }
    RemoveCrashLeftovers(m_ioFolder);
    FindUntoldCopy();
    if (GetFileAttributesA(m_ioPath.c_str()) == INVALID_FILE_ATTRIBUTES) return State::Missing;
    // The profile functions read a file they cannot open as an empty one:
    // every key would load 0. Held open (sharing everything) no one can lock
    // it until the load is done.
    if (OpenAndRead(m_ioPath, m_loadedBytes, m_openError, &m_loadHandle)) return State::Readable;
    const Why why = Reason(m_openError, NameOf(iniPath));
    m_mayWriteIni = false;
    m_unreadBrief = NameOf(iniPath) + " was not read at start-up (" + why.brief + ")";
    m_unreadTag = "not read at start-up";
    m_unreadReason = "It could not be read when the plug-in started: " + why.words +
                     " So the plug-in began from its default settings and does not write over it.";
    TellAtOpening(m_unreadReason);
    return State::Unreadable;
}

// A file the session may not write: the operator hears of it as the window
// opens (before any copy of an earlier session), and where changes will go.
void CSettingsFile::TellAtOpening(const std::string& reason) {
    const std::vector<std::string> copies = CopyPaths();
    const std::string copy = copies.empty() ? std::string() : copies.front();
    const std::unique_lock<std::mutex> state = LockState();
    m_notice = Notice{true, Kind::Failure, Shown(copy), copy, reason};
}

void CSettingsFile::EndLoad(const kelvane::ProfileText& loaded) {
    if (m_loadHandle == INVALID_HANDLE_VALUE) return;
    // What the file said, key by key, while no one could lock it: what a
    // save tells this session's changes from other programs' by. From the
    // bytes read when every platform lists them line for line (each section
    // function would open and parse the file again).
    if (loaded.ListsExact()) {
        m_loadedListing = loaded.Listing();
    } else {
        ForgetCached(m_ioPath);
        m_loadedListing = ListProfile(m_ioPath);
        ForgetCached(m_ioPath);
    }
    CloseHandle(m_loadHandle);
    m_loadHandle = INVALID_HANDLE_VALUE;
}

void CSettingsFile::NoteStartingSettings(const SavedKeys& keys) {
    m_startingKeys = keys;
    m_basis.Read(keys, m_loadedListing);
    m_knownListing = m_loadedListing;
}

void CSettingsFile::Save(const SavedKeys& keys) {
    if (!m_mayWriteIni) {
        // Never over a file whose values were not read: the copy holds the
        // settings whole, nothing from that file, once they differ from the
        // starting ones.
        if (keys == m_startingKeys || keys == m_copiedKeys) return;
        const std::string copy = SaveToCopy(keys, Kind::Failure, m_unreadReason, std::string());
        if (!copy.empty()) m_copiedKeys = keys;
        SetStatus(FailureStatus(m_unreadBrief, m_unreadTag, m_unreadReason, copy));
        return;
    }
    // The file as it is now: a file locked now is taken as last seen, a
    // file gone is written whole.
    std::string current;
    ProfileListing listing;
    DWORD error = ERROR_SUCCESS;
    bool readNow = false;
    const DWORD attrs = GetFileAttributesA(m_ioPath.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        readNow = OpenAndRead(m_ioPath, current, error);
        ForgetCached(m_ioPath);
        listing = readNow ? ListProfile(m_ioPath) : m_knownListing;
        ForgetCached(m_ioPath);
        m_knownListing = listing;
    }
    const SavePlan plan = m_basis.Plan(keys, listing);
    if (plan.writes.empty()) {
        m_basis.Settled(plan.settled);
        return;
    }
    if (error == ERROR_SUCCESS && WriteAtomically(m_ioPath, current, plan.writes, error)) {
        m_basis.Settled(plan.settled);
        m_knownListing = kelvane::ListingAfterWrites(listing, plan.writes);
        // The file now holds all that a copy of unsaved settings held.
        if (!m_failureCopy.empty()) {
            DeleteFileA(m_failureCopy.c_str());
            const std::unique_lock<std::mutex> state = LockState();
            if (SamePath(m_notice.copyIo, m_failureCopy)) m_notice.pending = false;
            m_failureCopy.clear();
        }
        m_copiedKeys.clear();
        if (plan.conflicts.empty()) {
            SetStatus(Status{});
            return;
        }
        // This session's values went in; the other program's stay in the
        // copy, as the file was before this save.
        const std::string reason = "Changed here and by another program since the plug-in read the file: " +
                                   KeyList(plan.conflicts, true) + ".";
        const std::string copy = SaveToCopy({}, Kind::Conflict, reason, current);
        Status status;
        status.line = "Settings saved; also changed elsewhere: " + KeyList(plan.conflicts, false) +
                      (copy.empty() ? "" : "; the other values are kept in " + NameOf(copy));
        status.shortLine = "Settings saved; also changed elsewhere";
        status.tip = "Saved to " + m_iniPath + ". " + reason +
                     (copy.empty() ? " The other values could not be kept."
                                   : " The file as the other program left it is kept in " + copy + ".");
        SetStatus(status);
        return;
    }
    // What the file would have become (a file not read now: all the keys
    // over the file as read at start-up), when it is worth a copy: one that
    // would only repeat the file's values tells nothing, and could overwrite
    // a copy of an earlier session the operator has not seen.
    const Why why = Reason(error, NameOf(m_iniPath));
    const SavedKeys& copied = readNow ? plan.writes : keys;
    std::string copy;
    if (plan.changedHere && copied != m_copiedKeys) {
        copy = SaveToCopy(copied, Kind::Failure, why.words, readNow ? current : m_loadedBytes);
        if (!copy.empty()) m_copiedKeys = copied;
    } else if (!m_failureCopy.empty()) {
        copy = Shown(m_failureCopy);
    }
    SetStatus(FailureStatus(why.brief, why.tag, why.words, copy));
}

CSettingsFile::Status CSettingsFile::FailureStatus(const std::string& brief, const std::string& tag,
                                                   const std::string& words, const std::string& copy) const {
    Status status;
    status.line = "Settings not saved: " + brief + (copy.empty() ? "" : "; kept in " + NameOf(copy));
    status.shortLine = "Settings not saved (" + tag + ")";
    status.tip = "Not saved to " + m_iniPath + ". " + words +
                 (copy.empty() ? "" : " The settings are kept in " + copy + ".");
    FieldTrace::Note(kelvane::TraceKind::SaveFallback, status.tip.c_str());
    return status;
}

std::string CSettingsFile::SaveToCopy(const SavedKeys& keys, Kind kind, const std::string& reason,
                                      const std::string& base) {
    const std::vector<std::string> copies = CopyPaths();
    for (const std::string& copy : copies) {
        if (&copy != &copies.front()) CreateDirectoryA(FolderOf(copy).c_str(), nullptr);
        std::string shown = Shown(copy);
        bool told;
        {
            const std::unique_lock<std::mutex> state = LockState();
            told = m_toldAbout == (shown + '\n').append(reason);
        }
        SavedKeys noted = keys;
        noted.push_back({kNoteSection, "For", m_iniPath});
        noted.push_back({kNoteSection, "Reason", reason});
        noted.push_back({kNoteSection, "Kind", kind == Kind::Conflict ? kConflictKind : kFailureKind});
        noted.push_back({kNoteSection, "Shown", told ? "1" : "0"});
        DWORD error = ERROR_SUCCESS;
        if (!WriteAtomically(copy, base, noted, error)) continue;
        if (kind == Kind::Failure) m_failureCopy = copy;
        const std::unique_lock<std::mutex> state = LockState();
        if (!told) m_notice = Notice{true, kind, shown, copy, reason};
        return shown;
    }
    return std::string();
}

// Beside the INI, then in the user's local application data (when known and
// not the same file); only paths the file functions can reach.
std::vector<std::string> CSettingsFile::CopyPaths() const {
    const std::string name = kelvane::SettingsCopyName(m_iniPath);
    std::vector<std::string> copies;
    const std::string beside = m_ioFolder + "\\" + name;
    if (Fits(beside)) copies.push_back(beside);
    char buf[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("LOCALAPPDATA", buf, sizeof buf);
    const std::string local = std::string(buf) + "\\Kelvane\\" + name;
    if (n > 0 && n < sizeof buf && Fits(local) && (copies.empty() || !SamePath(local, copies.front())))
        copies.push_back(local);
    return copies;
}

// A path in the INI's folder as the operator knows that folder.
std::string CSettingsFile::Shown(const std::string& ioPath) const {
    const std::string folder = m_ioFolder + "\\";
    if (ioPath.size() > folder.size() && SamePath(ioPath.substr(0, folder.size()), folder))
        return m_shownFolder + "\\" + ioPath.substr(folder.size());
    return ioPath;
}

bool CSettingsFile::WriteAtomically(const std::string& target, const std::string& base, const SavedKeys& keys,
                                    DWORD& error) {
    const DWORD attrs = GetFileAttributesA(target.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY)) {
        error = ERROR_FILE_READ_ONLY;  // the platform's writer refuses it too
        return false;
    }
    // The keys go into a private file beside the target (same volume: the
    // rename is atomic), through the platform's writer, so the text is what
    // it gives; the file must then list exactly as the writes make it (a
    // short write, on a full disk for one, does not) before it replaces the
    // target in one step.
    const std::string temp = TempPath(target);
    bool ok = WriteNewFile(temp, base, error);
    if (ok) {
        ForgetCached(temp);
        const ProfileListing before = ListProfile(temp);
        for (const kelvane::SavedKey& k : keys) {
            if (!WritePrivateProfileStringA(k.section.c_str(), k.key.c_str(), k.text.c_str(), temp.c_str())) {
                error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
                ok = false;
                break;
            }
        }
        ForgetCached(temp);
        if (ok && !(ListProfile(temp) == kelvane::ListingAfterWrites(before, keys))) {
            error = ERROR_WRITE_FAULT;
            ok = false;
        }
    }
    ok = ok && FlushToDisk(temp, error);
    if (ok && attrs != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(temp.c_str(), attrs);
    ok = ok &&
         Retrying(
             [&](DWORD& e) {
                 if (MoveFileExA(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                     return true;
                 e = GetLastError();
                 return false;
             },
             error, true);
    ForgetCached(temp);
    if (!ok) DeleteFileA(temp.c_str());
    ForgetCached(target);
    return ok;
}

// A copy of this file's settings from an earlier session that the operator
// has not been told of.
void CSettingsFile::FindUntoldCopy() {
    for (const std::string& copy : CopyPaths()) {
        if (GetFileAttributesA(copy.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        char owner[1024] = {}, reason[2048] = {}, kind[16] = {}, shown[4] = {};
        GetPrivateProfileStringA(kNoteSection, "For", "", owner, sizeof owner, copy.c_str());
        GetPrivateProfileStringA(kNoteSection, "Reason", "", reason, sizeof reason, copy.c_str());
        GetPrivateProfileStringA(kNoteSection, "Kind", "", kind, sizeof kind, copy.c_str());
        GetPrivateProfileStringA(kNoteSection, "Shown", "", shown, sizeof shown, copy.c_str());
        ForgetCached(copy);
        if (SamePath(owner, m_iniPath) && std::string(shown) != "1") {
            const std::unique_lock<std::mutex> state = LockState();
            m_notice = Notice{true, std::string(kind) == kConflictKind ? Kind::Conflict : Kind::Failure, Shown(copy),
                              copy, reason};
            return;
        }
    }
}

std::string CSettingsFile::UnsavedCopy() const {
    for (const std::string& copy : CopyPaths()) {
        if (GetFileAttributesA(copy.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        char owner[1024] = {}, kind[32] = {};
        GetPrivateProfileStringA(kNoteSection, "For", "", owner, sizeof owner, copy.c_str());
        GetPrivateProfileStringA(kNoteSection, "Kind", "", kind, sizeof kind, copy.c_str());
        ForgetCached(copy);
        if (SamePath(owner, m_iniPath) && std::string(kind) == kFailureKind) return copy;
    }
    return std::string();
}

void CSettingsFile::TakeBack(const std::string& copyIo) {
    m_failureCopy = copyIo;
    const std::unique_lock<std::mutex> state = LockState();
    // A file that could not be read at start is told of first; the copy
    // taken back goes with it.
    if (m_notice.pending && m_notice.kind == Kind::Failure && m_notice.copyIo != copyIo) {
        m_notice.reason += " The settings kept in " + Shown(copyIo) + " are in force.";
        return;
    }
    m_notice = Notice{true, Kind::TakenBack, Shown(copyIo), copyIo, ""};
}

bool CSettingsFile::NoticePending() const {
    const std::unique_lock<std::mutex> state = LockState();
    return m_notice.pending;
}

void CSettingsFile::SetStatus(const Status& status) {
    const std::unique_lock<std::mutex> state = LockState();
    m_status = status;
}

CSettingsFile::Status CSettingsFile::LastStatus() const {
    const std::unique_lock<std::mutex> state = LockState();
    return m_status;
}

std::string CSettingsFile::TakeNotice() {
    Notice notice;
    {
        const std::unique_lock<std::mutex> state = LockState();
        if (!m_notice.pending) return std::string();
        notice = m_notice;
        m_notice.pending = false;
        m_toldAbout = notice.copy + '\n' + notice.reason;
    }
    // Marked in the copy, so no later start-up tells again.
    if (!notice.copyIo.empty()) {
        std::string bytes;
        DWORD error = ERROR_SUCCESS;
        if (GetFileAttributesA(notice.copyIo.c_str()) != INVALID_FILE_ATTRIBUTES &&
            OpenAndRead(notice.copyIo, bytes, error))
            WriteAtomically(notice.copyIo, bytes, {{kNoteSection, "Shown", "1"}}, error);
    }
    if (notice.kind == Kind::TakenBack)
        return "The control settings that could not be saved to\r\n" + m_iniPath +
               "\r\nwhen the plug-in last unloaded were kept in\r\n" + notice.copy +
               "\r\n\r\nThey are in force again. They go into the first file at the next save, and the copy is "
               "then removed.";
    if (notice.kind == Kind::Conflict)
        return "Another program changed settings in\r\n" + m_iniPath +
               "\r\nwhile the control window changed them too.\r\n\r\n" + notice.reason +
               "\r\n\r\nThe values set here were saved. The file as the other program left it is kept in\r\n" +
               notice.copy + "\r\n\r\nTo use its values instead, set them again, or copy that file over the first.";
    if (notice.copy.empty())
        return "The control settings could not be saved to\r\n" + m_iniPath + "\r\n\r\n" + notice.reason +
               "\r\n\r\nNo copy of them could be written either.";
    return "The control settings could not be saved to\r\n" + m_iniPath + "\r\n\r\n" + notice.reason +
           "\r\n\r\nThey are saved to\r\n" + notice.copy +
           "\r\n\r\nThe plug-in reads only the first file: to keep these settings, copy the second over it once "
           "it can be written.";
}

std::atomic<bool> CSettingsFile::s_atExit{false};

void CSettingsFile::EnterProcessExit() { s_atExit = true; }

// At process exit the other threads are gone, perhaps one of them while it
// held the lock: it is not waited for (nothing else runs to race with).
std::unique_lock<std::mutex> CSettingsFile::LockState() const {
    if (s_atExit) return std::unique_lock<std::mutex>(m_state, std::try_to_lock);
    return std::unique_lock<std::mutex>(m_state);
}
