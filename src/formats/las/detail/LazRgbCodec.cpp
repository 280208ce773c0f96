#include "formats/las/detail/LazRgbCodec.h"

namespace las::detail {

namespace {

std::uint32_t lo(std::uint16_t v) { return v & 0xFFu; }
std::uint32_t hi(std::uint16_t v) { return v >> 8; }
std::uint32_t fold(std::int32_t v) { return static_cast<std::uint32_t>(v) & 0xFFu; }
std::int32_t clamp8(std::int32_t v) { return v <= 0 ? 0 : (v >= 255 ? 255 : v); }

}  // namespace

LazRgbCodec::LazRgbCodec(bool forDecoding)
    : byteUsed_(128, forDecoding), diff_{{256, forDecoding}, {256, forDecoding}, {256, forDecoding},
                                         {256, forDecoding}, {256, forDecoding}, {256, forDecoding}} {}

void LazRgbCodec::decode(ArithmeticDecoder& dec, const std::uint16_t last[3], std::uint16_t out[3]) {
    const std::uint32_t sym = dec.decodeSymbol(byteUsed_);
    std::uint32_t r =
        (sym & 1) ? fold(static_cast<std::int32_t>(dec.decodeSymbol(diff_[0]) + lo(last[0]))) : lo(last[0]);
    r |= ((sym & 2) ? fold(static_cast<std::int32_t>(dec.decodeSymbol(diff_[1]) + hi(last[0]))) : hi(last[0])) << 8;
    std::uint32_t g, b;
    if (sym & 64) {
        std::int32_t diff = static_cast<std::int32_t>(lo(r)) - static_cast<std::int32_t>(lo(last[0]));
        if (sym & 4)
            g = fold(static_cast<std::int32_t>(dec.decodeSymbol(diff_[2])) +
                     clamp8(diff + static_cast<std::int32_t>(lo(last[1]))));
        else g = lo(last[1]);
        if (sym & 16) {
            diff = (diff + (static_cast<std::int32_t>(g) - static_cast<std::int32_t>(lo(last[1])))) / 2;
            b = fold(static_cast<std::int32_t>(dec.decodeSymbol(diff_[4])) +
                     clamp8(diff + static_cast<std::int32_t>(lo(last[2]))));
        } else {
            b = lo(last[2]);
        }
        diff = static_cast<std::int32_t>(hi(r)) - static_cast<std::int32_t>(hi(last[0]));
        std::uint32_t gh, bh;
        if (sym & 8)
            gh = fold(static_cast<std::int32_t>(dec.decodeSymbol(diff_[3])) +
                      clamp8(diff + static_cast<std::int32_t>(hi(last[1]))));
        else gh = hi(last[1]);
        if (sym & 32) {
            diff = (diff + (static_cast<std::int32_t>(gh) - static_cast<std::int32_t>(hi(last[1])))) / 2;
            bh = fold(static_cast<std::int32_t>(dec.decodeSymbol(diff_[5])) +
                      clamp8(diff + static_cast<std::int32_t>(hi(last[2]))));
        } else {
            bh = hi(last[2]);
        }
        g |= gh << 8;
        b |= bh << 8;
    } else {
        g = b = r;
    }
    out[0] = static_cast<std::uint16_t>(r);
    out[1] = static_cast<std::uint16_t>(g);
    out[2] = static_cast<std::uint16_t>(b);
}

void LazRgbCodec::encode(ArithmeticEncoder& enc, const std::uint16_t last[3], const std::uint16_t cur[3]) {
    std::uint32_t sym = 0;
    sym |= (lo(last[0]) != lo(cur[0])) << 0;
    sym |= (hi(last[0]) != hi(cur[0])) << 1;
    sym |= (lo(last[1]) != lo(cur[1])) << 2;
    sym |= (hi(last[1]) != hi(cur[1])) << 3;
    sym |= (lo(last[2]) != lo(cur[2])) << 4;
    sym |= (hi(last[2]) != hi(cur[2])) << 5;
    sym |= (cur[0] != cur[1] || cur[0] != cur[2]) << 6;
    enc.encodeSymbol(byteUsed_, sym);
    if (sym & 1)
        enc.encodeSymbol(diff_[0],
                         fold(static_cast<std::int32_t>(lo(cur[0])) - static_cast<std::int32_t>(lo(last[0]))));
    if (sym & 2)
        enc.encodeSymbol(diff_[1],
                         fold(static_cast<std::int32_t>(hi(cur[0])) - static_cast<std::int32_t>(hi(last[0]))));
    if (!(sym & 64)) return;
    std::int32_t diff = static_cast<std::int32_t>(lo(cur[0])) - static_cast<std::int32_t>(lo(last[0]));
    if (sym & 4)
        enc.encodeSymbol(diff_[2], fold(static_cast<std::int32_t>(lo(cur[1])) -
                                        clamp8(diff + static_cast<std::int32_t>(lo(last[1])))));
    if (sym & 16) {
        diff = (diff + (static_cast<std::int32_t>(lo(cur[1])) - static_cast<std::int32_t>(lo(last[1])))) / 2;
        enc.encodeSymbol(diff_[4], fold(static_cast<std::int32_t>(lo(cur[2])) -
                                        clamp8(diff + static_cast<std::int32_t>(lo(last[2])))));
    }
    diff = static_cast<std::int32_t>(hi(cur[0])) - static_cast<std::int32_t>(hi(last[0]));
    if (sym & 8)
        enc.encodeSymbol(diff_[3], fold(static_cast<std::int32_t>(hi(cur[1])) -
                                        clamp8(diff + static_cast<std::int32_t>(hi(last[1])))));
    if (sym & 32) {
        diff = (diff + (static_cast<std::int32_t>(hi(cur[1])) - static_cast<std::int32_t>(hi(last[1])))) / 2;
        enc.encodeSymbol(diff_[5], fold(static_cast<std::int32_t>(hi(cur[2])) -
                                        clamp8(diff + static_cast<std::int32_t>(hi(last[2])))));
    }
}

}  // namespace las::detail
