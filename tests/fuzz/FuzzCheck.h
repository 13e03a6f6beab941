// What a fuzz target does when an invariant breaks: says which, and aborts
// (libFuzzer saves the input as a finding).
#pragma once

#include <cstdio>
#include <cstdlib>

inline void FuzzFail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}
#define CHECK(cond)                   \
    do {                              \
        if (!(cond)) FuzzFail(#cond); \
    } while (0)
