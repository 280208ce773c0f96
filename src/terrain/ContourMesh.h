// One host mesh spanning a frame with every contour as a level line.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "host/Host.h"
#include "terrain/ContourLine.h"
#include "terrain/PlanarMap.h"

namespace terrain {

// Contours shorter than this are left out of the mesh.
inline constexpr double kContourMeshMinLength = 1.0;
// The byte setting of contour meshes (the other two raw settings are the terrain mesh's).
inline constexpr std::uint8_t kContourMeshByteSetting = 2;

// What the mesh maker did, for the caller's counts.
struct ContourMeshResult {
    host::HostError error = host::kHostOk;
    bool created = false;  // false when there was too little to make a mesh
    int keptLines = 0;
    int rejectedStubs = 0;  // lines under kContourMeshMinLength or of fewer than 2 points
};

// The frame's corners (working-zone metres, order (min x, min y), (max x, min y), (max x, max y),
// (min x, max y)) make the outline at the heights of the nearest contour vertices; each contour of at
// least 1 m is a level line at its level. Heights are reduced by zOffset. Appends a diagnostics line.
ContourMeshResult createContourMesh(const std::vector<ContourLine>& contours, const PlanarMap& map, double zOffset,
                                    std::int32_t layer, const std::array<host::HostPoint2, 4>& frameCorners);

}  // namespace terrain
