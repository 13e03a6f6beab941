// KelvaneBench [--script FILE --out DIR] [--work D:\folder]
// KelvaneBench --soak SECONDS [--seed N] [--out DIR] [--work D:\folder]
//   Without --script: the bench window; the plug-in is loaded at start and
//   unloaded at exit. With --script: runs the script headless-friendly and
//   exits 0 when every expectation held, 1 when one failed, 2 on a bad script.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Bench.h"

int main(int argc, char** argv) {
    std::string script, out = "D:\\bench\\out", work;
    double soakSeconds = 0;
    unsigned long seed = 1;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--script") && i + 1 < argc) script = argv[++i];
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc) out = argv[++i];
        else if (!std::strcmp(argv[i], "--work") && i + 1 < argc) work = argv[++i];
        else if (!std::strcmp(argv[i], "--soak") && i + 1 < argc) soakSeconds = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) seed = std::strtoul(argv[++i], nullptr, 0);
        else {
            std::printf("usage: KelvaneBench [--script FILE | --soak SECONDS [--seed N]] [--out DIR] [--work D:\\folder]\n");
            return 2;
        }
    }
    const bool soak = soakSeconds > 0;
    const bool scripted = !script.empty() || soak;

    // The host's fixed configuration: a script runs in a work folder of its
    // own, started fresh, and leaves the operator's set-up as it found it.
    const std::string before = drive::HostWorkSpace();
    if (scripted) {
        if (work.empty()) work = "D:\\bench-script";
        bench::EnsureHostConfig(work, true);
        DeleteFileA(drive::SettingsPath(work).c_str());
    } else {
        const std::string ws = bench::EnsureHostConfig(work.empty() ? "D:\\bench" : work, !work.empty());
        std::printf("Work folder: %s (KelvaneCtrl.ini is written there when the plug-in unloads)\n", ws.c_str());
    }

    int status = 0;
    {
        bench::Bench b;
        if (!b.Create(true)) {
            std::printf("cannot create the bench window (error %lu)\n", GetLastError());
            return 2;
        }
        if (!b.LoadPlugin()) {
            std::printf("Kelvane.dll did not load (error %lu)\n", GetLastError());
            return 2;
        }
        if (scripted) {
            status = soak ? bench::RunSoak(b, soakSeconds, static_cast<uint32_t>(seed), out)
                          : bench::RunScript(b, script, out);
        } else {
            b.ShowControl();
            b.ApplyToolPanel();  // starts the frames at the panel's rate
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        b.UnloadPlugin();  // shut-down writes the INI
    }
    if (scripted) drive::SetHostWorkSpace(before);
    return status;
}
