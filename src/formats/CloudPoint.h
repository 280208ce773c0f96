// One coloured point of a cloud, as the E57 writer takes it and the sheet reader yields it.
#pragma once
#include <cstdint>

namespace formats {

struct CloudPoint {
    double x = 0.0;  // easting, metres
    double y = 0.0;  // northing, metres
    double z = 0.0;  // height, metres
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t classification = 0;  // LAS class byte; never written to E57
};

}  // namespace formats
