#include "bench/logic/PngWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kelvane;

TEST(PngWriter, WritesAReadableStoredPng) {
    EXPECT_EQ(0xCBF43926u, Crc32(reinterpret_cast<const uint8_t*>("123456789"), 9));
    EXPECT_TRUE(EncodePng(2, 2, std::vector<uint8_t>(11)).empty());
    // 200 x 120 RGB is more than one stored block (65535 bytes).
    const int w = 200, h = 120;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7);
    const std::vector<uint8_t> png = EncodePng(w, h, rgb);
    ASSERT_GT(png.size(), rgb.size());
    EXPECT_EQ(0x89, png[0]);
    EXPECT_EQ('I', png[12]);  // IHDR first
    // Every chunk's CRC matches and the last chunk is IEND.
    size_t at = 8;
    std::string last;
    while (at + 12 <= png.size()) {
        const uint32_t len = (uint32_t{png[at]} << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
        ASSERT_LE(at + 12 + len, png.size());
        const uint32_t crc = (uint32_t{png[at + 8 + len]} << 24) | (png[at + 9 + len] << 16) |
                             (png[at + 10 + len] << 8) | png[at + 11 + len];
        EXPECT_EQ(crc, Crc32(&png[at + 4], len + 4));
        last.assign(reinterpret_cast<const char*>(&png[at + 4]), 4);
        at += 12 + len;
    }
    EXPECT_EQ(png.size(), at);
    EXPECT_EQ("IEND", last);
}
