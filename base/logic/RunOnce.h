// Run-once on one word, for a runtime that needs pthread_once's contract
// without its bookkeeping: 0 not run, 1 running, 2 done. A call that throws
// leaves the word at 0, and whoever waits then takes the run over (as
// std::call_once retries), rather than waiting for a finish that never comes.
#pragma once

#include <atomic>

namespace kelvane {

template <class Init, class Yield>
void RunOnce(std::atomic<long>& state, Init&& init, Yield&& yield) {
    for (;;) {
        long seen = 0;
        if (state.compare_exchange_strong(seen, 1)) {
            try {
                init();
            } catch (...) {
                state.store(0);
                throw;
            }
            state.store(2);
            return;
        }
        if (seen == 2) return;
        yield();
    }
}

}  // namespace kelvane
