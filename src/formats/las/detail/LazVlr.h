// The LASzip description record ("laszip encoded", 22204): how the points of a LAZ file are coded.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/las/LasStatus.h"

namespace las::detail {

// One field group of a point record as LASzip codes it.
struct LazItem {
    enum Type : std::uint16_t {
        Byte = 0,
        Point10 = 6,
        GpsTime11 = 7,
        Rgb12 = 8,
        WavePacket13 = 9,
        Point14 = 10,
        Rgb14 = 11,
        RgbNir14 = 12,
        WavePacket14 = 13,
        Byte14 = 14,
    };
    std::uint16_t type = 0;
    std::uint16_t size = 0;
    std::uint16_t version = 0;
};

struct LazVlr {
    static constexpr std::uint32_t kVariableChunkSize = 0xFFFFFFFFu;

    std::uint16_t compressor = 0;  // 1 pointwise, 2 pointwise chunked, 3 layered chunked
    std::uint16_t coder = 0;       // 0 arithmetic, the only one there is
    std::uint8_t versionMajor = 3;
    std::uint8_t versionMinor = 4;
    std::uint16_t versionRevision = 3;
    std::uint32_t options = 0;
    std::uint32_t chunkSize = 50000;
    std::int64_t specialEvlrCount = -1;
    std::int64_t specialEvlrOffset = -1;
    std::vector<LazItem> items;
};

// Parses the record's payload and checks it can be decoded for this point format and record length.
LasStatus parseLazVlr(const std::uint8_t* data, std::size_t size, std::uint8_t pointFormat, std::uint16_t recordLength,
                      LazVlr& out);
// The record's payload bytes.
std::string encodeLazVlr(const LazVlr& vlr);
// The description this project writes for a point format (0..3 pointwise, 6..8 layered) and record
// length; false when the format cannot be written compressed.
bool lazVlrForFormat(std::uint8_t pointFormat, std::uint16_t recordLength, std::uint32_t chunkSize, LazVlr& out);

}  // namespace las::detail
