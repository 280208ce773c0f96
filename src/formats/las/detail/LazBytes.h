// Small helpers the LAZ codecs share: the overrun tolerance and two's-complement arithmetic.
#pragma once
#include <cstddef>
#include <cstdint>

namespace las::detail {

// A complete chunk never makes the decoder read past its bytes (encoders pad their code), so any
// overrun means a cut or damaged chunk, and the point just decoded is not handed out.
inline constexpr std::size_t kOverrunTolerance = 0;

// Addition that wraps around as the format's integer predictions do.
inline std::int32_t wrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
// Subtraction that wraps around as the format's integer predictions do.
inline std::int32_t wrapSub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace las::detail
