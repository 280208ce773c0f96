#include "formats/las/detail/LazPointwiseCodec.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "formats/las/detail/ArithmeticDecoder.h"
#include "formats/las/detail/ArithmeticEncoder.h"
#include "formats/las/detail/LazBytes.h"
#include "formats/las/detail/LazGpsTimeCodec.h"
#include "formats/las/detail/LazIntegerCodec.h"
#include "formats/las/detail/LazMedian5.h"
#include "formats/las/detail/LazModelArray.h"
#include "formats/las/detail/LazRgbCodec.h"
#include "formats/las/detail/LazTables.h"
#include "formats/las/detail/RecordHash.h"
#include "platform/ByteOrder.h"
#include "platform/Numbers.h"

namespace las::detail {

namespace {

// Models created on first use, one per value of a context byte.
using LazyModels = LazyModelArray<256>;

class ItemCodec {
public:
    virtual ~ItemCodec() = default;
    virtual bool decode(ArithmeticDecoder& dec, std::uint8_t* item) = 0;
    virtual void encode(ArithmeticEncoder& enc, const std::uint8_t* item) = 0;
};

// x, y, z, intensity, return bits, classification, scan angle, user data, point source (20 bytes).
class Point10Codec final : public ItemCodec {
public:
    Point10Codec(bool forDecoding, const std::uint8_t* first)
        : changedValues_(64, forDecoding),
          scanAngleRank_{{256, forDecoding}, {256, forDecoding}},
          bitByte_(256, forDecoding),
          classification_(256, forDecoding),
          userData_(256, forDecoding),
          intensity_(16, 4, forDecoding),
          pointSource_(16, 1, forDecoding),
          dx_(32, 2, forDecoding),
          dy_(32, 22, forDecoding),
          z_(32, 20, forDecoding) {
        std::memcpy(last_, first, 20);
        // The intensity predictions start at zero, and so does the copy they are checked against.
        last_[12] = last_[13] = 0;
    }

    bool decode(ArithmeticDecoder& dec, std::uint8_t* item) override {
        const std::uint32_t changed = dec.decodeSymbol(changedValues_);
        unsigned r, n, m, l;
        if (changed) {
            if (changed & 32) last_[14] = static_cast<std::uint8_t>(dec.decodeSymbol(bitByte_[last_[14]]));
            r = last_[14] & 7;
            n = (last_[14] >> 3) & 7;
            m = laztables::kReturnMap[n][r];
            l = laztables::kReturnLevel[n][r];
            if (changed & 16) {
                const auto v = static_cast<std::uint16_t>(intensity_.decompress(dec, lastIntensity_[m], m < 3 ? m : 3));
                lastIntensity_[m] = v;
                platform::writeLittleEndian<std::uint16_t>(last_ + 12, v);
            } else {
                platform::writeLittleEndian<std::uint16_t>(last_ + 12, lastIntensity_[m]);
            }
            if (changed & 8) last_[15] = static_cast<std::uint8_t>(dec.decodeSymbol(classification_[last_[15]]));
            if (changed & 4) {
                const std::uint32_t v = dec.decodeSymbol(scanAngleRank_[(last_[14] >> 6) & 1]);
                last_[16] = static_cast<std::uint8_t>(v + last_[16]);
            }
            if (changed & 2) last_[17] = static_cast<std::uint8_t>(dec.decodeSymbol(userData_[last_[17]]));
            if (changed & 1)
                platform::writeLittleEndian<std::uint16_t>(
                    last_ + 18, static_cast<std::uint16_t>(pointSource_.decompress(
                                    dec, platform::readLittleEndian<std::uint16_t>(last_ + 18))));
        } else {
            r = last_[14] & 7;
            n = (last_[14] >> 3) & 7;
            m = laztables::kReturnMap[n][r];
            l = laztables::kReturnLevel[n][r];
        }
        std::int32_t diff = dx_.decompress(dec, lastXDiff_[m].get(), n == 1);
        platform::writeLittleEndian<std::int32_t>(last_,
                                                  wrapAdd(platform::readLittleEndian<std::int32_t>(last_), diff));
        lastXDiff_[m].add(diff);

        unsigned k = dx_.k();
        diff = dy_.decompress(dec, lastYDiff_[m].get(), (n == 1) + (k < 20 ? (k & ~1u) : 20));
        platform::writeLittleEndian<std::int32_t>(last_ + 4,
                                                  wrapAdd(platform::readLittleEndian<std::int32_t>(last_ + 4), diff));
        lastYDiff_[m].add(diff);

        k = (dx_.k() + dy_.k()) / 2;
        const std::int32_t z = z_.decompress(dec, lastHeight_[l], (n == 1) + (k < 18 ? (k & ~1u) : 18));
        platform::writeLittleEndian<std::int32_t>(last_ + 8, z);
        lastHeight_[l] = z;
        std::memcpy(item, last_, 20);
        return true;
    }

    void encode(ArithmeticEncoder& enc, const std::uint8_t* item) override {
        const unsigned r = item[14] & 7;
        const unsigned n = (item[14] >> 3) & 7;
        const unsigned m = laztables::kReturnMap[n][r];
        const unsigned l = laztables::kReturnLevel[n][r];
        const auto intensity = platform::readLittleEndian<std::uint16_t>(item + 12);
        const auto pointSource = platform::readLittleEndian<std::uint16_t>(item + 18);
        const std::uint32_t changed =
            (static_cast<std::uint32_t>(last_[14] != item[14]) << 5) |
            (static_cast<std::uint32_t>(lastIntensity_[m] != intensity) << 4) |
            (static_cast<std::uint32_t>(last_[15] != item[15]) << 3) |
            (static_cast<std::uint32_t>(last_[16] != item[16]) << 2) |
            (static_cast<std::uint32_t>(last_[17] != item[17]) << 1) |
            static_cast<std::uint32_t>(platform::readLittleEndian<std::uint16_t>(last_ + 18) != pointSource);
        enc.encodeSymbol(changedValues_, changed);
        if (changed & 32) enc.encodeSymbol(bitByte_[last_[14]], item[14]);
        if (changed & 16) {
            intensity_.compress(enc, lastIntensity_[m], intensity, m < 3 ? m : 3);
            lastIntensity_[m] = intensity;
        }
        if (changed & 8) enc.encodeSymbol(classification_[last_[15]], item[15]);
        if (changed & 4)
            enc.encodeSymbol(scanAngleRank_[(item[14] >> 6) & 1], static_cast<std::uint8_t>(item[16] - last_[16]));
        if (changed & 2) enc.encodeSymbol(userData_[last_[17]], item[17]);
        if (changed & 1) pointSource_.compress(enc, platform::readLittleEndian<std::uint16_t>(last_ + 18), pointSource);

        std::int32_t diff =
            wrapSub(platform::readLittleEndian<std::int32_t>(item), platform::readLittleEndian<std::int32_t>(last_));
        dx_.compress(enc, lastXDiff_[m].get(), diff, n == 1);
        lastXDiff_[m].add(diff);

        unsigned k = dx_.k();
        diff = wrapSub(platform::readLittleEndian<std::int32_t>(item + 4),
                       platform::readLittleEndian<std::int32_t>(last_ + 4));
        dy_.compress(enc, lastYDiff_[m].get(), diff, (n == 1) + (k < 20 ? (k & ~1u) : 20));
        lastYDiff_[m].add(diff);

        k = (dx_.k() + dy_.k()) / 2;
        const auto z = platform::readLittleEndian<std::int32_t>(item + 8);
        z_.compress(enc, lastHeight_[l], z, (n == 1) + (k < 18 ? (k & ~1u) : 18));
        lastHeight_[l] = z;
        std::memcpy(last_, item, 20);
    }

private:
    std::uint8_t last_[20];
    std::uint16_t lastIntensity_[16] = {};
    std::int32_t lastHeight_[8] = {};
    LazMedian5 lastXDiff_[16];
    LazMedian5 lastYDiff_[16];
    ArithmeticModel changedValues_;
    ArithmeticModel scanAngleRank_[2];
    LazyModels bitByte_;
    LazyModels classification_;
    LazyModels userData_;
    LazIntegerCodec intensity_;
    LazIntegerCodec pointSource_;
    LazIntegerCodec dx_;
    LazIntegerCodec dy_;
    LazIntegerCodec z_;
};

class GpsTime11Codec final : public ItemCodec {
public:
    GpsTime11Codec(bool forDecoding, const std::uint8_t* first)
        : gps_(true, forDecoding, platform::readLittleEndian<std::uint64_t>(first)) {}
    bool decode(ArithmeticDecoder& dec, std::uint8_t* item) override {
        std::uint64_t t = 0;
        const bool ok = gps_.decode(dec, t);
        platform::writeLittleEndian<std::uint64_t>(item, t);
        return ok;
    }
    void encode(ArithmeticEncoder& enc, const std::uint8_t* item) override {
        gps_.encode(enc, platform::readLittleEndian<std::uint64_t>(item));
    }

private:
    LazGpsTimeCodec gps_;
};

class Rgb12Codec final : public ItemCodec {
public:
    Rgb12Codec(bool forDecoding, const std::uint8_t* first) : rgb_(forDecoding) { std::memcpy(last_, first, 6); }
    bool decode(ArithmeticDecoder& dec, std::uint8_t* item) override {
        std::uint16_t out[3];
        rgb_.decode(dec, last_, out);
        std::memcpy(last_, out, 6);
        std::memcpy(item, out, 6);
        return true;
    }
    void encode(ArithmeticEncoder& enc, const std::uint8_t* item) override {
        std::uint16_t cur[3];
        std::memcpy(cur, item, 6);
        rgb_.encode(enc, last_, cur);
        std::memcpy(last_, cur, 6);
    }

private:
    std::uint16_t last_[3];
    LazRgbCodec rgb_;
};

// Extra bytes: each byte as a difference to its previous value.
class BytesCodec final : public ItemCodec {
public:
    BytesCodec(bool forDecoding, const std::uint8_t* first, std::size_t count) : last_(first, first + count) {
        models_.reserve(count);
        for (std::size_t i = 0; i < count; ++i) models_.emplace_back(256, forDecoding);
    }
    bool decode(ArithmeticDecoder& dec, std::uint8_t* item) override {
        for (std::size_t i = 0; i < last_.size(); ++i)
            item[i] = last_[i] = static_cast<std::uint8_t>(last_[i] + dec.decodeSymbol(models_[i]));
        return true;
    }
    void encode(ArithmeticEncoder& enc, const std::uint8_t* item) override {
        for (std::size_t i = 0; i < last_.size(); ++i) {
            enc.encodeSymbol(models_[i], static_cast<std::uint8_t>(item[i] - last_[i]));
            last_[i] = item[i];
        }
    }

private:
    std::vector<std::uint8_t> last_;
    std::vector<ArithmeticModel> models_;
};

// Version 1 items, written by LASzip 1.x (compressor 1 files). Only read, never written.
class Point10CodecV1 final : public ItemCodec {
public:
    Point10CodecV1(bool forDecoding, const std::uint8_t* first)
        : changedValues_(64, forDecoding),
          bitByte_(256, forDecoding),
          classification_(256, forDecoding),
          userData_(256, forDecoding),
          dx_(32, 1, forDecoding),
          dy_(32, 20, forDecoding),
          z_(32, 20, forDecoding),
          intensity_(16, 1, forDecoding),
          scanAngleRank_(8, 2, forDecoding),
          pointSource_(16, 1, forDecoding) {
        std::memcpy(last_, first, 20);
    }

    bool decode(ArithmeticDecoder& dec, std::uint8_t* item) override {
        std::uint8_t cur[20];
        std::memcpy(cur, last_, 20);
        const std::int32_t xDiff = dx_.decompress(dec, median3(lastXDiff_), 0);
        platform::writeLittleEndian<std::int32_t>(cur, wrapAdd(platform::readLittleEndian<std::int32_t>(cur), xDiff));
        unsigned k = dx_.k();
        const std::int32_t yDiff = dy_.decompress(dec, median3(lastYDiff_), k < 19 ? k : 19);
        platform::writeLittleEndian<std::int32_t>(cur + 4,
                                                  wrapAdd(platform::readLittleEndian<std::int32_t>(cur + 4), yDiff));
        k = (k + dy_.k()) / 2;
        platform::writeLittleEndian<std::int32_t>(
            cur + 8, z_.decompress(dec, platform::readLittleEndian<std::int32_t>(last_ + 8), k < 19 ? k : 19));

        const std::uint32_t changed = dec.decodeSymbol(changedValues_);
        if (changed & 32)
            platform::writeLittleEndian<std::uint16_t>(
                cur + 12, static_cast<std::uint16_t>(
                              intensity_.decompress(dec, platform::readLittleEndian<std::uint16_t>(last_ + 12))));
        if (changed & 16) cur[14] = static_cast<std::uint8_t>(dec.decodeSymbol(bitByte_[last_[14]]));
        if (changed & 8) cur[15] = static_cast<std::uint8_t>(dec.decodeSymbol(classification_[last_[15]]));
        if (changed & 4) cur[16] = static_cast<std::uint8_t>(scanAngleRank_.decompress(dec, last_[16], k < 3));
        if (changed & 2) cur[17] = static_cast<std::uint8_t>(dec.decodeSymbol(userData_[last_[17]]));
        if (changed & 1)
            platform::writeLittleEndian<std::uint16_t>(
                cur + 18, static_cast<std::uint16_t>(
                              pointSource_.decompress(dec, platform::readLittleEndian<std::uint16_t>(last_ + 18))));
        lastXDiff_[next_] = xDiff;
        lastYDiff_[next_] = yDiff;
        next_ = (next_ + 1) % 3;
        std::memcpy(last_, cur, 20);
        std::memcpy(item, cur, 20);
        return true;
    }
    void encode(ArithmeticEncoder&, const std::uint8_t*) override {
        throw std::logic_error("LAZ item version 1 is only read");
    }

private:
    static std::int32_t median3(const std::int32_t v[3]) {
        if (v[0] < v[1]) return v[1] < v[2] ? v[1] : (v[0] < v[2] ? v[2] : v[0]);
        return v[0] < v[2] ? v[0] : (v[1] < v[2] ? v[2] : v[1]);
    }

    std::uint8_t last_[20];
    std::int32_t lastXDiff_[3] = {0, 0, 0};
    std::int32_t lastYDiff_[3] = {0, 0, 0};
    unsigned next_ = 0;
    ArithmeticModel changedValues_;
    LazyModels bitByte_;
    LazyModels classification_;
    LazyModels userData_;
    LazIntegerCodec dx_, dy_, z_, intensity_, scanAngleRank_, pointSource_;
};

class GpsTime11CodecV1 final : public ItemCodec {
public:
    GpsTime11CodecV1(bool forDecoding, const std::uint8_t* first)
        : multi_(kMultiMax, forDecoding),
          zeroDiff_(3, forDecoding),
          ic_(32, 6, forDecoding),
          last_(platform::readLittleEndian<std::int64_t>(first)) {}

    bool decode(ArithmeticDecoder& dec, std::uint8_t* item) override {
        if (lastDiff_ == 0) {
            const std::uint32_t multi = dec.decodeSymbol(zeroDiff_);
            if (multi == 1) {
                lastDiff_ = ic_.decompress(dec, 0, 0);
                last_ = add(last_, lastDiff_);
            } else if (multi == 2) {
                last_ = readInt64(dec);
            }
        } else {
            const std::uint32_t multi = dec.decodeSymbol(multi_);
            if (multi < kMultiMax - 2) {
                std::int32_t diff;
                if (multi == 1) {
                    diff = ic_.decompress(dec, lastDiff_, 1);
                    lastDiff_ = diff;
                    extremeCounter_ = 0;
                } else if (multi == 0) {
                    diff = ic_.decompress(dec, lastDiff_ / 4, 2);
                    if (++extremeCounter_ > 3) {
                        lastDiff_ = diff;
                        extremeCounter_ = 0;
                    }
                } else {
                    const auto m = static_cast<std::int32_t>(multi);
                    const std::int32_t pred = static_cast<std::int32_t>(static_cast<std::uint32_t>(m) *
                                                                        static_cast<std::uint32_t>(lastDiff_));
                    diff = ic_.decompress(dec, pred, multi < 10 ? 3 : (multi < 50 ? 4 : 5));
                    if (multi == kMultiMax - 3 && ++extremeCounter_ > 3) {
                        lastDiff_ = diff;
                        extremeCounter_ = 0;
                    }
                }
                last_ = add(last_, diff);
            } else if (multi < kMultiMax - 1) {
                last_ = readInt64(dec);
            }
        }
        platform::writeLittleEndian<std::int64_t>(item, last_);
        return true;
    }
    void encode(ArithmeticEncoder&, const std::uint8_t*) override {
        throw std::logic_error("LAZ item version 1 is only read");
    }

private:
    static constexpr std::uint32_t kMultiMax = 512;
    static std::int64_t add(std::int64_t a, std::int32_t b) {
        return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) +
                                         static_cast<std::uint64_t>(static_cast<std::int64_t>(b)));
    }
    static std::int64_t readInt64(ArithmeticDecoder& dec) {
        const std::uint64_t low = dec.readInt();
        const std::uint64_t high = dec.readInt();
        return static_cast<std::int64_t>((high << 32) | low);
    }

    ArithmeticModel multi_;
    ArithmeticModel zeroDiff_;
    LazIntegerCodec ic_;
    std::int64_t last_;
    std::int32_t lastDiff_ = 0;
    std::int32_t extremeCounter_ = 0;
};

// Colour and extra bytes of version 1: every byte as a correction to its previous value.
class BytesCodecV1 final : public ItemCodec {
public:
    BytesCodecV1(bool forDecoding, const std::uint8_t* first, std::size_t count, bool colour)
        : colour_(colour),
          byteUsed_(64, forDecoding),
          ic_(8, static_cast<unsigned>(count), forDecoding),
          last_(first, first + count) {}

    bool decode(ArithmeticDecoder& dec, std::uint8_t* item) override {
        // Colour says first which of its six bytes changed; extra bytes are always coded.
        const std::uint32_t used = colour_ ? dec.decodeSymbol(byteUsed_) : 0xFFFFFFFFu;
        for (std::size_t i = 0; i < last_.size(); ++i) {
            if (used & (1u << (i % 32)))
                last_[i] = static_cast<std::uint8_t>(ic_.decompress(dec, last_[i], static_cast<unsigned>(i)));
            item[i] = last_[i];
        }
        return true;
    }
    void encode(ArithmeticEncoder&, const std::uint8_t*) override {
        throw std::logic_error("LAZ item version 1 is only read");
    }

private:
    bool colour_;
    ArithmeticModel byteUsed_;
    LazIntegerCodec ic_;
    std::vector<std::uint8_t> last_;
};

std::vector<std::unique_ptr<ItemCodec>> makeCodecs(const std::vector<LazItem>& items, bool forDecoding,
                                                   const std::uint8_t* first) {
    std::vector<std::unique_ptr<ItemCodec>> codecs;
    for (const auto& it : items) {
        if (it.version == 1) {
            switch (it.type) {
                case LazItem::Point10: codecs.push_back(std::make_unique<Point10CodecV1>(forDecoding, first)); break;
                case LazItem::GpsTime11:
                    codecs.push_back(std::make_unique<GpsTime11CodecV1>(forDecoding, first));
                    break;
                case LazItem::Rgb12:
                    codecs.push_back(std::make_unique<BytesCodecV1>(forDecoding, first, 6, true));
                    break;
                default: codecs.push_back(std::make_unique<BytesCodecV1>(forDecoding, first, it.size, false)); break;
            }
            first += it.size;
            continue;
        }
        switch (it.type) {
            case LazItem::Point10: codecs.push_back(std::make_unique<Point10Codec>(forDecoding, first)); break;
            case LazItem::GpsTime11: codecs.push_back(std::make_unique<GpsTime11Codec>(forDecoding, first)); break;
            case LazItem::Rgb12: codecs.push_back(std::make_unique<Rgb12Codec>(forDecoding, first)); break;
            default: codecs.push_back(std::make_unique<BytesCodec>(forDecoding, first, it.size)); break;
        }
        first += it.size;
    }
    return codecs;
}

}  // namespace

struct LazPointwiseCodec::State {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::uint64_t done = 0;  // records handed out from this chunk
    std::vector<std::unique_ptr<ItemCodec>> codecs;
    ArithmeticDecoder dec;
};

LazPointwiseCodec::LazPointwiseCodec(std::vector<LazItem> items)
    : items_(std::move(items)), state_(std::make_unique<State>()) {
    for (const auto& it : items_) recordLength_ = static_cast<std::uint16_t>(recordLength_ + it.size);
}

LazPointwiseCodec::~LazPointwiseCodec() = default;

std::uint64_t LazPointwiseCodec::pointsDone() const { return state_->done; }

std::size_t LazPointwiseCodec::bytesUsed() const {
    if (state_->done == 0) return 0;
    return std::min(state_->size, recordLength_ + state_->dec.consumed());
}

void LazPointwiseCodec::beginChunk(const std::uint8_t* data, std::size_t size) {
    state_->data = data;
    state_->size = size;
    state_->done = 0;
    state_->codecs.clear();
}

LasStatus LazPointwiseCodec::decode(char* out, std::uint32_t count, std::uint64_t* recordHash) {
    State& s = *state_;
    auto* dst = reinterpret_cast<std::uint8_t*>(out);
    for (std::uint32_t i = 0; i < count; ++i, dst += recordLength_) {
        if (s.done == 0) {
            // The first point of a chunk is stored as it is and seeds every prediction.
            if (s.size < recordLength_) return LasStatus::failure("Uszkodzony plik LAZ: chunk krotszy niz jeden punkt");
            std::memcpy(dst, s.data, recordLength_);
            s.codecs = makeCodecs(items_, true, s.data);
            s.dec.init(s.data + recordLength_, s.size - recordLength_);
            if (recordHash) *recordHash = extendRecordHash(*recordHash, dst, recordLength_);
            ++s.done;
            continue;
        }
        std::uint8_t* item = dst;
        for (std::size_t j = 0; j < s.codecs.size(); ++j) {
            if (!s.codecs[j]->decode(s.dec, item))
                return LasStatus::failure(
                    "Uszkodzony plik LAZ: bledny zapis czasu GPS",
                    platform::cformat("punkt %llu chunku", static_cast<unsigned long long>(s.done)));
            item += items_[j].size;
        }
        if (s.dec.overrun() > kOverrunTolerance || s.dec.damaged())
            return LasStatus::failure("Uszkodzony plik LAZ: dane chunku skonczyly sie przed koncem punktow",
                                      platform::cformat("punkt %llu chunku", static_cast<unsigned long long>(s.done)));
        if (recordHash) *recordHash = extendRecordHash(*recordHash, dst, recordLength_);
        ++s.done;
    }
    return LasStatus::success();
}

void LazPointwiseCodec::encodeChunk(const char* records, std::uint32_t count, std::string& out) const {
    if (count == 0) return;
    const auto* src = reinterpret_cast<const std::uint8_t*>(records);
    out.append(records, recordLength_);
    auto codecs = makeCodecs(items_, false, src);
    ArithmeticEncoder enc;
    for (std::uint32_t i = 1; i < count; ++i) {
        const std::uint8_t* item = src + static_cast<std::size_t>(i) * recordLength_;
        for (std::size_t j = 0; j < codecs.size(); ++j) {
            codecs[j]->encode(enc, item);
            item += items_[j].size;
        }
    }
    enc.done();
    out.append(reinterpret_cast<const char*>(enc.bytes().data()), enc.bytes().size());
}

}  // namespace las::detail
