// LASzip colour codec: the six bytes of red, green and blue coded as differences to the last colour,
// green and blue predicted from the change in red.
#pragma once
#include <cstdint>

#include "formats/las/detail/ArithmeticDecoder.h"
#include "formats/las/detail/ArithmeticEncoder.h"
#include "formats/las/detail/ArithmeticModel.h"

namespace las::detail {

class LazRgbCodec {
public:
    explicit LazRgbCodec(bool forDecoding);

    void decode(ArithmeticDecoder& dec, const std::uint16_t last[3], std::uint16_t out[3]);
    void encode(ArithmeticEncoder& enc, const std::uint16_t last[3], const std::uint16_t cur[3]);

private:
    ArithmeticModel byteUsed_;
    ArithmeticModel diff_[6];
};

}  // namespace las::detail
