// A mapped shared block as the plug-in writes it: fields are single aligned
// 32-bit atomic stores, and nothing is written past the block's real size
// (the host may have created it smaller than our record).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kelvane {

static_assert(sizeof(std::atomic<int32_t>) == 4, "atomic int32 must be a plain 32-bit word");

class BlockView {
public:
    BlockView() = default;
    BlockView(void* base, size_t size) : m_base(static_cast<unsigned char*>(base)), m_size(base ? size : 0) {}

    bool Present() const { return m_base != nullptr; }
    size_t Size() const { return m_size; }
    void* Base() const { return m_base; }

    // Returns false (and writes nothing) when the block is absent or too small.
    bool StoreInt(size_t offset, int32_t value) const {
        if (!m_base || offset % 4 != 0 || offset + 4 > m_size) return false;
        reinterpret_cast<std::atomic<int32_t>*>(m_base + offset)->store(value, std::memory_order_relaxed);
        return true;
    }
    bool StoreFloat(size_t offset, float value) const {
        int32_t bits;
        std::memcpy(&bits, &value, 4);
        return StoreInt(offset, bits);
    }

private:
    unsigned char* m_base = nullptr;
    size_t m_size = 0;
};

}  // namespace kelvane
