// Adaptive distribution of an alphabet of 2..2048 symbols for the LASzip arithmetic coder.
#pragma once
#include <cstdint>
#include <vector>

namespace las::detail {

class ArithmeticModel {
public:
    static constexpr unsigned kLengthShift = 15;
    static constexpr std::uint32_t kMaxCount = 1u << kLengthShift;

    // forDecoding adds a look-up table that speeds up symbol search; the distribution is the same.
    ArithmeticModel(std::uint32_t symbols, bool forDecoding);

    // All symbols equally likely again, as at the start of every chunk.
    void reset();
    // Rescales counts and recomputes the distribution; the coder calls it periodically.
    void update();

    std::uint32_t symbols;
    std::uint32_t lastSymbol;
    std::uint32_t tableShift = 0;
    std::uint32_t tableSize = 0;
    std::uint32_t totalCount = 0;
    std::uint32_t updateCycle = 0;
    std::uint32_t symbolsUntilUpdate = 0;
    std::vector<std::uint32_t> distribution;
    std::vector<std::uint32_t> symbolCount;
    // Empty for encoding; tableSize + 2 entries for decoding (symbols fit in 16 bits, and the
    // smaller table stays in the cache).
    std::vector<std::uint16_t> decoderTable;
};

}  // namespace las::detail
