// KelvaneBench: plays the Pellora acquisition host for Kelvane.dll with a
// simulated tool behind it. One main window is the host window that receives
// every tool command; it shows the command journal, both shared blocks and
// the tool panel.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "HostHarness.h"
#include "KelvaneHost.h"
#include "bench/logic/ToolSim.h"

namespace bench {

struct JournalEntry {
    double timeMs;              // since the bench started
    kelvane::ToolCommand block; // all 520 bytes as received
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
    bool LoadPlugin();          // LoadLibrary + ToolControlInit(0, 0, host window)
    void UnloadPlugin();        // FreeLibrary
    bool Reload();
    HWND ShowControl();         // ToolControlShow(0)
    HWND ControlWindow() const { return IsWindow(m_control) ? m_control : nullptr; }
    void RunFrame();            // one simulated frame on the UI thread
    void SendHostState(int state);
    void SendStatusReport();    // WM_DSPSTATUS with the last report
    void ReportStatus();        // the simulator's report now, as on a check

    // The simulated tool, shared with the streaming thread.
    template <class F>
    void WithSim(F f) {
        std::lock_guard<std::mutex> lock(m_simLock);
        f(m_sim);
    }

    const std::vector<JournalEntry>& Journal() const { return m_journal; }
    bool ExportCsv(const std::string& path) const;
    bool WriteJsonLines(const std::string& path) const;
    std::string DescribeBlocks() const;
    std::string DescribeTimings();

    // Takes the tool panel's settings (faults, lag, streaming) into effect.
    void ApplyToolPanel();
    void StartStreaming(int rateHz, bool worker);
    void StopStreaming();

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
    drive::PluginExports m_exports;
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
    LARGE_INTEGER m_freq{}, m_start{};

    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    bool m_uiTimer = false;
};

// Creates the host's Config.ini on drive D: pointing at workFolder when it is
// missing (or always, with force). Returns the WorkSpace value now in force.
std::string EnsureHostConfig(const std::string& workFolder, bool force);

// Runs a script; returns the process exit code (0 = every expectation met).
int RunScript(Bench& bench, const std::string& scriptPath, const std::string& outDir, int paceMs = 0);

// Windows path for a path given on the command line (/unix/path -> Z:\unix\path).
std::string HostPath(const std::string& path);

}  // namespace bench
