#include "core/Kelvane.h"

#include <cassert>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "core/FieldTrace.h"
#include "core/logic/DriveLimits.h"
#include "framework/DialogNav.h"
#include "framework/ModuleGuard.h"
#include "core/logic/ProfileText.h"
#include "core/logic/SetupRules.h"
#include "base/logic/NumberText.h"
#include "framework/Wnd.h"
#include "resource.h"
#include "shell/MainFrame.h"

using namespace kelvane;

namespace {

// The unload runs under the loader lock: every other thread loading or
// freeing a library waits meanwhile. Frame calls and background writes
// leave within this (they need nothing of the loader to do so).
constexpr DWORD kUnloadCallsWaitMs = 1000;
// A lock on the settings file is waited out this long by the unload's save:
// long enough for a scanner's or a backup's look at the file, short enough
// for the loader lock. Longer, the settings go to the copy beside the file.
constexpr DWORD kUnloadLockWaitMs = 200;
// A window of ours on another thread is that thread's to destroy. An idle
// thread gets to it at once from its loop, but may need the loader lock on
// the way (Wine's common controls load parts of themselves on first use), so
// the wait is short; otherwise the window goes just after the unload.
constexpr DWORD kOtherThreadWindowWaitMs = 100;

// The platform's private-profile reader on the INI path. Saves do not come
// here: they render their keys, and SettingsFile writes them all at once.
class Win32Profile : public ProfileStore {
public:
    explicit Win32Profile(const std::string& path) : m_path(path) {}
    std::string Read(const char* section, const char* key, const char* defaultText, size_t bufferSize) override {
        std::vector<char> buf(bufferSize + 1, '\0');
        GetPrivateProfileStringA(section, key, defaultText, buf.data(), static_cast<DWORD>(bufferSize),
                                 m_path.c_str());
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
    LoadProfile(const std::string& bytes, const std::string& path) : m_text(bytes), m_platform(path) {}
    std::string Read(const char* section, const char* key, const char* defaultText, size_t bufferSize) override {
        return m_text.Exact() ? m_text.Read(section, key, defaultText, bufferSize)
                              : m_platform.Read(section, key, defaultText, bufferSize);
    }
    void Write(const char*, const char*, const std::string&) override {}

private:
    ProfileText m_text;
    Win32Profile m_platform;
};

// The real size of a mapping: a block the host created first may be smaller
// than our record, and a view's region is rounded up to whole pages.
size_t MappingSize(HANDLE mapping, void* view) {
    struct SectionBasicInformation {
        PVOID BaseAddress;
        ULONG Attributes;
        LARGE_INTEGER Size;
    };
    typedef LONG(NTAPI * NtQuerySectionFn)(HANDLE, int, PVOID, ULONG, PULONG);
    if (HMODULE ntdll = GetModuleHandleA("ntdll.dll")) {
        auto query = reinterpret_cast<NtQuerySectionFn>(
            reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySection")));
        SectionBasicInformation info{};
        if (query && query(mapping, 0, &info, sizeof info, nullptr) == 0 && info.Size.QuadPart >= 0)
            return static_cast<size_t>(info.Size.QuadPart);
    }
    MEMORY_BASIC_INFORMATION mbi{};
    if (VirtualQuery(view, &mbi, sizeof mbi) == sizeof mbi) return mbi.RegionSize;
    return 0;
}

void OpenBlock(const char* name, DWORD recordSize, HANDLE& mapping, BlockView& view) {
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, recordSize, name);
    if (!mapping) return;
    void* base = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (base) view = BlockView(base, MappingSize(mapping, base));
}

void CloseBlock(HANDLE& mapping, BlockView& view) {
    if (view.Present()) UnmapViewOfFile(view.Base());
    view = BlockView();
    if (mapping) CloseHandle(mapping);
    mapping = nullptr;
}

}  // namespace

CKelvaneApp::CKelvaneApp() : CWinApp(nullptr) {}
CKelvaneApp::~CKelvaneApp() = default;

CKelvaneApp* KelvaneApp() { return static_cast<CKelvaneApp*>(AfxGetApp()); }

bool Readable(const void* p, size_t n) {
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    uintptr_t at = reinterpret_cast<uintptr_t>(p);
    if (!p || n > UINTPTR_MAX - at) return false;
    const uintptr_t end = at + n;
    while (at < end) {
        MEMORY_BASIC_INFORMATION mbi{};
        if (VirtualQuery(reinterpret_cast<const void*>(at), &mbi, sizeof mbi) != sizeof mbi ||
            mbi.State != MEM_COMMIT || !(mbi.Protect & kReadable) || (mbi.Protect & PAGE_GUARD))
            return false;
        const uintptr_t regionEnd = reinterpret_cast<uintptr_t>(mbi.BaseAddress) + mbi.RegionSize;
        if (regionEnd <= at) return false;
        at = regionEnd;
    }
    return true;
}

BOOL CKelvaneApp::InitInstance() {
    LoadWorkFolder();
    FieldTrace::Open(m_iniPath);
    DipoleWinStart = DIPOLE_WINDOW_START;
    MonoWinStart = MONO_WINDOW_START;
    OpenProcessBlock();
    OpenToolControlBlock();
    m_toolControlBlock.StoreInt(offsetof(ToolControlPara, MonoWinStart), MonoWinStart);
    m_toolControlBlock.StoreInt(offsetof(ToolControlPara, DipoleWinStart), DipoleWinStart);
    // Start-up never writes the INI; a missing file is created at shut-down.
    // A file that exists but cannot be read starts as a missing one does: read
    // through the platform it would load 0 for every key.
    if (m_settings.Open(m_iniPath) == CSettingsFile::State::Readable) {
        LoadProfile loading(m_settings.LoadedBytes(), m_iniPath);
        m_loading = &loading;
        LoadGeneralControl();
        LoadDtGainControl();
        LoadDipoleControl();
        LoadMonopoleControl();
        LoadAcousticProcess();
        Win32Profile options(m_settings.ReadPath());
        kelvane::LoadOptions(*this, LoadStore(options));
        m_loading = nullptr;
        m_settings.EndLoad();
    } else {
        SetDefaultParameters();
    }
    PublishParameters();
    const SavedKeys starting = RenderSettings();
    m_settings.NoteStartingSettings(starting);
    m_saveSchedule.Written(starting);
    return CWinApp::InitInstance();
}

int CKelvaneApp::ExitInstance() {
    // Nothing of ours may run once the image goes: no more background
    // writes (one waiting out a lock gives up), frame calls out of the image.
    m_saveWorker.Stop();
    WaitForGuardedCalls(kUnloadCallsWaitMs);
    CSettingsFile::SetLockWait(kUnloadLockWaitMs);
    SaveAllSections();  // the last write, after any background one
    m_windowsGone = DestroyControlFrame();
    if (m_windowsGone) CMainFrame::UnregisterWindowClass();
    CloseToolControlBlock();
    CloseProcessBlock();
    return CWinApp::ExitInstance();
}

void CKelvaneApp::ProcessExitShutdown() {
    // Other threads are gone and windows may be half torn down: save only.
    m_saveWorker.SaveAtExit(RenderSettings());
    CloseToolControlBlock();
    CloseProcessBlock();
}

SavedKeys CKelvaneApp::RenderSettings() const {
    RecordingProfile rendered;
    SaveGeneralControl(rendered);
    SaveDtGainControl(rendered);
    SaveMonopoleControl(rendered);
    SaveDipoleControl(rendered);
    SaveAcousticProcess(rendered);
    kelvane::SaveOptions(*this, rendered);
    return rendered.Keys();
}

void CKelvaneApp::SaveAllSections() {
    const SavedKeys keys = RenderSettings();
    m_saveWorker.SaveNow(keys);
    m_saveSchedule.Written(keys);
}

void CKelvaneApp::SaveSettings(const SavedKeys& keys) {
    m_saveWorker.Post(keys);
    // Attempted, whatever came of it: a file that cannot be written is not
    // tried again at every tick (unload and exit try again).
    m_saveSchedule.Written(keys);
}

void CKelvaneApp::SaveWhenSettled() {
    const SavedKeys keys = RenderSettings();
    if (m_saveSchedule.Due(keys, GetTickCount())) SaveSettings(keys);
}

void CKelvaneApp::SaveIfChanged() {
    const SavedKeys keys = RenderSettings();
    if (m_saveSchedule.Unwritten(keys)) SaveSettings(keys);
}

// Told when no write is in progress; a write waiting out a lock leaves the
// notice for the next time the window opens.
bool CKelvaneApp::SettingsNoticePending() {
    bool pending = false;
    m_saveWorker.IfIdle([&](CSettingsFile& file) { pending = file.NoticePending(); });
    return pending;
}

std::string CKelvaneApp::TakeSettingsNotice() {
    std::string notice;
    m_saveWorker.IfIdle([&](CSettingsFile& file) { notice = file.TakeNotice(); });
    if (!notice.empty()) {
        std::string oneLine = notice;
        for (char& c : oneLine)
            if (c == '\r' || c == '\n') c = ' ';
        if (m_failedSaves.size() < 100) m_failedSaves.push_back(FormatClock(LocalSecondsOfDay()) + " " + oneLine);
        NoteNoticeShown(oneLine);
    }
    return notice;
}
CSettingsFile::Status CKelvaneApp::SettingsStatus() const { return m_settings.LastStatus(); }

void CKelvaneApp::LoadWorkFolder() {
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

// Outside start-up's load (m_loading unset) each reads through the platform.
void CKelvaneApp::LoadGeneralControl() { Win32Profile ini(m_settings.ReadPath()); kelvane::LoadGeneralControl(*this, LoadStore(ini)); }
void CKelvaneApp::LoadDtGainControl() { Win32Profile ini(m_settings.ReadPath()); kelvane::LoadDtGainControl(*this, LoadStore(ini)); }
void CKelvaneApp::LoadDipoleControl() { Win32Profile ini(m_settings.ReadPath()); kelvane::LoadDipoleControl(*this, LoadStore(ini)); }
void CKelvaneApp::LoadMonopoleControl() { Win32Profile ini(m_settings.ReadPath()); kelvane::LoadMonopoleControl(*this, LoadStore(ini)); }
void CKelvaneApp::LoadAcousticProcess() {
    Win32Profile ini(m_settings.ReadPath());
    kelvane::LoadAcousticProcess(*this, LoadStore(ini), m_processBlock);
}
ProfileStore& CKelvaneApp::LoadStore(ProfileStore& platform) { return m_loading ? *m_loading : platform; }
void CKelvaneApp::SetDefaultParameters() { kelvane::SetDefaultParameters(*this, m_processBlock); }
void CKelvaneApp::SaveGeneralControl(ProfileStore& ini) const { kelvane::SaveGeneralControl(*this, ini); }
void CKelvaneApp::SaveDtGainControl(ProfileStore& ini) const { kelvane::SaveDtGainControl(*this, ini); }
void CKelvaneApp::SaveMonopoleControl(ProfileStore& ini) const { kelvane::SaveMonopoleControl(*this, ini); }
void CKelvaneApp::SaveDipoleControl(ProfileStore& ini) const { kelvane::SaveDipoleControl(*this, ini); }
void CKelvaneApp::SaveAcousticProcess(ProfileStore& ini) const { kelvane::SaveAcousticProcess(*this, ini); }

void CKelvaneApp::OpenProcessBlock() {
    OpenBlock(PROCESS_BLOCK_NAME, sizeof(ProcessPara), m_processMapping, m_processBlock);
}
void CKelvaneApp::OpenToolControlBlock() {
    OpenBlock(TOOL_CONTROL_BLOCK_NAME, sizeof(ToolControlPara), m_toolControlMapping, m_toolControlBlock);
}
void CKelvaneApp::PublishParameters() { kelvane::PublishParameters(*this, m_toolControlBlock, m_processBlock); }
void CKelvaneApp::CloseToolControlBlock() { CloseBlock(m_toolControlMapping, m_toolControlBlock); }
void CKelvaneApp::CloseProcessBlock() { CloseBlock(m_processMapping, m_processBlock); }

void CKelvaneApp::SendToolCommand(const ToolCommand* block) {
    // Synchronous: the host has finished with the block when this returns.
    // A host window that is gone (or not given yet) loses the command; the
    // status strip says so.
    if (!block) return;
    // The last guard: every path limits before it sends, so a value limited
    // here is a path that forgot; the tool still never sees it.
    ToolCommand sent = *block;
    const bool limited = LimitCommand(sent, *this);
    assert(!limited && "a command left its drive range");
    if (limited) FieldTrace::NoteCommand(TraceKind::LastGuardLimit, *block, sent);
    const bool delivered = m_hostWnd && IsWindow(m_hostWnd);
    m_sendLog.Sent(sent, delivered, LocalSecondsOfDay());
    SYSTEMTIME now{};
    GetLocalTime(&now);
    m_journal.Record({now.wYear * 10000 + now.wMonth * 100 + now.wDay,
                      ((now.wHour * 60 + now.wMinute) * 60 + now.wSecond) * 1000 + now.wMilliseconds},
                     sent.CodeWord, block->Payload[0], sent.Payload[0], delivered);
    if (!delivered) {
        FieldTrace::NoteCommand(TraceKind::CommandLost, sent, sent);
        return;
    }
    SendMessageA(m_hostWnd, WM_TOOLCONTROL, reinterpret_cast<WPARAM>(ControlFrameWindow()),
                 reinterpret_cast<LPARAM>(&sent));
}

void CKelvaneApp::BeginBatch(const char* what) {
    m_sendLog.BeginBatch(what);
    m_journal.BeginAction(what);
}
void CKelvaneApp::EndBatch() {
    m_sendLog.EndBatch(LocalSecondsOfDay());
    m_journal.EndAction();
}

std::string CKelvaneApp::SetupFolder() const {
    const size_t slash = m_iniPath.find_last_of('\\');
    return (slash == std::string::npos ? std::string(".") : m_iniPath.substr(0, slash)) + "\\" + kSetupFolder;
}

void CKelvaneApp::PublishWholeSet() { kelvane::PublishWholeSet(*this, m_toolControlBlock, m_processBlock); }

void CKelvaneApp::NoteNoticeShown(const std::string& text) {
    if (m_noticesShown.size() < 100) m_noticesShown.push_back(FormatClock(LocalSecondsOfDay()) + " " + text);
}

void CKelvaneApp::CopyStatusWords(const int16_t* frame) {
    kelvane::CopyStatusWords(m_status, frame);
    m_frames.Count(frame != nullptr, GetTickCount());
}

void CKelvaneApp::NotifyControlFrame() { CMainFrame::PostReadBackNotice(m_frameWnd.load()); }

void CKelvaneApp::DispatchStatus() {
    if (!m_pControlFrame) return;
    const ReadBackWords words = LoadReadBack(m_status);
    m_pControlFrame->ShowDtReadBack(words.Dt);
    m_pControlFrame->ShowMonopoleReadBack(words.Monopole);
    m_pControlFrame->ShowDipoleReadBack(words.Dipole);
}

HWND CKelvaneApp::ShowControlFrame() {
    // A frame whose window went without telling us (its thread ended, and
    // its windows with it) is dropped; a new one opens below.
    if (m_pControlFrame && m_pControlFrame->GetSafeHwnd() && !IsWindow(m_pControlFrame->GetSafeHwnd())) {
        CMainFrame* dead = m_pControlFrame;
        SetControlFrame(nullptr);
        delete dead;
    }
    if (m_pControlFrame && m_pControlFrame->GetSafeHwnd()) {
        HWND hwnd = m_pControlFrame->GetSafeHwnd();
        ShowWindow(hwnd, SW_SHOWNORMAL);
        SetActiveWindow(hwnd);
        SetForegroundWindow(hwnd);
        SetFocus(hwnd);
        return hwnd;
    }
    CMainFrame* frame = new (std::nothrow) CMainFrame();
    if (!frame) return nullptr;
    SetControlFrame(frame);
    if (!frame->LoadFrame(IDR_MAINFRAME, WS_VISIBLE | WS_SYSMENU)) {
        // The frame deletes itself if its window was made and destroyed.
        if (m_pControlFrame == frame) {
            SetControlFrame(nullptr);
            delete frame;
        }
        return nullptr;
    }
    if (m_pControlFrame != frame) return nullptr;
    SetControlFrame(frame);  // publish the finished window to other threads
    return frame->GetSafeHwnd();
}

void CKelvaneApp::SetControlFrame(CMainFrame* frame) {
    m_pControlFrame = frame;
    m_frameWnd.store(frame ? frame->GetSafeHwnd() : nullptr);
}

bool CKelvaneApp::DestroyControlFrame() {
    if (!m_pControlFrame) return true;
    CMainFrame* frame = m_pControlFrame;
    HWND hwnd = frame->GetSafeHwnd();
    if (hwnd && IsWindow(hwnd) && GetWindowThreadProcessId(hwnd, nullptr) != GetCurrentThreadId()) {
        // Another thread's window: only that thread can destroy it. Its
        // entries hand its messages to the system now, and the system's
        // WM_CLOSE destroys it there, running nothing of ours.
        const bool unhooked = UninstallDialogNavigation();
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        const DWORD start = GetTickCount();
        while (IsWindow(hwnd) && GetTickCount() - start < kOtherThreadWindowWaitMs) Sleep(2);
        if (IsWindow(hwnd)) {
            // Its thread is busy: the window goes when it gets back to its
            // loop. The frame object stays with it.
            SetControlFrame(nullptr);
            return false;
        }
        SetControlFrame(nullptr);
        delete frame;  // its windows are gone: it touches none
        return unhooked;
    }
    if (hwnd) DestroyWindow(hwnd);  // PostNcDestroy clears us and deletes the frame
    if (m_pControlFrame == frame) {
        SetControlFrame(nullptr);
        delete frame;
    }
    return true;
}
