// The public header block of a LAS file (LAS 1.0 to 1.4) as plain values.
#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace las {

struct LasHeader {
    std::uint8_t versionMajor = 1;
    std::uint8_t versionMinor = 2;
    // Point data record format 0..10, with the compression flag bits already removed.
    std::uint8_t pointFormat = 0;
    // Bytes of one raw point record (the core format plus any extra bytes).
    std::uint16_t pointRecordLength = 20;
    // Number of point records: the LAS 1.4 64-bit count when present and non-zero, else the legacy 32-bit one.
    std::uint64_t pointCount = 0;
    // Points by return number 1..15 (legacy five fields widened, or the LAS 1.4 fifteen).
    std::array<std::uint64_t, 15> pointsByReturn{};

    double scaleX = 0.01, scaleY = 0.01, scaleZ = 0.01;
    double offsetX = 0, offsetY = 0, offsetZ = 0;
    double minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;

    std::uint16_t fileSourceId = 0;
    std::uint16_t globalEncoding = 0;
    std::array<std::uint8_t, 16> projectGuid{};
    std::string systemIdentifier;    // up to 32 characters
    std::string generatingSoftware;  // up to 32 characters
    std::uint16_t creationDay = 0;
    std::uint16_t creationYear = 0;

    std::uint16_t headerSize = 227;
    std::uint32_t offsetToPointData = 227;
    std::uint32_t vlrCount = 0;
    std::uint64_t evlrOffset = 0;
    std::uint32_t evlrCount = 0;

    // True when the points are LASzip-compressed (LAZ).
    bool compressed = false;
    // LASzip compressor: 0 none, 1 pointwise, 2 pointwise chunked, 3 layered chunked.
    std::uint16_t lazCompressor = 0;
    // Points per chunk; 0xFFFFFFFF means variable chunks (sizes in the chunk table).
    std::uint32_t lazChunkSize = 0;
};

}  // namespace las
