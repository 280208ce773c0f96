#include "formats/las/detail/LazGpsTimeCodec.h"

namespace las::detail {

namespace {

constexpr std::int32_t kMulti = 500;
constexpr std::int32_t kMultiMinus = -10;
// Symbols below this are multipliers of the last difference (0..500 and -1..-10).
constexpr std::uint32_t kMultiLimit = kMulti - kMultiMinus + 1;  // 511

std::int32_t wrapMul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
std::int64_t wrapAdd(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}
std::int64_t wrapSub(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}
bool fits32(std::int64_t v) { return v == static_cast<std::int64_t>(static_cast<std::int32_t>(v)); }
std::int32_t high32(std::int64_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v) >> 32));
}

}  // namespace

LazGpsTimeCodec::LazGpsTimeCodec(bool legacyItem, bool forDecoding, std::uint64_t firstTime)
    : legacy_(legacyItem),
      codeFull_(legacyItem ? kMultiLimit + 1 : kMultiLimit),
      multiModel_(legacyItem ? kMultiLimit + 5 : kMultiLimit + 4, forDecoding),
      zeroDiffModel_(legacyItem ? 6 : 5, forDecoding),
      ic_(32, 9, forDecoding) {
    lastTime_[0] = static_cast<std::int64_t>(firstTime);
}

bool LazGpsTimeCodec::decode(ArithmeticDecoder& dec, std::uint64_t& time) {
    // A valid stream switches sequence at most once before a time; more means damage.
    for (int hops = 0; hops < 4; ++hops) {
        bool switched = false;
        if (lastDiff_[last_] == 0) {
            std::uint32_t multi = dec.decodeSymbol(zeroDiffModel_);
            bool unchanged = false;
            if (legacy_) {
                if (multi == 0) unchanged = true;
                else --multi;
            }
            if (unchanged) {
            } else if (multi == 0) {
                lastDiff_[last_] = ic_.decompress(dec, 0, 0);
                lastTime_[last_] = wrapAdd(lastTime_[last_], lastDiff_[last_]);
                extremeCounter_[last_] = 0;
            } else if (multi == 1) {
                next_ = (next_ + 1) & 3;
                const auto high = static_cast<std::uint32_t>(ic_.decompress(dec, high32(lastTime_[last_]), 8));
                const std::uint32_t low = dec.readInt();
                lastTime_[next_] = static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
                last_ = next_;
                lastDiff_[last_] = 0;
                extremeCounter_[last_] = 0;
            } else {
                last_ = (last_ + multi - 1) & 3;
                switched = true;
            }
        } else {
            const std::uint32_t multi = dec.decodeSymbol(multiModel_);
            if (multi == 1) {
                lastTime_[last_] = wrapAdd(lastTime_[last_], ic_.decompress(dec, lastDiff_[last_], 1));
                extremeCounter_[last_] = 0;
            } else if (multi < kMultiLimit) {
                std::int32_t diff;
                bool extreme = false;
                if (multi == 0) {
                    diff = ic_.decompress(dec, 0, 7);
                    extreme = true;
                } else if (multi < static_cast<std::uint32_t>(kMulti)) {
                    diff = ic_.decompress(dec, wrapMul(static_cast<std::int32_t>(multi), lastDiff_[last_]),
                                          multi < 10 ? 2 : 3);
                } else if (multi == static_cast<std::uint32_t>(kMulti)) {
                    diff = ic_.decompress(dec, wrapMul(kMulti, lastDiff_[last_]), 4);
                    extreme = true;
                } else {
                    const std::int32_t negative = kMulti - static_cast<std::int32_t>(multi);
                    if (negative > kMultiMinus) {
                        diff = ic_.decompress(dec, wrapMul(negative, lastDiff_[last_]), 5);
                    } else {
                        diff = ic_.decompress(dec, wrapMul(kMultiMinus, lastDiff_[last_]), 6);
                        extreme = true;
                    }
                }
                if (extreme && ++extremeCounter_[last_] > 3) {
                    lastDiff_[last_] = diff;
                    extremeCounter_[last_] = 0;
                }
                lastTime_[last_] = wrapAdd(lastTime_[last_], diff);
            } else if (multi < codeFull_) {
                // the legacy item's "unchanged"
            } else if (multi == codeFull_) {
                next_ = (next_ + 1) & 3;
                const auto high = static_cast<std::uint32_t>(ic_.decompress(dec, high32(lastTime_[last_]), 8));
                const std::uint32_t low = dec.readInt();
                lastTime_[next_] = static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
                last_ = next_;
                lastDiff_[last_] = 0;
                extremeCounter_[last_] = 0;
            } else {
                last_ = (last_ + multi - codeFull_) & 3;
                switched = true;
            }
        }
        if (!switched) {
            time = static_cast<std::uint64_t>(lastTime_[last_]);
            return true;
        }
    }
    time = static_cast<std::uint64_t>(lastTime_[last_]);
    return false;
}

void LazGpsTimeCodec::encode(ArithmeticEncoder& enc, std::uint64_t time) {
    const auto t = static_cast<std::int64_t>(time);
    const std::uint32_t zeroDiffBase = legacy_ ? 1 : 0;
    for (int hops = 0; hops < 2; ++hops) {
        const std::int64_t diff64 = wrapSub(t, lastTime_[last_]);
        if (lastDiff_[last_] == 0) {
            if (legacy_ && diff64 == 0) {
                enc.encodeSymbol(zeroDiffModel_, 0);
                return;
            }
            if (fits32(diff64)) {
                enc.encodeSymbol(zeroDiffModel_, zeroDiffBase);
                ic_.compress(enc, 0, static_cast<std::int32_t>(diff64), 0);
                lastDiff_[last_] = static_cast<std::int32_t>(diff64);
                lastTime_[last_] = t;
                extremeCounter_[last_] = 0;
                return;
            }
            bool switched = false;
            for (unsigned i = 1; i < 4 && !switched; ++i) {
                if (fits32(wrapSub(t, lastTime_[(last_ + i) & 3]))) {
                    enc.encodeSymbol(zeroDiffModel_, zeroDiffBase + i + 1);
                    last_ = (last_ + i) & 3;
                    switched = true;
                }
            }
            if (switched) continue;
            enc.encodeSymbol(zeroDiffModel_, zeroDiffBase + 1);
        } else {
            if (legacy_ && diff64 == 0) {
                enc.encodeSymbol(multiModel_, kMultiLimit);
                return;
            }
            if (fits32(diff64)) {
                const auto diff = static_cast<std::int32_t>(diff64);
                const std::int32_t lastDiff = lastDiff_[last_];
                double ratio = static_cast<double>(static_cast<float>(diff) / static_cast<float>(lastDiff));
                if (ratio > 1000.0) ratio = 1000.0;
                if (ratio < -1000.0) ratio = -1000.0;
                const auto multi = static_cast<std::int32_t>(ratio >= 0 ? ratio + 0.5 : ratio - 0.5);
                bool extreme = false;
                if (multi == 1) {
                    enc.encodeSymbol(multiModel_, 1);
                    ic_.compress(enc, lastDiff, diff, 1);
                    extremeCounter_[last_] = 0;
                } else if (multi > 0 && multi < kMulti) {
                    enc.encodeSymbol(multiModel_, static_cast<std::uint32_t>(multi));
                    ic_.compress(enc, wrapMul(multi, lastDiff), diff, multi < 10 ? 2 : 3);
                } else if (multi >= kMulti) {
                    enc.encodeSymbol(multiModel_, kMulti);
                    ic_.compress(enc, wrapMul(kMulti, lastDiff), diff, 4);
                    extreme = true;
                } else if (multi < 0 && multi > kMultiMinus) {
                    enc.encodeSymbol(multiModel_, static_cast<std::uint32_t>(kMulti - multi));
                    ic_.compress(enc, wrapMul(multi, lastDiff), diff, 5);
                } else if (multi < 0) {
                    enc.encodeSymbol(multiModel_, static_cast<std::uint32_t>(kMulti - kMultiMinus));
                    ic_.compress(enc, wrapMul(kMultiMinus, lastDiff), diff, 6);
                    extreme = true;
                } else {
                    enc.encodeSymbol(multiModel_, 0);
                    ic_.compress(enc, 0, diff, 7);
                    extreme = true;
                }
                if (extreme && ++extremeCounter_[last_] > 3) {
                    lastDiff_[last_] = diff;
                    extremeCounter_[last_] = 0;
                }
                lastTime_[last_] = t;
                return;
            }
            bool switched = false;
            for (unsigned i = 1; i < 4 && !switched; ++i) {
                if (fits32(wrapSub(t, lastTime_[(last_ + i) & 3]))) {
                    enc.encodeSymbol(multiModel_, codeFull_ + i);
                    last_ = (last_ + i) & 3;
                    switched = true;
                }
            }
            if (switched) continue;
            enc.encodeSymbol(multiModel_, codeFull_);
        }
        // A new sequence: the high half predicted from the current one, the low half raw.
        ic_.compress(enc, high32(lastTime_[last_]), high32(t), 8);
        enc.writeInt(static_cast<std::uint32_t>(static_cast<std::uint64_t>(t)));
        next_ = (next_ + 1) & 3;
        last_ = next_;
        lastDiff_[last_] = 0;
        extremeCounter_[last_] = 0;
        lastTime_[last_] = t;
        return;
    }
}

}  // namespace las::detail
