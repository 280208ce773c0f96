// The outcome of one point-cloud export: the file, where its local origin lies and what it holds.
#pragma once
#include <cstddef>
#include <filesystem>
#include <string>

namespace cloudui {

struct CloudResult {
    bool ok = false;
    std::string message;            // the failure text for the user; empty on success
    std::filesystem::path path;     // the E57 file written
    double offE = 0.0, offN = 0.0;  // origin of the local coordinates in the zone
    int zone = 0;
    double minX = 0.0, maxX = 0.0, minY = 0.0, maxY = 0.0, minZ = 0.0, maxZ = 0.0;  // local bounds of the points
    std::size_t count = 0;
    std::size_t sheetsProcessed = 0;
    // Sheets skipped or read in part (lidar::SheetLosses::describe), for the user to see; empty when every
    // sheet came whole.
    std::string losses;
};

}  // namespace cloudui
