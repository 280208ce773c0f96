// What became of one LiDAR sheet read for its points.
#pragma once
#include <cstdint>
#include <string>

namespace lidar {

struct SheetRead {
    bool usable = false;               // opened, records of at least 20 bytes, at least one point
    bool complete = false;             // every point the header announces was read
    bool cancelled = false;            // the progress function asked to stop
    std::string error;                 // why it was unusable or ended early
    std::uint64_t pointsInHeader = 0;  // the count the sheet announces
    std::uint64_t pointsRead = 0;      // points decoded (a damaged LAZ chunk gives none of its points)
    std::uint64_t pointsInFrame = 0;   // of those, the ones handed on
    std::uint64_t groundRead = 0;      // ground points (class 2) read, inside the frame or not
};

}  // namespace lidar
