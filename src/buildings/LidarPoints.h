// Reading the points of a LiDAR sheet (LAS or LAZ) that fall inside a frame.
#pragma once
#include <filesystem>
#include <vector>

#include "formats/CloudPoint.h"
#include "geodesy/Bbox.h"

namespace buildings {

// Appends the sheet's points inside the frame (edges included) with their heights and LAS classes; false when the
// sheet cannot be opened. A sheet damaged part-way keeps the points read before the damage.
bool readLidarPoints(const std::filesystem::path& path, const geodesy::Bbox& frame,
                     std::vector<formats::CloudPoint>& points);

}  // namespace buildings
