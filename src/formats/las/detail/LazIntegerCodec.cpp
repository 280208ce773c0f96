#include "formats/las/detail/LazIntegerCodec.h"

#include <climits>

namespace las::detail {

LazIntegerCodec::LazIntegerCodec(unsigned bits, unsigned contexts, bool forDecoding, unsigned bitsHigh)
    : bitsHigh_(bitsHigh) {
    if (bits > 0 && bits < 32) {
        corrBits_ = bits;
        corrRange_ = 1u << bits;
        corrMin_ = -static_cast<std::int32_t>(corrRange_ / 2);
        corrMax_ = static_cast<std::int32_t>(corrMin_ + corrRange_ - 1);
    } else {
        corrBits_ = 32;
        corrRange_ = 0;
        corrMin_ = INT32_MIN;
        corrMax_ = INT32_MAX;
    }
    kModels_.reserve(contexts);
    for (unsigned i = 0; i < contexts; ++i) kModels_.emplace_back(corrBits_ + 1, forDecoding);
    correctors_.reserve(corrBits_);
    for (unsigned i = 1; i <= corrBits_; ++i)
        correctors_.emplace_back(i <= bitsHigh_ ? (1u << i) : (1u << bitsHigh_), forDecoding);
}

void LazIntegerCodec::compress(ArithmeticEncoder& enc, std::int32_t pred, std::int32_t real, unsigned context) {
    std::int64_t corr;
    if (corrRange_ == 0) {
        corr = static_cast<std::int32_t>(static_cast<std::uint32_t>(real) - static_cast<std::uint32_t>(pred));
    } else {
        corr = static_cast<std::int64_t>(real) - pred;
        if (corr < corrMin_) corr += corrRange_;
        else if (corr > corrMax_) corr -= corrRange_;
    }
    writeCorrector(enc, static_cast<std::int32_t>(corr), kModels_[context]);
}

void LazIntegerCodec::writeCorrector(ArithmeticEncoder& enc, std::int32_t c, ArithmeticModel& bitsModel) {
    std::uint32_t magnitude =
        c <= 0 ? static_cast<std::uint32_t>(-static_cast<std::int64_t>(c)) : static_cast<std::uint32_t>(c) - 1;
    unsigned k = 0;
    while (magnitude) {
        magnitude >>= 1;
        ++k;
    }
    k_ = k;
    enc.encodeSymbol(bitsModel, k);
    if (k == 0) {
        enc.encodeBit(corrector0_, static_cast<std::uint32_t>(c));
        return;
    }
    if (k >= 32) return;
    std::int64_t v = c;
    if (v < 0) v += (std::int64_t{1} << k) - 1;
    else v -= 1;
    if (k <= bitsHigh_) {
        enc.encodeSymbol(correctors_[k - 1], static_cast<std::uint32_t>(v));
    } else {
        const unsigned k1 = k - bitsHigh_;
        const std::uint32_t low = static_cast<std::uint32_t>(v) & ((1u << k1) - 1);
        enc.encodeSymbol(correctors_[k - 1], static_cast<std::uint32_t>(v >> k1));
        enc.writeBits(k1, low);
    }
}

}  // namespace las::detail
