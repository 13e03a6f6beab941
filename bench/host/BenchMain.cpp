// KelvaneBench [--script FILE --out DIR [--pace MS]] [--work D:\folder]
// KelvaneBench --soak SECONDS [--seed N] [--shrink-seconds S] [--out DIR] [--work D:\folder]
// KelvaneBench --shrink REPLAY [--shrink-seconds S] [--out DIR]
//   Without --script: the bench window; the plug-in is loaded at start and
//   unloaded at exit. With --script: runs the script headless-friendly and
//   exits 0 when every expectation held, 1 when one failed, 2 on a bad script.
//   --pace waits MS after each step (the loop runs on), to watch a run.
//   A soak that fails cuts its replay down to the steps that still fail, for
//   at most S seconds (default 120; 0: not at all), into short-replay.txt;
//   --shrink does the same for a replay left by a soak that died.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Bench.h"
#include "KelvaneHost.h"

namespace {

// A script names its own work folder in the host's configuration. What it
// found there waits in this file until the run gives it back, so a run that
// was killed is undone when the bench next starts.
std::string RestorePath() {
    std::string path = kelvane::HOST_CONFIG_PATH;
    return path.substr(0, path.size() - 4) + ".bench-script.ini";
}

void KeepForRestore(const std::string& workSpace) {
    const std::string path = RestorePath();
    harness::MakeFolders(path.substr(0, path.rfind('\\')));  // a new machine has no host folder yet
    WritePrivateProfileStringA("RESTORE", "WorkSpace", workSpace.c_str(), path.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // on disk before Config.ini changes
}

void RestoreHostConfig() {
    const std::string path = RestorePath();
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    char ws[MAX_PATH] = {};
    GetPrivateProfileStringA("RESTORE", "WorkSpace", "", ws, sizeof ws, path.c_str());
    harness::SetHostWorkSpace(ws);
    DeleteFileA(path.c_str());
}

// Deletes the files of folder whose names match pattern.
void DeleteMatching(const std::string& folder, const char* pattern) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileA((folder + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(h, &found));
    FindClose(h);
}

}  // namespace

int main(int argc, char** argv) {
    std::string script, out = "D:\\bench\\out", work;
    int pace = 0;
    double soakSeconds = 0, shrinkSeconds = 120;
    std::string shrink;
    unsigned long seed = 1;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--script") && i + 1 < argc) script = argv[++i];
        else if (!std::strcmp(argv[i], "--out") && i + 1 < argc) out = argv[++i];
        else if (!std::strcmp(argv[i], "--work") && i + 1 < argc) work = argv[++i];
        else if (!std::strcmp(argv[i], "--pace") && i + 1 < argc) pace = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--soak") && i + 1 < argc) soakSeconds = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) seed = std::strtoul(argv[++i], nullptr, 0);
        else if (!std::strcmp(argv[i], "--shrink") && i + 1 < argc) shrink = argv[++i];
        else if (!std::strcmp(argv[i], "--shrink-seconds") && i + 1 < argc) shrinkSeconds = std::atof(argv[++i]);
        else {
            std::printf(
                "usage: KelvaneBench [--script FILE [--pace MS] | --soak SECONDS [--seed N] | --shrink REPLAY]"
                " [--shrink-seconds S] [--out DIR] [--work D:\\folder]\n");
            return 2;
        }
    }
    if (!shrink.empty()) return bench::ShrinkReplay(shrink, out, shrinkSeconds > 0 ? shrinkSeconds : 120);
    const bool soak = soakSeconds > 0;
    const bool scripted = !script.empty() || soak;

    // The host's fixed configuration: a script runs in a work folder of its
    // own, started fresh, and leaves the operator's set-up as it found it,
    // also after a run that was killed.
    RestoreHostConfig();
    const std::string before = harness::HostWorkSpace();
    if (scripted) {
        if (work.empty()) work = "D:\\bench-script";
        KeepForRestore(before);
        bench::EnsureHostConfig(work, true);
        DeleteFileA(harness::SettingsPath(work).c_str());
        // Fresh means no set-ups or copies of an earlier run either.
        DeleteMatching(work + "\\Setups", "*.ini");
        RemoveDirectoryA((work + "\\Setups").c_str());
        DeleteMatching(work, "KC*.ini");
    } else {
        const std::string ws = bench::EnsureHostConfig(work.empty() ? "D:\\bench" : work, !work.empty());
        std::printf("Work folder: %s (KelvaneCtrl.ini is written there when the plug-in unloads)\n", ws.c_str());
    }

    int status = 0;
    std::string failure;
    {
        bench::Bench b;
        if (!b.Create(true)) {
            std::printf("cannot create the bench window (error %lu)\n", GetLastError());
            if (scripted) RestoreHostConfig();
            return 2;
        }
        if (!b.LoadPlugin()) {
            std::printf("Kelvane.dll did not load (error %lu)\n", GetLastError());
            if (scripted) RestoreHostConfig();
            return 2;
        }
        if (scripted) {
            status = soak ? bench::RunSoak(b, soakSeconds, static_cast<uint32_t>(seed), out, &failure)
                          : bench::RunScript(b, script, out, pace);
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
    if (scripted) RestoreHostConfig();
    if (soak && status != 0 && shrinkSeconds > 0 && failure.rfind("growth", 0) != 0)
        bench::ShrinkReplay(out + "\\replay.txt", out, shrinkSeconds, failure);
    return status;
}
