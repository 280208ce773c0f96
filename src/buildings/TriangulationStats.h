// Counters of how the morph maker made its faces, for the LOD2 diagnostics.
#pragma once
#include <array>
#include <cstdint>

namespace buildings {

// Indices into TriangulationStats::counts.
enum TriangulationCounter : int {
    kFacesSeen = 0,
    kPlanarConvex = 1,       // made as one polygon
    kPlanarConcave = 2,      // triangulated
    kNonPlanar = 3,          // triangulated
    kEarClipped = 4,         // ear clipping gave triangles
    kFanFallback = 5,        // ear clipping gave nothing, a fan was used
    kQuasiFan = 6,           // ear clipping gave a quasi-fan
    kQuasiFanAfterFlip = 7,  // faces of 7 or more vertices still a quasi-fan after edge flipping
    kWorstFan = 8,           // largest vertex count of a fan fallback
    kWorstQuasiFan = 9,      // largest vertex count of a face counted as a quasi-fan
};

struct TriangulationStats {
    std::array<std::int32_t, 10> counts{};
};

}  // namespace buildings
