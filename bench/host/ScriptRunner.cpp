// Script mode: runs a bench script against the real plug-in, driving its
// window with the same operator helpers as the system tests.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <utility>
#include <vector>

#include "Bench.h"
#include "DialogDriver.h"
#include "HostHarness.h"
#include "Operator.h"
#include "bench/logic/BenchScript.h"
#include "base/logic/NumberText.h"

using namespace kelvane;

namespace bench {
namespace {

void Pump() { harness::Operator::Pump(3); }

// Message boxes: a script meets one on purpose ("expect box") or the step
// fails with its text; either way it is closed, so a run never hangs on a box
// nobody will answer. A thread timer looks, also inside the box's own loop.
struct BoxWatch {
    std::vector<std::string> unexpected;  // texts of boxes closed unasked
    std::string expected;                 // "expect box": text the next box contains
    std::string answer = "OK";            // "answer box": the button that answers it
    bool armed = false;
    bool met = false;          // the expected box came and was answered
    std::string answerFailed;  // it had no such button
};
BoxWatch g_boxes;
constexpr UINT kBoxWatchMs = 100;

BOOL CALLBACK FindBox(HWND w, LPARAM lp) {
    char cls[16] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(w) && GetDlgItem(w, 0xFFFF)) {
        *reinterpret_cast<HWND*>(lp) = w;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindButton(HWND w, LPARAM lp) {
    auto* want = reinterpret_cast<std::pair<std::string, HWND>*>(lp);
    char text[64] = {};
    GetWindowTextA(w, text, sizeof text);
    std::string plain;
    for (const char* c = text; *c; ++c)
        if (*c != '&') plain += *c;
    if (lstrcmpiA(plain.c_str(), want->first.c_str()) == 0) {
        want->second = w;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK WatchBoxes(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&box));
    if (!box) return;
    char text[1024] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    if (g_boxes.armed && std::strstr(text, g_boxes.expected.c_str())) {
        std::pair<std::string, HWND> button{g_boxes.answer, nullptr};
        EnumChildWindows(box, &FindButton, reinterpret_cast<LPARAM>(&button));
        g_boxes.armed = false;
        g_boxes.met = true;
        if (button.second) {
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button.second), BN_CLICKED),
                         reinterpret_cast<LPARAM>(button.second));
            return;
        }
        g_boxes.answerFailed = g_boxes.answer;
    } else {
        g_boxes.unexpected.push_back(text);
    }
    // Closed as Escape would, or by its only way out.
    const int close = GetDlgItem(box, IDCANCEL) ? IDCANCEL : GetDlgItem(box, IDNO) ? IDNO : IDOK;
    PostMessageA(box, WM_COMMAND, close, 0);
}

// One run of a script: the state the steps share, and one handler per verb.
class ScriptRun {
public:
    ScriptRun(Bench& bench, std::string scriptPath, std::string out)
        : m_bench(bench), m_scriptPath(std::move(scriptPath)), m_out(std::move(out)) {}

    ~ScriptRun() { FreeSettings(); }
    void Step(const ScriptStep& s);
    int Failures() const { return m_failures; }
    const std::string& LastFailure() const { return m_lastFailure; }
    // After an action step: the boxes it met, as the script asked or not.
    void CheckBoxes(const ScriptStep& s);
    harness::Operator* Op() const { return m_op && IsWindow(m_op->Frame()) ? m_op.get() : nullptr; }
    bool SettingsHeld() const { return m_settingsLock != INVALID_HANDLE_VALUE || m_settingsReadOnly; }

private:
    using Handler = void (ScriptRun::*)(const ScriptStep&);
    struct Verb {
        const char* name;
        Handler handler;
        bool needsWindow;  // an operator step: the control window must be open
    };
    static const Verb kVerbs[];

    void Fail(const ScriptStep& s, const std::string& what) {
        std::printf("%s:%d: FAILED: %s\n", m_scriptPath.c_str(), s.line, what.c_str());
        ++m_failures;
        m_lastFailure = what;
    }

    void Show(const ScriptStep& s) {
        HWND w = m_bench.ShowControl();
        Pump();
        if (!w) Fail(s, "ToolControlShow returned no window");
        else m_op.reset(new harness::Operator(w));
    }
    void Close(const ScriptStep&) {
        if (HWND w = m_bench.ControlWindow()) SendMessageA(w, WM_CLOSE, 0, 0);
        Pump();
        m_op.reset();
    }
    void Reload(const ScriptStep& s) {
        m_op.reset();
        m_loadedAt = m_bench.Journal().size();
        if (!m_bench.Reload()) Fail(s, "Kelvane.dll did not reload");
        Pump();
    }
    // A hand edit between two runs: the plug-in saves as it unloads, so the
    // key is written after that and read by the next start.
    void EditIni(const ScriptStep& s) {
        m_op.reset();
        m_bench.UnloadPlugin();
        const std::string ini = harness::SettingsPath(harness::HostWorkSpace());
        if (!WritePrivateProfileStringA(s.word.c_str(), s.text.c_str(), s.value.c_str(), ini.c_str()))
            Fail(s, "cannot write " + ini);
        m_loadedAt = m_bench.Journal().size();
        if (!m_bench.LoadPlugin()) Fail(s, "Kelvane.dll did not load");
        Pump();
    }
    void Page(const ScriptStep& s) { m_op->ClickPageItem(s.num[0]); }
    void Wait(const ScriptStep& s) { harness::PumpFor(static_cast<DWORD>(s.num[0])); }
    void SendAll(const ScriptStep&) { m_op->SendAllSettings(); }
    // The preview answered Cancel: nothing may go to the tool.
    void SendAllCancel(const ScriptStep& s) {
        const size_t before = m_bench.Journal().size();
        m_op->SendAllSettings(false);
        if (m_bench.Journal().size() != before) Fail(s, "a cancelled Send all sent commands");
    }
    void ExpectBox(const ScriptStep& s) {
        g_boxes.expected = s.text;
        g_boxes.answer = "OK";
        g_boxes.armed = true;
        g_boxes.met = false;
        m_boxStep = true;
    }
    void AnswerBox(const ScriptStep& s) {
        g_boxes.answer = s.text;
        m_boxStep = true;
    }
    // The read-back boxes of a gain page (DT 4, full wave 8), as numbers.
    std::vector<int32_t> ReadBacks(int page) const {
        std::vector<int32_t> words;
        const int channels = page == 1 ? 4 : 8;
        for (int ch = 0; ch < channels; ++ch) words.push_back(ParseLeadingInt(m_op->Text(page, 1074 + ch).c_str()));
        return words;
    }
    void NoteReadBack(const ScriptStep& s) { m_noted = ReadBacks(s.num[0]); }
    void ExpectMoved(const ScriptStep& s) {
        const std::vector<int32_t> now = ReadBacks(s.num[0]);
        if (m_noted.size() != now.size()) {
            Fail(s, "no 'note readback' of this page before");
            return;
        }
        for (size_t ch = 0; ch < now.size(); ++ch) {
            const int32_t moved = now[ch] > m_noted[ch] ? now[ch] - m_noted[ch] : m_noted[ch] - now[ch];
            if (moved > s.num[1])
                Fail(s, "CH" + std::to_string(ch + 1) + "# moved from " + std::to_string(m_noted[ch]) + " to " +
                            std::to_string(now[ch]) + " dB");
        }
    }
    void ExpectMark(const ScriptStep& s) {
        if (m_op->PageMarked(s.num[0]) != (s.num[1] != 0))
            Fail(s, std::string("page ") + std::to_string(s.num[0]) + (s.num[1] ? " is not marked" : " is marked"));
    }
    void ExpectStrip(const ScriptStep& s) {
        const std::string got = m_op->StripText(s.num[0]);
        if (got.find(s.text) == std::string::npos) Fail(s, "the strip says \"" + got + "\"");
    }
    void Frames(const ScriptStep& s) {
        for (int i = 0; i < s.num[0]; ++i) {
            m_bench.RunFrame();
            Pump();
        }
    }
    // Frames spread over time, as a tool streams them.
    void Stream(const ScriptStep& s) {
        for (int i = 0; i < s.num[0]; ++i) {
            m_bench.RunFrame();
            const DWORD start = GetTickCount();
            do {
                Pump();
                Sleep(5);
            } while (GetTickCount() - start < static_cast<DWORD>(s.num[1]));
        }
    }
    void Trend(const ScriptStep& s) {
        if (!m_op->OpenTrend()) {
            Fail(s, "no trend window opened");
            return;
        }
        m_op->SetTrendSpan(s.num[0] == 0 ? 3 : s.num[0] == 1 ? 0 : s.num[0] == 10 ? 1 : 2);
    }
    void Lag(const ScriptStep& s) {
        m_bench.WithSim([&](ToolSim& sim) { sim.SetLag(s.num[0]); });
    }
    void HostState(const ScriptStep& s) {
        m_bench.SendHostState(s.num[0]);
        Pump();
    }
    void DspStatus(const ScriptStep& s) {
        m_bench.WithSim([&](ToolSim& sim) { sim.Fault().DspFaultBits = static_cast<uint16_t>(s.num[0] & 0xFFFF); });
        m_bench.ReportStatus();
        Pump();
    }
    void FaultStuck(const ScriptStep& s) {
        const Section sec = s.word == "dt" ? Section::Dt : s.word == "mono" ? Section::Mono : Section::Dipole;
        m_bench.WithSim([&](ToolSim& sim) { sim.StickChannel(sec, s.num[0] - 1); });
    }
    void FaultPinned(const ScriptStep& s) {
        const Section sec = s.word2 == "dt" ? Section::Dt : s.word2 == "mono" ? Section::Mono : Section::Dipole;
        m_bench.WithSim([&](ToolSim& sim) { sim.PinChannel(sec, s.num[0] - 1, s.word == "high"); });
    }
    void FaultOffset(const ScriptStep& s) {
        m_bench.WithSim([&](ToolSim& sim) { sim.Fault().ReadBackOffset = s.num[0]; });
    }
    void FaultDrop(const ScriptStep& s) {
        m_bench.WithSim([&](ToolSim& sim) { sim.Fault().DropEvery = s.num[0] > 0 ? s.num[0] : 0; });
    }
    void FaultClear(const ScriptStep&) {
        m_bench.WithSim([&](ToolSim& sim) {
            sim.ClearStuck();
            sim.Fault().OffsetSection = -1;
            sim.Fault().ReadBackOffset = 0;
            sim.Fault().DropEvery = 0;
            sim.Fault().DspFaultBits = 0;
        });
    }
    void Type(const ScriptStep& s) { m_op->TypeAndEnter(s.num[0], s.num[1], s.text); }
    void Click(const ScriptStep& s) { m_op->Click(s.num[0], s.num[1]); }
    void Arrow(const ScriptStep& s) { m_op->Arrow(s.num[0], s.num[1], s.text == "up"); }
    void Slider(const ScriptStep& s) {
        m_op->DragSlider(s.num[0], s.num[1], std::vector<int>(s.num.begin() + 2, s.num.end()));
    }
    void Boxes(const ScriptStep& s, const harness::DialogRun& run) {
        for (const std::string& box : run.messages)
            std::printf("%s:%d: message box: %s\n", m_scriptPath.c_str(), s.line, box.c_str());
    }
    void SetupSave(const ScriptStep& s) { Boxes(s, harness::SaveSetup(m_op->Frame(), s.text)); }
    void SetupLoad(const ScriptStep& s) {
        const size_t before = m_bench.Journal().size();
        const bool accept = s.verb == "setup load";
        const harness::DialogRun run = harness::LoadSetup(m_op->Frame(), s.text, accept, m_out + "\\setup-list.png",
                                                          m_out + "\\setup-preview.png");
        Boxes(s, run);
        const bool previewed = !run.captions.empty() && run.captions.size() >= 2 && run.messages.empty();
        if (!previewed) Fail(s, "set-up \"" + s.text + "\" was not previewed");
        else if (!accept && m_bench.Journal().size() != before) Fail(s, "a cancelled preview sent commands");
        else if (accept && m_bench.Journal().size() == before) Fail(s, "the loaded set-up sent nothing");
    }
    // File "New job...", answered with "Well A-12; Run 3; Company Acme; ...":
    // the record from here on holds this job's commands only.
    void JobNew(const ScriptStep& s) {
        kelvane::JobIdentity id;
        std::istringstream parts(s.text);
        std::string part;
        while (std::getline(parts, part, ';')) {
            while (!part.empty() && part[0] == ' ') part.erase(0, 1);
            const size_t space = part.find(' ');
            const std::string key = part.substr(0, space),
                              value = space == std::string::npos ? "" : part.substr(space + 1);
            std::string* field = key == "Well"       ? &id.well
                                 : key == "Run"      ? &id.run
                                 : key == "Company"  ? &id.company
                                 : key == "Field"    ? &id.field
                                 : key == "Engineer" ? &id.engineer
                                 : key == "Serial"   ? &id.serial
                                 : key == "Notes"    ? &id.notes
                                                     : nullptr;
            if (!field) return Fail(s, "job new: no field '" + key + "'");
            *field = value;
        }
        Boxes(s, harness::NewJob(m_op->Frame(), id, m_out + "\\new-job.png"));
        m_jobAt = m_bench.Journal().size();
        m_jobNamed = true;
    }
    // The journal of the job in force: the work folder's newest.
    std::string JournalText() const {
        const std::string jobs = harness::HostWorkSpace() + "\\Jobs";
        WIN32_FIND_DATAA found{};
        HANDLE h = FindFirstFileA((jobs + "\\*.journal").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return std::string();
        std::string newest;
        FILETIME newestTime{};
        do {
            if (newest.empty() || CompareFileTime(&found.ftLastWriteTime, &newestTime) > 0) {
                newest = found.cFileName;
                newestTime = found.ftLastWriteTime;
            }
        } while (FindNextFileA(h, &found));
        FindClose(h);
        return ReadText(jobs + "\\" + newest);
    }
    void JobTail(const ScriptStep& s) {
        harness::PumpFor(300);  // the writer's next turn
        std::vector<std::string> lines;
        std::istringstream in(JournalText());
        std::string line;
        while (std::getline(in, line)) lines.push_back(line);
        const size_t n = static_cast<size_t>(s.num[0]);
        for (size_t i = lines.size() > n ? lines.size() - n : 0; i < lines.size(); ++i)
            std::printf("%s:%d: journal: %s\n", m_scriptPath.c_str(), s.line, lines[i].c_str());
    }
    void ExpectJournal(const ScriptStep& s) {
        harness::PumpFor(300);
        if (JournalText().find(s.text) == std::string::npos) Fail(s, "the job's journal has no \"" + s.text + "\"");
    }
    void ExpectRecord(const ScriptStep& s) {
        if (ReadText(m_lastRecord).find(s.text) == std::string::npos)
            Fail(s, "the record " + m_lastRecord + " has no \"" + s.text + "\"");
    }
    // The record's journal must hold every command the host took in the
    // job, in order, with the same values, across reloads (before a "job
    // new", the day's journal may hold earlier runs' commands first).
    void Record(const ScriptStep& s) {
        const std::string path = m_out + "\\" + s.text;
        const std::string csvPath = path.substr(0, path.size() - (EndsWithTxt(path) ? 4 : 0)) + ".csv";
        // An earlier run's record in the run's own output folder: the
        // plug-in would (rightly) ask before replacing it.
        DeleteFileA(path.c_str());
        DeleteFileA(csvPath.c_str());
        // The box that says where the record went is the step's own.
        g_boxes.expected = "The job record was saved:";
        g_boxes.answer = "OK";
        g_boxes.armed = true;
        g_boxes.met = false;
        const harness::DialogRun run = harness::SaveJobRecord(m_op->Frame(), path);
        Boxes(s, run);
        if (!g_boxes.met && run.saved.empty()) Fail(s, "no box said where the record went");
        g_boxes.armed = false;
        m_lastRecord = path;
        std::string csv = ReadText(csvPath);
        std::istringstream lines(csv);
        std::string line;
        std::getline(lines, line);  // the header
        std::vector<std::pair<int32_t, int32_t>> record;
        while (std::getline(lines, line)) {
            const std::vector<std::string> f = CsvFields(line);
            int32_t code = 0;
            if (f.size() >= 9 && f[4].empty()) continue;  // where the plug-in was loaded
            if (f.size() < 9 || !ParseScriptInt(f[4], code)) {
                Fail(s, "journal line not understood: " + line);
                return;
            }
            const int32_t value = f[5] == "on" ? VALUE_ON : f[5] == "off" ? VALUE_OFF : ParseLeadingInt(f[5].c_str());
            record.emplace_back(code, value);
        }
        const auto& j = m_bench.Journal();
        const size_t host = j.size() - m_jobAt;
        if (record.size() < host || (m_jobNamed && record.size() != host)) {
            Fail(s, "the record holds " + std::to_string(record.size()) + " commands, the host took " +
                        std::to_string(host) + " in the job");
            return;
        }
        const size_t skip = record.size() - host;
        for (size_t i = 0; i < host; ++i) {
            const auto& want = j[m_jobAt + i].block;
            if (record[skip + i].first != want.CodeWord || record[skip + i].second != want.Payload[0]) {
                Fail(s, "the record's journal differs from the host's at command " + std::to_string(i + 1));
                return;
            }
        }
        ShowRecord(path);
    }
    static bool EndsWithTxt(const std::string& p) {
        return p.size() > 4 && lstrcmpiA(p.c_str() + p.size() - 4, ".txt") == 0;
    }
    static std::string ReadText(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static std::vector<std::string> CsvFields(std::string line) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields(1);
        bool quoted = false;
        for (size_t k = 0; k < line.size(); ++k) {
            const char c = line[k];
            if (quoted && c == '"' && k + 1 < line.size() && line[k + 1] == '"') fields.back() += '"', ++k;
            else if (c == '"') quoted = !quoted;
            else if (c == ',' && !quoted) fields.emplace_back();
            else fields.back() += c;
        }
        return fields;
    }
    // The report as it reads, in a fixed font, saved beside it as a picture.
    void ShowRecord(const std::string& path) {
        HWND view = CreateWindowExA(0, "EDIT", ReadText(path).c_str(),
                                    WS_POPUP | WS_VISIBLE | WS_CAPTION | ES_MULTILINE | ES_READONLY | WS_VSCROLL, 20,
                                    20, 700, 900, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!view) return;
        SetWindowTextA(view, ReadText(path).c_str());
        SendMessageA(view, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), TRUE);
        Pump();
        harness::SaveWindowPng(view, path.substr(0, path.find_last_of('.')) + ".png");
        DestroyWindow(view);
        Pump();
    }
    void Select(const ScriptStep& s) { m_op->SelectCombo(s.num[0], s.num[1], s.num[2]); }
    void Screenshot(const ScriptStep& s) {
        // The strip and the cues follow a half-second timer: let it run
        // once, so the picture shows what the operator would see.
        ScriptStep settle = s;
        settle.num.assign(1, kSettleMs);
        Wait(settle);
        HWND w = s.verb == "screenshot"  ? m_bench.ControlWindow()
                 : s.verb == "trendshot" ? (m_op ? m_op->TrendWindow() : nullptr)
                                         : m_bench.Window();
        const std::string path = m_out + "\\" + s.text + ".png";
        if (!harness::SaveWindowPng(w, path)) Fail(s, "no screenshot " + path);
    }
    void ExpectCommand(const ScriptStep& s) {
        const auto& j = m_bench.Journal();
        size_t i = m_commandCursor;
        while (i < j.size() && !(j[i].block.CodeWord == s.num[0] && j[i].block.Payload[0] == s.num[1])) ++i;
        if (i < j.size()) {
            m_commandCursor = i + 1;
            return;
        }
        std::string seen;
        for (size_t k = m_commandCursor; k < j.size(); ++k) {
            char b[32];
            std::snprintf(b, sizeof b, " %04X:%d", static_cast<unsigned>(j[k].block.CodeWord), j[k].block.Payload[0]);
            seen += b;
        }
        char b[64];
        std::snprintf(b, sizeof b, "command 0x%04X with %d not received; since then:", static_cast<unsigned>(s.num[0]),
                      s.num[1]);
        Fail(s, b + (seen.empty() ? std::string(" nothing") : seen));
    }
    void ExpectField(const ScriptStep& s) {
        uint8_t block[76] = {};
        const bool tool = s.word == "toolcontrol";
        const size_t size = tool ? sizeof(ToolControlPara) : sizeof(ProcessPara);
        const int32_t at = s.num[0];
        if (at < 0 || static_cast<size_t>(at) + 4 > size || at % 4) {
            Fail(s, "offset outside the block");
        } else if (!harness::ReadBlock(tool ? TOOL_CONTROL_BLOCK_NAME : PROCESS_BLOCK_NAME, block, size)) {
            Fail(s, "block " + s.word + " not found");
        } else if (s.text.find('.') != std::string::npos) {
            float got;
            std::memcpy(&got, block + at, 4);
            const float want = ParseLeadingFloat(s.text.c_str());
            if (got != want) Fail(s, "field " + std::to_string(at) + " is " + FormatFixed(got, 6));
        } else {
            int32_t got, want = 0;
            std::memcpy(&got, block + at, 4);
            if (!ParseScriptInt(s.text, want)) Fail(s, "'" + s.text + "' is not a number");
            else if (got != want) Fail(s, "field " + std::to_string(at) + " is " + std::to_string(got));
        }
    }
    void Key(const ScriptStep& s) {
        ScriptKey key;
        ParseScriptKey(s.text, key);
        HWND control = m_op->Control(s.num[0], s.num[1]);
        if (!control) {
            Fail(s, "no control " + std::to_string(s.num[1]) + " on page " + std::to_string(s.num[0]));
            return;
        }
        SetFocus(control);
        // Ctrl+Shift+D is Send all: its preview is answered OK, as 'sendall' does.
        harness::AnswerSendAllPreview([&] { harness::PressViaLoop(control, key.vk, key.ctrl, key.shift); }, true);
    }
    // The settings file held by another program for a while: open without
    // sharing, or read-only; "free" gives it back. A file that does not exist
    // is left so.
    void Settings(const ScriptStep& s) {
        FreeSettings();
        const std::string ini = harness::SettingsPath(harness::HostWorkSpace());
        if (s.word == "locked") {
            m_settingsLock = CreateFileA(ini.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
        } else if (s.word == "readonly") {
            const DWORD a = GetFileAttributesA(ini.c_str());
            m_settingsReadOnly = a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) &&
                                 SetFileAttributesA(ini.c_str(), a | FILE_ATTRIBUTE_READONLY);
        }
    }
    void FreeSettings() {
        if (m_settingsLock != INVALID_HANDLE_VALUE) CloseHandle(m_settingsLock);
        m_settingsLock = INVALID_HANDLE_VALUE;
        if (m_settingsReadOnly) {
            const std::string ini = harness::SettingsPath(harness::HostWorkSpace());
            SetFileAttributesA(ini.c_str(), GetFileAttributesA(ini.c_str()) & ~FILE_ATTRIBUTE_READONLY);
        }
        m_settingsReadOnly = false;
    }
    void Check(const ScriptStep&) { m_check.reset(new InvariantCheck(m_bench)); }
    void FaultUnreadable(const ScriptStep& s) { m_bench.SetUnreadableEvery(s.num[0] > 0 ? s.num[0] : 0); }
    void Feed(const ScriptStep& s) {
        if (s.num[0] > 0) m_bench.StartStreaming(s.num[0], true);
        else m_bench.StopStreaming();
    }
    void ExpectText(const ScriptStep& s) {
        const std::string want = s.verb == "expect text" ? s.text : std::to_string(s.num[2]);
        const std::string got = m_op->Text(s.num[0], s.num[1]);
        if (got != want) Fail(s, "text of " + std::to_string(s.num[1]) + " is \"" + got + "\", not \"" + want + "\"");
    }

    Bench& m_bench;
    std::string m_scriptPath;
    std::string m_out;
    std::unique_ptr<harness::Operator> m_op;
    size_t m_commandCursor = 0;  // "expect command" searches from here on
    size_t m_loadedAt = 0;       // the host's journal when the plug-in last loaded
    size_t m_jobAt = 0;          // the host's journal when the job began
    bool m_jobNamed = false;     // a "job new" began it (else the day's journal)
    std::string m_lastRecord;
    int m_failures = 0;
    std::string m_lastFailure;
    bool m_boxStep = false;        // the step was "expect box" or "answer box"
    std::vector<int32_t> m_noted;  // "note readback"
    static constexpr int kSettleMs = 600;
    HANDLE m_settingsLock = INVALID_HANDLE_VALUE;
    bool m_settingsReadOnly = false;
    std::unique_ptr<InvariantCheck> m_check;  // after "check"
};

void ScriptRun::CheckBoxes(const ScriptStep& s) {
    if (m_boxStep) {
        m_boxStep = false;
        return;
    }
    Pump();
    // A checked run (the soak's replay) answers every box as the soak does.
    if (m_check) g_boxes.unexpected.clear();
    for (const std::string& text : g_boxes.unexpected) Fail(s, "unexpected message box: " + text);
    g_boxes.unexpected.clear();
    if (!g_boxes.answerFailed.empty()) Fail(s, "the message box has no button \"" + g_boxes.answerFailed + "\"");
    g_boxes.answerFailed.clear();
    if (g_boxes.armed) Fail(s, "no message box with \"" + g_boxes.expected + "\" came");
    g_boxes.armed = false;
}

const ScriptRun::Verb ScriptRun::kVerbs[] = {
    {"show", &ScriptRun::Show, false},
    {"close", &ScriptRun::Close, false},
    {"reload", &ScriptRun::Reload, false},
    {"ini", &ScriptRun::EditIni, false},
    {"page", &ScriptRun::Page, true},
    {"frames", &ScriptRun::Frames, false},
    {"lag", &ScriptRun::Lag, false},
    {"hoststate", &ScriptRun::HostState, false},
    {"dspstatus", &ScriptRun::DspStatus, false},
    {"fault stuck", &ScriptRun::FaultStuck, false},
    {"fault pinned", &ScriptRun::FaultPinned, false},
    {"fault offset", &ScriptRun::FaultOffset, false},
    {"fault drop", &ScriptRun::FaultDrop, false},
    {"fault clear", &ScriptRun::FaultClear, false},
    {"type", &ScriptRun::Type, true},
    {"click", &ScriptRun::Click, true},
    {"arrow", &ScriptRun::Arrow, true},
    {"slider", &ScriptRun::Slider, true},
    {"select", &ScriptRun::Select, true},
    {"screenshot", &ScriptRun::Screenshot, false},
    {"benchshot", &ScriptRun::Screenshot, false},
    {"expect command", &ScriptRun::ExpectCommand, false},
    {"expect field", &ScriptRun::ExpectField, false},
    {"expect text", &ScriptRun::ExpectText, true},
    {"expect readback", &ScriptRun::ExpectText, true},
    {"wait", &ScriptRun::Wait, false},
    {"sendall", &ScriptRun::SendAll, true},
    {"expect mark", &ScriptRun::ExpectMark, true},
    {"expect strip", &ScriptRun::ExpectStrip, true},
    {"trend", &ScriptRun::Trend, true},
    {"trendshot", &ScriptRun::Screenshot, true},
    {"stream", &ScriptRun::Stream, false},
    {"expect box", &ScriptRun::ExpectBox, false},
    {"answer box", &ScriptRun::AnswerBox, false},
    {"note readback", &ScriptRun::NoteReadBack, true},
    {"expect moved", &ScriptRun::ExpectMoved, true},
    {"key", &ScriptRun::Key, true},
    {"settings", &ScriptRun::Settings, false},
    {"fault unreadable", &ScriptRun::FaultUnreadable, false},
    {"feed", &ScriptRun::Feed, false},
    {"check", &ScriptRun::Check, false},
    {"setup save", &ScriptRun::SetupSave, true},
    {"setup load", &ScriptRun::SetupLoad, true},
    {"setup cancel", &ScriptRun::SetupLoad, true},
    {"record", &ScriptRun::Record, true},
    {"sendall cancel", &ScriptRun::SendAllCancel, true},
    {"job new", &ScriptRun::JobNew, true},
    {"job tail", &ScriptRun::JobTail, false},
    {"expect journal", &ScriptRun::ExpectJournal, false},
    {"expect record", &ScriptRun::ExpectRecord, false},
};

void ScriptRun::Step(const ScriptStep& s) {
    for (const Verb& v : kVerbs) {
        if (s.verb != v.name) continue;
        if (v.needsWindow && !(m_op && IsWindow(m_op->Frame()))) {
            Fail(s, "the control window is not open (use 'show')");
            return;
        }
        if (m_check) {
            // Checked runs answer every message box a step raises (a
            // window that opens telling of unsaved settings, a Download's
            // range message), as the soak's operator would.
            m_check->Before(s, SettingsHeld());
            struct Call {
                ScriptRun* run;
                Handler handler;
                const ScriptStep* step;
            } call{this, v.handler, &s};
            const std::string box = harness::Operator(nullptr).AnswerMessageBox(
                [](void* c) {
                    auto* x = static_cast<Call*>(c);
                    (x->run->*(x->handler))(*x->step);
                },
                &call);
            if (!box.empty()) std::printf("%s:%d: message box: %s\n", m_scriptPath.c_str(), s.line, box.c_str());
        } else {
            (this->*v.handler)(s);
        }
        if (m_check) {
            const std::string broken = m_check->After(s, Op(), SettingsHeld());
            if (!broken.empty()) Fail(s, "invariant: " + broken);
        }
        return;
    }
    Fail(s, "no handler for '" + s.verb + "'");  // the grammar and this table disagree
}

}  // namespace

struct ScriptSession::Impl {
    Impl(Bench& bench, const std::string& name, const std::string& out) : run(bench, name, out) {}
    ScriptRun run;
    int line = 0;
};

ScriptSession::ScriptSession(Bench& bench, const std::string& name, const std::string& outDir)
    : m(new Impl(bench, name, HostPath(outDir))) {}
ScriptSession::~ScriptSession() = default;

bool ScriptSession::Run(const std::string& line) {
    std::vector<ScriptStep> steps;
    std::string error;
    ++m->line;
    if (!ParseScript(line, steps, error)) {
        std::printf("step %d: %s\n", m->line, error.c_str());
        return false;
    }
    const int before = m->run.Failures();
    for (ScriptStep& s : steps) {
        s.line = m->line;
        m->run.Step(s);
    }
    return m->run.Failures() == before;
}

harness::Operator* ScriptSession::Op() const { return m->run.Op(); }
const std::string& ScriptSession::LastFailure() const { return m->run.LastFailure(); }
bool ScriptSession::SettingsHeld() const { return m->run.SettingsHeld(); }

int RunScript(Bench& bench, const std::string& scriptPath, const std::string& outDir, int paceMs) {
    std::ifstream in(HostPath(scriptPath), std::ios::binary);
    if (!in) {
        std::printf("cannot read script %s\n", scriptPath.c_str());
        return 2;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    std::vector<ScriptStep> steps;
    std::string error;
    if (!ParseScript(ss.str(), steps, error)) {
        std::printf("%s:%s\n", scriptPath.c_str(), error.c_str());
        return 2;
    }
    const std::string out = HostPath(outDir);
    harness::MakeFolders(out);

    ScriptRun run(bench, scriptPath, out);
    g_boxes = BoxWatch();
    const UINT_PTR watch = SetTimer(nullptr, 0, kBoxWatchMs, &WatchBoxes);
    for (const ScriptStep& s : steps) {
        run.Step(s);
        run.CheckBoxes(s);
        // Paced, for watching a run: the host's loop keeps running meanwhile.
        for (const DWORD start = GetTickCount(); paceMs > 0 && GetTickCount() - start < static_cast<DWORD>(paceMs);) {
            Pump();
            Sleep(20);
        }
    }
    KillTimer(nullptr, watch);

    const std::string journal = out + "\\journal.jsonl";
    if (!bench.WriteJsonLines(journal)) std::printf("cannot write %s\n", journal.c_str());
    std::printf("%s: %zu steps, %zu commands, %d failed; journal %s\n", scriptPath.c_str(), steps.size(),
                bench.Journal().size(), run.Failures(), journal.c_str());
    return run.Failures() ? 1 : 0;
}

}  // namespace bench
