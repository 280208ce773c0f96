#include "terrain/TerrainMesh.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "platform/Numbers.h"
#include "settings/Diagnostics.h"
#include "terrain/detail/MeshBounds.h"

namespace terrain {

using detail::diagnosticHeight;
using detail::MeshBounds;

host::HostError createTerrainMesh(const TerrainPatch& patch, const PlanarMap& map, double zOffset, std::int32_t layer,
                                  const std::array<host::HostPoint2, 4>& corners) {
    if (patch.points.empty()) return host::kHostOk;
    host::MeshElement mesh;
    if (host::HostError err = host::host().defaultMesh(mesh); err != host::kHostOk) return err;
    mesh.layer = layer;
    mesh.byteSetting = kTerrainMeshByteSetting;
    mesh.flagSetting = kTerrainMeshFlagSetting;
    mesh.wideSetting = kTerrainMeshWideSetting;

    // Each corner takes the height of the nearest patch point (the first of equally near ones).
    std::array<double, 4> cornerZ{};
    for (std::size_t k = 0; k < 4; ++k) {
        double best = std::numeric_limits<double>::infinity();
        for (const auto& p : patch.points) {
            const double dx = p.x - corners[k].x, dy = p.y - corners[k].y;
            const double d = dx * dx + dy * dy;
            if (d < best) {
                best = d;
                cornerZ[k] = p.z - zOffset;
            }
        }
    }
    MeshBounds ring, points;
    mesh.outline.clear();
    for (std::size_t k = 0; k < 5; ++k) {
        const host::HostPoint2 m = map(corners[k % 4].x, corners[k % 4].y);
        mesh.outline.push_back({m.x, m.y, cornerZ[k % 4]});
        ring.add(m.x, m.y, cornerZ[k % 4]);
    }
    mesh.levelLines.clear();
    mesh.levelLines.reserve(patch.points.size());
    for (const auto& p : patch.points) {
        const host::HostPoint2 m = map(p.x, p.y);
        mesh.levelLines.push_back({{m.x, m.y, p.z - zOffset}});
        points.add(m.x, m.y, p.z - zOffset);
    }
    host::ElementId id;
    const host::HostError err = host::host().createMesh(mesh, id);

    settings::appendDiagnosticLine(
        settings::kTerenDiagFile, "createMesh nPts=" + std::to_string(patch.points.size()) +
                                      " err=" + std::to_string(err) + " ptXY=" + points.planarText() +
                                      " ringXY=" + ring.planarText() + " ptZ=[" + diagnosticHeight(points.minZ) + ".." +
                                      diagnosticHeight(points.maxZ) + "] ringZ=[" + diagnosticHeight(cornerZ[0]) + "," +
                                      diagnosticHeight(cornerZ[1]) + "," + diagnosticHeight(cornerZ[2]) + "," +
                                      diagnosticHeight(cornerZ[3]) + "]");
    return err;
}

}  // namespace terrain
