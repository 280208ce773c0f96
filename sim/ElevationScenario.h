// Elevation data for the simulator: tile indexes of the elevation model, the surface model and LiDAR with one
// feature type per year, and the sheets they list, over a few sites of plausible terrain in PL-1992.
#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "FeatureStore.h"
#include "Scenario.h"
#include "geodesy/Bbox.h"
#include "geodesy/PlanarPoint.h"

namespace sim {

namespace elevation {

// One site: a PL-1992 centre and what the indexes hold there.
struct Site {
    const char* name;
    double e;  // PL-1992 centre
    double n;
};

// Two hills under two overlapping 2025 sheets (the western one with a nodata hole inside the overlap);
// surface model of 2025 and LiDAR sheets of 2024 (PL-1992 LAZ) with members of every `uklad_xy` kind.
extern const Site kHills;
// A valley running north-south, covered only by 2019 sheets; that year's answer also holds members whose
// address is empty or not http, and an emblem written across lines. LiDAR only of 2019.
extern const Site kValley;
// Flat ground at exactly 250 m (2022).
extern const Site kFlat;
// A 2022 sheet whose every value is nodata.
extern const Site kNodata;
// Two 2022 sheets that cannot be read: one answers 404, the other is not a grid.
extern const Site kBroken;
// 25 small sheets of 2022 in a 5 x 5 block of 100 m (more than one index answer returns).
extern const Site kMosaic;
// No index covers it.
extern const Site kUncovered;

// Heights of the sites' terrain (metres), the same the sheets hold at cell centres.
double hillsHeight(double e, double n);
double valleyHeight(double e, double n);
inline constexpr double kFlatHeight = 250.0;
// Cell size of every generated sheet, metres.
inline constexpr double kSheetCell = 2.0;
// Half the extent of the area the hills sheets cover together (a 1100 m square around the centre).
inline constexpr double kHillsHalfExtent = 550.0;
// Centre and radius of the nodata hole of the western hills sheet (offsets from the centre).
inline constexpr double kHoleDe = 50.0, kHoleDn = -50.0, kHoleRadius = 40.0;
// LiDAR points per generated sheet.
inline constexpr int kLidarPoints = 4000;

// A frame of the given size around a site (PL-1992).
geodesy::Bbox frameAround(const Site& site, double width, double height);
// Download address of a named sheet on the open-data host.
std::string sheetUrl(const std::string& product, const std::string& name);

}  // namespace elevation

// Height at a cell centre, or nothing for a nodata cell.
using HeightAt = std::function<std::optional<double>(double e, double n)>;
// An ESRI ASCII grid over the box with cells of `cell` metres; the first row written is the northernmost.
std::string asciiGrid(const geodesy::Bbox& box, const HeightAt& height, double cell = elevation::kSheetCell);

// Building blocks shared by the scenario's files: an index service that serves only its store's feature types
// (others fall through to earlier routes), a sheet generated on its first download, and the LiDAR data.
void addIndexService(Scenario& scenario, const std::string& serviceUrl, std::shared_ptr<FeatureStore> store);
void addLazySheet(Scenario& scenario, const std::string& url, std::function<std::string()> make);
void addLidarServices(Scenario& scenario);

// The index services and sheets above, answering only for their own years (other years fall through to the
// routes added before, e.g. the demo town's 2023 sheets).
void addElevationServices(Scenario& scenario);
// The demo scenario plus the elevation data.
void buildElevationScenario(Scenario& scenario);

}  // namespace sim
