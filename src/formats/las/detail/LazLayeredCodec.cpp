#include "formats/las/detail/LazLayeredCodec.h"

#include <cstring>
#include <memory>

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

// The 30-byte core of a point of format 6..10, unpacked.
struct Point14 {
    std::int32_t x = 0, y = 0, z = 0;
    std::uint16_t intensity = 0;
    std::uint8_t returnNumber = 0, numberOfReturns = 0;
    std::uint8_t classFlags = 0, scannerChannel = 0, scanDirection = 0, edge = 0;
    std::uint8_t classification = 0, userData = 0;
    std::int16_t scanAngle = 0;
    std::uint16_t pointSource = 0;
    std::uint64_t gpsTime = 0;
    bool gpsTimeChange = false;

    std::uint32_t flags() const {
        return (static_cast<std::uint32_t>(edge) << 5) | (static_cast<std::uint32_t>(scanDirection) << 4) | classFlags;
    }
    void setFlags(std::uint32_t f) {
        edge = (f >> 5) & 1;
        scanDirection = (f >> 4) & 1;
        classFlags = f & 0x0F;
    }
};

Point14 unpack(const std::uint8_t* p) {
    Point14 q;
    q.x = platform::readLittleEndian<std::int32_t>(p);
    q.y = platform::readLittleEndian<std::int32_t>(p + 4);
    q.z = platform::readLittleEndian<std::int32_t>(p + 8);
    q.intensity = platform::readLittleEndian<std::uint16_t>(p + 12);
    q.returnNumber = p[14] & 0x0F;
    q.numberOfReturns = p[14] >> 4;
    q.classFlags = p[15] & 0x0F;
    q.scannerChannel = (p[15] >> 4) & 3;
    q.scanDirection = (p[15] >> 6) & 1;
    q.edge = (p[15] >> 7) & 1;
    q.classification = p[16];
    q.userData = p[17];
    q.scanAngle = platform::readLittleEndian<std::int16_t>(p + 18);
    q.pointSource = platform::readLittleEndian<std::uint16_t>(p + 20);
    q.gpsTime = platform::readLittleEndian<std::uint64_t>(p + 22);
    return q;
}

void pack(const Point14& q, std::uint8_t* p) {
    platform::writeLittleEndian(p, q.x);
    platform::writeLittleEndian(p + 4, q.y);
    platform::writeLittleEndian(p + 8, q.z);
    platform::writeLittleEndian(p + 12, q.intensity);
    p[14] = static_cast<std::uint8_t>(q.returnNumber | (q.numberOfReturns << 4));
    p[15] = static_cast<std::uint8_t>(q.classFlags | (q.scannerChannel << 4) | (q.scanDirection << 6) | (q.edge << 7));
    p[16] = q.classification;
    p[17] = q.userData;
    platform::writeLittleEndian(p + 18, q.scanAngle);
    platform::writeLittleEndian(p + 20, q.pointSource);
    platform::writeLittleEndian(p + 22, q.gpsTime);
}

enum Layer { XY, Z, Classification, Flags, Intensity, ScanAngle, UserData, PointSource, GpsTime, kPointLayers };

// Prediction state of one scanner channel, started from the point that precedes its first point.
struct Channel14 {
    Channel14(bool d, const Point14& seed)
        : changedValues{{128, d}, {128, d}, {128, d}, {128, d}, {128, d}, {128, d}, {128, d}, {128, d}},
          scannerChannel(3, d),
          numberOfReturns(16, d),
          returnNumber(16, d),
          returnNumberGpsSame(13, d),
          dX(32, 2, d),
          dY(32, 22, d),
          dZ(32, 20, d),
          classification(256, d),
          flags(64, d),
          userData(256, d),
          intensity(16, 4, d),
          scanAngle(16, 2, d),
          pointSource(16, 1, d),
          gps(false, d, seed.gpsTime),
          last(seed) {
        for (auto& z : lastZ) z = seed.z;
        for (auto& i : lastIntensity) i = seed.intensity;
        last.gpsTimeChange = false;
    }
    ArithmeticModel changedValues[8];
    ArithmeticModel scannerChannel;
    LazyModelArray<16> numberOfReturns;
    LazyModelArray<16> returnNumber;
    ArithmeticModel returnNumberGpsSame;
    LazIntegerCodec dX, dY, dZ;
    LazyModelArray<64> classification;
    LazyModelArray<64> flags;
    LazyModelArray<64> userData;
    LazIntegerCodec intensity, scanAngle, pointSource;
    LazGpsTimeCodec gps;
    LazMedian5 lastXDiff[12];
    LazMedian5 lastYDiff[12];
    std::int32_t lastZ[8];
    std::uint16_t lastIntensity[8];
    Point14 last;
};

struct ReturnContexts {
    unsigned m, l, cpr;
};
ReturnContexts returnContexts(unsigned n, unsigned r) {
    return {laztables::kReturnMap6[n][r], laztables::kReturnLevel8[n][r], (r == 1 ? 1u : 0u) + (r >= n ? 2u : 0u)};
}
unsigned lastPointReturn(const Point14& p) {
    return (p.returnNumber == 1 ? 1u : 0u) + (p.returnNumber >= p.numberOfReturns ? 2u : 0u) +
           (p.gpsTimeChange ? 4u : 0u);
}
unsigned yContext(unsigned n, unsigned k) { return (n == 1) + (k < 20 ? (k & ~1u) : 20); }
unsigned zContext(unsigned n, unsigned k) { return (n == 1) + (k < 18 ? (k & ~1u) : 18); }

// The core point: decides the scanner channel that every other item of the point follows.
//
// The channel is handed to the items that follow. Version 3 hands it over only on the point where
// it changes and 0 on every other point (the items then keep predicting from the channel they
// saw last); version 4 hands over the current channel every time. Writers of each version did
// the same, so both are reproduced.
class Point14Coder {
public:
    Point14Coder(bool forDecoding, const Point14& first, bool version4)
        : forDecoding_(forDecoding), version4_(version4), current_(first.scannerChannel), published_(current_) {
        channels_[current_] = std::make_unique<Channel14>(forDecoding, first);
    }
    // Channel context for the items after the core point.
    unsigned context() const { return published_; }

    bool decode(ArithmeticDecoder* dec, const bool* layerUsed, std::uint8_t* out) {
        Channel14* c = channels_[current_].get();
        ArithmeticDecoder& xy = dec[XY];
        const std::uint32_t changed = xy.decodeSymbol(c->changedValues[lastPointReturn(c->last)]);
        published_ = 0;
        if (changed & (1 << 6)) {
            const std::uint32_t diff = xy.decodeSymbol(c->scannerChannel);
            const unsigned channel = (current_ + diff + 1) % 4;
            if (!channels_[channel]) channels_[channel] = std::make_unique<Channel14>(forDecoding_, c->last);
            current_ = channel;
            c = channels_[channel].get();
            c->last.scannerChannel = static_cast<std::uint8_t>(channel);
            published_ = channel;
        }
        if (version4_) published_ = current_;
        const bool pointSourceChange = changed & (1 << 5);
        const bool gpsTimeChange = changed & (1 << 4);
        const bool scanAngleChange = changed & (1 << 3);
        Point14& last = c->last;
        const unsigned lastN = last.numberOfReturns;
        const unsigned lastR = last.returnNumber;
        unsigned n = lastN;
        if (changed & (1 << 2)) {
            n = xy.decodeSymbol(c->numberOfReturns[lastN]);
            last.numberOfReturns = static_cast<std::uint8_t>(n);
        }
        unsigned r = lastR;
        switch (changed & 3) {
            case 0: break;
            case 1: r = (lastR + 1) % 16; break;
            case 2: r = (lastR + 15) % 16; break;
            default:
                if (gpsTimeChange) r = xy.decodeSymbol(c->returnNumber[lastR]);
                else r = (lastR + xy.decodeSymbol(c->returnNumberGpsSame) + 2) % 16;
                break;
        }
        last.returnNumber = static_cast<std::uint8_t>(r);
        const ReturnContexts rc = returnContexts(n, r);
        const unsigned medianIndex = (rc.m << 1) | (gpsTimeChange ? 1u : 0u);

        std::int32_t diff = c->dX.decompress(xy, c->lastXDiff[medianIndex].get(), n == 1);
        last.x = wrapAdd(last.x, diff);
        c->lastXDiff[medianIndex].add(diff);
        diff = c->dY.decompress(xy, c->lastYDiff[medianIndex].get(), yContext(n, c->dX.k()));
        last.y = wrapAdd(last.y, diff);
        c->lastYDiff[medianIndex].add(diff);

        if (layerUsed[Z]) {
            const unsigned k = (c->dX.k() + c->dY.k()) / 2;
            last.z = c->dZ.decompress(dec[Z], c->lastZ[rc.l], zContext(n, k));
            c->lastZ[rc.l] = last.z;
        }
        if (layerUsed[Classification]) {
            const unsigned ccc = ((last.classification & 0x1Fu) << 1) + (rc.cpr == 3 ? 1u : 0u);
            last.classification = static_cast<std::uint8_t>(dec[Classification].decodeSymbol(c->classification[ccc]));
        }
        if (layerUsed[Flags]) last.setFlags(dec[Flags].decodeSymbol(c->flags[last.flags()]));
        if (layerUsed[Intensity]) {
            const unsigned idx = (rc.cpr << 1) | (gpsTimeChange ? 1u : 0u);
            last.intensity =
                static_cast<std::uint16_t>(c->intensity.decompress(dec[Intensity], c->lastIntensity[idx], rc.cpr));
            c->lastIntensity[idx] = last.intensity;
        }
        if (layerUsed[ScanAngle] && scanAngleChange)
            last.scanAngle =
                static_cast<std::int16_t>(c->scanAngle.decompress(dec[ScanAngle], last.scanAngle, gpsTimeChange));
        if (layerUsed[UserData])
            last.userData = static_cast<std::uint8_t>(dec[UserData].decodeSymbol(c->userData[last.userData / 4]));
        if (layerUsed[PointSource] && pointSourceChange)
            last.pointSource =
                static_cast<std::uint16_t>(c->pointSource.decompress(dec[PointSource], last.pointSource));
        bool ok = true;
        if (layerUsed[GpsTime] && gpsTimeChange) ok = c->gps.decode(dec[GpsTime], last.gpsTime);
        pack(last, out);
        last.gpsTimeChange = gpsTimeChange;
        return ok;
    }

    void encode(ArithmeticEncoder* enc, bool* layerChanged, const std::uint8_t* in) {
        const Point14 item = unpack(in);
        Channel14* c = channels_[current_].get();
        const unsigned lpr = lastPointReturn(c->last);
        Channel14* target = c;
        const bool channelChange = item.scannerChannel != current_;
        if (channelChange) {
            if (!channels_[item.scannerChannel])
                channels_[item.scannerChannel] = std::make_unique<Channel14>(forDecoding_, c->last);
            target = channels_[item.scannerChannel].get();
        }
        const Point14& last = target->last;
        const bool pointSourceChange = item.pointSource != last.pointSource;
        const bool gpsTimeChange = item.gpsTime != last.gpsTime;
        const bool scanAngleChange = item.scanAngle != last.scanAngle;
        const unsigned lastN = last.numberOfReturns;
        const unsigned lastR = last.returnNumber;
        const unsigned n = item.numberOfReturns;
        const unsigned r = item.returnNumber;
        unsigned returnCode = 3;
        if (r == lastR) returnCode = 0;
        else if (r == (lastR + 1) % 16) returnCode = 1;
        else if (r == (lastR + 15) % 16) returnCode = 2;
        const std::uint32_t changed = (channelChange ? 1u << 6 : 0u) | (pointSourceChange ? 1u << 5 : 0u) |
                                      (gpsTimeChange ? 1u << 4 : 0u) | (scanAngleChange ? 1u << 3 : 0u) |
                                      (n != lastN ? 1u << 2 : 0u) | returnCode;
        ArithmeticEncoder& xy = enc[XY];
        xy.encodeSymbol(c->changedValues[lpr], changed);
        published_ = 0;
        if (channelChange) {
            xy.encodeSymbol(c->scannerChannel, (item.scannerChannel + 4 - current_ - 1) % 4);
            current_ = item.scannerChannel;
            published_ = current_;
            c = target;
        }
        if (version4_) published_ = current_;
        if (n != lastN) xy.encodeSymbol(c->numberOfReturns[lastN], n);
        if (returnCode == 3) {
            if (gpsTimeChange) xy.encodeSymbol(c->returnNumber[lastR], r);
            else xy.encodeSymbol(c->returnNumberGpsSame, (r + 16 - lastR) % 16 - 2);
        }
        const ReturnContexts rc = returnContexts(n, r);
        const unsigned medianIndex = (rc.m << 1) | (gpsTimeChange ? 1u : 0u);

        std::int32_t diff = wrapSub(item.x, c->last.x);
        c->dX.compress(xy, c->lastXDiff[medianIndex].get(), diff, n == 1);
        c->lastXDiff[medianIndex].add(diff);
        diff = wrapSub(item.y, c->last.y);
        c->dY.compress(xy, c->lastYDiff[medianIndex].get(), diff, yContext(n, c->dX.k()));
        c->lastYDiff[medianIndex].add(diff);

        const unsigned k = (c->dX.k() + c->dY.k()) / 2;
        c->dZ.compress(enc[Z], c->lastZ[rc.l], item.z, zContext(n, k));
        c->lastZ[rc.l] = item.z;
        layerChanged[Z] |= item.z != c->last.z;

        const unsigned ccc = ((c->last.classification & 0x1Fu) << 1) + (rc.cpr == 3 ? 1u : 0u);
        enc[Classification].encodeSymbol(c->classification[ccc], item.classification);
        layerChanged[Classification] |= item.classification != c->last.classification;

        enc[Flags].encodeSymbol(c->flags[c->last.flags()], item.flags());
        layerChanged[Flags] |= item.flags() != c->last.flags();

        const unsigned idx = (rc.cpr << 1) | (gpsTimeChange ? 1u : 0u);
        c->intensity.compress(enc[Intensity], c->lastIntensity[idx], item.intensity, rc.cpr);
        c->lastIntensity[idx] = item.intensity;
        layerChanged[Intensity] |= item.intensity != c->last.intensity;

        if (scanAngleChange) {
            c->scanAngle.compress(enc[ScanAngle], c->last.scanAngle, item.scanAngle, gpsTimeChange);
            layerChanged[ScanAngle] = true;
        }
        enc[UserData].encodeSymbol(c->userData[c->last.userData / 4], item.userData);
        layerChanged[UserData] |= item.userData != c->last.userData;
        if (pointSourceChange) {
            c->pointSource.compress(enc[PointSource], c->last.pointSource, item.pointSource);
            layerChanged[PointSource] = true;
        }
        if (gpsTimeChange) {
            c->gps.encode(enc[GpsTime], item.gpsTime);
            layerChanged[GpsTime] = true;
        }
        c->last = item;
        c->last.gpsTimeChange = gpsTimeChange;
    }

private:
    bool forDecoding_;
    bool version4_;
    unsigned current_;
    unsigned published_;
    std::unique_ptr<Channel14> channels_[4];
};

// Per-channel state of the items after the core point: colour, near infrared and extra bytes.
struct ExtraChannel {
    ExtraChannel(bool d, const std::uint8_t* seed, std::size_t size, std::size_t byteCount)
        : rgb(d), nirUsed(4, d), nirDiff{{256, d}, {256, d}}, last(seed, seed + size) {
        bytes.reserve(byteCount);
        for (std::size_t i = 0; i < byteCount; ++i) bytes.emplace_back(256, d);
    }
    LazRgbCodec rgb;
    ArithmeticModel nirUsed;
    ArithmeticModel nirDiff[2];
    std::vector<ArithmeticModel> bytes;
    std::vector<std::uint8_t> last;
};

// Colour, infrared or extra bytes of a layered point. Item version 3 has a quirk kept by its
// writer and reader alike: on a switch to a channel seen before, the previous channel's last
// values serve as prediction (and are updated) for that one point; version 4 uses the channel's own.
class ExtraItemCoder {
public:
    ExtraItemCoder(const LazItem& item, bool forDecoding, const std::uint8_t* first, unsigned context)
        : type_(item.type),
          size_(item.size),
          version4_(item.version >= 4),
          forDecoding_(forDecoding),
          current_(context) {
        channels_[current_] =
            std::make_unique<ExtraChannel>(forDecoding, first, size_, type_ == LazItem::Byte14 ? size_ : 0);
    }

    // Number of layers this item stores in a chunk.
    static std::size_t layerCount(const LazItem& item) {
        if (item.type == LazItem::Rgb14) return 1;
        if (item.type == LazItem::RgbNir14) return 2;
        return item.size;
    }

    void decode(ArithmeticDecoder* dec, const bool* layerUsed, unsigned context, std::uint8_t* out) {
        std::uint8_t* last = select(context);
        ExtraChannel& ch = *channels_[current_];
        if (type_ == LazItem::Byte14) {
            for (std::size_t i = 0; i < size_; ++i) {
                if (layerUsed[i]) last[i] = static_cast<std::uint8_t>(last[i] + dec[i].decodeSymbol(ch.bytes[i]));
                out[i] = last[i];
            }
            return;
        }
        std::uint16_t prev[4], cur[4];
        std::memcpy(prev, last, size_);
        if (layerUsed[0]) {
            ch.rgb.decode(dec[0], prev, cur);
            std::memcpy(last, cur, 6);
        }
        std::memcpy(out, last, 6);
        if (type_ == LazItem::RgbNir14) {
            if (layerUsed[1]) {
                const std::uint32_t sym = dec[1].decodeSymbol(ch.nirUsed);
                std::uint32_t lo = prev[3] & 0xFFu, hi = prev[3] >> 8;
                if (sym & 1) lo = (dec[1].decodeSymbol(ch.nirDiff[0]) + lo) & 0xFFu;
                if (sym & 2) hi = (dec[1].decodeSymbol(ch.nirDiff[1]) + hi) & 0xFFu;
                platform::writeLittleEndian<std::uint16_t>(last + 6, static_cast<std::uint16_t>(lo | (hi << 8)));
            }
            std::memcpy(out + 6, last + 6, 2);
        }
    }

    void encode(ArithmeticEncoder* enc, bool* layerChanged, unsigned context, const std::uint8_t* in) {
        std::uint8_t* last = select(context);
        ExtraChannel& ch = *channels_[current_];
        if (type_ == LazItem::Byte14) {
            for (std::size_t i = 0; i < size_; ++i) {
                enc[i].encodeSymbol(ch.bytes[i], static_cast<std::uint8_t>(in[i] - last[i]));
                layerChanged[i] |= in[i] != last[i];
                last[i] = in[i];
            }
            return;
        }
        std::uint16_t prev[4], cur[4];
        std::memcpy(prev, last, size_);
        std::memcpy(cur, in, size_);
        ch.rgb.encode(enc[0], prev, cur);
        layerChanged[0] |= std::memcmp(prev, cur, 6) != 0;
        if (type_ == LazItem::RgbNir14) {
            const std::uint32_t sym =
                ((prev[3] & 0xFFu) != (cur[3] & 0xFFu) ? 1u : 0u) | ((prev[3] >> 8) != (cur[3] >> 8) ? 2u : 0u);
            enc[1].encodeSymbol(ch.nirUsed, sym);
            if (sym & 1)
                enc[1].encodeSymbol(ch.nirDiff[0], static_cast<std::uint8_t>((cur[3] & 0xFFu) - (prev[3] & 0xFFu)));
            if (sym & 2) enc[1].encodeSymbol(ch.nirDiff[1], static_cast<std::uint8_t>((cur[3] >> 8) - (prev[3] >> 8)));
            layerChanged[1] |= sym != 0;
        }
        std::memcpy(last, in, size_);
    }

private:
    std::uint8_t* select(unsigned context) {
        std::uint8_t* last = channels_[current_]->last.data();
        if (context != current_) {
            current_ = context;
            if (!channels_[current_]) {
                channels_[current_] =
                    std::make_unique<ExtraChannel>(forDecoding_, last, size_, type_ == LazItem::Byte14 ? size_ : 0);
                last = channels_[current_]->last.data();
            } else if (version4_) {
                last = channels_[current_]->last.data();
            }
        }
        return last;
    }

    std::uint16_t type_;
    std::size_t size_;
    bool version4_;
    bool forDecoding_;
    unsigned current_;
    std::unique_ptr<ExtraChannel> channels_[4];
};

}  // namespace

struct LazLayeredCodec::State {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::uint64_t done = 0;
    std::vector<ArithmeticDecoder> dec;
    std::unique_ptr<bool[]> used;  // per layer: holds data in this chunk
    std::unique_ptr<Point14Coder> point;
    std::vector<std::unique_ptr<ExtraItemCoder>> extras;
    std::vector<std::size_t> extraLayer, extraOffset;
};

LazLayeredCodec::LazLayeredCodec(std::vector<LazItem> items)
    : items_(std::move(items)), state_(std::make_unique<State>()) {
    for (const auto& it : items_) recordLength_ = static_cast<std::uint16_t>(recordLength_ + it.size);
}

LazLayeredCodec::~LazLayeredCodec() = default;

std::uint64_t LazLayeredCodec::pointsDone() const { return state_->done; }

std::size_t LazLayeredCodec::bytesUsed() const {
    const State& s = *state_;
    std::size_t layerTotal = kPointLayers;
    for (std::size_t i = 1; i < items_.size(); ++i) layerTotal += ExtraItemCoder::layerCount(items_[i]);
    std::size_t pos = recordLength_ + 4;
    if (s.size < pos + 4 * layerTotal) return 0;
    std::uint64_t total = pos + 4 * layerTotal;
    for (std::size_t i = 0; i < layerTotal; ++i)
        total += platform::readLittleEndian<std::uint32_t>(s.data + pos + 4 * i);
    return total <= s.size ? static_cast<std::size_t>(total) : 0;
}

std::uint64_t LazLayeredCodec::chunkPointCount() const {
    const State& s = *state_;
    if (s.size < recordLength_ + 4u) return 0;
    return platform::readLittleEndian<std::uint32_t>(s.data + recordLength_);
}

void LazLayeredCodec::beginChunk(const std::uint8_t* data, std::size_t size) {
    state_->data = data;
    state_->size = size;
    state_->done = 0;
    state_->point.reset();
    state_->extras.clear();
}

LasStatus LazLayeredCodec::decode(char* out, std::uint32_t count, std::uint64_t* recordHash) {
    State& s = *state_;
    auto* dst = reinterpret_cast<std::uint8_t*>(out);
    for (std::uint32_t i = 0; i < count; ++i, dst += recordLength_) {
        if (s.done == 0) {
            if (s.size < recordLength_) return LasStatus::failure("Uszkodzony plik LAZ: chunk krotszy niz jeden punkt");
            std::memcpy(dst, s.data, recordLength_);
            if (recordHash) *recordHash = extendRecordHash(*recordHash, dst, recordLength_);
            ++s.done;
            continue;
        }
        if (s.done == 1) {
            LasStatus st = startLayers();
            if (!st) return st;
        }
        if (!s.point->decode(s.dec.data(), s.used.get(), dst))
            return LasStatus::failure("Uszkodzony plik LAZ: bledny zapis czasu GPS",
                                      platform::cformat("punkt %llu chunku", static_cast<unsigned long long>(s.done)));
        for (std::size_t e = 0; e < s.extras.size(); ++e)
            s.extras[e]->decode(s.dec.data() + s.extraLayer[e], s.used.get() + s.extraLayer[e], s.point->context(),
                                dst + s.extraOffset[e]);
        for (const auto& d : s.dec) {
            if (d.overrun() > kOverrunTolerance || d.damaged())
                return LasStatus::failure(
                    "Uszkodzony plik LAZ: dane warstwy skonczyly sie przed koncem punktow",
                    platform::cformat("punkt %llu chunku", static_cast<unsigned long long>(s.done)));
        }
        if (recordHash) *recordHash = extendRecordHash(*recordHash, dst, recordLength_);
        ++s.done;
    }
    return LasStatus::success();
}

LasStatus LazLayeredCodec::startLayers() {
    State& s = *state_;
    std::size_t layerTotal = kPointLayers;
    for (std::size_t i = 1; i < items_.size(); ++i) layerTotal += ExtraItemCoder::layerCount(items_[i]);
    // After the raw point: the chunk's point count, then the byte size of every layer.
    std::size_t pos = recordLength_ + 4;
    if (s.size < pos + 4 * layerTotal) return LasStatus::failure("Uszkodzony plik LAZ: brak rozmiarow warstw chunku");
    std::vector<std::uint32_t> layerSize(layerTotal);
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < layerTotal; ++i) {
        layerSize[i] = platform::readLittleEndian<std::uint32_t>(s.data + pos + 4 * i);
        sum += layerSize[i];
    }
    pos += 4 * layerTotal;
    if (sum > s.size - pos) return LasStatus::failure("Uszkodzony plik LAZ: warstwy chunku dluzsze niz chunk");

    s.dec.assign(layerTotal, ArithmeticDecoder());
    s.used.reset(new bool[layerTotal]());
    for (std::size_t i = 0; i < layerTotal; ++i) {
        s.used[i] = layerSize[i] > 0;
        if (s.used[i]) s.dec[i].init(s.data + pos, layerSize[i]);
        pos += layerSize[i];
    }
    // The coordinates are always coded; an empty layer shows up as an overrun.
    s.used[XY] = true;
    s.point = std::make_unique<Point14Coder>(true, unpack(s.data), items_[0].version >= 4);
    s.extras.clear();
    s.extraLayer.clear();
    s.extraOffset.clear();
    std::size_t layer = kPointLayers, offset = 30;
    for (std::size_t i = 1; i < items_.size(); ++i) {
        s.extras.push_back(std::make_unique<ExtraItemCoder>(items_[i], true, s.data + offset, s.point->context()));
        s.extraLayer.push_back(layer);
        s.extraOffset.push_back(offset);
        layer += ExtraItemCoder::layerCount(items_[i]);
        offset += items_[i].size;
    }
    return LasStatus::success();
}

void LazLayeredCodec::encodeChunk(const char* records, std::uint32_t count, std::string& out) const {
    if (count == 0) return;
    const auto* src = reinterpret_cast<const std::uint8_t*>(records);
    out.append(records, recordLength_);

    std::size_t layerTotal = kPointLayers;
    for (std::size_t i = 1; i < items_.size(); ++i) layerTotal += ExtraItemCoder::layerCount(items_[i]);
    std::vector<ArithmeticEncoder> enc(layerTotal);
    std::unique_ptr<bool[]> changed(new bool[layerTotal]());

    Point14Coder point(false, unpack(src), items_[0].version >= 4);
    std::vector<std::unique_ptr<ExtraItemCoder>> extras;
    std::vector<std::size_t> extraLayer, extraOffset;
    std::size_t layer = kPointLayers, offset = 30;
    for (std::size_t i = 1; i < items_.size(); ++i) {
        extras.push_back(std::make_unique<ExtraItemCoder>(items_[i], false, src + offset, point.context()));
        extraLayer.push_back(layer);
        extraOffset.push_back(offset);
        layer += ExtraItemCoder::layerCount(items_[i]);
        offset += items_[i].size;
    }
    for (std::uint32_t i = 1; i < count; ++i) {
        const std::uint8_t* rec = src + static_cast<std::size_t>(i) * recordLength_;
        point.encode(enc.data(), changed.get(), rec);
        for (std::size_t e = 0; e < extras.size(); ++e)
            extras[e]->encode(enc.data() + extraLayer[e], changed.get() + extraLayer[e], point.context(),
                              rec + extraOffset[e]);
    }
    changed[XY] = true;
    platform::appendLittleEndian(out, count);
    for (std::size_t i = 0; i < layerTotal; ++i) {
        enc[i].done();
        const std::uint32_t bytes = changed[i] ? static_cast<std::uint32_t>(enc[i].bytes().size()) : 0;
        platform::appendLittleEndian(out, bytes);
    }
    for (std::size_t i = 0; i < layerTotal; ++i) {
        if (changed[i]) out.append(reinterpret_cast<const char*>(enc[i].bytes().data()), enc[i].bytes().size());
    }
}

}  // namespace las::detail
