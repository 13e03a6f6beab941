// The hosts of the environment matrix. scripts/test.sh runs the system tests
// that touch numbers, layout and drawing again in hosts that differ from ours
// the way real installations do; KELVANE_HOST_ENV names the host this
// process plays:
//   german  calls setlocale(LC_ALL, "German") in the C runtime it shares
//           with the plug-in, before the plug-in is loaded
//   fpu     runs with invalid operation, division by zero and overflow
//           unmasked in the x87 control word
//   dpi144  runs in a Wine prefix at 144 DPI (a DPI-aware host)
//   cc6     has a manifest beside the exe asking for common controls 6
//   wow64   runs in a 64-bit Wine prefix, under WoW64 as the hosts do on
//           64-bit Windows (32-bit folder and registry views)
// Unset: our plain host (C locale, 96 DPI, common controls 5, masked FPU).
#include <gtest/gtest.h>

#include <windows.h>
#include <float.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include "HostHarness.h"
#include "Operator.h"
#include "TestSupport.h"
#include "resource.h"

using harness::HostHarness;
using namespace kelvane::testsupport;

namespace {

constexpr unsigned kUnmaskedFpu = _EM_INEXACT | _EM_UNDERFLOW | _EM_DENORMAL;

std::string HostEnvironment() {
    const char* v = std::getenv("KELVANE_HOST_ENV");
    return v ? v : "";
}

// What the host does before the first test loads the plug-in. The FPU
// control word is per thread: the tests run on this one.
class HostSetUp : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string env = HostEnvironment();
        if (env == "german") {
            ASSERT_NE(nullptr, std::setlocale(LC_ALL, "German"));
        } else if (env == "fpu") {
            _clearfp();
            _control87(kUnmaskedFpu, _MCW_EM);
        }
    }
};
::testing::Environment* const g_hostSetUp = ::testing::AddGlobalTestEnvironment(new HostSetUp);

int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi;
}

// Version 6 of the common controls is the side-by-side assembly (Wine's
// reports 5.81 from DllGetVersion either way).
bool CommonControls6() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, MAX_PATH);
    CharLowerA(path);
    return std::strstr(path, "\\winsxs\\x86_microsoft.windows.common-controls_") != nullptr;
}

}  // namespace

// The matrix tests nothing unless each host really is what it claims; and
// the plug-in, once it has run, must leave the host's locale and FPU alone.
TEST(HostEnvironment, IsTheHostTheMatrixAskedFor) {
    const std::string env = HostEnvironment();
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    const unsigned fpu = _control87(0, 0) & _MCW_EM;

    HostHarness host;
    host.PrepareWorkFolder(TestFolder());
    harness::Operator op = harness::OpenOnPage(host, harness::kAcoustic, "[ACOUSTIC PROCESS]\r\nCoefficient=2.5\r\n");
    op.DragSlider(harness::kAcoustic, IDC_AP_COEFF, {26});
    host.Unload();
    EXPECT_EQ(locale, std::setlocale(LC_ALL, nullptr));
    EXPECT_EQ(fpu, _control87(0, 0) & _MCW_EM);

    EXPECT_EQ(env == "german", locale.rfind("German", 0) == 0) << locale;
    if (env == "german") {
        EXPECT_EQ(2.0, std::atof("2.5")) << "the runtime itself reads a decimal comma";
    }
    EXPECT_EQ(env == "fpu" ? kUnmaskedFpu : static_cast<unsigned>(_MCW_EM), fpu);
    EXPECT_EQ(env == "dpi144" ? 144 : 96, ScreenDpi());
    EXPECT_EQ(env == "cc6", CommonControls6());
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    // The plain host may be under WoW64 too (the kit on 64-bit Windows).
    if (env == "wow64") {
        EXPECT_TRUE(wow64) << "a 32-bit prefix, not a 64-bit one";
    }
}
