// Encoder of the LASzip arithmetic code into a growing byte buffer.
#pragma once
#include <cstdint>
#include <vector>

#include "formats/las/detail/ArithmeticBitModel.h"
#include "formats/las/detail/ArithmeticModel.h"

namespace las::detail {

class ArithmeticEncoder {
public:
    static constexpr std::uint32_t kMinLength = 0x01000000u;
    static constexpr std::uint32_t kMaxLength = 0xFFFFFFFFu;

    ArithmeticEncoder() { init(); }
    // Starts a new, empty code.
    void init();
    // Writes the final bytes; bytes() is then complete.
    void done();

    void encodeBit(ArithmeticBitModel& m, std::uint32_t sym);
    void encodeSymbol(ArithmeticModel& m, std::uint32_t sym);
    // Raw bits (1..32) stored without a model.
    void writeBits(unsigned bits, std::uint32_t sym);
    void writeShort(std::uint32_t sym);
    void writeInt(std::uint32_t sym);

    const std::vector<std::uint8_t>& bytes() const { return out_; }

private:
    void propagateCarry();
    void renormalize();
    void addToBase(std::uint32_t x) {
        const std::uint32_t before = base_;
        base_ += x;
        if (before > base_) propagateCarry();
    }

    std::vector<std::uint8_t> out_;
    std::uint32_t base_ = 0;
    std::uint32_t length_ = kMaxLength;
};

}  // namespace las::detail
