// Buildings of known roof shape and the airborne points a survey would record over them: roof returns with
// height noise, ground around, dropouts and a gap where a sheet has no returns (e.g. a dark roof or a skylight).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "geodesy/PlanarPoint.h"

namespace sim {

namespace roofs {

enum class Shape { Flat, Shed, Gabled, Hipped, AsymGabled };

// The type name a reconstruction should give for the shape.
const char* shapeName(Shape shape);

struct KnownBuilding {
    Shape shape = Shape::Gabled;
    double e = 0.0, n = 0.0;  // PL-1992 centre
    double length = 14.0;     // along the ridge (the longest edge)
    double width = 9.0;
    double angle = 0.0;  // radians, of the length axis from east
    double groundZ = 200.0;
    double eaveZ = 206.0;  // above sea level
    double ridgeZ = 210.0;
    bool mirrored = false;  // Shed and AsymGabled lean the other way
    int firstCorner = 0;    // footprint listed from this corner (0..3), as registers list them
    // Footprint as a register holds it: four corners, counter-clockwise, first not repeated.
    std::vector<geodesy::PlanarPoint> footprint() const;
    // Roof height over a planar position inside the footprint.
    double roofHeight(double x, double y) const;
    bool contains(double x, double y) const;
};

struct SurveyPoint {
    double x, y, z;
    std::uint8_t cls;  // 2 ground, 6 building
};

struct SurveySettings {
    double density = 15.0;  // points per square metre
    double noise = 0.05;    // standard deviation of heights, metres
    double dropout = 0.1;   // share of returns lost at random
    double margin = 4.0;    // ground around each building, metres
    std::uint32_t seed = 1;
};

// Points over and around the buildings, deterministic for the seed. Ground heights come from `groundZ`.
std::vector<SurveyPoint> surveyPoints(const std::vector<KnownBuilding>& buildings, const SurveySettings& settings);

// A varied set of `count` buildings of all five shapes in a row of blocks starting at (e, n), each on flat
// ground at `groundZ`; sizes, angles, mirroring and the first listed corner vary with the index.
std::vector<KnownBuilding> knownBuildings(int count, double e, double n, double groundZ);

}  // namespace roofs

}  // namespace sim
