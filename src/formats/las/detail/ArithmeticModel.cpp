#include "formats/las/detail/ArithmeticModel.h"

#include <stdexcept>

namespace las::detail {

ArithmeticModel::ArithmeticModel(std::uint32_t n, bool forDecoding) : symbols(n), lastSymbol(n - 1) {
    if (n < 2 || n > 2048) throw std::invalid_argument("ArithmeticModel: symbol count out of range");
    distribution.resize(n);
    symbolCount.resize(n);
    if (forDecoding && n > 4) {
        // At least four table entries per symbol: the table alone names the symbol most of the
        // time, so the search after it seldom runs. The symbol found is the same at any size.
        std::uint32_t tableBits = 3;
        while (n > (1u << (tableBits - 2))) ++tableBits;
        tableSize = 1u << tableBits;
        tableShift = kLengthShift - tableBits;
        decoderTable.resize(tableSize + 2);
    }
    reset();
}

void ArithmeticModel::reset() {
    totalCount = 0;
    updateCycle = symbols;
    for (auto& c : symbolCount) c = 1;
    update();
    symbolsUntilUpdate = updateCycle = (symbols + 6) >> 1;
}

void ArithmeticModel::update() {
    if ((totalCount += updateCycle) > kMaxCount) {
        totalCount = 0;
        for (auto& c : symbolCount) totalCount += (c = (c + 1) >> 1);
    }
    std::uint32_t sum = 0;
    const std::uint32_t scale = 0x80000000u / totalCount;
    if (decoderTable.empty()) {
        for (std::uint32_t k = 0; k < symbols; ++k) {
            distribution[k] = (scale * sum) >> (31 - kLengthShift);
            sum += symbolCount[k];
        }
    } else {
        std::uint32_t s = 0;
        for (std::uint32_t k = 0; k < symbols; ++k) {
            distribution[k] = (scale * sum) >> (31 - kLengthShift);
            sum += symbolCount[k];
            const std::uint32_t w = distribution[k] >> tableShift;
            while (s < w) decoderTable[++s] = static_cast<std::uint16_t>(k - 1);
        }
        decoderTable[0] = 0;
        while (s <= tableSize) decoderTable[++s] = static_cast<std::uint16_t>(symbols - 1);
    }
    updateCycle = (5 * updateCycle) >> 2;
    const std::uint32_t maxCycle = (symbols + 6) << 3;
    if (updateCycle > maxCycle) updateCycle = maxCycle;
    symbolsUntilUpdate = updateCycle;
}

}  // namespace las::detail
