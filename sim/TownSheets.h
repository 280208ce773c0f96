// The demo town's elevation model, surface model and LiDAR sheets with their tile indexes (year 2023), made on
// first download from the town's description.
#pragma once
#include <vector>

#include "LazSheet.h"
#include "Scenario.h"
#include "Town.h"
#include "geodesy/Bbox.h"

namespace sim {

namespace town {

// Edges of the sheets (metres) and the LiDAR density (points per square metre).
inline constexpr double kModelSheet = 500.0, kModelCell = 1.0;
inline constexpr double kLidarSheet = 250.0, kLidarDensity = 4.0;

// The outlines of the town's model and LiDAR sheets (PL-1992), row by row from the south-west.
std::vector<geodesy::Bbox> modelSheets(const Town& t);
std::vector<geodesy::Bbox> lidarSheets(const Town& t);
// The points of a LiDAR sheet in file order: first returns of roofs, crowns, water, the bridge deck and ground,
// and ground under the crowns, coloured from the orthophoto.
std::vector<LazSheetPoint> lidarPoints(const Town& t, const geodesy::Bbox& sheet);

}  // namespace town

void addTownSheets(Scenario& scenario, const town::Town& t);

}  // namespace sim
