// A minimal PNG encoder for the bench's screenshots: 8-bit RGB, deflate in
// stored blocks (no compression), so no zlib is needed on the target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvane {

// rgb: height rows of width pixels, 3 bytes each (R, G, B), top row first.
// Returns an empty vector when the sizes do not match.
std::vector<uint8_t> EncodePng(int width, int height, const std::vector<uint8_t>& rgb);

uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc = 0);

}  // namespace kelvane
