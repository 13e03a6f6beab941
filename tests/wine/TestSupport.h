// Small helpers shared by the system tests.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "FrameStream.h"
#include "HostHarness.h"
#include "Operator.h"

namespace kelvane::testsupport {

// Each test gets a work folder of its own on D: (parameterised names carry '/').
inline std::string TestFolder() {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name)
        if (c == '/') c = '_';
    return "D:\\work\\" + name;
}

// A table's next case: the plug-in unloaded, a fresh work folder inside the test's.
inline void NextCase(harness::HostHarness& host, const std::string& name) {
    harness::RestartIn(host, TestFolder() + "\\" + name);
}

// The slow runs (cycles, long floods) happen with KELVANE_SLOW=1; scripts/test.sh sets it unless --fast.
inline bool SlowRun() {
    const char* v = std::getenv("KELVANE_SLOW");
    return v && std::strcmp(v, "1") == 0;
}

struct NoteSearch {
    HWND box;
    std::string text;
};
inline BOOL CALLBACK FindNote(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<NoteSearch*>(p);
    char cls[32] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpiA(cls, "tooltips_class32") != 0 || !IsWindowVisible(w)) return TRUE;
    char text[1024] = {};
    TOOLINFOA ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = s->box;
    ti.uId = reinterpret_cast<UINT_PTR>(s->box);
    ti.lpszText = text;
    SendMessageA(w, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&ti));
    if (text[0] == '\0') return TRUE;
    s->text = text;
    return FALSE;
}

// The note shown at a box (its balloon), "" when none is showing.
inline std::string NoteAt(HWND box) {
    NoteSearch search{box, std::string()};
    EnumThreadWindows(GetCurrentThreadId(), &FindNote, reinterpret_cast<LPARAM>(&search));
    return search.text;
}

// Seconds from the performance counter.
using harness::Now;

inline bool IsFile(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// A file's bytes ("" when it cannot be read).
inline std::string ReadRaw(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace kelvane::testsupport
