// The read-back gains of one data frame: 4 DT, 8 monopole, 8 dipole words.
#pragma once

#include <atomic>
#include <cstdint>

namespace kelvane {

// Written by ToolControlProcess (any host thread), read by the window thread:
// every word is a single aligned 32-bit atomic store.
struct ToolStatusSnapshot {
    std::atomic<int32_t> DtReadBack[4];
    std::atomic<int32_t> MonopoleReadBack[8];
    std::atomic<int32_t> DipoleReadBack[8];
};

// Sign-extends the three runs of 16-bit frame words, monopole, DT, dipole.
// A null frame leaves the snapshot unchanged.
void CopyStatusWords(ToolStatusSnapshot& snapshot, const int16_t* frame);

// A plain copy of the snapshot for display.
struct ReadBackWords {
    int32_t Dt[4];
    int32_t Monopole[8];
    int32_t Dipole[8];
};
ReadBackWords LoadReadBack(const ToolStatusSnapshot& snapshot);

}  // namespace kelvane
