// Reading and writing integers and floating-point values in a fixed byte order at unaligned addresses.
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace platform {

namespace detail {

template <typename T>
using SameSizeUnsigned =
    std::conditional_t<sizeof(T) == 1, std::uint8_t,
                       std::conditional_t<sizeof(T) == 2, std::uint16_t,
                                          std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;

template <typename U>
constexpr U reverseBytes(U v) {
    U out = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i) {
        out = static_cast<U>((out << 8) | (v & 0xFFu));
        v = static_cast<U>(v >> 8);
    }
    return out;
}

}  // namespace detail

// The value of type T (an integer or floating-point type) stored little-endian at p.
template <typename T>
T readLittleEndian(const void* p) {
    static_assert(std::is_arithmetic_v<T> && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8));
    using U = detail::SameSizeUnsigned<T>;
    U bits;
    std::memcpy(&bits, p, sizeof bits);
    if constexpr (std::endian::native == std::endian::big) bits = detail::reverseBytes(bits);
    T v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// Stores v little-endian at p (sizeof(T) bytes).
template <typename T>
void writeLittleEndian(void* p, T v) {
    static_assert(std::is_arithmetic_v<T> && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8));
    using U = detail::SameSizeUnsigned<T>;
    U bits;
    std::memcpy(&bits, &v, sizeof bits);
    if constexpr (std::endian::native == std::endian::big) bits = detail::reverseBytes(bits);
    std::memcpy(p, &bits, sizeof bits);
}

// Appends v little-endian to a byte string (std::string or std::vector of bytes).
template <typename T, typename Bytes>
void appendLittleEndian(Bytes& out, T v) {
    char b[sizeof(T)];
    writeLittleEndian(b, v);
    out.insert(out.end(), b, b + sizeof(T));
}

// The unsigned 16- and 32-bit values stored big-endian (network order) at p, as image headers hold them.
inline std::uint16_t readBigEndian16(const void* p) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
}
inline std::uint32_t readBigEndian32(const void* p) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    return (static_cast<std::uint32_t>(b[0]) << 24) | (static_cast<std::uint32_t>(b[1]) << 16) |
           (static_cast<std::uint32_t>(b[2]) << 8) | b[3];
}
// Stores v big-endian at p (four bytes).
inline void writeBigEndian32(void* p, std::uint32_t v) {
    auto* b = static_cast<std::uint8_t*>(p);
    b[0] = static_cast<std::uint8_t>(v >> 24);
    b[1] = static_cast<std::uint8_t>(v >> 16);
    b[2] = static_cast<std::uint8_t>(v >> 8);
    b[3] = static_cast<std::uint8_t>(v);
}

}  // namespace platform
