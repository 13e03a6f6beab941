#include "core/SetupStore.h"

#include <windows.h>

#include <algorithm>

#include "core/SettingsFile.h"
#include "core/logic/SetupRules.h"

using namespace kelvane;

std::string SystemErrorText(unsigned long error) {
    const std::string text = SystemWords(error);
    return text.empty() ? "error " + std::to_string(error) : text;
}

bool WriteWholeFile(const std::string& path, const std::string& text, unsigned long& error) {
    const std::string temp = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
    HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    DWORD written = 0;
    const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size() && FlushFileBuffers(h);
    error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(h);
    if (ok && MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (ok) error = GetLastError();
    if (error == ERROR_SUCCESS) error = ERROR_WRITE_FAULT;
    DeleteFileA(temp.c_str());
    return false;
}

std::string CSetupStore::PathOf(const std::string& name) const { return m_folder + "\\" + name + kSetupExtension; }

bool CSetupStore::Exists(const std::string& name) const {
    const DWORD attrs = GetFileAttributesA(PathOf(name).c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<SetupListing> CSetupStore::List(const ParameterSet& base) const {
    std::vector<SetupListing> list;
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA((m_folder + "\\*" + kSetupExtension).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return list;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string file = found.cFileName;
        const size_t ext = std::char_traits<char>::length(kSetupExtension);
        if (file.size() <= ext || lstrcmpiA(file.c_str() + file.size() - ext, kSetupExtension) != 0) continue;
        SetupListing item;
        item.name = file.substr(0, file.size() - ext);
        std::string text, why;
        SetupFile setup;
        if (Read(item.name, text, why) && ParseSetup(text, base, setup, why)) {
            item.saved = setup.saved;
            item.summary = SetupSummary(setup.values);
        } else {
            item.summary = "Cannot be loaded: " + why;
        }
        list.push_back(item);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(list.begin(), list.end(),
              [](const SetupListing& a, const SetupListing& b) { return lstrcmpiA(a.name.c_str(), b.name.c_str()) < 0; });
    return list;
}

bool CSetupStore::Read(const std::string& name, std::string& text, std::string& why) const {
    const std::string path = PathOf(name);
    HANDLE h = INVALID_HANDLE_VALUE;
    // A writer (a sync tool, a backup) may hold it for a moment.
    for (int attempt = 0; attempt < 10; ++attempt) {
        h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) break;
        Sleep(50);
    }
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) why = "the file is missing";
        else if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
            why = "the file is locked by another program";
        else why = "the file cannot be read (" + SystemErrorText(error) + ")";
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
    CreateDirectoryA(m_folder.c_str(), nullptr);
    unsigned long error = 0;
    if (WriteWholeFile(PathOf(name), text, error)) return true;
    why = SystemErrorText(error);
    return false;
}

bool CSetupStore::Delete(const std::string& name, std::string& why) const {
    if (DeleteFileA(PathOf(name).c_str())) return true;
    why = SystemErrorText(GetLastError());
    return false;
}

bool CSetupStore::Rename(const std::string& from, const std::string& to, std::string& why) const {
    if (MoveFileExA(PathOf(from).c_str(), PathOf(to).c_str(), 0)) return true;
    why = SystemErrorText(GetLastError());
    return false;
}
