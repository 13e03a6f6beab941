#include "Bench.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "HostHarness.h"
#include "bench/tamsil/Tamsil.h"
#include "base/logic/NumberText.h"

using namespace kelvane;

namespace bench {
namespace {

constexpr const char* kBenchClass = "KelvaneBenchHost";
constexpr UINT WM_APP_STATUS = WM_APP + 1;  // deliver a status report after the command returned
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT_PTR kRefreshTimer = 2;

enum : int {
    IDB_SHOW = 100,
    IDB_STATUS,
    IDB_RELOAD,
    IDB_EXPORT,
    IDB_APPLY,
    IDB_HOSTSTATE,
    IDC_STREAM,
    IDC_WORKER,
    IDE_RATE,
    IDE_LAG,
    IDC_STUCK_SEC,
    IDE_STUCK_CH,
    IDC_STUCK_KIND,
    IDE_OFFSET,
    IDE_DROP,
    IDE_DSPBITS,
    IDC_HOSTSTATE,
    IDC_JOURNAL,
    IDE_BLOCKS,
    IDS_TIMING,
};

std::string ItemText(HWND parent, int id) {
    char buf[64] = {};
    GetDlgItemTextA(parent, id, buf, sizeof buf);
    return buf;
}

}  // namespace

std::string EnsureHostConfig(const std::string& workFolder, bool force) {
    const std::string current = harness::HostWorkSpace();
    if (!force && !current.empty()) return current;
    harness::SetHostWorkSpace(workFolder);
    return harness::HostWorkSpace();
}

std::string HostPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

Bench::Bench() : m_uiFrame(FRAME_MIN_WORDS, 0) {
    m_unreadable = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    QueryPerformanceFrequency(&m_freq);
    QueryPerformanceCounter(&m_start);
    m_tamsil = LoadLibraryA("Tamsil.dll");
    if (m_tamsil)
        m_setFrame = reinterpret_cast<TamsilSetFrameFn>(
            reinterpret_cast<void*>(GetProcAddress(m_tamsil, "TamsilSetFrame")));
}

Bench::~Bench() {
    StopStreaming();
    UnloadPlugin();
    if (m_setFrame) m_setFrame(nullptr);
    if (m_hwnd) DestroyWindow(m_hwnd);
    if (m_mono) DeleteObject(m_mono);
    if (m_tamsil) FreeLibrary(m_tamsil);
    if (m_unreadable) VirtualFree(m_unreadable, 0, MEM_RELEASE);
}

double Bench::NowMs() const {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - m_start.QuadPart) * 1000.0 / static_cast<double>(m_freq.QuadPart);
}

void Bench::Time(CallStats& stats, double us) {
    std::lock_guard<std::mutex> lock(m_statsLock);
    stats.last = us;
    stats.sum += us;
    ++stats.count;
}

bool Bench::Create(bool visible) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.lpfnWndProc = &Bench::WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kBenchClass;
    RegisterClassA(&wc);
    m_hwnd = CreateWindowExA(0, kBenchClass, "KelvaneBench - Pellora host with a simulated Varro tool",
                             WS_OVERLAPPEDWINDOW, 260, 290, 1000, 720, nullptr, nullptr, wc.hInstance, this);
    if (!m_hwnd) return false;
    CreateControls();
    SetTimer(m_hwnd, kRefreshTimer, 250, nullptr);
    if (visible) ShowWindow(m_hwnd, SW_SHOW);
    return true;
}

void Bench::CreateControls() {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    HFONT gui = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    m_mono = CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, FIXED_PITCH | FF_MODERN,
                         "Courier New");
    auto make = [&](const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
        HWND c = CreateWindowExA(std::strcmp(cls, "EDIT") == 0 ? WS_EX_CLIENTEDGE : 0, cls, text,
                                 WS_CHILD | WS_VISIBLE | style, x, y, w, h, m_hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
        SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(gui), TRUE);
        return c;
    };
    int y = 10;
    make("BUTTON", "Open control window", BS_PUSHBUTTON, 10, y, 150, 26, IDB_SHOW);
    make("BUTTON", "Send status report", BS_PUSHBUTTON, 170, y, 140, 26, IDB_STATUS);
    make("BUTTON", "Reload plug-in", BS_PUSHBUTTON, 320, y, 110, 26, IDB_RELOAD);
    make("BUTTON", "Export CSV...", BS_PUSHBUTTON, 440, 340, 110, 24, IDB_EXPORT);

    y = 48;
    make("BUTTON", "Simulated tool", BS_GROUPBOX, 10, y, 420, 250, -1);
    struct Row {
        const char* label;
        int id;
        const char* value;
    } rows[] = {
        {"Frame rate (Hz):", IDE_RATE, "10"},           {"Read-back lag (frames):", IDE_LAG, "0"},
        {"Read-back offset (dB):", IDE_OFFSET, "0"},    {"Drop every N frames (0 = none):", IDE_DROP, "0"},
        {"DSP fault bits (hex):", IDE_DSPBITS, "0000"},
    };
    int ry = y + 22;
    for (const Row& r : rows) {
        make("STATIC", r.label, SS_LEFT, 22, ry + 3, 200, 18, -1);
        make("EDIT", r.value, ES_AUTOHSCROLL, 230, ry, 80, 22, r.id);
        ry += 28;
    }
    make("STATIC", "Stuck channel:", SS_LEFT, 22, ry + 3, 120, 18, -1);
    HWND sec = make("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 150, ry, 90, 120, IDC_STUCK_SEC);
    for (const char* s : {"none", "DT", "Monopole", "Dipole"})
        SendMessageA(sec, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendMessageA(sec, CB_SETCURSEL, 0, 0);
    make("STATIC", "CH#", SS_LEFT, 250, ry + 3, 30, 18, -1);
    make("EDIT", "1", ES_AUTOHSCROLL | ES_NUMBER, 280, ry, 30, 22, IDE_STUCK_CH);
    // Where it sticks: at the gain it has, or pinned at an end of the range.
    HWND kind = make("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 318, ry, 100, 120, IDC_STUCK_KIND);
    for (const char* k : {"stuck", "pinned high", "pinned low"})
        SendMessageA(kind, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(k));
    SendMessageA(kind, CB_SETCURSEL, 0, 0);
    ry += 30;
    make("BUTTON", "Apply tool settings", BS_PUSHBUTTON, 22, ry, 150, 26, IDB_APPLY);
    make("BUTTON", "Stream frames", BS_AUTOCHECKBOX, 190, ry - 2, 120, 18, IDC_STREAM);
    make("BUTTON", "from a worker thread", BS_AUTOCHECKBOX, 190, ry + 14, 160, 18, IDC_WORKER);
    CheckDlgButton(m_hwnd, IDC_STREAM, BST_CHECKED);

    y = 306;
    make("BUTTON", "Host", BS_GROUPBOX, 10, y, 420, 56, -1);
    make("STATIC", "Host state:", SS_LEFT, 22, y + 25, 80, 18, -1);
    HWND hs = make("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 100, y + 22, 60, 120, IDC_HOSTSTATE);
    for (const char* s : {"0", "1", "2", "3"}) SendMessageA(hs, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendMessageA(hs, CB_SETCURSEL, 1, 0);
    make("BUTTON", "Send host state", BS_PUSHBUTTON, 170, y + 20, 130, 26, IDB_HOSTSTATE);

    m_timing = make("STATIC", "", SS_LEFT, 10, 370, 420, 80, IDS_TIMING);
    SendMessageA(m_timing, WM_SETFONT, reinterpret_cast<WPARAM>(m_mono), TRUE);

    m_list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS,
                             440, 10, 540, 322, m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_JOURNAL)),
                             inst, nullptr);
    SendMessageA(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(gui), TRUE);
    SendMessageA(m_list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    struct Col {
        const char* title;
        int width;
    } cols[] = {{"Time (ms)", 70}, {"Code", 55}, {"Command", 185}, {"Value", 70}, {"Words 0..2", 140}};
    for (int i = 0; i < 5; ++i) {
        LVCOLUMNA c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.pszText = const_cast<char*>(cols[i].title);
        c.cx = cols[i].width;
        SendMessageA(m_list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&c));
    }
    m_blocks = make("EDIT", "", ES_MULTILINE | ES_READONLY | WS_VSCROLL, 440, 372, 540, 300, IDE_BLOCKS);
    SendMessageA(m_blocks, WM_SETFONT, reinterpret_cast<WPARAM>(m_mono), TRUE);
}

LRESULT CALLBACK Bench::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE)
        SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<Bench*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && self->m_hwnd == hwnd) return self->OnMessage(msg, wParam, lParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT Bench::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kelvane::WM_TOOLCONTROL) {
        // The block is valid only until we return: copy it first.
        if (lParam) OnToolCommand(reinterpret_cast<HWND>(wParam), reinterpret_cast<const ToolCommand*>(lParam));
        return 0;
    }
    switch (msg) {
    case WM_APP_STATUS: SendStatusReport(); return 0;
    case WM_COMMAND: OnCommand(LOWORD(wParam)); return 0;
    case WM_TIMER:
        if (wParam == kFrameTimer) RunFrame();
        if (wParam == kRefreshTimer) Refresh();
        return 0;
    case WM_CLOSE:
        StopStreaming();
        UnloadPlugin();
        DestroyWindow(m_hwnd);
        return 0;
    case WM_DESTROY:
        m_hwnd = nullptr;
        PostQuitMessage(0);
        return 0;
    default: break;
    }
    return DefWindowProcA(m_hwnd, msg, wParam, lParam);
}

void Bench::OnToolCommand(HWND control, const ToolCommand* block) {
    JournalEntry e;
    e.timeMs = NowMs();
    std::memcpy(&e.block, block, sizeof e.block);
    if (control) m_control = control;
    bool status = false;
    WithSim([&](ToolSim& sim) {
        sim.Apply(e.block);
        status = sim.TakeStatusReport(&m_report);
    });
    m_journal.push_back(e);
    AddJournalRow(e);
    if (status) PostMessageA(m_hwnd, WM_APP_STATUS, 0, 0);
}

void Bench::AddJournalRow(const JournalEntry& e) {
    if (!m_list) return;
    const ToolCommand& b = e.block;
    const std::string t = FormatFixed(e.timeMs, 1);
    char code[16], words[64];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(b.CodeWord));
    std::snprintf(words, sizeof words, "%08X %08X %08X", static_cast<unsigned>(b.CodeWord),
                  static_cast<unsigned>(b.ArgWord), static_cast<unsigned>(b.Payload[0]));
    const char* name = CommandName(b.CodeWord);
    const std::string value = DescribeValue(b);
    const char* cells[] = {t.c_str(), code, name ? name : "?", value.c_str(), words};
    // The window shows the recent commands; the journal keeps them all.
    constexpr int kShownRows = 1000;
    int row = static_cast<int>(SendMessageA(m_list, LVM_GETITEMCOUNT, 0, 0));
    if (row >= kShownRows) {
        SendMessageA(m_list, LVM_DELETEITEM, 0, 0);
        --row;
    }
    LVITEMA it{};
    it.mask = LVIF_TEXT;
    it.iItem = row;
    it.pszText = const_cast<char*>(cells[0]);
    SendMessageA(m_list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it));
    for (int i = 1; i < 5; ++i) {
        it.iSubItem = i;
        it.pszText = const_cast<char*>(cells[i]);
        SendMessageA(m_list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&it));
    }
    SendMessageA(m_list, LVM_ENSUREVISIBLE, row, FALSE);
}

void Bench::OnCommand(int id) {
    switch (id) {
    case IDB_SHOW: ShowControl(); break;
    case IDB_STATUS: ReportStatus(); break;
    case IDB_RELOAD: Reload(); break;
    case IDB_EXPORT: {
        char file[MAX_PATH] = "journal.csv";
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = m_hwnd;
        ofn.lpstrFilter = "CSV files\0*.csv\0All files\0*.*\0";
        ofn.lpstrFile = file;
        ofn.nMaxFile = sizeof file;
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        ofn.lpstrDefExt = "csv";
        if (GetSaveFileNameA(&ofn)) ExportCsv(file);
        break;
    }
    case IDB_APPLY:
    case IDC_STREAM:
    case IDC_WORKER: ApplyToolPanel(); break;
    case IDB_HOSTSTATE:
        SendHostState(static_cast<int>(SendDlgItemMessageA(m_hwnd, IDC_HOSTSTATE, CB_GETCURSEL, 0, 0)));
        break;
    default: break;
    }
}

void Bench::ApplyToolPanel() {
    const int lag = ParseLeadingInt(ItemText(m_hwnd, IDE_LAG).c_str());
    const int offset = ParseLeadingInt(ItemText(m_hwnd, IDE_OFFSET).c_str());
    const int drop = ParseLeadingInt(ItemText(m_hwnd, IDE_DROP).c_str());
    const unsigned bits = std::strtoul(ItemText(m_hwnd, IDE_DSPBITS).c_str(), nullptr, 16);
    const int sec = static_cast<int>(SendDlgItemMessageA(m_hwnd, IDC_STUCK_SEC, CB_GETCURSEL, 0, 0));
    const int ch = ParseLeadingInt(ItemText(m_hwnd, IDE_STUCK_CH).c_str());
    const int kind = static_cast<int>(SendDlgItemMessageA(m_hwnd, IDC_STUCK_KIND, CB_GETCURSEL, 0, 0));
    WithSim([&](ToolSim& sim) {
        if (lag != sim.Lag()) sim.SetLag(lag);
        sim.Fault().ReadBackOffset = offset;
        sim.Fault().DropEvery = drop > 0 ? drop : 0;
        sim.Fault().DspFaultBits = static_cast<uint16_t>(bits & 0xFFFF);
        const bool sameStuck = sim.Fault().StuckSection == sec - 1 && sim.Fault().StuckChannel == ch - 1;
        if (sec <= 0) sim.ClearStuck();
        else if (kind == 1 || kind == 2) sim.PinChannel(static_cast<Section>(sec - 1), ch - 1, kind == 1);
        else if (!sameStuck || sim.Fault().StuckGain == GAIN_MAX_DB || sim.Fault().StuckGain == GAIN_MIN_DB)
            sim.StickChannel(static_cast<Section>(sec - 1), ch - 1);
    });
    StopStreaming();
    if (IsDlgButtonChecked(m_hwnd, IDC_STREAM) == BST_CHECKED) {
        const int rate = ParseLeadingInt(ItemText(m_hwnd, IDE_RATE).c_str());
        StartStreaming(rate, IsDlgButtonChecked(m_hwnd, IDC_WORKER) == BST_CHECKED);
    }
}

void Bench::Refresh() {
    if (m_blocks) {
        const std::string text = DescribeBlocks();
        char old[4096] = {};
        GetWindowTextA(m_blocks, old, sizeof old);
        if (text != old) SetWindowTextA(m_blocks, text.c_str());
    }
    if (m_timing) SetWindowTextA(m_timing, DescribeTimings().c_str());
}

bool Bench::LoadPlugin() {
    if (m_dll) return true;
    m_dll = harness::LoadPlugin(&m_exports);
    if (!m_dll) return false;
    const double t0 = NowMs();
    m_exports.init(0, 0, m_hwnd);
    Time(m_initStats, (NowMs() - t0) * 1000.0);
    return true;
}

void Bench::UnloadPlugin() {
    if (!m_dll) return;
    StopStreaming();  // no frame may reach an unloading plug-in
    HMODULE dll = m_dll;
    m_dll = nullptr;  // forgotten first: the wait below runs this window's messages
    m_exports = harness::PluginExports{};
    m_control = nullptr;
    harness::UnloadPlugin(dll);
}

bool Bench::Reload() {
    const bool streaming = m_worker.joinable() || m_uiTimer;
    UnloadPlugin();
    const bool ok = LoadPlugin();
    if (ok && streaming && m_hwnd) ApplyToolPanel();
    return ok;
}

HWND Bench::ShowControl() {
    if (!m_exports.show) return nullptr;
    const double t0 = NowMs();
    HWND w = static_cast<HWND>(m_exports.show(0));
    Time(m_showStats, (NowMs() - t0) * 1000.0);
    if (w) m_control = w;
    return w;
}

void Bench::Frame(std::vector<int16_t>& buffer) {
    if (!m_exports.process) return;
    bool have = false;
    WithSim([&](ToolSim& sim) { have = sim.NextFrame(buffer.data(), buffer.size()); });
    const int unreadable = m_unreadableEvery.load();
    if (have && unreadable > 0 && m_unreadable && (m_frames.load() + 1) % unreadable == 0) {
        if (m_setFrame) m_setFrame(static_cast<const int16_t*>(m_unreadable));
    } else if (m_setFrame) {
        m_setFrame(have ? buffer.data() : nullptr);
    }
    if (!have) m_dropped.fetch_add(1);
    const double t0 = NowMs();
    m_exports.process(0, 0);
    Time(m_processStats, (NowMs() - t0) * 1000.0);
    m_frames.fetch_add(1);
}

void Bench::RunFrame() { Frame(m_uiFrame); }

void Bench::SendHostState(int state) {
    if (HWND w = ControlWindow()) SendMessageA(w, kelvane::WM_HOSTSTATE, static_cast<WPARAM>(state), 0);
}

void Bench::SendStatusReport() {
    if (HWND w = ControlWindow()) SendMessageA(w, kelvane::WM_DSPSTATUS, reinterpret_cast<WPARAM>(&m_report), 0);
}

void Bench::ReportStatus() {
    WithSim([&](ToolSim& sim) { m_report = sim.StatusReport(); });
    SendStatusReport();
}

void Bench::StartStreaming(int rateHz, bool worker) {
    StopStreaming();
    if (rateHz <= 0) return;
    if (rateHz > 20000) rateHz = 20000;
    if (worker) {
        m_stop = false;
        m_worker = std::thread(&Bench::WorkerLoop, this, rateHz);
    } else if (m_hwnd) {
        SetTimer(m_hwnd, kFrameTimer, static_cast<UINT>(1000 / rateHz > 0 ? 1000 / rateHz : 1), nullptr);
        m_uiTimer = true;
    }
}

void Bench::StopStreaming() {
    if (m_uiTimer && m_hwnd) KillTimer(m_hwnd, kFrameTimer);
    m_uiTimer = false;
    if (m_worker.joinable()) {
        m_stop = true;
        m_worker.join();
    }
}

void Bench::WorkerLoop(int rateHz) {
    std::vector<int16_t> buffer(FRAME_MIN_WORDS, 0);
    const double period = 1000.0 / rateHz;
    double next = NowMs();
    while (!m_stop) {
        Frame(buffer);
        next += period;
        const double now = NowMs();
        if (next < now - 100 * period) next = now;  // fell far behind: do not burst
        while (!m_stop && NowMs() < next) Sleep(next - NowMs() > 2 ? 1 : 0);
    }
    // The plug-in must not keep a pointer into this thread's buffer.
    if (m_setFrame) m_setFrame(nullptr);
}

std::string Bench::DescribeTimings() {
    std::lock_guard<std::mutex> lock(m_statsLock);
    char buf[512];
    auto us = [](double v) { return FormatFixed(v, 1); };
    std::snprintf(buf, sizeof buf,
                  "Export call times (us)      last      mean   calls\r\n"
                  "ToolControlInit     %10s %9s %7ld\r\n"
                  "ToolControlShow     %10s %9s %7ld\r\n"
                  "ToolControlProcess  %10s %9s %7ld\r\n"
                  "Frames %ld, dropped %ld; plug-in %s",
                  us(m_initStats.last).c_str(), us(m_initStats.Mean()).c_str(), m_initStats.count,
                  us(m_showStats.last).c_str(), us(m_showStats.Mean()).c_str(), m_showStats.count,
                  us(m_processStats.last).c_str(), us(m_processStats.Mean()).c_str(), m_processStats.count,
                  m_frames.load(), m_dropped.load(), m_dll ? "loaded" : "NOT loaded");
    return buf;
}

std::string Bench::DescribeBlocks() const { return harness::DescribeBlocks("\r\n"); }

bool Bench::ExportCsv(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << "time_ms,code,name,value,word0,word1,word2\r\n";
    for (const JournalEntry& e : m_journal) out << JournalCsv(e.timeMs, e.block) << "\r\n";
    return static_cast<bool>(out);
}

bool Bench::WriteJsonLines(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    for (const JournalEntry& e : m_journal) out << JournalJson(e.timeMs, e.block) << "\n";
    return static_cast<bool>(out);
}

}  // namespace bench
