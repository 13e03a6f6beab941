#include "base/logic/Saturate.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kelvane;

TEST(Saturate, ConversionsNeverOverflow) {
    const struct {
        double in;
        int32_t trunc;
    } cases[] = {{12.9, 12},
                 {-4.5, -4},
                 {1e10, 2147483647},
                 {-1e10, -2147483647 - 1},
                 {2147483647.9, 2147483647},
                 {-2147483648.9, -2147483647 - 1},
                 {0.0 / 1.0, 0}};
    for (const auto& c : cases) EXPECT_EQ(c.trunc, TruncToInt32(c.in)) << c.in;
    EXPECT_EQ(0, TruncToInt32(std::nan("")));
}
