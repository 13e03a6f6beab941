// Script mode: runs a bench script against the real plug-in, driving its
// window with the same operator helpers as the system tests.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <utility>

#include "Bench.h"
#include "HostHarness.h"
#include "Operator.h"
#include "bench/logic/BenchScript.h"
#include "base/logic/NumberText.h"

using namespace kelvane;

namespace bench {
namespace {

void Pump() { drive::Operator::Pump(3); }

struct ClickContext {
    drive::Operator* op;
    int page;
    int id;
};

// One run of a script: the state the steps share, and one handler per verb.
class ScriptRun {
public:
    ScriptRun(Bench& bench, std::string scriptPath, std::string out)
        : m_bench(bench), m_scriptPath(std::move(scriptPath)), m_out(std::move(out)) {}

    ~ScriptRun() { FreeSettings(); }
    void Step(const ScriptStep& s);
    int Failures() const { return m_failures; }
    drive::Operator* Op() const { return m_op && IsWindow(m_op->Frame()) ? m_op.get() : nullptr; }
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
    }

    void Show(const ScriptStep& s) {
        HWND w = m_bench.ShowControl();
        Pump();
        if (!w) Fail(s, "ToolControlShow returned no window");
        else m_op.reset(new drive::Operator(w));
    }
    void Close(const ScriptStep&) {
        if (HWND w = m_bench.ControlWindow()) SendMessageA(w, WM_CLOSE, 0, 0);
        Pump();
        m_op.reset();
    }
    void Reload(const ScriptStep& s) {
        m_op.reset();
        if (!m_bench.Reload()) Fail(s, "Kelvane.dll did not reload");
        Pump();
    }
    // A hand edit between two runs: the plug-in saves as it unloads, so the
    // key is written after that and read by the next start.
    void EditIni(const ScriptStep& s) {
        m_op.reset();
        m_bench.UnloadPlugin();
        const std::string ini = drive::SettingsPath(drive::HostWorkSpace());
        if (!WritePrivateProfileStringA(s.word.c_str(), s.text.c_str(), s.value.c_str(), ini.c_str()))
            Fail(s, "cannot write " + ini);
        if (!m_bench.LoadPlugin()) Fail(s, "Kelvane.dll did not load");
        Pump();
    }
    void Page(const ScriptStep& s) { m_op->ClickPageItem(s.num[0]); }
    void Wait(const ScriptStep& s) { drive::PumpFor(static_cast<DWORD>(s.num[0])); }
    void SendAll(const ScriptStep& s) {
        const std::string box = m_op->AnswerMessageBox(
            [](void* op) { static_cast<drive::Operator*>(op)->SendAllSettings(); }, m_op.get());
        if (!box.empty()) std::printf("%s:%d: message box: %s\n", m_scriptPath.c_str(), s.line, box.c_str());
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
    void FaultOffset(const ScriptStep& s) {
        m_bench.WithSim([&](ToolSim& sim) { sim.Fault().ReadBackOffset = s.num[0]; });
    }
    void FaultDrop(const ScriptStep& s) {
        m_bench.WithSim([&](ToolSim& sim) { sim.Fault().DropEvery = s.num[0] > 0 ? s.num[0] : 0; });
    }
    void FaultClear(const ScriptStep&) {
        m_bench.WithSim([&](ToolSim& sim) {
            sim.ClearStuck();
            sim.Fault().ReadBackOffset = 0;
            sim.Fault().DropEvery = 0;
            sim.Fault().DspFaultBits = 0;
        });
    }
    void Type(const ScriptStep& s) { m_op->TypeAndEnter(s.num[0], s.num[1], s.text); }
    void Click(const ScriptStep& s) {
        ClickContext ctx{m_op.get(), s.num[0], s.num[1]};
        const std::string box = m_op->AnswerMessageBox(
            [](void* c) {
                auto* x = static_cast<ClickContext*>(c);
                x->op->Click(x->page, x->id);
            },
            &ctx);
        if (!box.empty()) std::printf("%s:%d: message box: %s\n", m_scriptPath.c_str(), s.line, box.c_str());
    }
    void Arrow(const ScriptStep& s) { m_op->Arrow(s.num[0], s.num[1], s.text == "up"); }
    void Slider(const ScriptStep& s) {
        m_op->DragSlider(s.num[0], s.num[1], std::vector<int>(s.num.begin() + 2, s.num.end()));
    }
    void Select(const ScriptStep& s) { m_op->SelectCombo(s.num[0], s.num[1], s.num[2]); }
    void Screenshot(const ScriptStep& s) {
        HWND w = s.verb == "screenshot" ? m_bench.ControlWindow() : m_bench.Window();
        const std::string path = m_out + "\\" + s.text + ".png";
        if (!drive::SaveWindowPng(w, path)) Fail(s, "no screenshot " + path);
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
        } else if (!drive::ReadBlock(tool ? TOOL_CONTROL_BLOCK_NAME : PROCESS_BLOCK_NAME, block, size)) {
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
        drive::PressViaLoop(control, key.vk, key.ctrl, key.shift);
    }
    // The settings file held by another program for a while: open without
    // sharing, or read-only; "free" gives it back. A file that does not exist
    // is left so.
    void Settings(const ScriptStep& s) {
        FreeSettings();
        const std::string ini = drive::SettingsPath(drive::HostWorkSpace());
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
            const std::string ini = drive::SettingsPath(drive::HostWorkSpace());
            SetFileAttributesA(ini.c_str(), GetFileAttributesA(ini.c_str()) & ~FILE_ATTRIBUTE_READONLY);
        }
        m_settingsReadOnly = false;
    }
    void Check(const ScriptStep&) { m_check.reset(new InvariantCheck(m_bench)); }
    void FaultUnreadable(const ScriptStep& s) { m_bench.SetUnreadableEvery(s.num[0] > 0 ? s.num[0] : 0); }
    void Stream(const ScriptStep& s) {
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
    std::unique_ptr<drive::Operator> m_op;
    size_t m_commandCursor = 0;  // "expect command" searches from here on
    int m_failures = 0;
    HANDLE m_settingsLock = INVALID_HANDLE_VALUE;
    bool m_settingsReadOnly = false;
    std::unique_ptr<InvariantCheck> m_check;  // after "check"
};

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
    {"key", &ScriptRun::Key, true},
    {"settings", &ScriptRun::Settings, false},
    {"fault unreadable", &ScriptRun::FaultUnreadable, false},
    {"stream", &ScriptRun::Stream, false},
    {"check", &ScriptRun::Check, false},
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
            const std::string box = drive::Operator(nullptr).AnswerMessageBox(
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

drive::Operator* ScriptSession::Op() const { return m->run.Op(); }
bool ScriptSession::SettingsHeld() const { return m->run.SettingsHeld(); }

int RunScript(Bench& bench, const std::string& scriptPath, const std::string& outDir) {
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
    drive::MakeFolders(out);

    ScriptRun run(bench, scriptPath, out);
    for (const ScriptStep& s : steps) run.Step(s);

    const std::string journal = out + "\\journal.jsonl";
    if (!bench.WriteJsonLines(journal)) std::printf("cannot write %s\n", journal.c_str());
    std::printf("%s: %zu steps, %zu commands, %d failed; journal %s\n", scriptPath.c_str(), steps.size(),
                bench.Journal().size(), run.Failures(), journal.c_str());
    return run.Failures() ? 1 : 0;
}

}  // namespace bench
