// Morphs built face by face from rings: LOD2 buildings, and the solids of the other morph-producing steps.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "buildings/TriangulationStats.h"
#include "geodesy/PlanarPoint.h"
#include "host/Host.h"

namespace buildings {

// One ring of a morph face: project coordinates and the parallel heights (already reduced by the Z offset).
struct MorphRing {
    std::vector<geodesy::PlanarPoint> points;
    std::vector<double> z;
};

// One face of a morph: its outline, and its holes (a face with holes is made of triangles around them).
struct MorphFace {
    std::vector<geodesy::PlanarPoint> points;
    std::vector<double> z;
    std::vector<MorphRing> holes;
};

// The answer for an empty face list.
inline constexpr host::HostError kMorphNoFaces = static_cast<host::HostError>(0x81060068u);

// One morph from the faces: welded vertices and shared edges when `weld` is on; a planar convex face becomes
// one polygon unless `triangulateAll`, every other face triangles. Faces are walked so that neighbours cross a
// shared edge in opposite directions and every shell faces outward, and a ring given twice (a wall between two
// parts) is left out. Every polygon carries `material`. The element's ID text becomes `id` when given and not
// empty. 0 or the host's error code.
host::HostError makeMorph(const std::vector<MorphFace>& faces, std::int32_t layer, bool triangulateAll, bool weld,
                          std::int32_t material, TriangulationStats* stats, const std::string* id);
// Three attempts with ever simpler bodies: (triangulate-all off, weld on), (on, on), (on, off); the last answer.
host::HostError makeMorphWithRetries(const std::vector<MorphFace>& faces, std::int32_t layer, std::int32_t material);

}  // namespace buildings
