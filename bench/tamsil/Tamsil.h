// Our stand-in for the host's Tamsil.dll: GetToolSubsetPtr serves whatever
// frame the bench host or a test has set (or null: a dropped frame). The
// extra exports are looked up with GetProcAddress.
#pragma once

#include <cstdint>

extern "C" {
typedef void(__cdecl* TamsilSetFrameFn)(const int16_t* frame);
typedef long(__cdecl* TamsilCallCountFn)(void);
typedef void(__cdecl* TamsilLastArgsFn)(int32_t* args4);
// Each GetToolSubsetPtr call then waits ms before it returns.
typedef void(__cdecl* TamsilSetDelayFn)(unsigned long ms);
// The next GetToolSubsetPtr call runs during(context) before it returns.
typedef void(__cdecl* TamsilDuringNextCallFn)(void(__cdecl* during)(void*), void* context);
}
