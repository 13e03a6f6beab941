// KelvaneBench: plays the Pellora acquisition host for Kelvane.dll with a
// simulated tool behind it. One main window is the host window that receives
// every tool command; it shows the command journal, both shared blocks and
// the tool panel.
#pragma once

#include <windows.h>

#include <atomic>
#include <map>
#include <memory>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "HostHarness.h"
#include "Operator.h"
#include "KelvaneHost.h"
#include "bench/logic/BenchScript.h"
#include "bench/logic/ToolSim.h"

namespace bench {

struct JournalEntry {
    double timeMs;               // since the bench started
    kelvane::ToolCommand block;  // all 520 bytes as received
};

// Call timing of one export, microseconds.
struct CallStats {
    double last = 0;
    double sum = 0;
    long count = 0;
    double Mean() const { return count ? sum / count : 0; }
};

class Bench {
public:
    Bench();
    ~Bench();
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    bool Create(bool visible);
    HWND Window() const { return m_hwnd; }

    // The host contract.
    bool LoadPlugin();    // LoadLibrary + ToolControlInit(0, 0, host window)
    void UnloadPlugin();  // FreeLibrary
    bool Reload();
    HWND ShowControl();  // ToolControlShow(0)
    HWND ControlWindow() const { return IsWindow(m_control) ? m_control : nullptr; }
    void RunFrame();  // one simulated frame on the UI thread
    void SendHostState(int state);
    void SendStatusReport();  // WM_DSPSTATUS with the last report
    void ReportStatus();      // the simulator's report now, as on a check

    // The simulated tool, shared with the streaming thread.
    template <class F>
    void WithSim(F f) {
        std::lock_guard<std::mutex> lock(m_simLock);
        f(m_sim);
    }

    const std::vector<JournalEntry>& Journal() const { return m_journal; }
    // Room for n commands made now (a soak measures memory as it runs).
    void ReserveJournal(size_t n) { m_journal.reserve(n); }
    bool ExportCsv(const std::string& path) const;
    bool WriteJsonLines(const std::string& path) const;
    std::string DescribeBlocks() const;
    std::string DescribeTimings();

    // Takes the tool panel's settings (faults, lag, streaming) into effect.
    void ApplyToolPanel();
    void StartStreaming(int rateHz, bool worker);
    void StopStreaming();
    // Every nth frame's pointer leads to memory that cannot be read (0: none).
    void SetUnreadableEvery(int n) { m_unreadableEvery.store(n); }

private:
    static LRESULT CALLBACK WndProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id);
    void OnToolCommand(HWND control, const kelvane::ToolCommand* block);
    void CreateControls();
    void Refresh();
    void AddJournalRow(const JournalEntry& e);
    void Frame(std::vector<int16_t>& buffer);
    void Time(CallStats& stats, double us);
    double NowMs() const;
    void WorkerLoop(int rateHz);

    HWND m_hwnd = nullptr;
    HWND m_control = nullptr;
    HWND m_list = nullptr;
    HWND m_blocks = nullptr;
    HWND m_timing = nullptr;
    HFONT m_mono = nullptr;
    HMODULE m_dll = nullptr;
    HMODULE m_tamsil = nullptr;
    harness::PluginExports m_exports;
    void(__cdecl* m_setFrame)(const int16_t*) = nullptr;

    std::mutex m_simLock;
    kelvane::ToolSim m_sim;
    std::vector<int16_t> m_uiFrame;
    kelvane::DspStatusReport m_report{};
    std::vector<JournalEntry> m_journal;

    std::mutex m_statsLock;
    CallStats m_initStats, m_showStats, m_processStats;
    std::atomic<long> m_frames{0};
    std::atomic<long> m_dropped{0};
    std::atomic<int> m_unreadableEvery{0};
    void* m_unreadable = nullptr;  // a page without access
    LARGE_INTEGER m_freq{}, m_start{};

    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    bool m_uiTimer = false;
};

// Creates the host's Config.ini on drive D: pointing at workFolder when it is
// missing (or always, with force). Returns the WorkSpace value now in force.
std::string EnsureHostConfig(const std::string& workFolder, bool force);

// The product's invariants, checked after every step once a script says
// "check": every command within the drive table, every float in the blocks
// finite, each box agreeing with the last command sent for it (and the
// acoustic boxes with their block fields), and after a reload the file
// holding what the pages held (values reset at start excepted; not while the
// settings file was held, which sends the save elsewhere).
class InvariantCheck {
public:
    explicit InvariantCheck(Bench& bench);
    void Before(const kelvane::ScriptStep& s, bool settingsHeld);
    // "" when every invariant holds, else what broke.
    std::string After(const kelvane::ScriptStep& s, harness::Operator* op, bool settingsHeld);

private:
    Bench& m_bench;
    size_t m_seen = 0;                       // journal entries checked
    std::map<int32_t, int32_t> m_last;       // last value sent per code (ALL counts for its channels)
    std::map<int32_t, std::string> m_boxes;  // gain boxes as last seen, by code
    int32_t m_monoInterval = 0, m_dipoleInterval = 0;
    bool m_trusted = true;  // this load read the file and nothing held it since
    bool m_heldAtUnload = false;
    size_t m_steps = 0;
    size_t m_journalFrom = SIZE_MAX;  // the host's journal when checking began
    size_t m_sentBefore = 0;          // the host's journal before this step
    kelvane::ProcessPara m_processBefore{};
    kelvane::ToolControlPara m_toolBefore{};
};

// Runs script lines one at a time (the soak's steps), as a script runs them.
class ScriptSession {
public:
    ScriptSession(Bench& bench, const std::string& name, const std::string& outDir);
    ~ScriptSession();
    ScriptSession(const ScriptSession&) = delete;
    ScriptSession& operator=(const ScriptSession&) = delete;
    // Parses and runs one line; false when it does not parse or a step failed.
    bool Run(const std::string& line);
    // The operator on the open control window, null while it is closed.
    harness::Operator* Op() const;
    // Whether the settings file is locked or read-only now ("settings").
    bool SettingsHeld() const;
    // What the last failed step said ("" before any failed).
    const std::string& LastFailure() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

// Runs a bench soak: seeded random operator and host steps, the product's
// invariants checked after every step. Returns the exit code (0 = clean);
// *failure gets what the failed step said.
int RunSoak(Bench& bench, double seconds, uint32_t seed, const std::string& outDir, std::string* failure);

// Cuts a failing replay down to the steps that still fail the same way
// (`failure`, what the failed step said; when "", a first run of the whole
// replay finds it), each try a child bench running the cut script, for at
// most `seconds`; writes short-replay.txt in outDir and prints it. 0 when it
// has a replay that fails.
int ShrinkReplay(const std::string& replayFile, const std::string& outDir, double seconds,
                 const std::string& failure = std::string());

// Runs a script; returns the process exit code (0 = every expectation met).
int RunScript(Bench& bench, const std::string& scriptPath, const std::string& outDir, int paceMs = 0);

// Windows path for a path given on the command line (/unix/path -> Z:\unix\path).
std::string HostPath(const std::string& path);

}  // namespace bench
