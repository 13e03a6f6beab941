#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "base/logic/RunOnce.h"

using kelvane::RunOnce;

// Racing callers: one run; the first run throwing leaves it to a waiter,
// which must not wait for the thrower forever.
TEST(RunOnce, OneRunAndAThrowingRunIsTakenOverByAWaiter) {
    for (const bool firstThrows : {false, true}) {
        SCOPED_TRACE(firstThrows ? "the first run throws" : "plain");
        std::atomic<long> state{0};
        std::atomic<int> runs{0}, finished{0}, threw{0};
        std::atomic<bool> waiting{false};
        auto init = [&] {
            const int n = runs.fetch_add(1);
            if (n == 0) {
                while (!waiting.load()) std::this_thread::yield();  // a waiter is there before the end
                if (firstThrows) throw std::runtime_error("first");
            }
        };
        std::vector<std::thread> callers;
        for (int t = 0; t < 4; ++t)
            callers.emplace_back([&] {
                try {
                    RunOnce(state, init, [&] {
                        waiting = true;
                        std::this_thread::yield();
                    });
                    ++finished;
                } catch (const std::runtime_error&) {
                    ++threw;
                }
            });
        for (auto& c : callers) c.join();
        EXPECT_EQ(state.load(), 2);
        EXPECT_EQ(runs.load(), firstThrows ? 2 : 1);
        EXPECT_EQ(threw.load(), firstThrows ? 1 : 0);
        EXPECT_EQ(finished.load(), firstThrows ? 3 : 4);
    }
}
