// Helpers of the LAS/LAZ tests: whole record streams, their hash, and random but lifelike points.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "formats/las/LasHeader.h"
#include "formats/las/LasReader.h"
#include "formats/las/LasWriter.h"
#include "formats/las/LazWriter.h"
#include "support/TestSupport.h"

namespace lastest {

struct Records {
    las::LasStatus openStatus;
    las::LasStatus readStatus;
    las::LasHeader header;
    std::vector<char> bytes;  // every record, back to back, in file order
    std::uint64_t count = 0;
};

inline Records readAll(const std::filesystem::path& path, unsigned threads = 1) {
    Records r;
    las::LasReader reader;
    r.openStatus = reader.open(path, las::LasReadOptions{threads});
    if (!r.openStatus) return r;
    r.header = reader.header();
    const std::size_t len = r.header.pointRecordLength;
    std::vector<char> batch(len * 1000);
    for (;;) {
        const std::uint64_t n = reader.readPoints(batch.data(), 1000);
        r.bytes.insert(r.bytes.end(), batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(n * len));
        r.count += n;
        if (n < 1000) break;
    }
    r.readStatus = reader.status();
    return r;
}

// A point format with the record length used for it.
struct Case {
    std::uint8_t format;
    std::uint16_t recordLength;
};

inline std::uint64_t fnv1a(const std::vector<char>& bytes) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (char c : bytes) {
        h ^= static_cast<std::uint8_t>(c);
        h *= 0x100000001b3ull;
    }
    return h;
}

inline las::LasHeader headerFor(std::uint8_t format, std::uint16_t recordLength) {
    las::LasHeader h;
    h.pointFormat = format;
    h.pointRecordLength = recordLength;
    h.versionMinor = format >= 6 ? 4 : 2;
    h.scaleX = h.scaleY = h.scaleZ = 0.01;
    h.offsetX = 639900.0;
    h.offsetY = 485100.0;
    h.offsetZ = 0.0;
    h.systemIdentifier = "Geodraft test";
    h.generatingSoftware = "Geodraft";
    return h;
}

inline std::filesystem::path writeLaz(const std::filesystem::path& path, const Case& c,
                                      const std::vector<char>& records, std::uint32_t chunkSize) {
    las::LazWriter writer;
    las::LasStatus st = writer.open(path, headerFor(c.format, c.recordLength), las::LazWriteOptions{chunkSize});
    EXPECT_TRUE(st) << st.message;
    st = writer.writePoints(records.data(), records.size() / c.recordLength);
    EXPECT_TRUE(st) << st.message;
    st = writer.close();
    EXPECT_TRUE(st) << st.message;
    return path;
}

inline std::filesystem::path writeLas(const std::filesystem::path& path, const Case& c,
                                      const std::vector<char>& records) {
    las::LasWriter writer;
    EXPECT_TRUE(writer.open(path, headerFor(c.format, c.recordLength)));
    EXPECT_TRUE(writer.writePoints(records.data(), records.size() / c.recordLength));
    EXPECT_TRUE(writer.close());
    return path;
}

// Points that behave like a scan: coordinates wander, returns come in pulses, GPS time grows with
// jumps and repeats, colours change slowly, sometimes several scanner channels take turns.
inline std::vector<char> lifelikeRecords(std::uint8_t format, std::uint16_t recordLength, std::size_t count,
                                         std::uint32_t seed, bool manyChannels = false) {
    std::mt19937 rng(seed);
    auto uni = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::vector<char> out(count * recordLength);
    std::int32_t x = 1000, y = 2000, z = 9000;
    double gps = 324567.123456;
    int returns = 1, ret = 1;
    std::uint16_t red = 30000, green = 31000, blue = 29000, nir = 1000;
    std::uint8_t channel = 0;
    for (std::size_t i = 0; i < count; ++i) {
        char* r = out.data() + i * recordLength;
        if (ret >= returns) {
            returns = uni(0, 9) < 7 ? 1 : uni(2, format >= 6 ? 9 : 5);
            ret = 1;
            gps += uni(0, 20) == 0 ? uni(-1000, 100000) * 1e-6 : 1.25e-5;
            if (uni(0, 5000) == 0) gps += 1e6;  // a flight line much later
        } else {
            ++ret;
        }
        if (manyChannels && uni(0, 10) == 0) channel = static_cast<std::uint8_t>(uni(0, 3));
        x += uni(-300, 300);
        y += uni(-300, 300);
        z += uni(-50, 50);
        if (uni(0, 1000) == 0) x = static_cast<std::int32_t>(rng());  // wild outliers
        const auto intensity = static_cast<std::uint16_t>(uni(0, 3) == 0 ? uni(0, 65535) : uni(100, 300));
        std::memcpy(r, &x, 4);
        std::memcpy(r + 4, &y, 4);
        std::memcpy(r + 8, &z, 4);
        std::memcpy(r + 12, &intensity, 2);
        const auto classification = static_cast<std::uint8_t>(uni(0, 3) == 0 ? uni(0, 31) : 2);
        const auto userData = static_cast<std::uint8_t>(uni(0, 7) == 0 ? uni(0, 255) : 0);
        const auto pointSource = static_cast<std::uint16_t>(uni(0, 100) == 0 ? uni(0, 65535) : 17);
        std::size_t coreEnd;
        if (format < 6) {
            r[14] =
                static_cast<char>((ret & 7) | ((returns & 7) << 3) | (uni(0, 1) << 6) | (uni(0, 50) == 0 ? 0x80 : 0));
            r[15] = static_cast<char>(classification);
            r[16] = static_cast<char>(static_cast<std::int8_t>(uni(-30, 30)));
            r[17] = static_cast<char>(userData);
            std::memcpy(r + 18, &pointSource, 2);
            coreEnd = 20;
            if (format == 1 || format == 3) {
                std::memcpy(r + 20, &gps, 8);
                coreEnd = 28;
            }
        } else {
            r[14] = static_cast<char>((ret & 15) | ((returns & 15) << 4));
            r[15] = static_cast<char>(uni(0, 20) == 0 ? uni(0, 15) : 0) | static_cast<char>(channel << 4) |
                    static_cast<char>(uni(0, 1) << 6);
            r[16] = static_cast<char>(uni(0, 20) == 0 ? uni(0, 255) : classification);
            r[17] = static_cast<char>(userData);
            const auto scanAngle = static_cast<std::int16_t>(uni(0, 3) == 0 ? uni(-30000, 30000) : 1200);
            std::memcpy(r + 18, &scanAngle, 2);
            std::memcpy(r + 20, &pointSource, 2);
            std::memcpy(r + 22, &gps, 8);
            coreEnd = 30;
        }
        const bool colour = format == 2 || format == 3 || format == 7 || format == 8;
        if (colour) {
            if (uni(0, 4) == 0) {
                red = static_cast<std::uint16_t>(red + uni(-2000, 2000));
                green = static_cast<std::uint16_t>(uni(0, 3) == 0 ? red : green + uni(-500, 500));
                blue = static_cast<std::uint16_t>(uni(0, 3) == 0 ? red : uni(0, 65535));
            }
            std::uint16_t rgb[3] = {red, green, blue};
            std::memcpy(r + coreEnd, rgb, 6);
            coreEnd += 6;
        }
        if (format == 8) {
            if (uni(0, 3) == 0) nir = static_cast<std::uint16_t>(uni(0, 65535));
            std::memcpy(r + coreEnd, &nir, 2);
            coreEnd += 2;
        }
        for (std::size_t b = coreEnd; b < recordLength; ++b)
            r[b] = static_cast<char>(b == coreEnd ? (i & 0xFF) : (uni(0, 4) == 0 ? uni(0, 255) : 7));
    }
    return out;
}

}  // namespace lastest
