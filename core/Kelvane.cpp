#include "core/Kelvane.h"

#include <cstddef>

#include "KelvaneHost.h"
#include "KelvaneVersion.h"
#include "base/LocalClock.h"
#include "core/FieldTrace.h"
#include "core/logic/IniRules.h"
#include "framework/ModuleGuard.h"

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

}  // namespace

CKelvaneApp::CKelvaneApp() = default;
CKelvaneApp::~CKelvaneApp() = default;

BOOL CKelvaneApp::InitInstance() {
    FieldTrace::Open();
    m_settings.LoadWorkFolder();
    m_params.DipoleWinStart = DIPOLE_WINDOW_START;
    m_params.MonoWinStart = MONO_WINDOW_START;
    m_blocks.OpenProcessBlock();
    m_blocks.OpenToolControlBlock();
    m_blocks.ToolControlBlock().StoreInt(offsetof(ToolControlPara, MonoWinStart), m_params.MonoWinStart);
    m_blocks.ToolControlBlock().StoreInt(offsetof(ToolControlPara, DipoleWinStart), m_params.DipoleWinStart);
    // Start-up never writes the INI; a missing file is created at shut-down.
    m_settings.Load(m_blocks.ProcessBlock());
    FieldTrace::PlaceIn(m_settings.IoFolder());
    m_job.Open(m_settings.SettingsFolder(), KELVANE_VERSION_TEXT);
    PublishParameters(m_params, m_blocks.ToolControlBlock(), m_blocks.ProcessBlock());
    m_settings.NoteStartingSettings();
    // A start never changes the tool by default: unsaved settings, or what
    // the tool was last sent, before defaults.
    const auto lastSent = [this](int32_t code, SentValue* v) { return m_job.LastSent(code, v); };
    if (m_settings.TakeNewestSettings(m_blocks.ProcessBlock(), lastSent))
        PublishParameters(m_params, m_blocks.ToolControlBlock(), m_blocks.ProcessBlock());
    m_host.SetJobLog(&m_job);
    RestoreTrend();
    PublishTrendReference(m_params, m_trend);
    m_job.Start(&CKelvaneApp::JobTick, this);
    return CWinApp::InitInstance();
}

int CKelvaneApp::ExitInstance() {
    // Nothing of ours may run once the image goes: no more background
    // writes (one waiting out a lock gives up), frame calls out of the image.
    m_settings.StopBackgroundSaves();
    m_job.Stop();
    WaitForGuardedCalls(kUnloadCallsWaitMs);
    m_settings.SaveAtUnload(kUnloadLockWaitMs);  // the last write, after any background one
    m_windowsGone = m_frame.Destroy();
    if (m_windowsGone) m_frame.ReleaseClass();
    // After the window's own lines (its close); nothing is journaled after.
    m_host.SetJobLog(nullptr);
    m_job.Close();
    m_blocks.CloseToolControlBlock();
    m_blocks.CloseProcessBlock();
    return CWinApp::ExitInstance();
}

void CKelvaneApp::ProcessExitShutdown() {
    // Other threads are gone and windows may be half torn down: save only.
    m_settings.SaveAtExit();
    m_job.CloseAtExit();
    m_blocks.CloseToolControlBlock();
    m_blocks.CloseProcessBlock();
}

void CKelvaneApp::JobTick(void* self) {
    auto* app = static_cast<CKelvaneApp*>(self);
    const FrameCounts::Tally counts = app->m_intake.Counts().Read();
    for (const StreamEvent& e : app->m_stream.Sample(GetTickCount(), counts.frames, counts.usable))
        app->m_job.Event(e.what, e.forMs);
    app->SampleTrend();
}

// The reported gains of the last usable frame, beside the set gains and
// auto states the window's thread last handed over (this thread reads
// nothing that thread writes).
void CKelvaneApp::SampleTrend() {
    TrendInput in{};
    const FrameCounts::Tally counts = m_intake.Counts().Read();
    in.now = GetTickCount();
    in.usable = counts.usable;
    in.lastUsableTick = counts.lastUsableTick;
    in.wallMs = LocalWallMs();
    const ReadBackWords words = m_intake.Gains();
    const int32_t* const reported[kTrendSections] = {words.Dt, words.Monopole, words.Dipole};
    for (int s = 0; s < kTrendSections; ++s)
        for (int c = 0; c < kTrendCount[s]; ++c) in.gain[kTrendFirst[s] + c] = reported[s][c];
    m_trend.Reference(in.set, in.autoOn);
    m_trend.Offer(in);
    for (const TrendInterval& interval : m_trend.TakeClosed()) {
        JournalLine line{{}, "trend", {}};
        line.Add("i", TrendIntervalText(interval));
        m_job.Add(std::move(line));
    }
}

void CKelvaneApp::RestoreTrend() {
    m_trend.Open(m_intake.Counts().Usable());
    // One read of the journal for the history and its marks.
    std::vector<TrendInterval> intervals;
    std::vector<std::pair<int64_t, TrendMarkKind>> marks;
    for (const JournalLine& line : m_job.Lines({"trend", "event"})) {
        TrendInterval interval{};
        if (line.kind == "trend" && ParseTrendInterval(line.Get("i"), interval)) intervals.push_back(interval);
        const int64_t mark = line.GetInt("mark", -1);
        if (line.kind == "event" && mark >= 0 && mark <= static_cast<int64_t>(TrendMarkKind::Health))
            marks.emplace_back(JournalWallMs(line.at), static_cast<TrendMarkKind>(mark));
    }
    m_trend.Restore(intervals);
    for (const auto& m : marks) m_trend.MarkAt(m.first, m.second);
}

void CKelvaneApp::TakeFrame(const int16_t* frame) {
    m_intake.Take(frame);
    m_intake.Notify();
}

HWND CKelvaneApp::ShowControlFrame() { return m_frame.Show(m_link); }
