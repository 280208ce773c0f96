// Structures for the simulator: a site with buildings of known roof shape, a bridge over a small valley and
// roads; its terrain model, surface model and LiDAR sheet agree with those buildings, the county's LOD1 package
// holds their footprints, and an Overpass service answers the bridge and road ways.
#pragma once
#include <vector>

#include "RoofShapes.h"
#include "Scenario.h"
#include "geodesy/Bbox.h"

namespace sim {

namespace structures {

// The site's centre (PL-1992) and the frame that holds all of it.
inline constexpr double kCentreE = 560000.0, kCentreN = 420000.0;
geodesy::Bbox siteFrame();
// Terrain height (NMT) and the height of the bridge deck.
double groundHeight(double e, double n);
inline constexpr double kDeckHeight = 181.0;
// The buildings standing on the site (20, every shape four times).
const std::vector<roofs::KnownBuilding>& siteBuildings();
// The ways the Overpass service knows, as (PL-1992 points, tags).
struct Way {
    long long id;
    std::vector<geodesy::PlanarPoint> points;
    std::vector<std::pair<const char*, const char*>> tags;
};
const std::vector<Way>& siteWays();

}  // namespace structures

// The site's NMT, NMPT and LiDAR indexes (year 2021) and sheets, the Overpass interpreter, the site as a
// municipality of the demo county and that county's LOD1 package holding the site's buildings too.
void addStructureServices(Scenario& scenario);
// The elevation scenario plus the structures site.
void buildStructuresScenario(Scenario& scenario);

}  // namespace sim
