// The FNV-1a hash of raw point records that `las-info` reports.
#pragma once
#include <cstddef>
#include <cstdint>

namespace las::detail {

// Extends `hash` over `size` bytes. Each byte is one step of a chain of dependent multiplications,
// so the cost is latency, not throughput: done between other work, the processor overlaps the two.
inline std::uint64_t extendRecordHash(std::uint64_t hash, const std::uint8_t* bytes, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    return hash;
}

}  // namespace las::detail
