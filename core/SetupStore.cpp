#include "core/SetupStore.h"

#include <algorithm>
#include <mutex>

#include "core/SettingsFile.h"
#include "core/logic/SetupRules.h"
#include "framework/ModuleGuard.h"

using namespace kelvane;

namespace {
std::wstring WideIn(UINT codePage, const std::string& text) {
    if (text.empty()) return std::wstring();
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}
}  // namespace

std::wstring WideOf(const std::string& utf8) { return WideIn(CP_UTF8, utf8); }

std::string Utf8Of(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string utf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], n, nullptr, nullptr);
    return utf8;
}

std::string Utf8OfAnsi(const std::string& ansi) { return Utf8Of(WideIn(CP_ACP, ansi)); }

bool IsWholeText(const std::wstring& wide) {
    for (size_t i = 0; i < wide.size(); ++i) {
        const wchar_t c = wide[i];
        if (c >= 0xDC00 && c <= 0xDFFF) return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == wide.size() || wide[i + 1] < 0xDC00 || wide[i + 1] > 0xDFFF) return false;
            ++i;
        }
    }
    return true;
}

std::string SystemErrorText(unsigned long error) {
    const std::string text = Utf8OfAnsi(SystemWords(error));
    return text.empty() ? "error " + std::to_string(error) : text;
}

namespace {

std::wstring Suffixed(const std::wstring& path, const char* what) {
    return path + WideOf("." + std::to_string(GetCurrentProcessId()) + what);
}

// A file written whole and flushed under a temporary name beside its
// target; deleted unless it was put in place.
class CPendingFile {
public:
    CPendingFile() = default;
    CPendingFile(const CPendingFile&) = delete;
    CPendingFile& operator=(const CPendingFile&) = delete;
    ~CPendingFile() {
        if (!m_temp.empty()) DeleteFileW(m_temp.c_str());
    }

    bool Write(const std::wstring& path, const std::string& text, unsigned long& error) {
        m_path = path;
        const std::wstring temp = Suffixed(path, ".tmp");
        HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return false;
        }
        m_temp = temp;
        DWORD written = 0;
        const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                        written == text.size() && FlushFileBuffers(h);
        error = ok ? ERROR_SUCCESS : GetLastError();
        if (!ok && error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;  // written short
        CloseHandle(h);
        return ok;
    }
    const std::wstring& Path() const { return m_path; }
    // Moves the temporary file to the target's place (which must be free
    // unless replace); true when it is there.
    bool PutInPlace(bool replace, unsigned long& error) {
        const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
        if (!MoveFileExW(m_temp.c_str(), m_path.c_str(), flags)) {
            error = GetLastError();
            return false;
        }
        m_temp.clear();
        return true;
    }

private:
    std::wstring m_path, m_temp;
};

}  // namespace

bool WriteWholeFile(const std::string& path, const std::string& text, unsigned long& error) {
    CPendingFile file;
    return file.Write(WideOf(path), text, error) && file.PutInPlace(true, error);
}

bool WriteWholeFiles(const std::vector<WholeFile>& files, std::string& why) {
    // Nothing is replaced that a write could not replace whole: a read-only
    // file or a folder in a target's place stops it before anything moves.
    for (const WholeFile& f : files) {
        const DWORD attrs = GetFileAttributesW(WideOf(f.path).c_str());
        if (attrs == INVALID_FILE_ATTRIBUTES) continue;
        if (attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) {
            why = f.path +
                  ((attrs & FILE_ATTRIBUTE_DIRECTORY) ? ": a folder has that name" : ": the file is read-only");
            return false;
        }
    }
    unsigned long error = 0;
    std::vector<std::unique_ptr<CPendingFile>> pending;
    for (const WholeFile& f : files) {
        pending.push_back(std::make_unique<CPendingFile>());
        if (!pending.back()->Write(WideOf(f.path), f.text, error)) {
            why = f.path + ": " + SystemErrorText(error);
            return false;
        }
    }
    // Each old file steps aside before its new one takes the place, so that
    // a later failure can put every old one back.
    struct Placed {
        std::wstring path, aside;
    };
    std::vector<Placed> placed;
    auto undo = [&placed]() {
        for (auto p = placed.rbegin(); p != placed.rend(); ++p) {
            DeleteFileW(p->path.c_str());
            if (!p->aside.empty()) MoveFileExW(p->aside.c_str(), p->path.c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    };
    for (size_t i = 0; i < pending.size(); ++i) {
        const std::wstring& path = pending[i]->Path();
        Placed p{path, std::wstring()};
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
            p.aside = Suffixed(path, ".old");
            if (!MoveFileExW(path.c_str(), p.aside.c_str(), MOVEFILE_REPLACE_EXISTING)) {
                why = files[i].path + ": " + SystemErrorText(GetLastError());
                undo();
                return false;
            }
        }
        if (!pending[i]->PutInPlace(false, error)) {
            if (!p.aside.empty()) MoveFileExW(p.aside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
            why = files[i].path + ": " + SystemErrorText(error);
            undo();
            return false;
        }
        placed.push_back(p);
    }
    for (const Placed& p : placed)
        if (!p.aside.empty()) DeleteFileW(p.aside.c_str());
    return true;
}

std::string CSetupStore::PathOf(const std::string& name) const { return m_folder + "\\" + name + kSetupExtension; }

bool CSetupStore::Exists(const std::string& name) const {
    const DWORD attrs = GetFileAttributesW(WideOf(PathOf(name)).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> CSetupStore::Names() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(WideOf(m_folder + "\\*" + kSetupExtension).c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        const std::wstring ext = WideOf(kSetupExtension);
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const std::wstring file = found.cFileName;
            if (file.size() <= ext.size() || lstrcmpiW(file.c_str() + file.size() - ext.size(), ext.c_str()) != 0)
                continue;
            names.push_back(file.substr(0, file.size() - ext.size()));
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) < 0; });
    std::vector<std::string> out;
    out.reserve(names.size());
    for (const std::wstring& n : names) out.push_back(Utf8Of(n));
    return out;
}

SetupListing CSetupStore::Details(const std::string& name, const ParameterSet& base) const {
    SetupListing item;
    item.name = name;
    item.read = true;
    std::string text, why;
    SetupFile setup;
    if (!Read(name, text, why, &item.inUse)) {
        item.read = !item.inUse;
        item.summary = item.inUse ? "in use by another program; read again when it is free"
                                  : "Cannot be loaded: " + why;
    } else if (ParseSetup(text, base, setup, why)) {
        item.saved = setup.saved;
        item.summary = SetupSummary(setup.values);
    } else {
        item.summary = "Cannot be loaded: " + why;
    }
    return item;
}

bool CSetupStore::Read(const std::string& name, std::string& text, std::string& why, bool* inUse) const {
    if (inUse) *inUse = false;
    // One try: a file another program holds is read again later, never
    // waited for here.
    HANDLE h = CreateFileW(WideOf(PathOf(name)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            why = "the file is missing";
        } else if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
            why = "the file is locked by another program";
            if (inUse) *inUse = true;
        } else {
            why = "the file cannot be read (" + SystemErrorText(error) + ")";
        }
        return false;
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(h, &high);
    bool ok = !(low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR);
    if (ok && (high != 0 || low > kSetupMaxBytes)) {
        CloseHandle(h);
        why = "the file is larger than any set-up: not a set-up";
        return false;
    }
    text.assign(ok ? static_cast<size_t>(low) : 0, '\0');
    DWORD got = 0;
    ok = ok && (text.empty() || ReadFile(h, &text[0], static_cast<DWORD>(text.size()), &got, nullptr));
    const DWORD error = GetLastError();
    CloseHandle(h);
    if (!ok || got != text.size()) {
        why = "the file cannot be read (" + SystemErrorText(ok ? ERROR_HANDLE_EOF : error) + ")";
        return false;
    }
    return true;
}

bool CSetupStore::Write(const std::string& name, const std::string& text, std::string& why) const {
    CreateDirectoryW(WideOf(m_folder).c_str(), nullptr);
    unsigned long error = 0;
    if (WriteWholeFile(PathOf(name), text, error)) return true;
    why = SystemErrorText(error);
    return false;
}

bool CSetupStore::Delete(const std::string& name, std::string& why) const {
    if (DeleteFileW(WideOf(PathOf(name)).c_str())) return true;
    why = SystemErrorText(GetLastError());
    return false;
}

bool CSetupStore::Rename(const std::string& from, const std::string& to, std::string& why) const {
    if (MoveFileExW(WideOf(PathOf(from)).c_str(), WideOf(PathOf(to)).c_str(), 0)) return true;
    why = SystemErrorText(GetLastError());
    return false;
}

struct CSetupReader::Shared {
    Shared(const CSetupStore& s, const ParameterSet& b, HWND w, UINT m)
        : store(s), base(b), window(w), message(m), idle(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}
    ~Shared() {
        if (idle) CloseHandle(idle);
    }
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;

    const CSetupStore store;
    const ParameterSet base;
    std::mutex lock;  // what follows
    std::vector<std::string> waiting;
    std::vector<SetupListing> done;
    HWND window;
    UINT message;
    bool running = false;
    bool posted = false;  // a message is on its way and nothing was taken since
    bool stopped = false;
    HANDLE idle;  // set while no round runs

    // One file; false once there is nothing more to do.
    bool ReadOne() {
        std::string name;
        {
            std::lock_guard<std::mutex> hold(lock);
            if (stopped || waiting.empty()) {
                running = false;
                SetEvent(idle);
                return false;
            }
            name = waiting.front();
            waiting.erase(waiting.begin());
        }
        SetupListing item = store.Details(name, base);
        std::lock_guard<std::mutex> hold(lock);
        if (stopped) return true;
        done.push_back(std::move(item));
        if (!posted && IsWindow(window)) posted = PostMessageW(window, message, 0, 0) != FALSE;
        return true;
    }
};

CSetupReader::CSetupReader(const CSetupStore& store, const ParameterSet& base, HWND window, UINT message)
    : m_shared(std::make_shared<Shared>(store, base, window, message)) {}

CSetupReader::~CSetupReader() { Stop(2000); }

bool CSetupReader::Busy() const {
    std::lock_guard<std::mutex> hold(m_shared->lock);
    return m_shared->running;
}

bool CSetupReader::Read(const std::vector<std::string>& names) {
    {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        if (m_shared->stopped || m_shared->running) return false;
        m_shared->waiting = names;
        if (names.empty()) return true;
        m_shared->running = true;
        ResetEvent(m_shared->idle);
    }
    auto* keep = new std::shared_ptr<Shared>(m_shared);
    if (StartGuardedThread(&CSetupReader::Run, keep)) return true;
    delete keep;
    // No thread to be had: each file once, here.
    while (m_shared->ReadOne()) {
    }
    return true;
}

DWORD __stdcall CSetupReader::Run(void* param) {
    const std::unique_ptr<std::shared_ptr<Shared>> keep(static_cast<std::shared_ptr<Shared>*>(param));
    Shared& shared = **keep;
    return NoThrowEntry<DWORD>(0, [&shared]() -> DWORD {
        try {
            while (shared.ReadOne()) {
            }
        } catch (...) {
            // Ended all the same: nobody waits for a round that stopped.
            std::lock_guard<std::mutex> hold(shared.lock);
            shared.running = false;
            SetEvent(shared.idle);
            throw;
        }
        return 0;
    });
}

std::vector<SetupListing> CSetupReader::Take() {
    std::lock_guard<std::mutex> hold(m_shared->lock);
    std::vector<SetupListing> out;
    out.swap(m_shared->done);
    m_shared->posted = false;
    return out;
}

void CSetupReader::Stop(DWORD waitMs) {
    {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        m_shared->stopped = true;
        m_shared->window = nullptr;
        m_shared->waiting.clear();
    }
    if (m_shared->idle) WaitForSingleObject(m_shared->idle, waitMs);
}
