// LiDAR places for the point-cloud palette and the terrain from LiDAR: sheets as LAZ written by the project's own
// writer (ground, buildings, vegetation and water classes), in PL-1992 and in a PL-2000 zone, listed by the LiDAR
// tile index with their densities.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "FaultPlan.h"
#include "Scenario.h"
#include "geodesy/Bbox.h"

namespace sim {

namespace cloud {

// LAS classes the sheets carry.
inline constexpr std::uint8_t kGround = 2, kVegetation = 5, kBuilding = 6, kWater = 9;

// One generated point in the sheet's own system.
struct LidarPoint {
    double x, y, z;
    std::uint8_t cls;
    std::uint8_t red, green, blue;
};

// One sheet: its outline in PL-1992, the system it is written in, its density and where it is served.
struct LidarSheet {
    std::string emblem;
    geodesy::Bbox outline1992;
    int epsg = 2180;  // 2180, or the PL-2000 zone its coordinates are in
    double density = 0.0;
    std::string url;
};

// A block of 2 x 2 sheets of 100 m near Radom (zone 7), the north-eastern one in PL-2000 zone 7: gently sloping
// ground with a block of buildings, a stand of trees and a pond whose surface lies at kPondLevel.
extern const geodesy::Bbox kRadomBlock;
inline constexpr double kPondLevel = 150.5;
// The pond: centre offset from the block's centre and radius (metres).
inline constexpr double kPondDe = -30.0, kPondDn = -30.0, kPondRadius = 15.0;
// Five sheets of 100 m in a row near Siedlce (for long downloads).
extern const geodesy::Bbox kSiedlceRow;
// A coast near Hel: land in the west, a strip of water returns, then open sea without any return.
extern const geodesy::Bbox kHelCoast;
inline constexpr double kSeaLevel = 0.2;
// Eastings (PL-1992) where the land ends and where the water returns end.
double helShoreE();
double helOpenSeaE();

// Ground height of the places (metres above sea level) at a PL-1992 position.
double radomGround(double e, double n);
double helGround(double e, double n);

// Every sheet of the scenario, in index order within each place.
const std::vector<LidarSheet>& lidarSheets();
// The points of a sheet, in file order, in the sheet's own system (the same the served file holds, to 1 cm).
std::vector<LidarPoint> sheetPoints(const LidarSheet& sheet);
// The served LAZ bytes of a list of points (point format 2, centimetre scale).
std::string lazOf(const std::vector<LidarPoint>& points);

// The ways a sheet comes broken, for the fault tests: "404" (every attempt), "cut" (the body ends at 60 % of the
// file, announced as whole), "damaged chunk" (64 bytes scrambled half-way); each on the sheet's own address.
struct SheetFault {
    const char* name;
    Fault fault;
};
std::vector<SheetFault> sheetFaults(const LidarSheet& sheet);

}  // namespace cloud

// The LiDAR index and sheets above (feature type of 2025); other years fall through to earlier routes.
void addCloudServices(Scenario& scenario);
// The elevation scenario plus the LiDAR places.
void buildCloudScenario(Scenario& scenario);

}  // namespace sim
