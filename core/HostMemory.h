// Addresses the host hands over (a data frame, a DSP status report) are
// checked before they are read: a bad one is skipped, never faulted on.
#pragma once

#include <cstddef>

// Whether n bytes at p can be read: committed, readable, not a guard page, in
// as many regions as they span.
bool Readable(const void* p, size_t n);
