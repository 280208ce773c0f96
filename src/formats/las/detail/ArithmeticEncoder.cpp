#include "formats/las/detail/ArithmeticEncoder.h"

namespace las::detail {

void ArithmeticEncoder::init() {
    out_.clear();
    base_ = 0;
    length_ = kMaxLength;
}

void ArithmeticEncoder::done() {
    const std::uint32_t before = base_;
    bool anotherByte = true;
    if (length_ > 2 * kMinLength) {
        base_ += kMinLength;
        length_ = kMinLength >> 1;
    } else {
        base_ += kMinLength >> 1;
        length_ = kMinLength >> 9;
        anotherByte = false;
    }
    if (before > base_) propagateCarry();
    renormalize();
    // Padding keeps a decoder that reads ahead inside the bytes of this code.
    out_.push_back(0);
    out_.push_back(0);
    if (anotherByte) out_.push_back(0);
}

void ArithmeticEncoder::encodeBit(ArithmeticBitModel& m, std::uint32_t sym) {
    const std::uint32_t x = m.bit0Prob * (length_ >> ArithmeticBitModel::kLengthShift);
    if (sym == 0) {
        length_ = x;
        ++m.bit0Count;
    } else {
        addToBase(x);
        length_ -= x;
    }
    if (length_ < kMinLength) renormalize();
    if (--m.bitsUntilUpdate == 0) m.update();
}

void ArithmeticEncoder::encodeSymbol(ArithmeticModel& m, std::uint32_t sym) {
    std::uint32_t x;
    if (sym == m.lastSymbol) {
        x = m.distribution[sym] * (length_ >> ArithmeticModel::kLengthShift);
        addToBase(x);
        length_ -= x;
    } else {
        x = m.distribution[sym] * (length_ >>= ArithmeticModel::kLengthShift);
        addToBase(x);
        length_ = m.distribution[sym + 1] * length_ - x;
    }
    if (length_ < kMinLength) renormalize();
    ++m.symbolCount[sym];
    if (--m.symbolsUntilUpdate == 0) m.update();
}

void ArithmeticEncoder::writeBits(unsigned bits, std::uint32_t sym) {
    if (bits > 19) {
        writeShort(sym & 0xFFFFu);
        sym >>= 16;
        bits -= 16;
    }
    addToBase(sym * (length_ >>= bits));
    if (length_ < kMinLength) renormalize();
}

void ArithmeticEncoder::writeShort(std::uint32_t sym) {
    addToBase(sym * (length_ >>= 16));
    if (length_ < kMinLength) renormalize();
}

void ArithmeticEncoder::writeInt(std::uint32_t sym) {
    writeShort(sym & 0xFFFFu);
    writeShort(sym >> 16);
}

void ArithmeticEncoder::propagateCarry() {
    for (auto i = out_.size(); i-- > 0;) {
        if (out_[i] == 0xFF) {
            out_[i] = 0;
        } else {
            ++out_[i];
            return;
        }
    }
}

void ArithmeticEncoder::renormalize() {
    do {
        out_.push_back(static_cast<std::uint8_t>(base_ >> 24));
        base_ <<= 8;
    } while ((length_ <<= 8) < kMinLength);
}

}  // namespace las::detail
