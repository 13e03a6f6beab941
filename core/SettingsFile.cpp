#include "core/SettingsFile.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "KelvaneHost.h"

using kelvane::ProfileListing;
using kelvane::SavedKeys;

namespace {

// How long a lock held by someone else (a scanner, a backup, a sync tool) is
// waited out before the file counts as unreadable or unwritable.
constexpr DWORD kLockWaitMs = 1000;
constexpr DWORD kRetryStepMs = 50;
// The copy's own section: whose settings these are, why they are here, and
// whether the operator has been told.
constexpr const char* kNoteSection = "UNSAVED SETTINGS";

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
        if (!Passing(error, accessDeniedPasses) || GetTickCount() - start >= kLockWaitMs) return false;
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
            if (read && keep)
                *keep = f;
            else
                CloseHandle(f);
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
    const bool ok = bytes.empty() ||
                    (WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
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

// A double-zero-terminated list from a profile function that returns size - 2
// when its buffer was too small.
template <class Fill>
std::vector<std::string> ProfileList(Fill fill) {
    std::vector<char> buf(4096);
    DWORD n;
    while ((n = fill(buf.data(), static_cast<DWORD>(buf.size()))) >= buf.size() - 2 && buf.size() < (1u << 26))
        buf.resize(buf.size() * 2);
    std::vector<std::string> items;
    for (const char* p = buf.data(); p < buf.data() + n && *p; p += items.back().size() + 1) items.emplace_back(p);
    return items;
}

// The file as the platform's reader sees it.
ProfileListing ListProfile(const std::string& path) {
    ProfileListing listing;
    listing.names = ProfileList([&](char* b, DWORD n) { return GetPrivateProfileSectionNamesA(b, n, path.c_str()); });
    for (const std::string& name : kelvane::DistinctNames(listing.names))
        listing.lines.push_back(ProfileList(
            [&](char* b, DWORD n) { return GetPrivateProfileSectionA(name.c_str(), b, n, path.c_str()); }));
    return listing;
}

std::string SystemMessage(DWORD error) {
    char buf[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                       FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                   nullptr, error, 0, buf, sizeof buf, nullptr);
    std::string text(buf, n);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text.empty() ? "error " + std::to_string(error) : text;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// The private file a save writes before it replaces its target, named after
// the process, so two hosts saving at once never share one.
std::string TempPath(const std::string& target) {
    return target + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
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
    HANDLE find = FindFirstFileA((folder + "\\KelvaneCtrl*.tmp").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        const size_t dot = name.rfind('.', name.size() - 5);
        if (dot == std::string::npos) continue;
        char* end = nullptr;
        const unsigned long pid = std::strtoul(name.c_str() + dot + 1, &end, 10);
        if (pid != 0 && std::strcmp(end, ".tmp") == 0 && !ProcessAlive(pid))
            DeleteFileA((folder + "\\" + name).c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

}  // namespace

CSettingsFile::~CSettingsFile() { EndLoad(); }

CSettingsFile::State CSettingsFile::Open(const std::string& iniPath) {
    m_iniPath = iniPath;
    RemoveCrashLeftovers(FolderOf(iniPath));
    FindUntoldCopy();
    if (GetFileAttributesA(iniPath.c_str()) == INVALID_FILE_ATTRIBUTES) return State::Missing;
    // The profile functions read a file they cannot open as an empty one:
    // every key would load 0. Held open (sharing everything) no one can lock
    // it until the load is done.
    if (OpenAndRead(iniPath, m_loadedBytes, m_openError, &m_loadHandle)) return State::Readable;
    m_mayWriteIni = false;
    m_unreadReason = "It could not be read when the plug-in started (" + SystemMessage(m_openError) +
                     "), so the plug-in began from its default settings and does not write over it.";
    m_notice = Notice{true, CopyPaths().front(), m_unreadReason};
    return State::Unreadable;
}

void CSettingsFile::EndLoad() {
    if (m_loadHandle != INVALID_HANDLE_VALUE) CloseHandle(m_loadHandle);
    m_loadHandle = INVALID_HANDLE_VALUE;
}

void CSettingsFile::NoteStartingSettings(const SavedKeys& keys) { m_startingKeys = keys; }

void CSettingsFile::Save(const SavedKeys& keys) {
    std::string current;  // the file's text now
    bool readNow = false;
    DWORD error = ERROR_SUCCESS;
    if (m_mayWriteIni) {
        const DWORD attrs = GetFileAttributesA(m_iniPath.c_str());
        if (attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY))
            readNow = OpenAndRead(m_iniPath, current, error);
        // Gone, or never there: a new file.
        if (error == ERROR_SUCCESS && WriteAtomically(m_iniPath, current, keys, error)) {
            // The file now holds all that a copy made since start-up held.
            if (!m_sessionCopy.empty()) {
                DeleteFileA(m_sessionCopy.c_str());
                if (SamePath(m_notice.copy, m_sessionCopy)) m_notice.pending = false;
                m_sessionCopy.clear();
            }
            return;
        }
    }
    // A copy that would only repeat the file's values tells nothing, and
    // could overwrite a copy of an earlier session the operator has not seen.
    if (keys == m_startingKeys) return;
    const std::string reason = m_mayWriteIni ? SystemMessage(error) : m_unreadReason;
    // The keys a save does not write come from the file (as it is, or was
    // when read at start-up), never from one whose values were not read.
    SaveToCopy(keys, reason, !m_mayWriteIni ? std::string() : readNow ? current : m_loadedBytes);
}

void CSettingsFile::SaveToCopy(const SavedKeys& keys, const std::string& reason, const std::string& base) {
    const std::vector<std::string> copies = CopyPaths();
    for (const std::string& copy : copies) {
        if (&copy != &copies.front()) CreateDirectoryA(FolderOf(copy).c_str(), nullptr);
        const bool told = m_toldAbout == (copy + '\n').append(reason);
        SavedKeys noted = keys;
        noted.push_back({kNoteSection, "For", m_iniPath});
        noted.push_back({kNoteSection, "Reason", reason});
        noted.push_back({kNoteSection, "Shown", told ? "1" : "0"});
        DWORD error = ERROR_SUCCESS;
        if (!WriteAtomically(copy, base, noted, error)) continue;
        m_sessionCopy = copy;
        if (!told) m_notice = Notice{true, copy, reason};
        return;
    }
}

// Beside the INI, then in the user's local application data (when known and
// not the same file).
std::vector<std::string> CSettingsFile::CopyPaths() const {
    std::vector<std::string> copies{FolderOf(m_iniPath) + "\\" + kelvane::SETTINGS_COPY_NAME};
    char buf[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("LOCALAPPDATA", buf, sizeof buf);
    const std::string local = std::string(buf) + "\\Kelvane\\" + kelvane::SETTINGS_COPY_NAME;
    if (n > 0 && n < sizeof buf && !SamePath(local, copies.front())) copies.push_back(local);
    return copies;
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
    ok = ok && Retrying(
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

void CSettingsFile::FindUntoldCopy() {
    for (const std::string& copy : CopyPaths()) {
        if (GetFileAttributesA(copy.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        char owner[1024] = {}, reason[1024] = {}, shown[4] = {};
        GetPrivateProfileStringA(kNoteSection, "For", "", owner, sizeof owner, copy.c_str());
        GetPrivateProfileStringA(kNoteSection, "Reason", "", reason, sizeof reason, copy.c_str());
        GetPrivateProfileStringA(kNoteSection, "Shown", "", shown, sizeof shown, copy.c_str());
        ForgetCached(copy);
        if (SamePath(owner, m_iniPath) && std::string(shown) != "1") {
            m_notice = Notice{true, copy, reason};
            return;
        }
    }
}

std::string CSettingsFile::TakeNotice() {
    if (!m_notice.pending) return std::string();
    m_notice.pending = false;
    m_toldAbout = m_notice.copy + '\n' + m_notice.reason;
    // Marked in the copy, so no later start-up tells again.
    std::string bytes;
    DWORD error = ERROR_SUCCESS;
    if (GetFileAttributesA(m_notice.copy.c_str()) != INVALID_FILE_ATTRIBUTES && OpenAndRead(m_notice.copy, bytes, error))
        WriteAtomically(m_notice.copy, bytes, {{kNoteSection, "Shown", "1"}}, error);
    return "The control settings could not be saved to\r\n" + m_iniPath + "\r\n\r\n" + m_notice.reason +
           "\r\n\r\nThey are saved to\r\n" + m_notice.copy +
           "\r\n\r\nThe plug-in reads only the first file: to keep these settings, copy the second over it once "
           "it can be written.";
}
