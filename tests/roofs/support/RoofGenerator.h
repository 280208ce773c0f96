// Buildings of known roof shape and the airborne returns a survey records over them, written for the roof tests
// apart from the simulator's shapes: twelve roof kinds over rotated, near-square, five-cornered, L- and T-shaped
// footprints, with trees over the roofs, chimneys, stray returns (birds, noise classes) and height noise. Each
// building answers its true roof height anywhere inside its footprint, so a built roof can be measured against
// the truth as well as against its points.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "geodesy/PlanarPoint.h"
#include "geodesy/SpatialPoint.h"

namespace roofgen {

enum class Roof {
    Flat,
    Shed,
    Gabled,
    Hipped,
    HalfHipped,
    Mansard,
    Pyramid,
    AsymGabled,
    GabledDormer,
    Barrel,
    Dome,
    Cone
};
// Rectangle: turned by any angle, ridge along the longer side. NearSquare: the ridge runs along the shorter side
// (a cross gable), or the square of a pyramid, dome or cone. FiveCorners: a rectangle whose register outline has
// one more corner in the middle of a long wall. LShape and TShape: a wing on the body, roofed alike.
enum class Plan { Rectangle, NearSquare, FiveCorners, LShape, TShape };

// Whether (x, y) lies inside a ring (even-odd rule; the ring need not be closed).
bool insideRing(const std::vector<geodesy::PlanarPoint>& ring, double x, double y);

const char* roofName(Roof roof);
const char* planName(Plan plan);

struct Building {
    Roof roof = Roof::Gabled;
    Plan plan = Plan::Rectangle;
    double cx = 0.0, cy = 0.0;  // centre of the main body
    double angle = 0.0;         // radians, of the ridge axis (u) from east
    double halfU = 7.0;         // half extents of the main body along and across the ridge
    double halfV = 5.0;
    double wingHalf = 0.0;    // L and T: half width of the wing
    double wingLength = 0.0;  // L and T: how far the wing reaches beyond the body
    double groundZ = 180.0, eaveZ = 185.0, ridgeZ = 189.0;
    bool tree = false;                            // a tree whose crown hangs over a corner of the roof
    bool chimney = false;                         // a chimney on the roof
    std::vector<geodesy::PlanarPoint> footprint;  // counter-clockwise, first corner not repeated

    std::string label() const;
    // The type a reconstruction should name ("Flat", "Shed", "Gabled", "Hipped", "AsymGabled"), or "" for a roof
    // that none of those describes (the rest of the kinds, gabled wings).
    std::string expectedType() const;
    bool contains(double x, double y) const;
    // The true roof height (no chimney) at a position inside the footprint.
    double roofZ(double x, double y) const;
};

struct SurveyPoint {
    double x = 0.0, y = 0.0, z = 0.0;
    std::uint8_t cls = 1;  // 1 unclassified, 2 ground, 5 high vegetation, 6 building, 7 low noise, 18 high noise
};

struct SurveyOptions {
    double density = 8.0;   // returns per square metre
    double noise = 0.05;    // height noise, metres (standard deviation)
    double dropout = 0.05;  // share of returns lost
    double margin = 6.0;    // ground around each building, metres
    std::uint32_t seed = 20261207;
};

// Every roof kind over every plan that suits it, plus trees and chimneys, in rows of ten 50 m apart from (e, n);
// sizes, angles and heights drawn from the seed.
std::vector<Building> generateBuildings(double e, double n, std::uint32_t seed = 7);
// The returns over and around the buildings, deterministic for the seed.
std::vector<SurveyPoint> survey(const std::vector<Building>& buildings, const SurveyOptions& options = {});

// How far a built solid misses the true roof: root mean square of the built minus the true height on a 0.5 m
// lattice inside the footprint, the built height being the highest face over the position (a position no face
// covers counts at the solid's lowest vertex).
double truthRms(const Building& building, const std::vector<geodesy::SpatialPoint>& vertices,
                const std::vector<std::vector<std::int32_t>>& faces);

}  // namespace roofgen
