// Writes small uncompressed LAS files for the cloud tests, byte by byte, independent of the project's codec.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "geodesy/Crs.h"
#include "support/TestSupport.h"

namespace lastest {

struct Point {
    double x = 0, y = 0, z = 0;
    std::uint16_t intensity = 0;
    std::uint8_t classification = 0;
    std::uint16_t red = 0, green = 0, blue = 0;
};

struct Options {
    int format = 3;
    double scale = 0.001;
    double offsetX = 0, offsetY = 0, offsetZ = 0;
    int extraBytes = 0;  // appended to every record
    long cutAfter = -1;  // keep only this many bytes of the file (a damaged download)
};

inline int coreLength(int format) {
    static const int lengths[] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
    return lengths[format];
}

template <typename T>
void put(std::string& s, std::size_t at, T v) {
    std::memcpy(&s[at], &v, sizeof v);  // the test machines are little-endian, as LAS is
}

inline std::string lasBytes(const std::vector<Point>& pts, const Options& o) {
    const bool v14 = o.format >= 6;
    const std::size_t headerSize = v14 ? 375 : 227;
    const int recordLength = coreLength(o.format) + o.extraBytes;
    std::string s(headerSize, '\0');
    std::memcpy(&s[0], "LASF", 4);
    s[24] = 1;
    s[25] = v14 ? 4 : 2;
    std::memcpy(&s[26], "geodraft tests", 14);
    put<std::uint16_t>(s, 94, static_cast<std::uint16_t>(headerSize));
    put<std::uint32_t>(s, 96, static_cast<std::uint32_t>(headerSize));
    s[104] = static_cast<char>(o.format);
    put<std::uint16_t>(s, 105, static_cast<std::uint16_t>(recordLength));
    put<std::uint32_t>(s, 107, v14 ? 0u : static_cast<std::uint32_t>(pts.size()));
    put<double>(s, 131, o.scale);
    put<double>(s, 139, o.scale);
    put<double>(s, 147, o.scale);
    put<double>(s, 155, o.offsetX);
    put<double>(s, 163, o.offsetY);
    put<double>(s, 171, o.offsetZ);
    double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300, minZ = 1e300, maxZ = -1e300;
    for (const Point& p : pts) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        minZ = std::min(minZ, p.z), maxZ = std::max(maxZ, p.z);
    }
    if (pts.empty()) minX = maxX = minY = maxY = minZ = maxZ = 0;
    put<double>(s, 179, maxX);
    put<double>(s, 187, minX);
    put<double>(s, 195, maxY);
    put<double>(s, 203, minY);
    put<double>(s, 211, maxZ);
    put<double>(s, 219, minZ);
    if (v14) put<std::uint64_t>(s, 247, pts.size());
    for (const Point& p : pts) {
        std::string r(static_cast<std::size_t>(recordLength), '\0');
        put<std::int32_t>(r, 0, static_cast<std::int32_t>(std::llround((p.x - o.offsetX) / o.scale)));
        put<std::int32_t>(r, 4, static_cast<std::int32_t>(std::llround((p.y - o.offsetY) / o.scale)));
        put<std::int32_t>(r, 8, static_cast<std::int32_t>(std::llround((p.z - o.offsetZ) / o.scale)));
        put<std::uint16_t>(r, 12, p.intensity);
        if (o.format < 6) {
            r[14] = 0x09;  // return 1 of 1
            r[15] = static_cast<char>(p.classification);
        } else {
            r[14] = 0x11;
            r[16] = static_cast<char>(p.classification);
        }
        int rgb = -1;
        if (o.format == 2) rgb = 20;
        if (o.format == 3 || o.format == 5) rgb = 28;
        if (o.format == 7 || o.format == 8) rgb = 30;
        if (rgb >= 0) {
            put<std::uint16_t>(r, static_cast<std::size_t>(rgb), p.red);
            put<std::uint16_t>(r, static_cast<std::size_t>(rgb + 2), p.green);
            put<std::uint16_t>(r, static_cast<std::size_t>(rgb + 4), p.blue);
        }
        s += r;
    }
    if (o.cutAfter >= 0 && static_cast<std::size_t>(o.cutAfter) < s.size())
        s.resize(static_cast<std::size_t>(o.cutAfter));
    return s;
}

template <typename T>
T get(const std::string& s, std::size_t at) {
    T v;
    std::memcpy(&v, &s[at], sizeof v);
    return v;
}

// The zone origin of a PL-1992 frame: the smallest easting and northing of its four mapped corners.
inline geodesy::PlanarPoint zoneOrigin(const geodesy::Bbox& b, int zone) {
    geodesy::PlanarPoint o{1e300, 1e300};
    for (geodesy::PlanarPoint c : {geodesy::PlanarPoint{b.minE, b.minN}, geodesy::PlanarPoint{b.maxE, b.minN},
                                   geodesy::PlanarPoint{b.minE, b.maxN}, geodesy::PlanarPoint{b.maxE, b.maxN}}) {
        const geodesy::PlanarPoint z = geodesy::pl1992ToPl2000(c, zone);
        o = {std::min(o.x, z.x), std::min(o.y, z.y)};
    }
    return o;
}

inline void writeLas(const std::filesystem::path& path, const std::vector<Point>& pts, const Options& o = {}) {
    testsupport::writeFile(path, lasBytes(pts, o));
}

}  // namespace lastest
