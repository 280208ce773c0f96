// Codes an integer as a correction to its prediction, the way every LASzip field codec does.
#pragma once
#include <cstdint>
#include <vector>

#include "formats/las/detail/ArithmeticBitModel.h"
#include "formats/las/detail/ArithmeticDecoder.h"
#include "formats/las/detail/ArithmeticEncoder.h"
#include "formats/las/detail/ArithmeticModel.h"

namespace las::detail {

// The correction is coded as its bit length k (one model per context), then its exact value
// within that length; values wrap modulo 2^bits.
class LazIntegerCodec {
public:
    LazIntegerCodec(unsigned bits, unsigned contexts, bool forDecoding, unsigned bitsHigh = 8);

    std::int32_t decompress(ArithmeticDecoder& dec, std::int32_t pred, unsigned context = 0);
    void compress(ArithmeticEncoder& enc, std::int32_t pred, std::int32_t real, unsigned context = 0);
    // Bit length of the last correction, used as context by later fields.
    unsigned k() const { return k_; }

private:
    std::int32_t readCorrector(ArithmeticDecoder& dec, ArithmeticModel& bitsModel);
    void writeCorrector(ArithmeticEncoder& enc, std::int32_t c, ArithmeticModel& bitsModel);

    unsigned bits_;
    unsigned bitsHigh_;
    unsigned corrBits_;
    std::uint32_t corrRange_;  // 0 means the full 32-bit range
    std::int32_t corrMin_;
    std::int32_t corrMax_;
    unsigned k_ = 0;
    std::vector<ArithmeticModel> kModels_;  // one per context
    ArithmeticBitModel corrector0_;
    std::vector<ArithmeticModel> correctors_;  // index k-1 for k = 1..corrBits
};

}  // namespace las::detail
