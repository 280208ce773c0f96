#include "formats/las/detail/LazVlr.h"

#include <cstring>

#include "platform/ByteOrder.h"
#include "platform/Numbers.h"

namespace las::detail {

namespace {

// Size of the core record (without extra bytes) of a point format.
std::uint16_t coreSize(std::uint8_t format) {
    static constexpr std::uint16_t kSizes[] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
    return format <= 10 ? kSizes[format] : 0;
}

constexpr std::uint16_t kMaxExtraBytes = 1024;

LasStatus bad(const std::string& why) {
    return LasStatus::failure("Nieobslugiwany lub uszkodzony opis kompresji LAZ: " + why, "VLR laszip");
}

bool expectedSize(std::uint16_t type, std::uint16_t& size) {
    switch (type) {
        case LazItem::Point10: size = 20; return true;
        case LazItem::GpsTime11: size = 8; return true;
        case LazItem::Rgb12: size = 6; return true;
        case LazItem::WavePacket13: size = 29; return true;
        case LazItem::Point14: size = 30; return true;
        case LazItem::Rgb14: size = 6; return true;
        case LazItem::RgbNir14: size = 8; return true;
        case LazItem::WavePacket14: size = 29; return true;
        case LazItem::Byte:
        case LazItem::Byte14: size = 0; return true;
        default: return false;
    }
}

}  // namespace

LasStatus parseLazVlr(const std::uint8_t* data, std::size_t size, std::uint8_t pointFormat, std::uint16_t recordLength,
                      LazVlr& out) {
    if (size < 34) return bad("za krotki rekord");
    LazVlr v;
    v.compressor = platform::readLittleEndian<std::uint16_t>(data);
    v.coder = platform::readLittleEndian<std::uint16_t>(data + 2);
    v.versionMajor = data[4];
    v.versionMinor = data[5];
    v.versionRevision = platform::readLittleEndian<std::uint16_t>(data + 6);
    v.options = platform::readLittleEndian<std::uint32_t>(data + 8);
    v.chunkSize = platform::readLittleEndian<std::uint32_t>(data + 12);
    v.specialEvlrCount = platform::readLittleEndian<std::int64_t>(data + 16);
    v.specialEvlrOffset = platform::readLittleEndian<std::int64_t>(data + 24);
    const std::uint16_t itemCount = platform::readLittleEndian<std::uint16_t>(data + 32);
    if (size < 34 + 6u * itemCount) return bad("lista pol dluzsza niz rekord");
    if (itemCount == 0) return bad("brak pol punktu");
    if (v.coder != 0) return bad(platform::cformat("koder %u", static_cast<unsigned>(v.coder)));
    if (v.compressor < 1 || v.compressor > 3)
        return bad(platform::cformat("kompresor %u", static_cast<unsigned>(v.compressor)));
    std::uint32_t total = 0;
    for (std::uint16_t i = 0; i < itemCount; ++i) {
        LazItem it;
        it.type = platform::readLittleEndian<std::uint16_t>(data + 34 + 6 * i);
        it.size = platform::readLittleEndian<std::uint16_t>(data + 36 + 6 * i);
        it.version = platform::readLittleEndian<std::uint16_t>(data + 38 + 6 * i);
        std::uint16_t expected = 0;
        if (!expectedSize(it.type, expected))
            return bad(platform::cformat("typ pola %u", static_cast<unsigned>(it.type)));
        // Each extra byte gets its own models in every chunk; real files carry a few dozen at most.
        if ((expected != 0 && it.size != expected) || it.size == 0 || it.size > kMaxExtraBytes)
            return bad(platform::cformat("rozmiar pola typu %u: %u", static_cast<unsigned>(it.type),
                                         static_cast<unsigned>(it.size)));
        total += it.size;
        v.items.push_back(it);
    }
    if (total != recordLength)
        return bad(
            platform::cformat("pola maja %u bajtow, rekord punktu %u", total, static_cast<unsigned>(recordLength)));

    // The item list must describe the point format in the order the record stores it.
    const bool layered = pointFormat >= 6;
    std::vector<std::uint16_t> core;
    if (!layered) {
        core.push_back(LazItem::Point10);
        if (pointFormat == 1 || pointFormat == 3 || pointFormat == 4 || pointFormat == 5)
            core.push_back(LazItem::GpsTime11);
        if (pointFormat == 2 || pointFormat == 3 || pointFormat == 5) core.push_back(LazItem::Rgb12);
        if (pointFormat == 4 || pointFormat == 5) core.push_back(LazItem::WavePacket13);
    } else {
        core.push_back(LazItem::Point14);
        if (pointFormat == 7 || pointFormat == 10) core.push_back(LazItem::Rgb14);
        if (pointFormat == 8) core.push_back(LazItem::RgbNir14);
        if (pointFormat == 9 || pointFormat == 10) core.push_back(LazItem::WavePacket14);
    }
    std::size_t i = 0;
    for (; i < core.size(); ++i) {
        if (i >= v.items.size() || v.items[i].type != core[i])
            return bad(
                platform::cformat("pola nie odpowiadaja formatowi punktu %u", static_cast<unsigned>(pointFormat)));
    }
    if (i < v.items.size()) {
        if (i + 1 != v.items.size() || v.items[i].type != (layered ? LazItem::Byte14 : LazItem::Byte))
            return bad("nieoczekiwane pola po rekordzie punktu");
    }
    if (coreSize(pointFormat) == 0 || recordLength < coreSize(pointFormat)) return bad("za krotki rekord punktu");

    for (const auto& it : v.items) {
        if (it.type == LazItem::WavePacket13 || it.type == LazItem::WavePacket14)
            return bad("punkty z falami (wavepacket) nie sa obslugiwane");
        if (layered) {
            if (it.version != 3 && it.version != 4)
                return bad(platform::cformat("wersja pola %u", static_cast<unsigned>(it.version)));
        } else if (it.version != 1 && it.version != 2) {
            return bad(platform::cformat("wersja pola %u (obslugiwane sa 1 i 2)", static_cast<unsigned>(it.version)));
        }
    }
    if (layered && v.compressor != 3) return bad("punkty LAS 1.4 wymagaja kompresji warstwowej (3)");
    if (!layered && v.compressor == 3) return bad("kompresja warstwowa dla starego formatu punktu");
    if (v.compressor == 2 && v.chunkSize == 0) return bad("rozmiar chunku 0");
    out = std::move(v);
    return LasStatus::success();
}

std::string encodeLazVlr(const LazVlr& vlr) {
    std::string out;
    platform::appendLittleEndian<std::uint16_t>(out, vlr.compressor);
    platform::appendLittleEndian<std::uint16_t>(out, vlr.coder);
    platform::appendLittleEndian<std::uint8_t>(out, vlr.versionMajor);
    platform::appendLittleEndian<std::uint8_t>(out, vlr.versionMinor);
    platform::appendLittleEndian<std::uint16_t>(out, vlr.versionRevision);
    platform::appendLittleEndian<std::uint32_t>(out, vlr.options);
    platform::appendLittleEndian<std::uint32_t>(out, vlr.chunkSize);
    platform::appendLittleEndian<std::int64_t>(out, vlr.specialEvlrCount);
    platform::appendLittleEndian<std::int64_t>(out, vlr.specialEvlrOffset);
    platform::appendLittleEndian<std::uint16_t>(out, static_cast<std::uint16_t>(vlr.items.size()));
    for (const auto& it : vlr.items) {
        platform::appendLittleEndian<std::uint16_t>(out, it.type);
        platform::appendLittleEndian<std::uint16_t>(out, it.size);
        platform::appendLittleEndian<std::uint16_t>(out, it.version);
    }
    return out;
}

bool lazVlrForFormat(std::uint8_t pointFormat, std::uint16_t recordLength, std::uint32_t chunkSize, LazVlr& out) {
    LazVlr v;
    v.chunkSize = chunkSize;
    const std::uint16_t core = coreSize(pointFormat);
    if (core == 0 || recordLength < core || recordLength - core > kMaxExtraBytes) return false;
    switch (pointFormat) {
        case 0: v.items = {{LazItem::Point10, 20, 2}}; break;
        case 1: v.items = {{LazItem::Point10, 20, 2}, {LazItem::GpsTime11, 8, 2}}; break;
        case 2: v.items = {{LazItem::Point10, 20, 2}, {LazItem::Rgb12, 6, 2}}; break;
        case 3: v.items = {{LazItem::Point10, 20, 2}, {LazItem::GpsTime11, 8, 2}, {LazItem::Rgb12, 6, 2}}; break;
        case 6: v.items = {{LazItem::Point14, 30, 3}}; break;
        case 7: v.items = {{LazItem::Point14, 30, 3}, {LazItem::Rgb14, 6, 3}}; break;
        case 8: v.items = {{LazItem::Point14, 30, 3}, {LazItem::RgbNir14, 8, 3}}; break;
        default: return false;
    }
    const bool layered = pointFormat >= 6;
    v.compressor = layered ? 3 : 2;
    if (recordLength > core)
        v.items.push_back({layered ? LazItem::Byte14 : LazItem::Byte, static_cast<std::uint16_t>(recordLength - core),
                           static_cast<std::uint16_t>(layered ? 3 : 2)});
    out = std::move(v);
    return true;
}

}  // namespace las::detail
