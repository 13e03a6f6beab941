#include "ProcessUsage.h"

#include <windows.h>
#include <psapi.h>

namespace harness {
namespace {

long ProbeGdi() {
    long n = 0;
    for (UINT_PTR i = 1; i < 0x10000; ++i)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(i))) ++n;
    return n;
}

long ProbeUser() {
    long n = 0;
    const DWORD self = GetCurrentProcessId();
    for (UINT_PTR i = 0x20; i < 0xFFF0; i += 2) {
        HWND w = reinterpret_cast<HWND>(i);
        DWORD pid = 0;
        if (IsWindow(w) && GetWindowThreadProcessId(w, &pid) && pid == self) ++n;
        if (IsMenu(reinterpret_cast<HMENU>(i))) ++n;
        ICONINFO ii;
        if (GetIconInfo(reinterpret_cast<HICON>(i), &ii)) {
            ++n;
            if (ii.hbmColor) DeleteObject(ii.hbmColor);
            if (ii.hbmMask) DeleteObject(ii.hbmMask);
        }
    }
    return n;
}

long ProbeKernel() {
    long n = 0;
    DWORD flags;
    for (UINT_PTR h = 4; h < 0x4000; h += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++n;
    return n;
}

}  // namespace

kelvane::UsageSample MeasureUsage(int cycle) {
    kelvane::UsageSample u{};
    u.cycle = cycle;
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc))
        u.privateBytes = static_cast<double>(pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage);
    u.gdi = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    if (u.gdi == 0) u.gdi = ProbeGdi();
    u.user = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    if (u.user == 0) u.user = ProbeUser();
    DWORD handles = 0;
    u.kernel = GetProcessHandleCount(GetCurrentProcess(), &handles) && handles ? static_cast<long>(handles)
                                                                               : ProbeKernel();
    return u;
}

}  // namespace harness
