// The soak: a seeded random operator and host drive the real plug-in through
// the bench's script steps, and the product's invariants are checked after
// every step ("check" in a script turns the same checks on, so a failing
// seed's steps, written as a script, replay the failure).
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "Bench.h"

#include <commctrl.h>

#include "FrameStream.h"
#include "HostHarness.h"
#include "Operator.h"
#include "ProcessUsage.h"
#include "base/logic/NumberText.h"
#include "bench/logic/BenchScript.h"
#include "bench/logic/ReplayShrink.h"
#include "core/logic/DriveLimits.h"
#include "core/logic/JournalLines.h"
#include "core/logic/SettingList.h"
#include "resource.h"

using namespace kelvane;

namespace bench {
namespace {

// A gain box and the command that sets it; allCode is the ALL command of its
// page, which sets every channel of the page as well. The DT page's ALL box
// is left out: it sets the four channels but is no setting of its own (it
// shows the file's "AllGain", never saved, whenever the page opens).
struct GainBox {
    int page;
    int id;
    int32_t code;
    int32_t allCode;
};

// The settings file's section and key of the setting a command sends, from
// the settings list (key null: the file does not keep it).
struct FileKey {
    const char* section = nullptr;
    const char* key = nullptr;
};
FileKey SavedKeyOf(int32_t code) {
    for (const SettingRow& row : kSettings)
        if (row.code == code && row.saved) return {row.section, row.key};
    return {};
}

const GainBox kGainBoxes[] = {
    {harness::kDtGain, IDC_DT_CH1, CMD_DT_CH1_GAIN, CMD_DT_ALL_GAIN},
    {harness::kDtGain, IDC_DT_CH2, CMD_DT_CH2_GAIN, CMD_DT_ALL_GAIN},
    {harness::kDtGain, IDC_DT_CH3, CMD_DT_CH3_GAIN, CMD_DT_ALL_GAIN},
    {harness::kDtGain, IDC_DT_CH4, CMD_DT_CH4_GAIN, CMD_DT_ALL_GAIN},
    {harness::kMonopole, IDC_MONO_CH1, CMD_MONO_CH1_GAIN, CMD_MONO_ALL_GAIN},
    {harness::kMonopole, IDC_MONO_CH2, CMD_MONO_CH2_GAIN, CMD_MONO_ALL_GAIN},
    {harness::kMonopole, IDC_MONO_CH3, CMD_MONO_CH3_GAIN, CMD_MONO_ALL_GAIN},
    {harness::kMonopole, IDC_MONO_CH4, CMD_MONO_CH4_GAIN, CMD_MONO_ALL_GAIN},
    {harness::kMonopole, IDC_MONO_CH5, CMD_MONO_CH5_GAIN, CMD_MONO_ALL_GAIN},
    {harness::kMonopole, IDC_MONO_CH6, CMD_MONO_CH6_GAIN, CMD_MONO_ALL_GAIN},
    {harness::kMonopole, IDC_MONO_CH7, CMD_MONO_CH7_GAIN, CMD_MONO_ALL_GAIN},
    {harness::kMonopole, IDC_MONO_CH8, CMD_MONO_CH8_GAIN, CMD_MONO_ALL_GAIN},
    {harness::kMonopole, IDC_MONO_ALL, CMD_MONO_ALL_GAIN, 0},
    {harness::kDipole, IDC_DIP_CH1, CMD_DIPOLE_CH1_GAIN, CMD_DIPOLE_ALL_GAIN},
    {harness::kDipole, IDC_DIP_CH2, CMD_DIPOLE_CH2_GAIN, CMD_DIPOLE_ALL_GAIN},
    {harness::kDipole, IDC_DIP_CH3, CMD_DIPOLE_CH3_GAIN, CMD_DIPOLE_ALL_GAIN},
    {harness::kDipole, IDC_DIP_CH4, CMD_DIPOLE_CH4_GAIN, CMD_DIPOLE_ALL_GAIN},
    {harness::kDipole, IDC_DIP_CH5, CMD_DIPOLE_CH5_GAIN, CMD_DIPOLE_ALL_GAIN},
    {harness::kDipole, IDC_DIP_CH6, CMD_DIPOLE_CH6_GAIN, CMD_DIPOLE_ALL_GAIN},
    {harness::kDipole, IDC_DIP_CH7, CMD_DIPOLE_CH7_GAIN, CMD_DIPOLE_ALL_GAIN},
    {harness::kDipole, IDC_DIP_CH8, CMD_DIPOLE_CH8_GAIN, CMD_DIPOLE_ALL_GAIN},
    {harness::kDipole, IDC_DIP_ALL, CMD_DIPOLE_ALL_GAIN, 0},
};

// Other boxes whose text is the value of the last command of their code.
struct CommandBox {
    int page;
    int id;
    int32_t code;
};
const CommandBox kCommandBoxes[] = {
    {harness::kMonopole, IDC_MONO_WIN_END, CMD_MONO_WIN_END},
    {harness::kDipole, IDC_DIP_WIN_END, CMD_DIPOLE_WIN_END},
};

// Values every start sets instead of loading them: what the tool was last
// sent for these no longer says what the pages hold after a reload.
bool ResetAtStart(int32_t code) {
    switch (code) {
    case CMD_MONO_WIN_END:
    case CMD_DIPOLE_WIN_END:
    case CMD_MONO_STACK:
    case CMD_DIPOLE_STACK:
    case CMD_MONO_DOWNHOLE_FILTER:
    case CMD_DIPOLE_DOWNHOLE_FILTER:
    case CMD_DT_DOWNHOLE_FILTER:
    case CMD_DT_ALL_GAIN:  // DT "AllGain" is never written
        return true;
    default: return false;
    }
}

// The acoustic page's typed integers and their ProcessPara fields.
struct ProcessBox {
    int id;
    size_t offset;
};
const ProcessBox kProcessBoxes[] = {
    {IDC_AP_DT_MIN, offsetof(ProcessPara, DtMin)},
    {IDC_AP_DT_MAX, offsetof(ProcessPara, DtMax)},
    {IDC_AP_COR_WIN, offsetof(ProcessPara, CorWinLength)},
};

const size_t kProcessFloats[] = {offsetof(ProcessPara, LowCut),
                                 offsetof(ProcessPara, HighCut),
                                 offsetof(ProcessPara, Coefficient),
                                 offsetof(ProcessPara, ThresholdMin) + 0,
                                 offsetof(ProcessPara, ThresholdMin) + 4,
                                 offsetof(ProcessPara, ThresholdMin) + 8,
                                 offsetof(ProcessPara, ThresholdMin) + 12,
                                 offsetof(ProcessPara, ThresholdFactor)};

std::string Hex(int32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%04X", static_cast<unsigned>(v));
    return b;
}

// " at OFFSET: BEFORE -> AFTER" for every 32-bit word that differs.
std::string DiffWords(const void* before, const void* after, size_t size) {
    std::string out;
    for (size_t off = 0; off + 4 <= size; off += 4) {
        int32_t a, b;
        std::memcpy(&a, static_cast<const unsigned char*>(before) + off, 4);
        std::memcpy(&b, static_cast<const unsigned char*>(after) + off, 4);
        if (a != b) out += " at " + std::to_string(off) + ": " + std::to_string(a) + " -> " + std::to_string(b);
    }
    return out;
}

}  // namespace

// ---- The invariants, after every step.

namespace {

// The last `last` commands host windows took, from the plug-in's journals in
// the work folder (named by date, so in time order by name), read a piece
// at a time and kept no longer than needed: the check must not grow the
// host's memory it also judges.
std::deque<std::pair<int32_t, int32_t>> JournalCommandsTaken(size_t last, size_t* total) {
    std::deque<std::pair<int32_t, int32_t>> taken;
    *total = 0;
    const std::string jobs = harness::HostWorkSpace() + "\\Jobs";
    std::vector<std::string> names;
    WIN32_FIND_DATAA found{};
    HANDLE h = FindFirstFileA((jobs + "\\*.journal").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do names.emplace_back(found.cFileName);
        while (FindNextFileA(h, &found));
        FindClose(h);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        std::ifstream in(jobs + "\\" + name, std::ios::binary);
        JournalStream stream;
        char buffer[65536];
        while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
            stream.Feed(buffer, static_cast<size_t>(in.gcount()), [&](const JournalLine& line) {
                if (line.kind != "cmd" || line.GetInt("delivered") != 1) return;
                ++*total;
                taken.emplace_back(static_cast<int32_t>(line.GetInt("code")),
                                   static_cast<int32_t>(line.GetInt("sent")));
                if (taken.size() > last) taken.pop_front();
            });
        }
    }
    return taken;
}

// Every command the host took since checking began is in the journal, in
// order, with its value: its last commands taken are those the host took.
std::string JournalMisses(const std::vector<JournalEntry>& host, size_t from) {
    const size_t want = host.size() - from;
    size_t total = 0;
    const std::deque<std::pair<int32_t, int32_t>> taken = JournalCommandsTaken(want, &total);
    if (total < want)
        return "the job journal holds " + std::to_string(total) + " commands, the host took " + std::to_string(want);
    const size_t skip = taken.size() - want;
    for (size_t i = 0; i < want; ++i) {
        const ToolCommand& c = host[from + i].block;
        if (taken[skip + i].first != c.CodeWord || taken[skip + i].second != c.Payload[0])
            return "the job journal differs from the host at command " + std::to_string(i + 1) + " of " +
                   std::to_string(want) + " (" + Hex(c.CodeWord) + " " + std::to_string(c.Payload[0]) + ")";
    }
    return std::string();
}

}  // namespace

InvariantCheck::InvariantCheck(Bench& bench) : m_bench(bench) {}

void InvariantCheck::Before(const ScriptStep& s, bool settingsHeld) {
    m_sentBefore = m_bench.Journal().size();
    if (s.verb != "reload") return;
    m_heldAtUnload = settingsHeld;
    harness::ReadBlock(PROCESS_BLOCK_NAME, &m_processBefore, sizeof m_processBefore);
    harness::ReadBlock(TOOL_CONTROL_BLOCK_NAME, &m_toolBefore, sizeof m_toolBefore);
}

std::string InvariantCheck::After(const ScriptStep& s, harness::Operator* op, bool settingsHeld) {
    std::string broken;
    auto fail = [&](const std::string& what) {
        if (broken.empty()) broken = what;
    };

    // Every command sent is within the drive table. A window end's bound
    // follows the interval last sent; before one is sent this load, the
    // widest interval of the list bounds it.
    const auto& journal = m_bench.Journal();
    if (m_journalFrom == SIZE_MAX) m_journalFrom = m_seen;
    // No command the operator did not ask for: only an operator's action
    // sends, and opening the window only the DT auto-gain state it must.
    static const char* const kSending[] = {"type",    "click",      "arrow", "slider",    "select",
                                           "sendall", "setup load", "key",   "answer box"};
    bool asked = false;
    for (const char* verb : kSending) asked = asked || s.verb == verb;
    for (size_t i = m_sentBefore; !asked && i < journal.size(); ++i) {
        const int32_t code = journal[i].block.CodeWord;
        if (s.verb == "show" && code == CMD_DT_AUTO_GAIN) continue;
        fail("step '" + s.verb + "' sent " + Hex(code) + " " + std::to_string(journal[i].block.Payload[0]) +
             ", which nobody asked for");
        break;
    }
    // The job journal: now and then, once its writer has had its turn.
    if (++m_steps % 40 == 0 || s.verb == "reload") {
        harness::PumpFor(250);
        const std::string misses = JournalMisses(journal, m_journalFrom);
        if (!misses.empty()) fail(misses);
    }
    for (; m_seen < journal.size(); ++m_seen) {
        const ToolCommand& c = journal[m_seen].block;
        const int32_t code = c.CodeWord, value = c.Payload[0];
        if (code == CMD_MONO_SAMPLERATE) m_monoInterval = value;
        if (code == CMD_DIPOLE_SAMPLERATE) m_dipoleInterval = value;
        ParameterSet p{};
        p.MonoSampleRate = m_monoInterval ? m_monoInterval : 36;
        p.DipoleSampleRate = m_dipoleInterval ? m_dipoleInterval : 48;
        int32_t lo = 0, hi = 0;
        if (DriveBounds(code, p, &lo, &hi) && (value < lo || value > hi))
            fail("command " + Hex(code) + " sent " + std::to_string(value) + ", outside " + std::to_string(lo) + ".." +
                 std::to_string(hi));
        m_last[code] = value;
        for (const GainBox& g : kGainBoxes)
            if (g.allCode == code) m_last[g.code] = value;
    }

    // Every float in both blocks is finite (ToolControlPara holds none).
    ProcessPara process{};
    ToolControlPara tool{};
    const bool haveProcess = harness::ReadBlock(PROCESS_BLOCK_NAME, &process, sizeof process);
    const bool haveTool = harness::ReadBlock(TOOL_CONTROL_BLOCK_NAME, &tool, sizeof tool);
    if (haveProcess) {
        for (size_t off : kProcessFloats) {
            float f;
            std::memcpy(&f, reinterpret_cast<const unsigned char*>(&process) + off, 4);
            if (!std::isfinite(f)) fail("VarroProcessPara field " + std::to_string(off) + " is not finite");
        }
    }

    if (s.verb == "settings" && s.word != "free") m_trusted = false;
    if (s.verb == "ini") {
        m_last.clear();  // a hand edit: the pages hold what the file says, not what was sent
        m_trusted = false;
    }
    if (s.verb == "reload") {
        // The file loads back to what the pages held (values reset at start
        // excepted: the curve and threshold type are not loaded, the window
        // ends start at 2960 and 8880 or 8640).
        if (m_trusted && !m_heldAtUnload && haveProcess) {
            ProcessPara a = m_processBefore, b = process;
            a.CurveSelect = b.CurveSelect = 0;
            a.ThresholdType = b.ThresholdType = 0;
            const std::string fields = DiffWords(&a, &b, sizeof a);
            if (!fields.empty()) fail("VarroProcessPara after the reload:" + fields);
            ToolControlPara c = m_toolBefore, d = tool;
            c.MonoWinEnd = d.MonoWinEnd = 0;  // the window ends start at their start values
            c.DipoleWinEnd = d.DipoleWinEnd = 0;
            const std::string words = haveTool ? DiffWords(&c, &d, sizeof c) : "";
            if (!words.empty()) fail("ToolControlPara after the reload:" + words);
            const std::string ini = harness::SettingsPath(harness::HostWorkSpace());
            for (const GainBox& g : kGainBoxes) {
                auto box = m_boxes.find(g.code);
                const FileKey k = SavedKeyOf(g.code);
                if (!k.key || box == m_boxes.end()) continue;
                char buf[32] = {};
                GetPrivateProfileStringA(k.section, k.key, "", buf, sizeof buf, ini.c_str());
                if (box->second != buf)
                    fail(std::string("[") + k.section + "] " + k.key + " is \"" + buf +
                         "\" after the unload, the box showed \"" + box->second + "\"");
            }
        }
        if (!m_trusted || m_heldAtUnload) m_last.clear();
        for (auto it = m_last.begin(); it != m_last.end();)
            it = ResetAtStart(it->first) ? m_last.erase(it) : std::next(it);
        m_monoInterval = m_dipoleInterval = 0;
        // A start that could not read the file keeps off it until the next.
        m_trusted = !settingsHeld;
    }
    // Box, block and last command agree.
    if (op) {
        for (const GainBox& g : kGainBoxes) {
            auto it = m_last.find(g.code);
            const std::string text = op->Text(g.page, g.id);
            // An empty box is the arrows' turn at an end of the range: the
            // setting holds the value the arrow sent (the box's old value
            // cut to the gain step), the next click goes on from the other end.
            if (text.empty()) {
                if (it != m_last.end()) m_boxes[g.code] = FormatInt(it->second);
                else m_boxes.erase(g.code);
                continue;
            }
            m_boxes[g.code] = text;
            if (it != m_last.end() && text != FormatInt(it->second))
                fail("box " + std::to_string(g.id) + " of page " + std::to_string(g.page) + " shows \"" + text +
                     "\", the last command " + Hex(g.code) + " sent " + std::to_string(it->second));
        }
        for (const CommandBox& b : kCommandBoxes) {
            auto it = m_last.find(b.code);
            const std::string text = op->Text(b.page, b.id);
            if (it != m_last.end() && text != FormatInt(it->second))
                fail("box " + std::to_string(b.id) + " of page " + std::to_string(b.page) + " shows \"" + text +
                     "\", the last command " + Hex(b.code) + " sent " + std::to_string(it->second));
        }
        if (haveProcess) {
            for (const ProcessBox& b : kProcessBoxes) {
                int32_t field;
                std::memcpy(&field, reinterpret_cast<const unsigned char*>(&process) + b.offset, 4);
                const std::string text = op->Text(harness::kAcoustic, b.id);
                if (text != FormatInt(field))
                    fail("box " + std::to_string(b.id) + " of the Acoustic page shows \"" + text +
                         "\", VarroProcessPara field " + std::to_string(b.offset) + " holds " + std::to_string(field));
            }
        }
    }
    if (haveTool) {
        auto start = m_last.find(CMD_DT_WIN_START);
        if (start != m_last.end() && tool.DtWinStart[0] != start->second)
            fail("DT window start " + std::to_string(tool.DtWinStart[0]) + " in ToolControlPara, " +
                 std::to_string(start->second) + " sent");
    }

    return broken;
}

// ---- The random operator and host.

namespace {

class Soak {
public:
    Soak(Bench& bench, uint32_t seed, const std::string& out)
        : m_bench(bench), m_rng(seed), m_session(bench, "soak", out) {}

    ScriptSession& Session() { return m_session; }

    std::string Next() {
        harness::Operator* op = m_session.Op();
        const int r = Pick(100);
        if (!op) return r < 80 ? "show" : HostStep();
        if (r < 55) return OperatorStep(*op);
        if (r < 85) return HostStep();
        if (r < 90) return "page " + std::to_string(Pick(5));
        if (r < 93) return "sendall";
        if (r < 96) return "close";
        return "reload";
    }

private:
    int Pick(int n) { return static_cast<int>(m_rng() % static_cast<uint32_t>(n)); }
    int Between(int lo, int hi) { return lo + Pick(hi - lo + 1); }

    std::string TypedText() {
        static const char* const kOdd[] = {
            "",     "-",   "abc", "1e3", "12x", " 7", "0x10", "12.7", "-0", "+5", "99999999999999999999", "-2147483649",
            "4e38", "nan", "inf", "1,5"};
        const int r = Pick(10);
        if (r < 5) return std::to_string(Between(-60, 140));
        if (r < 7) return std::to_string(Between(-100000, 100000));
        if (r < 9) return kOdd[Pick(static_cast<int>(sizeof kOdd / sizeof kOdd[0]))];
        return std::string(static_cast<size_t>(Between(40, 300)), static_cast<char>('0' + Pick(10)));
    }

    // A control of the shown page, and what an operator does with it.
    std::string OperatorStep(harness::Operator& op) {
        const int page = op.ShownPage();
        if (page < 0) return "page " + std::to_string(Pick(5));
        std::vector<HWND> controls;
        for (HWND c = GetWindow(op.PageWindow(page), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (GetDlgCtrlID(c) > 0 && IsWindowVisible(c)) controls.push_back(c);
        if (controls.empty()) return "page " + std::to_string(Pick(5));
        HWND c = controls[static_cast<size_t>(Pick(static_cast<int>(controls.size())))];
        const std::string at = std::to_string(page) + " " + std::to_string(GetDlgCtrlID(c));
        char cls[64] = {};
        GetClassNameA(c, cls, sizeof cls);
        if (!_stricmp(cls, "Edit")) {
            if (GetWindowLongA(c, GWL_STYLE) & ES_READONLY) return "key " + at + " tab";
            static const char* const kKeys[] = {
                "up",       "down",           "ctrl+a",        "enter",        "escape",   "tab",
                "ctrl+tab", "ctrl+shift+tab", "ctrl+pagedown", "ctrl+shift+d", "backspace"};
            if (Pick(4) == 0) return "key " + at + " " + kKeys[Pick(static_cast<int>(sizeof kKeys / sizeof kKeys[0]))];
            return "type " + at + " " + TypedText();
        }
        if (!_stricmp(cls, "Button")) return "click " + at;
        if (!_stricmp(cls, "ComboBox")) {
            const int n = static_cast<int>(SendMessageA(c, CB_GETCOUNT, 0, 0));
            return n > 0 ? "select " + at + " " + std::to_string(Pick(n)) : "click " + at;
        }
        if (!_stricmp(cls, TRACKBAR_CLASSA)) {
            const int lo = static_cast<int>(SendMessageA(c, TBM_GETRANGEMIN, 0, 0));
            const int hi = static_cast<int>(SendMessageA(c, TBM_GETRANGEMAX, 0, 0));
            if (Pick(3) == 0) return std::string("key ") + at + (Pick(2) ? " right" : " left");
            std::string line = "slider " + at;
            for (int i = Between(1, 3); i > 0; --i) line += " " + std::to_string(Between(lo - 3, hi + 3));
            return line;
        }
        if (!_stricmp(cls, UPDOWN_CLASSA)) return std::string("arrow ") + at + (Pick(2) ? " up" : " down");
        return "key " + at + " tab";
    }

    std::string HostStep() {
        switch (Pick(16)) {
        case 0: return "frames " + std::to_string(Between(1, 12));
        case 1: return "feed " + std::to_string(Pick(3) == 0 ? 0 : Between(5, 50));
        case 2: return "feed 0";
        case 3: return "fault drop " + std::to_string(Pick(4));
        case 4: return "fault unreadable " + std::to_string(Pick(4));
        case 5: return "fault clear";
        case 6: return "fault stuck " + std::string(Pick(2) ? "mono" : "dipole") + " " + std::to_string(Between(1, 8));
        case 7: return "fault offset " + std::to_string(Between(-6, 6));
        case 8: {
            char b[32];
            std::snprintf(b, sizeof b, "dspstatus %04X", static_cast<unsigned>(Pick(0x10000)));
            return b;
        }
        case 9: return "hoststate " + std::to_string(Between(-1, 4));
        case 10: return "lag " + std::to_string(Pick(4));
        case 11: return std::string("settings ") + (Pick(2) ? "locked" : "readonly");
        case 12:
        case 13: return "settings free";
        case 14: return "wait " + std::to_string(Between(50, 2500));
        default: return "frames " + std::to_string(Between(1, 4));
        }
    }

    Bench& m_bench;
    std::mt19937 m_rng;
    ScriptSession m_session;
};

BOOL CALLBACK CountOwnWindow(HWND w, LPARAM count) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// The process's windows on screen at a sample (the bench, the control
// window, the trend): each holds handles and memory of its own, so samples
// are compared with those taken with as many open.
int OpenWindows() {
    int count = 0;
    EnumWindows(&CountOwnWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

}  // namespace

// Private bytes a step may grow by in the later half of a run. The heap
// grows for several hundred steps (a 30-minute run: about 6.7 KB a step over
// its first 450 steps, under 1 KB after), so a later half shorter than
// 1000 steps (the test command's 30 s runs) is held to 16 KB, and its
// handles to 0.25 a step (a page or dialog first used late in a short run
// makes its GDI objects there; a handle lost per step still grows by 1).
constexpr double kSoakBytesPerStep = 4 * 1024;
constexpr double kShortSoakBytesPerStep = 16 * 1024;
constexpr int kSettledSteps = 1000;

int RunSoak(Bench& bench, double seconds, uint32_t seed, const std::string& outDir, std::string* failure) {
    const std::string out = HostPath(outDir);
    harness::MakeFolders(out);
    const std::string replayPath = out + "\\replay.txt";
    std::ofstream replay(replayPath, std::ios::binary | std::ios::trunc);
    replay << "# soak seed " << seed << ": KelvaneBench --script replay.txt --out DIR\n";
    Soak soak(bench, seed, out);
    const char* const kStart[] = {"check", "show"};
    for (const char* line : kStart) {
        replay << line << "\n";
        soak.Session().Run(line);
    }
    // A step that never returns (a modal loop nobody answers, a deadlock) is
    // a failure too: the watchdog names it and ends the process.
    std::atomic<double> stepStart{harness::Now()};
    std::atomic<bool> done{false};
    std::string current;
    std::mutex currentLock;
    std::thread watchdog([&] {
        while (!done.load()) {
            Sleep(500);
            if (harness::Now() - stepStart.load() > 60) {
                std::lock_guard<std::mutex> lock(currentLock);
                std::printf("soak: step \"%s\" has not returned for 60 s; replay with KelvaneBench --script %s\n",
                            current.c_str(), replayPath.c_str());
                std::fflush(stdout);
                ExitProcess(3);
            }
        }
    });
    // Handle and memory counts along the run, about every 1.5 s after the
    // first steps (they fill the caches). The bench's own journal keeps every
    // command of the run (the plug-in's keeps the last 100 000): its room is
    // made up front and the bytes it has filled are taken off each sample.
    bench.ReserveJournal(static_cast<size_t>(seconds * 25) + 1000);
    std::vector<UsageSample> usage;
    double lastSample = 0;
    const double t0 = harness::Now();
    int steps = 0;
    bool ok = true;
    while (harness::Now() - t0 < seconds) {
        const std::string line = soak.Next();
        replay << line << "\n";
        replay.flush();
        ++steps;
        {
            std::lock_guard<std::mutex> lock(currentLock);
            current = line;
        }
        stepStart.store(harness::Now());
        if (!soak.Session().Run(line)) {
            *failure = soak.Session().LastFailure();
            ok = false;
            break;
        }
        if (steps >= 10 && harness::Now() - lastSample >= 1.5) {
            UsageSample u = harness::MeasureUsage(steps);
            u.privateBytes -= static_cast<double>(bench.Journal().size() * sizeof(JournalEntry));
            u.state = OpenWindows();
            usage.push_back(u);
            lastSample = harness::Now();
        }
    }
    done.store(true);
    watchdog.join();
    soak.Session().Run("settings free");
    const double elapsed = harness::Now() - t0;
    // Steps differ in what they hold while they run (a stream, an open
    // window); a leak of one handle per step or of a view per reload shows.
    // Judged over the run's later half: the first uses of pages, dialogs and
    // the trend make the GDI objects they keep (about 15, all within the
    // first 100 steps of a 30-minute run) and grow the heap to what the
    // windows and the plug-in's bounded histories take at a time.
    std::string growth = "too few samples";
    if (ok && usage.size() >= 8) {
        const std::vector<UsageSample> later(usage.begin() + static_cast<std::ptrdiff_t>(usage.size() / 2),
                                             usage.end());
        const bool settled = later.back().cycle - later.front().cycle >= kSettledSteps;
        const GrowthBounds bounds{settled ? kSoakBytesPerStep : kShortSoakBytesPerStep, settled ? 0.1 : 0.25};
        const GrowthVerdict v = JudgeGrowth(later, bounds);
        growth = DescribeGrowth(v, bounds) + " (over the later half)";
        if (!v.ok) {
            std::printf("soak: growth: %s; samples (step, private bytes, GDI, USER, kernel, windows):\n",
                        v.why.c_str());
            for (const UsageSample& u : usage)
                std::printf("  %d %.0f %ld %ld %ld, %d windows open\n", u.cycle, u.privateBytes, u.gdi, u.user,
                            u.kernel, u.state);
            *failure = "growth: " + v.why;
            ok = false;
        }
    }
    std::printf("soak seed %u: %d steps in %.1f s (%.1f steps per second), %zu commands; %s; %s\n", seed, steps,
                elapsed, steps / elapsed, bench.Journal().size(), growth.c_str(), ok ? "clean" : "FAILED");
    if (!ok) std::printf("soak: replay with KelvaneBench --script %s --out DIR\n", replayPath.c_str());
    return ok ? 0 : 1;
}

// ---- Shortening a failing replay.

namespace {

struct ChildRun {
    int exitCode = -1;  // -1: killed at its time bound
    std::string output;
};

// Runs this executable on a script in a child process, its output in a file.
ChildRun RunChild(const std::string& script, const std::string& out, double seconds) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, sizeof exe);
    const std::string logPath = out + "\\child.log";
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE log = CreateFileA(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
    ChildRun r;
    if (log == INVALID_HANDLE_VALUE) return r;
    std::string cmd = std::string("\"") + exe + "\" --script \"" + script + "\" --out \"" + out +
                      "\\child\" --work D:\\bench-shrink";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = log;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    if (CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        if (WaitForSingleObject(pi.hProcess, static_cast<DWORD>(seconds * 1000)) == WAIT_TIMEOUT) {
            TerminateProcess(pi.hProcess, 4);
            WaitForSingleObject(pi.hProcess, INFINITE);
        } else {
            DWORD code = 0;
            GetExitCodeProcess(pi.hProcess, &code);
            r.exitCode = static_cast<int>(code);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(log);
    std::ifstream in(logPath, std::ios::binary);
    r.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return r;
}

// What a failed run says: its first failed step's text without the script's
// name and line; a run that failed without one, its exit code.
std::string FailureOf(const ChildRun& r) {
    if (r.exitCode == 0) return "";
    const size_t at = r.output.find(": FAILED: ");
    if (at == std::string::npos)
        return r.exitCode < 0 ? "no end within its time" : "exit " + std::to_string(r.exitCode);
    const size_t from = at + 10;
    return r.output.substr(from, r.output.find_first_of("\r\n", from) - from);
}

void WriteSteps(const std::string& path, const std::string& header, const std::vector<std::string>& steps) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!header.empty()) f << header << "\n";
    for (const std::string& s : steps) f << s << "\n";
}

}  // namespace

int ShrinkReplay(const std::string& replayFile, const std::string& outDir, double seconds,
                 const std::string& knownFailure) {
    const std::string replay = HostPath(replayFile), out = HostPath(outDir);
    harness::MakeFolders(out);
    std::ifstream in(replay, std::ios::binary);
    std::vector<std::string> steps;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] != '#') steps.push_back(line);
    }
    if (steps.empty()) {
        std::printf("shrink: no steps in %s\n", replay.c_str());
        return 2;
    }
    const std::string candidate = out + "\\shrink-candidate.txt";
    const double t0 = harness::Now();
    double perRun = seconds;  // a try of a known failure ends within the time left
    std::string failure = knownFailure;
    int runs = 0;
    if (failure.empty()) {
        WriteSteps(candidate, "", steps);
        failure = FailureOf(RunChild(candidate, out, seconds));
        runs = 1;
        if (failure.empty()) {
            std::printf("shrink: the replay of %zu steps passed this time (a failure that depends on timing)\n",
                        steps.size());
            return 1;
        }
        // A try has fewer steps than the whole replay: its time and a margin.
        perRun = harness::Now() - t0 + 30;
    }
    const std::vector<std::string> shortest = kelvane::ShrinkSteps(
        steps, steps[0] == "check" ? 1 : 0,
        [&](const std::vector<std::string>& cut) {
            ++runs;
            WriteSteps(candidate, "", cut);
            const double left = seconds - (harness::Now() - t0);
            return FailureOf(RunChild(candidate, out, std::max(5.0, std::min(perRun, left)))) == failure;
        },
        [&] { return harness::Now() - t0 < seconds; });
    const std::string shortPath = out + "\\short-replay.txt";
    WriteSteps(shortPath,
               "# " + std::to_string(shortest.size()) + " of " + std::to_string(steps.size()) +
                   " steps, fails with: " + failure,
               shortest);
    std::printf("shrink: %zu of %zu steps still fail (%d tries, %.0f s): KelvaneBench --script %s\n", shortest.size(),
                steps.size(), runs, harness::Now() - t0, shortPath.c_str());
    for (const std::string& s : shortest) std::printf("  %s\n", s.c_str());
    return 0;
}

}  // namespace bench
