// LiDAR sheets as the services hand them out: LAZ files written by the project's own writer.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct LazSheetPoint {
    double x = 0, y = 0, z = 0;
    std::uint8_t cls = 0;
    std::uint8_t red = 0, green = 0, blue = 0;  // written only in coloured sheets
};

struct LazSheetFormat {
    bool coloured = false;        // point format 2 (with RGB) instead of 0
    std::uint16_t intensity = 0;  // the same for every point
    std::uint32_t chunkPoints = 1000;
};

// The bytes of a LAZ sheet (centimetre scale, every point return 1 of 1); empty when it cannot be written.
std::string lazSheetBytes(const std::vector<LazSheetPoint>& points, const LazSheetFormat& format);

}  // namespace sim
