// A minimal host: loads Kelvane.dll as the acquisition host does and prints
// what start-up did (INI path, both shared blocks decoded field by field).
//   KelvaneProbe [--show] [--frames N] [--exit-without-unload] [--reload N FILE] [--work D:\folder]
//                [--type PAGE ID TEXT]... [--hold NAME]
// --reload N FILE unloads the library and loads it again N times, FILE put in
// the INI's place (whole, in one step) before each load: every unload then
// saves what the load made of FILE. A host to kill in the middle of a save.
// --type opens the control window on page PAGE (0-4) and types TEXT and Enter
// into control ID, as an operator; --hold then sets the event NAME-ready and
// unloads only once the event NAME is set: a second host on the same folder.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "HostHarness.h"
#include "Operator.h"
#include "base/logic/NumberText.h"

using namespace kelvane;

int main(int argc, char** argv) {
    bool show = false, exitWithoutUnload = false;
    int frames = 0, reloads = 0;
    std::string reloadFile;
    std::string work = "D:\\bench";
    struct Typing {
        int page, id;
        std::string text;
    };
    std::vector<Typing> typing;
    std::string hold;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--show")) show = true;
        else if (!std::strcmp(argv[i], "--exit-without-unload")) exitWithoutUnload = true;
        else if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) frames = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--reload") && i + 2 < argc) {
            reloads = std::atoi(argv[++i]);
            reloadFile = argv[++i];
        } else if (!std::strcmp(argv[i], "--work") && i + 1 < argc) work = argv[++i];
        else if (!std::strcmp(argv[i], "--type") && i + 3 < argc) {
            typing.push_back({std::atoi(argv[i + 1]), std::atoi(argv[i + 2]), argv[i + 3]});
            i += 3;
        } else if (!std::strcmp(argv[i], "--hold") && i + 1 < argc) hold = argv[++i];
    }
    harness::HostHarness host;
    host.PrepareWorkFolder(work, /*keepIni=*/true);
    const bool hadIni = host.IniExists();
    if (!host.Load()) {
        std::printf("Kelvane.dll did not load (error %lu)\n", GetLastError());
        return 1;
    }
    std::printf("Kelvane.dll loaded. INI: %s (%s)\n", host.IniPath().c_str(),
                hadIni ? "loaded" : "absent: defaults in force, written at unload");
    std::fputs(harness::DescribeBlocks("\n").c_str(), stdout);
    host.Init();
    const std::string staged = host.IniPath() + ".probe";
    for (int i = 0; i < reloads; ++i) {
        host.Unload();
        CopyFileA(reloadFile.c_str(), staged.c_str(), FALSE);
        MoveFileExA(staged.c_str(), host.IniPath().c_str(), MOVEFILE_REPLACE_EXISTING);
        host.Load();
    }

    std::vector<int16_t> frame(FRAME_MIN_WORDS, 0);
    host.SetFrame(frame.data());
    for (int i = 0; i < frames; ++i) host.Process();

    if (!typing.empty()) {
        harness::Operator op(host.Show());
        for (const Typing& t : typing) {
            op.ClickPageItem(t.page);
            op.TypeAndEnter(t.page, t.id, t.text);
        }
    }
    if (!hold.empty()) {
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, (hold + "-ready").c_str());
        HANDLE go = CreateEventA(nullptr, TRUE, FALSE, hold.c_str());
        SetEvent(ready);
        const DWORD start = GetTickCount();
        while (MsgWaitForMultipleObjects(1, &go, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0 &&
               GetTickCount() - start < 60000)
            harness::HostHarness::Pump(1);
        CloseHandle(go);
        CloseHandle(ready);
    }
    if (exitWithoutUnload) ExitProcess(0);  // a host that simply exits

    if (show) {
        HWND w = host.Show();
        std::printf("Control window %p; close it to unload.\n", static_cast<void*>(w));
        while (w && IsWindow(w)) {
            MSG msg;
            if (GetMessageA(&msg, nullptr, 0, 0) <= 0) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            host.Process();
        }
        std::printf("Commands received: %zu\n", host.Commands().size());
        for (const auto& c : host.Commands()) {
            const char* name = CommandName(c.Code());
            std::printf("  0x%04X %-28s arg %d value %d\n", c.Code(), name ? name : "?", c.block.ArgWord, c.Value());
        }
    }
    host.SetFrame(nullptr);
    host.Unload();
    std::printf("Unloaded; INI written: %s\n", host.IniExists() ? "yes" : "no");
    return 0;
}
