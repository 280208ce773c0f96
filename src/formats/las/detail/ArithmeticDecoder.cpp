#include "formats/las/detail/ArithmeticDecoder.h"

namespace las::detail {

void ArithmeticDecoder::init(const std::uint8_t* data, std::size_t size) {
    begin_ = cur_ = data;
    end_ = data + size;
    overrun_ = 0;
    damaged_ = false;
    length_ = kMaxLength;
    value_ = 0;
    for (int i = 0; i < 4; ++i) value_ = (value_ << 8) | nextByte();
    // A valid stream always starts below the full length; keeping value < length keeps every
    // later table look-up in range.
    if (value_ >= length_) {
        value_ = length_ - 1;
        damaged_ = true;
    }
}

}  // namespace las::detail
