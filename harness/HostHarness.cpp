#include "HostHarness.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "bench/tamsil/Tamsil.h"
#include "base/logic/NumberText.h"
#include "core/logic/TraceRules.h"

namespace harness {
namespace {
constexpr const char* kHostClass = "KelvaneTestHost";
}  // namespace

void MakeFolders(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

std::string HostWorkSpace() {
    char buf[MAX_PATH] = {};
    GetPrivateProfileStringA(kelvane::HOST_CONFIG_SECTION, kelvane::HOST_CONFIG_WORK_KEY, "", buf, sizeof buf,
                             kelvane::HOST_CONFIG_PATH);
    return buf;
}

void SetHostWorkSpace(const std::string& workFolder) {
    const std::string config = kelvane::HOST_CONFIG_PATH;
    MakeFolders(config.substr(0, config.rfind('\\')));
    if (!workFolder.empty()) MakeFolders(workFolder);
    WritePrivateProfileStringA(kelvane::HOST_CONFIG_SECTION, kelvane::HOST_CONFIG_WORK_KEY,
                               workFolder.empty() ? nullptr : workFolder.c_str(), kelvane::HOST_CONFIG_PATH);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kelvane::HOST_CONFIG_PATH);  // flush the profile cache
}

HostHarness::HostHarness() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &HostHarness::HostProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kHostClass;
    RegisterClassA(&wc);  // fails harmlessly when already registered
    m_hostWnd = CreateWindowExA(0, kHostClass, "Pellora host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                GetModuleHandleA(nullptr), this);
    m_tamsil = LoadLibraryA("Tamsil.dll");
}

HostHarness::~HostHarness() {
    Unload();
    SetFrame(nullptr);
    if (m_hostWnd) DestroyWindow(m_hostWnd);
    if (m_tamsil) FreeLibrary(m_tamsil);
}

LRESULT CALLBACK HostHarness::HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<HostHarness*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == kelvane::WM_TOOLCONTROL && self && lParam) {
        RecordedCommand c;
        c.controlWindow = reinterpret_cast<HWND>(wParam);
        std::memcpy(&c.block, reinterpret_cast<const void*>(lParam), sizeof c.block);
        self->m_commands.push_back(c);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void HostHarness::PrepareWorkFolder(const std::string& workFolder, bool keepIni) {
    m_workFolder = workFolder;
    SetHostWorkSpace(workFolder);
    if (!keepIni) {
        const std::string log = m_workFolder + "\\" + kelvane::kTraceFileName;
        for (const std::string& file : {IniPath(), CopyPath(), log, log + kelvane::kTraceOlderSuffix}) {
            SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(file.c_str());
        }
        // A fresh folder has no job yet: an earlier run's journals go too.
        const std::string jobs = m_workFolder + "\\Jobs";
        WIN32_FIND_DATAA found{};
        HANDLE h = FindFirstFileA((jobs + "\\*").c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                const std::string file = jobs + "\\" + found.cFileName;
                SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(file.c_str());
            } while (FindNextFileA(h, &found));
            FindClose(h);
        }
        RemoveDirectoryA(jobs.c_str());
    }
}

void HostHarness::WriteIni(const std::string& text) const {
    {
        std::ofstream out(IniPath(), std::ios::binary | std::ios::trunc);
        out << text;
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, IniPath().c_str());  // drop any cached copy
}

std::string HostHarness::ReadIni() const {
    std::ifstream in(IniPath(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool HostHarness::IniExists() const { return GetFileAttributesA(IniPath().c_str()) != INVALID_FILE_ATTRIBUTES; }

HMODULE LoadPlugin(PluginExports* out) {
    *out = PluginExports{};
    HMODULE dll = LoadLibraryA("Kelvane.dll");
    if (!dll) return nullptr;
    auto find = [dll](const char* name) { return reinterpret_cast<void*>(GetProcAddress(dll, name)); };
    PluginExports e;
    e.init = reinterpret_cast<ToolControlInitFn>(find("ToolControlInit"));
    e.show = reinterpret_cast<ToolControlShowFn>(find("ToolControlShow"));
    e.process = reinterpret_cast<ToolControlProcessFn>(find("ToolControlProcess"));
    if (!e.init || !e.show || !e.process) {
        FreeLibrary(dll);
        return nullptr;
    }
    *out = e;
    return dll;
}

bool HostHarness::Load() {
    if (!m_dll) m_dll = LoadPlugin(&m_exports);
    return m_dll != nullptr;
}

bool WaitUntilUnloaded(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetModuleHandleA("Kelvane.dll")) {
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        HostHarness::Pump(1);
    }
    return true;
}

bool UnloadPlugin(HMODULE dll, DWORD timeoutMs) {
    FreeLibrary(dll);
    return WaitUntilUnloaded(timeoutMs);
}

void HostHarness::Unload() {
    if (!m_dll) return;
    UnloadPlugin(TakeModule());
    Pump();
}

HMODULE HostHarness::TakeModule() {
    HMODULE dll = m_dll;
    m_dll = nullptr;
    m_exports = PluginExports{};
    return dll;
}

void HostHarness::Init() { InitWith(m_hostWnd); }
void HostHarness::InitWith(HWND hostWindow) {
    if (m_exports.init) m_exports.init(0, 0, hostWindow);
}
HWND HostHarness::Show() {
    HWND w = m_exports.show ? static_cast<HWND>(m_exports.show(0)) : nullptr;
    Pump();
    return w;
}
void HostHarness::Process(uint32_t a, uint32_t b) {
    if (m_exports.process) m_exports.process(a, b);
}

void HostHarness::SetFrame(const int16_t* frame) {
    if (!m_tamsil) return;
    auto set = reinterpret_cast<TamsilSetFrameFn>(reinterpret_cast<void*>(GetProcAddress(m_tamsil, "TamsilSetFrame")));
    if (set) set(frame);
}

void HostHarness::SetFrameDelay(DWORD ms) {
    if (!m_tamsil) return;
    auto set = reinterpret_cast<TamsilSetDelayFn>(reinterpret_cast<void*>(GetProcAddress(m_tamsil, "TamsilSetDelay")));
    if (set) set(ms);
}

long HostHarness::SubsetCalls() const {
    auto f = reinterpret_cast<TamsilCallCountFn>(reinterpret_cast<void*>(GetProcAddress(m_tamsil, "TamsilCallCount")));
    return f ? f() : -1;
}

void HostHarness::SubsetArgs(int32_t args[4]) const {
    auto f = reinterpret_cast<TamsilLastArgsFn>(reinterpret_cast<void*>(GetProcAddress(m_tamsil, "TamsilLastArgs")));
    if (f) f(args);
}

std::vector<int32_t> HostHarness::Codes() const {
    std::vector<int32_t> codes;
    for (const RecordedCommand& c : m_commands) codes.push_back(c.Code());
    return codes;
}

bool ReadBlock(const char* name, void* out, size_t n) {
    HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    if (!h) return false;
    const void* view = MapViewOfFile(h, FILE_MAP_READ, 0, 0, 0);
    if (view) std::memcpy(out, view, n);
    if (view) UnmapViewOfFile(view);
    CloseHandle(h);
    return view != nullptr;
}

bool HostHarness::ReadToolControl(kelvane::ToolControlPara* out) const {
    return ReadBlock(kelvane::TOOL_CONTROL_BLOCK_NAME, out, sizeof *out);
}
bool HostHarness::ReadProcess(kelvane::ProcessPara* out) const {
    return ReadBlock(kelvane::PROCESS_BLOCK_NAME, out, sizeof *out);
}

void HostHarness::Pump(int rounds) {
    // Frames streaming from another thread can keep the queue from ever
    // running dry; a round then ends after a quarter of a second.
    for (int r = 0; r < rounds; ++r) {
        const DWORD start = GetTickCount();
        MSG msg;
        while (GetTickCount() - start < 250 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

std::string DescribeBlocks(const char* newline) {
    std::string out;
    char line[160];
    auto add = [&](const char* text) { out += std::string(text) + newline; };
    kelvane::ToolControlPara tc{};
    if (ReadBlock(kelvane::TOOL_CONTROL_BLOCK_NAME, &tc, sizeof tc)) {
        add("ToolControlPara (48 bytes)");
        std::snprintf(line, sizeof line, "  +0  MonoWinStart    %d", tc.MonoWinStart);
        add(line);
        std::snprintf(line, sizeof line, "  +4  MonoWinEnd      %d", tc.MonoWinEnd);
        add(line);
        std::snprintf(line, sizeof line, "  +8  DipoleWinStart  %d", tc.DipoleWinStart);
        add(line);
        std::snprintf(line, sizeof line, "  +12 DipoleWinEnd    %d", tc.DipoleWinEnd);
        add(line);
        for (int k = 0; k < 4; ++k) {
            std::snprintf(line, sizeof line, "  +%-2d DtWinStart[%d]   %-6d  +%-2d DtWinEnd[%d]  %d", 16 + 4 * k, k,
                          tc.DtWinStart[k], 32 + 4 * k, k, tc.DtWinEnd[k]);
            add(line);
        }
    } else {
        add("ToolControlPara: not found");
    }
    kelvane::ProcessPara pp{};
    auto real = [](float v) { return kelvane::FormatFixed(v, 2); };
    if (ReadBlock(kelvane::PROCESS_BLOCK_NAME, &pp, sizeof pp)) {
        add("VarroProcessPara (76 bytes)");
        std::snprintf(line, sizeof line, "  +0  CurveSelect %-6d  +4  FilterType %d", pp.CurveSelect, pp.FilterType);
        add(line);
        std::snprintf(line, sizeof line, "  +8  LowCut  %-10s  +12 HighCut %s", real(pp.LowCut).c_str(),
                      real(pp.HighCut).c_str());
        add(line);
        std::snprintf(line, sizeof line, "  +16 DtMin %-6d  +20 DtMax %-6d  +24 CorWinLength %d", pp.DtMin, pp.DtMax,
                      pp.CorWinLength);
        add(line);
        std::snprintf(line, sizeof line, "  +28 Coefficient %-6s  +32 ThresholdType %d", real(pp.Coefficient).c_str(),
                      pp.ThresholdType);
        add(line);
        std::snprintf(line, sizeof line, "  +36 T01R1..4Start %d %d %d %d", pp.T01RStart[0], pp.T01RStart[1],
                      pp.T01RStart[2], pp.T01RStart[3]);
        add(line);
        std::snprintf(line, sizeof line, "  +52 SearchWinLength %d", pp.SearchWinLength);
        add(line);
        std::snprintf(line, sizeof line, "  +56 ThresholdMin1..4 %s %s %s %s", real(pp.ThresholdMin[0]).c_str(),
                      real(pp.ThresholdMin[1]).c_str(), real(pp.ThresholdMin[2]).c_str(),
                      real(pp.ThresholdMin[3]).c_str());
        add(line);
        std::snprintf(line, sizeof line, "  +72 ThresholdFactor %s", real(pp.ThresholdFactor).c_str());
        add(line);
    } else {
        add("VarroProcessPara: not found");
    }
    return out;
}

}  // namespace harness
