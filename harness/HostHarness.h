// Plays the acquisition host for tests and the bench: prepares the host's
// configuration on drive D:, owns a host window that records every tool
// command, loads Kelvane.dll and calls its exports, serves data frames
// through Tamsil.dll, and reads both shared blocks by name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "KelvaneHost.h"
#include "core/logic/SaveRules.h"

namespace harness {

struct RecordedCommand {
    HWND controlWindow;          // wParam of WM_TOOLCONTROL
    kelvane::ToolCommand block;  // all 520 bytes as the host saw them
    int32_t Code() const { return block.CodeWord; }
    int32_t Value() const { return block.Payload[0]; }
};

// Creates every folder of a drive path ("D:\\a\\b") that is missing.
void MakeFolders(const std::string& path);
// The work folder the host's configuration names ("" when none).
std::string HostWorkSpace();
// Names workFolder (created if missing) in the host's configuration; "" removes the key.
void SetHostWorkSpace(const std::string& workFolder);
// The plug-in's settings file in a work folder.
inline std::string SettingsPath(const std::string& workFolder) {
    return workFolder + "\\" + kelvane::SETTINGS_FILE_NAME;
}

// A loaded plug-in's three exports, found by name.
struct PluginExports {
    ToolControlInitFn init = nullptr;
    ToolControlShowFn show = nullptr;
    ToolControlProcessFn process = nullptr;
};
// LoadLibrary("Kelvane.dll") and its exports; null (and nothing left loaded)
// when it cannot be loaded or an export is missing.
HMODULE LoadPlugin(PluginExports* out);
// FreeLibrary, then this thread's loop until the library is gone: freed while
// its code ran moments ago, it goes once the loop is idle. False when it is
// still loaded after timeoutMs.
bool UnloadPlugin(HMODULE dll, DWORD timeoutMs = 5000);
bool WaitUntilUnloaded(DWORD timeoutMs = 5000);

class HostHarness {
public:
    HostHarness();
    ~HostHarness();
    HostHarness(const HostHarness&) = delete;
    HostHarness& operator=(const HostHarness&) = delete;

    // Points the host's Config.ini at workFolder (created if missing); an empty
    // name removes the key. Removes any KelvaneCtrl.ini (and copy of it, and
    // the trace Kelvane.log) there unless keepIni.
    void PrepareWorkFolder(const std::string& workFolder, bool keepIni = false);
    std::string IniPath() const { return SettingsPath(m_workFolder); }
    // Where the plug-in puts the settings it cannot write to the INI.
    std::string CopyPath() const { return m_workFolder + "\\" + kelvane::SettingsCopyName(IniPath()); }
    const std::string& WorkFolder() const { return m_workFolder; }
    // Writes text as the whole KelvaneCtrl.ini.
    void WriteIni(const std::string& text) const;
    std::string ReadIni() const;
    bool IniExists() const;

    bool Load();    // LoadLibrary("Kelvane.dll"): the plug-in's start-up runs
    void Unload();  // FreeLibrary: shut-down runs (see UnloadPlugin)
    // The loaded library, now the caller's to free (a test that unloads at an
    // awkward moment); the harness forgets it.
    HMODULE TakeModule();
    bool Loaded() const { return m_dll != nullptr; }
    void Init();  // ToolControlInit(0, 0, host window)
    void InitWith(HWND hostWindow);
    HWND Show();                                   // ToolControlShow(0)
    void Process(uint32_t a = 0, uint32_t b = 0);  // ToolControlProcess

    // Frames served by GetToolSubsetPtr (null = a dropped frame).
    void SetFrame(const int16_t* frame);
    // Each GetToolSubsetPtr call waits this long before it returns.
    void SetFrameDelay(DWORD ms);
    long SubsetCalls() const;
    void SubsetArgs(int32_t args[4]) const;

    HWND HostWindow() const { return m_hostWnd; }
    const std::vector<RecordedCommand>& Commands() const { return m_commands; }
    std::vector<int32_t> Codes() const;
    void ClearCommands() { m_commands.clear(); }

    // Blocks read by name from the host's side; false when absent.
    bool ReadToolControl(kelvane::ToolControlPara* out) const;
    bool ReadProcess(kelvane::ProcessPara* out) const;

    // Dispatches every queued message of this thread (the host's UI loop);
    // a round stops after 250 ms if the queue never runs dry.
    static void Pump(int rounds = 3);

private:
    static LRESULT CALLBACK HostProc(HWND, UINT, WPARAM, LPARAM);
    HMODULE m_dll = nullptr;
    HMODULE m_tamsil = nullptr;
    HWND m_hostWnd = nullptr;
    std::string m_workFolder;
    std::vector<RecordedCommand> m_commands;
    PluginExports m_exports;
};

// Reads a named block's first n bytes; false when it does not exist.
bool ReadBlock(const char* name, void* out, size_t n);

// Both blocks as the host reads them now, field by field with their byte
// offsets, lines ending in newline (the bench's panel, the probe's output).
std::string DescribeBlocks(const char* newline);

}  // namespace harness
