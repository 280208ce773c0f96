// Decoder of the LASzip arithmetic code over one bounded byte range.
#pragma once
#include <cstddef>
#include <cstdint>

#include "formats/las/detail/ArithmeticBitModel.h"
#include "formats/las/detail/ArithmeticModel.h"
#include "platform/ByteOrder.h"

namespace las::detail {

// Reading past the end of its bytes yields zeros and is counted, so damaged data can never
// make it touch memory outside the range; overrun() tells the caller the data was short.
class ArithmeticDecoder {
public:
    static constexpr std::uint32_t kMinLength = 0x01000000u;
    static constexpr std::uint32_t kMaxLength = 0xFFFFFFFFu;

    // Starts decoding at data (reads the first four bytes).
    void init(const std::uint8_t* data, std::size_t size);

    [[gnu::always_inline]] std::uint32_t decodeBit(ArithmeticBitModel& m) {
        const std::uint32_t x = m.bit0Prob * (length_ >> ArithmeticBitModel::kLengthShift);
        const std::uint32_t sym = value_ >= x;
        if (sym == 0) {
            length_ = x;
            ++m.bit0Count;
        } else {
            value_ -= x;
            length_ -= x;
        }
        if (length_ < kMinLength) renormalize();
        if (--m.bitsUntilUpdate == 0) m.update();
        return sym;
    }

    [[gnu::always_inline]] std::uint32_t decodeSymbol(ArithmeticModel& m) {
        std::uint32_t n, sym, x, y = length_;
        if (m.tableSize != 0) {
            const std::uint32_t dv = value_ / (length_ >>= ArithmeticModel::kLengthShift);
            std::uint32_t t = dv >> m.tableShift;
            if (t > m.tableSize) t = m.tableSize;  // only reachable with damaged input
            const std::uint16_t* table = m.decoderTable.data();
            const std::uint32_t* dist = m.distribution.data();
            sym = table[t];
            n = table[t + 1] + 1u;
            while (n > sym + 1) {
                const std::uint32_t k = (sym + n) >> 1;
                if (dist[k] > dv) n = k;
                else sym = k;
            }
            x = dist[sym] * length_;
            if (sym != m.lastSymbol) y = dist[sym + 1] * length_;
        } else {
            x = sym = 0;
            length_ >>= ArithmeticModel::kLengthShift;
            n = m.symbols;
            std::uint32_t k = n >> 1;
            do {
                const std::uint32_t z = length_ * m.distribution[k];
                if (z > value_) {
                    n = k;
                    y = z;
                } else {
                    sym = k;
                    x = z;
                }
            } while ((k = (sym + n) >> 1) != sym);
        }
        value_ -= x;
        length_ = y - x;
        refill();
        ++m.symbolCount[sym];
        if (--m.symbolsUntilUpdate == 0) m.update();
        return sym;
    }

    // Raw bits (1..32) stored without a model.
    std::uint32_t readBits(unsigned bits) {
        if (bits > 19) {
            const std::uint32_t low = readShort();
            return (readBits(bits - 16) << 16) | low;
        }
        const std::uint32_t sym = value_ / (length_ >>= bits);
        value_ -= length_ * sym;
        if (length_ < kMinLength) renormalize();
        return sym;
    }
    std::uint32_t readShort() {
        const std::uint32_t sym = value_ / (length_ >>= 16);
        value_ -= length_ * sym;
        if (length_ < kMinLength) renormalize();
        return sym & 0xFFFFu;
    }
    std::uint32_t readInt() {
        const std::uint32_t low = readShort();
        const std::uint32_t high = readShort();
        return (high << 16) | low;
    }

    // Bytes taken from the range so far (a finished code takes exactly what its encoder wrote).
    std::size_t consumed() const { return static_cast<std::size_t>(cur_ - begin_); }
    // Bytes asked for beyond the end of the range so far.
    std::size_t overrun() const { return overrun_; }
    // True when the stream could not have come from a valid encoder.
    bool damaged() const { return damaged_; }

private:
    std::uint8_t nextByte() {
        if (cur_ < end_) return *cur_++;
        ++overrun_;
        return 0;
    }
    void renormalize() {
        do {
            value_ = (value_ << 8) | nextByte();
        } while ((length_ <<= 8) < kMinLength);
    }
    // renormalize() after a symbol. Whether it needs bytes, and how many, changes from symbol to
    // symbol and defeats branch prediction, so away from the end of the range the 0..3 bytes are
    // shifted in without a branch (a symbol leaves the length at 2^9 or more).
    [[gnu::always_inline]] void refill() {
        if (end_ - cur_ >= 4) [[likely]] {
            const unsigned bytes = static_cast<unsigned>(__builtin_clz(length_)) >> 3;
            const unsigned bits = bytes * 8;
            const std::uint64_t next = platform::readBigEndian32(cur_);
            value_ = (value_ << bits) | static_cast<std::uint32_t>(next >> (32 - bits));
            length_ <<= bits;
            cur_ += bytes;
        } else if (length_ < kMinLength) {
            renormalize();
        }
    }

    const std::uint8_t* begin_ = nullptr;
    const std::uint8_t* cur_ = nullptr;
    const std::uint8_t* end_ = nullptr;
    std::uint32_t value_ = 0;
    std::uint32_t length_ = kMaxLength;
    std::size_t overrun_ = 0;
    bool damaged_ = false;
};

}  // namespace las::detail
