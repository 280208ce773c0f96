// County packages of CityGML building models on the open-data portal: LOD1 blocks and LOD2 models whose
// footprints are the buildings of the demo county's land register, in sheets built like the published ones.
#pragma once
#include <string>
#include <vector>

#include "Scenario.h"
#include "geodesy/PlanarPoint.h"
#include "geodesy/SpatialPoint.h"

namespace sim {

// One surface of an LOD2 building: its kind ("GroundSurface", "WallSurface", "RoofSurface") and planar ring.
struct PackageSurface {
    const char* kind;
    std::vector<geodesy::SpatialPoint> ring;  // first point not repeated
};

// One building of a package: its footprint box, ground height and height to the eaves (roof above them).
struct PackageBuilding {
    std::string id;  // gml:id
    double minE = 0, minN = 0, maxE = 0, maxN = 0;
    double ground = 0;
    double height = 0;
    bool flatRoof = false;  // LOD2: a flat roof instead of a gable roof
    // LOD1 only: this outline (counter-clockwise, first point not repeated) instead of the box, which then
    // holds the outline's extent, with an inner yard (clockwise) when not empty.
    std::vector<geodesy::PlanarPoint> footprint;
    std::vector<geodesy::PlanarPoint> courtyard;
    // LOD2 only: these surfaces instead of the box's, with the roof type code they make.
    std::vector<PackageSurface> surfaces;
    int roofType = 0;
};

namespace packages {

// A building of a package over a footprint (counter-clockwise, first point not repeated), its box the footprint's.
PackageBuilding overFootprint(std::string id, std::vector<geodesy::PlanarPoint> footprint, double ground,
                              double height);

// The demo county's code and the year of its LOD1 package (the newer years are missing).
inline constexpr const char* kDemoCounty = "0614";
inline constexpr int kDemoLod1Year = 2022;
// Edge of one sheet in metres; the demo town falls into several sheets, one more lies far away.
inline constexpr double kSheetSize = 300.0;

// The buildings of the demo county's packages: LOD1 has every building of the town's land register and one far
// away, LOD2 those of the town's western half and the far one (with identifiers that differ from LOD1's only in
// letter case).
std::vector<PackageBuilding> demoBuildings(bool lod2);
// One CityGML sheet of the buildings with its envelope.
std::string sheetText(const std::vector<PackageBuilding>& buildings, bool lod2);
// A zip package: the buildings in square sheets of kSheetSize metres, entries named after the sheets' corners.
std::string packageBytes(const std::vector<PackageBuilding>& buildings, bool lod2, const std::string& county);

}  // namespace packages

// The demo county's LOD1 and LOD2 packages at the open-data portal's addresses (built on first download).
void addBuildingPackages(Scenario& scenario);
// The demo county's LOD1 package with the buildings `make` gives (built on first download), in place of the
// demo's when added after it.
void addLod1Package(Scenario& scenario, std::vector<PackageBuilding> (*make)());

}  // namespace sim
