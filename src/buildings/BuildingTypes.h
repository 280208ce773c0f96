// Records of buildings and structures that a fetch produces and placement builds.
// They carry what the import keeps between fetch and place; the modelling code that fills
// them grows in this folder.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "geodesy/PlanarPoint.h"
#include "geodesy/SpatialPoint.h"

namespace buildings {

// One LOD1 block from the county building models.
struct Building3D {
    std::string id;                               // gml:id, empty when absent
    std::vector<geodesy::PlanarPoint> footprint;  // as read
    double groundZ = 0.0;                         // lowest ring height, metres above sea level
    double height = 0.0;                          // metres, > 0
    // The footprint's interior rings (courtyards), as read.
    std::vector<std::vector<geodesy::PlanarPoint>> holes;
};

// The footprint as the roof and surface-model fitting take it: without the closing point that repeats the first
// (package rings are closed, and a closed rectangle would count as five corners).
inline std::vector<geodesy::PlanarPoint> openFootprint(const Building3D& b) {
    std::vector<geodesy::PlanarPoint> ring = b.footprint;
    if (ring.size() > 3 && ring.front().x == ring.back().x && ring.front().y == ring.back().y) ring.pop_back();
    return ring;
}

// One ring of an LOD2 surface: planar points and the heights of its vertices.
struct Lod2Ring {
    std::vector<geodesy::PlanarPoint> ring;
    std::vector<double> z;
};

// One surface of an LOD2 building: its exterior ring with heights, and its interior rings (holes).
struct Lod2Surface {
    std::vector<geodesy::PlanarPoint> ring;
    std::vector<double> z;
    std::vector<Lod2Ring> holes;
};

// One LOD2 building from the county building models, its parts together.
struct BuildingLod2 {
    std::string id;                     // gml:id, empty when absent
    std::vector<Lod2Surface> surfaces;  // one per exterior ring, in document order
    std::int32_t roofType = 0;          // "roofType" child, 0 when absent
};

// A roof (or whole LOD2 building) fitted to LiDAR points over a known footprint.
struct RoofFitResult {
    std::string typeName;
    std::vector<geodesy::SpatialPoint> vertices;
    std::vector<std::vector<std::int32_t>> faces;  // vertex indices per face
    bool fallback = true;
    double meanError = 0.0;
    double confidence = 0.0;
    double coverage = 0.0;       // roofs from the cloud: share of the footprint's cells holding a roof point
    double rmsError = 0.0;       // reconstruction: root mean square of the points' heights against the roof
    bool withoutPoints = false;  // no cloud point near the footprint: stood on the terrain model or the package
};

// A building, bridge or road raised from the surface models: faces with 3D vertices.
struct StructureResult {
    std::vector<std::vector<geodesy::SpatialPoint>> polygons;
    bool fallback = false;
    double ratio = 0.0;  // share of raised samples
};

}  // namespace buildings
