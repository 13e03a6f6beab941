// Script mode: runs a bench script against the real plug-in, driving its
// window with the same operator helpers as the system tests.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "Bench.h"
#include "HostHarness.h"
#include "Operator.h"
#include "bench/logic/BenchScript.h"
#include "bench/logic/PngWriter.h"
#include "core/logic/NumberText.h"

using namespace kelvane;

namespace bench {
namespace {

void Pump() { drive::Operator::Pump(3); }

// The window as it is on screen, as 24-bit RGB rows, top row first.
bool CaptureWindow(HWND w, int& width, int& height, std::vector<uint8_t>& rgb) {
    // Captured from the screen: the window goes on top of the others first.
    SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Pump();
    RECT rc;
    if (!GetWindowRect(w, &rc)) return false;
    width = rc.right - rc.left;
    height = rc.bottom - rc.top;
    if (width <= 0 || height <= 0) return false;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, dib);
    // From the screen: what the operator sees, children and caption included.
    BOOL ok = BitBlt(mem, 0, 0, width, height, screen, rc.left, rc.top, SRCCOPY | CAPTUREBLT);
    if (!ok) ok = PrintWindow(w, mem, 0);
    GdiFlush();
    if (ok && bits) {
        const auto* px = static_cast<const uint8_t*>(bits);
        rgb.resize(static_cast<size_t>(width) * height * 3);
        for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
            rgb[i * 3] = px[i * 4 + 2];
            rgb[i * 3 + 1] = px[i * 4 + 1];
            rgb[i * 3 + 2] = px[i * 4];
        }
    }
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(dib);
    ReleaseDC(nullptr, screen);
    return ok && bits;
}

bool SavePng(HWND w, const std::string& path) {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    if (!w || !CaptureWindow(w, width, height, rgb)) return false;
    const std::vector<uint8_t> png = EncodePng(width, height, rgb);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return !png.empty() && static_cast<bool>(out);
}

struct ClickContext {
    drive::Operator* op;
    int page;
    int id;
};

}  // namespace

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
    for (size_t i = 3; i <= out.size(); ++i)
        if (i == out.size() || out[i] == '\\') CreateDirectoryA(out.substr(0, i).c_str(), nullptr);

    std::unique_ptr<drive::Operator> op;
    size_t commandCursor = 0;  // "expect command" searches from here on
    int failures = 0;
    auto fail = [&](const ScriptStep& s, const std::string& what) {
        std::printf("%s:%d: FAILED: %s\n", scriptPath.c_str(), s.line, what.c_str());
        ++failures;
    };
    auto needWindow = [&](const ScriptStep& s) {
        if (op && IsWindow(op->Frame())) return true;
        fail(s, "the control window is not open (use 'show')");
        return false;
    };

    for (const ScriptStep& s : steps) {
        const std::vector<int32_t>& n = s.num;
        if (s.verb == "show") {
            HWND w = bench.ShowControl();
            Pump();
            if (!w) fail(s, "ToolControlShow returned no window");
            else op.reset(new drive::Operator(w));
        } else if (s.verb == "close") {
            if (HWND w = bench.ControlWindow()) SendMessageA(w, WM_CLOSE, 0, 0);
            Pump();
            op.reset();
        } else if (s.verb == "reload") {
            op.reset();
            if (!bench.Reload()) fail(s, "Kelvane.dll did not reload");
            Pump();
        } else if (s.verb == "page") {
            if (needWindow(s)) op->ClickPageItem(n[0]);
        } else if (s.verb == "frames") {
            for (int i = 0; i < n[0]; ++i) {
                bench.RunFrame();
                Pump();
            }
        } else if (s.verb == "lag") {
            bench.WithSim([&](ToolSim& sim) { sim.SetLag(n[0]); });
        } else if (s.verb == "hoststate") {
            bench.SendHostState(n[0]);
            Pump();
        } else if (s.verb == "dspstatus") {
            bench.WithSim([&](ToolSim& sim) { sim.Fault().DspFaultBits = static_cast<uint16_t>(n[0] & 0xFFFF); });
            bench.ReportStatus();
            Pump();
        } else if (s.verb == "fault stuck") {
            const Section sec = s.word == "dt" ? Section::Dt : s.word == "mono" ? Section::Mono : Section::Dipole;
            bench.WithSim([&](ToolSim& sim) { sim.StickChannel(sec, n[0] - 1); });
        } else if (s.verb == "fault offset") {
            bench.WithSim([&](ToolSim& sim) { sim.Fault().ReadBackOffset = n[0]; });
        } else if (s.verb == "fault drop") {
            bench.WithSim([&](ToolSim& sim) { sim.Fault().DropEvery = n[0] > 0 ? n[0] : 0; });
        } else if (s.verb == "fault clear") {
            bench.WithSim([&](ToolSim& sim) {
                sim.ClearStuck();
                sim.Fault().ReadBackOffset = 0;
                sim.Fault().DropEvery = 0;
                sim.Fault().DspFaultBits = 0;
            });
        } else if (s.verb == "type") {
            if (needWindow(s)) op->TypeAndEnter(n[0], n[1], s.text);
        } else if (s.verb == "click") {
            if (needWindow(s)) {
                ClickContext ctx{op.get(), n[0], n[1]};
                const std::string box = op->AnswerMessageBox(
                    [](void* c) {
                        auto* x = static_cast<ClickContext*>(c);
                        x->op->Click(x->page, x->id);
                    },
                    &ctx);
                if (!box.empty()) std::printf("%s:%d: message box: %s\n", scriptPath.c_str(), s.line, box.c_str());
            }
        } else if (s.verb == "arrow") {
            if (needWindow(s)) op->Arrow(n[0], n[1], s.text == "up");
        } else if (s.verb == "slider") {
            if (needWindow(s)) op->DragSlider(n[0], n[1], std::vector<int>(n.begin() + 2, n.end()));
        } else if (s.verb == "select") {
            if (needWindow(s)) op->SelectCombo(n[0], n[1], n[2]);
        } else if (s.verb == "screenshot" || s.verb == "benchshot") {
            HWND w = s.verb == "screenshot" ? bench.ControlWindow() : bench.Window();
            const std::string path = out + "\\" + s.text + ".png";
            if (!SavePng(w, path)) fail(s, "no screenshot " + path);
        } else if (s.verb == "expect command") {
            const auto& j = bench.Journal();
            size_t i = commandCursor;
            while (i < j.size() && !(j[i].block.CodeWord == n[0] && j[i].block.Payload[0] == n[1])) ++i;
            if (i < j.size()) {
                commandCursor = i + 1;
            } else {
                std::string seen;
                for (size_t k = commandCursor; k < j.size(); ++k) {
                    char b[32];
                    std::snprintf(b, sizeof b, " %04X:%d", static_cast<unsigned>(j[k].block.CodeWord),
                                  j[k].block.Payload[0]);
                    seen += b;
                }
                char b[64];
                std::snprintf(b, sizeof b, "command 0x%04X with %d not received; since then:",
                              static_cast<unsigned>(n[0]), n[1]);
                fail(s, b + (seen.empty() ? std::string(" nothing") : seen));
            }
        } else if (s.verb == "expect field") {
            uint8_t block[76] = {};
            const bool tool = s.word == "toolcontrol";
            const size_t size = tool ? sizeof(ToolControlPara) : sizeof(ProcessPara);
            const bool real = s.text.find('.') != std::string::npos;
            if (n[0] < 0 || static_cast<size_t>(n[0]) + 4 > size || n[0] % 4) {
                fail(s, "offset outside the block");
            } else if (!drive::ReadBlock(tool ? TOOL_CONTROL_BLOCK_NAME : PROCESS_BLOCK_NAME, block, size)) {
                fail(s, "block " + s.word + " not found");
            } else if (real) {
                float got;
                std::memcpy(&got, block + n[0], 4);
                const float want = ParseLeadingFloat(s.text.c_str());
                if (got != want) fail(s, "field " + std::to_string(n[0]) + " is " + FormatFixed(got, 6));
            } else {
                int32_t got, want = 0;
                std::memcpy(&got, block + n[0], 4);
                if (!ParseScriptInt(s.text, want)) fail(s, "'" + s.text + "' is not a number");
                else if (got != want) fail(s, "field " + std::to_string(n[0]) + " is " + std::to_string(got));
            }
        } else if (s.verb == "expect text" || s.verb == "expect readback") {
            if (needWindow(s)) {
                const std::string want = s.verb == "expect text" ? s.text : std::to_string(n[2]);
                const std::string got = op->Text(n[0], n[1]);
                if (got != want) fail(s, "text of " + std::to_string(n[1]) + " is \"" + got + "\", not \"" + want + "\"");
            }
        }
    }

    const std::string journal = out + "\\journal.jsonl";
    if (!bench.WriteJsonLines(journal)) std::printf("cannot write %s\n", journal.c_str());
    std::printf("%s: %zu steps, %zu commands, %d failed; journal %s\n", scriptPath.c_str(), steps.size(),
                bench.Journal().size(), failures, journal.c_str());
    return failures ? 1 : 0;
}

}  // namespace bench
