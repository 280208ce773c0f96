// Adaptive probability of one binary decision for the LASzip arithmetic coder.
#pragma once
#include <cstdint>

namespace las::detail {

class ArithmeticBitModel {
public:
    static constexpr unsigned kLengthShift = 13;
    static constexpr std::uint32_t kMaxCount = 1u << kLengthShift;

    ArithmeticBitModel() { reset(); }

    // Back to equal odds with frequent updates, as at the start of every chunk.
    void reset() {
        bit0Count = 1;
        bitCount = 2;
        bit0Prob = 1u << (kLengthShift - 1);
        updateCycle = bitsUntilUpdate = 4;
    }

    // Recomputes the probability of a zero; the coder calls it every updateCycle bits.
    void update() {
        if ((bitCount += updateCycle) > kMaxCount) {
            bitCount = (bitCount + 1) >> 1;
            bit0Count = (bit0Count + 1) >> 1;
            if (bit0Count == bitCount) ++bitCount;
        }
        std::uint32_t scale = 0x80000000u / bitCount;
        bit0Prob = (bit0Count * scale) >> (31 - kLengthShift);
        updateCycle = (5 * updateCycle) >> 2;
        if (updateCycle > 64) updateCycle = 64;
        bitsUntilUpdate = updateCycle;
    }

    std::uint32_t bit0Count, bitCount, bit0Prob, updateCycle, bitsUntilUpdate;
};

}  // namespace las::detail
