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

// Inline: the decoder spends most of its time here.
inline std::int32_t LazIntegerCodec::readCorrector(ArithmeticDecoder& dec, ArithmeticModel& bitsModel) {
    k_ = dec.decodeSymbol(bitsModel);
    if (k_ == 0) return static_cast<std::int32_t>(dec.decodeBit(corrector0_));
    if (k_ >= 32) return corrMin_;
    std::int64_t c;
    if (k_ <= bitsHigh_) {
        c = dec.decodeSymbol(correctors_[k_ - 1]);
    } else {
        const unsigned k1 = k_ - bitsHigh_;
        const std::int64_t high = dec.decodeSymbol(correctors_[k_ - 1]);
        const std::int64_t low = dec.readBits(k1);
        c = (high << k1) | low;
    }
    // The upper half are the positive corrections, the lower half the negative ones. Either is as
    // likely as the other, so the choice is made without a branch.
    const std::int64_t lowerHalf = -static_cast<std::int64_t>(c < (std::int64_t{1} << (k_ - 1)));
    c = c + 1 - (lowerHalf & (std::int64_t{1} << k_));
    return static_cast<std::int32_t>(c);
}

inline std::int32_t LazIntegerCodec::decompress(ArithmeticDecoder& dec, std::int32_t pred, unsigned context) {
    const std::int64_t real = static_cast<std::int64_t>(pred) + readCorrector(dec, kModels_[context]);
    if (corrRange_ == 0) return static_cast<std::int32_t>(static_cast<std::uint32_t>(real));
    std::int64_t folded = real;
    if (folded < 0) folded += corrRange_;
    else if (folded >= static_cast<std::int64_t>(corrRange_)) folded -= corrRange_;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(folded));
}

}  // namespace las::detail
