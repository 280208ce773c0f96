// CRC-32C (Castagnoli), the checksum that closes every E57 page.
#pragma once
#include <cstddef>
#include <cstdint>

namespace e57::detail {

// Reflected polynomial 0x82F63B78, initial value 0xFFFFFFFF, final complement.
std::uint32_t crc32c(const void* data, std::size_t size);

}  // namespace e57::detail
