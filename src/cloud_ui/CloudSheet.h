// A LiDAR sheet on disk and the grid its coordinates are in.
#pragma once
#include <filesystem>

namespace cloudui {

struct CloudSheet {
    std::filesystem::path path;
    int epsg = 0;  // 2176..2179 for a PL-2000 zone; 2180 or 0 for PL-1992
};

}  // namespace cloudui
